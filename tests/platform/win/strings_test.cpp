// The strings unit: case-blind compares that order as the controls sort,
// trimming, and the conversions at the process's edges, where bad bytes
// must show as U+FFFD rather than vanish or split a character.
#include "platform/win/strings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

TEST(Strings, CaseBlindCompareOrdersAndMatches) {
  EXPECT_EQ(win::CompareNoCase(L"Alpha", L"aLPHA"), 0);
  EXPECT_LT(win::CompareNoCase(L"alp", L"ALPHA"), 0);  // a prefix sorts first
  EXPECT_GT(win::CompareNoCase(L"beta", L"ALPHA"), 0);
  EXPECT_FALSE(win::EqualsNoCase(L"open", L"opens"));
  EXPECT_TRUE(win::StartsWithNoCase(L"Gamma", L"GA"));
  EXPECT_FALSE(win::StartsWithNoCase(L"G", L"GA"));
  EXPECT_TRUE(win::StartsWithNoCase(L"x", L""));
  std::vector<std::wstring> items{L"gamma", L"Beta", L"alpha", L"ALPHA"};
  std::stable_sort(items.begin(), items.end(),
                   [](const auto& a, const auto& b) { return win::CompareNoCase(a, b) < 0; });
  EXPECT_EQ(items, (std::vector<std::wstring>{L"alpha", L"ALPHA", L"Beta", L"gamma"}));
  EXPECT_EQ(win::ToLower(L"HeLLo"), L"hello");
  EXPECT_EQ(win::ToUpper(L"id_7"), L"ID_7");
}

TEST(Strings, TrimTakesBlanksFromBothEndsOnly) {
  EXPECT_EQ(win::Trim(L" \t a b \r\n"), L"a b");
  EXPECT_EQ(win::Trim(L" \t "), L"");
  EXPECT_EQ(win::Trim(std::string_view("\tNAME=\"x y\"\r")), "NAME=\"x y\"");
  EXPECT_EQ(win::Trim(std::string_view("   ")), "");
  EXPECT_EQ(win::Trim(std::string_view("")), "");
}

TEST(Strings, Utf8BadBytesBecomeReplacementCharacters) {
  EXPECT_EQ(win::Utf8ToWide("h\xC3\xA9llo \xF0\x9F\x98\x80"), L"h\u00e9llo \U0001F600");
  EXPECT_EQ(win::Utf8ToWide("a\xFF"
                            "b"),
            L"a\uFFFDb");                                             // no lead byte
  EXPECT_EQ(win::Utf8ToWide("\xC0\xAF"), L"\uFFFD\uFFFD");            // overlong '/'
  EXPECT_EQ(win::Utf8ToWide("\xED\xA0\x80"), L"\uFFFD\uFFFD\uFFFD");  // a surrogate
  EXPECT_EQ(win::Utf8ToWide("ok\xE2\x82"), L"ok\uFFFD\uFFFD");        // cut off at the end
  const std::wstring wide = L"\u00e9\u20ac\U0001F600";
  EXPECT_EQ(win::Utf8ToWide(win::WideToUtf8(wide)), wide);
  EXPECT_EQ(win::WideToUtf8(std::wstring(1, static_cast<wchar_t>(0xD800))), "\xEF\xBF\xBD");
}

TEST(Strings, Utf16KeepsAstralCharactersAndMarksLoneSurrogates) {
  const std::u16string units = win::WideToUtf16(L"a\U0001F600");
  EXPECT_EQ(units, (std::u16string{u'a', 0xD83D, 0xDE00}));
  EXPECT_EQ(win::Utf16ToWide(units), L"a\U0001F600");
  EXPECT_EQ(win::Utf16ToWide(std::u16string{0xD83D, u'x'}), L"\uFFFDx");
  EXPECT_EQ(win::Utf16ToWide(std::u16string{0xDE00}), L"\uFFFD");
}

}  // namespace
