// libFuzzer target for the Jet adapter and the statement path: a table with
// random names and texts is made and filled through ADO as the export does,
// then read back with SQLite's own library. What was written must come back
// whole, under the names given, and nothing else may appear in the file.
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/ado/ado.h"
#include "platform/com/comdef.h"
#include "platform/win/text.h"

namespace {

// Each byte is one character: ASCII as it is (quotes, braces, ?, ;, control
// characters), the others spread over Latin letters, CJK and emoji.
std::vector<std::wstring> Pieces(const std::uint8_t* data, std::size_t size) {
  std::vector<std::wstring> out(1);
  for (std::size_t i = 0; i < size; ++i) {
    const std::uint8_t b = data[i];
    if (b == 0xFF) {
      out.emplace_back();
    } else if (b < 0x80) {
      out.back() += static_cast<wchar_t>(b);
    } else if (b < 0xC0) {
      out.back() += static_cast<wchar_t>(0xC0 + (b - 0x80));  // À..ÿ and Ā..ſ
    } else if (b < 0xE0) {
      out.back() += static_cast<wchar_t>(0x4E00 + (b - 0xC0));
    } else {
      out.back() += static_cast<wchar_t>(0x1F600 + (b - 0xE0));
    }
  }
  return out;
}

std::wstring Quote(const std::wstring& name) {
  std::wstring out = L"`";
  for (wchar_t c : name) {
    out += c;
    if (c == L'`') out += L'`';
  }
  return out + L"`";
}

std::wstring Text(const std::wstring& value) {
  std::wstring out = L"'";
  for (wchar_t c : value) {
    out += c;
    if (c == L'\'') out += L'\'';
  }
  return out + L"'";
}

std::wstring AsciiUpper(std::wstring s) {
  for (wchar_t& c : s) {
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - 32);
  }
  return s;
}

std::string Utf8(const std::wstring& s) { return win::WideToUtf8(s); }

[[noreturn]] void Fail(const char* why) {
  std::fprintf(stderr, "finding: %s\n", why);
  std::abort();
}

