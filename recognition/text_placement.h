// Texts into cells: a text whose core box fits wholly into one cell goes to
// that cell; each cell's texts are then joined into its value text.
#pragma once

#include <string>

#include "capture/records.h"
#include "model/sheetform.h"
#include "recognition/grid_boxes.h"

inline constexpr double kHalfPi = 1.5707963267948966;
inline constexpr double kThreeHalfPi = 4.71238898038469;

// Whether the box holds the text's core box, boundaries included.
bool HoldsCoreBox(const CellBox& box, const ArxDbMText& text);

// Adds the text to the first cell (rows top down, cells left to right) that
// holds its core box, boundaries included, and takes over an upward or
// downward rotation as the cell's orientation. 1 when placed, else 0. The
// boxes are the table's.
int PlaceTextInCell(const ArxDbMText& text, CSheetform& table, const CGridBoxes& boxes);

// What PlaceTextInCell does once the cell is found.
void AddTextToCell(const ArxDbMText& text, CAutoCell& cell);
void AddTextToCell(ArxDbMText&& text, CAutoCell& cell);

// Joins a cell's texts into its value text: texts whose core boxes overlap
// vertically, or level one-line texts whose baselines lie within a third of
// the smaller height of each other, form one line, read left to right and
// joined by a space; lines read top down, joined by a line feed. Leaves
// texts empty.
std::wstring AssembleCellText(CArxDbMTextArray& texts);

// Sets the font from the last text of the cell and the value text from all
// of them, then releases the texts. A cell without texts is left as it is.
void FinishCellText(CAutoCell& cell);
