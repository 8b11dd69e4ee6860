// What the running operating system is, for a support request: the
// system's version query with its two version records, and a description
// of the system this really is.
#pragma once

#include <filesystem>
#include <string>

#include "platform/win/wintypes.h"

// The version records. The larger one is asked for first; callers set
// dwOSVersionInfoSize to the size of the record they pass.
struct OSVERSIONINFOW {
  DWORD dwOSVersionInfoSize = 0;
  DWORD dwMajorVersion = 0;
  DWORD dwMinorVersion = 0;
  DWORD dwBuildNumber = 0;
  DWORD dwPlatformId = 0;
  WCHAR szCSDVersion[128] = {};  // the service pack, "Service Pack 3"
};

struct OSVERSIONINFOEXW {
  DWORD dwOSVersionInfoSize = 0;
  DWORD dwMajorVersion = 0;
  DWORD dwMinorVersion = 0;
  DWORD dwBuildNumber = 0;
  DWORD dwPlatformId = 0;
  WCHAR szCSDVersion[128] = {};
  WORD wServicePackMajor = 0;
  WORD wServicePackMinor = 0;
  WORD wSuiteMask = 0;
  BYTE wProductType = 0;
  BYTE wReserved = 0;
};

constexpr DWORD VER_PLATFORM_WIN32s = 0;
constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
constexpr DWORD VER_PLATFORM_WIN32_NT = 2;

constexpr BYTE VER_NT_WORKSTATION = 1;
constexpr BYTE VER_NT_DOMAIN_CONTROLLER = 2;
constexpr BYTE VER_NT_SERVER = 3;

constexpr WORD VER_SUITE_ENTERPRISE = 0x0002;
constexpr WORD VER_SUITE_DATACENTER = 0x0080;
constexpr WORD VER_SUITE_PERSONAL = 0x0200;

// This system is no Windows, so there is no version record to give: both
// calls fail (and leave the record as it was). A caller that wants to
// describe the system falls back to shell::RunningSystemDescription.
BOOL GetVersionExW(OSVERSIONINFOW* info);
BOOL GetVersionExW(OSVERSIONINFOEXW* info);

namespace shell {

// "Debian GNU/Linux 12 (bookworm), Linux 6.1.0-18-amd64 x86_64": the
// distribution's name (PRETTY_NAME of /etc/os-release, else
// /usr/lib/os-release) when there is one, then the kernel's name, release
// and machine (uname). Either part alone when the other is missing; empty
// when both are.
std::wstring RunningSystemDescription();

// The same with the os-release file given (tests).
std::wstring RunningSystemDescription(const std::filesystem::path& osRelease);

// The distribution's name from an os-release text: PRETTY_NAME, else NAME
// with VERSION; values unquoted with the file's shell-like rules. Empty
// when it names none.
std::wstring DistributionName(const std::string& osReleaseText);

}  // namespace shell
