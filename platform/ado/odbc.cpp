#include "platform/ado/odbc.h"

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstring>
#include <optional>

#include "platform/ado/raise.h"
#include "platform/win/text.h"

namespace ado::odbc {
namespace {

constexpr std::int32_t kFail = static_cast<std::int32_t>(0x80004005);         // E_FAIL
constexpr std::int32_t kOutOfMemory = static_cast<std::int32_t>(0x8007000E);  // E_OUTOFMEMORY

// ADO DataTypeEnum and FieldAttributeEnum values. ado.h names them, but it
// cannot be included beside sql.h: both define the Windows text types.
enum : long {
  adEmpty = 0,
  adSmallInt = 2,
  adInteger = 3,
  adSingle = 4,
  adDouble = 5,
  adDate = 7,
  adBoolean = 11,
  adTinyInt = 16,
  adUnsignedTinyInt = 17,
  adBigInt = 20,
  adGUID = 72,
  adBinary = 128,
  adChar = 129,
  adWChar = 130,
  adNumeric = 131,
  adVarChar = 200,
  adLongVarChar = 201,
  adVarWChar = 202,
  adLongVarWChar = 203,
  adVarBinary = 204,
  adLongVarBinary = 205,
};
enum : long { adFldFixed = 0x10, adFldIsNullable = 0x20, adFldMayBeNull = 0x40, adFldLong = 0x80 };

SQLWCHAR* Wide(std::u16string& s) { return reinterpret_cast<SQLWCHAR*>(s.data()); }
SQLCHAR* Narrow(std::string& s) { return reinterpret_cast<SQLCHAR*>(s.data()); }

std::wstring FromWide(const SQLWCHAR* s, std::size_t length) {
  return win::Utf16ToWide(std::u16string_view(reinterpret_cast<const char16_t*>(s), length));
}
std::wstring FromNarrow(const SQLCHAR* s, std::size_t length) {
  return win::Utf8ToWide(std::string_view(reinterpret_cast<const char*>(s), length));
}

struct Diagnostic {
  std::wstring state;
  SQLINTEGER native = 0;
  std::wstring message;
};

std::vector<Diagnostic> ReadDiagnostics(SQLSMALLINT type, SQLHANDLE handle, TextForm form) {
  std::vector<Diagnostic> out;
  for (SQLSMALLINT record = 1; record < 64; ++record) {
    Diagnostic d;
    SQLSMALLINT length = 0;
    SQLRETURN rc;
    std::size_t capacity = 1024;
    for (int attempt = 0; attempt < 2; ++attempt) {
      if (form == TextForm::Utf16) {
        SQLWCHAR state[6] = {};
        std::vector<SQLWCHAR> message(capacity);
        rc = SQLGetDiagRecW(type, handle, record, state, &d.native, message.data(),
                            static_cast<SQLSMALLINT>(capacity), &length);
        if (SQL_SUCCEEDED(rc)) {
          d.state = FromWide(state, 5);
          d.message = FromWide(message.data(), std::min<std::size_t>(length, capacity - 1));
        }
      } else {
        SQLCHAR state[6] = {};
        std::vector<SQLCHAR> message(capacity);
        rc = SQLGetDiagRec(type, handle, record, state, &d.native, message.data(),
                           static_cast<SQLSMALLINT>(capacity), &length);
        if (SQL_SUCCEEDED(rc)) {
          d.state = FromNarrow(state, 5);
          d.message = FromNarrow(message.data(), std::min<std::size_t>(length, capacity - 1));
        }
      }
      if (!SQL_SUCCEEDED(rc) || static_cast<std::size_t>(length) < capacity) break;
      capacity = static_cast<std::size_t>(length) + 1;
    }
    if (!SQL_SUCCEEDED(rc)) break;
    out.push_back(std::move(d));
  }
  return out;
}

bool StartsWith(const std::wstring& s, std::wstring_view prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}

// The OLE DB status code ADO would raise for a driver's diagnostic. SQLite's
// driver reports SQLSTATE HY000 for nearly everything and puts SQLite's own
// result code in the native error, so that is read too.
std::int32_t StatusFor(const Diagnostic& d) {
  const bool sqlite = StartsWith(d.message, L"[SQLite]");
  if (d.state == L"42S02" || (sqlite && d.message.find(L"no such table") != std::wstring::npos)) {
    return static_cast<std::int32_t>(0x80040E37);  // DB_E_NOTABLE
  }
  if (StartsWith(d.state, L"23") || (sqlite && d.native == 19)) {
    return static_cast<std::int32_t>(0x80040E2F);  // DB_E_INTEGRITYVIOLATION
  }
  if (StartsWith(d.state, L"42") || StartsWith(d.state, L"37") || (sqlite && d.native == 1)) {
    return static_cast<std::int32_t>(0x80040E14);  // DB_E_ERRORSINCOMMAND
  }
  if (d.state == L"HYT00" || d.state == L"HYT01") {
    return static_cast<std::int32_t>(0x80040E31);  // DB_E_ABORTLIMITREACHED
  }
  return kFail;
}

std::optional<std::int64_t> ParseInteger(std::wstring_view s) {
  std::string ascii;
  for (wchar_t c : s) {
    if (c > 0x7F) return std::nullopt;
    ascii += static_cast<char>(c);
  }
  const char* begin = ascii.data();
  const char* end = begin + ascii.size();
  if (begin != end && *begin == '+') ++begin;
  std::int64_t value = 0;
  const auto [ptr, ec] = std::from_chars(begin, end, value);
  if (ec != std::errc() || ptr != end || begin == end) return std::nullopt;
  return value;
}

std::optional<double> ParseReal(std::wstring_view s) {
  std::string ascii;
  for (wchar_t c : s) {
    if (c > 0x7F) return std::nullopt;
    ascii += static_cast<char>(c);
  }
  const char* begin = ascii.data();
  const char* end = begin + ascii.size();
  if (begin != end && *begin == '+') ++begin;
  double value = 0;
  const auto [ptr, ec] = std::from_chars(begin, end, value);
  if (ec != std::errc() || ptr != end || begin == end) return std::nullopt;
  return value;
}

bool ReadDigits(std::wstring_view s, std::size_t& i, std::size_t count, int& value) {
  value = 0;
  for (std::size_t k = 0; k < count; ++k, ++i) {
    if (i >= s.size() || s[i] < L'0' || s[i] > L'9') return false;
    value = value * 10 + (s[i] - L'0');
  }
  return true;
}

bool Expect(std::wstring_view s, std::size_t& i, wchar_t c) {
  if (i >= s.size() || s[i] != c) return false;
  ++i;
  return true;
}

bool ReadTime(std::wstring_view s, std::size_t& i, DateTimeParts& p) {
  if (!ReadDigits(s, i, 2, p.hour) || !Expect(s, i, L':') || !ReadDigits(s, i, 2, p.minute)) {
    return false;
  }
  if (i < s.size() && s[i] == L':') {
    ++i;
    if (!ReadDigits(s, i, 2, p.second)) return false;
    if (i < s.size() && s[i] == L'.') {
      ++i;
      int scale = 100;
      p.millisecond = 0;
      if (i >= s.size() || s[i] < L'0' || s[i] > L'9') return false;
      for (; i < s.size() && s[i] >= L'0' && s[i] <= L'9'; ++i, scale /= 10) {
        p.millisecond += (s[i] - L'0') * scale;  // digits past the third add nothing
      }
    }
  }
  return p.hour < 24 && p.minute < 60 && p.second < 60;
}

// The ODBC text forms of dates and times: "yyyy-mm-dd", "hh:mm:ss" and
// "yyyy-mm-dd hh:mm:ss[.fff]" (SQLite writes a T for the blank as well).
std::optional<double> ParseDate(std::wstring_view s) {
  DateTimeParts p;
  std::size_t i = 0;
  if (s.size() >= 5 && s[2] == L':') {
    if (!ReadTime(s, i, p) || i != s.size()) return std::nullopt;
    return ToOleDate(p);
  }
  if (!ReadDigits(s, i, 4, p.year) || !Expect(s, i, L'-') || !ReadDigits(s, i, 2, p.month) ||
      !Expect(s, i, L'-') || !ReadDigits(s, i, 2, p.day)) {
    return std::nullopt;
  }
  static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (p.year % 4 == 0 && p.year % 100 != 0) || p.year % 400 == 0;
  if (p.year < 100 || p.month < 1 || p.month > 12 || p.day < 1 || p.day > kDays[p.month - 1] ||
      (p.month == 2 && p.day == 29 && !leap)) {
    return std::nullopt;
  }
  if (i < s.size()) {
    if (s[i] != L' ' && s[i] != L'T') return std::nullopt;
    ++i;
    if (!ReadTime(s, i, p) || i != s.size()) return std::nullopt;
  }
  return ToOleDate(p);
}

// A cell's text as a value of its column's kind, or the text itself.
Variant Convert(std::wstring text, long adoType) {
  switch (adoType) {
    case adTinyInt:
    case adUnsignedTinyInt:
    case adSmallInt:
    case adInteger:
    case adBigInt:
      if (const auto v = ParseInteger(text)) {
        if (adoType == adUnsignedTinyInt && *v >= 0 && *v <= 255) {
          return Variant::UI1(static_cast<std::uint8_t>(*v));
        }
        if (adoType == adSmallInt && *v >= SHRT_MIN && *v <= SHRT_MAX) {
          return Variant::I2(static_cast<std::int16_t>(*v));
        }
        if (adoType != adBigInt && *v >= INT32_MIN && *v <= INT32_MAX) {
          return Variant::I4(static_cast<std::int32_t>(*v));
        }
        return Variant::I8(*v);
      }
      if (const auto v = ParseReal(text)) return Variant::R8(*v);
      break;
    case adSingle:
      if (const auto v = ParseReal(text)) return Variant::R4(static_cast<float>(*v));
      break;
    case adDouble:
    case adNumeric:
      if (const auto v = ParseReal(text)) return Variant::R8(*v);
      break;
    case adBoolean:
      if (const auto v = ParseInteger(text)) return Variant::Bool(*v != 0);
      break;
    case adDate:
      if (const auto v = ParseDate(text)) return Variant::Date(*v);
      break;
    default:
      break;
  }
  return Variant::Text(std::move(text));
}

void Describe(Column& c, bool unicodeEngine) {
  long size =
      c.size > static_cast<unsigned long long>(LONG_MAX) ? LONG_MAX : static_cast<long>(c.size);
  long attributes = c.nullable ? (adFldIsNullable | adFldMayBeNull) : 0;
  long fixed = 0;
  switch (c.sqlType) {
    case SQL_CHAR:
      c.adoType = unicodeEngine ? adWChar : adChar;
      break;
    case SQL_VARCHAR:
      c.adoType = unicodeEngine ? adVarWChar : adVarChar;
      break;
    case SQL_LONGVARCHAR:
      c.adoType = unicodeEngine ? adLongVarWChar : adLongVarChar;
      attributes |= adFldLong;
      break;
    case SQL_WCHAR:
      c.adoType = adWChar;
      break;
    case SQL_WVARCHAR:
      c.adoType = adVarWChar;
      break;
    case SQL_WLONGVARCHAR:
      c.adoType = adLongVarWChar;
      attributes |= adFldLong;
      break;
    case SQL_BIT:
      c.adoType = adBoolean;
      fixed = 2;
      break;
    case SQL_TINYINT:
      c.adoType = adUnsignedTinyInt;
      fixed = 1;
      break;
    case SQL_SMALLINT:
      c.adoType = adSmallInt;
      fixed = 2;
      break;
    case SQL_INTEGER:
      c.adoType = adInteger;
      fixed = 4;
      break;
    case SQL_BIGINT:
      c.adoType = adBigInt;
      fixed = 8;
      break;
    case SQL_REAL:
      c.adoType = adSingle;
      fixed = 4;
      break;
    case SQL_FLOAT:
    case SQL_DOUBLE:
      c.adoType = adDouble;
      fixed = 8;
      break;
    case SQL_NUMERIC:
    case SQL_DECIMAL:
      c.adoType = adNumeric;
      fixed = 19;
      break;
    case SQL_DATETIME:  // also SQL_DATE
    case SQL_TIME:
    case SQL_TIMESTAMP:
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIME:
    case SQL_TYPE_TIMESTAMP:
      c.adoType = adDate;
      fixed = 8;
      break;
    case SQL_BINARY:
      c.adoType = adBinary;
      attributes |= adFldFixed;
      break;
    case SQL_VARBINARY:
      c.adoType = adVarBinary;
      break;
    case SQL_LONGVARBINARY:
      c.adoType = adLongVarBinary;
      attributes |= adFldLong;
      break;
    case SQL_GUID:
      c.adoType = adGUID;
      fixed = 16;
      break;
    case SQL_UNKNOWN_TYPE:
      c.adoType = adEmpty;
      size = 0;
      break;
    default:
      c.adoType = adVarWChar;
      break;
  }
  if (fixed != 0) {
    size = fixed;
    attributes |= adFldFixed;
  }
  c.definedSize = size;
  c.attributes = attributes;
}

bool IsBinary(SQLSMALLINT type) {
  return type == SQL_BINARY || type == SQL_VARBINARY || type == SQL_LONGVARBINARY;
}

[[noreturn]] void Raise(SQLSMALLINT type, SQLHANDLE handle, TextForm form, const wchar_t* call) {
  const std::vector<Diagnostic> records = ReadDiagnostics(type, handle, form);
  if (records.empty()) {
    detail::RaiseError(kFail, kProviderSource,
                       std::wstring(L"The ODBC call ") + call + L" failed without diagnostics.");
  }
  std::wstring description;
  for (const Diagnostic& d : records) {
    if (!description.empty()) description += L'\n';
    description += d.message;
  }
  const Diagnostic& first = records.front();
  detail::RaiseError(StatusFor(first), kProviderSource, description, first.state, first.native);
}

}  // namespace

Environment::Environment() {
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &handle_))) {
    handle_ = nullptr;
    detail::RaiseError(kOutOfMemory, kProviderSource,
                       L"The ODBC driver manager gave no environment handle.");
  }
  const SQLRETURN rc =
      SQLSetEnvAttr(handle_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  if (!SQL_SUCCEEDED(rc)) {
    try {
      Raise(SQL_HANDLE_ENV, handle_, TextForm::Utf16, L"SQLSetEnvAttr");
    } catch (...) {
      SQLFreeHandle(SQL_HANDLE_ENV, handle_);
      throw;
    }
  }
}

