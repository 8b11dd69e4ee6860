#include "recognition/line_grid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "tests/recognition/drawing.h"

namespace {

using gm::test::Drawing;
using gm::test::Line;
using LineGrid = gm::test::RecognitionTest;

std::vector<double> Keys(GridAxis axis, const CCheckedArray<CSimpleLine>& lines) {
  std::vector<double> keys;
  for (const CSimpleLine& line : lines) keys.push_back(GridKey(axis, line));
  return keys;
}

std::vector<double> SegmentKeys(GridAxis axis, const CSimpleLine& line) {
  return Keys(axis, line.Segments);
}

TEST_F(LineGrid, LinesWithinAThousandthOfTheGapMerge) {
  Drawing d;
  d.H(0, 10, 10.004);
  d.H(0, 10, 0);
  d.H(0, 10, 10);
  SortAndMergeLines(d.horizontal);
  ASSERT_EQ(Keys(GridAxis::kHorizontal, d.horizontal), (std::vector<double>{10, 0}));
  EXPECT_EQ(SegmentKeys(GridAxis::kHorizontal, d.horizontal[0]), (std::vector<double>{10.004, 10}));
  EXPECT_EQ(SegmentKeys(GridAxis::kHorizontal, d.horizontal[1]), (std::vector<double>{0}));
  EXPECT_TRUE(d.horizontal[0].Segments[0].Segments.IsEmpty());
}

TEST_F(LineGrid, DoubleLineDistance) {
  for (auto [distance, lines] : {std::pair{0.02, 1}, std::pair{0.005, 2}}) {
    ConversionSettings.DoubleLineDist = distance;
    Drawing d;
    d.H(0, 10, 10);
    d.H(0, 10, 9.99);
    SortAndMergeLines(d.horizontal);
    EXPECT_EQ(d.horizontal.GetSize(), lines) << distance;
  }
  // A distance of zero merges only equal keys, whatever the gap.
  ConversionSettings.DoubleLineDist = 0.0;
  Drawing d;
  d.V(5, 0, -1);
  d.V(5.0000005, -1, -2);
  d.V(5.00001, -2, -3);
  d.V(100, 0, -3);
  SortAndMergeLines(d.vertical);
  EXPECT_EQ(Keys(GridAxis::kVertical, d.vertical), (std::vector<double>{5.0000005, 5.00001, 100}));
}

TEST_F(LineGrid, ClustersAreMeasuredFromTheSurvivor) {
  ConversionSettings.DoubleLineDist = 0.01;
  Drawing d;
  d.H(0, 1, 0.012);
  d.H(0, 1, 0.006);
  d.H(0, 1, 0);
  SortAndMergeLines(d.horizontal);
  ASSERT_EQ(Keys(GridAxis::kHorizontal, d.horizontal), (std::vector<double>{0.012, 0}));
  EXPECT_EQ(SegmentKeys(GridAxis::kHorizontal, d.horizontal[1]), (std::vector<double>{0.006, 0}));
}

TEST_F(LineGrid, CollinearPiecesBecomeSegmentsOfOneLine) {
  Drawing d;
  d.H(7, 12, 5, 0x0000FF);
  d.H(0, 5, 5, 0x00FF00);
  d.H(0, 12, -5);
  SortAndMergeLines(d.horizontal);
  ASSERT_EQ(d.horizontal.GetSize(), 2);
  const CSimpleLine& top = d.horizontal[0];
  ASSERT_EQ(top.Segments.GetSize(), 2);
  // The survivor is the later of the two and keeps its own endpoints.
  EXPECT_EQ(top.x1, 0);
  EXPECT_EQ(top.x2, 5);
  EXPECT_EQ(top.Segments[0].x1, 7);
  EXPECT_EQ(top.Segments[0].color, 0x0000FF);
  EXPECT_EQ(top.Segments[1].x1, 0);
}

TEST_F(LineGrid, SmallArraysPassThrough) {
  CHorzDbLineArray none;
  SortAndMergeLines(none);
  EXPECT_TRUE(none.IsEmpty());
  Drawing d;
  d.V(3, 0, -1);
  SortAndMergeLines(d.vertical);
  ASSERT_EQ(d.vertical.GetSize(), 1);
  EXPECT_TRUE(d.vertical[0].Segments.IsEmpty());
  EXPECT_EQ(GridGap(GridAxis::kVertical, d.vertical), 1e-6);
}

TEST_F(LineGrid, LargeArraysSortAcrossRuns) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> key(0, 600);  // many equal keys
  CCheckedArray<CSimpleLine> vertical, horizontal;
  for (int i = 0; i < 2500; ++i) {
    const double x = key(random) * 0.5;
    vertical.Add(Line(x, 0, x, -1));
    horizontal.Add(Line(0, x, 1, x));
  }
  SortGridLines(GridAxis::kVertical, vertical);
  SortGridLines(GridAxis::kHorizontal, horizontal);
  const std::vector<double> up = Keys(GridAxis::kVertical, vertical);
  const std::vector<double> down = Keys(GridAxis::kHorizontal, horizontal);
  ASSERT_EQ(up.size(), 2500u);
  EXPECT_TRUE(std::is_sorted(up.begin(), up.end()));
  EXPECT_TRUE(std::is_sorted(down.rbegin(), down.rend()));
}

