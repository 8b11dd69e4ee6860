// Merged cells read from the drawn lines, and the tables of a selection
// told apart: what a person reads in title blocks and framed drawings.
#include "recognition/line_merges.h"

#include <gtest/gtest.h>

#include "platform/console/console.h"
#include "recognition/table_recogniser.h"
#include "recognition/table_split.h"
#include "tests/ArxUtils/message_boxes.h"
#include "tests/recognition/drawing.h"

namespace {

using gm::test::Drawing;
using gm::test::MessageBoxRecorder;
using Recognition = gm::test::RecognitionTest;

const CAutoCell& At(const CSheetform& table, int row, int column) {
  return table.Rows[row - 1].Cells[column - 1];
}

std::vector<std::wstring> Ranges(const CSheetform& table) {
  std::vector<std::wstring> out;
  for (const CSheetformRow& row : table.Rows) {
    for (const CAutoCell& cell : row.Cells) {
      const std::wstring merge = cell.GetMergeAddress();
      if (merge != cell.GetAddress() && merge.rfind(cell.GetAddress() + L":", 0) == 0) {
        out.push_back(merge);
      }
    }
  }
  return out;
}

CSheetform Recognise(Drawing& d, bool byLines, CGridBoxes* boxes = nullptr) {
  ConversionSettings.MergeByLines = byLines ? 1 : 0;
  CSheetform table;
  CGridBoxes own;
  RecogniseTable(d.horizontal, d.vertical, d.texts, table, boxes ? *boxes : own);
  return table;
}

TEST_F(Recognition, RegionsWithoutDividingLinesMergeOnlyWhenAsked) {
  // Two rows, two columns of 10; nothing divides A1 from B1.
  auto draw = [](Drawing& d) {
    for (double y : {0.0, -10.0, -20.0}) d.H(0, 20, y);
    d.V(0, 0, -20);
    d.V(10, -10, -20);
    d.V(20, 0, -20);
  };
  Drawing off;
  draw(off);
  EXPECT_TRUE(Ranges(Recognise(off, false)).empty());
  Drawing on;
  draw(on);
  CGridBoxes boxes;
  const CSheetform table = Recognise(on, true, &boxes);
  EXPECT_EQ(Ranges(table), (std::vector<std::wstring>{L"$A$1:$B$1"}));
  EXPECT_EQ(boxes.At(0, 0).width, 20) << "the first cell's box covers the range";
  EXPECT_EQ(boxes.At(0, 1).width, 10);

  // Open B2/B3 and B3|C3: an L of B2, B3, C3, read widest first as B3:C3
  // and B2 alone.
  Drawing l;
  l.H(0, 30, 0);
  l.H(0, 30, -10);
  l.H(0, 10, -20);
  l.H(20, 30, -20);
  l.H(0, 30, -30);
  l.V(0, 0, -30);
  l.V(10, 0, -30);
  l.V(20, 0, -20);
  l.V(30, 0, -30);
  const CSheetform lt = Recognise(l, true);
  EXPECT_EQ(Ranges(lt), (std::vector<std::wstring>{L"$B$3:$C$3"}));
  EXPECT_EQ(At(lt, 2, 2).GetMergeAddress(), L"$B$2");
  EXPECT_EQ(At(lt, 3, 2).GetMergeWidth(), 20);
}

TEST_F(Recognition, StackedRunsFormOneRangeAndDrawnPiecesDivide) {
  // A 3 x 3 grid whose middle column and row are undivided at the top left
  // 2 x 2 block; a short piece of line inside the block's lower edge
  // divides only the edge it runs along.
  Drawing d;
  d.H(0, 30, 0);
  d.H(20, 30, -10);
  d.H(0, 30, -20);
  d.H(0, 30, -30);
  d.V(0, 0, -30);
  d.V(10, -20, -30);
  d.V(20, 0, -30);
  d.V(30, 0, -30);
  CSheetform table = Recognise(d, true);
  EXPECT_EQ(Ranges(table), (std::vector<std::wstring>{L"$A$1:$B$2"}));
  EXPECT_EQ(At(table, 1, 1).GetMergeHeight(), 20);
  EXPECT_EQ(At(table, 1, 1).GetMergeWidth(), 20);

  // A stroke that overshoots the crossing line by less than the grid
  // tolerance (a thousandth of the widest gap) divides nothing beyond it.
  Drawing o;
  o.H(0, 20, 0);
  o.H(0, 20, -10);
  o.H(0, 20, -20);
  o.V(0, 0, -20);
  o.V(10, 0, -10.005);  // into row 2 by 0.005 < 0.01
  o.V(20, 0, -20);
  EXPECT_EQ(Ranges(Recognise(o, true)), (std::vector<std::wstring>{L"$A$2:$B$2"}));
}

TEST_F(Recognition, TextsGoToTheirRangeThenSpanAsBefore) {
  // Two columns, two rows; A1|B1 undivided. "Left" in A1, "Right" in B1's
  // own box: both go to A1 in reading order. "Wide" crosses from A2 into B2
  // and merges them by the text rule.
  Drawing d;
  d.Grid(2, 2, 20, 10);
  d.vertical[1].y1 = -10;  // the middle line starts at row 2
  d.Text(L"Left", 2, -3, 6, 2);
  d.Text(L"Right", 22, -3, 6, 2);
  d.Text(L"Wide", 15, -13, 10, 2);
  // The spanning text starts in B1's own box and ends in B2: the range
  // becomes A1:B2, uniting the drawn range with the text's.
  d.Text(L"Down", 24, -8, 4, 5);
  MessageBoxRecorder boxes;
  const CSheetform table = Recognise(d, true);
  EXPECT_EQ(At(table, 1, 1).GetMergeAddress(), L"$A$1:$B$2");
  EXPECT_EQ(At(table, 2, 2).GetMergeAddress(), L"$A$1:$B$2");
  EXPECT_NE(At(table, 1, 1).GetText().find(L"Left Right"), std::wstring::npos)
      << "a text in B1's box joins A1's line";
  EXPECT_NE(At(table, 1, 1).GetText().find(L"Wide"), std::wstring::npos);
  EXPECT_TRUE(At(table, 1, 2).GetText().empty());
  EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(Recognition, FrameAndTheTablesInsideItAreApart) {
  Drawing d;
  // A frame 0..100 x 0..-60 and, inside it, a 2 x 2 table that touches
  // nothing; a second 1 x 1 table whose lines meet at a corner only within
  // the tolerance; a stray line; a text outside everything.
  d.H(0, 100, 0);
  d.H(0, 100, -60);
  d.V(0, 0, -60);
  d.V(100, 0, -60);
  for (double y : {-10.0, -20.0, -30.0}) d.H(10, 50, y);
  for (double x : {10.0, 30.0, 50.0}) d.V(x, -10, -30);
  d.H(60, 89.99, -40);
  d.H(60, 90, -50);
  d.V(60, -40, -50);
  d.V(90, -40.005, -50);  // gaps below the tolerances (0.1 across, 0.04 up)
  d.H(200, 210, -5);      // stray
  for (double y : {-100.0, -110.0}) d.H(200, 210, y);  // a box with no text
  for (double x : {200.0, 210.0}) d.V(x, -100, -110);
  d.Text(L"in table", 12, -12, 6, 2);
  d.Text(L"in frame", 20, -50, 8, 2);
  d.Text(L"in corner table", 62, -43, 10, 2);
  d.Text(L"outside", 300, -300, 10, 2);
  int outside = 0;
  const std::vector<TableParts> parts = SplitIntoTables(d.horizontal, d.vertical, d.texts, outside);
  ASSERT_EQ(parts.size(), 4u);
  EXPECT_EQ(outside, 1);
  EXPECT_TRUE(parts[3].texts.IsEmpty());
  EXPECT_EQ(parts[0].top, 0);  // the frame comes first
  EXPECT_EQ(parts[0].texts.GetSize(), 1);
  EXPECT_EQ(parts[0].texts[0].text, L"in frame");
  EXPECT_EQ(parts[1].horizontal.GetSize(), 3);
  EXPECT_EQ(parts[1].texts[0].text, L"in table") << "the smallest extent wins";
  EXPECT_EQ(parts[2].vertical.GetSize(), 2);
  EXPECT_EQ(parts[2].texts[0].text, L"in corner table");

  console::Capture out;
  const std::vector<CSheetform> tables = RecogniseTables(d.horizontal, d.vertical, d.texts, true);
  ASSERT_EQ(tables.size(), 3u) << "the box without text is no table of data";
  EXPECT_EQ(tables[0].GetRowCount(), 1);
  EXPECT_EQ(tables[1].GetRowCount(), 2);
  EXPECT_EQ(At(tables[1], 1, 1).GetText(), L"in table");
  EXPECT_NE(out.text().find(L"1 text(s) lie outside every table"), std::wstring::npos);
}

TEST_F(Recognition, WithoutTablesTheSplitFallsBackToOneGrid) {
  // A single horizontal line: the split finds no table, and recognition
  // reports the missing lines as it does without splitting.
  MessageBoxRecorder boxes;
  Drawing d;
  d.H(0, 10, 0);
  d.V(0, 0, -10);
  d.V(10, 0, -10);
  const std::vector<CSheetform> tables = RecogniseTables(d.horizontal, d.vertical, d.texts, true);
  ASSERT_EQ(tables.size(), 1u);
  EXPECT_EQ(tables[0].GetRowCount(), 0);
  ASSERT_EQ(boxes.shown().size(), 1u);
}

}  // namespace
