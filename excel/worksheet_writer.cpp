#include "excel/worksheet_writer.h"

#include <cwctype>
#include <limits>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ArxUtils/CellReference.h"
#include "platform/com/winerror.h"
#include "platform/sds/sds.h"
#include "platform/win/strings.h"
#include "platform/win/text.h"
#include "ui/progress_dialog.h"
#include "ui/settings.h"

namespace {

bool IsWhite(std::int32_t color) {
  return (static_cast<std::uint32_t>(color) & 0xFFFFFF) == 0xFFFFFF;
}

// Whether the spreadsheet, given this text in a cell of General format,
// shows it back as drawn: a plain decimal without leading or trailing zeros,
// sign or exponent, short enough to stay out of scientific notation.
// Anything else ("01", "1.10", "+5", "1e3", "1-2", "TRUE", "=A1") is kept
// as text.
bool ShowsBackAsNumber(std::wstring_view text) {
  if (text.empty() || text.size() > 11) return false;
  size_t i = text[0] == L'-' ? 1 : 0;
  const size_t whole = i;
  while (i < text.size() && std::iswdigit(text[i])) ++i;
  const size_t wholeDigits = i - whole;
  if (wholeDigits == 0 || (wholeDigits > 1 && text[whole] == L'0')) return false;
  if (i == text.size()) return !(whole == 1 && text[whole] == L'0');  // "-0" shows 0
  if (text[i] != L'.' || i + 1 == text.size() || text.back() == L'0') return false;
  const size_t fraction = ++i;
  while (i < text.size() && std::iswdigit(text[i])) ++i;
  if (i != text.size()) return false;
  if (text[whole] != L'0') return true;
  // Below one: a number with many leading zeros is shown in scientific form.
  return text.find_first_not_of(L'0', fraction) - fraction <= 4;
}

// Takes the object out of a variant that Range.Item answered.
void AttachItem(XlRange& range, VARIANT item) {
  if (item.vt != VT_DISPATCH) {
    VariantClear(&item);
    AfxThrowOleException(DISP_E_TYPEMISMATCH);
  }
  range.AttachDispatch(item.pdispVal);
}

// The three application properties the writer turns off while it works.
// Only what was changed is given back, so a failure while reading them
// leaves the application as it was.
class ApplicationState {
 public:
  explicit ApplicationState(XlApplication& app) : app_(app) {}

  void TurnOff() {
    alerts_ = app_.GetDisplayAlerts();
    alerts_known_ = true;
    app_.SetDisplayAlerts(FALSE);
    edit_ = app_.GetEditDirectlyInCell();
    edit_known_ = true;
    app_.SetEditDirectlyInCell(FALSE);
    interactive_changed_ = true;
    app_.SetInteractive(FALSE);
  }

  // Gives back all three, each tried whatever the others did; the first
  // failure is rethrown after the last.
  void Restore() {
    CException* first = nullptr;
    auto attempt = [&first](auto put) {
      try {
        put();
      } catch (CException* e) {
        if (first == nullptr) {
          first = e;
        } else {
          e->Delete();
        }
      }
    };
    if (edit_known_) attempt([this] { app_.SetEditDirectlyInCell(edit_); });
    if (interactive_changed_) attempt([this] { app_.SetInteractive(TRUE); });
    if (alerts_known_) attempt([this] { app_.SetDisplayAlerts(alerts_); });
    edit_known_ = interactive_changed_ = alerts_known_ = false;
    if (first != nullptr) throw first;
  }

  // After another failure has been shown: a second one is not.
  void RestoreQuietly() {
    try {
      Restore();
    } catch (CException* e) {
      e->Delete();
    }
  }

