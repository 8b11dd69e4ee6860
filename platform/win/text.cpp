#include "platform/win/text.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cwchar>
#include <cwctype>
#include <vector>

namespace win {

std::wstring Utf8ToWide(std::string_view s) {
  std::wstring out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    char32_t cp;
    int extra;
    if (c < 0x80) {
      cp = c;
      extra = 0;
    } else if ((c & 0xE0) == 0xC0) {
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

namespace {

bool IsBlank(wchar_t c) {
  return c == L' ' || c == L'\t' || c == L'\n' || c == L'\v' || c == L'\f' || c == L'\r';
}

// The longest prefix of plain ASCII characters, as narrow text.
std::string AsciiPrefix(const wchar_t* p) {
  std::string s;
  while (*p != 0 && *p < 0x80) s.push_back(static_cast<char>(*p++));
  return s;
}

}  // namespace

double WcsToD(const wchar_t* text) {
  if (text == nullptr) return 0.0;
  while (IsBlank(*text)) ++text;
  std::string s = AsciiPrefix(text);
  bool negative = false;
  size_t pos = 0;
  if (pos < s.size() && (s[pos] == '+' || s[pos] == '-')) {
    negative = s[pos] == '-';
    ++pos;
  }
  // from_chars refuses a sign; anything after one must start a number.
  if (pos < s.size() && (s[pos] == '+' || s[pos] == '-')) return 0.0;
  double value = 0.0;
  const char* first = s.data() + pos;
  const char* last = s.data() + s.size();
  std::from_chars_result r;
  if (last - first > 2 && first[0] == '0' && (first[1] == 'x' || first[1] == 'X')) {
    r = std::from_chars(first + 2, last, value, std::chars_format::hex);
    if (r.ec == std::errc::invalid_argument) {
      // "0x" with no hex digits reads as the number 0.
      value = 0.0;
      r.ec = std::errc();
    }
  } else {
    r = std::from_chars(first, last, value, std::chars_format::general);
  }
  if (r.ec == std::errc::invalid_argument) return 0.0;
  if (r.ec == std::errc::result_out_of_range) {
    // Keep the C runtime's answer for overflow: infinity, or 0 on underflow.
    const char* p = first;
    bool big = false;
    while (p < last && (*p == '0' || *p == '.')) ++p;
    big = p < last && *p >= '1' && *p <= '9';
    std::string rest(first, last);
    auto e = rest.find_first_of("eE");
    if (e != std::string::npos && e + 1 < rest.size() && rest[e + 1] == '-') big = false;
    value = big ? HUGE_VAL : 0.0;
  }
  return negative ? -value : value;
}

int WToI(const wchar_t* text) {
  if (text == nullptr) return 0;
  while (IsBlank(*text)) ++text;
  bool negative = false;
  if (*text == L'+' || *text == L'-') {
    negative = *text == L'-';
    ++text;
  }
  long long value = 0;
  bool overflow = false;
  while (*text >= L'0' && *text <= L'9') {
    if (!overflow) {
      value = value * 10 + (*text - L'0');
      if (value > static_cast<long long>(INT_MAX) + 1) overflow = true;
    }
    ++text;
  }
  if (negative) {
    if (overflow || value > static_cast<long long>(INT_MAX) + 1) return INT_MIN;
    return static_cast<int>(-value);
  }
  if (overflow || value > INT_MAX) return INT_MAX;
  return static_cast<int>(value);
}

std::wstring Trim(std::wstring_view text) {
  size_t a = 0;
  size_t b = text.size();
  while (a < b && std::iswspace(text[a])) ++a;
  while (b > a && std::iswspace(text[b - 1])) --b;
  return std::wstring(text.substr(a, b - a));
}

std::wstring FormatV(const wchar_t* format, va_list args) {
  // Translate the wide-printf convention (%s, %c take wide arguments) into
  // the one of this C library (%ls, %lc).
  std::wstring fmt;
  for (const wchar_t* p = format; *p != 0; ++p) {
    fmt.push_back(*p);
    if (*p != L'%') continue;
    ++p;
    if (*p == L'%') {
      fmt.push_back(*p);
      continue;
    }
    while (*p != 0 && std::wcschr(L"-+ #0123456789.*", *p) != nullptr) fmt.push_back(*p++);
    bool hasLength = false;
    while (*p != 0 && std::wcschr(L"hlLqjzt", *p) != nullptr) {
      fmt.push_back(*p++);
      hasLength = true;
    }
    if (*p == 0) break;
    if (!hasLength && (*p == L's' || *p == L'c')) fmt.push_back(L'l');
    fmt.push_back(*p);
  }
  std::vector<wchar_t> buffer(256);
  for (;;) {
    va_list copy;
    va_copy(copy, args);
    int n = std::vswprintf(buffer.data(), buffer.size(), fmt.c_str(), copy);
    va_end(copy);
    if (n >= 0 && static_cast<size_t>(n) < buffer.size()) return std::wstring(buffer.data(), n);
    if (buffer.size() > (1u << 24)) return std::wstring();
    buffer.resize(buffer.size() * 4);
  }
}

std::wstring Format(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  std::wstring out = FormatV(format, args);
  va_end(args);
  return out;
}

}  // namespace win
