#include "database/ado_database.h"

#include <algorithm>
#include <ctime>
#include <cwchar>
#include <cwctype>

#include "platform/com/objbase.h"
#include "platform/sds/sds.h"
#include "platform/win/strings.h"
#include "platform/win/text.h"

namespace {

// The report both classes keep and show: label, code, the code's meaning,
// the error's source and description.
std::wstring ReportBody(const wchar_t* label, const _com_error& e) {
  return win::Format(
      L"%s Error\n\tCode = %08lx\n\tCode meaning = %s\n\tSource = %s\n"
      L"\tDescription = %s\n",
      label, static_cast<unsigned long>(static_cast<std::uint32_t>(e.Error())), e.ErrorMessage(),
      e.Source().c_str(), e.Description().c_str());
}

// The newer host is told at once; the older one gets the error raised.
void Deliver(const std::wstring& report, const _com_error& e) {
#if GM_LEGACY_HOST
  (void)report;
  throw CADOException(e.Description(), static_cast<std::uint32_t>(e.Error()));
#else
  (void)e;
  sds_alert(report.c_str());
#endif
}

std::wstring FormatDate(double oleDate, const std::wstring& format) {
  const auto parts = ado::FromOleDate(oleDate);
  if (!parts) return {};
  std::tm t{};
  t.tm_year = parts->year - 1900;
  t.tm_mon = parts->month - 1;
  t.tm_mday = parts->day;
  t.tm_hour = parts->hour;
  t.tm_min = parts->minute;
  t.tm_sec = parts->second;
  // Weekday and day of the year, for formats that ask for them.
  std::tm probe = t;
  probe.tm_isdst = -1;
  if (std::mktime(&probe) != static_cast<std::time_t>(-1)) {
    t.tm_wday = probe.tm_wday;
    t.tm_yday = probe.tm_yday;
  }
  const std::wstring& f = format.empty() ? std::wstring(L"%Y-%m-%d %H:%M:%S") : format;
  wchar_t buffer[256];
  const size_t n = std::wcsftime(buffer, 256, f.c_str(), &t);
  return std::wstring(buffer, n);
}

}  // namespace

// ---------------------------------------------------------------------------
// CADODatabase

CADODatabase::CADODatabase() {
  m_bComInitialised = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  // A connection that cannot be made leaves the pointer empty; every later
  // operation then fails through it.
  if (FAILED(m_pConnection.CreateInstance())) m_pConnection.Release();
}

CADODatabase::~CADODatabase() {
  // A destructor must not raise.
  try {
    Close();
  } catch (const _com_error&) {
  }
  m_pConnection.Release();
  m_strConnection.clear();
  m_strLastError.clear();
  m_strErrorDescription.clear();
  m_dwLastError = 0;
  if (m_bComInitialised) CoUninitialize();
}

bool CADODatabase::Open(const std::wstring& connection, const std::wstring& user,
                        const std::wstring& password) {
  if (IsOpen()) Close();
  if (!connection.empty()) m_strConnection = connection;
  try {
    if (m_nConnectionTimeout != 0) m_pConnection->PutConnectionTimeout(m_nConnectionTimeout);
    return m_pConnection->Open(m_strConnection, user, password, 0) == S_OK;
  } catch (const _com_error& e) {
    ReportError(e);
    return false;
  }
}

bool CADODatabase::Execute(const std::wstring& sql) {
  m_nRecordsAffected = 0;
  try {
    m_pConnection->PutCursorLocation(adUseClient);
    ado::Variant affected;
    _RecordsetPtr ignored = m_pConnection->Execute(sql, &affected, adExecuteNoRecords);
    ignored.Release();
    if (!affected.IsEmpty() && !affected.IsNull()) {
      m_nRecordsAffected = static_cast<long>(affected.AsInt64());
    }
    return true;
  } catch (const _com_error& e) {
    ReportError(e);
    return false;
  }
}

void CADODatabase::Close() {
  if (IsOpen()) m_pConnection->Close();
}

bool CADODatabase::IsOpen() const {
  return m_pConnection && m_pConnection->GetState() != adStateClosed;
}

void CADODatabase::BeginTransaction() { m_pConnection->BeginTrans(); }
void CADODatabase::CommitTransaction() { m_pConnection->CommitTrans(); }
void CADODatabase::RollbackTransaction() { m_pConnection->RollbackTrans(); }

void CADODatabase::ReportError(const _com_error& e) {
  m_strErrorDescription = e.Description();
  m_strLastError =
      L"Connection String = " + m_strConnection + L"\n" + ReportBody(L"CADODataBase", e);
  m_dwLastError = static_cast<std::uint32_t>(e.Error());
  Deliver(m_strLastError, e);
}

// ---------------------------------------------------------------------------
// CADORecordset

CADORecordset::CADORecordset(CADODatabase* database) : m_pDatabase(database) {
  if (FAILED(m_pRecordset.CreateInstance())) m_pRecordset.Release();
  if (FAILED(m_pCmd.CreateInstance())) m_pCmd.Release();
  if (database != nullptr) m_pConnection = database->GetActiveConnection();
}

CADORecordset::~CADORecordset() {
  // A destructor must not raise; a recordset that cannot be closed goes with
  // its object anyway.
  try {
    Close();
  } catch (const _com_error&) {
  }
  m_pRecordset.Release();
  m_pCmd.Release();
}

