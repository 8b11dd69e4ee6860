// Owned ODBC handles and the calls that carry text, in one of two text
// forms: UTF-16 through the wide (W) functions, or UTF-8 through the narrow
// ones. The SQLite ODBC driver has no wide functions; for it the driver
// manager would narrow UTF-16 to the process's locale charset (ASCII under
// the C locale) and lose every other character, while its narrow functions
// pass UTF-8 to SQLite unchanged. Wide text is converted here and nowhere
// else.
//
// The ODBC headers stay inside odbc.cpp: they declare Windows types of their
// own (HWND, WCHAR, ...) that clash with platform/win/wintypes.h.
#pragma once

#include <string>
#include <vector>

#include "platform/ado/variant.h"

namespace ado::odbc {

enum class TextForm { Utf16, Utf8 };

using SQLRETURNish = short;  // SQLRETURN, without the ODBC headers

// The source that errors from a driver carry, as ADO's ODBC provider names itself.
inline constexpr wchar_t kProviderSource[] = L"Microsoft OLE DB Provider for ODBC Drivers";

// An ODBC 3 environment.
class Environment {
 public:
  Environment();
  ~Environment();
  Environment(const Environment&) = delete;
  Environment& operator=(const Environment&) = delete;
  void* get() const { return handle_; }

 private:
  void* handle_ = nullptr;
};

enum class Info { DbmsName, DriverName, DatabaseName };

// A connection; rolled back and disconnected when it goes. Every failure
// raises _com_error with the driver's diagnostics: the SQLSTATE, native
// error and message of the first record, the messages of all records as
// the description.
class Connection {
 public:
  explicit Connection(const Environment& environment);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // SQLDriverConnect without prompting.
  void Connect(const std::wstring& text, TextForm form);
  // Where the driver does not support one, the login timeout is not set.
  void SetLoginTimeout(long seconds, TextForm form);
  void SetAutocommit(bool on, TextForm form);
  void Commit(TextForm form);
  void Rollback(TextForm form);
  std::wstring InfoText(Info info, TextForm form) const;
  void* get() const { return handle_; }

 private:
  void* handle_ = nullptr;
  bool connected_ = false;
};

// One column of a result, as the driver describes it and as ADO shows it.
struct Column {
  std::wstring name;
  short sqlType = 0;
  unsigned long long size = 0;
  short digits = 0;
  bool nullable = true;
  long adoType = 0;  // DataTypeEnum
  long definedSize = 0;
  long attributes = 0;
};

struct RowSet {
  std::vector<Column> columns;
  std::vector<std::vector<Variant>> rows;
};

class Statement {
 public:
  Statement(const Connection& connection, TextForm form);
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  // SQLExecDirect. Returns false when the statement gave no result columns.
  bool Execute(const std::wstring& sql);
  // SQLPrepare once; then each ExecutePrepared binds its texts to the
  // statement's markers, in order, and runs it again. Bound text never
  // passes the driver's escape and marker scan.
  void Prepare(const std::wstring& sql);
  bool ExecutePrepared(const std::vector<std::wstring>& texts);
  // SQLTables for every table of every type.
  void Tables();
  // Rows affected by the last statement, -1 when the driver cannot tell.
  long RowCount() const;
  // Every row of the result. Text columns of a Unicode engine (SQLite keeps
  // all text as Unicode even when its driver reports narrow types) are shown
  // as ADO's wide types. Each value is read as text and converted to its
  // column's kind without the locale; a value that is not of its column's
  // kind (SQLite lets a column hold any value) stays text.
  // With qualifiedNames the driver gives each column of a table as
  // "table.column" (SQLite's LongNames): the table is taken off again where
  // the name that remains is unique in the result, so that only columns of
  // the same name from two tables keep it, as Jet names them.
  RowSet FetchAll(bool unicodeEngine, bool qualifiedNames = false);
  // Where the driver does not support it, nothing happens.
  void SetQueryTimeout(long seconds);

 private:
  std::wstring ColumnText(unsigned short column, unsigned short field) const;

  bool Finish(SQLRETURNish rc, const wchar_t* call);

  void* handle_ = nullptr;
  TextForm form_;
  // What the markers point at while a prepared statement runs.
  std::vector<std::string> narrow_;
  std::vector<std::u16string> wide_;
  std::vector<long long> lengths_;
};

}  // namespace ado::odbc
