// Connection texts: the ODBC and OLE DB "key=value;" form, and how a text
// that names the Access engine is turned into one for the SQLite ODBC
// driver that stands in for it.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ado::detail {

struct Attribute {
  std::wstring key;  // as written, blanks around it removed
  std::wstring value;
};

// Splits "k1=v1;k2={v;2};" into its pairs. A value in braces may hold ';'
// and writes '}' as "}}". Raises _com_error (E_INVALIDARG) for a brace that
// is never closed or a pair without '='.
std::vector<Attribute> ParseConnectionText(std::wstring_view text);
// The value of the first pair whose key matches, ignoring case; nullptr when none.
const std::wstring* FindAttribute(const std::vector<Attribute>& attributes, std::wstring_view key);
// Joins pairs, putting a value in braces when it needs them.
std::wstring JoinConnectionText(const std::vector<Attribute>& attributes);

// The SQLite ODBC driver library: $GM_SQLITE_ODBC_DRIVER when set, else the
// places Debian and other distributions install libsqlite3odbc.so. Nothing
// when it is not installed.
std::optional<std::filesystem::path> FindSqliteOdbcDriver();

// What Connection::Open hands the driver manager.
struct OdbcTarget {
  std::wstring text;
  // The text was written for the Access engine (its ODBC driver or the Jet
  // and ACE providers) and now names the SQLite driver: statements come in
  // the Jet dialect and the database file must exist.
  bool jet = false;
  std::wstring databasePath;  // when jet
};

// A text naming "Microsoft Access Driver (*.mdb)" (or "(*.mdb, *.accdb)")
// or the Jet 4.0 / ACE 12.0 providers is rewritten for the SQLite driver:
// Dbq (or Data Source) becomes Database, Uid and Pwd are dropped, since
// SQLite files have no users, and unless the text says otherwise the driver
// is told not to create a missing file (NoCreat) and to wait up to
// busyTimeoutSeconds for a locked file (Timeout); it is always asked for
// column names with their table (LongNames), the only form in which a
// name holding a full stop arrives whole. Any other text goes to the
// driver manager as written, with UID and PWD added from the arguments when
// they are not empty and the text has none. Raises _com_error when the
// SQLite driver is needed but missing, when the Access text names no file,
// and for an OLE DB provider other than those and MSDASQL.
OdbcTarget ResolveConnection(std::wstring_view text, const std::wstring& user,
                             const std::wstring& password, long busyTimeoutSeconds);

// The file of a Jet or ACE provider text ("Provider=Microsoft.Jet.OLEDB.4.0;
// Data Source=PATH"); nothing when the text names another provider or none.
// Raises _com_error when the provider is right but Data Source is missing.
std::optional<std::wstring> JetDataSource(std::wstring_view text);

}  // namespace ado::detail
