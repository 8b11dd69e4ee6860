#include "recognition/grid_index.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "capture/geometry.h"

namespace {

template <typename Less>
bool IsOrdered(const std::vector<double>& v, Less less) {
  for (std::size_t i = 1; i < v.size(); ++i) {
    if (less(v[i], v[i - 1])) return false;
  }
  return true;
}

// First index in [0, n) for which pred turns false; pred must be true on a
// prefix.
template <typename Pred>
int PrefixEnd(int n, Pred pred) {
  int low = 0;
  int high = n;
  while (low < high) {
    const int mid = low + (high - low) / 2;
    if (pred(mid)) {
      low = mid + 1;
    } else {
      high = mid;
    }
  }
  return low;
}

}  // namespace

CGridIndex::CGridIndex(const CSheetform& table, const CGridBoxes& boxes) {
  const int rows = boxes.GetRowCount();
  const int columns = boxes.GetColumnCount();
  if (rows == 0 || columns == 0 || table.GetRowCount() != rows || boxes.HasWidened()) return;
  for (const CSheetformRow& row : table.Rows) {
    if (row.Cells.GetSize() != columns) return;
  }
  // A NaN edge would answer no comparison the way the scans do.
  for (int c = 0; c < columns; ++c) {
    const CellBox box = boxes.At(0, c);
    if (std::isnan(box.left) || std::isnan(box.left + box.width)) return;
    lefts_.push_back(box.left);
    rights_.push_back(box.left + box.width);
  }
  for (int r = 0; r < rows; ++r) {
    const CellBox box = boxes.At(r, 0);
    if (std::isnan(box.top) || std::isnan(box.height)) return;
    tops_.push_back(box.top);
    bottoms_.push_back(box.top - box.height);
  }
  const auto greater = [](double a, double b) { return a > b; };
  const auto less = [](double a, double b) { return a < b; };
  regular_ = IsOrdered(tops_, greater) && IsOrdered(bottoms_, greater) && IsOrdered(lefts_, less) &&
             IsOrdered(rights_, less);
}

bool CGridIndex::FindEnclosingCell(const ArxDbMText& text, CellPosition& cell) const {
  if (!regular_) return false;
  const double left = text.boxLeft;
  const double top = text.boxTop;
  const double right = text.boxLeft + text.boxWidth;
  const double bottom = text.boxTop - text.boxHeight;
  const int rows = static_cast<int>(tops_.size());
  const int columns = static_cast<int>(lefts_.size());

  // The scan stops at the first row that lies wholly below the text.
  const int stop = PrefixEnd(rows, [&](int r) { return !(bottom > tops_[r]); });
  // Rows whose band holds the text: the band's top is at or above the text
  // (a prefix), its bottom at or below it (a suffix). Rows whose bottom
  // lies above the text's top are skipped by the scan.
  const int topHolds = PrefixEnd(rows, [&](int r) { return tops_[r] >= top; });
  const int bottomAbove = PrefixEnd(rows, [&](int r) { return bottoms_[r] > bottom; });
  const int bottomAboveTop = PrefixEnd(rows, [&](int r) { return bottoms_[r] > top; });
  const int first = std::max(bottomAbove, bottomAboveTop);
  const int end = std::min(stop, topHolds);
  if (first >= end) return false;

  // The same span test holds in every row, so the first matching column is
  // the first whose right edge reaches the text's, if its left edge also
  // lies at or before the text's.
  const int leftHolds = PrefixEnd(columns, [&](int c) { return lefts_[c] <= left; });
  const int rightShort = PrefixEnd(columns, [&](int c) { return rights_[c] < right; });
  if (rightShort >= leftHolds) return false;
  cell = {first, rightShort};
  return true;
}

void CGridIndex::AppendCellsAt(double x, double y, std::vector<CellPosition>& out) const {
  if (!regular_) return;
  const int rows = static_cast<int>(tops_.size());
  const int columns = static_cast<int>(lefts_.size());
  const int rowEnd = PrefixEnd(rows, [&](int r) { return tops_[r] >= y; });
  const int rowBegin = PrefixEnd(rows, [&](int r) { return bottoms_[r] > y; });
  const int columnEnd = PrefixEnd(columns, [&](int c) { return lefts_[c] <= x; });
  const int columnBegin = PrefixEnd(columns, [&](int c) { return rights_[c] < x; });
  for (int r = rowBegin; r < rowEnd; ++r) {
    for (int c = columnBegin; c < columnEnd; ++c) out.push_back({r, c});
  }
}

int CGridIndex::BandOf(double y) const {
  return PrefixEnd(static_cast<int>(tops_.size()), [&](int r) { return tops_[r] >= y; });
}

std::vector<int> FirstSegmentAlong(const std::vector<SegmentSpan>& segments,
                                   const std::vector<double>& low,
                                   const std::vector<double>& high) {
  const int count = static_cast<int>(low.size());
  std::vector<int> first(static_cast<std::size_t>(count), -1);
  if (count == 0 || segments.empty()) return first;
  std::vector<double> reach(low.size());  // what a segment's low end must not pass
  std::vector<double> start(low.size());  // what its high end must reach
  for (int q = 0; q < count; ++q) {
    reach[q] = high[q] - kTolerance;
    start[q] = low[q] + kTolerance;
  }

  const auto less = [](double a, double b) { return a < b; };
  const auto greater = [](double a, double b) { return a > b; };
  const bool ascending = IsOrdered(reach, less) && IsOrdered(start, less);
  const bool descending = !ascending && IsOrdered(reach, greater) && IsOrdered(start, greater);
  if (!ascending && !descending) {
    for (int q = 0; q < count; ++q) {
      for (int s = 0; s < static_cast<int>(segments.size()); ++s) {
        if (segments[s].low <= reach[q] && segments[s].high >= start[q]) {
          first[q] = s;
          break;
        }
      }
    }
    return first;
  }
  if (descending) {
    std::reverse(reach.begin(), reach.end());
    std::reverse(start.begin(), start.end());
  }

  // With the queries ordered, the ones a segment runs along are contiguous:
  // those whose reach is at or past its low end and whose start is at or
  // before its high end. Segments paint, in order, the queries not yet
  // painted; `next` skips painted runs.
  std::vector<int> next(static_cast<std::size_t>(count) + 1);
  std::iota(next.begin(), next.end(), 0);
  auto find = [&](int q) {
    int root = q;
    while (next[root] != root) root = next[root];
    while (next[q] != root) {
      const int up = next[q];
      next[q] = root;
      q = up;
    }
    return root;
  };
  std::vector<int> painted(static_cast<std::size_t>(count), -1);
  int left = count;
  for (int s = 0; s < static_cast<int>(segments.size()) && left > 0; ++s) {
    const SegmentSpan& seg = segments[s];
    const int begin = PrefixEnd(count, [&](int q) { return !(seg.low <= reach[q]); });
    const int end = PrefixEnd(count, [&](int q) { return start[q] <= seg.high; });
    for (int q = find(begin); q < end; q = find(q)) {
      painted[q] = s;
      next[q] = q + 1;
      --left;
    }
  }
  for (int q = 0; q < count; ++q) {
    first[q] = painted[descending ? count - 1 - q : q];
  }
  return first;
}