// Equal keys keep one order whatever the array's size: a later run of 1000 lines before an
// earlier one, and file order within a run. The merges rely on it to pick their survivors.
TEST_F(LineGrid, EqualKeysKeepTheirOrderAcrossRuns) {
  std::mt19937 random(5);
  std::uniform_int_distribution<int> key(0, 30);
  CCheckedArray<CSimpleLine> vertical;
  for (int i = 0; i < 4700; ++i) {
    const double x = key(random);
    CSimpleLine line = Line(x, 0, x, -1);
    line.color = i;
    // Lines travel whole, with the pieces they carry.
    for (int s = 0; s < i % 3; ++s) line.Segments.Add(Line(x, s, x, s - 1, i));
    vertical.Add(line);
  }
  std::vector<CSimpleLine> expected = vertical.Data();
  std::stable_sort(expected.begin(), expected.end(),
                   [](const CSimpleLine& a, const CSimpleLine& b) {
                     if (a.x1 != b.x1) return a.x1 < b.x1;
                     return a.color / 1000 > b.color / 1000;
                   });
  SortGridLines(GridAxis::kVertical, vertical);
  ASSERT_EQ(vertical.GetSize(), 4700);
  for (int i = 0; i < vertical.GetSize(); ++i) {
    ASSERT_EQ(vertical[i].color, expected[static_cast<std::size_t>(i)].color) << i;
    ASSERT_EQ(vertical[i].Segments.GetSize(), vertical[i].color % 3) << i;
    for (const CSimpleLine& piece : vertical[i].Segments) ASSERT_EQ(piece.color, vertical[i].color);
  }
}

// The merge as first described: one backward pass that removes each
// absorbed line from the array on the spot.
void MergeByRemoval(GridAxis axis, CCheckedArray<CSimpleLine>& lines) {
  const double gap = GridGap(axis, lines);
  for (int k = lines.GetSize() - 1; k >= 1; --k) {
    if (IsSameGridLine(axis, lines[k], lines[k - 1], gap)) {
      if (k == 1) lines[1].Segments.Add(lines[1].Bare());
      lines.RemoveAt(k - 1);
    } else {
      if (k == 1) lines[0].Segments.Add(lines[0].Bare());
      lines[k].Segments.Add(lines[k].Bare());
    }
  }
}

TEST_F(LineGrid, MergeMatchesTheRemovingPass) {
  std::mt19937 random(11);
  for (int round = 0; round < 40; ++round) {
    ConversionSettings.DoubleLineDist = round % 3 == 0 ? 0.3 : (round % 3 == 1 ? -1.0 : 0.0);
    std::uniform_int_distribution<int> count(1, round < 30 ? 300 : 2600);
    std::uniform_int_distribution<int> row(0, 40);
    std::uniform_real_distribution<double> jitter(-0.2, 0.2);
    CVertDbLineArray lines;
    const int n = count(random);
    for (int i = 0; i < n; ++i) {
      const double x = row(random) * 10 + (i % 4 == 0 ? jitter(random) : 0.0);
      lines.AddIfVertical(Line(x, i, x, i - 1, i));
    }
    CCheckedArray<CSimpleLine> expected = lines;
    SortGridLines(GridAxis::kVertical, expected);
    MergeByRemoval(GridAxis::kVertical, expected);
    SortAndMergeLines(lines);

    ASSERT_EQ(lines.GetSize(), expected.GetSize()) << round;
    for (int i = 0; i < lines.GetSize(); ++i) {
      ASSERT_EQ(lines[i].x1, expected[i].x1);
      ASSERT_EQ(lines[i].y1, expected[i].y1);
      ASSERT_EQ(lines[i].Segments.GetSize(), expected[i].Segments.GetSize());
      for (int s = 0; s < lines[i].Segments.GetSize(); ++s) {
        ASSERT_EQ(lines[i].Segments[s].color, expected[i].Segments[s].color);
        ASSERT_EQ(lines[i].Segments[s].x1, expected[i].Segments[s].x1);
      }
    }
  }
}