Environment::~Environment() { SQLFreeHandle(SQL_HANDLE_ENV, handle_); }

Connection::Connection(const Environment& environment) {
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, environment.get(), &handle_))) {
    handle_ = nullptr;
    Raise(SQL_HANDLE_ENV, environment.get(), TextForm::Utf16, L"SQLAllocHandle");
  }
}

Connection::~Connection() {
  if (connected_) {
    // Whatever is not committed goes; a driver that keeps a transaction open
    // would refuse to disconnect otherwise.
    SQLEndTran(SQL_HANDLE_DBC, handle_, SQL_ROLLBACK);
    SQLDisconnect(handle_);
  }
  SQLFreeHandle(SQL_HANDLE_DBC, handle_);
}

void Connection::Connect(const std::wstring& text, TextForm form) {
  SQLRETURN rc;
  if (form == TextForm::Utf16) {
    std::u16string s = win::WideToUtf16(text);
    rc = SQLDriverConnectW(handle_, nullptr, Wide(s), static_cast<SQLSMALLINT>(s.size()), nullptr,
                           0, nullptr, SQL_DRIVER_NOPROMPT);
  } else {
    std::string s = win::WideToUtf8(text);
    rc = SQLDriverConnect(handle_, nullptr, Narrow(s), static_cast<SQLSMALLINT>(s.size()), nullptr,
                          0, nullptr, SQL_DRIVER_NOPROMPT);
  }
  if (!SQL_SUCCEEDED(rc)) Raise(SQL_HANDLE_DBC, handle_, form, L"SQLDriverConnect");
  connected_ = true;
}

