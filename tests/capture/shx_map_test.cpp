// Text decoding: multiline formatting and the symbol map.
#include <gtest/gtest.h>

#include "capture/entity_reader.h"
#include "capture/shx_map.h"
#include "platform/registry/registry.h"
#include "platform/win/text.h"
#include "tests/support/test_support.h"
#include "ui/settings.h"

namespace {

TEST(StripMTextFormatting, CodesBracesAndEscapes) {
  EXPECT_EQ(L"Total\nSum", StripMTextFormatting(L"{\\fArial|b1;Total}\\PSum"));
  EXPECT_EQ(L"50", StripMTextFormatting(L"50\\%"));
  EXPECT_EQ(L"a\\b", StripMTextFormatting(L"a\\\\b"));
  EXPECT_EQ(L"x\\", StripMTextFormatting(L"x\\"));
  EXPECT_EQ(L"+00B0", StripMTextFormatting(L"\\U+00B0"));
  EXPECT_EQ(L"{x}", StripMTextFormatting(L"\\{x\\}"));
  EXPECT_EQ(L"AB", StripMTextFormatting(L"\\LA\\lB\\O"));
  EXPECT_EQ(L"red", StripMTextFormatting(L"\\C1;red"));
  // An escaped backslash survives inside a switch; the switch ends at ';'.
  EXPECT_EQ(L"\\x", StripMTextFormatting(L"\\C2\\\\;x"));
  EXPECT_EQ(L"Datum", StripMTextFormatting(L"\\H2.5;Datum")) << "heights are switches";
  EXPECT_EQ(L"Datum", StripMTextFormatting(L"{\\H1.5x;\\pxqc;Datum}"));
  EXPECT_EQ(L"a\nb", StripMTextFormatting(L"\\pi-3,l3;a\\Pb")) << "only lower-case p";
  EXPECT_EQ(L"scale 1:1", StripMTextFormatting(L"scale\\~1:1"));
  EXPECT_EQ(L"scale 1 : 1", StripMTextFormatting(L"scale\\~\\~1\\~:\\~1")) << "one space a run";
  EXPECT_EQ(L"a\nb", StripMTextFormatting(L"a\\Nb")) << "a column break";
  EXPECT_EQ(L"", StripMTextFormatting(L"\\W0.8"));
  EXPECT_EQ(L"a;b", StripMTextFormatting(L"a;b"));
}

TEST(StripMTextFormatting, StackedFractionsKeepBothParts) {
  EXPECT_EQ(L"1/2", StripMTextFormatting(L"\\S1/2;"));
  EXPECT_EQ(L"1/2", StripMTextFormatting(L"\\S1#2;"));
  EXPECT_EQ(L"+0.1/-0.2", StripMTextFormatting(L"\\S+0.1^-0.2;"));
  EXPECT_EQ(L"Dia 1 1/2 in", StripMTextFormatting(L"Dia 1\\S1/2; in"));
  EXPECT_EQ(L"m2", StripMTextFormatting(L"m{\\S2^;}")) << "a lone superscript";
  EXPECT_EQ(L"a/b;c", StripMTextFormatting(L"\\Sa/b\\;c;")) << "an escaped ';' is part";
  EXPECT_EQ(L"x3/4", StripMTextFormatting(L"x\\S3/4")) << "unfinished at the end";
}

class ShxMapTest : public ::testing::Test {
 protected:
  void SetUp() override {
    registry::SetHiveFolder(dir.path());
    SetSettingsRoot(HKEY_CURRENT_USER, L"Orvane");
  }
  void TearDown() override { registry::SetHiveFolder({}); }

