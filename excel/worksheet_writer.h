// The worksheet writer: one recognised table written cell by cell into the
// active worksheet of the spreadsheet application (attached to, or started),
// from the start cell of the settings, then the merged ranges merged and the
// used range autofitted, with the progress window showing how far it got.
// The application, its workbook and the cells written stay open.
#pragma once

#include <cstddef>

#include "ArxUtils/ExcelUtils.h"
#include "model/sheetform.h"

// 1 when the whole table was written, merged and autofitted; 0 for an empty
// table (the spreadsheet is not touched), no spreadsheet, a cancel, or an
// automation failure (shown to the user). Every exit after the application
// was obtained gives back its DisplayAlerts, EditDirectlyInCell and
// Interactive and releases the automation context; cells written so far stay.
int ExportTableToExcel(const CSheetform& table);

// The most characters a spreadsheet cell holds.
inline constexpr size_t kCellTextLimit = 32767;

// Writes one model cell into one spreadsheet cell; a longer text is cut to
// what the cell holds.
void WriteCellToRange(XlRange& cellRange, const CAutoCell& cell);
// Applies one model border to one edge: every drawn border becomes a thin
// continuous line, coloured when the settings ask for border colours.
void ApplyCellBorder(XlBorder& border, const CAutoBorder& cellBorder);
