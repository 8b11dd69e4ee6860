// The conversion commands end to end in the host runtime: drawings written
// by an independent DXF library, selected or picked at the host's prompts,
// captured, recognised and handed to the writer (read here through the
// pipeline's writer seam).
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include "host/conversion.h"
#include "host/entry.h"
#include "platform/afx/afx.h"
#include "platform/console/console.h"
#include "platform/drawing/dxf_drawing.h"
#include "platform/dxf/reader.h"
#include "platform/registry/registry.h"
#include "platform/win/text.h"
#include "tests/support/test_support.h"
#include "ui/settings.h"

namespace {

using gm::test::TempDir;

std::vector<std::wstring> g_boxes;
int RecordBox(HWND, const wchar_t* text, const wchar_t* caption, UINT) {
  g_boxes.push_back(std::wstring(caption) + L": " + text);
  return IDOK;
}

class Conversion : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = new TempDir;
    made_ = gm::test::RunFixtureScript("tests/host/make_conversion_drawings.py", folder_->path());
  }
  static void TearDownTestSuite() {
    delete folder_;
    folder_ = nullptr;
  }

  void SetUp() override {
    if (!made_) GTEST_SKIP() << "no drawings: /usr/bin/python3 with ezdxf is needed";
    sds_host::Reset();
    registry::SetHiveFolder(registry_.path());
    SetSettingsRoot(HKEY_CURRENT_USER, L"Orvane");
    g_boxes.clear();
    previous_box_ = afx::SetMessageBoxHandler(RecordBox);
    for (int target : {kTargetSpreadsheet, kTargetDatabase}) {
      previous_[target] = SetTableWriter(target, [this, target](const CSheetform& t) {
        table_ = t;
        target_ = target;
        return 1;
      });
    }
  }
  void TearDown() override {
    if (!made_) return;
    for (int target : {kTargetSpreadsheet, kTargetDatabase}) {
      SetTableWriter(target, previous_[target]);
    }
    afx::SetMessageBoxHandler(previous_box_);
    sds_host::Reset();
    registry::SetHiveFolder({});
  }

  void Open(const std::string& name) {
    auto loaded = gm::dxf::LoadDrawing(folder_->path() / name);
    ASSERT_TRUE(loaded.ok()) << loaded.status().message();
    sds_host::SetDrawing(
        std::make_shared<gm::drawing::DxfDrawing>(std::move(loaded).value(), L"t.dxf"));
  }

  const CAutoCell& Cell(int row, int column) { return table_->Rows[row].Cells[column]; }
  static bool Bordered(const CAutoCell& c, int slot) {
    return c.GetBorders().GetAt(slot).LineStyleName == L"Continuous";
  }

  static inline TempDir* folder_ = nullptr;
  static inline bool made_ = false;
  TempDir registry_;
  std::optional<CSheetform> table_;
  int target_ = 0;
  TableWriter previous_[3];
  afx::MessageBoxHandler previous_box_ = nullptr;
};