  void SetRecord(const std::wstring& name, const std::wstring& value) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Orvane\\Gridmason\\ShxMap", 0, nullptr,
                              0, KEY_READ | KEY_WRITE, nullptr, &key, nullptr));
    std::u16string u = win::WideToUtf16(value);
    std::vector<BYTE> d;
    for (char16_t c : u) {
      d.push_back(static_cast<BYTE>(c));
      d.push_back(static_cast<BYTE>(c >> 8));
    }
    d.push_back(0);
    d.push_back(0);
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExW(key, name.c_str(), 0, REG_SZ, d.data(), static_cast<DWORD>(d.size())));
    RegCloseKey(key);
  }

  gm::test::TempDir dir;
};

TEST_F(ShxMapTest, DefaultSymbolsAreTheCharactersThemselves) {
  CShxMap map;
  map.LoadShxMap();
  ASSERT_EQ(3, map.GetSize());
  EXPECT_EQ(L"90\u00B0", TranslateShx(map, L"90%%D", L"Standard"));
  EXPECT_EQ(L"\u00B10.1 \u00D820", TranslateShx(map, L"%%P0.1 %%C20", L"romans"));
  EXPECT_EQ(L"90%%d", TranslateShx(map, L"90%%d", L"Standard")) << "codes match with case";
  WriteSettingInt(kSettingsSection, L"EnableSysSymbol", 0);
  map.LoadShxMap();
  EXPECT_TRUE(map.IsEmpty());
}

TEST_F(ShxMapTest, RegistryRecordsFontsAndOverrides) {
  SetRecord(L"%%1:*All*", L"one");
  SetRecord(L"%%12:*all*", L"twelve");
  SetRecord(L"%%D:*All*", L"deg");  // the symbol records override it
  SetRecord(L"#:romans", L"No.");
  SetRecord(L"nocolon", L"x");
  SetRecord(L"a:b:gdt", L"[ab]");  // split at the last colon
  CShxMap map;
  map.LoadShxMap();
  EXPECT_EQ(L"twelve3", TranslateShx(map, L"%%123", L"Standard")) << "the longer code wins";
  EXPECT_EQ(L"\u00B0", TranslateShx(map, L"%%D", L"Standard"));
  EXPECT_EQ(L"No.5", TranslateShx(map, L"#5", L"ROMANS"));
  EXPECT_EQ(L"#5", TranslateShx(map, L"#5", L"Standard"));
  EXPECT_EQ(L"[ab]", TranslateShx(map, L"a:b", L"GDT"));
  // Replacements are not searched again.
  map.SetShxRecord(L"x", L"*All*", L"xx");
  EXPECT_EQ(L"xxxx", TranslateShx(map, L"xx", L"Standard"));
  std::wstring code, replacement;
  EXPECT_EQ(-1, map.FindFirstCode(L"abc", -1, L"Standard", code, replacement));
  EXPECT_EQ(-1, map.FindFirstCode(L"", 0, L"Standard", code, replacement));
}

TEST(ComputeMTextBox, Attachments) {
  AcDbExtents e;
  ComputeMTextBox({0, 0, 0}, e, 10, 4, 5);
  EXPECT_DOUBLE_EQ(-5, e.minPoint().x);
  EXPECT_DOUBLE_EQ(-2, e.minPoint().y);
  EXPECT_DOUBLE_EQ(5, e.maxPoint().x);
  EXPECT_DOUBLE_EQ(2, e.maxPoint().y);
  ComputeMTextBox({0, 0, 0}, e, 10, 4, 8);
  EXPECT_DOUBLE_EQ(0, e.minPoint().y);
  EXPECT_DOUBLE_EQ(4, e.maxPoint().y);
  // Negative turned sizes still give a normalised box.
  ComputeMTextBox({0, 0, 0}, e, -10, 4, 1);
  EXPECT_DOUBLE_EQ(-10, e.minPoint().x);
  EXPECT_DOUBLE_EQ(0, e.maxPoint().x);
  ComputeMTextBox({3, 4, 5}, e, 10, 4, 0);
  EXPECT_DOUBLE_EQ(3, e.minPoint().x);
  EXPECT_DOUBLE_EQ(5, e.maxPoint().z);
}

}  // namespace
