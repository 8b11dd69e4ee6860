// Recognition finds cells, corners and border segments through lookups;
// these tests hold its results against the plain cell-by-cell scans on
// random drawings full of boundary cases.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>

#include "ArxUtils/CellReference.h"
#include "platform/afx/archive.h"
#include "recognition/line_grid.h"
#include "recognition/merged_cells.h"
#include "recognition/table_recogniser.h"
#include "recognition/text_placement.h"
#include "tests/recognition/drawing.h"

namespace {

using gm::test::Drawing;
using Lookups = gm::test::RecognitionTest;

// The recogniser by scanning: every cell edge walks its line's segments,
// every text walks the cells, placed texts leave the array one by one.
void RecogniseByScanning(Drawing& d, CSheetform& table, CGridBoxes& boxes) {
  SortAndMergeLines(d.horizontal);
  SortAndMergeLines(d.vertical);
  d.texts.RemoveRepeated();
  SortTexts(d.texts, 0, d.texts.GetUpperBound());
  if (d.horizontal.GetSize() < 2 || d.vertical.GetSize() < 2) return;
  if (d.texts.HasBounds()) ExtendGridToTexts(d.horizontal, d.vertical, d.texts);
  const double x0 = d.vertical[0].x1;
  const double y0 = d.horizontal[0].y1;
  std::vector<double> lefts, widths, tops, heights;
  for (int j = 1; j < d.vertical.GetSize(); ++j) {
    lefts.push_back(d.vertical[j - 1].x1);
    widths.push_back(std::fabs(d.vertical[j].x1 - lefts.back()));
  }
  for (int i = 1; i < d.horizontal.GetSize(); ++i) {
    tops.push_back(d.horizontal[i - 1].y1);
    heights.push_back(std::fabs(d.horizontal[i].y1 - tops.back()));
  }
  boxes = CGridBoxes(lefts, widths, tops, heights);
  for (int i = 1; i < d.horizontal.GetSize(); ++i) {
    CSheetformRow row;
    for (int j = 1; j < d.vertical.GetSize(); ++j) {
      CAutoCell cell;
      const CellBox box = boxes.At(i - 1, j - 1);
      cell.SetOffsetX(box.left - x0);
      cell.SetOffsetY(box.top - y0);
      cell.SetCellWidth(box.width);
      cell.SetCellHeight(box.height);
      cell.SetAddress(FormatCellAddress(i, j));
      cell.SetMergeAddress(FormatCellAddress(i, j));
      SetBorderFromLine(cell, box, xl::kEdgeLeft, d.vertical[j - 1]);
      SetBorderFromLine(cell, box, xl::kEdgeTop, d.horizontal[i - 1]);
      SetBorderFromLine(cell, box, xl::kEdgeRight, d.vertical[j]);
      SetBorderFromLine(cell, box, xl::kEdgeBottom, d.horizontal[i]);
      row.Cells.Add(cell);
    }
    table.Rows.Add(row);
  }
  for (int k = d.texts.GetUpperBound(); k >= 0; --k) {
    if (PlaceTextInCell(d.texts[k], table, boxes) == 1) d.texts.RemoveAt(k);
  }
  for (const ArxDbMText& text : d.texts) PlaceSpanningText(text, table, boxes);
  for (CSheetformRow& row : table.Rows) {
    for (CAutoCell& cell : row.Cells) FinishCellText(cell);
  }
}

std::vector<BYTE> Stored(CSheetform& table) {
  std::vector<BYTE> bytes;
  CArchive ar(bytes, CArchive::store);
  table.Serialize(ar);
  return bytes;
}

// Coordinates on a coarse lattice, so that corners, ends and edges often
// coincide exactly, with now and then a nudge near the tolerance.
class RandomDrawing {
 public:
  explicit RandomDrawing(unsigned seed) : random_(seed) {}

