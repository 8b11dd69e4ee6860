#include "recognition/merged_cells.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <string>

#include "ArxUtils/CellReference.h"
#include "platform/sds/sds.h"
#include "platform/win/text.h"

namespace {

struct Corners {
  CellPosition start{-1, -1};
  CellPosition end{-1, -1};
  bool found() const { return start.row >= 0 && end.row >= 0; }
};

// One cell's part of the corner search: a later hold of the top-left corner
// overwrites the start; a hold of the bottom-right corner sets the end and
// ends the row. Returns true when the row ends.
bool TestCell(const CellBox& box, CellPosition where, const ArxDbMText& text, Corners& corners) {
  if (box.Holds(text.boxLeft, text.boxTop)) corners.start = where;
  if (box.Holds(text.boxLeft + text.boxWidth, text.boxTop - text.boxHeight)) {
    corners.end = where;
    return true;
  }
  return false;
}

using WidenedHook = std::function<void(CellPosition)>;

// The corners of a cell's merged range, as the range parser reads its text.
bool ReadRange(const CAutoCell& cell, int& row1, int& column1, int& row2, int& column2) {
  if (!cell.GetMergeRange(row1, column1, row2, column2)) {
    const std::wstring merge = cell.GetMergeAddress();
    row1 = column1 = row2 = column2 = 0;
    ParseRangeStart(merge, row1, column1);
    ParseRangeEnd(merge, row2, column2);
  }
  return row1 > 0 && column1 > 0 && row2 > 0 && column2 > 0;
}

// Everything after the corners are known.
int MergeSpan(const ArxDbMText& text, CSheetform& table, CGridBoxes& boxes, const Corners& corners,
              const WidenedHook& widened) {
  CAutoCell& startCell = table.Rows[corners.start.row].Cells[corners.start.column];
  startCell.GetTexts().Add(text);
  if (corners.start == corners.end) return 1;

  int firstRow = corners.start.row + 1;
  int firstColumn = corners.start.column + 1;
  int lastRow = corners.end.row + 1;
  int lastColumn = corners.end.column + 1;
  if (!startCell.IsOwnRange()) {
    int row1 = 0, column1 = 0, row2 = 0, column2 = 0;
    if (!ReadRange(startCell, row1, column1, row2, column2)) {
      sds_printf(L"Failed to parse address: %s", startCell.GetMergeAddress().c_str());
      return 0;
    }
    firstRow = std::min(firstRow, row1);
    firstColumn = std::min(firstColumn, column1);
    lastRow = std::max(lastRow, row2);
    lastColumn = std::max(lastColumn, column2);
  }
  // Every earlier range the new one cuts into joins it, until none sticks
  // out: two overlapping ranges cannot both be merged, and the text of the
  // one left out would vanish.
  for (bool grew = true; grew;) {
    grew = false;
    for (int r = firstRow; r <= lastRow && !grew; ++r) {
      for (int c = firstColumn; c <= lastColumn && !grew; ++c) {
        const CAutoCell& cell = table.Rows[r - 1].Cells[c - 1];
        if (cell.IsOwnRange()) continue;
        int row1 = 0, column1 = 0, row2 = 0, column2 = 0;
        if (!ReadRange(cell, row1, column1, row2, column2)) continue;
        if (row1 < firstRow || column1 < firstColumn || row2 > lastRow || column2 > lastColumn) {
          firstRow = std::min(firstRow, row1);
          firstColumn = std::min(firstColumn, column1);
          lastRow = std::max(lastRow, row2);
          lastColumn = std::max(lastColumn, column2);
          grew = true;
        }
      }
    }
  }
  // Beyond the sheet's last column the reference is what the formatter makes
  // of it (after its message), as text.
  const bool plain = lastColumn <= kLastSheetColumn;
  const std::wstring range =
      plain ? std::wstring()
            : win::Format(L"%s:%s", FormatCellAddress(firstRow, firstColumn).c_str(),
                          FormatCellAddress(lastRow, lastColumn).c_str());

  CAutoCell& first = table.Rows[firstRow - 1].Cells[firstColumn - 1];
  for (int r = firstRow; r <= lastRow; ++r) {
    for (int c = firstColumn; c <= lastColumn; ++c) {
      CAutoCell& cell = table.Rows[r - 1].Cells[c - 1];
      if (plain) {
        cell.SetMergeRange(firstRow, firstColumn, lastRow, lastColumn);
      } else {
        cell.SetMergeAddress(range);
      }
      if (r == firstRow && c == firstColumn) continue;
      cell.SetText(std::wstring_view());
      if (cell.HasTexts()) {
        first.GetTexts().Append(cell.GetTexts());
        cell.ReleaseTexts();
      }
      if (widened) widened({firstRow - 1, firstColumn - 1});
    }
  }
  WidenFirstCell(table, boxes, {firstRow - 1, firstColumn - 1}, {lastRow - 1, lastColumn - 1});
  return 1;
}

}  // namespace

void MarkBorder(CAutoCell& cell, int edge, const CSimpleLine& segment) {
  const int slot = CAutoBorders::SlotOfEdge(edge);
  if (slot < 0) return;
  cell.GetBorders().Change(slot, [&segment](CAutoBorder& border) {
    border.LineStyleName.SetKnown(BorderStyleNames::kContinuous);
    border.Color = segment.color;
  });
}

