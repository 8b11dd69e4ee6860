// ActiveX Data Objects as a Windows plug-in uses them: Connection,
// Recordset, Fields and Field, Command, raised errors as _com_error. The
// objects live behind reference-counted smart pointers (ConnectionPtr, ...)
// made with CreateInstance; calling through an empty one raises E_POINTER.
//
// Behind them is the ODBC driver manager. A connection text written for the
// Access engine ("Driver={Microsoft Access Driver (*.mdb)};Dbq=...", or the
// Jet and ACE providers) opens the file with the SQLite ODBC driver, and
// statements sent over it may use the Jet dialect (see jet_sql.h). Any other
// ODBC text goes to the driver manager as written.
//
// Rows are read when a recordset opens, so every recordset is a snapshot:
// it holds no statement open on the database and survives the end of a
// transaction. Record editing through a recordset does not exist; statements
// change data.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ado/variant.h"
#include "platform/com/comdef.h"
#include "platform/win/wintypes.h"

namespace ado {

enum ObjectStateEnum : long { adStateClosed = 0, adStateOpen = 1 };
enum CursorLocationEnum : long { adUseNone = 1, adUseServer = 2, adUseClient = 3 };
enum CursorTypeEnum : long {
  adOpenUnspecified = -1,
  adOpenForwardOnly = 0,
  adOpenKeyset = 1,
  adOpenDynamic = 2,
  adOpenStatic = 3,
};
enum LockTypeEnum : long {
  adLockUnspecified = -1,
  adLockReadOnly = 1,
  adLockPessimistic = 2,
  adLockOptimistic = 3,
  adLockBatchOptimistic = 4,
};
enum CommandTypeEnum : long {
  adCmdUnspecified = -1,
  adCmdText = 1,
  adCmdTable = 2,
  adCmdStoredProc = 4,
  adCmdUnknown = 8,
  adCmdFile = 256,
  adCmdTableDirect = 512,
};
enum ExecuteOptionEnum : long {
  adOptionUnspecified = -1,
  adAsyncExecute = 0x10,
  adAsyncFetch = 0x20,
  adAsyncFetchNonBlocking = 0x40,
  adExecuteNoRecords = 0x80,
};
// Options combine a command type with execute options, as the plug-in writes
// them (adCmdText | adExecuteNoRecords); C++20 deprecates or-ing two enums.
constexpr long operator|(CommandTypeEnum type, ExecuteOptionEnum option) {
  return static_cast<long>(type) | static_cast<long>(option);
}
constexpr long operator|(ExecuteOptionEnum option, CommandTypeEnum type) { return type | option; }
enum ConnectOptionEnum : long { adConnectUnspecified = -1, adAsyncConnect = 0x10 };
enum SchemaEnum : long { adSchemaProviderSpecific = -1, adSchemaTables = 20 };
enum DataTypeEnum : long {
  adEmpty = 0,
  adSmallInt = 2,
  adInteger = 3,
  adSingle = 4,
  adDouble = 5,
  adCurrency = 6,
  adDate = 7,
  adBoolean = 11,
  adDecimal = 14,
  adTinyInt = 16,
  adUnsignedTinyInt = 17,
  adBigInt = 20,
  adGUID = 72,
  adBinary = 128,
  adChar = 129,
  adWChar = 130,
  adNumeric = 131,
  adDBDate = 133,
  adDBTime = 134,
  adDBTimeStamp = 135,
  adVarChar = 200,
  adLongVarChar = 201,
  adVarWChar = 202,
  adLongVarWChar = 203,
  adVarBinary = 204,
  adLongVarBinary = 205,
};
enum FieldAttributeEnum : long {
  adFldUnspecified = -1,
  adFldUpdatable = 0x4,
  adFldUnknownUpdatable = 0x8,
  adFldFixed = 0x10,
  adFldIsNullable = 0x20,
  adFldMayBeNull = 0x40,
  adFldLong = 0x80,
};
enum ErrorValueEnum : long {
  adErrInvalidArgument = 3001,
  adErrNoCurrentRecord = 3021,
  adErrFeatureNotAvailable = 3251,
  adErrItemNotFound = 3265,
  adErrObjectClosed = 3704,
  adErrObjectOpen = 3705,
  adErrProviderNotFound = 3706,
  adErrInvalidConnection = 3709,
};
// The status code ADO raises for one of its own errors.
constexpr HRESULT AdoError(ErrorValueEnum e) {
  return static_cast<HRESULT>(0x800A0000u | static_cast<std::uint32_t>(e));
}
// RecordCount and ActualSize when they cannot be told.
constexpr long adUnknown = -1;

// A shared reference to an ADO object, as the Windows smart pointers are.
template <class T>
class Ptr {
 public:
  Ptr() = default;
  Ptr(std::nullptr_t) {}
  explicit Ptr(std::shared_ptr<T> object) : object_(std::move(object)) {}

  // A new object in place of the one held; E_OUTOFMEMORY when none can be made.
  HRESULT CreateInstance() {
    try {
      object_ = std::make_shared<T>();
      return S_OK;
    } catch (const std::bad_alloc&) {
      object_.reset();
      return E_OUTOFMEMORY;
    }
  }
  void Release() { object_.reset(); }

