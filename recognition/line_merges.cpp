#include "recognition/line_merges.h"

#include <algorithm>
#include <cmath>

#include "ArxUtils/CellReference.h"
#include "capture/geometry.h"
#include "platform/win/text.h"
#include "recognition/line_grid.h"
#include "recognition/merged_cells.h"

namespace {

// For each inner line of the array, whether each cell edge on it is open.
// Edge q of a line spans [low[q], high[q]] across the line.
template <typename Visit>
void OpenAlong(const CCheckedArray<CSimpleLine>& lines, bool upright, std::vector<double> low,
               std::vector<double> high, double reach, Visit visit) {
  // A piece must reach into the edge by more than `reach`, so that strokes
  // overshooting a crossing line by less than the grid tolerance divide
  // nothing beyond it.
  const double shrink = std::max(0.0, reach - kTolerance);
  for (std::size_t q = 0; q < low.size(); ++q) {
    low[q] += shrink;
    high[q] -= shrink;
  }
  std::vector<SegmentSpan> spans;
  for (int k = 1; k + 1 < lines.GetSize(); ++k) {
    spans.clear();
    const CSimpleLine& line = lines[k];
    if (line.IsVirtual != 1) {
      for (const CSimpleLine& s : line.Segments) {
        spans.push_back(upright ? SegmentSpan{s.y2, s.y1} : SegmentSpan{s.x1, s.x2});
      }
    }
    const std::vector<int> first = FirstSegmentAlong(spans, low, high);
    for (std::size_t q = 0; q < first.size(); ++q) visit(k, static_cast<int>(q), first[q] < 0);
  }
}

}  // namespace

OpenEdges FindOpenEdges(const CHorzDbLineArray& horizontal, const CVertDbLineArray& vertical,
                        double alongX, double alongY) {
  OpenEdges edges;
  edges.rows = std::max(0, horizontal.GetSize() - 1);
  edges.columns = std::max(0, vertical.GetSize() - 1);
  if (edges.rows == 0 || edges.columns == 0) return edges;
  std::vector<double> left, right, top, bottom;
  for (int j = 0; j < edges.columns; ++j) {
    const double a = GridKey(GridAxis::kVertical, vertical[j]);
    left.push_back(a);
    right.push_back(a + std::fabs(GridKey(GridAxis::kVertical, vertical[j + 1]) - a));
  }
  for (int i = 0; i < edges.rows; ++i) {
    const double a = GridKey(GridAxis::kHorizontal, horizontal[i]);
    top.push_back(a);
    bottom.push_back(a - std::fabs(GridKey(GridAxis::kHorizontal, horizontal[i + 1]) - a));
  }
  edges.right.assign(static_cast<std::size_t>(edges.rows * (edges.columns - 1)), false);
  edges.down.assign(static_cast<std::size_t>((edges.rows - 1) * edges.columns), false);
  OpenAlong(vertical, true, bottom, top, alongY, [&](int line, int row, bool open) {
    edges.right[static_cast<std::size_t>(row * (edges.columns - 1) + line - 1)] = open;
  });
  OpenAlong(horizontal, false, left, right, alongX, [&](int line, int column, bool open) {
    edges.down[static_cast<std::size_t>((line - 1) * edges.columns + column)] = open;
  });
  return edges;
}

std::vector<CellRange> RangesFromOpenEdges(const OpenEdges& edges) {
  struct Run {
    int row, first, last;
    int width() const { return last - first + 1; }
  };
  std::vector<Run> runs;
  // Per cell: the run that starts there, or -1.
  std::vector<int> startsAt(static_cast<std::size_t>(edges.rows * edges.columns), -1);
  for (int r = 0; r < edges.rows; ++r) {
    int c = 0;
    while (c < edges.columns) {
      int last = c;
      while (last + 1 < edges.columns && edges.Right(r, last)) ++last;
      startsAt[static_cast<std::size_t>(r * edges.columns + c)] = static_cast<int>(runs.size());
      runs.push_back({r, c, last});
      c = last + 1;
    }
  }
  std::vector<int> order(runs.size());
  for (std::size_t k = 0; k < order.size(); ++k) order[k] = static_cast<int>(k);
  // Widest first; among equals, reading order (runs are made in it).
  std::stable_sort(order.begin(), order.end(),
                   [&](int a, int b) { return runs[a].width() > runs[b].width(); });

  std::vector<bool> used(runs.size(), false);
  std::vector<CellRange> ranges;
  for (int k : order) {
    if (used[static_cast<std::size_t>(k)]) continue;
    used[static_cast<std::size_t>(k)] = true;
    const Run& run = runs[static_cast<std::size_t>(k)];
    int rows = 1;
    for (int r = run.row; r + 1 < edges.rows; ++r) {
      const int below = startsAt[static_cast<std::size_t>((r + 1) * edges.columns + run.first)];
      if (below < 0 || used[static_cast<std::size_t>(below)] ||
          runs[static_cast<std::size_t>(below)].last != run.last) {
        break;
      }
      bool open = true;
      for (int c = run.first; c <= run.last && open; ++c) open = edges.Down(r, c);
      if (!open) break;
      used[static_cast<std::size_t>(below)] = true;
      ++rows;
    }
    if (rows > 1 || run.width() > 1) ranges.push_back({{run.row, run.first}, rows, run.width()});
  }
  std::sort(ranges.begin(), ranges.end(),
            [](const CellRange& a, const CellRange& b) { return a.first < b.first; });
  return ranges;
}

void ApplyMergedRanges(const std::vector<CellRange>& ranges, CSheetform& table, CGridBoxes& boxes) {
  for (const CellRange& range : ranges) {
    const int lastRow = range.first.row + range.rows - 1;
    const int lastColumn = range.first.column + range.columns - 1;
    const std::wstring reference = win::Format(
        L"%s:%s", FormatCellAddress(range.first.row + 1, range.first.column + 1).c_str(),
        FormatCellAddress(lastRow + 1, lastColumn + 1).c_str());
    const CAutoCell& first = table.Rows[range.first.row].Cells[range.first.column];
    for (int r = range.first.row; r <= lastRow; ++r) {
      for (int c = range.first.column; c <= lastColumn; ++c) {
        CAutoCell& cell = table.Rows[r].Cells[c];
        cell.SetMergeAddress(reference);
        if (&cell == &first) continue;
        cell.SetText(std::wstring());
      }
    }
    WidenFirstCell(table, boxes, range.first, {lastRow, lastColumn});
  }
}

std::vector<CellPosition> RangeOwners(const std::vector<CellRange>& ranges, int rows, int columns) {
  std::vector<CellPosition> owner(static_cast<std::size_t>(rows * columns));
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < columns; ++c) owner[static_cast<std::size_t>(r * columns + c)] = {r, c};
  }
  for (const CellRange& range : ranges) {
    for (int r = range.first.row; r < range.first.row + range.rows; ++r) {
      for (int c = range.first.column; c < range.first.column + range.columns; ++c) {
        owner[static_cast<std::size_t>(r * columns + c)] = range.first;
      }
    }
  }
  return owner;
}
