#include "ui/os_description.h"

#include <algorithm>
#include <vector>

#include "platform/registry/registry.h"
#include "platform/win/strings.h"
#include "platform/win/text.h"

namespace {

// The ProductType value of the older NT systems, empty when it cannot be read.
std::wstring RegistryProductType() {
  std::wstring text;
  if (!ReadMachineString(L"SYSTEM\\CurrentControlSet\\Control\\ProductOptions", L"ProductType",
                         text)) {
    return {};
  }
  return text;
}

std::wstring ServicePack(const OSVERSIONINFOEXW& info) {
  size_t n = 0;
  while (n < std::size(info.szCSDVersion) && info.szCSDVersion[n] != 0) ++n;
  return std::wstring(info.szCSDVersion, n);
}

}  // namespace

bool ReadMachineString(const wchar_t* keyPath, const wchar_t* name, std::wstring& text) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
    return false;
  }
  DWORD type = REG_NONE;
  DWORD size = 0;
  LONG status = RegQueryValueExW(key, name, nullptr, &type, nullptr, &size);
  std::vector<BYTE> data(size);
  if (status == ERROR_SUCCESS && type == REG_SZ) {
    status = RegQueryValueExW(key, name, nullptr, &type, data.data(), &size);
  }
  RegCloseKey(key);
  if (status != ERROR_SUCCESS || type != REG_SZ) return false;
  // Stored as UTF-16LE; the text ends at its first NUL (or with the data).
  const std::u16string utf16 = win::Utf16FromLeBytes(data.data(), size);
  text = win::Utf16ToWide(utf16.substr(0, utf16.find(u'\0')));
  return true;
}

std::wstring DescribeWindowsVersion(const OSVERSIONINFOEXW& info, bool extended) {
  std::wstring out;
  switch (info.dwPlatformId) {
    case VER_PLATFORM_WIN32_NT: {
      if (info.dwMajorVersion < 5) {
        out += L"Microsoft Windows NT ";
      } else if (info.dwMajorVersion == 5 && info.dwMinorVersion == 0) {
        out += L"Microsoft Windows 2000 ";
      } else if (info.dwMajorVersion == 5 && info.dwMinorVersion == 1) {
        out += L"Microsoft Windows XP ";
      }
      if (extended) {
        if (info.wProductType == VER_NT_WORKSTATION) {
          out += (info.wSuiteMask & VER_SUITE_PERSONAL) != 0 ? L"Personal " : L"Professional ";
        } else if (info.wProductType == VER_NT_SERVER ||
                   info.wProductType == VER_NT_DOMAIN_CONTROLLER) {
          if ((info.wSuiteMask & VER_SUITE_DATACENTER) != 0) {
            out += L"DataCenter Server ";
          } else if ((info.wSuiteMask & VER_SUITE_ENTERPRISE) != 0) {
            out += L"Advanced Server ";
          } else {
            out += L"Server ";
          }
        }
      } else {
        std::wstring product = RegistryProductType();
        if (win::EqualsNoCase(product, L"WINNT")) out += L"Professional ";
        if (win::EqualsNoCase(product, L"LANMANNT")) out += L"Server ";
        if (win::EqualsNoCase(product, L"SERVERNT")) out += L"Advanced Server ";
      }
      int build = static_cast<int>(info.dwBuildNumber & 0xFFFF);
      if (info.dwMajorVersion > 4) {
        out += win::Format(L"%s (Build %d)\n", ServicePack(info).c_str(), build);
      } else {
        out += win::Format(L"version %d.%d %s (Build %d)\n", static_cast<int>(info.dwMajorVersion),
                           static_cast<int>(info.dwMinorVersion), ServicePack(info).c_str(), build);
      }
      break;
    }
    case VER_PLATFORM_WIN32_WINDOWS:
      if (info.dwMajorVersion == 4 && info.dwMinorVersion == 0) {
        out = L"Microsoft Windows 95 ";
        // The second release marks itself "B" or "C" in the service-pack text.
        if (info.szCSDVersion[1] == L'C' || info.szCSDVersion[1] == L'B') out += L"OSR2";
      } else if (info.dwMajorVersion == 4 && info.dwMinorVersion == 10) {
        out = L"Microsoft Windows 98 ";
      } else if (info.dwMajorVersion == 4 && info.dwMinorVersion == 90) {
        out = L"Microsoft Windows Me ";
      }
      break;
    case VER_PLATFORM_WIN32s:
      out = L"Microsoft Win32s";
      break;
    default:
      break;
  }
  return out;
}

std::wstring OperatingSystemDescription() {
  OSVERSIONINFOEXW info;
  info.dwOSVersionInfoSize = sizeof info;
  std::wstring description;
  if (GetVersionExW(&info)) {
    description = DescribeWindowsVersion(info, true);
  } else {
    OSVERSIONINFOW small;
    small.dwOSVersionInfoSize = sizeof small;
    if (GetVersionExW(&small)) {
      OSVERSIONINFOEXW copy;
      copy.dwMajorVersion = small.dwMajorVersion;
      copy.dwMinorVersion = small.dwMinorVersion;
      copy.dwBuildNumber = small.dwBuildNumber;
      copy.dwPlatformId = small.dwPlatformId;
      std::copy(std::begin(small.szCSDVersion), std::end(small.szCSDVersion), copy.szCSDVersion);
      description = DescribeWindowsVersion(copy, false);
    }
  }
  // Not a Windows system: say what it is rather than nothing.
  if (description.empty()) description = shell::RunningSystemDescription();
  return description;
}
