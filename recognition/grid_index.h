// Lookups over a freshly built grid that answer what the cell-by-cell scans
// of text placement and border marking answer, in logarithmic time. Only
// recognition's own loops use them; the scans stay the reference.
#pragma once

#include <vector>

#include "capture/records.h"
#include "model/sheetform.h"
#include "recognition/grid_boxes.h"

struct CellPosition {
  int row;     // 0-based
  int column;  // 0-based
  bool operator==(const CellPosition&) const = default;
  auto operator<=>(const CellPosition&) const = default;
};

class CGridIndex {
 public:
  // Reads the boxes as they are now; later changes to them are not seen.
  CGridIndex(const CSheetform& table, const CGridBoxes& boxes);

  // True when the cells form a regular grid: every row of the table has a
  // cell for each column of the boxes, no cell has a widened box, bands go
  // down and spans go right. The lookups below require it.
  bool IsRegular() const { return regular_; }

  // The cell PlaceTextInCell's scan picks for the text's core box: the
  // first row (top down) that holds it, in which the first cell that holds
  // it. False when the scan would answer 0.
  bool FindEnclosingCell(const ArxDbMText& text, CellPosition& cell) const;

  // Appends, row by row and left to right, every cell whose grid box holds
  // the point (boundaries included).
  void AppendCellsAt(double x, double y, std::vector<CellPosition>& out) const;

  // The number of rows whose top lies at or above y: 0 to the row count,
  // never increasing as y grows. Any box spans a contiguous run of these.
  int BandOf(double y) const;
  int BandCount() const { return static_cast<int>(tops_.size()) + 1; }

 private:
  bool regular_ = false;
  std::vector<double> tops_, bottoms_;  // per row, non-increasing
  std::vector<double> lefts_, rights_;  // per column, non-decreasing
};

// For each query interval q, the index of the first segment s (in the
// order given) with s.low <= high[q] - 1e-6 and s.high >= low[q] + 1e-6, or
// -1: which drawn piece of a grid line runs along each cell edge.
struct SegmentSpan {
  double low;
  double high;
};
std::vector<int> FirstSegmentAlong(const std::vector<SegmentSpan>& segments,
                                   const std::vector<double>& low, const std::vector<double>& high);
