// The worksheet writer against the spreadsheet automation server, with the
// progress window on the scripted GUI: what lands in the sheet, and every way
// the writer ends.
#include <gtest/gtest.h>

#include "excel/worksheet_writer.h"
#include "platform/com/objbase.h"
#include "platform/gui/scripted_backend.h"
#include "platform/registry/registry.h"
#include "platform/spreadsheet/server.h"
#include "ui/progress_dialog.h"
#include "ui/settings.h"

namespace {

using spreadsheet::Edge;

// A rows x columns table of unmerged cells, each texted "r,c" and bordered
// on all four edges.
CSheetform Table(int rows, int columns) {
  CSheetform t;
  for (int r = 0; r < rows; ++r) {
    CSheetformRow row;
    for (int c = 0; c < columns; ++c) {
      CAutoCell cell;
      cell.SetAddress(FormatCellAddress(r + 1, c + 1));
      cell.SetMergeAddress(cell.GetAddress());
      cell.SetText(std::to_wstring(r) + L"," + std::to_wstring(c));
      for (int slot = 2; slot <= 5; ++slot)
        cell.GetBorders().Change(slot, [](CAutoBorder& b) { b.LineStyleName = L"Continuous"; });
      row.Cells.Add(cell);
    }
    t.Rows.Add(row);
  }
  return t;
}

// Marks the block (1-based, inclusive) merged as the recogniser does.
void Merge(CSheetform& t, int top, int left, int bottom, int right) {
  const std::wstring area = FormatCellAddress(top, left) + L":" + FormatCellAddress(bottom, right);
  for (int r = top; r <= bottom; ++r) {
    for (int c = left; c <= right; ++c) {
      CAutoCell& cell = t.Rows[r - 1].Cells[c - 1];
      cell.SetMergeAddress(area);
      if (r != top || c != left) cell.SetText(L"");
    }
  }
}

class Writer : public ::testing::Test {
 protected:
  void SetUp() override {
    registry::ClearClassesRoot();
    ASSERT_EQ(S_OK, CoInitialize(nullptr));
    ASSERT_EQ(S_OK, spreadsheet::RegisterServer());
    ConversionSettings = ConversionSettingsRecord{};
  }
  void TearDown() override {
    ProgressClose();
    ReleaseExcelContext();
    spreadsheet::UnregisterServer();
    CoUninitialize();
    registry::ClearClassesRoot();
    ConversionSettings = ConversionSettingsRecord{};
  }

  static const spreadsheet::Worksheet& Sheet() { return *spreadsheet::ActiveSheet(); }
  static std::wstring Text(int row, int column) {
    const auto c = Sheet().Find(row, column);
    if (!c) return L"(none)";
    if (auto* s = std::get_if<std::wstring>(&c->value)) return *s;
    if (auto* d = std::get_if<double>(&c->value))
      return L"#" + std::to_wstring(static_cast<int>(*d));
    return L"(other)";
  }
  static size_t ValueCount() {
    size_t n = 0;
    for (const auto& [key, cell] : Sheet().cells()) {
      if (!std::holds_alternative<std::monostate>(cell.value)) ++n;
    }
    return n;
  }
  static void ExpectRestored() {
    auto state = spreadsheet::RunningApplicationState();
    ASSERT_TRUE(state.has_value());
    EXPECT_TRUE(state->display_alerts);
    EXPECT_TRUE(state->interactive);
    EXPECT_TRUE(state->edit_directly_in_cell);
    EXPECT_EQ(nullptr, ExcelContext.application.m_lpDispatch) << "the context is released";
    EXPECT_EQ(nullptr, CurrentProgressDialog()) << "the progress window is gone";
  }
  // The progress window's state when it went.
  const gui::DialogState& ClosedProgress() {
    EXPECT_FALSE(ui.dialogs().empty());
    return ui.dialogs().back().closed;
  }
  // Presses Cancel the first time `when` holds at a pump.
  void CancelWhen(std::function<bool(const gui::DialogState&)> when) {
    ui.OnIdle([this, when] {
      CProgressDlg* d = CurrentProgressDialog();
      if (d == nullptr || !when(gui::ReadDialog(d->m_hWnd))) return;
      ui.OnIdle(nullptr);
      gui::DialogDriver(d->m_hWnd).PressEscape();
    });
  }