void Connection::SetLoginTimeout(long seconds, TextForm) {
  SQLSetConnectAttr(handle_, SQL_ATTR_LOGIN_TIMEOUT,
                    reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(seconds)), 0);
}

void Connection::SetAutocommit(bool on, TextForm form) {
  const SQLULEN value = on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF;
  if (!SQL_SUCCEEDED(SQLSetConnectAttr(handle_, SQL_ATTR_AUTOCOMMIT,
                                       reinterpret_cast<SQLPOINTER>(value), 0))) {
    Raise(SQL_HANDLE_DBC, handle_, form, L"SQLSetConnectAttr");
  }
}

void Connection::Commit(TextForm form) {
  if (!SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, handle_, SQL_COMMIT))) {
    Raise(SQL_HANDLE_DBC, handle_, form, L"SQLEndTran");
  }
}

void Connection::Rollback(TextForm form) {
  if (!SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, handle_, SQL_ROLLBACK))) {
    Raise(SQL_HANDLE_DBC, handle_, form, L"SQLEndTran");
  }
}

std::wstring Connection::InfoText(Info which, TextForm form) const {
  const SQLUSMALLINT info = which == Info::DbmsName     ? SQL_DBMS_NAME
                            : which == Info::DriverName ? SQL_DRIVER_NAME
                                                        : SQL_DATABASE_NAME;
  SQLSMALLINT length = 0;
  if (form == TextForm::Utf16) {
    SQLWCHAR buffer[512] = {};
    if (!SQL_SUCCEEDED(SQLGetInfoW(handle_, info, buffer, sizeof buffer, &length))) return {};
    return FromWide(buffer, std::min<std::size_t>(length / sizeof(SQLWCHAR), 511));
  }
  SQLCHAR buffer[512] = {};
  if (!SQL_SUCCEEDED(SQLGetInfo(handle_, info, buffer, sizeof buffer, &length))) return {};
  return FromNarrow(buffer, std::min<std::size_t>(length, 511));
}

