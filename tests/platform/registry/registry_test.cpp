// The registry stand-in: types and bytes kept exactly, the .reg file form,
// atomic and locked saves, damaged files, and the machine hive's protection.
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/registry/hive.h"
#include "platform/registry/registry.h"
#include "tests/support/test_support.h"

namespace {

using gm::test::ReadFile;
using gm::test::TempDir;
using gm::test::WriteFile;

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    registry::SetHiveFolder(dir.path());
    registry::AllowMachineWrites(false);
    registry::SetDamageReporter([this](const std::wstring& m) { damage.push_back(m); });
  }
  void TearDown() override {
    registry::SetDamageReporter(nullptr);
    registry::SetHiveFolder({});
  }

  HKEY Create(HKEY root, const wchar_t* path) {
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExW(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                             KEY_READ | KEY_WRITE, nullptr, &key, nullptr));
    return key;
  }

  std::vector<BYTE> Query(HKEY key, const wchar_t* name, DWORD& type) {
    DWORD size = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return {};
    std::vector<BYTE> data(size);
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, name, nullptr, &type, data.data(), &size));
    return data;
  }

  TempDir dir;
  std::vector<std::wstring> damage;
};

TEST_F(RegistryTest, ValuesKeepTypeAndBytesAcrossTheFile) {
  HKEY key = Create(HKEY_CURRENT_USER, L"Software\\Test");
  const BYTE text[] = {'h', 0, 0xE9, 0, 0, 0};  // "hé" with its NUL
  const BYTE odd[] = {'a', 0, 'b'};             // not well-formed text
  const BYTE dword[] = {0x78, 0x56, 0x34, 0x12};
  const BYTE binary[] = {0, 1, 2, 0xFF, 0x0A, 0x0D};
  const BYTE noNul[] = {'x', 0};
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, L"Text", 0, REG_SZ, text, sizeof(text)));
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, L"Odd", 0, REG_SZ, odd, sizeof(odd)));
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, L"Num", 0, REG_DWORD, dword, sizeof(dword)));
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, L"Bin", 0, REG_BINARY, binary, sizeof(binary)));
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, L"NoNul", 0, REG_SZ, noNul, sizeof(noNul)));
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, L"Empty", 0, REG_BINARY, nullptr, 0));
  RegCloseKey(key);

  std::string file = ReadFile(dir / "HKEY_CURRENT_USER.reg");
  EXPECT_EQ(0u, file.find("Windows Registry Editor Version 5.00\n"));
  EXPECT_NE(std::string::npos, file.find("[HKEY_CURRENT_USER\\Software\\Test]"));
  EXPECT_NE(std::string::npos, file.find("\"Text\"=\"h\xC3\xA9\"\n"));
  EXPECT_NE(std::string::npos, file.find("\"Num\"=dword:12345678\n"));
  EXPECT_NE(std::string::npos, file.find("\"Odd\"=hex(1):61,00,62\n"));

  HKEY again = nullptr;
  ASSERT_EQ(ERROR_SUCCESS,
            RegOpenKeyExW(HKEY_CURRENT_USER, L"software\\TEST", 0, KEY_READ, &again));
  DWORD type = 0;
  EXPECT_EQ(std::vector<BYTE>(text, text + sizeof(text)), Query(again, L"text", type));
  EXPECT_EQ(REG_SZ, type);
  EXPECT_EQ(std::vector<BYTE>(odd, odd + sizeof(odd)), Query(again, L"Odd", type));
  EXPECT_EQ(REG_SZ, type);
  EXPECT_EQ(std::vector<BYTE>(dword, dword + 4), Query(again, L"Num", type));
  EXPECT_EQ(REG_DWORD, type);
  EXPECT_EQ(std::vector<BYTE>(binary, binary + sizeof(binary)), Query(again, L"Bin", type));
  EXPECT_EQ(std::vector<BYTE>(noNul, noNul + sizeof(noNul)), Query(again, L"NoNul", type));
  EXPECT_TRUE(Query(again, L"Empty", type).empty());
  EXPECT_EQ(REG_BINARY, type);
  RegCloseKey(again);
}