  gui::ScriptedBackend ui;
};

TEST_F(Writer, EmptyTableLeavesTheSpreadsheetAlone) {
  EXPECT_EQ(0, ExportTableToExcel(CSheetform()));
  CSheetform noCells;
  noCells.Rows.Add(CSheetformRow());
  EXPECT_EQ(0, ExportTableToExcel(noCells));
  EXPECT_FALSE(spreadsheet::IsApplicationRunning()) << "nothing was started";
  EXPECT_TRUE(ui.messages().empty());
  EXPECT_TRUE(ui.dialogs().empty());
}

TEST_F(Writer, StartsTheSpreadsheetAndWritesFromTheFirstCell) {
  ConversionSettings.StartRow = 0;
  ConversionSettings.StartCol = -1;
  CSheetform t = Table(2, 3);
  t.Rows[1].Cells[2].SetText(L"two\nlines");
  ASSERT_EQ(1, ExportTableToExcel(t));
  EXPECT_EQ(1, ConversionSettings.StartRow) << "raised and kept";
  EXPECT_EQ(1, ConversionSettings.StartCol);
  EXPECT_EQ(1u, spreadsheet::OpenWorkbooks().size());
  EXPECT_TRUE(spreadsheet::RunningApplicationState()->visible);
  EXPECT_EQ(L"0,0", Text(1, 1));
  EXPECT_EQ(L"two\nlines", Text(2, 3));
  EXPECT_EQ(6u, ValueCount());
  EXPECT_TRUE(ui.messages().empty());
  ExpectRestored();

  // The progress window showed the size, and the merge phase's range is the
  // number of listed areas + 1: none here.
  ASSERT_EQ(1u, ui.dialogs().size());
  EXPECT_EQ(L"Merging the cells...", ClosedProgress().Find(IDC_PROGRESS_STATUS)->text);
  EXPECT_EQ(1, ClosedProgress().Find(IDC_PROGRESS_BAR)->range_high);
}

TEST_F(Writer, MergedAreasAreShiftedToTheStartCell) {
  ConversionSettings.StartRow = 5;
  ConversionSettings.StartCol = 4;
  CSheetform t = Table(3, 3);
  Merge(t, 1, 1, 2, 2);
  ASSERT_EQ(1, ExportTableToExcel(t));
  EXPECT_EQ(L"0,0", Text(5, 4)) << "model A1 lands in D5";
  EXPECT_EQ(L"2,2", Text(7, 6));
  ASSERT_EQ(1u, Sheet().merged_areas().size());
  EXPECT_EQ(L"$D$5:$E$6", spreadsheet::FormatAddress(Sheet().merged_areas()[0]));
  EXPECT_EQ(5, ClosedProgress().Find(IDC_PROGRESS_BAR)->range_high)
      << "a 2 x 2 block is listed once per cell it covers";
}

TEST_F(Writer, CellFormatsReachTheSheet) {
  CSheetform t = Table(1, 4);
  CAutoCell& upward = t.Rows[0].Cells[0];
  upward.SetOrientation(xl::kUpward);
  CAutoCell& red = t.Rows[0].Cells[1];
  red.GetBorders().Change(4, [](CAutoBorder& b) { b.Color = 0x0000FF; });
  red.SetFormula(L"=1+2");
  CAutoCell& white = t.Rows[0].Cells[2];
  white.GetBorders().Change(4, [](CAutoBorder& b) { b.Color = 0xFFFFFF; });
  white.GetInterior().Color = 0x00FF00;
  CAutoCell& open = t.Rows[0].Cells[3];
  open.GetBorders().Change(3, [](CAutoBorder& b) { b.LineStyleName = L""; });
  ASSERT_EQ(1, ExportTableToExcel(t));

  EXPECT_EQ(90, Sheet().Find(1, 1)->format.orientation);
  EXPECT_EQ(0, Sheet().Find(1, 2)->format.orientation);
  EXPECT_EQ(xl::kLeft, Sheet().Find(1, 1)->format.horizontal_alignment);
  EXPECT_EQ(xl::kBottom, Sheet().Find(1, 1)->format.vertical_alignment);
  const spreadsheet::BorderLine redLine = Sheet().Border(1, 2, spreadsheet::kEdgeLeft);
  EXPECT_EQ(xl::kContinuous, redLine.line_style);
  EXPECT_EQ(xl::kThin, redLine.weight);
  EXPECT_EQ(std::optional<std::uint32_t>(0xFF), redLine.color);
  EXPECT_FALSE(Sheet().Border(1, 3, spreadsheet::kEdgeLeft).color) << "white sets no colour";
  EXPECT_FALSE(Sheet().Border(1, 1, spreadsheet::kEdgeTop).color) << "automatic sets none";
  EXPECT_TRUE(Sheet().Border(1, 4, spreadsheet::kEdgeTop).visible());
  EXPECT_FALSE(Sheet().Border(1, 4, spreadsheet::kEdgeBottom).visible()) << "not drawn";
  EXPECT_EQ(std::optional<std::uint32_t>(0x00FF00), Sheet().Find(1, 3)->format.fill);
  EXPECT_TRUE(std::holds_alternative<spreadsheet::Formula>(Sheet().Find(1, 2)->value))
      << "the formula replaces the value";
}

TEST_F(Writer, SettingsDecideTextFormatColoursAndFormulas) {
  ConversionSettings.ForceTextFormat = 1;
  ConversionSettings.ApplyBorderColor = 0;
  ConversionSettings.IncludeFormula = 0;
  CSheetform t = Table(1, 2);
  t.Rows[0].Cells[0].SetText(L"007");
  t.Rows[0].Cells[0].GetBorders().Change(4, [](CAutoBorder& b) { b.Color = 0x0000FF; });
  t.Rows[0].Cells[1].SetFormula(L"=1+2");
  ASSERT_EQ(1, ExportTableToExcel(t));
  EXPECT_EQ(L"007", Text(1, 1)) << "the text format is set before the value";
  EXPECT_TRUE(Sheet().Find(1, 1)->format.is_text());
  EXPECT_FALSE(Sheet().Border(1, 1, spreadsheet::kEdgeLeft).color);
  EXPECT_EQ(L"0,1", Text(1, 2));

  // Without it, only what the sheet would read as something else gets it.
  ConversionSettings = ConversionSettingsRecord{};
  ConversionSettings.StartRow = 3;
  t.Rows[0].Cells[1].SetText(L"12");
  t.Rows[0].Cells[1].SetFormula(L"");
  ASSERT_EQ(1, ExportTableToExcel(t));
  EXPECT_EQ(L"007", Text(3, 1));
  EXPECT_TRUE(Sheet().Find(3, 1)->format.is_text());
  EXPECT_EQ(L"#12", Text(3, 2)) << "a plain number stays a number";
  EXPECT_FALSE(Sheet().Find(3, 2)->format.is_text());
}

TEST_F(Writer, ASecondTableGoesIntoTheSameSheetAndEmptyTextsKeepOldValues) {
  ASSERT_EQ(1, ExportTableToExcel(Table(2, 2)));
  CSheetform second = Table(1, 1);
  second.Rows[0].Cells[0].SetText(L"");
  ASSERT_EQ(1, ExportTableToExcel(second));
  EXPECT_EQ(1u, spreadsheet::OpenWorkbooks().size()) << "attached to the running one";
  EXPECT_EQ(L"0,0", Text(1, 1)) << "an empty text leaves the value";
  EXPECT_EQ(L"1,1", Text(2, 2));
}

TEST_F(Writer, PropertiesOfTheApplicationAreGivenBackAsTheyWere) {
  // The user had turned alerts off before: they stay off.
  {
    COleDispatchDriver app;
    ASSERT_TRUE(app.CreateDispatch(L"Excel.Application"));
    static const BYTE parms[] = VTS_BOOL;
    app.InvokeHelper(0x157, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, parms, FALSE);
  }
  ASSERT_EQ(1, ExportTableToExcel(Table(1, 1)));
  auto state = spreadsheet::RunningApplicationState();
  EXPECT_FALSE(state->display_alerts);
  EXPECT_TRUE(state->interactive);
  EXPECT_TRUE(state->edit_directly_in_cell);
}

TEST_F(Writer, CancelWhileWritingKeepsTheCellsAndMergesNothing) {
  CSheetform t = Table(4, 5);
  Merge(t, 1, 1, 1, 2);
  CancelWhen([](const gui::DialogState& s) { return s.Find(IDC_PROGRESS_BAR)->pos >= 7; });
  EXPECT_EQ(0, ExportTableToExcel(t));
  ExpectRestored();
  // The cancel is seen at the poll after cell 7; cell 2 is the empty half of the merge.
  EXPECT_EQ(6u, ValueCount());
  EXPECT_EQ(L"1,1", Text(2, 2));
  EXPECT_EQ(L"(none)", Text(2, 3));
  EXPECT_TRUE(Sheet().merged_areas().empty());
  EXPECT_TRUE(ui.messages().empty());
}

TEST_F(Writer, CancelWhileMergingKeepsTheMergesDone) {
  CSheetform t = Table(2, 4);
  Merge(t, 1, 1, 1, 2);
  Merge(t, 2, 3, 2, 4);
  CancelWhen(
      [](const gui::DialogState& s) { return s.Find(IDC_PROGRESS_STATUS)->text[0] == L'M'; });
  EXPECT_EQ(0, ExportTableToExcel(t));
  ExpectRestored();
  EXPECT_EQ(1u, Sheet().merged_areas().size()) << "the first merge ran, then the cancel";
  EXPECT_EQ(L"0,0", Text(1, 1));
  EXPECT_EQ(L"1,2", Text(2, 3));
}

TEST_F(Writer, AProgressWindowThatCannotOpenStopsAfterTheFirstCell) {
  gui::DialogTemplate broken = ProgressDialogTemplate();
  broken.controls.push_back(gui::ControlTemplate{9, gui::ControlKind::kCustom, L"", 0, 0, 1, 1,
                                                 WS_VISIBLE, 0, L"NoSuchWindowClass"});
  const gui::DialogTemplate* before = SetProgressDialogTemplate(&broken);
  const int result = ExportTableToExcel(Table(3, 3));
  SetProgressDialogTemplate(before);
  EXPECT_EQ(0, result);
  EXPECT_EQ(1u, ValueCount());
  ExpectRestored();
}

TEST_F(Writer, NoSpreadsheetInstalledShowsBothMessages) {
  spreadsheet::UnregisterServer();
  EXPECT_EQ(0, ExportTableToExcel(Table(1, 1)));
  ASSERT_EQ(2u, ui.messages().size());
  EXPECT_EQ(0u, ui.messages()[0].box.text.rfind(L"Invalid class string", 0))
      << "the system's text for the failed creation";
  EXPECT_EQ(static_cast<UINT>(MB_ICONINFORMATION), ui.messages()[0].box.type & MB_ICONMASK);
  EXPECT_EQ(L"Failed to get an instance of Excel!", ui.messages()[1].box.text);
  EXPECT_EQ(static_cast<UINT>(MB_OK), ui.messages()[1].box.type);
  EXPECT_EQ(nullptr, ExcelContext.application.m_lpDispatch);
  EXPECT_TRUE(ui.dialogs().empty());
}

TEST_F(Writer, AnAutomationFailureIsShownAndEndsTheWrite) {
  // The second column lies beyond the sheet's last one.
  ConversionSettings.StartCol = spreadsheet::kMaxColumns;
  EXPECT_EQ(0, ExportTableToExcel(Table(1, 2)));
  ASSERT_EQ(1u, ui.messages().size());
  EXPECT_FALSE(ui.messages()[0].box.text.empty());
  EXPECT_EQ(L"0,0", Text(1, spreadsheet::kMaxColumns)) << "cells written stay";
  ExpectRestored();
}

TEST_F(Writer, ARowShorterThanTheFirstIsShownNotRead) {
  CSheetform t = Table(2, 3);
  t.Rows[1].Cells.RemoveAt(2);
  EXPECT_EQ(0, ExportTableToExcel(t));
  ASSERT_EQ(1u, ui.messages().size());
  EXPECT_EQ(5u, ValueCount());
  ExpectRestored();
}

}  // namespace
