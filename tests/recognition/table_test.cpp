#include "recognition/table_recogniser.h"

#include <gtest/gtest.h>

#include "platform/console/console.h"
#include "platform/sds/sds.h"
#include "recognition/merged_cells.h"
#include "tests/ArxUtils/message_boxes.h"
#include "tests/recognition/drawing.h"

namespace {

using gm::test::Drawing;
using gm::test::MessageBoxRecorder;
using Recognition = gm::test::RecognitionTest;

const CAutoCell& At(const CSheetform& table, int row, int column) {
  return table.Rows[row - 1].Cells[column - 1];
}

const std::wstring& Edge(const CAutoCell& cell, int slot) {
  return cell.GetBorders().GetAt(slot).LineStyleName;
}

TEST_F(Recognition, RectangleWithOneText) {
  MessageBoxRecorder boxes;
  Drawing d;
  d.Grid(1, 1, 20, 8);
  d.Text(L"Total", 2, -2, 6, 2);
  CSheetform table;
  CGridBoxes grid;
  RecogniseTable(d.horizontal, d.vertical, d.texts, table, grid);
  ASSERT_EQ(table.GetRowCount(), 1);
  ASSERT_EQ(table.GetColumnCount(), 1);
  const CAutoCell& cell = At(table, 1, 1);
  EXPECT_EQ(cell.GetAddress(), L"$A$1");
  EXPECT_EQ(cell.GetMergeAddress(), L"$A$1");
  EXPECT_EQ(cell.GetText(), L"Total");
  for (int slot :
       {CAutoBorders::kTop, CAutoBorders::kBottom, CAutoBorders::kLeft, CAutoBorders::kRight}) {
    EXPECT_EQ(Edge(cell, slot), L"Continuous");
  }
  EXPECT_TRUE(Edge(cell, 0).empty());
  EXPECT_TRUE(Edge(cell, 1).empty());
  EXPECT_EQ(grid.At(0, 0).width, 20);
  EXPECT_EQ(grid.At(0, 0).height, 8);
  EXPECT_EQ(cell.GetCellWidth(), 20);
  EXPECT_TRUE(d.texts.IsEmpty());  // placed texts leave the array
  EXPECT_TRUE(boxes.shown().empty());
  EXPECT_EQ(sds_host::ProgressLog(), (std::vector<int>{2, 3, 4, 5, 6}));
}

TEST_F(Recognition, GeometryAndAddressesOfAFullGrid) {
  Drawing d;
  d.Grid(2, 3, 10, 4);
  for (CSimpleLine& line : d.vertical) {
    line.x1 += 100;
    line.x2 += 100;
  }
  for (CSimpleLine& line : d.horizontal) {
    line.x1 += 100;
    line.x2 += 100;
  }
  CSheetform table;
  CGridBoxes boxes;
  RecogniseTable(d.horizontal, d.vertical, d.texts, table, boxes);
  ASSERT_EQ(table.GetRowCount(), 2);
  ASSERT_EQ(table.GetColumnCount(), 3);
  const CAutoCell& cell = At(table, 2, 3);
  EXPECT_EQ(cell.GetAddress(), L"$C$2");
  EXPECT_EQ(boxes.At(1, 2), (CellBox{120, -4, 10, 4}));
  EXPECT_EQ(cell.GetOffsetX(), 20);
  EXPECT_EQ(cell.GetOffsetY(), -4);
  EXPECT_EQ(cell.GetMergeWidth(), 0);
}

TEST_F(Recognition, TooFewLinesAreReported) {
  MessageBoxRecorder boxes;
  Drawing d;
  d.H(0, 10, 0);
  for (int j = 0; j < 4; ++j) d.V(j * 2, 0, -5);
  CSheetform table;
  RecogniseTable(d.horizontal, d.vertical, d.texts, table);
  EXPECT_EQ(table.GetRowCount(), 0);
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(boxes.shown()[0].text, L"More than two horizonal lines must be selected.");
  EXPECT_EQ(boxes.shown()[0].caption, L"Brellick OrvaneGridmason");
  EXPECT_EQ(boxes.shown()[0].type, MB_OK | MB_ICONINFORMATION);
  EXPECT_EQ(boxes.shown()[0].owner, sds_getmainhwnd());
  EXPECT_EQ(sds_host::ProgressLog(), (std::vector<int>{2, 3, 4}));

  // Two horizontal grid lines are enough; one vertical is not. Collinear
  // pieces count as one line.
  Drawing v;
  v.H(0, 10, 0);
  v.H(0, 10, -5);
  v.V(3, 0, -2);
  v.V(3, -2, -5);
  CSheetform second;
  RecogniseTable(v.horizontal, v.vertical, v.texts, second);
  EXPECT_EQ(second.GetRowCount(), 0);
  ASSERT_EQ(boxes.shown().size(), 2u);
  EXPECT_EQ(boxes.shown()[1].text, L"More than two vertical lines must be selected.");
}

TEST_F(Recognition, MissingLinePartsLeaveEdgesWithoutBorder) {
  Drawing d;
  d.H(0, 20, 0);
  d.H(0, 20, -5);
  d.H(0, 20, -10);
  d.V(0, 0, -10);
  d.V(10, 0, -5);  // the middle line stops halfway down
  d.V(20, 0, -10);
  CSheetform table;
  RecogniseTable(d.horizontal, d.vertical, d.texts, table);
  ASSERT_EQ(table.GetRowCount(), 2);
  ASSERT_EQ(table.GetColumnCount(), 2);
  EXPECT_EQ(Edge(At(table, 1, 1), CAutoBorders::kRight), L"Continuous");
  EXPECT_EQ(Edge(At(table, 1, 2), CAutoBorders::kLeft), L"Continuous");
  EXPECT_TRUE(Edge(At(table, 2, 1), CAutoBorders::kRight).empty());
  EXPECT_TRUE(Edge(At(table, 2, 2), CAutoBorders::kLeft).empty());
  EXPECT_EQ(At(table, 2, 1).GetMergeAddress(), L"$A$2");  // no merge without text
}

TEST_F(Recognition, EachEdgeTakesTheColourOfTheFirstSegmentAlongIt) {
  Drawing d;
  d.H(0, 10, 0, 0x0000FF);
  d.H(10, 20, 0, 0x00FF00);
  d.H(0, 20, -5, 0xFF0000);
  d.H(8, 20, -5, 0x00FFFF);  // the survivor: its own piece comes last
  d.V(0, 0, -5);
  d.V(10, 0, -5);
  d.V(20, 0, -5);
  CSheetform table;
  RecogniseTable(d.horizontal, d.vertical, d.texts, table);
  EXPECT_EQ(At(table, 1, 1).GetBorders().GetAt(CAutoBorders::kTop).Color, 0x0000FF);
  EXPECT_EQ(At(table, 1, 2).GetBorders().GetAt(CAutoBorders::kTop).Color, 0x00FF00);
  EXPECT_EQ(At(table, 1, 1).GetBorders().GetAt(CAutoBorders::kBottom).Color, 0xFF0000);
  EXPECT_EQ(At(table, 1, 2).GetBorders().GetAt(CAutoBorders::kBottom).Color, 0xFF0000);
}

TEST_F(Recognition, SegmentsMustOverlapAnEdgeByMoreThanTheTolerance) {
  CAutoCell cell;
  const CellBox box{10, 0, 10, 5};
  CSimpleLine grid = gm::test::Line(0, 0, 10.0000005, 0);
  grid.Segments.Add(grid.Bare());  // ends within the tolerance of the edge
  SetBorderFromLine(cell, box, xl::kEdgeTop, grid);
  EXPECT_TRUE(Edge(cell, CAutoBorders::kTop).empty());
  grid.Segments.Add(gm::test::Line(19.99, 0, 30, 0, 0x123456).Bare());
  SetBorderFromLine(cell, box, xl::kEdgeTop, grid);
  EXPECT_EQ(Edge(cell, CAutoBorders::kTop), L"Continuous");
  EXPECT_EQ(cell.GetBorders().GetAt(CAutoBorders::kTop).Color, 0x123456);

  CSimpleLine boundary = grid;
  boundary.IsVirtual = 1;
  SetBorderFromLine(cell, box, xl::kEdgeBottom, boundary);
  SetBorderFromLine(cell, box, 12, grid);
  EXPECT_TRUE(Edge(cell, CAutoBorders::kBottom).empty());
}

TEST_F(Recognition, TextAcrossTwoColumnsMergesThem) {
  Drawing d;
  d.Grid(2, 3, 10, 5);
  d.Text(L"wide", 6, -1, 8, 2);
  CSheetform table;
  CGridBoxes boxes;
  RecogniseTable(d.horizontal, d.vertical, d.texts, table, boxes);
  const CAutoCell& a1 = At(table, 1, 1);
  const CAutoCell& b1 = At(table, 1, 2);
  EXPECT_EQ(a1.GetMergeAddress(), L"$A$1:$B$1");
  EXPECT_EQ(b1.GetMergeAddress(), L"$A$1:$B$1");
  EXPECT_EQ(At(table, 1, 3).GetMergeAddress(), L"$C$1");
  EXPECT_EQ(a1.GetText(), L"wide");
  EXPECT_TRUE(b1.GetText().empty());
  EXPECT_EQ(boxes.At(0, 0), (CellBox{0, 0, 20, 5}));
  EXPECT_EQ(a1.GetMergeWidth(), 20);
  EXPECT_EQ(a1.GetMergeHeight(), 5);
  EXPECT_EQ(a1.GetCellWidth(), 10);
  EXPECT_EQ(boxes.At(0, 1), (CellBox{10, 0, 10, 5}));
  EXPECT_EQ(a1.GetOrientation(), -4128);
  EXPECT_EQ(d.texts.GetSize(), 1);  // spanning texts stay in the array
}

TEST_F(Recognition, ASecondSpanUnitesWithTheStartCellsRange) {
  Drawing d;
  d.Grid(2, 3, 10, 5);
  d.Text(L"wide", 6, -1, 8, 2);
  d.Text(L"tall", 12, -3.5, 3, 4);  // from $B$1 down into $B$2, below "wide"
  d.Text(L"low", 22, -6, 3, 2);     // in $C$2 alone
  CSheetform table;
  CGridBoxes boxes;
  RecogniseTable(d.horizontal, d.vertical, d.texts, table, boxes);
  for (auto [r, c] : {std::pair{1, 1}, {1, 2}, {2, 1}, {2, 2}}) {
    EXPECT_EQ(At(table, r, c).GetMergeAddress(), L"$A$1:$B$2") << r << c;
  }
  const CAutoCell& a1 = At(table, 1, 1);
  EXPECT_EQ(a1.GetText(), L"wide\ntall");
  EXPECT_EQ(boxes.At(0, 0).height, 10);
  EXPECT_EQ(a1.GetMergeHeight(), 10);
  EXPECT_EQ(a1.GetMergeWidth(), 20);
  EXPECT_EQ(At(table, 2, 3).GetText(), L"low");
  EXPECT_EQ(At(table, 2, 3).GetMergeAddress(), L"$C$2");
}

TEST_F(Recognition, ATopLeftCornerOnARowLineStartsInTheLowerRow) {
  Drawing d;
  d.Grid(3, 2, 10, 5);
  d.Text(L"edge", 2, -5, 13, 3);  // top on the line between rows 1 and 2
  CSheetform table;
  RecogniseTable(d.horizontal, d.vertical, d.texts, table);
  EXPECT_EQ(At(table, 2, 1).GetText(), L"edge");
  EXPECT_EQ(At(table, 2, 1).GetMergeAddress(), L"$A$2:$B$2");
  EXPECT_EQ(At(table, 1, 1).GetMergeAddress(), L"$A$1");
}

TEST_F(Recognition, ATextLeftOfTheFrameGetsAColumnOfItsOwn) {
  Drawing d;
  d.Grid(2, 2, 10, 5);
  d.Text(L"label", -9, -6, 4, 2);
  CSheetform table;
  CGridBoxes boxes;
  RecogniseTable(d.horizontal, d.vertical, d.texts, table, boxes);
  ASSERT_EQ(table.GetColumnCount(), 3);
  const CAutoCell& label = At(table, 2, 1);
  EXPECT_EQ(label.GetText(), L"label");
  EXPECT_EQ(label.GetAddress(), L"$A$2");
  EXPECT_EQ(boxes.At(1, 0).left, -9);
  EXPECT_TRUE(Edge(label, CAutoBorders::kLeft).empty());
  EXPECT_TRUE(Edge(label, CAutoBorders::kTop).empty());
  EXPECT_EQ(Edge(label, CAutoBorders::kRight), L"Continuous");
  EXPECT_EQ(At(table, 2, 2).GetOffsetX(), 9);
}

TEST_F(Recognition, AnUnreadableEarlierRangeSkipsTheMerge) {
  Drawing d;
  d.Grid(1, 3, 10, 5);
  CSheetform table;
  CGridBoxes boxes;
  RecogniseTable(d.horizontal, d.vertical, d.texts, table, boxes);
  table.Rows[0].Cells[0].SetMergeAddress(L"$A$1:bad");
  console::Capture output;
  ArxDbMText text;
  text.text = L"across";
  text.boxLeft = 2;
  text.boxTop = -1;
  text.boxWidth = 12;
  text.boxHeight = 2;
  EXPECT_EQ(PlaceSpanningText(text, table, boxes), 0);
  EXPECT_EQ(output.text(), L"Failed to parse address: $A$1:bad");
  EXPECT_EQ(table.Rows[0].Cells[0].GetTexts().GetSize(), 1);
  EXPECT_EQ(table.Rows[0].Cells[1].GetMergeAddress(), L"$B$1");

  ArxDbMText outside = text;
  outside.boxLeft = 50;
  EXPECT_EQ(PlaceSpanningText(outside, table, boxes), 0);
  ArxDbMText empty = outside;
  empty.text.clear();
  EXPECT_EQ(PlaceSpanningText(empty, table, boxes), 1);
}

}  // namespace
