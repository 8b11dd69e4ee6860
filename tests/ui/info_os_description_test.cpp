// The operating-system description of a support e-mail, from given version
// records: every family, edition and number format.
#include <gtest/gtest.h>

#include <cwchar>

#include "platform/registry/registry.h"
#include "platform/shell/os_version.h"
#include "tests/support/test_support.h"
#include "ui/os_description.h"

namespace {

OSVERSIONINFOEXW Record(DWORD platform, DWORD major, DWORD minor, DWORD build,
                        const wchar_t* servicePack = L"", BYTE product = 0, WORD suites = 0) {
  OSVERSIONINFOEXW r;
  r.dwOSVersionInfoSize = sizeof r;
  r.dwPlatformId = platform;
  r.dwMajorVersion = major;
  r.dwMinorVersion = minor;
  r.dwBuildNumber = build;
  std::wcsncpy(r.szCSDVersion, servicePack, 127);
  r.wProductType = product;
  r.wSuiteMask = suites;
  return r;
}

constexpr DWORD NT = VER_PLATFORM_WIN32_NT;

TEST(OsDescription, NtFamilyWithTheLargerRecord) {
  EXPECT_EQ(
      DescribeWindowsVersion(Record(NT, 5, 1, 2600, L"Service Pack 3", VER_NT_WORKSTATION), true),
      L"Microsoft Windows XP Professional Service Pack 3 (Build 2600)\n");
  EXPECT_EQ(
      DescribeWindowsVersion(
          Record(NT, 5, 1, 2600, L"Service Pack 2", VER_NT_WORKSTATION, VER_SUITE_PERSONAL), true),
      L"Microsoft Windows XP Personal Service Pack 2 (Build 2600)\n");
  EXPECT_EQ(DescribeWindowsVersion(Record(NT, 5, 0, 2195, L"Service Pack 4", VER_NT_SERVER,
                                          VER_SUITE_DATACENTER | VER_SUITE_ENTERPRISE),
                                   true),
            L"Microsoft Windows 2000 DataCenter Server Service Pack 4 (Build 2195)\n")
      << "the data-centre bit wins over the enterprise bit";
  EXPECT_EQ(DescribeWindowsVersion(Record(NT, 5, 0, 2195, L"", VER_NT_SERVER, VER_SUITE_ENTERPRISE),
                                   true),
            L"Microsoft Windows 2000 Advanced Server  (Build 2195)\n");
  EXPECT_EQ(DescribeWindowsVersion(Record(NT, 5, 0, 2195, L"", VER_NT_DOMAIN_CONTROLLER), true),
            L"Microsoft Windows 2000 Server  (Build 2195)\n");
  // NT 4 with the larger record: the older number format.
  EXPECT_EQ(
      DescribeWindowsVersion(Record(NT, 4, 0, 1381, L"Service Pack 6", VER_NT_WORKSTATION), true),
      L"Microsoft Windows NT Professional version 4.0 Service Pack 6 (Build 1381)\n");
  // Later systems have no family name of their own here; the edition and
  // build still say what they are.
  EXPECT_EQ(DescribeWindowsVersion(Record(NT, 10, 0, 19045, L"", VER_NT_WORKSTATION), true),
            L"Professional  (Build 19045)\n");
}

class OsDescriptionRegistry : public ::testing::Test {
 protected:
  void SetUp() override { registry::SetHiveFolder(dir.path()); }
  void TearDown() override { registry::SetHiveFolder({}); }
  void ProductType(const std::string& value) {
    gm::test::WriteFile(dir / "HKEY_LOCAL_MACHINE.reg",
                        "Windows Registry Editor Version 5.00\n\n"
                        "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\ProductOptions]\n"
                        "\"ProductType\"=" +
                            value + "\n");
  }
  gm::test::TempDir dir;
};

TEST_F(OsDescriptionRegistry, TheSmallerRecordTakesTheProductTypeFromTheRegistry) {
  OSVERSIONINFOEXW nt4 = Record(NT, 4, 0, 1381, L"Service Pack 5");
  ProductType("\"WinNT\"");
  EXPECT_EQ(DescribeWindowsVersion(nt4, false),
            L"Microsoft Windows NT Professional version 4.0 Service Pack 5 (Build 1381)\n");
  ProductType("\"LANMANNT\"");
  EXPECT_EQ(DescribeWindowsVersion(nt4, false),
            L"Microsoft Windows NT Server version 4.0 Service Pack 5 (Build 1381)\n");
  ProductType("\"ServerNT\"");
  EXPECT_EQ(DescribeWindowsVersion(nt4, false),
            L"Microsoft Windows NT Advanced Server version 4.0 Service Pack 5 (Build 1381)\n");
  ProductType("\"Something else\"");
  EXPECT_EQ(DescribeWindowsVersion(nt4, false),
            L"Microsoft Windows NT version 4.0 Service Pack 5 (Build 1381)\n");
  ProductType("dword:00000001");
  EXPECT_EQ(DescribeWindowsVersion(nt4, false),
            L"Microsoft Windows NT version 4.0 Service Pack 5 (Build 1381)\n")
      << "a value of another type adds nothing";
  std::filesystem::remove(dir / "HKEY_LOCAL_MACHINE.reg");
  EXPECT_EQ(DescribeWindowsVersion(Record(NT, 3, 51, 1057), false),
            L"Microsoft Windows NT version 3.51  (Build 1057)\n");
  // The record's own edition fields are not looked at without the larger record.
  ProductType("\"WINNT\"");
  EXPECT_EQ(DescribeWindowsVersion(Record(NT, 5, 0, 2195, L"", VER_NT_SERVER), false),
            L"Microsoft Windows 2000 Professional  (Build 2195)\n");
}

TEST(OsDescription, NinetyFiveFamilyAndWin32s) {
  constexpr DWORD W9x = VER_PLATFORM_WIN32_WINDOWS;
  EXPECT_EQ(DescribeWindowsVersion(Record(W9x, 4, 0, 950), true), L"Microsoft Windows 95 ");
  EXPECT_EQ(DescribeWindowsVersion(Record(W9x, 4, 0, 1111, L" B"), true),
            L"Microsoft Windows 95 OSR2");
  EXPECT_EQ(DescribeWindowsVersion(Record(W9x, 4, 0, 1212, L" C"), false),
            L"Microsoft Windows 95 OSR2");
  EXPECT_EQ(DescribeWindowsVersion(Record(W9x, 4, 10, 1998, L" A"), true),
            L"Microsoft Windows 98 ");
  EXPECT_EQ(DescribeWindowsVersion(Record(W9x, 4, 90, 3000), true), L"Microsoft Windows Me ");
  EXPECT_EQ(DescribeWindowsVersion(Record(W9x, 4, 20, 0), true), L"");
  EXPECT_EQ(DescribeWindowsVersion(Record(VER_PLATFORM_WIN32s, 3, 11, 0), false),
            L"Microsoft Win32s");
  EXPECT_EQ(DescribeWindowsVersion(Record(7, 1, 0, 0), true), L"") << "no Windows family";
}

TEST(OsDescription, ThisSystemIsDescribedAsWhatItIs) {
  // The version query has no record here, so the system's own description stands in.
  EXPECT_EQ(OperatingSystemDescription(), shell::RunningSystemDescription());
  EXPECT_FALSE(OperatingSystemDescription().empty());
}

}  // namespace
