#include "platform/ado/connection_text.h"

#include <glob.h>

#include <algorithm>
#include <cstdlib>
#include <system_error>

#include "platform/ado/fold.h"
#include "platform/com/comdef.h"
#include "platform/win/text.h"
#include "platform/win/wintypes.h"

namespace ado::detail {
namespace {

constexpr HRESULT kProviderNotFound = static_cast<HRESULT>(0x800A0E7A);  // adErrProviderNotFound
constexpr wchar_t kConnectionSource[] = L"ADODB.Connection";

[[noreturn]] void Fail(HRESULT hr, const std::wstring& description) {
  throw _com_error(hr, kConnectionSource, description);
}

std::wstring_view Trim(std::wstring_view s) {
  while (!s.empty() && (s.front() == L' ' || s.front() == L'\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == L' ' || s.back() == L'\t')) s.remove_suffix(1);
  return s;
}

bool IsAccessDriver(std::wstring_view name) {
  name = Trim(name);
  return EqualsNoCase(name, L"Microsoft Access Driver (*.mdb)") ||
         EqualsNoCase(name, L"Microsoft Access Driver (*.mdb, *.accdb)");
}

bool IsJetProvider(std::wstring_view name) {
  name = Trim(name);
  for (std::wstring_view known :
       {L"Microsoft.Jet.OLEDB.4.0", L"Microsoft.ACE.OLEDB.12.0", L"Microsoft.ACE.OLEDB.16.0"}) {
    if (EqualsNoCase(name, known)) return true;
  }
  return false;
}

bool IsOdbcProvider(std::wstring_view name) {
  name = Trim(name);
  return EqualsNoCase(name, L"MSDASQL") || EqualsNoCase(name, L"MSDASQL.1");
}

void Remove(std::vector<Attribute>& attributes, std::wstring_view key) {
  std::erase_if(attributes, [&](const Attribute& a) { return EqualsNoCase(a.key, key); });
}

std::wstring SqliteDriverPath() {
  const auto driver = FindSqliteOdbcDriver();
  if (!driver) {
    Fail(E_FAIL,
         L"The SQLite ODBC driver (libsqlite3odbc.so), which serves the Microsoft Access driver "
         L"here, is not installed. Install the package libsqliteodbc or name the library in "
         L"GM_SQLITE_ODBC_DRIVER.");
  }
  return win::Utf8ToWide(driver->string());
}

// The SQLite driver reads its connection text without ODBC's braces, so a
// file name with ';', '{' or '}' cannot be written there as it is; as a
// SQLite URI every such byte is percent-encoded.
std::wstring SqliteUri(const std::wstring& path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::wstring out = path.rfind(L"/", 0) == 0 ? L"file://" : L"file:";
  for (unsigned char byte : win::WideToUtf8(path)) {
    if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
        (byte >= '0' && byte <= '9') || byte == '/' || byte == '.' || byte == '-' || byte == '_' ||
        byte == '~') {
      out += static_cast<wchar_t>(byte);
    } else {
      out += L'%';
      out += static_cast<wchar_t>(kHex[byte >> 4]);
      out += static_cast<wchar_t>(kHex[byte & 15]);
    }
  }
  return out;
}

OdbcTarget ForSqlite(const std::wstring& database, std::vector<Attribute> keep,
                     long busyTimeoutSeconds) {
  if (Trim(database).empty()) {
    Fail(E_FAIL, L"The connection text names no database file.");
  }
  std::vector<Attribute> out;
  out.push_back({L"Driver", SqliteDriverPath()});
  out.push_back({L"Database", SqliteUri(database)});
  if (!FindAttribute(keep, L"NoCreat")) out.push_back({L"NoCreat", L"1"});
  // The driver cuts a column's name at its last full stop unless it gives
  // names with their table ("t.a.b"); odbc.cpp takes the table off again.
  Remove(keep, L"LongNames");
  out.push_back({L"LongNames", L"1"});
  if (!FindAttribute(keep, L"Timeout")) {
    // ADO's 0 means no limit; the driver takes milliseconds in an int.
    constexpr long long kMax = 2147483647;
    const long long ms =
        busyTimeoutSeconds <= 0 ? kMax : std::min(kMax, busyTimeoutSeconds * 1000LL);
    out.push_back({L"Timeout", std::to_wstring(ms)});
  }
  out.insert(out.end(), keep.begin(), keep.end());
  return OdbcTarget{JoinConnectionText(out), true, database};
}

}  // namespace

std::vector<Attribute> ParseConnectionText(std::wstring_view text) {
  std::vector<Attribute> out;
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t end = text.find_first_of(L"=;", i);
    if (end == std::wstring_view::npos || text[end] == L';') {
      const std::wstring_view stray =
          Trim(text.substr(i, end == std::wstring_view::npos ? std::wstring_view::npos : end - i));
      if (!stray.empty()) {
        Fail(E_INVALIDARG,
             L"The connection text has \"" + std::wstring(stray) + L"\" without a value.");
      }
      if (end == std::wstring_view::npos) break;
      i = end + 1;
      continue;
    }
    Attribute attribute{std::wstring(Trim(text.substr(i, end - i))), {}};
    i = end + 1;
    std::size_t v = i;
    while (v < text.size() && (text[v] == L' ' || text[v] == L'\t')) ++v;
    if (v < text.size() && text[v] == L'{') {
      std::size_t j = v + 1;
      for (;;) {
        if (j >= text.size()) {
          Fail(E_INVALIDARG, L"A brace in the connection text is never closed.");
        }
        if (text[j] == L'}') {
          if (j + 1 < text.size() && text[j + 1] == L'}') {
            attribute.value += L'}';
            j += 2;
            continue;
          }
          break;
        }
        attribute.value += text[j++];
      }
      i = j + 1;
      // Whatever follows the closing brace up to the separator belongs to no value.
      const std::size_t next = text.find(L';', i);
      i = next == std::wstring_view::npos ? text.size() : next + 1;
    } else {
      const std::size_t next = text.find(L';', i);
      attribute.value = std::wstring(
          text.substr(i, next == std::wstring_view::npos ? std::wstring_view::npos : next - i));
      i = next == std::wstring_view::npos ? text.size() : next + 1;
    }
    out.push_back(std::move(attribute));
  }
  return out;
}

const std::wstring* FindAttribute(const std::vector<Attribute>& attributes, std::wstring_view key) {
  for (const Attribute& a : attributes) {
    if (EqualsNoCase(a.key, key)) return &a.value;
  }
  return nullptr;
}

std::wstring JoinConnectionText(const std::vector<Attribute>& attributes) {
  std::wstring out;
  for (const Attribute& a : attributes) {
    out += a.key;
    out += L'=';
    const bool braces = a.value.find_first_of(L";{}") != std::wstring::npos ||
                        (!a.value.empty() && (a.value.front() == L' ' || a.value.back() == L' '));
    if (braces) {
      out += L'{';
      for (wchar_t c : a.value) {
        out += c;
        if (c == L'}') out += L'}';
      }
      out += L'}';
    } else {
      out += a.value;
    }
    out += L';';
  }
  return out;
}

std::optional<std::filesystem::path> FindSqliteOdbcDriver() {
  std::error_code ec;
  if (const char* named = std::getenv("GM_SQLITE_ODBC_DRIVER"); named && *named) {
    if (std::filesystem::is_regular_file(named, ec)) return std::filesystem::path(named);
    return std::nullopt;
  }
  for (const char* pattern :
       {"/usr/lib/*/odbc/libsqlite3odbc.so", "/usr/lib/odbc/libsqlite3odbc.so",
        "/usr/lib64/libsqlite3odbc.so", "/usr/lib/libsqlite3odbc.so",
        "/usr/local/lib/libsqlite3odbc.so", "/usr/local/lib/odbc/libsqlite3odbc.so"}) {
    glob_t found{};
    if (glob(pattern, 0, nullptr, &found) == 0) {
      std::optional<std::filesystem::path> result;
      for (std::size_t i = 0; i < found.gl_pathc && !result; ++i) {
        if (std::filesystem::is_regular_file(found.gl_pathv[i], ec)) result = found.gl_pathv[i];
      }
      globfree(&found);
      if (result) return result;
    } else {
      globfree(&found);
    }
  }
  return std::nullopt;
}

OdbcTarget ResolveConnection(std::wstring_view text, const std::wstring& user,
                             const std::wstring& password, long busyTimeoutSeconds) {
  std::vector<Attribute> attributes = ParseConnectionText(text);
  bool providerRemoved = false;
  if (const std::wstring* provider = FindAttribute(attributes, L"Provider")) {
    if (IsJetProvider(*provider)) {
      const std::wstring* source = FindAttribute(attributes, L"Data Source");
      const std::wstring database = source ? *source : std::wstring();
      std::vector<Attribute> keep;
      return ForSqlite(database, keep, busyTimeoutSeconds);
    }
    if (!IsOdbcProvider(*provider)) {
      Fail(kProviderNotFound, L"Provider cannot be found. It may not be properly installed.");
    }
    Remove(attributes, L"Provider");
    providerRemoved = true;
  }
  if (const std::wstring* driver = FindAttribute(attributes, L"Driver");
      driver && IsAccessDriver(*driver)) {
    const std::wstring* dbq = FindAttribute(attributes, L"Dbq");
    const std::wstring database = dbq ? *dbq : std::wstring();
    for (std::wstring_view key : {L"Driver", L"Dbq", L"Uid", L"Pwd", L"Database"}) {
      Remove(attributes, key);
    }
    return ForSqlite(database, std::move(attributes), busyTimeoutSeconds);
  }
  OdbcTarget target;
  target.text = providerRemoved ? JoinConnectionText(attributes) : std::wstring(text);
  const bool hasUser = FindAttribute(attributes, L"UID") != nullptr;
  const bool hasPassword = FindAttribute(attributes, L"PWD") != nullptr;
  std::vector<Attribute> extra;
  if (!user.empty() && !hasUser) extra.push_back({L"UID", user});
  if (!password.empty() && !hasPassword) extra.push_back({L"PWD", password});
  if (!extra.empty()) {
    if (!target.text.empty() && target.text.back() != L';') target.text += L';';
    target.text += JoinConnectionText(extra);
  }
  return target;
}

std::optional<std::wstring> JetDataSource(std::wstring_view text) {
  const std::vector<Attribute> attributes = ParseConnectionText(text);
  const std::wstring* provider = FindAttribute(attributes, L"Provider");
  if (!provider || !IsJetProvider(*provider)) return std::nullopt;
  const std::wstring* source = FindAttribute(attributes, L"Data Source");
  if (!source || Trim(*source).empty()) {
    Fail(E_FAIL, L"The connection text names no database file (Data Source).");
  }
  return *source;
}

}  // namespace ado::detail