TEST_F(Conversion, SelectedTableReachesTheWriter) {
  Open("table.dxf");
  console::Capture out;
  {
    console::ScriptedLines answers("ALL\n\n");
    ConvertSelection(kTargetSpreadsheet);
  }
  ASSERT_TRUE(table_.has_value()) << "the writer was called";
  EXPECT_EQ(kTargetSpreadsheet, target_);
  // The text left of the frame adds a first column; four rows of five cells.
  ASSERT_EQ(4, table_->GetRowCount());
  ASSERT_EQ(5, table_->GetColumnCount());
  EXPECT_EQ(L"$A$1", Cell(0, 0).GetAddress());
  EXPECT_EQ(L"$E$4", Cell(3, 4).GetAddress());

  // The title reaches across the line between C and D.
  EXPECT_EQ(L"PARTS LIST", Cell(0, 2).GetText());
  EXPECT_EQ(L"$C$1:$D$1", Cell(0, 2).GetMergeAddress());
  EXPECT_EQ(L"$C$1:$D$1", Cell(0, 3).GetMergeAddress());
  EXPECT_EQ(L"", Cell(0, 3).GetText());
  EXPECT_EQ(L"$B$1", Cell(0, 1).GetMergeAddress());
  EXPECT_DOUBLE_EQ(3.5, Cell(0, 2).GetFont().Size);
  EXPECT_DOUBLE_EQ(Cell(0, 2).GetCellWidth() + Cell(0, 3).GetCellWidth(),
                   Cell(0, 2).GetMergeWidth());

  EXPECT_EQ(L"Pos", Cell(1, 1).GetText());
  EXPECT_EQ(L"Mat", Cell(1, 4).GetText());
  EXPECT_EQ(L"Bolt\nM16", Cell(2, 2).GetText()) << "line feeds of a multi-line text";
  EXPECT_DOUBLE_EQ(2.0, Cell(2, 2).GetFont().Size);
  EXPECT_EQ(L"8", Cell(2, 3).GetText());
  EXPECT_EQ(-4171, Cell(2, 3).GetOrientation()) << "a text turned by 90 degrees reads upward";
  EXPECT_EQ(-4128, Cell(2, 2).GetOrientation());
  EXPECT_EQ(L"2", Cell(3, 1).GetText());
  EXPECT_EQ(0x00FF00, Cell(3, 1).GetFont().Color);
  EXPECT_EQ(L"note", Cell(3, 0).GetText());
  EXPECT_EQ(Cell(3, 0).GetAddress(), Cell(3, 0).GetMergeAddress());
  EXPECT_EQ(L"", Cell(2, 4).GetText());
  EXPECT_DOUBLE_EQ(10000.0, Cell(2, 4).GetFont().Size) << "an empty cell keeps the default font";

  // Borders: slot 2 top, 3 bottom, 4 left, 5 right. The red line lies under
  // the header row.
  EXPECT_TRUE(Bordered(Cell(1, 2), 3));
  EXPECT_EQ(0x0000FF, Cell(1, 2).GetBorders().GetAt(3).Color);
  EXPECT_EQ(0x0000FF, Cell(2, 2).GetBorders().GetAt(2).Color);
  EXPECT_EQ(-4105, Cell(1, 2).GetBorders().GetAt(2).Color);
  // Inside the title row the inner vertical lines are not drawn.
  EXPECT_FALSE(Bordered(Cell(0, 1), 5));
  EXPECT_TRUE(Bordered(Cell(1, 1), 5));
  EXPECT_TRUE(Bordered(Cell(0, 1), 4)) << "the frame's left line";
  // The added column has no left border and no drawn lines through it.
  EXPECT_FALSE(Bordered(Cell(3, 0), 4));
  EXPECT_FALSE(Bordered(Cell(3, 0), 3));
  EXPECT_TRUE(Bordered(Cell(3, 0), 5)) << "its right edge is the frame's left line";
  // The 1-unit stub was removed as a mini line: no row or column for it.
  EXPECT_EQ((std::vector<int>{-1, 1, 2, 3, 4, 5, 6, 7, -2}), sds_host::ProgressLog());
  EXPECT_TRUE(g_boxes.empty());
}

TEST_F(Conversion, KeepingMiniLinesAddsTheirGridLine) {
  WriteSettingInt(kSettingsSection, L"RemoveMiniLine", 0);
  Open("table.dxf");
  console::Capture out;
  console::ScriptedLines answers("ALL\n\n");
  ConvertSelection(kTargetSpreadsheet);
  ASSERT_TRUE(table_.has_value());
  EXPECT_EQ(5, table_->GetRowCount()) << "the stub makes a grid line of its own";
}