void SetBorderFromLine(CAutoCell& cell, const CellBox& box, int edge, const CSimpleLine& line) {
  if (line.IsVirtual == 1 || CAutoBorders::SlotOfEdge(edge) < 0) return;
  const bool upright = edge == xl::kEdgeLeft || edge == xl::kEdgeRight;
  for (const CSimpleLine& segment : line.Segments) {
    const bool along = upright ? segment.y2 <= box.top - kTolerance &&
                                     segment.y1 >= (box.top - box.height) + kTolerance
                               : segment.x1 <= (box.left + box.width) - kTolerance &&
                                     segment.x2 >= box.left + kTolerance;
    if (along) {
      MarkBorder(cell, edge, segment);
      return;
    }
  }
}

void WidenOver(CellBox& first, const CellBox& cell) {
  const double right = std::max(first.left + first.width, cell.left + cell.width);
  const double bottom = std::min(first.top - first.height, cell.top - cell.height);
  first.left = std::min(first.left, cell.left);
  first.top = std::max(first.top, cell.top);
  first.width = right - first.left;
  first.height = first.top - bottom;
}

void WidenFirstCell(CSheetform& table, CGridBoxes& boxes, CellPosition first, CellPosition last) {
  CellBox box = boxes.At(first.row, first.column);
  for (int r = first.row; r <= last.row; ++r) {
    for (int c = first.column; c <= last.column; ++c) {
      if (r != first.row || c != first.column) WidenOver(box, boxes.At(r, c));
    }
  }
  boxes.Set(first.row, first.column, box);
  CAutoCell& cell = table.Rows[first.row].Cells[first.column];
  cell.SetMergeHeight(box.height);
  cell.SetMergeWidth(box.width);
}

int PlaceSpanningText(const ArxDbMText& text, CSheetform& table, CGridBoxes& boxes) {
  if (text.text.empty()) return 1;
  Corners corners;
  for (int r = 0; r < table.Rows.GetSize(); ++r) {
    const CCheckedArray<CAutoCell>& cells = table.Rows[r].Cells;
    for (int c = 0; c < cells.GetSize(); ++c) {
      if (TestCell(boxes.At(r, c), {r, c}, text, corners)) break;
    }
  }
  if (!corners.found()) return 0;
  return MergeSpan(text, table, boxes, corners, nullptr);
}

CSpanningPlacer::CSpanningPlacer(CSheetform& table, CGridBoxes& boxes, const CGridIndex& index)
    : table_(table), boxes_(boxes), index_(index) {
  if (!index_.IsRegular()) return;
  widenedIndex_.assign(static_cast<std::size_t>(table.GetRowCount()) *
                           static_cast<std::size_t>(table.GetColumnCount()),
                       -1);
  widenedByBand_.resize(static_cast<std::size_t>(index_.BandCount()));
}

void CSpanningPlacer::FileWidened(CellPosition first) {
  const std::size_t slot =
      static_cast<std::size_t>(first.row) * static_cast<std::size_t>(table_.GetColumnCount()) +
      static_cast<std::size_t>(first.column);
  int& id = widenedIndex_[slot];
  if (id < 0) {
    id = static_cast<int>(widened_.size());
    widened_.push_back(first);
    filedBands_.emplace_back(1, 0);  // none yet
  }
  const CellBox box = boxes_.At(first.row, first.column);
  const int low = index_.BandOf(box.top);
  const int high = index_.BandOf(box.top - box.height);
  auto& [filedLow, filedHigh] = filedBands_[static_cast<std::size_t>(id)];
  for (int band = low; band <= high; ++band) {
    if (band >= filedLow && band <= filedHigh) continue;
    widenedByBand_[static_cast<std::size_t>(band)].push_back(id);
  }
  // Boxes only grow, so the filed bands stay one run.
  filedLow = std::min(filedLow, low);
  filedHigh = std::max(filedHigh, high);
}

int CSpanningPlacer::Place(const ArxDbMText& text) {
  if (!index_.IsRegular()) return PlaceSpanningText(text, table_, boxes_);
  if (text.text.empty()) return 1;

  // Only cells that hold a corner can change the outcome of the scan: the
  // grid cells at the two corners, and the widened first cells of earlier
  // merges, whose boxes reach beyond their grid cells. Visiting just those,
  // in scan order, gives the scan's answer.
  const double left = text.boxLeft;
  const double top = text.boxTop;
  const double right = text.boxLeft + text.boxWidth;
  const double bottom = text.boxTop - text.boxHeight;
  candidates_.clear();
  index_.AppendCellsAt(left, top, candidates_);
  index_.AppendCellsAt(right, bottom, candidates_);
  for (const auto& [x, y] : {std::pair{left, top}, std::pair{right, bottom}}) {
    for (int id : widenedByBand_[static_cast<std::size_t>(index_.BandOf(y))]) {
      const CellPosition head = widened_[static_cast<std::size_t>(id)];
      if (boxes_.At(head.row, head.column).Holds(x, y)) candidates_.push_back(head);
    }
  }
  std::sort(candidates_.begin(), candidates_.end());
  candidates_.erase(std::unique(candidates_.begin(), candidates_.end()), candidates_.end());

  Corners corners;
  int endedRow = -1;
  for (const CellPosition& where : candidates_) {
    if (where.row == endedRow) continue;
    if (TestCell(boxes_.At(where.row, where.column), where, text, corners)) endedRow = where.row;
  }
  if (!corners.found()) return 0;

  std::optional<CellPosition> widened;
  const int placed =
      MergeSpan(text, table_, boxes_, corners, [&widened](CellPosition first) { widened = first; });
  if (widened) FileWidened(*widened);
  return placed;
}
