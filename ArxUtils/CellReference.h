// Absolute A1 cell references ($B$3, ranges $A$1:$C$3), from and to 1-based
// row and column numbers. Columns run from A to XFD (16384), the last
// column a worksheet has.
#pragma once

#include <string>

inline constexpr int kLastSheetColumn = 16384;

// The reference of one cell, or the empty text (after a message box) when
// row or column is below 1 or the column lies beyond kLastSheetColumn.
std::wstring FormatCellAddress(int row, int column);

// Reads the cell after the first '$' of a cell or range reference. True
// when both a column and a row were read. On failure the outputs may be
// partly set (a digit right after the '$' sets the row), so callers start
// both at 0 and accept a pair only when both are above 0.
bool ParseRangeStart(const std::wstring& text, int& row, int& column);
// The same for the cell after the first ':' of a range reference.
bool ParseRangeEnd(const std::wstring& text, int& row, int& column);