Statement::Statement(const Connection& connection, TextForm form) : form_(form) {
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, connection.get(), &handle_))) {
    handle_ = nullptr;
    Raise(SQL_HANDLE_DBC, connection.get(), form, L"SQLAllocHandle");
  }
}

Statement::~Statement() { SQLFreeHandle(SQL_HANDLE_STMT, handle_); }

bool Statement::Execute(const std::wstring& sql) {
  SQLRETURN rc;
  if (form_ == TextForm::Utf16) {
    std::u16string s = win::WideToUtf16(sql);
    rc = SQLExecDirectW(handle_, Wide(s), static_cast<SQLINTEGER>(s.size()));
  } else {
    std::string s = win::WideToUtf8(sql);
    rc = SQLExecDirect(handle_, Narrow(s), static_cast<SQLINTEGER>(s.size()));
  }
  return Finish(rc, L"SQLExecDirect");
}

void Statement::Prepare(const std::wstring& sql) {
  SQLRETURN rc;
  if (form_ == TextForm::Utf16) {
    std::u16string s = win::WideToUtf16(sql);
    rc = SQLPrepareW(handle_, Wide(s), static_cast<SQLINTEGER>(s.size()));
  } else {
    std::string s = win::WideToUtf8(sql);
    rc = SQLPrepare(handle_, Narrow(s), static_cast<SQLINTEGER>(s.size()));
  }
  if (!SQL_SUCCEEDED(rc)) Raise(SQL_HANDLE_STMT, handle_, form_, L"SQLPrepare");
}