TEST_F(RegistryTest, QueryIntoASmallBufferAsksForMore) {
  HKEY key = Create(HKEY_CURRENT_USER, L"Software\\Test");
  const BYTE text[] = {'1', 0, '2', 0, 0, 0};
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, L"V", 0, REG_SZ, text, sizeof(text)));
  BYTE small[4];
  DWORD size = sizeof(small);
  DWORD type = 0;
  EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExW(key, L"V", nullptr, &type, small, &size));
  EXPECT_EQ(6u, size);
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExW(key, L"Missing", nullptr, &type, small, &size));
  RegCloseKey(key);
}

TEST_F(RegistryTest, EnumerationKeepsOrderAndReportsShortBuffers) {
  HKEY key = Create(HKEY_CURRENT_USER, L"Software\\Enum");
  const BYTE v[] = {'x', 0, 0, 0};
  for (const wchar_t* name : {L"zeta", L"alpha", L"mid"}) {
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, name, 0, REG_SZ, v, sizeof(v)));
  }
  RegCloseKey(Create(HKEY_CURRENT_USER, L"Software\\Enum\\Child"));
  std::vector<std::wstring> names;
  for (DWORD i = 0;; ++i) {
    wchar_t name[64];
    DWORD nameSize = 64;
    LONG rc = RegEnumValueW(key, i, name, &nameSize, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    ASSERT_EQ(ERROR_SUCCESS, rc);
    names.emplace_back(name, nameSize);
  }
  EXPECT_EQ((std::vector<std::wstring>{L"zeta", L"alpha", L"mid"}), names);
  wchar_t tiny[4];
  DWORD tinySize = 4;
  EXPECT_EQ(ERROR_MORE_DATA,
            RegEnumValueW(key, 0, tiny, &tinySize, nullptr, nullptr, nullptr, nullptr))
      << "a name needs room for its terminator";
  wchar_t sub[16];
  DWORD subSize = 16;
  ASSERT_EQ(ERROR_SUCCESS,
            RegEnumKeyExW(key, 0, sub, &subSize, nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(std::wstring(L"Child"), sub);
  RegCloseKey(key);
}

TEST_F(RegistryTest, DeletingKeysAndValues) {
  HKEY key = Create(HKEY_CURRENT_USER, L"Software\\Del\\Inner");
  RegCloseKey(key);
  HKEY parent = Create(HKEY_CURRENT_USER, L"Software");
  EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyW(parent, L"Del")) << "a key with sub-keys stays";
  EXPECT_EQ(ERROR_SUCCESS, RegDeleteTreeW(parent, L"Del"));
  HKEY gone = nullptr;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(parent, L"Del", 0, KEY_READ, &gone));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueW(parent, L"nothing"));
  RegCloseKey(parent);
  EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(parent)) << "a closed handle is refused";
}

TEST_F(RegistryTest, SavesLeaveNoTemporaryFiles) {
  HKEY key = Create(HKEY_CURRENT_USER, L"Software\\A");
  const BYTE d[] = {1, 0, 0, 0};
  for (int i = 0; i < 20; ++i) {
    std::wstring name = L"v" + std::to_wstring(i);
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, name.c_str(), 0, REG_DWORD, d, 4));
  }
  RegCloseKey(key);
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    std::string name = entry.path().filename().string();
    EXPECT_EQ(std::string::npos, name.find(".tmp")) << name;
  }
}

