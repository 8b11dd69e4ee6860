#include "ArxUtils/CellReference.h"

#include "platform/afx/afx.h"
#include "platform/win/text.h"

namespace {

constexpr int kMaxColumnLetters = 3;

bool IsColumnLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }
// Addresses are case-insensitive in a worksheet; B and b are both column 2.
int LetterValue(wchar_t c) { return (c >= L'a' ? c - (L'a' - L'A') : c) - L'A' + 1; }
bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// Reads the reference whose '$' is at dollar: letters, '$', row digits.
// The row digits are taken from the position after the letters and the
// '$' that follows them; only a single letter checks that '$'.
bool ReadCell(const std::wstring& text, std::size_t dollar, int& row, int& column) {
  // One blank appended, so that looking past the end finds a non-letter.
  const std::wstring padded = text + L" ";
  auto at = [&](std::size_t i) { return i < padded.size() ? padded[i] : L'\0'; };
  const wchar_t c = at(dollar + 1);
  if (IsDigit(c)) {
    row = win::WToI(padded.c_str() + dollar + 1);
    return false;
  }
  if (!IsColumnLetter(c)) return false;
  column = LetterValue(c);
  const wchar_t d = at(dollar + 2);
  std::size_t digits = 0;
  if (d == L'$') {
    digits = dollar + 3;
  } else if (IsColumnLetter(d)) {
    column = column * 26 + LetterValue(d);
    digits = dollar + 4;
    const wchar_t e = at(dollar + 3);
    if (IsColumnLetter(e)) {
      if (IsColumnLetter(at(dollar + 4))) {
        column = 0;
        return false;
      }
      column = column * 26 + LetterValue(e);
      digits = dollar + 5;
    }
  } else {
    return false;
  }
  if (column > kLastSheetColumn) {
    column = 0;
    return false;
  }
  row = win::WToI(padded.c_str() + digits);
  return true;
}

}  // namespace

std::wstring FormatCellAddress(int row, int column) {
  if (row < 1 || column < 1) {
    AfxMessageBox(L"The row index and column index should be a positive number.", MB_OK);
    return std::wstring();
  }
  if (column > kLastSheetColumn) {
    AfxMessageBox(win::Format(L"The column index %d lies beyond the last column of a worksheet "
                              L"(XFD, column %d).",
                              column, kLastSheetColumn),
                  MB_OK);
    return std::wstring();
  }
  // Built in place: recognition makes two of these per cell of the grid.
  wchar_t text[kMaxColumnLetters + 16];
  wchar_t* end = text + sizeof(text) / sizeof(text[0]);
  wchar_t* p = end;
  for (int n = row; n > 0; n /= 10) *--p = static_cast<wchar_t>(L'0' + n % 10);
  *--p = L'$';
  for (int n = column; n > 0; n = (n - 1) / 26) *--p = static_cast<wchar_t>(L'A' + (n - 1) % 26);
  *--p = L'$';
  return std::wstring(p, end);
}

bool ParseRangeStart(const std::wstring& text, int& row, int& column) {
  const std::size_t dollar = text.find(L'$');
  if (text.empty() || dollar == std::wstring::npos) return false;
  return ReadCell(text, dollar, row, column);
}

bool ParseRangeEnd(const std::wstring& text, int& row, int& column) {
  const std::size_t colon = text.find(L':');
  if (colon == std::wstring::npos || colon + 1 >= text.size() || text[colon + 1] != L'$') {
    return false;
  }
  return ReadCell(text, colon + 1, row, column);
}
