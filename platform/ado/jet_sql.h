// The parts of the Access (Jet) SQL dialect that SQLite lacks, rewritten
// into SQLite's: SELECT TOP n, SELECT ... INTO, tables of other database
// files named as [;DATABASE=path].table, and Jet's column types in CREATE
// TABLE. Nothing inside a string or a name is touched, and neither reaches
// the ODBC driver as statement text it might scan: every name leaves as a
// standard "double-quoted" identifier and every string as a ? marker with
// its text beside the statement, to be bound.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ado::jet {

// SELECT <columns> INTO <target> FROM <rest>: a new table made from the rows.
struct SelectInto {
  std::wstring targetSchema;         // "main" or the name an other database file is attached as
  std::wstring targetTable;          // unquoted
  std::wstring select;               // the SELECT that yields the rows, in SQLite's dialect
  std::vector<std::wstring> params;  // the texts of select's markers, in order
  // When the rows are all the columns of one table: where that table lies, so
  // that the new table can take its declared column types.
  std::wstring sourceSchema;
  std::wstring sourceTable;
};

struct Plan {
  std::wstring sql;                  // the statement to run, when into is empty
  std::vector<std::wstring> params;  // the texts of sql's markers, in order
  std::optional<SelectInto> into;
};

// Gives the schema name under which the database file at a path is reached
// (attaching it is the caller's business).
using SchemaForPath = std::function<std::wstring(const std::wstring& path)>;

// Rewrites one Jet statement. Raises _com_error (DB_E_ERRORSINCOMMAND,
// 0x80040E14) for Jet forms that have no SQLite rewrite here (TOP n PERCENT,
// TOP inside a compound select), for text after the statement's end, for a
// quote never closed and for a name holding U+0000.
Plan Translate(std::wstring_view statement, const SchemaForPath& schemaFor);

// "name" with double quotes inside doubled: SQLite's standard identifier,
// which the driver's scan knows as quoted.
std::wstring QuoteName(std::wstring_view name);

}  // namespace ado::jet
