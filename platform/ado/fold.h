// Comparing names without regard to case, the same under every locale:
// field, table and keyword names as the Access engine compares them.
#pragma once

#include <string_view>

namespace ado::detail {

// The lower-case form of a letter of the Latin, Greek and Cyrillic
// alphabets; any other character unchanged.
wchar_t FoldCase(wchar_t c);
bool EqualsNoCase(std::wstring_view a, std::wstring_view b);
// <0, 0 or >0 as a sorts before, with or after b.
int CompareNoCase(std::wstring_view a, std::wstring_view b);

}  // namespace ado::detail