const std::string& DatabaseFile() {
  static const std::string path = [] {
    char folder[] = "/tmp/gm_fuzz_statementsXXXXXX";
    if (!mkdtemp(folder)) std::abort();
    const std::string file = std::string(folder) + "/t;{x}.mdb";
    sqlite3* db = nullptr;
    if (sqlite3_open(file.c_str(), &db) != SQLITE_OK) std::abort();
    sqlite3_exec(db, "PRAGMA user_version = 0", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return file;
  }();
  return path;
}

struct Reader {
  sqlite3* db = nullptr;
  Reader() {
    if (sqlite3_open_v2(DatabaseFile().c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
      Fail("cannot open the file");
  }
  ~Reader() { sqlite3_close(db); }
  std::vector<std::vector<std::string>> Rows(const char* sql, const std::string* bind = nullptr) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) Fail("reader cannot prepare");
    if (bind) sqlite3_bind_text(st, 1, bind->data(), static_cast<int>(bind->size()), nullptr);
    std::vector<std::vector<std::string>> out;
    while (sqlite3_step(st) == SQLITE_ROW) {
      std::vector<std::string> row;
      for (int i = 0; i < sqlite3_column_count(st); ++i) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
        row.emplace_back(text ? std::string(text, sqlite3_column_bytes(st, i)) : "<null>");
      }
      out.push_back(std::move(row));
    }
    sqlite3_finalize(st);
    return out;
  }
  void Clear() {
    for (const auto& row : Rows("SELECT name FROM sqlite_master WHERE type = 'table'")) {
      std::string sql = "DROP TABLE \"";
      for (char c : row[0]) sql += c == '"' ? std::string("\"\"") : std::string(1, c);
      sqlite3_exec(db, (sql + "\"").c_str(), nullptr, nullptr, nullptr);
    }
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::wstring> pieces = Pieces(data, size);
  const std::wstring table = pieces[0];
  const std::size_t columns = std::min<std::size_t>(std::max<std::size_t>(pieces.size() / 2, 1), 4);
  std::vector<std::wstring> names, values;
  for (std::size_t c = 0; c < columns; ++c) {
    std::wstring name = c + 1 < pieces.size() ? pieces[c + 1] : L"F" + std::to_wstring(c);
    std::replace(name.begin(), name.end(), L'\n', L' ');
    std::erase(name, L'.');
    names.push_back(name);
    const std::size_t v = 1 + columns + c;
    values.push_back(v < pieces.size() ? pieces[v] : std::wstring());
  }
  // Texts of any kind; a name SQLite cannot hold is a refusal, not a finding.
  bool nameCanFail = table.empty() || AsciiUpper(table).rfind(L"SQLITE_", 0) == 0 ||
                     table.find(L'\0') != std::wstring::npos;
  for (std::size_t i = 0; i < names.size(); ++i) {
    nameCanFail = nameCanFail || names[i].empty() || names[i].find(L'\0') != std::wstring::npos;
    for (std::size_t j = 0; j < i; ++j) {
      nameCanFail = nameCanFail || AsciiUpper(names[i]) == AsciiUpper(names[j]);
    }
  }

  Reader reader;
  reader.Clear();
  ado::ConnectionPtr connection;
  if (FAILED(connection.CreateInstance())) Fail("no connection");
  std::wstring fields, list, texts, dbq;
  for (wchar_t c : win::Utf8ToWide(DatabaseFile())) dbq += c == L'}' ? L"}}" : std::wstring(1, c);
  for (std::size_t c = 0; c < columns; ++c) {
    fields += (c ? L", " : L"") + Quote(names[c]) + L" TEXT NULL";
    list += (c ? L", " : L"") + Quote(names[c]);
    texts += (c ? L", " : L"") + Text(values[c]);
  }
  try {
    connection->Open(L"Driver={Microsoft Access Driver (*.mdb)};Dbq={" + dbq + L"};", L"", L"", 0);
    connection->BeginTrans();
    connection->Execute(L"CREATE TABLE " + Quote(table) + L" (" + fields + L")", nullptr,
                        ado::adCmdText | ado::adExecuteNoRecords);
    for (int row = 0; row < 2; ++row) {
      connection->Execute(
          L"INSERT INTO " + Quote(table) + L" (" + list + L") VALUES(" + texts + L")", nullptr,
          ado::adCmdText | ado::adExecuteNoRecords);
    }
    connection->CommitTrans();
    connection->Close();
  } catch (const _com_error& e) {
    if (!nameCanFail) {
      std::fprintf(stderr, "%s\n", Utf8(e.Description()).c_str());
      Fail("a statement with sound names was refused");
    }
    if (!reader.Rows("SELECT name FROM sqlite_master").empty()) Fail("a refusal left a table");
    return 0;
  }

  const std::string tableUtf8 = Utf8(table);
  const auto tables = reader.Rows("SELECT type, name FROM sqlite_master");
  if (tables.size() != 1 || tables[0][0] != "table" || tables[0][1] != Utf8(table)) {
    Fail("the file holds other tables than the one named");
  }
  const auto info = reader.Rows("SELECT name FROM pragma_table_info(?)", &tableUtf8);
  if (info.size() != columns) Fail("wrong number of columns");
  for (std::size_t c = 0; c < columns; ++c) {
    if (info[c][0] != Utf8(names[c])) Fail("a column name changed");
  }
  std::string select = "SELECT * FROM \"";
  for (char ch : Utf8(table)) select += ch == '"' ? std::string("\"\"") : std::string(1, ch);
  const auto rows = reader.Rows((select + "\"").c_str());
  if (rows.size() != 2) Fail("wrong number of records");
  for (const auto& row : rows) {
    for (std::size_t c = 0; c < columns; ++c) {
      if (row[c] != Utf8(values[c])) Fail("a text changed");
    }
  }
  return 0;
}
