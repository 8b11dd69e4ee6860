// The small text helpers every platform room needs, in one place: text
// compared without regard to case, blanks trimmed, and the conversions at
// the boundaries where text leaves or enters the process (UTF-8 in files and
// on the terminal, UTF-16 where a format says so, wide text, 32-bit wchar_t
// here, everywhere inside).
#pragma once

#include <string>
#include <string_view>

namespace win {

// Case is folded per character with towlower/towupper, so letters beyond
// ASCII fold only under a locale that knows them.
std::wstring ToLower(std::wstring_view text);
std::wstring ToUpper(std::wstring_view text);
// <0, 0 or >0 as a before, equal to or after b.
int CompareNoCase(std::wstring_view a, std::wstring_view b);
bool EqualsNoCase(std::wstring_view a, std::wstring_view b);
bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix);

// Without the white space (iswspace; for bytes: space, \t, \n, \v, \f, \r)
// at both ends.
std::wstring Trim(std::wstring_view text);
std::string Trim(std::string_view text);

// Invalid UTF-8 bytes become U+FFFD; nothing is dropped silently.
std::wstring Utf8ToWide(std::string_view utf8);
std::string WideToUtf8(std::wstring_view wide);
std::u16string WideToUtf16(std::wstring_view wide);
// Unpaired surrogates become U+FFFD.
std::wstring Utf16ToWide(std::u16string_view utf16);

}  // namespace win
