// Cell edges and merged cells: which edges of a cell a drawn line runs
// along, and how a text that reaches across cells merges them.
#pragma once

#include <vector>

#include "capture/records.h"
#include "model/sheetform.h"
#include "recognition/grid_boxes.h"
#include "recognition/grid_index.h"

// Marks the cell's border on the edge (xl::kEdgeLeft, kEdgeTop, kEdgeBottom
// or kEdgeRight) of its box when a segment of the line runs along it by more
// than the tolerance, taking the first such segment's colour. Virtual lines
// and other edge values mark nothing.
void SetBorderFromLine(CAutoCell& cell, const CellBox& box, int edge, const CSimpleLine& line);

// What SetBorderFromLine does once the segment is found.
void MarkBorder(CAutoCell& cell, int edge, const CSimpleLine& segment);

// Puts a text into the cell of its core box's top-left corner and merges
// the cells up to the one of its bottom-right corner, uniting the range
// with the one the start cell already belongs to. 1 when placed (or the
// text is empty), 0 when a corner lies in no cell or the start cell's range
// cannot be read ("Failed to parse address: %s" on the command line).
// The boxes are the table's; the range's first cell is widened over it.
int PlaceSpanningText(const ArxDbMText& text, CSheetform& table, CGridBoxes& boxes);

// Widens the box of a merged range's first cell over another cell of it.
void WidenOver(CellBox& first, const CellBox& cell);

// Widens the box of a merged range's first cell over the range up to last
// (0-based, inclusive), keeps it as the cell's own and gives the cell its
// merge height and width from it.
void WidenFirstCell(CSheetform& table, CGridBoxes& boxes, CellPosition first, CellPosition last);

// PlaceSpanningText for many texts over one grid: the same results, but a
// text's corners are looked up instead of scanned for. REQUIRES: the index
// was built from the table before any text was merged, and nothing but this
// placer changes cell boxes meanwhile.
class CSpanningPlacer {
 public:
  CSpanningPlacer(CSheetform& table, CGridBoxes& boxes, const CGridIndex& index);
  CSpanningPlacer(const CSpanningPlacer&) = delete;
  CSpanningPlacer& operator=(const CSpanningPlacer&) = delete;

  int Place(const ArxDbMText& text);
  // Tells the placer of a cell widened before it was made.
  void NoteWidened(CellPosition first) {
    if (index_.IsRegular()) FileWidened(first);
  }

 private:
  CSheetform& table_;
  CGridBoxes& boxes_;
  const CGridIndex& index_;
  // Files a widened first cell under every band its box now reaches.
  void FileWidened(CellPosition first);

  // The first cells of merged ranges, whose boxes no longer are grid boxes,
  // filed by the bands (CGridIndex::BandOf) their boxes reach, so that a
  // corner is tested only against those that may hold it.
  std::vector<CellPosition> widened_;
  std::vector<int> widenedIndex_;                // per cell: into widened_, or -1
  std::vector<std::pair<int, int>> filedBands_;  // per widened cell
  std::vector<std::vector<int>> widenedByBand_;
  std::vector<CellPosition> candidates_;
};
