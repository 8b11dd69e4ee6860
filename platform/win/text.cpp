#include "platform/win/text.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cwchar>
#include <cwctype>
#include <vector>

namespace win {

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
