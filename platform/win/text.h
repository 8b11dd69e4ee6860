// Numbers read from text without the locale, and printf-style wide text.
// The conversions and compares of text are in strings.h, included here for
// the callers that came to them through this header.
#pragma once

#include <cstdarg>
#include <string>
#include <string_view>

#include "platform/win/strings.h"

namespace win {

// Locale-free number reading with the C runtime's rules: leading blanks are
// skipped, reading stops at the first character that cannot continue the
// number, and no number gives 0.
double WcsToD(const wchar_t* text);
int WToI(const wchar_t* text);
inline double WcsToD(const std::wstring& text) { return WcsToD(text.c_str()); }
inline int WToI(const std::wstring& text) { return WToI(text.c_str()); }

// printf-style formatting of wide text; %s takes a wide string, as the
// wide printf family does on the host platform the plug-in comes from.
std::wstring Format(const wchar_t* format, ...);
std::wstring FormatV(const wchar_t* format, va_list args);

}  // namespace win
