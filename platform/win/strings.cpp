#include "platform/win/strings.h"

#include <algorithm>
#include <cwctype>

namespace win {

std::wstring ToLower(std::wstring_view text) {
  std::wstring out(text);
  for (wchar_t& c : out) c = static_cast<wchar_t>(std::towlower(c));
  return out;
}

std::wstring ToUpper(std::wstring_view text) {
  std::wstring out(text);
  for (wchar_t& c : out) c = static_cast<wchar_t>(std::towupper(c));
  return out;
}

int CompareNoCase(std::wstring_view a, std::wstring_view b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const wint_t x = std::towlower(a[i]);
    const wint_t y = std::towlower(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool EqualsNoCase(std::wstring_view a, std::wstring_view b) {
  // The exact test first: names are mostly written alike, and folding each
  // character through the locale is slow.
  return a.size() == b.size() && (a == b || CompareNoCase(a, b) == 0);
}

bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix) {
  return text.size() >= prefix.size() && CompareNoCase(text.substr(0, prefix.size()), prefix) == 0;
}

std::wstring ToLowerAscii(std::wstring_view text) {
  std::wstring out(text);
  for (wchar_t& c : out) {
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  }
  return out;
}

std::string ToLowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

std::wstring Trim(std::wstring_view text) {
  size_t a = 0;
  size_t b = text.size();
  while (a < b && std::iswspace(text[a])) ++a;
  while (b > a && std::iswspace(text[b - 1])) --b;
  return std::wstring(text.substr(a, b - a));
}

std::string Trim(std::string_view text) {
  constexpr std::string_view kBlanks = " \t\n\v\f\r";
  const size_t a = text.find_first_not_of(kBlanks);
  if (a == std::string_view::npos) return {};
  const size_t b = text.find_last_not_of(kBlanks);
  return std::string(text.substr(a, b - a + 1));
}

std::wstring Trim(std::wstring_view text, std::wstring_view blanks) {
  const size_t a = text.find_first_not_of(blanks);
  if (a == std::wstring_view::npos) return {};
  const size_t b = text.find_last_not_of(blanks);
  return std::wstring(text.substr(a, b - a + 1));
}

std::wstring Utf8ToWide(std::string_view s, bool* replaced) {
  std::wstring out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      out.push_back(static_cast<wchar_t>(c));
      ++i;
      continue;
    }
    char32_t cp;
    int extra;
    if ((c & 0xE0) == 0xC0) {
      cp = c & 0x1F;
      extra = 1;
    } else if ((c & 0xF0) == 0xE0) {
      cp = c & 0x0F;
      extra = 2;
    } else if ((c & 0xF8) == 0xF0) {
      cp = c & 0x07;
      extra = 3;
    } else {
      out.push_back(L'\uFFFD');
      if (replaced != nullptr) *replaced = true;
      ++i;
      continue;
    }
    bool ok = true;
    for (int k = 1; k <= extra; ++k) {
      if (i + k >= s.size()) {
        ok = false;
        break;
      }
      unsigned char cc = static_cast<unsigned char>(s[i + k]);
      if ((cc & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      cp = (cp << 6) | (cc & 0x3F);
    }
    // Overlong forms and surrogates are not characters.
    static const char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    if (!ok || cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      out.push_back(L'\uFFFD');
      if (replaced != nullptr) *replaced = true;
      ++i;
      continue;
    }
    out.push_back(static_cast<wchar_t>(cp));
    i += extra + 1;
  }
  return out;
}

std::string WideToUtf8(std::wstring_view w) {
  std::string out;
  out.reserve(w.size());
  for (wchar_t wc : w) {
    char32_t cp = static_cast<char32_t>(wc);
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

std::u16string WideToUtf16(std::wstring_view w) {
  std::u16string out;
  out.reserve(w.size());
  for (wchar_t wc : w) {
    char32_t cp = static_cast<char32_t>(wc);
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
    if (cp < 0x10000) {
      out.push_back(static_cast<char16_t>(cp));
    } else {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
  }
  return out;
}

std::wstring Utf16ToWide(std::u16string_view u) {
  std::wstring out;
  out.reserve(u.size());
  for (size_t i = 0; i < u.size(); ++i) {
    char16_t c = u[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < u.size() && u[i + 1] >= 0xDC00 &&
        u[i + 1] <= 0xDFFF) {
      char32_t cp = 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (u[i + 1] - 0xDC00);
      out.push_back(static_cast<wchar_t>(cp));
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      out.push_back(L'\uFFFD');
    } else {
      out.push_back(static_cast<wchar_t>(c));
    }
  }
  return out;
}

std::u16string Utf16FromLeBytes(const void* bytes, size_t size) {
  const auto* b = static_cast<const unsigned char*>(bytes);
  std::u16string out;
  out.reserve(size / 2);
  for (size_t i = 0; i + 1 < size; i += 2)
    out.push_back(static_cast<char16_t>(b[i] | (b[i + 1] << 8)));
  return out;
}

std::vector<unsigned char> Utf16ToLeBytes(std::u16string_view utf16) {
  std::vector<unsigned char> out;
  out.reserve(utf16.size() * 2);
  for (char16_t c : utf16) {
    out.push_back(static_cast<unsigned char>(c & 0xFF));
    out.push_back(static_cast<unsigned char>(c >> 8));
  }
  return out;
}

}  // namespace win
