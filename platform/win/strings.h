// The small text helpers every platform room needs, in one place: text
// compared without regard to case, blanks trimmed, and the conversions at
// the boundaries where text leaves or enters the process (UTF-8 in files and
// on the terminal, UTF-16 where a format says so, wide text, 32-bit wchar_t
// here, everywhere inside).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace win {

// Case is folded per character with towlower/towupper, so letters beyond
// ASCII fold only under a locale that knows them.
std::wstring ToLower(std::wstring_view text);
std::wstring ToUpper(std::wstring_view text);
// <0, 0 or >0 as a before, equal to or after b.
int CompareNoCase(std::wstring_view a, std::wstring_view b);
bool EqualsNoCase(std::wstring_view a, std::wstring_view b);
bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix);
// Only A-Z fold: for names from files and fonts that must not depend on the
// locale.
std::wstring ToLowerAscii(std::wstring_view text);
std::string ToLowerAscii(std::string_view text);

// Without the white space (iswspace; for bytes: space, \t, \n, \v, \f, \r)
// at both ends.
std::wstring Trim(std::wstring_view text);
std::string Trim(std::string_view text);
// Without the given blanks at both ends, for formats that name their own.
std::wstring Trim(std::wstring_view text, std::wstring_view blanks);

// Invalid UTF-8 bytes become U+FFFD, one for each byte; nothing is dropped
// silently. *replaced, when given, is set (never cleared) when one did.
std::wstring Utf8ToWide(std::string_view utf8, bool* replaced = nullptr);
std::string WideToUtf8(std::wstring_view wide);
std::u16string WideToUtf16(std::wstring_view wide);
// Unpaired surrogates become U+FFFD.
std::wstring Utf16ToWide(std::u16string_view utf16);
// UTF-16 code units as little-endian byte pairs, the registry's form; an odd
// last byte is not a unit and is left out.
std::u16string Utf16FromLeBytes(const void* bytes, size_t size);
std::vector<unsigned char> Utf16ToLeBytes(std::u16string_view utf16);

}  // namespace win
