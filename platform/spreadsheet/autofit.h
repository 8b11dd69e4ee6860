// Column widths and row heights fitted to what cells show, as AutoFit does.
//
// Widths are in the sheet's character units: the width of a digit of the
// standard font (Calibri 11, 7 pixels at 96 dpi), plus 5 pixels of margin.
// A text is measured with the real outlines of its font where fontconfig
// finds it (or its metric-compatible stand-in, else the default sans), in
// proportion to the width of "0" in the same face, so the unit does not
// depend on which face stands in. Heights are in points: a line of an
// 11-point font is 15 points high, and lines scale with the font's size.
//
// What a cell shows: its text, line by line; a number as General shows it;
// TRUE or FALSE. A formula has no value here and takes no room. Cells in
// merged areas are left out, as AutoFit leaves them out. A wrapping cell is
// as wide as its column allows and as high as its lines need at that width.
#pragma once

#include <optional>

#include "platform/spreadsheet/workbook.h"

namespace spreadsheet {

// Fits every column (or row) of area in one pass over its cells.
void AutoFitColumns(Worksheet& sheet, const CellRect& area);
void AutoFitRows(Worksheet& sheet, const CellRect& area);

// The text a cell shows for a value (General format).
std::wstring DisplayText(const CellValue& value);

}  // namespace spreadsheet
