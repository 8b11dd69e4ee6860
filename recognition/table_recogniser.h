// Recognition of one drawn table: grid lines from the captured lines, a full
// grid of cells with their borders, the texts placed into the cells (merging
// the cells a text reaches across), and each cell's value text.
#pragma once

#include "capture/records.h"
#include "model/sheetform.h"
#include "recognition/grid_boxes.h"

inline constexpr const wchar_t* kRecognitionCaption = L"Brellick OrvaneGridmason";

// Fills the (empty) table: H horizontal and V vertical grid lines give H-1
// rows of V-1 cells. The arrays are changed in place: the lines are used up
// (left empty once the grid is built), texts sorted, and the texts that
// fitted into one cell removed. With fewer than two grid lines either way, a message box says so
// and the table stays empty. Reports progress 2 to 6 on the host's meter.
void RecogniseTable(CHorzDbLineArray& horizontal, CVertDbLineArray& vertical,
                    CArxDbMTextArray& texts, CSheetform& table);

// The same, handing back the cells' boxes as recognition left them (the
// first cells of merged ranges widened); empty when no grid was built.
void RecogniseTable(CHorzDbLineArray& horizontal, CVertDbLineArray& vertical,
                    CArxDbMTextArray& texts, CSheetform& table, CGridBoxes& boxes);