  Drawing Make(int rows, int columns, int texts) {
    Drawing d;
    std::vector<double> ys{0}, xs{0};
    for (int i = 0; i < rows; ++i) ys.push_back(ys.back() - Step());
    for (int j = 0; j < columns; ++j) xs.push_back(xs.back() + Step());
    for (double y : ys) {
      for (auto [a, b] : Pieces(xs.front(), xs.back())) d.H(a, b, y, Colour());
    }
    for (double x : xs) {
      for (auto [a, b] : Pieces(ys.back(), ys.front())) d.V(x, b, a, Colour());
    }
    const double width = xs.back();
    const double depth = ys.back();
    for (int t = 0; t < texts; ++t) {
      const double left = Lattice(-1, width + 1);
      const double top = Lattice(depth - 1, 1);
      const double w = Pick(4) == 0 ? 0.0 : Lattice(0, width / 3);
      double h = Pick(4) == 0 ? 0.0 : Lattice(0, -depth / 3);
      if (Pick(10) == 0) h = -h;  // an over-shrunk core box stands on its head
      ArxDbMText& text = d.Text(Pick(6) == 0 ? L"" : L"t" + std::to_wstring(t), left, top, w, h);
      text.rotation = Pick(5) == 0 ? kHalfPi : 0.0;
      text.height = t;
    }
    return d;
  }

 private:
  int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }
  double Step() { return 0.5 * (1 + Pick(6)); }
  double Lattice(double low, double high) {
    const double v = low + 0.5 * Pick(static_cast<int>((high - low) * 2) + 1);
    switch (Pick(14)) {
      case 0:
        return v + 0.5e-6;
      case 1:
        return v - 2e-6;
      case 2:
        return v - kTolerance;  // meets an edge's tolerance exactly
      case 3:
        return v + kTolerance;
      default:
        return v;
    }
  }
  std::int32_t Colour() { return Pick(3) == 0 ? kAutomaticColor : Pick(0xFFFFFF); }
  // A grid line as a few pieces, some overlapping, some leaving gaps.
  std::vector<std::pair<double, double>> Pieces(double low, double high) {
    std::vector<std::pair<double, double>> pieces;
    const int n = 1 + Pick(5);
    for (int p = 0; p < n; ++p) {
      double a = Lattice(low, high);
      double b = Lattice(low, high);
      if (a > b) std::swap(a, b);
      if (b - a < 0.25) b = a + 0.5;
      pieces.emplace_back(a, b);
    }
    return pieces;
  }

  std::mt19937 random_;
};

TEST_F(Lookups, RecognitionMatchesTheScans) {
  for (unsigned seed = 1; seed <= 3000; ++seed) {
    RandomDrawing maker(seed);
    const int rows = 1 + static_cast<int>(seed % 9);
    const int columns = 1 + static_cast<int>((seed / 3) % 11);
    Drawing original = maker.Make(rows, columns, static_cast<int>(seed % 60));
    Drawing fast = original;
    Drawing scanned = original;
    CSheetform expected;
    CSheetform actual;
    CGridBoxes expectedBoxes;
    CGridBoxes actualBoxes;
    RecogniseByScanning(scanned, expected, expectedBoxes);
    RecogniseTable(fast.horizontal, fast.vertical, fast.texts, actual, actualBoxes);

    ASSERT_EQ(Stored(actual), Stored(expected)) << "seed " << seed;
    ASSERT_EQ(fast.texts.GetSize(), scanned.texts.GetSize()) << "seed " << seed;
    for (int r = 0; r < expected.GetRowCount(); ++r) {
      for (int c = 0; c < expected.GetColumnCount(); ++c) {
        const CellBox e = expectedBoxes.At(r, c);
        const CellBox a = actualBoxes.At(r, c);
        ASSERT_EQ((std::array{a.left, a.top, a.width, a.height}),
                  (std::array{e.left, e.top, e.width, e.height}))
            << "seed " << seed << " cell " << r << "," << c;
      }
    }
  }
}