 private:
  XlApplication& app_;
  BOOL alerts_ = TRUE;
  BOOL edit_ = TRUE;
  bool alerts_known_ = false;
  bool edit_known_ = false;
  bool interactive_changed_ = false;
};

// Ends the writer after a cancel or a failure: the window, the application's
// properties, the context.
int Abandon(ApplicationState& state, bool quietly) {
  ProgressClose();
  if (quietly) {
    state.RestoreQuietly();
  } else {
    state.Restore();
  }
  ReleaseExcelContext();
  return 0;
}

int WriteTable(const CSheetform& table, int rows, int columns, ApplicationState& state) {
  ConversionSettingsRecord& settings = ConversionSettings;
  state.TurnOff();

  XlRange cells;
  cells.AttachDispatch(ExcelContext.worksheet.GetCells());

  ProgressOpen(nullptr);
  ProgressSetText(win::Format(L"Table Size: %d rows X %d columns", rows, columns));
  const long long total = static_cast<long long>(rows) * columns;
  ProgressSetRange(0,
                   static_cast<int>(std::min<long long>(total, std::numeric_limits<int>::max())));
  ProgressSetPos(0);
  ProgressSetStep(1);

  std::vector<std::wstring> mergeAreaList;
  const COleVariant textFormat(L"@");
  for (int r = 0; r < rows; ++r) {
    const CSheetformRow& row = table.Rows[r];
    for (int c = 0; c < columns; ++c) {
      const CAutoCell& cell = row.Cells[c];
      XlRange range;
      AttachItem(range, cells.GetItem(COleVariant(settings.StartRow + r),
                                      COleVariant(settings.StartCol + c)));
      const std::wstring_view text = cell.GetTextView();
      // A text the spreadsheet would read as something else keeps the text
      // format; a formula written over the value must not.
      const bool formula = settings.IncludeFormula && !cell.GetFormula().empty();
      if (settings.ForceTextFormat || (!text.empty() && !formula && !ShowsBackAsNumber(text))) {
        range.SetNumberFormatLocal(textFormat);
      }
      if (text.size() > kCellTextLimit) {
        sds_printf(
            L"\nThe text of cell %s has %d characters, more than a cell holds; only its "
            L"first %d are written.",
            FormatCellAddress(settings.StartRow + r, settings.StartCol + c).c_str(),
            static_cast<int>(std::min<size_t>(text.size(), std::numeric_limits<int>::max())),
            static_cast<int>(kCellTextLimit));
      }
      WriteCellToRange(range, cell);
      // Most cells are their own range: only the others need their addresses
      // made as text, and a case-only difference is still the same range.
      if (!cell.IsOwnRange()) {
        std::wstring merge = cell.GetMergeAddress();
        if (!win::EqualsNoCase(merge, cell.GetAddress())) mergeAreaList.push_back(std::move(merge));
      }
      ProgressStepIt();
      if (ProgressCancelled()) return Abandon(state, false);
    }
  }

  ProgressSetText(L"Merging the cells...");
  ProgressSetRange(0, static_cast<int>(std::min<size_t>(mergeAreaList.size() + 1,
                                                        std::numeric_limits<int>::max())));
  ProgressSetPos(0);
  for (const std::wstring& entry : mergeAreaList) {
    int row1 = 0, column1 = 0, row2 = 0, column2 = 0;
    ParseRangeStart(entry, row1, column1);
    ParseRangeEnd(entry, row2, column2);
    if (row1 <= 0 || column1 <= 0 || row2 <= 0 || column2 <= 0) continue;
    const std::wstring topLeft =
        FormatCellAddress(settings.StartRow - 1 + row1, settings.StartCol - 1 + column1);
    const std::wstring bottomRight =
        FormatCellAddress(settings.StartRow - 1 + row2, settings.StartCol - 1 + column2);
    XlRange area;
    area.AttachDispatch(cells.GetRange(COleVariant(topLeft), COleVariant(bottomRight)));
    area.Merge(OptionalArg);
    ProgressStepIt();
    if (ProgressCancelled()) return Abandon(state, false);
  }
  ProgressClose();

  if (settings.AutofitColumns) AutofitUsedColumns();
  if (settings.AutofitRows) AutofitUsedRows();
  state.Restore();
  return 1;
}

}  // namespace

void ApplyCellBorder(XlBorder& border, const CAutoBorder& cellBorder) {
  if (cellBorder.LineStyleName.empty()) return;
  border.SetLineStyle(COleVariant(xl::kContinuous));
  border.SetWeight(COleVariant(xl::kThin));
  if (ConversionSettings.ApplyBorderColor && cellBorder.Color > 0 && !IsWhite(cellBorder.Color)) {
    border.SetColor(COleVariant(static_cast<long>(cellBorder.Color)));
  }
}

void WriteCellToRange(XlRange& cellRange, const CAutoCell& cell) {
  XlFont font;
  font.AttachDispatch(cellRange.GetFont());
  XlBorders borders;
  borders.AttachDispatch(cellRange.GetBorders());
  XlInterior interior;
  interior.AttachDispatch(cellRange.GetInterior());

  const std::wstring_view text = cell.GetTextView();
  if (!text.empty()) cellRange.SetValue(COleVariant(text.substr(0, kCellTextLimit)));
  if (cell.GetWrapText() != 0 && ConversionSettings.ApplyWrapText) {
    cellRange.SetWrapText(COleVariant(1));
  }
  cellRange.SetHorizontalAlignment(COleVariant(static_cast<long>(cell.GetHorizontalAlignment())));
  cellRange.SetVerticalAlignment(COleVariant(static_cast<long>(cell.GetVerticalAlignment())));

  static constexpr struct {
    int edge;
    int slot;
  } kEdges[] = {{xl::kEdgeLeft, 4}, {xl::kEdgeRight, 5}, {xl::kEdgeTop, 2}, {xl::kEdgeBottom, 3}};
  const CAutoBorders& cellBorders = cell.GetBorders();
  for (const auto& e : kEdges) {
    XlBorder border;
    border.AttachDispatch(borders.GetItem(e.edge));
    if (cellBorders.HasLine(e.slot)) ApplyCellBorder(border, cellBorders.GetAt(e.slot));
  }

  const std::int32_t fill = cell.GetInterior().Color;
  if (fill != 0) {
    if (IsWhite(fill)) {
      interior.SetColorIndex(COleVariant(xl::kNone));
    } else {
      interior.SetColor(COleVariant(static_cast<long>(fill)));
    }
  }
  if (cell.GetOrientation() != xl::kHorizontal) {
    cellRange.SetOrientation(COleVariant(static_cast<long>(cell.GetOrientation())));
  }
  if (ConversionSettings.IncludeFormula) {
    const std::wstring formula = cell.GetFormula();
    if (!formula.empty()) cellRange.SetFormula(COleVariant(formula));
  }
}

int ExportTableToExcel(const CSheetform& table) {
  const int rows = table.GetRowCount();
  const int columns = table.GetColumnCount();
  if (rows <= 0 || columns <= 0) return 0;
  if (ConversionSettings.StartRow < 1) ConversionSettings.StartRow = 1;
  if (ConversionSettings.StartCol < 1) ConversionSettings.StartCol = 1;

  if (!AttachRunningExcel(TRUE)) {
    if (StartExcel(TRUE)) AddWorkbook();
  }
  if (!EnsureWorkbookAndSheet()) {
    ReleaseExcelContext();
    return 0;
  }

  ApplicationState state(ExcelContext.application);
  try {
    const int result = WriteTable(table, rows, columns, state);
    if (result == 1) ReleaseExcelContext();
    return result;
  } catch (CException* e) {
    e->ReportError(MB_OK);
    e->Delete();
    return Abandon(state, true);
  }
}