  // Raises _com_error(E_POINTER) when empty.
  T* operator->() const {
    if (!object_) throw _com_error(E_POINTER);
    return object_.get();
  }
  T& operator*() const { return *operator->(); }
  T* GetInterfacePtr() const { return object_.get(); }
  explicit operator bool() const { return object_ != nullptr; }
  bool operator==(std::nullptr_t) const { return object_ == nullptr; }
  bool operator==(const Ptr& other) const { return object_ == other.object_; }
  const std::shared_ptr<T>& shared() const { return object_; }

 private:
  std::shared_ptr<T> object_;
};

class Connection;
class Recordset;
class Fields;
class Field;
class Command;
using ConnectionPtr = Ptr<Connection>;
using RecordsetPtr = Ptr<Recordset>;
using FieldsPtr = Ptr<Fields>;
using FieldPtr = Ptr<Field>;
using CommandPtr = Ptr<Command>;

namespace detail {
class Session;
struct Snapshot;
}  // namespace detail

// Receives every statement text a Connection, Recordset or Command is given,
// as given, before anything rewrites it. One observer for the process; an
// empty function removes it. Returns the observer it replaces.
using StatementObserver = std::function<void(const std::wstring&)>;
StatementObserver SetStatementObserver(StatementObserver observer);

class Connection : public std::enable_shared_from_this<Connection> {
 public:
  Connection();
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Opens the connection text (the one set with PutConnectionString when
  // connectionString is empty). userId and password go to drivers that take
  // them; SQLite files have no users, so the Access texts ignore both, as
  // they ignore Uid and Pwd. Raises adErrObjectOpen when already open, and
  // the driver's diagnostics when it cannot connect.
  HRESULT Open(const std::wstring& connectionString, const std::wstring& userId = {},
               const std::wstring& password = {}, long options = adConnectUnspecified);
  // Rolls back a transaction that was not committed, closes every recordset
  // opened over this connection, and disconnects. Raises adErrObjectClosed
  // when not open.
  HRESULT Close();

  // Runs a statement. options: a command type (adCmdText, adCmdTable, ...)
  // optionally or-ed with adExecuteNoRecords. adCmdStoredProc calls the
  // procedure through ODBC's {call} escape; SQLite has none and refuses it
  // (adErrFeatureNotAvailable). Returns an open recordset for a
  // statement that gives rows, a closed one for any other, and an empty
  // pointer with adExecuteNoRecords. recordsAffected, when given, receives
  // the number of rows changed (VT_I4; -1 for a query).
  RecordsetPtr Execute(const std::wstring& commandText, Variant* recordsAffected,
                       long options = adOptionUnspecified);

  // adSchemaTables: one row per table and view, with the columns
  // TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME, TABLE_TYPE ("TABLE", "VIEW",
  // "SYSTEM TABLE") and DESCRIPTION; restrictions, when given, are matched
  // against the first four in that order (empty values match everything).
  // Other schemas raise adErrFeatureNotAvailable.
  RecordsetPtr OpenSchema(SchemaEnum schema, const std::vector<Variant>& restrictions = {},
                          const std::wstring& schemaId = {});

  // Returns the nesting level, 1. A second BeginTrans raises.
  long BeginTrans();
  HRESULT CommitTrans();
  HRESULT RollbackTrans();

  long GetState() const;
  std::wstring GetConnectionString() const { return connectionString_; }
  void PutConnectionString(const std::wstring& text);
  // Seconds to wait for the connection to be made (15 by default, 0 for no limit).
  long GetConnectionTimeout() const { return connectionTimeout_; }
  void PutConnectionTimeout(long seconds);
  // Seconds a statement may wait (30 by default, 0 for no limit); for SQLite
  // files the time to wait for a database another program has locked, which
  // the driver takes when the connection opens: set it before Open.
  long GetCommandTimeout() const { return commandTimeout_; }
  void PutCommandTimeout(long seconds);
  CursorLocationEnum GetCursorLocation() const { return cursorLocation_; }
  void PutCursorLocation(CursorLocationEnum location);

 private:
  friend class Recordset;
  friend class Command;

  void RequireOpen(const wchar_t* source) const;
  // Observes and runs a command text of the given type; the rows, or an
  // empty pointer for a statement that gives none.
  std::shared_ptr<detail::Snapshot> Run(const std::wstring& text, long commandType,
                                        Variant* recordsAffected, const wchar_t* source);
  RecordsetPtr Wrap(std::shared_ptr<detail::Snapshot> snapshot);

  std::unique_ptr<detail::Session> session_;
  std::wstring connectionString_;
  long connectionTimeout_ = 15;
  long commandTimeout_ = 30;
  CursorLocationEnum cursorLocation_ = adUseServer;
  std::vector<std::weak_ptr<detail::Snapshot>> snapshots_;
};

class Field {
 public:
  Field(std::shared_ptr<detail::Snapshot> snapshot, std::size_t index);
  Field(const Field&) = delete;
  Field& operator=(const Field&) = delete;

