#include "capture/shx_map.h"

#include <cwchar>
#include <cwctype>
#include <vector>

#include "platform/win/strings.h"
#include "platform/win/text.h"
#include "ui/settings.h"

IMPLEMENT_DYNCREATE(CShxMapRecord, CObject)

namespace {

using Records = std::vector<const CShxMapRecord*>;

// Which records apply depends on the style alone: decided once per text, not
// at every search step (the case-blind name test dominated capture).
const Records& Applicable(const CShxMap& map, const std::wstring& style) {
  thread_local Records applicable;
  applicable.clear();
  for (const CShxMapRecord& r : map) {
    if (!r.ShxMapCode.empty() &&
        (win::EqualsNoCase(r.ShxMapFont, L"*All*") || win::EqualsNoCase(r.ShxMapFont, style))) {
      applicable.push_back(&r);
    }
  }
  return applicable;
}

// The record FindFirstCode chooses (its rule is in shx_map.h), or nullptr;
// `at` is set to its position.
const CShxMapRecord* Earliest(const Records& records, const std::wstring& text, size_t from,
                              size_t& at) {
  const CShxMapRecord* best = nullptr;
  for (const CShxMapRecord* r : records) {
    const size_t p = text.find(r->ShxMapCode, from);
    if (p == std::wstring::npos) continue;
    if (best == nullptr || p < at || (p == at && r->ShxMapCode.size() > best->ShxMapCode.size())) {
      best = r;
      at = p;
    }
  }
  return best;
}

}  // namespace

void CShxMap::LoadShxMap() {
  RemoveAll();
  std::vector<std::wstring> names, values;
  EnumerateSettingKey(HKEY_CURRENT_USER,
                      win::Format(L"Software\\%s\\%s", L"Orvane", L"Gridmason\\ShxMap"), false,
                      names, values);
  size_t n = std::min(names.size(), values.size());
  for (size_t i = 0; i < n; ++i) {
    size_t colon = names[i].rfind(L':');
    if (colon == std::wstring::npos) continue;
    std::wstring code = names[i].substr(0, colon);
    std::wstring font = names[i].substr(colon + 1);
    if (code.empty() || font.empty() || values[i].empty()) continue;
    SetShxRecord(code, font, values[i]);
  }
  if (ReadSettingInt(kSettingsSection, L"EnableSysSymbol", 1) != 0) {
    // The symbols themselves: a spreadsheet cell never decodes escape texts.
    SetShxRecord(L"%%D", L"*All*", L"\u00B0");
    SetShxRecord(L"%%P", L"*All*", L"\u00B1");
    SetShxRecord(L"%%C", L"*All*", L"\u00D8");
  }
}

void CShxMap::SetShxRecord(const std::wstring& code, const std::wstring& font,
                           const std::wstring& replacement) {
  for (CShxMapRecord& r : *this) {
    if (r.ShxMapCode == code && win::EqualsNoCase(r.ShxMapFont, font)) {
      r.ShxMapReplacement = replacement;
      return;
    }
  }
  Add(CShxMapRecord(code, font, replacement));
}

int CShxMap::FindFirstCode(const std::wstring& text, int start, const std::wstring& style,
                           std::wstring& code, std::wstring& replacement) const {
  if (text.empty() || start < 0) return -1;
  size_t at = 0;
  const CShxMapRecord* r = Earliest(Applicable(*this, style), text, static_cast<size_t>(start), at);
  if (r == nullptr) return -1;
  code = r->ShxMapCode;
  replacement = r->ShxMapReplacement;
  return static_cast<int>(at);
}

std::wstring TranslateShx(const CShxMap& map, const std::wstring& text, const std::wstring& style) {
  if (text.empty()) return std::wstring();
  // Most texts hold no code of any record: they are settled by a search per code, before
  // the records are sorted by style (the case-blind style test cost more than the searches).
  bool anyCode = false;
  for (const CShxMapRecord& r : map) {
    if (!r.ShxMapCode.empty() && text.find(r.ShxMapCode) != std::wstring::npos) {
      anyCode = true;
      break;
    }
  }
  if (!anyCode) return text;
  const Records& applicable = Applicable(map, style);
  std::wstring out;
  size_t pos = 0;
  size_t at = 0;
  while (const CShxMapRecord* r = Earliest(applicable, text, pos, at)) {
    out.append(text, pos, at - pos);
    out += r->ShxMapReplacement;
    pos = at + r->ShxMapCode.size();
  }
  if (pos == 0) return text;
  out.append(text, pos, std::wstring::npos);
  return out;
}

namespace {

// The two parts of a stacked fraction's body, up to its ";", joined by "/";
// a part left empty (a lone superscript) stands alone. Returns the index of
// the ";" or the end.
size_t ReadStack(const std::wstring& s, size_t from, std::wstring& out) {
  std::wstring top, bottom;
  bool split = false;
  size_t i = from;
  for (; i < s.size() && s[i] != L';'; ++i) {
    wchar_t c = s[i];
    if (c == L'\\' && i + 1 < s.size()) {
      c = s[++i];
    } else if (!split && (c == L'/' || c == L'#' || c == L'^')) {
      split = true;
      continue;
    }
    (split ? bottom : top).push_back(c);
  }
  // "1\S1/2;" reads 1 1/2, not 11/2.
  if (!top.empty() && !out.empty() && std::iswdigit(out.back())) out.push_back(L' ');
  out += top;
  if (!top.empty() && !bottom.empty()) out.push_back(L'/');
  out += bottom;
  return i;
}

}  // namespace

std::wstring StripMTextFormatting(const std::wstring& s) {
  std::wstring out;
  out.reserve(s.size());
  bool switched = false;
  for (size_t i = 0; i < s.size(); ++i) {
    wchar_t c = s[i];
    if (c == L'\\') {
      if (i + 1 >= s.size()) {
        if (!switched) out.push_back(c);
        break;
      }
      wchar_t next = s[++i];
      if (next == L'\\' || next == L'{' || next == L'}') {
        out.push_back(next);
      } else if (switched) {
        // Inside a switch's parameters nothing is shown.
      } else if (next == L'P' || next == L'N') {
        out.push_back(L'\n');  // paragraph and column breaks
      } else if (next == L'~') {
        // Runs of them space words out for the eye; a cell needs one.
        if (out.empty() || out.back() != L' ') out.push_back(L' ');
      } else if (next == L'S' || next == L's') {
        i = ReadStack(s, i + 1, out);
      } else if (next == L'p' || (next != 0 && std::wcschr(L"ACFHQTWacfhqtw", next) != nullptr)) {
        // Switches whose parameters run up to the next ";".
        switched = true;
      }
      continue;
    }
    if (c == L'{' || c == L'}') continue;
    if (c == L';' && switched) {
      switched = false;
      continue;
    }
    if (!switched) out.push_back(c);
  }
  return out;
}
