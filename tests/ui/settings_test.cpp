// The settings store over the registry stand-in: defaults for a fresh user,
// values of the wrong type, number texts read without the locale, column
// parsing and the loader's order of fields.
#include <gtest/gtest.h>

#include <clocale>

#include "platform/registry/registry.h"
#include "platform/win/text.h"
#include "tests/support/test_support.h"
#include "ui/settings.h"

namespace {

using gm::test::ReadFile;
using gm::test::TempDir;

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    registry::SetHiveFolder(dir.path());
    SetSettingsRoot(HKEY_CURRENT_USER, L"Orvane");
    ConversionSettings = ConversionSettingsRecord();
  }
  void TearDown() override {
    SetSettingsRoot(nullptr, L"");
    registry::SetHiveFolder({});
  }

  void SetRaw(const wchar_t* name, DWORD type, std::vector<BYTE> data) {
    HKEY key = OpenSectionKey(kSettingsSection);
    ASSERT_NE(nullptr, key);
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExW(key, name, 0, type, data.data(), static_cast<DWORD>(data.size())));
    RegCloseKey(key);
  }

  std::string HiveText() { return ReadFile(dir / "HKEY_CURRENT_USER.reg"); }

  TempDir dir;
};

TEST_F(SettingsTest, FreshUserGetsDefaultsAndTheKeyIsCreated) {
  ConversionSettings.FuzzyPercent = 123;  // the loader must overwrite it
  LoadConversionSettings();
  const ConversionSettingsRecord& c = ConversionSettings;
  EXPECT_DOUBLE_EQ(0.15, c.TextTol);
  EXPECT_DOUBLE_EQ(-1.0, c.DoubleLineDist);
  EXPECT_DOUBLE_EQ(0.0008, c.FuzzyPercent);
  EXPECT_EQ(1, c.StartRow);
  EXPECT_EQ(1, c.StartCol);
  EXPECT_EQ(0, c.ForceTextFormat);
  EXPECT_EQ(1, c.IncludeFormula);
  EXPECT_EQ(1, c.AutofitColumns);
  EXPECT_EQ(1, c.AutofitRows);
  EXPECT_EQ(1, c.ApplyBorderColor);
  EXPECT_EQ(1, c.ApplyTextColor);
  EXPECT_EQ(0, c.ApplyWrapText);
  EXPECT_NE(std::string::npos,
            HiveText().find("[HKEY_CURRENT_USER\\Software\\Orvane\\OrvaneGridmason]"));
}

TEST_F(SettingsTest, DoubleLineDistanceIsReadOnlyWhenSwitchedOn) {
  WriteSettingString(kSettingsSection, L"DoubleLineDist", L"2.5");
  WriteSettingInt(kSettingsSection, L"HasDoubleLine", 0);
  LoadConversionSettings();
  EXPECT_DOUBLE_EQ(-1.0, ConversionSettings.DoubleLineDist);
  WriteSettingInt(kSettingsSection, L"HasDoubleLine", 1);
  LoadConversionSettings();
  EXPECT_DOUBLE_EQ(2.5, ConversionSettings.DoubleLineDist);
}

TEST_F(SettingsTest, NumberTextsFollowTheCRuntimeRules) {
  WriteSettingString(kSettingsSection, L"TextTol", L"abc");
  WriteSettingString(kSettingsSection, L"StartRow", L"-3");
  LoadConversionSettings();
  EXPECT_DOUBLE_EQ(0.0, ConversionSettings.TextTol);
  EXPECT_EQ(-3, ConversionSettings.StartRow) << "the writer raises it later, not the loader";
  WriteSettingString(kSettingsSection, L"TextTol", L" 0.2mm");
  WriteSettingString(kSettingsSection, L"StartRow", L"0");
  LoadConversionSettings();
  EXPECT_DOUBLE_EQ(0.2, ConversionSettings.TextTol);
  EXPECT_EQ(0, ConversionSettings.StartRow);
  // No finite number: the setting's default, not a NaN that compares false everywhere.
  WriteSettingString(kSettingsSection, L"TextTol", L"nan");
  WriteSettingString(kSettingsSection, L"FuzzyPercent", L"1e309");
  WriteSettingString(kSettingsSection, L"DoubleLineDist", L"-inf");
  WriteSettingInt(kSettingsSection, L"HasDoubleLine", 1);
  LoadConversionSettings();
  EXPECT_DOUBLE_EQ(0.15, ConversionSettings.TextTol);
  EXPECT_DOUBLE_EQ(0.0008, ConversionSettings.FuzzyPercent);
  EXPECT_DOUBLE_EQ(-1.0, ConversionSettings.DoubleLineDist);
}

