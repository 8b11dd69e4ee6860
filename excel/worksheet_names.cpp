#include "excel/worksheet_names.h"

#include <string>

#include "ArxUtils/ExcelUtils.h"

namespace {

template <typename Body>
int WithRunningSpreadsheet(Body body) {
  if (!AttachRunningExcel(FALSE)) return 0;
  const int result = ExcelContext.worksheet.m_lpDispatch != nullptr ? body() : 0;
  ReleaseExcelContext();
  return result;
}

std::wstring Trimmed(const std::wstring& text) {
  const std::size_t first = text.find_first_not_of(L" \t\r\n");
  if (first == std::wstring::npos) return {};
  return text.substr(first, text.find_last_not_of(L" \t\r\n") - first + 1);
}

}  // namespace

int StartNextWorksheet() {
  return WithRunningSpreadsheet([] { return AddWorksheetAfterCurrent(); });
}

int NameTableWorksheet(const CSheetform& table, int number) {
  std::wstring wanted;
  if (table.GetRowCount() > 0 && table.GetColumnCount() > 0) {
    wanted = Trimmed(table.Rows[0].Cells[0].GetText());
  }
  return WithRunningSpreadsheet(
      [&] { return NameCurrentWorksheet(wanted, L"Table " + std::to_wstring(number)); });
}