bool Statement::ExecutePrepared(const std::vector<std::wstring>& texts) {
  SQLFreeStmt(handle_, SQL_CLOSE);
  SQLFreeStmt(handle_, SQL_RESET_PARAMS);
  static_assert(sizeof(SQLLEN) == sizeof(long long));
  // Reserved up front: a bound buffer must not move while bound.
  narrow_.clear();
  wide_.clear();
  narrow_.reserve(texts.size());
  wide_.reserve(texts.size());
  lengths_.assign(texts.size(), 0);
  for (std::size_t i = 0; i < texts.size(); ++i) {
    const auto marker = static_cast<SQLUSMALLINT>(i + 1);
    SQLRETURN rc;
    if (form_ == TextForm::Utf16) {
      wide_.push_back(win::WideToUtf16(texts[i]));
      std::u16string& s = wide_.back();
      lengths_[i] = static_cast<long long>(s.size() * sizeof(char16_t));
      rc = SQLBindParameter(handle_, marker, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR,
                            std::max<SQLULEN>(s.size(), 1), 0, Wide(s), 0,
                            reinterpret_cast<SQLLEN*>(&lengths_[i]));
    } else {
      narrow_.push_back(win::WideToUtf8(texts[i]));
      std::string& s = narrow_.back();
      lengths_[i] = static_cast<long long>(s.size());
      rc = SQLBindParameter(handle_, marker, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR,
                            std::max<SQLULEN>(s.size(), 1), 0, Narrow(s), 0,
                            reinterpret_cast<SQLLEN*>(&lengths_[i]));
    }
    if (!SQL_SUCCEEDED(rc)) Raise(SQL_HANDLE_STMT, handle_, form_, L"SQLBindParameter");
  }
  return Finish(SQLExecute(handle_), L"SQLExecute");
}

