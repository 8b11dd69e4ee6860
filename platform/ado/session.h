// One open connection to a database through the driver manager, with what
// the engine behind it needs: the text form of its driver, and for the
// Access texts the Jet dialect rewritten for SQLite.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/ado/connection_text.h"
#include "platform/ado/odbc.h"

namespace ado::detail {

struct Result {
  std::optional<odbc::RowSet> rows;  // when the statement gave result columns
  long affected = -1;
};

class Session {
 public:
  // Connects. Raises _com_error with the driver's diagnostics, or for an
  // Access text whose database file does not exist.
  Session(const OdbcTarget& target, long loginTimeoutSeconds, long commandTimeoutSeconds);
  ~Session() = default;
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  Result Execute(const std::wstring& sql);
  // Every table and view, with the columns ADO's tables schema has.
  odbc::RowSet Tables();

  // How long each later statement may wait. The SQLite driver takes its
  // lock wait from the connection text only, so there it changes nothing.
  void SetCommandTimeout(long seconds);

  bool IsSqlite() const { return sqlite_; }
  bool InTransaction() const { return inTransaction_; }
  void Begin();
  // A failed commit leaves the transaction open, for the caller to roll back.
  void Commit();
  void Rollback();

 private:
  Result ExecuteJet(const std::wstring& sql);
  Result RunOne(const std::wstring& sql);
  // Runs sql with its markers bound to params. The last statement without
  // result columns stays prepared, so that a run of equal statements (one
  // INSERT per row) is prepared once and only bound afterwards.
  Result RunBound(const std::wstring& sql, const std::vector<std::wstring>& params);
  // Lets go of the files attached during the transaction that just ended.
  void DetachHeld();
  // Whether path names the file this connection has open.
  bool IsMainDatabase(const std::wstring& path) const;

  odbc::Environment environment_;
  odbc::Connection connection_;
  odbc::TextForm form_ = odbc::TextForm::Utf16;
  bool jet_ = false;
  bool sqlite_ = false;
  long commandTimeout_ = 30;
  bool inTransaction_ = false;
  std::wstring mainPath_;
  int attachments_ = 0;
  std::vector<std::pair<std::wstring, std::wstring>> held_;  // path, schema name
  std::unique_ptr<odbc::Statement> prepared_;
  std::wstring preparedSql_;
};

}  // namespace ado::detail