TEST_F(LineGrid, IsSameGridLineWantsTheArraysOrientation) {
  CSimpleLine a = Line(0, 0, 10, 0);
  const CSimpleLine slanted = Line(0, 0, 10, 5);
  EXPECT_FALSE(IsSameGridLine(GridAxis::kHorizontal, a, slanted, 10));
  EXPECT_FALSE(IsSameGridLine(GridAxis::kVertical, a, Line(0, 0, 10, 0), 10));
  EXPECT_TRUE(a.Segments.IsEmpty());
  EXPECT_TRUE(IsSameGridLine(GridAxis::kHorizontal, a, Line(0, 0.005, 10, 0.005), 10));
  EXPECT_EQ(a.Segments.GetSize(), 1);
}

TEST_F(LineGrid, ExtensionAddsVirtualLinesOnlyWhereTextsLieOutside) {
  Drawing d;
  d.Grid(2, 2, 10, 5);
  d.Text(L"inside", 1, -1, 2, 1);
  SortAndMergeLines(d.horizontal);
  SortAndMergeLines(d.vertical);
  ExtendGridToTexts(d.horizontal, d.vertical, d.texts);
  EXPECT_EQ(d.horizontal.GetSize(), 3);
  EXPECT_EQ(d.vertical.GetSize(), 3);

  d.Text(L"left", -8, -2, 3, 1);
  d.Text(L"below right", 21, -11, 3, 1);
  d.Text(L"above", 4, 3, 1, 1);
  ExtendGridToTexts(d.horizontal, d.vertical, d.texts);
  EXPECT_EQ(Keys(GridAxis::kVertical, d.vertical), (std::vector<double>{-8, 0, 10, 20, 24}));
  EXPECT_EQ(Keys(GridAxis::kHorizontal, d.horizontal), (std::vector<double>{3, 0, -5, -10, -12}));
  for (const CSimpleLine* line :
       {&d.vertical[0], &d.vertical[4], &d.horizontal[0], &d.horizontal[4]}) {
    EXPECT_EQ(line->IsVirtual, 1);
    EXPECT_TRUE(line->Segments.IsEmpty());
  }
  EXPECT_EQ(d.vertical[1].IsVirtual, 0);
}

TEST_F(LineGrid, SortTextsRangeForms) {
  Drawing d;
  for (double y : {1.0, 5.0, 3.0, 4.0, 2.0}) d.Text(L"t", 6 - y, y, 1, 0.5);
  auto ys = [&] {
    std::vector<double> out;
    for (const ArxDbMText& t : d.texts) out.push_back(t.y);
    return out;
  };
  SortTexts(d.texts, 3, 1);  // swapped into 1..3
  EXPECT_EQ(ys(), (std::vector<double>{0.5, 4.5, 3.5, 2.5, 1.5}));
  SortTexts(d.texts, -4, 99);  // the whole array
  EXPECT_EQ(ys(), (std::vector<double>{4.5, 3.5, 2.5, 1.5, 0.5}));
  SortTexts(d.texts, 0, 4, TextSortKey::kX);  // x = 6 - y: highest x first
  EXPECT_EQ(ys(), (std::vector<double>{0.5, 1.5, 2.5, 3.5, 4.5}));
  CArxDbMTextArray empty;
  SortTexts(empty, 0, -1);
  EXPECT_TRUE(empty.IsEmpty());
}

TEST_F(LineGrid, SortTextsKeepsTheOrderOfEqualKeysAndEveryText) {
  std::mt19937 random(5);
  std::uniform_int_distribution<int> level(0, 20);  // many equal keys
  for (const TextSortKey key : {TextSortKey::kY, TextSortKey::kX}) {
    CArxDbMTextArray texts;
    for (int i = 0; i < 3000; ++i) {
      ArxDbMText t;
      t.x = level(random);
      t.y = level(random);
      t.text = L"text number " + std::to_wstring(i);
      texts.Add(t);
    }
    std::vector<ArxDbMText> expected = texts.Data();
    std::stable_sort(expected.begin() + 100, expected.end() - 100,
                     [key](const ArxDbMText& a, const ArxDbMText& b) {
                       return key == TextSortKey::kY ? a.y > b.y : a.x > b.x;
                     });
    SortTexts(texts, 100, texts.GetSize() - 101, key);
    ASSERT_EQ(texts.GetSize(), static_cast<int>(expected.size()));
    for (int i = 0; i < texts.GetSize(); ++i) {
      ASSERT_EQ(texts[i].text, expected[static_cast<std::size_t>(i)].text) << i;
    }
  }
}

}  // namespace
