#include "hostapp/menu.h"

#include <fstream>
#include <regex>
#include <sstream>

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

std::optional<Menu> ParseCui(const std::wstring& text, std::wstring& error) {
  Menu menu;
  std::wsmatch m;
  if (std::regex_search(text, m, std::wregex(LR"re(<MenuGroup\s+Name="([^"]*)")re"))) {
    menu.group = XmlText(m[1]);
  } else {
    error = L"no <MenuGroup Name=...> element";
    return std::nullopt;
  }
  std::wregex macro(LR"re(<Macro\b[^>]*>\s*<Name>([^<]*)</Name>\s*<Command>([^<]*)</Command>)re");
  for (std::wsregex_iterator it(text.begin(), text.end(), macro), end; it != end; ++it) {
    menu.items.push_back({XmlText((*it)[1]), MacroCommand(XmlText((*it)[2]))});
  }
  if (menu.items.empty()) {
    error = L"no <Macro> items";
    return std::nullopt;
  }
  return menu;
}

std::optional<Menu> ParseMns(const std::wstring& text, std::wstring& error) {
  Menu menu;
  std::wistringstream in(text);
  std::wstring line;
  std::wregex item(LR"re(^\s*\w*\s*\[([^\]]*)\](\^[Cc].*)$)re");
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    if (line.rfind(L"***MENUGROUP=", 0) == 0) {
      menu.group = line.substr(13);
      continue;
    }
    std::wsmatch m;
    if (std::regex_match(line, m, item)) menu.items.push_back({m[1], MacroCommand(m[2])});
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
  std::wsmatch m;
  static const std::wregex pattern(
      LR"re(^\s*\(command\s+"_?\.?menuload"\s+"([^"]*)"\)\s*(\(princ\))?\s*$)re",
      std::regex::icase);
  if (!std::regex_match(command, m, pattern)) return std::nullopt;
  return m[1].str();
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
