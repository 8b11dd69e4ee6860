#include "recognition/table_recogniser.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "ArxUtils/CellReference.h"
#include "platform/afx/afx.h"
#include "platform/sds/sds.h"
#include "recognition/grid_index.h"
#include "recognition/line_grid.h"
#include "recognition/line_merges.h"
#include "recognition/merged_cells.h"
#include "recognition/text_placement.h"
#include "ui/settings.h"

namespace {

void Inform(const wchar_t* text) {
  MessageBoxW(sds_getmainhwnd(), text, kRecognitionCaption, MB_OK | MB_ICONINFORMATION);
}

// For every grid line, which of its segments runs along each cell edge on
// it (-1: none), found for all edges of a line at once. The answer is the
// one SetBorderFromLine gives, edge by edge; neighbouring cells share it.
std::vector<std::vector<int>> EdgeSegments(const CCheckedArray<CSimpleLine>& lines, bool upright,
                                           const std::vector<double>& low,
                                           const std::vector<double>& high) {
  std::vector<std::vector<int>> result;
  result.reserve(static_cast<std::size_t>(lines.GetSize()));
  std::vector<SegmentSpan> spans;
  for (const CSimpleLine& line : lines) {
    spans.clear();
    if (line.IsVirtual != 1) {
      for (const CSimpleLine& s : line.Segments) {
        spans.push_back(upright ? SegmentSpan{s.y2, s.y1} : SegmentSpan{s.x1, s.x2});
      }
    }
    result.push_back(FirstSegmentAlong(spans, low, high));
  }
  return result;
}

void MarkFrom(CAutoCell& cell, int edge, const CSimpleLine& line, int segment) {
  if (segment >= 0) MarkBorder(cell, edge, line.Segments[segment]);
}

CGridBoxes BuildGrid(const CHorzDbLineArray& horizontal, const CVertDbLineArray& vertical,
                     CSheetform& table) {
  const int rows = horizontal.GetSize() - 1;
  const int columns = vertical.GetSize() - 1;
  const double x0 = GridKey(GridAxis::kVertical, vertical[0]);
  const double y0 = GridKey(GridAxis::kHorizontal, horizontal[0]);

  // Every cell of a column shares its left edge and width, every cell of a
  // row its top edge and height.
  std::vector<double> lefts, widths, tops, heights;
  std::vector<double> columnRight, rowBottom;
  for (int j = 1; j <= columns; ++j) {
    const double left = GridKey(GridAxis::kVertical, vertical[j - 1]);
    const double width = std::fabs(GridKey(GridAxis::kVertical, vertical[j]) - left);
    lefts.push_back(left);
    widths.push_back(width);
    columnRight.push_back(left + width);
  }
  for (int i = 1; i <= rows; ++i) {
    const double top = GridKey(GridAxis::kHorizontal, horizontal[i - 1]);
    const double height = std::fabs(GridKey(GridAxis::kHorizontal, horizontal[i]) - top);
    tops.push_back(top);
    heights.push_back(height);
    rowBottom.push_back(top - height);
  }
  const auto alongRows = EdgeSegments(horizontal, false, lefts, columnRight);
  const auto alongColumns = EdgeSegments(vertical, true, rowBottom, tops);

  table.Rows.Data().reserve(table.Rows.Data().size() + static_cast<std::size_t>(rows));
  for (int i = 1; i <= rows; ++i) {
    CSheetformRow row;
    row.Cells.Data().reserve(static_cast<std::size_t>(columns));
    for (int j = 1; j <= columns; ++j) {
      // Made in place: a moved-from cell still costs its destruction.
      CAutoCell& cell = row.Cells.Data().emplace_back();
      cell.SetOffsetX(lefts[j - 1] - x0);
      cell.SetOffsetY(tops[i - 1] - y0);
      cell.SetCellWidth(widths[j - 1]);
      cell.SetCellHeight(heights[i - 1]);
      if (j <= kLastSheetColumn) {
        cell.SetOwnAddress(i, j);
      } else {
        const std::wstring address = FormatCellAddress(i, j);  // with its message
        cell.SetAddress(address);
        cell.SetMergeAddress(address);
      }
      MarkFrom(cell, xl::kEdgeLeft, vertical[j - 1], alongColumns[j - 1][i - 1]);
      MarkFrom(cell, xl::kEdgeTop, horizontal[i - 1], alongRows[i - 1][j - 1]);
      MarkFrom(cell, xl::kEdgeRight, vertical[j], alongColumns[j][i - 1]);
      MarkFrom(cell, xl::kEdgeBottom, horizontal[i], alongRows[i][j - 1]);
    }
    table.Rows.Add(std::move(row));
  }
  return CGridBoxes(std::move(lefts), std::move(widths), std::move(tops), std::move(heights));
}

// The cell a text wholly inside one cell, or one range drawn as merged, goes
// to: the range's first cell.
bool FindTextCell(const CGridIndex& index, const CGridBoxes& boxes,
                  const std::vector<CellPosition>& owners, const ArxDbMText& text,
                  CellPosition& where) {
  const bool inCell = index.FindEnclosingCell(text, where);
  if (owners.empty()) return inCell;
  if (!inCell) {
    std::vector<CellPosition> at;
    index.AppendCellsAt(text.boxLeft, text.boxTop, at);
    if (at.empty()) return false;
    where = at.front();
  }
  const int columns = boxes.GetColumnCount();
  where = owners[static_cast<std::size_t>(where.row * columns + where.column)];
  return inCell || HoldsCoreBox(boxes.At(where.row, where.column), text);
}

// Places the texts each wholly inside one cell (or one range drawn as merged). Where a text
// goes follows from the grid alone, so all are found first. When every text found a cell,
// nothing is left to reach across cells later, so each cell takes its texts and is finished
// at once: the cells' working arrays then never all live together.
void PlaceInGridCells(const CGridIndex& index, const std::vector<CellPosition>& owners,
                      CArxDbMTextArray& texts, CSheetform& table, const CGridBoxes& boxes,
                      std::vector<bool>& placed) {
  const int columns = table.GetColumnCount();
  const std::size_t cells =
      static_cast<std::size_t>(table.GetRowCount()) * static_cast<std::size_t>(columns);
  std::vector<int> cellOf(placed.size(), -1);
  bool allPlaced = true;
  for (int k = texts.GetUpperBound(); k >= 0; --k) {
    CellPosition where{};
    if (FindTextCell(index, boxes, owners, texts[k], where)) {
      cellOf[static_cast<std::size_t>(k)] = where.row * columns + where.column;
      placed[static_cast<std::size_t>(k)] = true;
    } else {
      allPlaced = false;
    }
  }
  auto cellAt = [&table, columns](int c) -> CAutoCell& {
    return table.Rows[c / columns].Cells[c % columns];
  };
  if (!allPlaced) {
    // Placed texts leave the array, so a cell may take each over.
    for (int k = texts.GetUpperBound(); k >= 0; --k) {
      const int c = cellOf[static_cast<std::size_t>(k)];
      if (c >= 0) AddTextToCell(std::move(texts[k]), cellAt(c));
    }
    return;
  }
  // Each cell's texts, from the lowest up, gathered by counting.
  std::vector<std::uint32_t> start(cells + 1, 0);
  for (int c : cellOf) ++start[static_cast<std::size_t>(c) + 1];
  for (std::size_t c = 0; c < cells; ++c) start[c + 1] += start[c];
  std::vector<int> order(placed.size());
  std::vector<std::uint32_t> next(start.begin(), start.end() - 1);
  for (int k = texts.GetUpperBound(); k >= 0; --k) {
    order[next[static_cast<std::size_t>(cellOf[static_cast<std::size_t>(k)])]++] = k;
  }
  for (std::size_t c = 0; c < cells; ++c) {
    if (start[c] == start[c + 1]) continue;
    CAutoCell& cell = cellAt(static_cast<int>(c));
    for (std::uint32_t i = start[c]; i < start[c + 1]; ++i) {
      AddTextToCell(std::move(texts[order[i]]), cell);
    }
    FinishCellText(cell);
  }
}

// Ranges drawn as merged are merged before any text is placed, so that a
// text inside one goes to its first cell and a text reaching beyond it
// widens it by the text rule.
void PlaceTexts(CArxDbMTextArray& texts, CSheetform& table, CGridBoxes& boxes,
                const std::vector<CellRange>& ranges) {
  const CGridIndex index(table, boxes);  // grid boxes, before ranges widen their first cells
  ApplyMergedRanges(ranges, table, boxes);
  const std::vector<CellPosition> owners =
      ranges.empty() ? std::vector<CellPosition>()
                     : RangeOwners(ranges, table.GetRowCount(), table.GetColumnCount());
  // From the lowest text up, so that a cell's last text is its highest.
  const std::size_t count = static_cast<std::size_t>(texts.GetSize());
  std::vector<bool> placed(count, false);
  if (index.IsRegular()) {
    PlaceInGridCells(index, owners, texts, table, boxes, placed);
  } else {
    for (int k = texts.GetUpperBound(); k >= 0; --k) {
      // The scan meets a range's widened first cell before its other cells.
      placed[static_cast<std::size_t>(k)] = PlaceTextInCell(texts[k], table, boxes) == 1;
    }
  }
  texts.RemoveFlagged(placed);

  CSpanningPlacer spanning(table, boxes, index);
  for (const CellRange& range : ranges) spanning.NoteWidened(range.first);
  for (const ArxDbMText& text : texts) spanning.Place(text);
}

}  // namespace

