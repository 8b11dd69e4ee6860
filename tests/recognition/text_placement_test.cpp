#include "recognition/text_placement.h"

#include <gtest/gtest.h>

#include <tuple>

#include "recognition/table_recogniser.h"
#include "tests/recognition/drawing.h"

namespace {

using gm::test::Drawing;
using Placement = gm::test::RecognitionTest;

// One cell of 20 by 20 with its top-left corner at (0, 0).
CSheetform OneCell(Drawing& d) {
  d.Grid(1, 1, 20, 20);
  CSheetform table;
  RecogniseTable(d.horizontal, d.vertical, d.texts, table);
  return table;
}

TEST_F(Placement, TextsOfOneLineReadLeftToRight) {
  Drawing d;
  d.Text(L"12", 10, -5, 4, 2);
  d.Text(L"AB", 2, -5, 4, 2);
  CSheetform table = OneCell(d);
  EXPECT_EQ(table.Rows[0].Cells[0].GetText(), L"AB 12");
  EXPECT_TRUE(table.Rows[0].Cells[0].GetTexts().IsEmpty());
}

TEST_F(Placement, LinesReadTopDown) {
  Drawing d;
  d.Text(L"lower", 2, -10, 4, 2);
  d.Text(L"upper", 2, -5, 4, 2);
  d.Text(L"middle", 12, -6, 4, 2);  // overlaps "upper" and joins its line
  EXPECT_EQ(OneCell(d).Rows[0].Cells[0].GetText(), L"upper middle\nlower");
}

TEST_F(Placement, BoxesThatOnlyTouchFormSeparateLines) {
  Drawing d;
  d.Text(L"b", 2, -7, 4, 2);
  d.Text(L"a", 8, -5, 4, 2);  // its bottom is b's top
  EXPECT_EQ(OneCell(d).Rows[0].Cells[0].GetText(), L"a\nb");
}

// Core boxes as capture makes them: the middle fifth of a glyph box standing
// on the baseline, so a word without tall letters has a lower, thinner core.
ArxDbMText& Word(Drawing& d, const std::wstring& s, double left, double baseline, double glyphs) {
  ArxDbMText& t = d.Text(s, left, baseline + 0.6 * glyphs, 4, 0.2 * glyphs);
  t.y = baseline;
  t.height = 2;
  return t;
}

TEST_F(Placement, WordsOnOneBaselineJoinWhateverTheirGlyphs) {
  {
    Drawing d;
    Word(d, L"delta", 8, -8, 2);
    Word(d, L"gamma", 2, -8, 1.2);
    Word(d, L"Bolt", 14, -7.8, 2);  // a little off, still the same line
    EXPECT_EQ(OneCell(d).Rows[0].Cells[0].GetText(), L"gamma delta Bolt");
  }
  {
    // One text height apart, or nearly so, is the next line.
    Drawing d;
    Word(d, L"mass", 2, -6, 1.2);
    Word(d, L"Bolt", 2, -8, 2);
    Word(d, L"saw", 8, -9.7, 1.2);
    EXPECT_EQ(OneCell(d).Rows[0].Cells[0].GetText(), L"mass\nBolt\nsaw");
  }
  {
    // Turned upward, the baseline is the box's right side.
    Drawing d;
    for (auto [s, right, glyphs] : {std::tuple{L"beta", 8.0, 2.0}, {L"saw", 8.0, 1.2}}) {
      ArxDbMText& t = d.Text(s, right - 0.6 * glyphs, s[0] == L'b' ? -8 : -2, 0.2 * glyphs, 4);
      t.rotation = kHalfPi;
      t.height = 2;
    }
    EXPECT_EQ(OneCell(d).Rows[0].Cells[0].GetText(), L"beta saw");
  }
}

TEST_F(Placement, EmptyTextsCountOnlyAsLines) {
  {
    Drawing d;
    d.Text(L"", 2, -2, 4, 2);
    d.Text(L"x", 2, -8, 4, 2);
    EXPECT_EQ(OneCell(d).Rows[0].Cells[0].GetText(), L"\nx");
  }
  {
    Drawing d;
    d.Text(L"x", 2, -2, 4, 2);
    d.Text(L"", 2, -8, 4, 2);
    d.Text(L"y", 2, -14, 4, 2);
    EXPECT_EQ(OneCell(d).Rows[0].Cells[0].GetText(), L"x\n\ny");
  }
  {
    Drawing d;
    d.Text(L"x", 2, -2, 4, 2);
    ArxDbMText& last = d.Text(L"", 2, -14, 4, 2);
    last.height = 7;
    const CAutoCell cell = OneCell(d).Rows[0].Cells[0];
    EXPECT_EQ(cell.GetText(), L"x");
    EXPECT_EQ(cell.GetFont().Size, 2);  // the highest text, not the empty one
  }
}

TEST_F(Placement, RotationSetsTheOrientation) {
  const std::pair<double, int> cases[] = {
      {kHalfPi, -4171}, {kThreeHalfPi, -4170}, {3.141592653589793, -4128}, {kHalfPi + 1e-5, -4128}};
  for (const auto& [rotation, orientation] : cases) {
    Drawing d;
    d.Text(L"r", 2, -2, 4, 2).rotation = rotation;
    EXPECT_EQ(OneCell(d).Rows[0].Cells[0].GetOrientation(), orientation) << rotation;
  }
}

TEST_F(Placement, TheHighestTextGivesTheFont) {
  Drawing d;
  ArxDbMText& low = d.Text(L"low", 2, -15, 4, 2);
  low.height = 1.0;
  low.color = 0x0000FF;
  ArxDbMText& high = d.Text(L"high", 2, -2, 4, 2);
  high.height = 3.5;
  high.color = 0x00FF00;
  d.Text(L"mid", 2, -8, 4, 2).height = 2.0;
  const CAutoCell cell = OneCell(d).Rows[0].Cells[0];
  EXPECT_EQ(cell.GetFont().Size, 3.5);
  EXPECT_EQ(cell.GetFont().Color, 0x00FF00);
  EXPECT_EQ(cell.GetFont().Name, L"Arial");
}

TEST_F(Placement, CellsWithoutTextsKeepTheDefaults) {
  Drawing d;
  d.Grid(1, 2, 10, 10);
  d.Text(L"only", 1, -1, 2, 2);
  CSheetform table;
  RecogniseTable(d.horizontal, d.vertical, d.texts, table);
  const CAutoCell& empty = table.Rows[0].Cells[1];
  EXPECT_TRUE(empty.GetText().empty());
  EXPECT_EQ(empty.GetFont().Size, 10000.0);
  EXPECT_EQ(empty.GetFont().Color, -4105);
}

TEST_F(Placement, BoxesTouchingACellLineFromInsideBelongToTheCell) {
  Drawing d;
  d.Grid(2, 2, 10, 10);
  CSheetform table;
  CGridBoxes boxes;
  RecogniseTable(d.horizontal, d.vertical, d.texts, table, boxes);
  ArxDbMText text;
  text.text = L"snug";
  text.boxLeft = 10;
  text.boxTop = -10;
  text.boxWidth = 10;
  text.boxHeight = 10;
  EXPECT_EQ(PlaceTextInCell(text, table, boxes), 1);
  EXPECT_EQ(table.Rows[1].Cells[1].GetTexts().GetSize(), 1);
  text.boxWidth = 10.5;  // crosses the frame's right line
  EXPECT_EQ(PlaceTextInCell(text, table, boxes), 0);
  CSheetform empty;
  EXPECT_EQ(PlaceTextInCell(text, empty, CGridBoxes()), 0);
}

TEST_F(Placement, ATextAcrossACellLineMergesIntoTheLeftCell) {
  Drawing d;
  d.Grid(1, 2, 10, 10);
  d.Text(L"across", 8, -4, 4, 2).rotation = kHalfPi;
  CSheetform table;
  RecogniseTable(d.horizontal, d.vertical, d.texts, table);
  EXPECT_EQ(table.Rows[0].Cells[0].GetText(), L"across");
  EXPECT_EQ(table.Rows[0].Cells[0].GetMergeAddress(), L"$A$1:$B$1");
  // Only a text wholly inside a cell turns it.
  EXPECT_EQ(table.Rows[0].Cells[0].GetOrientation(), -4128);
}

TEST(AssembleCellText, EmptyListAndLeftover) {
  CArxDbMTextArray none;
  EXPECT_EQ(AssembleCellText(none), L"");
  CArxDbMTextArray texts;
  for (int i = 0; i < 3; ++i) {
    ArxDbMText t;
    t.text = std::wstring(1, L'a' + i);
    t.x = 10 - i;  // a, b, c from right to left
    t.boxTop = 1;
    t.boxHeight = 1;
    texts.Add(t);
  }
  EXPECT_EQ(AssembleCellText(texts), L"c b a");
  EXPECT_TRUE(texts.IsEmpty());
}

}  // namespace
