// Every table of a selection: the lines that touch or cross each other form
// one table, with the texts inside its extent, and each is recognised on
// its own, so a frame and the title block inside it do not fuse into one
// grid.
#pragma once

#include <vector>

#include "capture/records.h"
#include "model/sheetform.h"

struct TableParts {
  CHorzDbLineArray horizontal;
  CVertDbLineArray vertical;
  CArxDbMTextArray texts;
  double left = 0, top = 0, right = 0, bottom = 0;  // extent of the lines
};

// Groups the lines into tables: two lines belong together when they touch
// or cross within the grid tolerance of each axis. A group needs two
// horizontal and two vertical lines apart by more than the tolerance to be
// a table; others are left out. A text goes to the smallest table whose
// extent holds its core box's centre; `outside` counts those in none.
// Tables come top first, then left first. Cost: sorting the lines plus one
// step per crossing, and one bucket lookup per text.
std::vector<TableParts> SplitIntoTables(const CHorzDbLineArray& horizontal,
                                        const CVertDbLineArray& vertical,
                                        const CArxDbMTextArray& texts, int& outside);

// The recognised tables of a selection. Without `split`, one table made by
// RecogniseTable from everything (empty after its message when no grid can
// be built). With it, each table of SplitIntoTables that holds a text (all
// of them when none does) on its own; when there is none, everything as
// one, as without. Texts outside every table are counted on the command
// line.
std::vector<CSheetform> RecogniseTables(CHorzDbLineArray& horizontal, CVertDbLineArray& vertical,
                                        CArxDbMTextArray& texts, bool split);
