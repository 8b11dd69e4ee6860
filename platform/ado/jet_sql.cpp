#include "platform/ado/jet_sql.h"

#include <cwctype>
#include <filesystem>
#include <vector>

#include "platform/ado/fold.h"
#include "platform/com/comdef.h"
#include "platform/win/text.h"
#include "platform/win/wintypes.h"

namespace ado::jet {

std::wstring QuoteName(std::wstring_view name) {
  std::wstring out = L"\"";
  for (wchar_t c : name) {
    out += c;
    if (c == L'"') out += L'"';
  }
  return out + L"\"";
}

namespace {

constexpr HRESULT kErrorsInCommand = static_cast<HRESULT>(0x80040E14);
constexpr wchar_t kSource[] = L"Microsoft OLE DB Provider for ODBC Drivers";

[[noreturn]] void Refuse(const std::wstring& why) {
  throw _com_error(kErrorsInCommand, kSource, why, L"42000");
}

enum class Kind { Space, Word, Number, String, Name, Punct };

struct Token {
  Kind kind;
  std::wstring text;
};

using Tokens = std::vector<Token>;
constexpr std::size_t kNone = static_cast<std::size_t>(-1);

bool IsWordStart(wchar_t c) { return c == L'_' || c >= 0x80 || std::iswalpha(c); }
bool IsWordPart(wchar_t c) { return IsWordStart(c) || c == L'$' || (c >= L'0' && c <= L'9'); }
bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// Quoted runs end at their closing quote, where a doubled quote stands for
// itself. An unclosed one is refused: its text would otherwise be bound
// or quoted as if whole.
std::size_t QuotedEnd(std::wstring_view s, std::size_t i, wchar_t close, bool doubled) {
  for (std::size_t j = i + 1; j < s.size(); ++j) {
    if (s[j] != close) continue;
    if (doubled && j + 1 < s.size() && s[j + 1] == close) {
      ++j;
      continue;
    }
    return j + 1;
  }
  Refuse(std::wstring(L"The quote ") + s[i] + L" is never closed.");
}

std::wstring DatabaseOf(const std::wstring& inner);

bool IsFile(const std::wstring& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::is_regular_file(win::WideToUtf8(path), ec);
}

// Jet has no escape for ']' inside brackets, yet a file name may hold one:
// a [;DATABASE=path] prefix ends at the first "]." before which the path
// names an existing file, else at its first ']'.
std::size_t PrefixEnd(std::wstring_view s, std::size_t open, std::size_t first) {
  for (std::size_t k = first - 1; k != std::wstring_view::npos; k = s.find(L"].", k + 1)) {
    if (k + 1 < s.size() && s[k + 1] == L'.' &&
        IsFile(DatabaseOf(std::wstring(s.substr(open + 1, k - open - 1))))) {
      return k + 1;
    }
  }
  return first;
}

Tokens Tokenize(std::wstring_view s) {
  Tokens out;
  std::size_t i = 0;
  while (i < s.size()) {
    const wchar_t c = s[i];
    std::size_t j = i + 1;
    Kind kind = Kind::Punct;
    if (std::iswspace(c)) {
      while (j < s.size() && std::iswspace(s[j])) ++j;
      kind = Kind::Space;
    } else if (c == L'-' && j < s.size() && s[j] == L'-') {
      j = s.find(L'\n', i);
      j = j == std::wstring_view::npos ? s.size() : j;
      kind = Kind::Space;
    } else if (c == L'/' && j < s.size() && s[j] == L'*') {
      j = s.find(L"*/", i + 2);
      j = j == std::wstring_view::npos ? s.size() : j + 2;
      kind = Kind::Space;
    } else if (c == L'\'') {
      j = QuotedEnd(s, i, L'\'', true);
      kind = Kind::String;
    } else if (c == L'`' || c == L'"') {
      j = QuotedEnd(s, i, c, true);
      kind = Kind::Name;
    } else if (c == L'[') {
      j = QuotedEnd(s, i, L']', false);
      std::size_t k = i + 1;
      while (k < s.size() && (s[k] == L' ' || s[k] == L'\t')) ++k;
      if (k < s.size() && s[k] == L';') j = PrefixEnd(s, i, j);
      kind = Kind::Name;
    } else if (IsDigit(c) || (c == L'.' && j < s.size() && IsDigit(s[j]))) {
      while (j < s.size() && (IsDigit(s[j]) || s[j] == L'.')) ++j;
      if (j < s.size() && (s[j] == L'e' || s[j] == L'E')) {
        std::size_t k = j + 1;
        if (k < s.size() && (s[k] == L'+' || s[k] == L'-')) ++k;
        if (k < s.size() && IsDigit(s[k])) {
          j = k;
          while (j < s.size() && IsDigit(s[j])) ++j;
        }
      }
      kind = Kind::Number;
    } else if (IsWordStart(c)) {
      while (j < s.size() && IsWordPart(s[j])) ++j;
      kind = Kind::Word;
    }
    out.push_back({kind, std::wstring(s.substr(i, j - i))});
    i = j;
  }
  return out;
}

std::wstring Join(const Tokens& tokens, std::size_t from = 0, std::size_t to = kNone) {
  std::wstring out;
  for (std::size_t i = from; i < tokens.size() && i < to; ++i) out += tokens[i].text;
  return out;
}

std::wstring Trimmed(std::wstring s) {
  const auto first = s.find_first_not_of(L" \t\r\n");
  if (first == std::wstring::npos) return {};
  const auto last = s.find_last_not_of(L" \t\r\n");
  return s.substr(first, last - first + 1);
}

bool IsWord(const Tokens& t, std::size_t i, std::wstring_view word) {
  return i < t.size() && t[i].kind == Kind::Word && detail::EqualsNoCase(t[i].text, word);
}

bool IsPunct(const Tokens& t, std::size_t i, wchar_t c) {
  return i < t.size() && t[i].kind == Kind::Punct && t[i].text.size() == 1 && t[i].text[0] == c;
}

std::size_t NextSignificant(const Tokens& t, std::size_t i, std::size_t end = kNone) {
  for (std::size_t j = i + 1; j < t.size() && j < end; ++j) {
    if (t[j].kind != Kind::Space) return j;
  }
  return kNone;
}

std::size_t FirstSignificant(const Tokens& t) {
  return t.empty() ? kNone : (t[0].kind != Kind::Space ? 0 : NextSignificant(t, 0));
}

void Blank(Tokens& t, std::size_t from, std::size_t to) {
  for (std::size_t i = from; i <= to && i < t.size(); ++i) t[i] = {Kind::Space, L""};
}

// The index of the parenthesis that closes the one at open, or kNone.
std::size_t MatchingClose(const Tokens& t, std::size_t open) {
  int depth = 0;
  for (std::size_t i = open; i < t.size(); ++i) {
    if (IsPunct(t, i, L'(')) ++depth;
    if (IsPunct(t, i, L')') && --depth == 0) return i;
  }
  return kNone;
}

std::wstring Unquote(const Token& token) {
  if (token.kind != Kind::Name || token.text.size() < 2) return token.text;
  const wchar_t open = token.text.front();
  const wchar_t close = open == L'[' ? L']' : open;
  std::wstring inner = token.text.substr(1, token.text.size() - 2);
  if (open == L'[') return inner;
  std::wstring out;
  for (std::size_t i = 0; i < inner.size(); ++i) {
    out += inner[i];
    if (inner[i] == close && i + 1 < inner.size() && inner[i + 1] == close) ++i;
  }
  return out;
}

std::wstring UnquoteText(const std::wstring& literal) {
  std::wstring out;
  for (std::size_t i = 1; i + 1 < literal.size(); ++i) {
    out += literal[i];
    if (literal[i] == L'\'' && literal[i + 1] == L'\'') ++i;
  }
  return out;
}

// The tokens as SQLite text for the driver: names double-quoted, strings
// as markers whose texts are appended to params, or, where SQLite wants
// constants (CREATE TABLE), as literals with their apostrophes doubled,
// which the driver's scan reads as quoted too.
std::wstring Render(const Tokens& t, std::vector<std::wstring>* params, std::size_t from = 0,
                    std::size_t to = kNone) {
  std::wstring out;
  for (std::size_t i = from; i < t.size() && i < to; ++i) {
    if (t[i].kind == Kind::Name) {
      const std::wstring name = Unquote(t[i]);
      if (name.find(L'\0') != std::wstring::npos) Refuse(L"A name cannot hold U+0000.");
      out += QuoteName(name);
    } else if (t[i].kind == Kind::String && params) {
      params->push_back(UnquoteText(t[i].text));
      out += L'?';
    } else if (t[i].kind == Kind::String) {
      if (t[i].text.find(L'\0') != std::wstring::npos) Refuse(L"A text cannot hold U+0000 here.");
      out += t[i].text;
    } else {
      out += t[i].text;
    }
  }
  return out;
}

// A statement ends at its first top-level ';'; Jet refuses anything after it.
void DropTerminator(Tokens& t) {
  int depth = 0;
  for (std::size_t i = 0; i < t.size(); ++i) {
    if (IsPunct(t, i, L'(')) ++depth;
    if (IsPunct(t, i, L')')) --depth;
    if (depth == 0 && IsPunct(t, i, L';')) {
      if (NextSignificant(t, i) != kNone) Refuse(L"Characters found after end of SQL statement.");
      t.resize(i);
      return;
    }
  }
}

// The file of a "[;DATABASE=path;...]" prefix. A file name may hold ';'
// itself, so the longest value up to a ';' (or the end) that names an
// existing file wins; failing that, the value up to the first ';'.
std::wstring DatabaseOf(const std::wstring& inner) {
  std::size_t start = kNone;
  for (std::size_t i = 0; i < inner.size(); i = inner.find(L';', i) + 1) {
    std::size_t k = i;
    while (k < inner.size() && (inner[k] == L' ' || inner[k] == L'\t')) ++k;
    if (inner.size() - k >= 9 &&
        detail::EqualsNoCase(std::wstring_view(inner).substr(k, 9), L"DATABASE=")) {
      start = k + 9;
    }
    if (inner.find(L';', i) == std::wstring::npos) break;
  }
  if (start == kNone) return {};
  std::vector<std::wstring> candidates;
  for (std::size_t end = inner.find(L';', start);; end = inner.find(L';', end + 1)) {
    candidates.push_back(
        Trimmed(inner.substr(start, end == std::wstring::npos ? end : end - start)));
    if (end == std::wstring::npos) break;
  }
  for (auto c = candidates.rbegin(); c != candidates.rend(); ++c) {
    if (IsFile(*c)) return *c;
  }
  return candidates.front();
}

// [;DATABASE=path].table names a table of another database file.
void ReplaceExternalDatabases(Tokens& t, const SchemaForPath& schemaFor) {
  for (std::size_t i = 0; i < t.size(); ++i) {
    if (t[i].kind != Kind::Name || t[i].text.front() != L'[') continue;
    const std::wstring inner = Unquote(t[i]);
    if (Trimmed(inner).rfind(L";", 0) != 0 || !IsPunct(t, i + 1, L'.')) continue;
    const std::wstring path = DatabaseOf(inner);
    if (path.empty()) Refuse(L"The name " + t[i].text + L" gives no DATABASE=.");
    t[i] = {Kind::Word, schemaFor(path)};
  }
}

// SELECT [DISTINCT] TOP n ... becomes SELECT [DISTINCT] ... LIMIT n, the
// limit placed where that select ends: at its closing parenthesis when it
// is a subquery, else at the end of the statement.
void RewriteTop(Tokens& t) {
  for (std::size_t i = 0; i < t.size(); ++i) {
    if (!IsWord(t, i, L"SELECT")) continue;
    std::size_t top = NextSignificant(t, i);
    if (IsWord(t, top, L"DISTINCT") || IsWord(t, top, L"ALL") || IsWord(t, top, L"DISTINCTROW")) {
      top = NextSignificant(t, top);
    }
    if (!IsWord(t, top, L"TOP")) continue;
    const std::size_t count = NextSignificant(t, top);
    if (count == kNone || t[count].kind != Kind::Number ||
        t[count].text.find_first_not_of(L"0123456789") != std::wstring::npos) {
      Refuse(L"The TOP clause needs a whole number of rows.");
    }
    if (IsWord(t, NextSignificant(t, count), L"PERCENT")) {
      Refuse(L"TOP n PERCENT is not supported by the SQLite engine.");
    }
    const std::wstring rows = t[count].text;
    Blank(t, top, count);
    std::size_t end = count + 1;
    for (int depth = 0; end < t.size(); ++end) {
      if (IsPunct(t, end, L'(')) ++depth;
      if (IsPunct(t, end, L')') && depth-- == 0) break;
      if (depth == 0 &&
          (IsWord(t, end, L"UNION") || IsWord(t, end, L"INTERSECT") || IsWord(t, end, L"EXCEPT"))) {
        Refuse(L"TOP in a compound select is not supported by the SQLite engine.");
      }
    }
    t.insert(
        t.begin() + static_cast<std::ptrdiff_t>(end),
        {{Kind::Space, L" "}, {Kind::Word, L"LIMIT"}, {Kind::Space, L" "}, {Kind::Number, rows}});
  }
}

bool IsOneOf(const std::wstring& word, std::initializer_list<std::wstring_view> words) {
  for (std::wstring_view w : words) {
    if (detail::EqualsNoCase(word, w)) return true;
  }
  return false;
}

// The SQLite type for a Jet type, or nothing to leave it as written. The
// names chosen are those the SQLite ODBC driver reports as the matching
// ODBC types.
std::optional<std::wstring> MapType(const std::wstring& type, const std::wstring& args,
                                    bool hasArgs) {
  if (IsOneOf(type, {L"CHAR", L"CHARACTER", L"NCHAR"})) {
    return hasArgs ? L"CHAR(" + args + L")" : L"VARCHAR(255)";
  }
  if (IsOneOf(type, {L"TEXT", L"VARCHAR", L"STRING", L"ALPHANUMERIC", L"NVARCHAR"})) {
    return hasArgs ? L"VARCHAR(" + args + L")" : L"VARCHAR(255)";
  }
  if (IsOneOf(type, {L"MEMO", L"LONGTEXT", L"LONGCHAR", L"NOTE", L"NTEXT"})) return L"TEXT";
  if (IsOneOf(type, {L"LONG", L"INT", L"INTEGER", L"INTEGER4"})) return L"INTEGER";
  if (IsOneOf(type, {L"SHORT", L"SMALLINT", L"INTEGER2"})) return L"SMALLINT";
  if (IsOneOf(type, {L"BYTE", L"INTEGER1", L"TINYINT"})) return L"TINYINT";
  if (IsOneOf(type, {L"DOUBLE", L"FLOAT", L"FLOAT8", L"IEEEDOUBLE", L"NUMBER"})) return L"DOUBLE";
  if (IsOneOf(type, {L"SINGLE", L"REAL", L"FLOAT4", L"IEEESINGLE"})) return L"REAL";
  if (IsOneOf(type, {L"YESNO", L"BIT", L"LOGICAL", L"LOGICAL1", L"BOOLEAN"})) return L"BIT";
  if (IsOneOf(type, {L"DATETIME", L"DATE", L"TIME", L"TIMESTAMP"})) return L"TIMESTAMP";
  if (IsOneOf(type, {L"CURRENCY", L"MONEY"})) return L"NUMERIC(19,4)";
  if (IsOneOf(type, {L"DECIMAL", L"NUMERIC", L"DEC"})) {
    return hasArgs ? L"NUMERIC(" + args + L")" : L"NUMERIC(18,0)";
  }
  if (IsOneOf(type, {L"LONGBINARY", L"GENERAL", L"OLEOBJECT", L"IMAGE"})) return L"BLOB";
  if (IsOneOf(type, {L"GUID", L"UNIQUEIDENTIFIER"})) return L"CHAR(38)";
  return std::nullopt;
}

bool IsCounter(const std::wstring& type) {
  return IsOneOf(type, {L"COUNTER", L"AUTOINCREMENT", L"IDENTITY"});
}

// The column list of CREATE TABLE name (...), element by element.
void MapCreateTable(Tokens& t) {
  std::size_t open = kNone;
  for (std::size_t i = 0; i < t.size() && open == kNone; ++i) {
    if (IsPunct(t, i, L'(')) open = i;
  }
  const std::size_t close = open == kNone ? kNone : MatchingClose(t, open);
  if (close == kNone) return;  // SQLite tells what is wrong with it

  std::vector<std::pair<std::size_t, std::size_t>> elements;
  std::size_t start = open + 1;
  int depth = 0;
  bool hasPrimaryKey = false;
  int counters = 0;
  for (std::size_t i = open + 1; i <= close; ++i) {
    if (IsPunct(t, i, L'(')) ++depth;
    if (IsPunct(t, i, L')') && i != close) --depth;
    if (IsWord(t, i, L"PRIMARY")) hasPrimaryKey = true;
    if ((depth == 0 && IsPunct(t, i, L',')) || i == close) {
      elements.emplace_back(start, i);
      start = i + 1;
    }
  }
  for (const auto& [from, to] : elements) {
    const std::size_t name = NextSignificant(t, from - 1, to);
    const std::size_t type = name == kNone ? kNone : NextSignificant(t, name, to);
    if (type != kNone && t[type].kind == Kind::Word && IsCounter(t[type].text)) ++counters;
  }

  for (const auto& [from, to] : elements) {
    const std::size_t name = NextSignificant(t, from - 1, to);
    if (name == kNone || IsWord(t, name, L"CONSTRAINT") || IsWord(t, name, L"PRIMARY") ||
        IsWord(t, name, L"UNIQUE") || IsWord(t, name, L"FOREIGN") || IsWord(t, name, L"CHECK")) {
      continue;
    }
    const std::size_t type = NextSignificant(t, name, to);
    if (type == kNone || t[type].kind != Kind::Word) continue;
    std::size_t last = type;
    std::wstring args;
    const std::size_t paren = NextSignificant(t, type, to);
    const bool hasArgs = IsPunct(t, paren, L'(');
    if (hasArgs) {
      last = MatchingClose(t, paren);
      if (last == kNone || last >= to) continue;
      args = Trimmed(Join(t, paren + 1, last));
    }
    std::optional<std::wstring> mapped;
    if (IsCounter(t[type].text)) {
      mapped =
          (counters == 1 && !hasPrimaryKey) ? L"INTEGER PRIMARY KEY AUTOINCREMENT" : L"INTEGER";
    } else {
      mapped = MapType(t[type].text, args, hasArgs);
    }
    if (mapped) {
      Blank(t, type, last);
      t[type] = {Kind::Word, *mapped};
    }
    // Jet's WITH COMPRESSION (or WITH COMP) means nothing to SQLite.
    for (std::size_t i = NextSignificant(t, last, to); i != kNone; i = NextSignificant(t, i, to)) {
      const std::size_t next = NextSignificant(t, i, to);
      if (IsWord(t, i, L"WITH") && (IsWord(t, next, L"COMPRESSION") || IsWord(t, next, L"COMP"))) {
        Blank(t, i, next);
        break;
      }
    }
  }
}

// A table reference at i: name or schema.name. Returns the index after it.
std::size_t ReadTableName(const Tokens& t, std::size_t i, std::wstring& schema,
                          std::wstring& table) {
  if (i == kNone || (t[i].kind != Kind::Word && t[i].kind != Kind::Name)) return kNone;
  const std::size_t dot = NextSignificant(t, i);
  if (IsPunct(t, dot, L'.')) {
    const std::size_t second = NextSignificant(t, dot);
    if (second == kNone || (t[second].kind != Kind::Word && t[second].kind != Kind::Name)) {
      return kNone;
    }
    schema = Unquote(t[i]);
    table = Unquote(t[second]);
    return NextSignificant(t, second);
  }
  schema = L"main";
  table = Unquote(t[i]);
  return dot;
}

std::optional<SelectInto> ExtractInto(const Tokens& t, const SchemaForPath& schemaFor) {
  const std::size_t select = FirstSignificant(t);
  if (!IsWord(t, select, L"SELECT")) return std::nullopt;
  std::size_t into = kNone;
  int depth = 0;
  for (std::size_t i = select + 1; i < t.size(); ++i) {
    if (IsPunct(t, i, L'(')) ++depth;
    if (IsPunct(t, i, L')')) --depth;
    if (depth != 0) continue;
    if (IsWord(t, i, L"FROM")) break;
    if (IsWord(t, i, L"INTO")) {
      into = i;
      break;
    }
  }
  if (into == kNone) return std::nullopt;

  SelectInto out;
  std::size_t after = ReadTableName(t, NextSignificant(t, into), out.targetSchema, out.targetTable);
  if (after == kNone && out.targetTable.empty()) Refuse(L"SELECT ... INTO names no table.");
  if (IsWord(t, after, L"IN")) {
    const std::size_t path = NextSignificant(t, after);
    if (path == kNone || t[path].kind != Kind::String) Refuse(L"IN needs a database file name.");
    out.targetSchema = schemaFor(UnquoteText(t[path].text));
    after = NextSignificant(t, path);
  }
  const std::wstring columns = Trimmed(Render(t, &out.params, select + 1, into));
  std::wstring rest;
  if (after != kNone) {
    if (!IsWord(t, after, L"FROM")) Refuse(L"Syntax error in SELECT ... INTO.");
    rest = Trimmed(Render(t, &out.params, after + 1));
    std::wstring schema, table;
    const std::size_t tail = ReadTableName(t, NextSignificant(t, after), schema, table);
    const bool oneTable =
        !table.empty() && (tail == kNone || IsWord(t, tail, L"WHERE") ||
                           IsWord(t, tail, L"ORDER") || IsWord(t, tail, L"LIMIT"));
    if (columns == L"*" && oneTable) {
      out.sourceSchema = schema;
      out.sourceTable = table;
    }
  }
  out.select = L"SELECT " + columns + (rest.empty() ? L"" : L" FROM " + rest);
  return out;
}

}  // namespace

Plan Translate(std::wstring_view statement, const SchemaForPath& schemaFor) {
  Tokens t = Tokenize(statement);
  DropTerminator(t);
  ReplaceExternalDatabases(t, schemaFor);
  RewriteTop(t);
  const std::size_t first = FirstSignificant(t);
  if (IsWord(t, first, L"CREATE") && IsWord(t, NextSignificant(t, first), L"TABLE")) {
    MapCreateTable(t);
  }
  Plan plan;
  plan.into = ExtractInto(t, schemaFor);
  if (!plan.into) plan.sql = Render(t, IsWord(t, first, L"CREATE") ? nullptr : &plan.params);
  return plan;
}

}  // namespace ado::jet
