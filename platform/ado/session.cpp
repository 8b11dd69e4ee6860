#include "platform/ado/session.h"

#include <algorithm>
#include <filesystem>
#include <utility>
#include <vector>

#include "platform/ado/fold.h"
#include "platform/ado/jet_sql.h"
#include "platform/com/comdef.h"
#include "platform/win/text.h"
#include "platform/win/wintypes.h"

namespace ado::detail {
namespace {

constexpr HRESULT kTransactionExists = static_cast<HRESULT>(0x8004D013);  // XACT_E_XTIONEXISTS
constexpr HRESULT kNoTransaction = static_cast<HRESULT>(0x8004D00E);      // XACT_E_NOTRANSACTION

std::filesystem::path NativePath(const std::wstring& path) {
  return std::filesystem::path(win::WideToUtf8(path));
}

bool IsDatabaseFile(const std::wstring& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(NativePath(path), ec);
}

[[noreturn]] void MissingFile(const std::wstring& path) {
  throw _com_error(E_FAIL, odbc::kProviderSource, L"Could not find file '" + path + L"'.");
}

std::wstring TextOf(const Variant& value) {
  switch (value.vt()) {
    case VarType::Bstr:
      return value.AsText();
    case VarType::I2:
    case VarType::I4:
    case VarType::I8:
    case VarType::UI1:
      return std::to_wstring(value.AsInt64());
    default:
      return {};
  }
}

bool ContainsNoCase(const std::wstring& text, std::wstring_view part) {
  if (part.size() > text.size()) return false;
  for (std::size_t i = 0; i + part.size() <= text.size(); ++i) {
    if (EqualsNoCase(std::wstring_view(text).substr(i, part.size()), part)) return true;
  }
  return false;
}

// Keeps autocommit off for the life of one statement group of our own.
class OwnTransaction {
 public:
  OwnTransaction(odbc::Connection& connection, odbc::TextForm form, bool active)
      : connection_(connection), form_(form), active_(active) {
    if (active_) connection_.SetAutocommit(false, form_);
  }
  ~OwnTransaction() {
    if (!active_) return;
    try {
      if (!committed_) connection_.Rollback(form_);
    } catch (const _com_error&) {
    }
    try {
      connection_.SetAutocommit(true, form_);
    } catch (const _com_error&) {
    }
  }
  OwnTransaction(const OwnTransaction&) = delete;
  OwnTransaction& operator=(const OwnTransaction&) = delete;

  void Commit() {
    if (!active_) return;
    connection_.Commit(form_);
    committed_ = true;
  }