TEST_F(RegistryTest, TwoProcessesWritingAtOnceLoseNothing) {
  constexpr int kPerProcess = 60;
  std::vector<pid_t> children;
  for (int p = 0; p < 2; ++p) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      int failures = 0;
      for (int i = 0; i < kPerProcess; ++i) {
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Race", 0, nullptr, 0,
                            KEY_READ | KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
          ++failures;
          continue;
        }
        std::wstring name = L"p" + std::to_wstring(p) + L"_" + std::to_wstring(i);
        BYTE d[4] = {static_cast<BYTE>(i), 0, 0, 0};
        if (RegSetValueExW(key, name.c_str(), 0, REG_DWORD, d, 4) != ERROR_SUCCESS) ++failures;
        RegCloseKey(key);
      }
      _exit(failures == 0 ? 0 : 1);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(pid, waitpid(pid, &status, 0));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Race", 0, KEY_READ, &key));
  int count = 0;
  for (DWORD i = 0;; ++i) {
    wchar_t name[64];
    DWORD nameSize = 64;
    if (RegEnumValueW(key, i, name, &nameSize, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    ++count;
  }
  RegCloseKey(key);
  EXPECT_EQ(2 * kPerProcess, count);
}

// The hive is kept between calls; what another process or a person writes
// to the file must still be seen by the next call.
TEST_F(RegistryTest, ChangesMadeOutsideAreSeenByTheNextCall) {
  HKEY key = Create(HKEY_CURRENT_USER, L"Software\\Seen");
  const BYTE one[] = {1, 0, 0, 0};
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, L"N", 0, REG_DWORD, one, 4));
  DWORD type = 0;
  EXPECT_EQ(std::vector<BYTE>(one, one + 4), Query(key, L"N", type));

  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    const BYTE two[] = {2, 0, 0, 0};  // same size: only the file's identity tells
    HKEY k = nullptr;
    bool ok =
        RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Seen", 0, KEY_WRITE, &k) == ERROR_SUCCESS &&
        RegSetValueExW(k, L"N", 0, REG_DWORD, two, 4) == ERROR_SUCCESS;
    _exit(ok ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(pid, waitpid(pid, &status, 0));
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(2, Query(key, L"N", type).at(0));

  // Edited in place (same inode), as a text editor may do.
  WriteFile(dir / "HKEY_CURRENT_USER.reg",
            "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Seen]\n"
            "\"N\"=dword:00000003\n\"M\"=dword:00000004\n");
  EXPECT_EQ(3, Query(key, L"N", type).at(0));
  // A write after the edit keeps what the edit added.
  const BYTE five[] = {5, 0, 0, 0};
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, L"N", 0, REG_DWORD, five, 4));
  EXPECT_NE(std::string::npos,
            ReadFile(dir / "HKEY_CURRENT_USER.reg").find("\"M\"=dword:00000004"));
  RegCloseKey(key);
}

TEST_F(RegistryTest, DamagedFileIsReportedAndKeptAside) {
  const std::string broken =
      "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\X]\n\"a\"=dword:zz\n";
  WriteFile(dir / "HKEY_CURRENT_USER.reg", broken);
  HKEY key = nullptr;
  // Reads fall back to a fresh hive, whose Software key exists.
  EXPECT_EQ(ERROR_FILE_NOT_FOUND,
            RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\X", 0, KEY_READ, &key));
  ASSERT_EQ(1u, damage.size());
  EXPECT_NE(std::wstring::npos, damage[0].find(L"HKEY_CURRENT_USER.reg:4:"));
  std::string aside;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    if (entry.path().filename().string().find(".damaged") != std::string::npos) {
      aside = ReadFile(entry.path());
    }
  }
  EXPECT_EQ(broken, aside) << "the damaged file is kept byte for byte";
  // A later write starts a new file and does not touch the kept one.
  key = Create(HKEY_CURRENT_USER, L"Software\\Y");
  RegCloseKey(key);
  EXPECT_NE(std::string::npos, ReadFile(dir / "HKEY_CURRENT_USER.reg").find("Software\\Y"));
}

TEST_F(RegistryTest, MachineHiveIsReadOnlyForThePlugin) {
  WriteFile(dir / "HKEY_LOCAL_MACHINE.reg",
            "Windows Registry Editor Version 5.00\n\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane\\OrvaneGridmason]\n"
            "\"IcadCompany\"=\"Host CAD 2024\"\n");
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Orvane\\OrvaneGridmason",
                                         0, KEY_READ, &key));
  DWORD type = 0;
  std::vector<BYTE> data = Query(key, L"IcadCompany", type);
  EXPECT_EQ(REG_SZ, type);
  EXPECT_EQ(28u, data.size());
  const BYTE d[4] = {};
  EXPECT_EQ(ERROR_ACCESS_DENIED, RegSetValueExW(key, L"x", 0, REG_DWORD, d, 4));
  RegCloseKey(key);
  HKEY created = nullptr;
  EXPECT_EQ(ERROR_ACCESS_DENIED,
            RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\New", 0, nullptr, 0,
                            KEY_READ | KEY_WRITE, nullptr, &created, nullptr));
}