TEST_F(SettingsTest, NumbersIgnoreACommaDecimalLocale) {
  if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) {
    GTEST_SKIP() << "the de_DE.UTF-8 locale is not installed";
  }
  WriteSettingString(kSettingsSection, L"FuzzyPercent", L"0.5");
  LoadConversionSettings();
  std::setlocale(LC_ALL, "C");
  EXPECT_DOUBLE_EQ(0.5, ConversionSettings.FuzzyPercent);
}

TEST_F(SettingsTest, IntegerReadsTakeAnyFourBytes) {
  SetRaw(L"ForceTextFormat", REG_SZ, {'1', 0, 0, 0});  // "1" with its NUL: 4 bytes
  EXPECT_EQ(49, ReadSettingInt(kSettingsSection, L"ForceTextFormat", 7));
  SetRaw(L"ForceTextFormat", REG_SZ, {'1', 0, '2', 0, 0, 0});  // 6 bytes do not fit
  EXPECT_EQ(7, ReadSettingInt(kSettingsSection, L"ForceTextFormat", 7));
  SetRaw(L"Neg", REG_DWORD, {0xFE, 0xFF, 0xFF, 0xFF});
  EXPECT_EQ(-2, ReadSettingInt(kSettingsSection, L"Neg", 0));
  EXPECT_EQ(5, ReadSettingInt(kSettingsSection, L"Absent", 5));
}

TEST_F(SettingsTest, StringReadsStopAtTheFirstNul) {
  SetRaw(L"S", REG_BINARY, {'a', 0, 'b', 0, 0, 0, 'c', 0});
  EXPECT_EQ(L"ab", ReadSettingString(kSettingsSection, L"S", L"x"));
  SetRaw(L"D", REG_DWORD, {'7', 0, 0, 0});
  EXPECT_EQ(L"7", ReadSettingString(kSettingsSection, L"D", L"x"));
  EXPECT_EQ(L"default", ReadSettingString(kSettingsSection, L"Missing", L"default"));
}

TEST_F(SettingsTest, StringsAreStoredAsUtf16WithTheirNul) {
  ASSERT_TRUE(WriteSettingString(kSettingsSection, L"TableTitle", L"Ø 20 ±0.1"));
  HKEY key = OpenSectionKey(kSettingsSection);
  DWORD type = 0, size = 0;
  ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, L"TableTitle", nullptr, &type, nullptr, &size));
  RegCloseKey(key);
  EXPECT_EQ(REG_SZ, type);
  EXPECT_EQ((9u + 1u) * 2u, size);
  EXPECT_EQ(L"Ø 20 ±0.1", ReadSettingString(kSettingsSection, L"TableTitle", L""));
}

TEST_F(SettingsTest, AbsentFlagKeepsThePreviousLoad) {
  WriteSettingInt(kSettingsSection, L"ForceTextFormat", 1);
  LoadConversionSettings();
  EXPECT_EQ(1, ConversionSettings.ForceTextFormat);
  ASSERT_TRUE(WriteSettingString(kSettingsSection, L"ForceTextFormat", nullptr));
  LoadConversionSettings();
  EXPECT_EQ(1, ConversionSettings.ForceTextFormat);
}

