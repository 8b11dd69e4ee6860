// The description of the operating system that a support e-mail carries.
#pragma once

#include <string>

#include "platform/shell/os_version.h"

// Describes a Windows version record. extended: the larger record was
// given (wSuiteMask and wProductType hold); otherwise only the fields of the
// smaller one, and the product type comes from the local machine's
// registry. Empty for a platform that is none of the Windows families.
std::wstring DescribeWindowsVersion(const OSVERSIONINFOEXW& info, bool extended);

// A REG_SZ value of HKEY_LOCAL_MACHINE\keyPath; false when the key does
// not open for reading or the value is missing or of another type.
bool ReadMachineString(const wchar_t* keyPath, const wchar_t* name, std::wstring& text);

// The running system: the larger version record, else the smaller one;
// where the system gives neither (as here), the system's own description.
std::wstring OperatingSystemDescription();
