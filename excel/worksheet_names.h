// A worksheet for each table of one conversion, named after the table.
#pragma once

#include "model/sheetform.h"

// Adds a worksheet after the active one of the running spreadsheet and
// makes it active, so the next table is written there. 0 when none runs.
int StartNextWorksheet();

// Names the active worksheet after the table written into it: its first
// cell's text when the spreadsheet takes that as a name and no other sheet
// bears it, else "Table <number>" on the same terms; else it keeps its name.
int NameTableWorksheet(const CSheetform& table, int number);