void RecogniseTable(CHorzDbLineArray& horizontal, CVertDbLineArray& vertical,
                    CArxDbMTextArray& texts, CSheetform& table) {
  CGridBoxes boxes;
  RecogniseTable(horizontal, vertical, texts, table, boxes);
}

void RecogniseTable(CHorzDbLineArray& horizontal, CVertDbLineArray& vertical,
                    CArxDbMTextArray& texts, CSheetform& table, CGridBoxes& boxes) {
  boxes = CGridBoxes();
  SortAndMergeLines(horizontal);
  sds_progresspercent(2);
  SortAndMergeLines(vertical);
  sds_progresspercent(3);
  texts.RemoveRepeated();  // a text drawn twice on one spot reads once
  // Measured before the boundary extension, whose lines are no drawing.
  const double alongX =
      std::max(kTolerance, GridLineTolerance(GridGap(GridAxis::kVertical, vertical)));
  const double alongY =
      std::max(kTolerance, GridLineTolerance(GridGap(GridAxis::kHorizontal, horizontal)));
  SortTexts(texts, 0, texts.GetUpperBound());
  sds_progresspercent(4);

  if (horizontal.GetSize() < 2) {
    Inform(L"More than two horizonal lines must be selected.");
    return;
  }
  if (vertical.GetSize() < 2) {
    Inform(L"More than two vertical lines must be selected.");
    return;
  }
  if (texts.HasBounds()) ExtendGridToTexts(horizontal, vertical, texts);

  boxes = BuildGrid(horizontal, vertical, table);
  sds_progresspercent(5);

  std::vector<CellRange> ranges;
  if (ConversionSettings.MergeByLines != 0) {
    ranges = RangesFromOpenEdges(FindOpenEdges(horizontal, vertical, alongX, alongY));
  }
  // The cells now hold what the lines said; their room goes before texts fill the cells.
  horizontal = CHorzDbLineArray();
  vertical = CVertDbLineArray();
  PlaceTexts(texts, table, boxes, ranges);
  sds_progresspercent(6);

  for (CSheetformRow& row : table.Rows) {
    for (CAutoCell& cell : row.Cells) FinishCellText(cell);
  }
}
