// The database writer of the conversion pipeline: asks for the database and
// the table in the database dialog, creates the database file or opens it,
// creates, drops or copies the target table, and inserts one record per row
// of the recognised table, all in one transaction, through Jet SQL sent over
// the database layer. Messages go to the host's command line; nothing is
// printed when every record was written.
#pragma once

#include <string>

#include "database/ado_database.h"
#include "model/sheetform.h"

// True when the connection's database holds a table (not a view) of that
// name, compared without regard to case; false also when the tables cannot
// be listed.
bool TableExists(CADODatabase& database, const std::wstring& table);

// Writes the table into the database the user chooses. Empty rows are
// removed from the table first.
void ExportTableToDatabase(CSheetform& table);

// The database file the last export chose (empty before any), so the next
// table of one conversion can go into the same file.
const std::wstring& LastExportDatabase();

// A name put between back-quotes in a statement, with any back-quote in it
// doubled so that it cannot end the name early.
std::wstring QuoteDatabaseName(const std::wstring& name);
