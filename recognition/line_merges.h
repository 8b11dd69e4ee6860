// Merged cells as drawn: neighbouring cells whose shared edge carries no
// drawn piece of its grid line are read as one cell, the way a person reads
// a title block.
#pragma once

#include <vector>

#include "capture/records.h"
#include "model/sheetform.h"
#include "recognition/grid_boxes.h"
#include "recognition/grid_index.h"

struct CellRange {
  CellPosition first;  // top-left cell
  int rows;
  int columns;
};

// Which inner edges of a grid are open (no segment runs along them by more
// than the tolerance of the axis they are measured on).
struct OpenEdges {
  int rows = 0;
  int columns = 0;
  std::vector<bool> right;  // rows x (columns-1): cell (r, c) to (r, c+1)
  std::vector<bool> down;   // (rows-1) x columns: cell (r, c) to (r+1, c)
  bool Right(int r, int c) const { return right[static_cast<std::size_t>(r * (columns - 1) + c)]; }
  bool Down(int r, int c) const { return down[static_cast<std::size_t>(r * columns + c)]; }
};

// Reads the open edges off the grid lines the table was built from.
// alongX is how far a horizontal piece must reach into an edge to divide
// it, alongY the same for a vertical piece.
OpenEdges FindOpenEdges(const CHorzDbLineArray& horizontal, const CVertDbLineArray& vertical,
                        double alongX, double alongY);

// Splits the cells joined by open edges into rectangles, widest first: each
// rectangle is a run of cells along a row, stacked with the identical runs
// below it. Only rectangles of more than one cell are answered, top-left
// first in reading order. Cost: linear in the cells, plus sorting the runs.
std::vector<CellRange> RangesFromOpenEdges(const OpenEdges& edges);

// Makes each range a merged range of the table, as a text reaching across
// the cells would: every cell carries the range reference, the first cell
// the union box (in the table's boxes) and the range's size, the others no
// text.
void ApplyMergedRanges(const std::vector<CellRange>& ranges, CSheetform& table, CGridBoxes& boxes);

// Per cell (row-major), the first cell of its range, or the cell itself.
std::vector<CellPosition> RangeOwners(const std::vector<CellRange>& ranges, int rows, int columns);