bool Statement::Finish(SQLRETURNish rc, const wchar_t* call) {
  if (rc != SQL_NO_DATA && !SQL_SUCCEEDED(rc)) Raise(SQL_HANDLE_STMT, handle_, form_, call);
  SQLSMALLINT columns = 0;
  if (!SQL_SUCCEEDED(SQLNumResultCols(handle_, &columns))) {
    Raise(SQL_HANDLE_STMT, handle_, form_, L"SQLNumResultCols");
  }
  return columns > 0;
}

void Statement::Tables() {
  const SQLRETURN rc = form_ == TextForm::Utf16
                           ? SQLTablesW(handle_, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0)
                           : SQLTables(handle_, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0);
  if (!SQL_SUCCEEDED(rc)) Raise(SQL_HANDLE_STMT, handle_, form_, L"SQLTables");
}

long Statement::RowCount() const {
  SQLLEN count = -1;
  if (!SQL_SUCCEEDED(SQLRowCount(handle_, &count))) return -1;
  return count > LONG_MAX ? LONG_MAX : static_cast<long>(count);
}

std::wstring Statement::ColumnText(unsigned short column, unsigned short field) const {
  SQLSMALLINT length = 0;
  if (form_ == TextForm::Utf16) {
    SQLWCHAR buffer[512] = {};
    if (!SQL_SUCCEEDED(
            SQLColAttributeW(handle_, column, field, buffer, sizeof buffer, &length, nullptr))) {
      return {};
    }
    return FromWide(buffer, std::min<std::size_t>(length / sizeof(SQLWCHAR), 511));
  }
  SQLCHAR buffer[1024] = {};
  if (!SQL_SUCCEEDED(
          SQLColAttribute(handle_, column, field, buffer, sizeof buffer, &length, nullptr))) {
    return {};
  }
  return FromNarrow(buffer, std::min<std::size_t>(length, 1023));
}

void Statement::SetQueryTimeout(long seconds) {
  SQLSetStmtAttr(handle_, SQL_ATTR_QUERY_TIMEOUT,
                 reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(seconds)), 0);
}

