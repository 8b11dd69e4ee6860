// The automation layer against the spreadsheet automation server: attaching,
// starting, the current workbook and sheet, and how failures reach the user.
#include <gtest/gtest.h>

#include "ArxUtils/ExcelUtils.h"
#include "platform/com/objbase.h"
#include "platform/registry/registry.h"
#include "platform/spreadsheet/server.h"
#include "tests/ArxUtils/message_boxes.h"

namespace {

using gm::test::MessageBoxRecorder;

class Automation : public ::testing::Test {
 protected:
  void SetUp() override {
    registry::ClearClassesRoot();
    ASSERT_EQ(S_OK, CoInitialize(nullptr));
    ASSERT_EQ(S_OK, spreadsheet::RegisterServer());
  }
  void TearDown() override {
    ReleaseExcelContext();
    other.ReleaseDispatch();
    spreadsheet::UnregisterServer();
    CoUninitialize();
    registry::ClearClassesRoot();
  }

  // The application as another program holding it would see it.
  XlApplication& Running() {
    if (other.m_lpDispatch == nullptr) {
      EXPECT_TRUE(other.CreateDispatch(L"Excel.Application"));
    }
    return other;
  }
  void AddBook() {
    XlWorkbooks books;
    books.AttachDispatch(Running().GetWorkbooks());
    XlWorkbook book;
    book.AttachDispatch(books.Add(OptionalArg));
  }

