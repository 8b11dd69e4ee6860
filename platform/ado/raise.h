// Raising _com_error from odbc.cpp, which cannot see the class: the ODBC
// headers declare Windows types of their own (HWND, WCHAR, ...) that clash
// with those platform/com's headers are written in.
#pragma once

#include <cstdint>
#include <string>

namespace ado::detail {

[[noreturn]] void RaiseError(std::int32_t hr, const std::wstring& source,
                             const std::wstring& description, const std::wstring& sqlState = {},
                             long nativeError = 0);

}  // namespace ado::detail