TEST_F(SettingsTest, WritingWithNoNameRemovesTheWholeSection) {
  WriteSettingString(kSettingsSection, L"TextTol", L"0.3");
  WriteSettingInt(kSettingsSection, L"AutofitRows", 0);
  ASSERT_TRUE(WriteSettingString(kSettingsSection, nullptr, nullptr));
  EXPECT_EQ(std::string::npos, HiveText().find("OrvaneGridmason]"));
  EXPECT_EQ(L"d", ReadSettingString(kSettingsSection, L"TextTol", L"d"));
}

TEST_F(SettingsTest, UnboundStoreGivesDefaultsAndRefusesWrites) {
  SetSettingsRoot(HKEY_CURRENT_USER, L"");
  EXPECT_FALSE(WriteSettingInt(kSettingsSection, L"X", 1));
  EXPECT_FALSE(WriteSettingString(kSettingsSection, L"X", L"y"));
  EXPECT_EQ(3, ReadSettingInt(kSettingsSection, L"X", 3));
  EXPECT_EQ(L"z", ReadSettingString(kSettingsSection, L"X", L"z"));
  EXPECT_FALSE(std::filesystem::exists(dir / "HKEY_CURRENT_USER.reg")) << "nothing was created";
}

TEST_F(SettingsTest, ColumnsAsNumbersOrLetters) {
  const std::pair<const wchar_t*, int> cases[] = {
      {L"C", 3},  {L"ab", 28},  {L"7", 7},   {L"ABC", 28}, {L"", 0},
      {L"A1", 1}, {L"ZZ", 702}, {L"-2", -2}, {L"#x", 0},   {L"  12", 12}};
  for (const auto& [text, column] : cases) EXPECT_EQ(column, ParseColumnNumber(text)) << text;
  WriteSettingString(kSettingsSection, L"StartCol", L"ab");
  LoadConversionSettings();
  EXPECT_EQ(28, ConversionSettings.StartCol);
}

TEST_F(SettingsTest, EnumerationSkipsOtherTypesAndOverlongEntries) {
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS,
            RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Orvane\\Gridmason\\ShxMap", 0, nullptr,
                            0, KEY_READ | KEY_WRITE, nullptr, &key, nullptr));
  auto setText = [&](const std::wstring& name, const std::wstring& text) {
    std::u16string u = win::WideToUtf16(text);
    std::vector<BYTE> d;
    for (char16_t c : u) {
      d.push_back(static_cast<BYTE>(c));
      d.push_back(static_cast<BYTE>(c >> 8));
    }
    d.push_back(0);
    d.push_back(0);
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExW(key, name.c_str(), 0, REG_SZ, d.data(), static_cast<DWORD>(d.size())));
  };
  setText(L"%%D:*All*", L"°");
  const BYTE n[4] = {1, 0, 0, 0};
  RegSetValueExW(key, L"Number", 0, REG_DWORD, n, 4);
  setText(L"long", std::wstring(130, L'x'));  // 262 bytes: beyond the 260-byte buffer
  setText(std::wstring(260, L'n'), L"v");     // a name beyond 259 characters
  setText(L"%%P:romans", L"±");
  RegCloseKey(key);
  std::vector<std::wstring> names, values;
  EnumerateSettingKey(HKEY_CURRENT_USER, L"Software\\Orvane\\Gridmason\\ShxMap", false, names,
                      values);
  EXPECT_EQ((std::vector<std::wstring>{L"%%D:*All*", L"%%P:romans"}), names);
  EXPECT_EQ((std::vector<std::wstring>{L"°", L"±"}), values);
  names.clear();
  EnumerateSettingKey(HKEY_CURRENT_USER, L"Software\\Orvane", true, names, values);
  EXPECT_EQ((std::vector<std::wstring>{L"Gridmason"}), names);
  names.clear();
  EnumerateSettingKey(HKEY_CURRENT_USER, L"Software\\Nowhere", false, names, values);
  EXPECT_TRUE(names.empty());
}

}  // namespace
