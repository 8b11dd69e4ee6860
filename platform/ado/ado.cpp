#include "platform/ado/ado.h"

#include <utility>

#include "platform/ado/ado_internal.h"
#include "platform/ado/connection_text.h"
#include "platform/ado/fold.h"
#include "platform/ado/jet_sql.h"
#include "platform/ado/session.h"

namespace ado {
namespace detail {

Snapshot::Snapshot(odbc::RowSet rows) : data(std::move(rows)) {
  order.resize(data.rows.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
}

void Snapshot::Close() {
  open = false;
  data = {};
  order.clear();
  position = 0;
}

void RaiseAdo(ErrorValueEnum error, const wchar_t* source) {
  const wchar_t* text = L"";
  switch (error) {
    case adErrInvalidArgument:
      text =
          L"Arguments are of the wrong type, are out of acceptable range, or are in conflict "
          L"with one another.";
      break;
    case adErrNoCurrentRecord:
      text =
          L"Either BOF or EOF is True, or the current record has been deleted. Requested "
          L"operation requires a current record.";
      break;
    case adErrFeatureNotAvailable:
      text = L"Object or provider is not capable of performing requested operation.";
      break;
    case adErrItemNotFound:
      text =
          L"Item cannot be found in the collection corresponding to the requested name or "
          L"ordinal.";
      break;
    case adErrObjectClosed:
      text = L"Operation is not allowed when the object is closed.";
      break;
    case adErrObjectOpen:
      text = L"Operation is not allowed when the object is open.";
      break;
    case adErrProviderNotFound:
      text = L"Provider cannot be found. It may not be properly installed.";
      break;
    case adErrInvalidConnection:
      text =
          L"The connection cannot be used to perform this operation. It is either closed or "
          L"invalid in this context.";
      break;
  }
  throw _com_error(AdoError(error), source, text);
}

}  // namespace detail

namespace {

StatementObserver& Observer() {
  static StatementObserver observer;
  return observer;
}

constexpr long kCommandTypes =
    adCmdText | adCmdTable | adCmdStoredProc | adCmdUnknown | adCmdFile | adCmdTableDirect;

// A text that is one name, plain or quoted, and so names a table.
bool IsOneName(const std::wstring& text) {
  const auto first = text.find_first_not_of(L" \t\r\n");
  if (first == std::wstring::npos) return false;
  const auto last = text.find_last_not_of(L" \t\r\n");
  const std::wstring_view name = std::wstring_view(text).substr(first, last - first + 1);
  const wchar_t open = name.front();
  if (open == L'`' || open == L'[' || open == L'"') {
    const wchar_t close = open == L'[' ? L']' : open;
    return name.size() >= 2 && name.back() == close &&
           name.substr(1, name.size() - 2).find(close) == std::wstring_view::npos;
  }
  for (wchar_t c : name) {
    if (!(c == L'_' || c >= 0x80 || (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'z') ||
          (c >= L'A' && c <= L'Z'))) {
      return false;
    }
  }
  return !detail::EqualsNoCase(name, L"SELECT");
}

std::wstring TableQuery(const std::wstring& name) {
  const auto first = name.find_first_not_of(L" \t\r\n");
  const auto last = name.find_last_not_of(L" \t\r\n");
  const std::wstring trimmed =
      first == std::wstring::npos ? std::wstring() : name.substr(first, last - first + 1);
  const bool quoted = !trimmed.empty() && (trimmed.front() == L'`' || trimmed.front() == L'[' ||
                                           trimmed.front() == L'"');
  return L"SELECT * FROM " + (quoted ? trimmed : jet::QuoteName(trimmed));
}

std::wstring CellText(const Variant& value) {
  return value.vt() == VarType::Bstr ? value.AsText() : std::wstring();
}

}  // namespace

StatementObserver SetStatementObserver(StatementObserver observer) {
  return std::exchange(Observer(), std::move(observer));
}

Connection::Connection() = default;

Connection::~Connection() {
  if (!session_) return;
  try {
    Close();
  } catch (const _com_error&) {
    // A destructor cannot report; the session's own teardown rolls back.
  }
}

void Connection::RequireOpen(const wchar_t* source) const {
  if (!session_) detail::RaiseAdo(adErrObjectClosed, source);
}

HRESULT Connection::Open(const std::wstring& connectionString, const std::wstring& userId,
                         const std::wstring& password, long /*options*/) {
  if (session_) detail::RaiseAdo(adErrObjectOpen, detail::kConnectionSource);
  if (!connectionString.empty()) connectionString_ = connectionString;
  const detail::OdbcTarget target =
      detail::ResolveConnection(connectionString_, userId, password, commandTimeout_);
  session_ = std::make_unique<detail::Session>(target, connectionTimeout_, commandTimeout_);
  return S_OK;
}

HRESULT Connection::Close() {
  RequireOpen(detail::kConnectionSource);
  for (const auto& weak : snapshots_) {
    if (const auto snapshot = weak.lock()) snapshot->Close();
  }
  snapshots_.clear();
  std::unique_ptr<detail::Session> session = std::move(session_);
  if (session->InTransaction()) session->Rollback();
  return S_OK;
}

long Connection::GetState() const { return session_ ? adStateOpen : adStateClosed; }

void Connection::PutConnectionString(const std::wstring& text) {
  if (session_) detail::RaiseAdo(adErrObjectOpen, detail::kConnectionSource);
  connectionString_ = text;
}

void Connection::PutConnectionTimeout(long seconds) {
  if (seconds < 0) detail::RaiseAdo(adErrInvalidArgument, detail::kConnectionSource);
  if (session_) detail::RaiseAdo(adErrObjectOpen, detail::kConnectionSource);
  connectionTimeout_ = seconds;
}

void Connection::PutCommandTimeout(long seconds) {
  if (seconds < 0) detail::RaiseAdo(adErrInvalidArgument, detail::kConnectionSource);
  commandTimeout_ = seconds;
  if (session_) session_->SetCommandTimeout(seconds);
}

void Connection::PutCursorLocation(CursorLocationEnum location) {
  if (location != adUseServer && location != adUseClient) {
    detail::RaiseAdo(adErrInvalidArgument, detail::kConnectionSource);
  }
  cursorLocation_ = location;
}

std::shared_ptr<detail::Snapshot> Connection::Run(const std::wstring& text, long commandType,
                                                  Variant* recordsAffected, const wchar_t* source) {
  RequireOpen(source);
  if (Observer()) Observer()(text);
  std::wstring sql;
  switch (commandType) {
    case adCmdTable:
    case adCmdTableDirect:
      sql = TableQuery(text);
      break;
    case adCmdStoredProc:
      sql = L"{call " + text + L"}";
      break;
    case adCmdText:
      sql = text;
      break;
    default:
      sql = IsOneName(text) ? TableQuery(text) : text;
      break;
  }
  if (commandType == adCmdFile || (commandType == adCmdStoredProc && session_->IsSqlite())) {
    detail::RaiseAdo(adErrFeatureNotAvailable, source);
  }
  detail::Result result = session_->Execute(sql);
  if (recordsAffected) *recordsAffected = Variant::I4(static_cast<std::int32_t>(result.affected));
  if (!result.rows) return nullptr;
  auto snapshot = std::make_shared<detail::Snapshot>(std::move(*result.rows));
  std::erase_if(snapshots_, [](const auto& weak) { return weak.expired(); });
  snapshots_.push_back(snapshot);
  return snapshot;
}

RecordsetPtr Connection::Wrap(std::shared_ptr<detail::Snapshot> snapshot) {
  RecordsetPtr recordset;
  if (FAILED(recordset.CreateInstance())) throw _com_error(E_OUTOFMEMORY);
  recordset->cursorLocation_ = cursorLocation_;
  recordset->cursorType_ = cursorLocation_ == adUseClient ? adOpenStatic : adOpenForwardOnly;
  recordset->lockType_ = adLockReadOnly;
  recordset->connection_ = ConnectionPtr(weak_from_this().lock());
  if (snapshot) recordset->snapshot_ = std::move(snapshot);
  return recordset;
}

RecordsetPtr Connection::Execute(const std::wstring& commandText, Variant* recordsAffected,
                                 long options) {
  const long type = options == adOptionUnspecified ? adCmdUnspecified : (options & kCommandTypes);
  const bool noRecords = options != adOptionUnspecified && (options & adExecuteNoRecords) != 0;
  auto snapshot = Run(commandText, type == 0 ? adCmdUnspecified : type, recordsAffected,
                      detail::kConnectionSource);
  if (noRecords) return nullptr;
  return Wrap(std::move(snapshot));
}

RecordsetPtr Connection::OpenSchema(SchemaEnum schema, const std::vector<Variant>& restrictions,
                                    const std::wstring& /*schemaId*/) {
  RequireOpen(detail::kConnectionSource);
  if (schema != adSchemaTables) {
    detail::RaiseAdo(adErrFeatureNotAvailable, detail::kConnectionSource);
  }
  odbc::RowSet rows = session_->Tables();
  for (std::size_t k = 0; k < restrictions.size() && k < 4 && k < rows.columns.size(); ++k) {
    const Variant& wanted = restrictions[k];
    if (wanted.IsEmpty() || wanted.IsNull()) continue;
    if (wanted.vt() != VarType::Bstr) {
      detail::RaiseAdo(adErrInvalidArgument, detail::kConnectionSource);
    }
    if (wanted.AsText().empty()) continue;
    std::erase_if(rows.rows, [&](const std::vector<Variant>& row) {
      return !detail::EqualsNoCase(CellText(row[k]), wanted.AsText());
    });
  }
  auto snapshot = std::make_shared<detail::Snapshot>(std::move(rows));
  snapshots_.push_back(snapshot);
  RecordsetPtr recordset = Wrap(std::move(snapshot));
  recordset->cursorLocation_ = adUseClient;
  recordset->cursorType_ = adOpenStatic;
  return recordset;
}

long Connection::BeginTrans() {
  RequireOpen(detail::kConnectionSource);
  session_->Begin();
  return 1;
}

HRESULT Connection::CommitTrans() {
  RequireOpen(detail::kConnectionSource);
  session_->Commit();
  return S_OK;
}

HRESULT Connection::RollbackTrans() {
  RequireOpen(detail::kConnectionSource);
  session_->Rollback();
  return S_OK;
}

RecordsetPtr Command::Execute(Variant* recordsAffected, const Variant* parameters, long options) {
  if (!connection_ || connection_->GetState() == adStateClosed) {
    detail::RaiseAdo(adErrInvalidConnection, detail::kCommandSource);
  }
  if (parameters && !parameters->IsEmpty()) {
    detail::RaiseAdo(adErrFeatureNotAvailable, detail::kCommandSource);
  }
  long type = type_;
  if (options != adOptionUnspecified && (options & kCommandTypes) != 0) {
    type = options & kCommandTypes;
  }
  const bool noRecords = options != adOptionUnspecified && (options & adExecuteNoRecords) != 0;
  auto snapshot = connection_->Run(text_, type, recordsAffected, detail::kCommandSource);
  if (noRecords) return nullptr;
  return connection_->Wrap(std::move(snapshot));
}

}  // namespace ado