  std::wstring GetName() const;
  DataTypeEnum GetType() const;
  // Characters for text, bytes for binary data, the value's size for the
  // fixed-size kinds.
  long GetDefinedSize() const;
  long GetAttributes() const;
  // The current record's value: its length in the unit of DefinedSize
  // (UTF-16 code units for text), 0 for null. Raises adErrNoCurrentRecord at
  // the end, adErrObjectClosed once the recordset is closed.
  long GetActualSize() const;
  Variant GetValue() const;

 private:
  std::shared_ptr<detail::Snapshot> snapshot_;
  std::size_t index_;
};

class Fields {
 public:
  explicit Fields(std::shared_ptr<detail::Snapshot> snapshot);
  Fields(const Fields&) = delete;
  Fields& operator=(const Fields&) = delete;

  long GetCount() const;
  // By position from 0, or by name without regard to case. Raises
  // adErrItemNotFound when there is no such field.
  FieldPtr GetItem(long index) const;
  FieldPtr GetItem(std::wstring_view name) const;

 private:
  std::shared_ptr<detail::Snapshot> snapshot_;
};

class Recordset {
 public:
  Recordset();
  ~Recordset();
  Recordset(const Recordset&) = delete;
  Recordset& operator=(const Recordset&) = delete;

  // Reads the rows of source over activeConnection (or the one set with
  // PutRefActiveConnection when that is empty). options: adCmdText for a
  // statement, adCmdTable or adCmdTableDirect for a table name, adCmdUnknown
  // to take a single name as a table and anything else as a statement. A
  // statement that gives no rows runs and leaves the recordset closed.
  // A client-side cursor is always static; on the server side a
  // forward-only cursor stays forward-only and any other becomes static.
  HRESULT Open(const std::wstring& source, const ConnectionPtr& activeConnection,
               CursorTypeEnum cursorType = adOpenUnspecified,
               LockTypeEnum lockType = adLockUnspecified, long options = adCmdUnspecified);
  HRESULT Close();
  long GetState() const;

  bool IsEOF() const;
  bool GetEndOfFile() const { return IsEOF(); }
  bool GetBOF() const;
  // MoveFirst on an empty recordset, and MoveNext at its end, raise
  // adErrNoCurrentRecord, as ADO does.
  HRESULT MoveFirst();
  HRESULT MoveNext();
  long GetRecordCount() const;

  FieldsPtr GetFields() const;

  CursorTypeEnum GetCursorType() const { return cursorType_; }
  void PutCursorType(CursorTypeEnum type);
  CursorLocationEnum GetCursorLocation() const { return cursorLocation_; }
  void PutCursorLocation(CursorLocationEnum location);
  LockTypeEnum GetLockType() const { return lockType_; }
  void PutLockType(LockTypeEnum type);

  // "Name [ASC|DESC], ..." with names in brackets when they hold blanks;
  // sorts the records (texts without regard to case, nulls first) and moves
  // to the first. The empty text restores the order the rows came in. Needs
  // a client-side cursor.
  std::wstring GetSort() const { return sort_; }
  void PutSort(const std::wstring& sort);

  // Nothing is ever edited through a recordset, so there is nothing to cancel.
  HRESULT CancelUpdate();

  ConnectionPtr GetActiveConnection() const { return connection_; }
  void PutRefActiveConnection(const ConnectionPtr& connection);
  std::wstring GetSource() const { return source_; }

 private:
  friend class Connection;
  void RequireOpen() const;
  void RequireClosed() const;
  void Attach(std::shared_ptr<detail::Snapshot> snapshot, ConnectionPtr connection);

  std::shared_ptr<detail::Snapshot> snapshot_;
  ConnectionPtr connection_;
  std::wstring source_;
  std::wstring sort_;
  CursorTypeEnum cursorType_ = adOpenForwardOnly;
  CursorLocationEnum cursorLocation_ = adUseServer;
  LockTypeEnum lockType_ = adLockReadOnly;
};

class Command {
 public:
  Command() = default;
  Command(const Command&) = delete;
  Command& operator=(const Command&) = delete;

  ConnectionPtr GetActiveConnection() const { return connection_; }
  void PutRefActiveConnection(const ConnectionPtr& connection) { connection_ = connection; }
  void PutActiveConnection(const ConnectionPtr& connection) { connection_ = connection; }
  std::wstring GetCommandText() const { return text_; }
  void PutCommandText(const std::wstring& text) { text_ = text; }
  CommandTypeEnum GetCommandType() const { return type_; }
  void PutCommandType(CommandTypeEnum type) { type_ = type; }

  // Runs the command text over the active connection, as Connection::Execute
  // does; a command type in options wins over CommandType. Parameters are not
  // supported: parameters must be empty or VT_EMPTY.
  RecordsetPtr Execute(Variant* recordsAffected = nullptr, const Variant* parameters = nullptr,
                       long options = adOptionUnspecified);

 private:
  ConnectionPtr connection_;
  std::wstring text_;
  CommandTypeEnum type_ = adCmdUnknown;
};

}  // namespace ado