  XlApplication other;
  MessageBoxRecorder boxes;
};

TEST_F(Automation, OptionalArgumentIsTheMissingParameter) {
  EXPECT_EQ(VT_ERROR, OptionalArg.vt);
  EXPECT_EQ(DISP_E_PARAMNOTFOUND, OptionalArg.scode);
}

TEST_F(Automation, AttachFindsNothingWhenNothingRuns) {
  EXPECT_EQ(0, AttachRunningExcel(TRUE));
  EXPECT_FALSE(spreadsheet::IsApplicationRunning());
  EXPECT_EQ(nullptr, ExcelContext.application.m_lpDispatch);
  EXPECT_TRUE(boxes.shown().empty()) << "silently";
}

TEST_F(Automation, AttachToARunningApplicationWithoutWorkbooks) {
  Running();
  ASSERT_FALSE(spreadsheet::RunningApplicationState()->visible);
  ASSERT_EQ(1, AttachRunningExcel(TRUE));
  EXPECT_TRUE(spreadsheet::RunningApplicationState()->visible) << "a hidden one is shown";
  EXPECT_EQ(16, ExcelContext.majorVersion);
  EXPECT_EQ(nullptr, ExcelContext.workbook.m_lpDispatch);
  EXPECT_EQ(nullptr, ExcelContext.worksheet.m_lpDispatch);

  ASSERT_EQ(1, EnsureWorkbookAndSheet());
  EXPECT_EQ(1u, spreadsheet::OpenWorkbooks().size()) << "a workbook was added";
  EXPECT_NE(nullptr, ExcelContext.workbook.m_lpDispatch);
  EXPECT_NE(nullptr, ExcelContext.worksheet.m_lpDispatch);

  ReleaseExcelContext();
  EXPECT_EQ(nullptr, ExcelContext.application.m_lpDispatch);
  EXPECT_EQ(0, ExcelContext.majorVersion);
  EXPECT_TRUE(spreadsheet::IsApplicationRunning()) << "releasing never closes it";
}

TEST_F(Automation, TheActiveOfTwoWorkbooksBecomesCurrent) {
  AddBook();
  AddBook();
  ASSERT_EQ(1, AttachRunningExcel(FALSE));
  EXPECT_FALSE(spreadsheet::RunningApplicationState()->visible) << "not asked to show it";
  // Write through the current sheet and see where it lands.
  XlRange cells;
  cells.AttachDispatch(ExcelContext.worksheet.GetCells());
  XlRange a1;
  VARIANT item = cells.GetItem(COleVariant(1), COleVariant(1));
  ASSERT_EQ(VT_DISPATCH, item.vt);
  a1.AttachDispatch(item.pdispVal);
  a1.SetValue(COleVariant(L"here"));
  auto books = spreadsheet::OpenWorkbooks();
  ASSERT_EQ(2u, books.size());
  EXPECT_EQ(books[1], spreadsheet::ActiveWorkbook());
  EXPECT_TRUE(books[0]->active_sheet()->cells().empty()) << "the other one is untouched";
  EXPECT_EQ(1u, books[1]->active_sheet()->cells().size());
  ASSERT_EQ(1, EnsureWorkbookAndSheet());
  EXPECT_EQ(2u, spreadsheet::OpenWorkbooks().size()) << "none added";
}

TEST_F(Automation, StartShowsTheNewApplicationAndAddWorkbookMakesItCurrent) {
  ASSERT_EQ(1, StartExcel(TRUE));
  EXPECT_TRUE(spreadsheet::RunningApplicationState()->visible);
  EXPECT_EQ(16, ExcelContext.majorVersion);
  ASSERT_EQ(1, AddWorkbook());
  EXPECT_NE(nullptr, ExcelContext.workbook.m_lpDispatch);
  EXPECT_EQ(nullptr, ExcelContext.worksheet.m_lpDispatch) << "left as it was";
  ASSERT_EQ(1, EnsureWorkbookAndSheet());
  EXPECT_EQ(1u, spreadsheet::OpenWorkbooks().size());
  EXPECT_EQ(1, AutofitUsedColumns());
  EXPECT_EQ(1, AutofitUsedRows());
  EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(Automation, NotInstalled) {
  spreadsheet::UnregisterServer();
  EXPECT_EQ(0, AttachRunningExcel(TRUE));
  EXPECT_TRUE(boxes.shown().empty());
  EXPECT_EQ(0, StartExcel(TRUE));
  ASSERT_EQ(1u, boxes.shown().size());
  EXPECT_EQ(0u, boxes.shown()[0].text.rfind(L"Invalid class string", 0));
  EXPECT_EQ(static_cast<UINT>(MB_ICONINFORMATION), boxes.shown()[0].type);
  EXPECT_EQ(0, EnsureWorkbookAndSheet());
  ASSERT_EQ(2u, boxes.shown().size());
  EXPECT_EQ(L"Failed to get an instance of Excel!", boxes.shown()[1].text);
  EXPECT_EQ(static_cast<UINT>(MB_OK), boxes.shown()[1].type);
}

TEST_F(Automation, StatusCodesShowTheSystemTextOrTheCode) {
  ReportOleError(E_OUTOFMEMORY);
  ReportOleError(static_cast<SCODE>(0x800A03EC));
  ASSERT_EQ(2u, boxes.shown().size());
  EXPECT_EQ(com::SystemMessage(E_OUTOFMEMORY) + L"\r\n", boxes.shown()[0].text);
  const std::wstring& fallback = boxes.shown()[1].text;
  EXPECT_EQ(0u, fallback.find(L"\n")) << fallback;
  EXPECT_NE(std::wstring::npos, fallback.find(L"ExcelUtils.cpp(")) << fallback;
  EXPECT_NE(std::wstring::npos, fallback.find(L"): OLE Execption caught: SCODE = 800a03ec"))
      << fallback;
  EXPECT_EQ(static_cast<UINT>(MB_ICONINFORMATION), boxes.shown()[1].type);
}

TEST_F(Automation, AFailureInsideAnOperationIsReportedAndGivesZero) {
  ASSERT_EQ(1, StartExcel(FALSE));
  ASSERT_EQ(1, AddWorkbook());
  ASSERT_EQ(1, EnsureWorkbookAndSheet());
  // A cell standing where the application should be has none of its
  // members: the call fails with the status code, which is reported.
  XlRange cells;
  cells.AttachDispatch(ExcelContext.worksheet.GetCells());
  VARIANT item = cells.GetItem(COleVariant(1), COleVariant(1));
  ASSERT_EQ(VT_DISPATCH, item.vt);
  ExcelContext.application.AttachDispatch(item.pdispVal);
  EXPECT_EQ(0, AddWorkbook());
  EXPECT_EQ(0, EnsureWorkbookAndSheet());
  ExcelContext.worksheet.AttachDispatch(cells.DetachDispatch());
  EXPECT_EQ(0, AutofitUsedColumns()) << "a range has no used range";
  ASSERT_EQ(3u, boxes.shown().size());
  for (const auto& box : boxes.shown()) {
    EXPECT_EQ(com::SystemMessage(DISP_E_MEMBERNOTFOUND) + L"\r\n", box.text);
    EXPECT_EQ(static_cast<UINT>(MB_ICONINFORMATION), box.type);
  }
  EXPECT_EQ(1u, spreadsheet::OpenWorkbooks().size()) << "nothing was added";
}

}  // namespace