TEST_F(Lookups, FreshGridsAreIndexedAndOthersScanned) {
  Drawing d;
  d.Grid(3, 4, 5, 2);
  CSheetform table;
  CGridBoxes boxes;
  RecogniseTable(d.horizontal, d.vertical, d.texts, table, boxes);
  EXPECT_TRUE(CGridIndex(table, boxes).IsRegular());

  // A ragged table cannot be looked up in; the placer scans it instead.
  table.Rows[1].Cells.RemoveAt(3);
  const CGridIndex ragged(table, boxes);
  EXPECT_FALSE(ragged.IsRegular());
  CSheetform scanned = table;
  CGridBoxes scannedBoxes = boxes;
  ArxDbMText text;
  text.text = L"across";
  text.boxLeft = 2;
  text.boxTop = -0.5;
  text.boxWidth = 6;
  text.boxHeight = 1;
  CSpanningPlacer placer(table, boxes, ragged);
  EXPECT_EQ(placer.Place(text), 1);
  EXPECT_EQ(PlaceSpanningText(text, scanned, scannedBoxes), 1);
  EXPECT_EQ(Stored(table), Stored(scanned));
  EXPECT_EQ(boxes.At(0, 0), scannedBoxes.At(0, 0));
  EXPECT_EQ(boxes.At(0, 0).width, 10) << "widened over the range";
  EXPECT_EQ(table.Rows[0].Cells[1].GetMergeAddress(), L"$A$1:$B$1");
}

// Lookups read the grid's edges, so a table whose boxes were widened since
// must be scanned.
TEST_F(Lookups, WidenedBoxesAreScannedNotLookedUp) {
  Drawing d;
  d.Grid(2, 3, 5, 2);
  CSheetform table;
  CGridBoxes boxes;
  RecogniseTable(d.horizontal, d.vertical, d.texts, table, boxes);
  boxes.Set(1, 1, boxes.At(1, 1));
  EXPECT_FALSE(boxes.HasWidened());
  EXPECT_TRUE(CGridIndex(table, boxes).IsRegular());

  CellBox wide = boxes.At(1, 1);
  WidenOver(wide, boxes.At(1, 2));
  boxes.Set(1, 1, wide);
  EXPECT_EQ(boxes.At(1, 1), (CellBox{5, -2, 10, 2}));
  EXPECT_EQ(boxes.At(1, 2), (CellBox{10, -2, 5, 2})) << "the cell widened over keeps its box";
  EXPECT_EQ(boxes.At(0, 1), (CellBox{5, 0, 5, 2}));
  EXPECT_TRUE(boxes.HasWidened());
  EXPECT_FALSE(CGridIndex(table, boxes).IsRegular());
  EXPECT_FALSE(CGridIndex(CSheetform(), boxes).IsRegular()) << "rows the boxes have, the table not";
}

TEST_F(Lookups, SegmentLookupFallsBackForUnorderedEdges) {
  // Edges whose ends do not run one way cannot be searched; the answer must
  // still be the scan's.
  const std::vector<SegmentSpan> segments{{5, 6}, {0, 10}, {2, 3}};
  const std::vector<double> low{4, 0, 2.5};
  const std::vector<double> high{7, 1, 2.6};
  EXPECT_EQ(FirstSegmentAlong(segments, low, high), (std::vector<int>{0, 1, 1}));
  const std::vector<double> ascendingLow{0, 1, 2, 5.5};
  const std::vector<double> ascendingHigh{1, 2, 3, 9};
  EXPECT_EQ(FirstSegmentAlong(segments, ascendingLow, ascendingHigh),
            (std::vector<int>{1, 1, 1, 0}));
  EXPECT_EQ(FirstSegmentAlong({}, ascendingLow, ascendingHigh), (std::vector<int>(4, -1)));
}

}  // namespace
