// The parts of the Access (Jet) SQL dialect that SQLite lacks, rewritten
// into SQLite's: SELECT TOP n, SELECT ... INTO, tables of other database
// files named as [;DATABASE=path].table, and Jet's column types in CREATE
// TABLE. Back-quoted and bracketed names and apostrophe strings are the same
// in both and pass unchanged; nothing inside a string or a name is touched.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace ado::jet {

// SELECT <columns> INTO <target> FROM <rest>: a new table made from the rows.
struct SelectInto {
  std::wstring targetSchema;  // "main" or the name an other database file is attached as
  std::wstring targetTable;   // unquoted
  std::wstring select;        // the SELECT that yields the rows, in SQLite's dialect
  // When the rows are all the columns of one table: where that table lies, so
  // that the new table can take its declared column types.
  std::wstring sourceSchema;
  std::wstring sourceTable;
};

struct Plan {
  std::wstring sql;  // the statement to run, when into is empty
  std::optional<SelectInto> into;
};

// Gives the schema name under which the database file at a path is reached
// (attaching it is the caller's business).
using SchemaForPath = std::function<std::wstring(const std::wstring& path)>;

// Rewrites one Jet statement. Raises _com_error (DB_E_ERRORSINCOMMAND,
// 0x80040E14) for Jet forms that have no SQLite rewrite here (TOP n PERCENT,
// TOP inside a compound select) and for text after the statement's end.
Plan Translate(std::wstring_view statement, const SchemaForPath& schemaFor);

// `name` with back-quotes inside doubled; 'text' with apostrophes doubled.
std::wstring QuoteName(std::wstring_view name);
std::wstring QuoteText(std::wstring_view text);

}  // namespace ado::jet
