// A small layer over ADO: one open connection (CADODatabase) and one result
// set read over it (CADORecordset). It knows nothing of tables or drawings.
//
// Failure policy: every operation that talks to ADO catches the COM error
// itself, keeps a multi-line report in the object, shows it with sds_alert
// and returns false, so callers only test the result. The build for the
// older host (GM_LEGACY_HOST) keeps the same report but raises CADOException
// instead of showing it. Transactions, field counting, field descriptions
// and record navigation are not guarded: they raise _com_error to the
// caller.
#pragma once

#include <cstdint>
#include <string>

#include "platform/ado/import.h"
#include "platform/win/wintypes.h"

// The layer's exception (raised by value, caught by reference).
class CADOException {
 public:
  CADOException() = default;
  CADOException(std::wstring message, std::uint32_t code)
      : message_(std::move(message)), code_(code) {}
  virtual ~CADOException() = default;

  std::wstring GetErrorMessage() const { return message_; }
  std::uint32_t GetError() const { return code_; }

 private:
  std::wstring message_;
  std::uint32_t code_ = 0;
};

// One field of an open recordset, as GetFieldInfo describes it.
struct CADOFieldDesc {
  wchar_t m_strName[65] = {};  // cut to 64 characters
  short m_nType = 0;
  long m_lSize = 0;  // actual size; only filled away from the end
  long m_lDefinedSize = 0;
  long m_lAttributes = 0;
};

class CADODatabase {
 public:
  CADODatabase();
  virtual ~CADODatabase();
  CADODatabase(const CADODatabase&) = delete;
  CADODatabase& operator=(const CADODatabase&) = delete;

  void SetConnectionString(const std::wstring& connection) { m_strConnection = connection; }
  std::wstring GetConnectionString() const { return m_strConnection; }
  void SetConnectionTimeout(long seconds) { m_nConnectionTimeout = seconds; }

  // A non-empty connection text replaces the stored one. True exactly when
  // the connection opened with plain success.
  bool Open(const std::wstring& connection = {}, const std::wstring& user = {},
            const std::wstring& password = {});
  // Runs a statement that returns no records; the count it changed is kept
  // in GetRecordsAffected.
  bool Execute(const std::wstring& sql);
  void Close();
  bool IsOpen() const;
  _ConnectionPtr GetActiveConnection() const { return m_pConnection; }

  // Raise _com_error on failure; nothing is reported.
  void BeginTransaction();
  void CommitTransaction();
  void RollbackTransaction();

  long GetRecordsAffected() const { return m_nRecordsAffected; }
  std::wstring GetLastErrorString() const { return m_strLastError; }
  std::wstring GetErrorDescription() const { return m_strErrorDescription; }
  std::uint32_t GetLastError() const { return m_dwLastError; }

 private:
  void ReportError(const _com_error& e);

  _ConnectionPtr m_pConnection;
  std::wstring m_strConnection;
  std::wstring m_strLastError;
  std::wstring m_strErrorDescription;
  std::uint32_t m_dwLastError = 0;
  long m_nRecordsAffected = 0;
  long m_nConnectionTimeout = 0;
  bool m_bComInitialised = false;
};

class CADORecordset {
 public:
  enum cadoOpenEnum { openUnknown = 0, openQuery = 1, openTable = 2, openStoredProc = 3 };

  explicit CADORecordset(CADODatabase* database);
  virtual ~CADORecordset();
  CADORecordset(const CADORecordset&) = delete;
  CADORecordset& operator=(const CADORecordset&) = delete;

  // A non-empty text replaces the stored query. Any mode other than the four
  // above gives false without a report.
  bool Open(const std::wstring& source = {}, int mode = openUnknown);
  void Close();
  bool IsOpen() const;
  // The schema query with no restrictions; a non-empty identifier asks for
  // the provider's own schema of that id instead.
  bool OpenSchema(int schema, const std::wstring& schemaId = {});

  bool IsEof() const;
  void MoveFirst();
  void MoveNext();
  int GetFieldCount() const;
  bool GetFieldInfo(int index, CADOFieldDesc* desc) const;
  // The named field of the current record as text, by the value's kind; an
  // empty date format means "%Y-%m-%d %H:%M:%S". False for a kind that has
  // no text form (binary data) and on a reported error.
  bool GetFieldValue(const std::wstring& name, std::wstring& value,
                     const std::wstring& dateFormat = {});

  std::wstring GetQuery() const { return m_strQuery; }
  std::wstring GetLastErrorString() const { return m_strLastError; }
  std::uint32_t GetLastError() const { return m_dwLastError; }

 private:
  void ReportError(const _com_error& e);

  _RecordsetPtr m_pRecordset;
  _CommandPtr m_pCmd;
  _ConnectionPtr m_pConnection;
  CADODatabase* m_pDatabase;
  int m_nEditStatus = 0;
  std::wstring m_strLastError;
  std::uint32_t m_dwLastError = 0;
  std::wstring m_strQuery;
};