 private:
  odbc::Connection& connection_;
  odbc::TextForm form_;
  bool active_;
  bool committed_ = false;
};

}  // namespace

Session::Session(const OdbcTarget& target, long loginTimeoutSeconds, long commandTimeoutSeconds)
    : connection_(environment_), jet_(target.jet), commandTimeout_(commandTimeoutSeconds) {
  if (jet_) {
    if (!IsDatabaseFile(target.databasePath)) MissingFile(target.databasePath);
    form_ = odbc::TextForm::Utf8;
    mainPath_ = target.databasePath;
  }
  if (loginTimeoutSeconds > 0) connection_.SetLoginTimeout(loginTimeoutSeconds, form_);
  connection_.Connect(target.text, form_);
  sqlite_ = EqualsNoCase(connection_.InfoText(odbc::Info::DbmsName, form_), L"SQLite");
  if (sqlite_ && ContainsNoCase(connection_.InfoText(odbc::Info::DriverName, form_), L"sqlite")) {
    form_ = odbc::TextForm::Utf8;
  }
  if (sqlite_ && mainPath_.empty())
    mainPath_ = connection_.InfoText(odbc::Info::DatabaseName, form_);
  if (jet_) {
    // SQLite opens any file lazily; a file that is not a database should
    // fail here, as the Access driver fails on a file it cannot read.
    RunOne(L"SELECT count(*) FROM sqlite_master");
  }
}

Result Session::Execute(const std::wstring& sql) {
  return jet_ && sqlite_ ? ExecuteJet(sql) : RunOne(sql);
}

Result Session::RunOne(const std::wstring& sql) {
  odbc::Statement statement(connection_, form_);
  if (!sqlite_ && commandTimeout_ > 0) {
    statement.SetQueryTimeout(commandTimeout_);
  }
  Result result;
  if (statement.Execute(sql)) {
    result.rows = statement.FetchAll(sqlite_, jet_);
  } else {
    result.affected = statement.RowCount();
  }
  return result;
}

Result Session::RunBound(const std::wstring& sql, const std::vector<std::wstring>& params) {
  if (!prepared_ || preparedSql_ != sql) {
    // Only one statement of ours is ever open: a DROP must not meet an
    // earlier one still holding its table.
    prepared_.reset();
    preparedSql_.clear();
    auto statement = std::make_unique<odbc::Statement>(connection_, form_);
    statement->Prepare(sql);
    prepared_ = std::move(statement);
    preparedSql_ = sql;
  }
  Result result;
  try {
    if (prepared_->ExecutePrepared(params)) {
      result.rows = prepared_->FetchAll(sqlite_, jet_);
      prepared_.reset();  // a finished read holds no lock past here
      preparedSql_.clear();
    } else {
      result.affected = prepared_->RowCount();
    }
  } catch (...) {
    prepared_.reset();
    preparedSql_.clear();
    throw;
  }
  return result;
}

void Session::SetCommandTimeout(long seconds) { commandTimeout_ = seconds; }

bool Session::IsMainDatabase(const std::wstring& path) const {
  std::error_code ec;
  return !mainPath_.empty() &&
         std::filesystem::equivalent(NativePath(path), NativePath(mainPath_), ec);
}

Result Session::ExecuteJet(const std::wstring& sql) {
  std::vector<std::pair<std::wstring, std::wstring>> attached;  // path, schema name
  const jet::Plan plan = jet::Translate(sql, [&](const std::wstring& path) -> std::wstring {
    if (IsMainDatabase(path)) return L"main";
    for (const auto& [known, schema] : held_) {
      if (known == path) return schema;
    }
    for (const auto& [known, schema] : attached) {
      if (known == path) return schema;
    }
    if (!IsDatabaseFile(path)) MissingFile(path);
    attached.emplace_back(path, L"gm_ext" + std::to_wstring(++attachments_));
    return attached.back().second;
  });

  struct Detach {
    Session& session;
    std::vector<std::wstring> schemas;
    ~Detach() {
      for (const std::wstring& schema : schemas) {
        try {
          session.prepared_.reset();
          session.RunOne(L"DETACH DATABASE " + schema);
        } catch (const _com_error&) {
        }
      }
    }
  } detach{*this, {}};
  for (const auto& [path, schema] : attached) {
    prepared_.reset();
    RunBound(L"ATTACH DATABASE ? AS " + schema, {path});
    // SQLite attaches inside a transaction, but lets go of a file that
    // the transaction has read only once it ends.
    if (inTransaction_) {
      held_.emplace_back(path, schema);
    } else {
      detach.schemas.push_back(schema);
    }
  }
  if (!plan.into) return RunBound(plan.sql, plan.params);

  // SELECT ... INTO: a new table with the columns of the rows, then the rows,
  // both or neither.
  const jet::SelectInto& into = *plan.into;
  const std::wstring target =
      jet::QuoteName(into.targetSchema) + L"." + jet::QuoteName(into.targetTable);
  std::wstring create;
  if (!into.sourceTable.empty()) {
    const Result info =
        RunBound(L"SELECT * FROM pragma_table_info(?, ?)", {into.sourceTable, into.sourceSchema});
    if (info.rows && !info.rows->rows.empty()) {
      // table_info: cid, name, type, notnull, dflt_value, pk. Jet copies
      // the field types but neither keys nor constraints.
      for (const auto& column : info.rows->rows) {
        create += create.empty() ? L"CREATE TABLE " + target + L" (" : L", ";
        create += jet::QuoteName(TextOf(column.at(1)));
        const std::wstring type = TextOf(column.at(2));
        if (!type.empty()) create += L" " + type;
      }
      create += L")";
    }
  }
  const bool fromSelect = create.empty();
  if (fromSelect) {
    create = L"CREATE TABLE " + target + L" AS SELECT * FROM (" + into.select + L") WHERE 0";
  }
  const std::vector<std::wstring> none;
  OwnTransaction transaction(connection_, form_, !inTransaction_);
  RunBound(create, fromSelect ? into.params : none);
  const Result copied = RunBound(L"INSERT INTO " + target + L" " + into.select, into.params);
  transaction.Commit();
  Result result;
  result.affected = copied.affected;
  return result;
}

odbc::RowSet Session::Tables() {
  odbc::Statement statement(connection_, form_);
  statement.Tables();
  odbc::RowSet rows = statement.FetchAll(sqlite_);
  // The names ADO's tables schema gives the first columns of SQLTables.
  static constexpr const wchar_t* kNames[] = {L"TABLE_CATALOG", L"TABLE_SCHEMA", L"TABLE_NAME",
                                              L"TABLE_TYPE", L"DESCRIPTION"};
  for (std::size_t i = 0; i < rows.columns.size() && i < 5; ++i) rows.columns[i].name = kNames[i];
  if (!sqlite_ || rows.columns.size() < 4) return rows;

  // SQLite's own tables are its system tables, as an Access file's MSys tables
  // are; its catalogue is always there, so no database shows no table at all.
  bool hasCatalogue = false;
  for (auto& row : rows.rows) {
    const std::wstring name = TextOf(row[2]);
    if (name.rfind(L"sqlite_", 0) == 0) row[3] = Variant::Text(L"SYSTEM TABLE");
    hasCatalogue = hasCatalogue || name == L"sqlite_master";
  }
  if (!hasCatalogue) {
    std::vector<Variant> row(rows.columns.size(), Variant::Null());
    row[2] = Variant::Text(L"sqlite_master");
    row[3] = Variant::Text(L"SYSTEM TABLE");
    rows.rows.push_back(std::move(row));
  }
  std::stable_sort(rows.rows.begin(), rows.rows.end(), [](const auto& a, const auto& b) {
    const int type = CompareNoCase(TextOf(a[3]), TextOf(b[3]));
    return type != 0 ? type < 0 : CompareNoCase(TextOf(a[2]), TextOf(b[2])) < 0;
  });
  return rows;
}

void Session::Begin() {
  if (inTransaction_) {
    throw _com_error(kTransactionExists, odbc::kProviderSource,
                     L"Only one transaction can be active on this session.");
  }
  connection_.SetAutocommit(false, form_);
  inTransaction_ = true;
}

void Session::Commit() {
  if (!inTransaction_) {
    throw _com_error(kNoTransaction, odbc::kProviderSource, L"No transaction is active.");
  }
  connection_.Commit(form_);
  inTransaction_ = false;
  connection_.SetAutocommit(true, form_);
  DetachHeld();
}

void Session::Rollback() {
  if (!inTransaction_) {
    throw _com_error(kNoTransaction, odbc::kProviderSource, L"No transaction is active.");
  }
  connection_.Rollback(form_);
  inTransaction_ = false;
  connection_.SetAutocommit(true, form_);
  DetachHeld();
}

void Session::DetachHeld() {
  prepared_.reset();
  preparedSql_.clear();
  for (const auto& held : held_) {
    try {
      RunOne(L"DETACH DATABASE " + held.second);
    } catch (const _com_error&) {
    }
  }
  held_.clear();
}

}  // namespace ado::detail