RowSet Statement::FetchAll(bool unicodeEngine, bool qualifiedNames) {
  RowSet out;
  SQLSMALLINT count = 0;
  if (!SQL_SUCCEEDED(SQLNumResultCols(handle_, &count))) {
    Raise(SQL_HANDLE_STMT, handle_, form_, L"SQLNumResultCols");
  }
  std::vector<std::pair<std::size_t, std::wstring>> qualified;  // column, table taken off
  for (SQLUSMALLINT i = 1; i <= static_cast<SQLUSMALLINT>(count); ++i) {
    Column c;
    SQLSMALLINT nameLength = 0;
    SQLSMALLINT nullable = SQL_NULLABLE_UNKNOWN;
    SQLSMALLINT sqlType = SQL_UNKNOWN_TYPE;
    SQLSMALLINT digits = 0;
    SQLULEN size = 0;
    for (SQLSMALLINT capacity = 256;;) {
      SQLRETURN rc;
      if (form_ == TextForm::Utf16) {
        std::vector<SQLWCHAR> name(static_cast<std::size_t>(capacity));
        rc = SQLDescribeColW(handle_, i, name.data(), capacity, &nameLength, &sqlType, &size,
                             &digits, &nullable);
        if (SQL_SUCCEEDED(rc)) {
          c.name = FromWide(name.data(), std::min<std::size_t>(nameLength, capacity - 1));
        }
      } else {
        std::vector<SQLCHAR> name(static_cast<std::size_t>(capacity));
        rc = SQLDescribeCol(handle_, i, name.data(), capacity, &nameLength, &sqlType, &size,
                            &digits, &nullable);
        if (SQL_SUCCEEDED(rc)) {
          c.name = FromNarrow(name.data(), std::min<std::size_t>(nameLength, capacity - 1));
        }
      }
      if (!SQL_SUCCEEDED(rc)) Raise(SQL_HANDLE_STMT, handle_, form_, L"SQLDescribeCol");
      if (nameLength < capacity || capacity >= 16384) break;
      capacity = static_cast<SQLSMALLINT>(std::min(nameLength + 1, 16384));
    }
    if (qualifiedNames) {
      const std::wstring table = ColumnText(i, SQL_DESC_TABLE_NAME);
      if (!table.empty() && c.name.size() > table.size() + 1 &&
          c.name.compare(0, table.size(), table) == 0 && c.name[table.size()] == L'.') {
        c.name.erase(0, table.size() + 1);
        qualified.push_back({out.columns.size(), table});
      } else if (c.name.rfind(L"(subquery-", 0) == 0) {
        const std::size_t dot = c.name.find(L").");
        if (dot != std::wstring::npos) {
          qualified.push_back({out.columns.size(), c.name.substr(0, dot + 1)});
          c.name.erase(0, dot + 2);
        }
      }
    }
    c.sqlType = sqlType;
    c.size = size;
    c.digits = digits;
    c.nullable = nullable != SQL_NO_NULLS;
    Describe(c, unicodeEngine);
    out.columns.push_back(std::move(c));
  }

  std::vector<std::size_t> clashing;
  for (const auto& entry : qualified) {
    const std::size_t index = entry.first;
    const auto same = std::count_if(out.columns.begin(), out.columns.end(), [&](const Column& c) {
      return c.name == out.columns[index].name;
    });
    if (same > 1) clashing.push_back(index);
  }
  for (const auto& [index, table] : qualified) {
    if (std::find(clashing.begin(), clashing.end(), index) != clashing.end()) {
      out.columns[index].name = table + L"." + out.columns[index].name;
    }
  }

  for (;;) {
    const SQLRETURN rc = SQLFetch(handle_);
    if (rc == SQL_NO_DATA) break;
    if (!SQL_SUCCEEDED(rc)) Raise(SQL_HANDLE_STMT, handle_, form_, L"SQLFetch");
    std::vector<Variant> row;
    row.reserve(out.columns.size());
    for (std::size_t i = 0; i < out.columns.size(); ++i) {
      const auto column = static_cast<SQLUSMALLINT>(i + 1);
      const bool binary = IsBinary(out.columns[i].sqlType);
      const SQLSMALLINT cType =
          binary ? SQL_C_BINARY : (form_ == TextForm::Utf16 ? SQL_C_WCHAR : SQL_C_CHAR);
      // Text arrives NUL-terminated in each piece, binary data does not.
      const std::size_t unit = binary ? 1 : (form_ == TextForm::Utf16 ? sizeof(SQLWCHAR) : 1);
      const std::size_t terminator = binary ? 0 : unit;
      std::vector<unsigned char> buffer(8192);
      std::vector<unsigned char> data;
      bool null = false;
      for (;;) {
        SQLLEN indicator = 0;
        const SQLRETURN got = SQLGetData(handle_, column, cType, buffer.data(),
                                         static_cast<SQLLEN>(buffer.size()), &indicator);
        if (got == SQL_NO_DATA) break;
        if (!SQL_SUCCEEDED(got)) Raise(SQL_HANDLE_STMT, handle_, form_, L"SQLGetData");
        if (indicator == SQL_NULL_DATA) {
          null = true;
          break;
        }
        const std::size_t room = buffer.size() - terminator;
        std::size_t piece =
            (indicator == SQL_NO_TOTAL || static_cast<std::size_t>(indicator) > room)
                ? room
                : static_cast<std::size_t>(indicator);
        piece -= piece % unit;
        data.insert(data.end(), buffer.begin(), buffer.begin() + static_cast<long>(piece));
        if (got == SQL_SUCCESS || piece == 0) break;
      }
      if (null) {
        row.push_back(Variant::Null());
      } else if (binary) {
        row.push_back(Variant::Bytes(std::vector<std::uint8_t>(data.begin(), data.end())));
      } else {
        std::wstring text;
        if (form_ == TextForm::Utf16) {
          std::u16string units(data.size() / 2, u'\0');
          std::memcpy(units.data(), data.data(), units.size() * 2);
          text = win::Utf16ToWide(units);
        } else {
          text = win::Utf8ToWide(
              std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
        }
        row.push_back(Convert(std::move(text), out.columns[i].adoType));
      }
    }
    out.rows.push_back(std::move(row));
  }
  return out;
}

}  // namespace ado::odbc
