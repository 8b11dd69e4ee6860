// Conversions at the boundaries where text leaves or enters the process:
// UTF-8 in files and on the terminal, UTF-16 where a format says so, wide
// text (32-bit wchar_t here) everywhere inside.
#pragma once

#include <cstdarg>
#include <string>
#include <string_view>

namespace win {

// Invalid UTF-8 bytes become U+FFFD; nothing is dropped silently.
std::wstring Utf8ToWide(std::string_view utf8);
std::string WideToUtf8(std::wstring_view wide);
std::u16string WideToUtf16(std::wstring_view wide);
// Unpaired surrogates become U+FFFD.
std::wstring Utf16ToWide(std::u16string_view utf16);

// Locale-free number reading with the C runtime's rules: leading blanks are
// skipped, reading stops at the first character that cannot continue the
// number, and no number gives 0.
double WcsToD(const wchar_t* text);
int WToI(const wchar_t* text);
inline double WcsToD(const std::wstring& text) { return WcsToD(text.c_str()); }
inline int WToI(const std::wstring& text) { return WToI(text.c_str()); }

// printf-style formatting of wide text; %s takes a wide string, as the
// wide printf family does on the host platform the plug-in comes from.
// Without the white space (iswspace) at both ends.
std::wstring Trim(std::wstring_view text);

std::wstring Format(const wchar_t* format, ...);
std::wstring FormatV(const wchar_t* format, va_list args);

}  // namespace win
