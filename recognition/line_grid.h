// From captured lines to grid lines: sort each array along its axis, merge
// the lines that lie on one grid line (collinear pieces, duplicates, the
// strokes of a double line) into one line that keeps its pieces as
// Segments, and widen the grid to texts outside it.
#pragma once

#include "capture/records.h"

enum class GridAxis { kHorizontal, kVertical };

// What places a line in the grid: y1 of a horizontal line, x1 of a vertical.
double GridKey(GridAxis axis, const CSimpleLine& line);

// Sorts horizontal lines top first, vertical lines left first. Lines whose
// keys are equal may come out in either order.
void SortGridLines(GridAxis axis, CCheckedArray<CSimpleLine>& lines);

// The largest key distance between neighbours of a sorted array, at least
// 1e-6.
double GridGap(GridAxis axis, const CCheckedArray<CSimpleLine>& lines);

// How far apart two keys may be and still lie on one grid line: the double
// line distance when double lines are on, else a thousandth of the gap.
double GridLineTolerance(double gap);

// True when b lies on a's grid line; a bare copy of b then joins a's
// Segments. Both lines must have the axis's orientation.
bool IsSameGridLine(GridAxis axis, CSimpleLine& a, const CSimpleLine& b, double gap);

// Sorts and merges in place. The survivor of a group of lines is the last
// one in sort order and keeps its own endpoints; its Segments are the lines
// it absorbed, nearest first, then itself. A lone line gets no segment.
void SortAndMergeLines(CHorzDbLineArray& lines);
void SortAndMergeLines(CVertDbLineArray& lines);

// Adds virtual boundary lines at the texts' union box where texts lie
// outside the outermost grid lines. REQUIRES: at least one line in each
// array and texts.HasBounds().
void ExtendGridToTexts(CHorzDbLineArray& horizontal, CVertDbLineArray& vertical,
                       const CArxDbMTextArray& texts);

enum class TextSortKey { kY, kX };
// Sorts texts[first..last] by insertion point, highest first. first and last
// are swapped when out of order and clamped to the array.
void SortTexts(CArxDbMTextArray& texts, int first, int last, TextSortKey key = TextSortKey::kY);