TEST_F(RegistryTest, ClassesRootLivesInMemoryOnly) {
  registry::ClearClassesRoot();
  HKEY key = Create(HKEY_CLASSES_ROOT, L"Excel.Application\\CLSID");
  const BYTE v[] = {'x', 0, 0, 0};
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, nullptr, 0, REG_SZ, v, sizeof(v)));
  RegCloseKey(key);
  EXPECT_FALSE(std::filesystem::exists(dir / "HKEY_CLASSES_ROOT.reg"));
  ASSERT_EQ(ERROR_SUCCESS,
            RegOpenKeyExW(HKEY_CLASSES_ROOT, L"Excel.Application\\CLSID", 0, KEY_READ, &key));
  RegCloseKey(key);
  registry::ClearClassesRoot();
  EXPECT_EQ(ERROR_FILE_NOT_FOUND,
            RegOpenKeyExW(HKEY_CLASSES_ROOT, L"Excel.Application", 0, KEY_READ, &key));
}

TEST(HiveText, ParseErrorsNameTheLine) {
  registry::ParseError error;
  EXPECT_FALSE(registry::ParseHive("not a registry file\n", L"HKEY_CURRENT_USER", error));
  EXPECT_EQ(1, error.line);
  EXPECT_FALSE(registry::ParseHive("Windows Registry Editor Version 5.00\n\"v\"=\"x\"\n",
                                   L"HKEY_CURRENT_USER", error));
  EXPECT_EQ(2, error.line);
  EXPECT_FALSE(
      registry::ParseHive("Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\A]\n",
                          L"HKEY_CURRENT_USER", error));
  EXPECT_EQ(2, error.line);
}

TEST(HiveText, LongBinaryValuesSurviveLineContinuations) {
  registry::Key root;
  root.name = L"HKEY_CURRENT_USER";
  std::vector<BYTE> big(300);
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<BYTE>(i * 7);
  root.AddSubkey(L"K")->SetValue(L"big \"quoted\" \\ name", REG_BINARY, big);
  std::string text = registry::SerializeHive(root, L"HKEY_CURRENT_USER");
  EXPECT_NE(std::string::npos, text.find("\\\n  ")) << "long values wrap";
  registry::ParseError error;
  auto parsed = registry::ParseHive(text, L"HKEY_CURRENT_USER", error);
  ASSERT_TRUE(parsed) << error.message;
  registry::Value* v = (*parsed)->FindSubkey(L"k")->FindValue(L"BIG \"QUOTED\" \\ NAME");
  ASSERT_NE(nullptr, v);
  EXPECT_EQ(big, v->data);
}

// As the registry editor saves: UTF-16LE with a byte order mark and CRLF.
TEST(HiveText, RegistryEditorUtf16FilesAreRead) {
  const std::u16string text =
      u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\A]\r\n"
      u"\"Title\"=\"\u00d8 20 \u00b1 \U0001F600\"\r\n\"N\"=dword:0000002a\r\n";
  std::string bytes = "\xFF\xFE";
  for (char16_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  registry::ParseError error;
  auto parsed = registry::ParseHive(bytes, L"HKEY_CURRENT_USER", error);
  ASSERT_TRUE(parsed) << error.line << ": " << error.message;
  registry::Key* key = (*parsed)->FindSubkey(L"Software")->FindSubkey(L"A");
  ASSERT_NE(nullptr, key);
  registry::Value* title = key->FindValue(L"Title");
  ASSERT_NE(nullptr, title);
  const std::u16string want = u"\u00d8 20 \u00b1 \U0001F600";
  ASSERT_EQ((want.size() + 1) * 2, title->data.size());
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(want[i], title->data[2 * i] | (title->data[2 * i + 1] << 8)) << i;
  }
  ASSERT_NE(nullptr, key->FindValue(L"N"));
  EXPECT_EQ(42, key->FindValue(L"N")->data[0]);

  // Cut in the middle of a character: refused, not read as something else.
  EXPECT_FALSE(registry::ParseHive(bytes.substr(0, bytes.size() - 1), L"HKEY_CURRENT_USER", error));
}

}  // namespace