TEST_F(Conversion, PickedBlockReference) {
  Open("block.dxf");
  console::Capture out;
  const std::wstring handle = [] {
    for (sds_host::EntityId id : sds_host::GetDrawing()->SelectAll()) {
      sds_name n = {id, 1};
      sds_resbuf* list = sds_entget(n);
      bool insert = list && list->rbnext && std::wstring(list->rbnext->resval.rstring) == L"INSERT";
      sds_relrb(list);
      if (insert) return win::Format(L"%llX", static_cast<unsigned long long>(id));
    }
    return std::wstring();
  }();
  ASSERT_FALSE(handle.empty());
  console::ScriptedLines answers(win::WideToUtf8(handle) + "\n");
  ConvertBlockReference(kTargetDatabase);
  ASSERT_TRUE(table_.has_value());
  EXPECT_EQ(kTargetDatabase, target_);
  ASSERT_EQ(2, table_->GetRowCount());
  ASSERT_EQ(2, table_->GetColumnCount());
  EXPECT_EQ(L"A", Cell(0, 0).GetText());
  EXPECT_EQ(L"42", Cell(1, 1).GetText()) << "the attribute lands in its cell";
  EXPECT_NE(std::wstring::npos, out.text().find(L"Select a block reference: "));
}

TEST_F(Conversion, PickingSomethingElseIsRefused) {
  Open("block.dxf");
  console::Capture out;
  console::ScriptedLines answers("2.5,0\n");  // on the loose line
  ConvertBlockReference(kTargetSpreadsheet);
  EXPECT_FALSE(table_.has_value());
  EXPECT_NE(std::wstring::npos, out.text().find(L"\nPlease select a block reference."));
}

TEST_F(Conversion, TooFewLinesAreReported) {
  Open("few.dxf");
  console::Capture out;
  console::ScriptedLines answers("ALL\n\n");
  ConvertSelection(kTargetSpreadsheet);
  ASSERT_TRUE(table_.has_value()) << "the writer gets the empty table";
  EXPECT_EQ(0, table_->GetRowCount());
  ASSERT_EQ(1u, g_boxes.size());
  EXPECT_EQ(L"Brellick OrvaneGridmason: More than two horizonal lines must be selected.",
            g_boxes[0]);
  EXPECT_EQ((std::vector<int>{-1, 1, 2, 3, 4, 7, -2}), sds_host::ProgressLog());
}

TEST_F(Conversion, CancelledSelectionEndsQuietlyAndAnEmptyOneSaysSo) {
  Open("table.dxf");
  console::Capture out;
  {
    console::ScriptedLines answers("*Cancel*\n");
    ConvertSelection(kTargetSpreadsheet);
  }
  EXPECT_TRUE(g_boxes.empty());
  {
    console::ScriptedLines answers("W 1000,1000 1001,1001\n\n");
    ConvertSelection(kTargetSpreadsheet);
  }
  EXPECT_FALSE(table_.has_value()) << "no writer for an empty selection";
  ASSERT_EQ(1u, g_boxes.size());
  EXPECT_EQ(L"Brellick OrvaneGridmason: More than two horizonal lines must be selected.",
            g_boxes[0]);
}

TEST(MiniLines, ShorterThanEightTenthsOfTheSmallestTextGo) {
  CHorzDbLineArray horizontal;
  CVertDbLineArray vertical;
  CArxDbMTextArray texts;
  auto line = [](double x1, double y1, double x2, double y2) {
    CSimpleLine l;
    l.x1 = x1;
    l.y1 = y1;
    l.x2 = x2;
    l.y2 = y2;
    return l;
  };
  horizontal.Add(line(0, 0, 1.9, 0));
  horizontal.Add(line(0, 1, 2.0, 1));
  horizontal.Add(line(0, 2, 50, 2));
  vertical.Add(line(5, 1.99, 5, 0));
  vertical.Add(line(6, 30, 6, 0));
  RemoveMiniLines(horizontal, vertical, texts);
  EXPECT_EQ(3, horizontal.GetSize()) << "no texts: nothing is removed";
  ArxDbMText a, b;
  a.height = 5;
  b.height = 2.5;
  texts.Add(a);
  texts.Add(b);
  RemoveMiniLines(horizontal, vertical, texts);
  ASSERT_EQ(2, horizontal.GetSize());
  EXPECT_DOUBLE_EQ(2.0, horizontal[0].x2) << "a line of exactly 2.0 stays";
  EXPECT_DOUBLE_EQ(50, horizontal[1].x2);
  ASSERT_EQ(1, vertical.GetSize());
  EXPECT_DOUBLE_EQ(6, vertical[0].x1);
}

}  // namespace
