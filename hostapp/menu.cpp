#include "hostapp/menu.h"

#include <cwctype>
#include <fstream>
#include <sstream>
#include <string_view>

#include "platform/win/strings.h"
#include "platform/win/text.h"

namespace hostapp {

namespace {

// A menu macro "^C^CLineText2Excel" runs the word after the cancels.
std::wstring MacroCommand(std::wstring macro) {
  while (macro.rfind(L"^C", 0) == 0 || macro.rfind(L"^c", 0) == 0) macro = macro.substr(2);
  size_t end = macro.find_first_of(L" ;");
  return macro.substr(0, end);
}

std::wstring XmlText(const std::wstring& s) {
  std::wstring out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != L'&') {
      out.push_back(s[i]);
      continue;
    }
    static const std::pair<const wchar_t*, wchar_t> kEntities[] = {
        {L"&amp;", L'&'}, {L"&lt;", L'<'}, {L"&gt;", L'>'}, {L"&quot;", L'"'}, {L"&apos;", L'\''}};
    bool matched = false;
    for (const auto& [name, ch] : kEntities) {
      std::wstring n(name);
      if (s.compare(i, n.size(), n) == 0) {
        out.push_back(ch);
        i += n.size() - 1;
        matched = true;
        break;
      }
    }
    if (!matched) out.push_back(L'&');
  }
  return out;
}

// A small cursor over the menu texts. The host reads a menu at every start-up,
// where std::wregex cost 3% of a whole 10x10 conversion.
class Scan {
 public:
  explicit Scan(std::wstring_view text, size_t at = 0) : text_(text), at_(at) {}
  size_t at() const { return at_; }
  bool End() const { return at_ >= text_.size(); }
  // Whether there were any.
  bool Spaces() {
    const size_t start = at_;
    while (!End() && std::iswspace(text_[at_])) ++at_;
    return at_ > start;
  }
  bool Word(std::wstring_view word, bool any_case = false) {
    const std::wstring_view rest = text_.substr(at_);
    if (!(any_case ? win::StartsWithNoCase(rest, word) : rest.starts_with(word))) return false;
    at_ += word.size();
    return true;
  }
  bool Char(wchar_t c) { return !End() && text_[at_] == c ? (++at_, true) : false; }
  // The text up to `stop`, which must follow.
  bool Until(wchar_t stop, std::wstring& out) {
    size_t end = text_.find(stop, at_);
    if (end == std::wstring_view::npos) return false;
    out.assign(text_.substr(at_, end - at_));
    at_ = end + 1;
    return true;
  }

 private:
  std::wstring_view text_;
  size_t at_;
};

bool IsWordChar(wchar_t c) { return std::iswalnum(c) || c == L'_'; }

std::optional<Menu> ParseCui(const std::wstring& text, std::wstring& error) {
  Menu menu;
  bool has_group = false;
  for (size_t at = text.find(L"<MenuGroup"); at != std::wstring::npos && !has_group;
       at = text.find(L"<MenuGroup", at + 1)) {
    Scan s(text, at + 10);
    has_group = s.Spaces() && s.Word(L"Name=\"") && s.Until(L'"', menu.group);
  }
  if (!has_group) {
    error = L"no <MenuGroup Name=...> element";
    return std::nullopt;
  }
  menu.group = XmlText(menu.group);
  for (size_t at = text.find(L"<Macro"); at != std::wstring::npos;
       at = text.find(L"<Macro", at + 1)) {
    if (at + 6 < text.size() && IsWordChar(text[at + 6])) continue;
    Scan s(text, at + 6);
    std::wstring skipped, name, command;
    if (!s.Until(L'>', skipped)) break;
    s.Spaces();
    if (!s.Word(L"<Name>") || !s.Until(L'<', name) || !s.Word(L"/Name>")) continue;
    s.Spaces();
    if (!s.Word(L"<Command>") || !s.Until(L'<', command) || !s.Word(L"/Command>")) continue;
    menu.items.push_back({XmlText(name), MacroCommand(XmlText(command))});
    at = s.at() - 1;
  }
  if (menu.items.empty()) {
    error = L"no <Macro> items";
    return std::nullopt;
  }
  return menu;
}

// A line "ID_X [Label]^C^CCommand": an optional name, the label in brackets,
// then the macro.
bool ParseMnsItem(std::wstring_view line, MenuItem& item) {
  Scan s(line);
  s.Spaces();
  while (!s.End() && IsWordChar(line[s.at()])) s.Char(line[s.at()]);
  s.Spaces();
  if (!s.Char(L'[') || !s.Until(L']', item.label)) return false;
  std::wstring_view macro = line.substr(s.at());
  if (macro.size() < 2 || macro[0] != L'^' || (macro[1] != L'C' && macro[1] != L'c')) return false;
  item.command = MacroCommand(std::wstring(macro));
  return true;
}

std::optional<Menu> ParseMns(const std::wstring& text, std::wstring& error) {
  Menu menu;
  std::wistringstream in(text);
  std::wstring line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    if (line.rfind(L"***MENUGROUP=", 0) == 0) {
      menu.group = line.substr(13);
      continue;
    }
    MenuItem item;
    if (ParseMnsItem(line, item)) menu.items.push_back(std::move(item));
  }
  if (menu.group.empty()) {
    error = L"no ***MENUGROUP= line";
    return std::nullopt;
  }
  if (menu.items.empty()) {
    error = L"no menu items";
    return std::nullopt;
  }
  return menu;
}

}  // namespace

std::optional<std::wstring> ParseMenuLoad(const std::wstring& command) {
  Scan s(command);
  std::wstring path;
  s.Spaces();
  if (!s.Char(L'(') || !s.Word(L"command", true)) return std::nullopt;
  if (!s.Spaces() || !s.Char(L'"')) return std::nullopt;
  s.Char(L'_');
  s.Char(L'.');
  if (!s.Word(L"menuload\"", true)) return std::nullopt;
  if (!s.Spaces() || !s.Char(L'"') || !s.Until(L'"', path) || !s.Char(L')')) {
    return std::nullopt;
  }
  s.Spaces();
  s.Word(L"(princ)", true);
  s.Spaces();
  if (!s.End()) return std::nullopt;
  return path;
}

std::optional<Menu> LoadMenuFile(const std::wstring& path, std::wstring& error) {
  std::ifstream in(win::WideToUtf8(path), std::ios::binary);
  if (!in) {
    error = L"no such file";
    return std::nullopt;
  }
  std::ostringstream bytes;
  bytes << in.rdbuf();
  std::string raw = bytes.str();
  if (raw.rfind("\xEF\xBB\xBF", 0) == 0) raw = raw.substr(3);
  std::wstring text = win::Utf8ToWide(raw);
  const std::wstring lower = win::ToLower(path);
  if (lower.size() >= 4 && lower.compare(lower.size() - 4, 4, L".cui") == 0) {
    return ParseCui(text, error);
  }
  return ParseMns(text, error);
}

}  // namespace hostapp
