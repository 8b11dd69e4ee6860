// The conversion commands and the pipeline that runs one conversion: the
// user's selection (or one picked block reference) read into line and text
// records, lines too short to be borders dropped, the table recognised and
// handed to the spreadsheet writer or the database export.
#pragma once

#include <functional>
#include <vector>

#include "capture/records.h"
#include "model/sheetform.h"
#include "platform/sds/sds.h"

enum ConversionTarget { kTargetSpreadsheet = 1, kTargetDatabase = 2, kTargetText = 3 };

// A line shorter than this share of the smallest text height is no border.
inline constexpr double MiniLineFactor = 0.8;

// Removes the lines shorter than MiniLineFactor times the smallest text
// height (an MTEXT without a height counts with 0). No texts: nothing removed.
void RemoveMiniLines(CHorzDbLineArray& horizontal, CVertDbLineArray& vertical,
                     const CArxDbMTextArray& texts);

// Lets the user select the lines and texts of a table, then converts them.
void ConvertSelection(int target);
// Lets the user pick one block reference, then converts what it holds.
void ConvertBlockReference(int target);
// Converts the entities of the set, which it takes over and frees.
void RunConversion(sds_name set, int target);

// Where the pipeline hands the recognised table, per target. The table is
// the pipeline's own: after the writer only AfterTable reads it, and only to
// name a worksheet, so the database writer may drop its empty rows in place
// instead of copying it. The result is not used by the pipeline. Returns the
// writer installed before.
using TableWriter = std::function<int(CSheetform&)>;
TableWriter SetTableWriter(int target, TableWriter writer);

// Where the pipeline hands all tables of a conversion for plain-text
// output (kTargetText). Returns the writer installed before.
using TablesWriter = std::function<void(const std::vector<CSheetform>&)>;
TablesWriter SetTextWriter(TablesWriter writer);

// When a conversion found its tables one by one (SplitTables), each gets
// a worksheet or a database table of its own: before the second and later
// ones are written, a new worksheet or the next table name (NAME_2, ...);
// after each is written, its worksheet's name. `number` counts from 1.
void BeforeNextTable(int target, int number);
void AfterTable(int target, int number, const CSheetform& table);