bool CADORecordset::Open(const std::wstring& source, int mode) {
  Close();
  if (!source.empty()) m_strQuery = source;
  if (!m_pConnection && m_pDatabase != nullptr) m_pConnection = m_pDatabase->GetActiveConnection();
  m_strQuery.erase(0, std::min(m_strQuery.find_first_not_of(L" \t\r\n\f\v"), m_strQuery.size()));

  const bool selection =
      win::EqualsNoCase(std::wstring_view(m_strQuery).substr(0, 7), L"SELECT ") &&
      mode == openUnknown;

  try {
    m_pRecordset->PutCursorType(adOpenStatic);
    m_pRecordset->PutCursorLocation(adUseClient);
    if (selection || mode == openQuery || mode == openUnknown) {
      m_pRecordset->Open(m_strQuery, m_pConnection, adOpenStatic, adLockOptimistic, adCmdUnknown);
    } else if (mode == openTable) {
      m_pRecordset->Open(m_strQuery, m_pConnection, adOpenKeyset, adLockOptimistic, adCmdTable);
    } else if (mode == openStoredProc) {
      m_pCmd->PutActiveConnection(m_pConnection);
      m_pCmd->PutCommandText(m_strQuery);
      m_pCmd->PutCommandType(adCmdStoredProc);
      m_pConnection->PutCursorLocation(adUseClient);
      m_pRecordset = m_pCmd->Execute(nullptr, nullptr, adCmdText);
    } else {
      return false;
    }
    return m_pRecordset && m_pRecordset->GetState() != adStateClosed;
  } catch (const _com_error& e) {
    ReportError(e);
    return false;
  }
}

void CADORecordset::Close() {
  if (!IsOpen()) return;
  if (m_nEditStatus != 0) {
    m_pRecordset->CancelUpdate();
    m_nEditStatus = 0;
  }
  m_pRecordset->PutSort(L"");
  m_pRecordset->Close();
}

bool CADORecordset::IsOpen() const {
  return m_pRecordset && m_pConnection && m_pConnection->GetState() != adStateClosed &&
         m_pRecordset->GetState() != adStateClosed;
}

bool CADORecordset::OpenSchema(int schema, const std::wstring& schemaId) {
  try {
    if (schemaId.empty()) {
      m_pRecordset = m_pConnection->OpenSchema(static_cast<SchemaEnum>(schema));
    } else {
      m_pRecordset = m_pConnection->OpenSchema(adSchemaProviderSpecific, {}, schemaId);
    }
    return true;
  } catch (const _com_error& e) {
    ReportError(e);
    return false;
  }
}

bool CADORecordset::IsEof() const { return m_pRecordset->IsEOF(); }
void CADORecordset::MoveFirst() { m_pRecordset->MoveFirst(); }
void CADORecordset::MoveNext() { m_pRecordset->MoveNext(); }

int CADORecordset::GetFieldCount() const {
  return static_cast<int>(m_pRecordset->GetFields()->GetCount());
}

bool CADORecordset::GetFieldInfo(int index, CADOFieldDesc* desc) const {
  FieldPtr field = m_pRecordset->GetFields()->GetItem(static_cast<long>(index));
  const std::wstring name = field->GetName().substr(0, 64);
  std::wmemset(desc->m_strName, 0, 65);
  std::wmemcpy(desc->m_strName, name.c_str(), name.size());
  desc->m_nType = static_cast<short>(field->GetType());
  if (!m_pRecordset->IsEOF()) desc->m_lSize = field->GetActualSize();
  desc->m_lDefinedSize = field->GetDefinedSize();
  desc->m_lAttributes = field->GetAttributes();
  return true;
}

bool CADORecordset::GetFieldValue(const std::wstring& name, std::wstring& value,
                                  const std::wstring& dateFormat) {
  try {
    const ado::Variant v = m_pRecordset->GetFields()->GetItem(name)->GetValue();
    switch (v.vt()) {
      case ado::VarType::Empty:
      case ado::VarType::Null:
        value.clear();
        return true;
      case ado::VarType::I2:
      case ado::VarType::UI1:
      case ado::VarType::I4:
      // SQLite's integers are 64-bit; they are numbers all the same.
      case ado::VarType::I8:
        value = win::Format(L"%lld", static_cast<long long>(v.AsInt64()));
        return true;
      case ado::VarType::R4:
      case ado::VarType::R8:
        value = win::Format(L"%g", v.AsDouble());
        return true;
      case ado::VarType::Date:
        value = FormatDate(v.AsDouble(), dateFormat);
        return true;
      case ado::VarType::Bstr:
        value = v.AsText();
        return true;
      case ado::VarType::Bool:
        value = v.AsBool() ? L"T" : L"F";
        return true;
      default:
        value.clear();
        return false;
    }
  } catch (const _com_error& e) {
    ReportError(e);
    return false;
  }
}

void CADORecordset::ReportError(const _com_error& e) {
  m_strLastError = L"Query = " + m_strQuery + L"\n" + ReportBody(L"CADORecordset", e);
  m_dwLastError = static_cast<std::uint32_t>(e.Error());
  Deliver(m_strLastError, e);
}
