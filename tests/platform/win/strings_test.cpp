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

// Font and file names fold the same whatever the locale: letters beyond
// ASCII stay as they are.
TEST(Strings, AsciiFoldingLeavesOtherLettersAlone) {
  EXPECT_EQ(win::ToLowerAscii(L"Arial \u00C9CRAN.TTF"), L"arial \u00C9cran.ttf");
  EXPECT_EQ(win::ToLowerAscii(std::string_view("DRAWING.DXF\xC3\x89")), "drawing.dxf\xC3\x89");
  EXPECT_EQ(win::ToLowerAscii(std::string_view("@[`{")), "@[`{");  // neighbours of A-Z, a-z
}

TEST(Strings, TrimTakesBlanksFromBothEndsOnly) {
  EXPECT_EQ(win::Trim(L" \t a b \r\n"), L"a b");
  EXPECT_EQ(win::Trim(L" \t "), L"");
  EXPECT_EQ(win::Trim(std::string_view("\tNAME=\"x y\"\r")), "NAME=\"x y\"");
  EXPECT_EQ(win::Trim(std::string_view("   ")), "");
  EXPECT_EQ(win::Trim(std::string_view("")), "");
}

TEST(Strings, TrimWithOwnBlanksKeepsOtherWhiteSpace) {
  EXPECT_EQ(win::Trim(L" \t\n x \n\t ", L" \t"), L"\n x \n");
  EXPECT_EQ(win::Trim(L"\n\n", L" \n"), L"");
  EXPECT_EQ(win::Trim(L"", L" "), L"");
  EXPECT_EQ(win::Trim(L"\u3000a\u3000", L" \t"), L"\u3000a\u3000");
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

// A U+FFFD written in the file is text, not a repair; a flag already set stays set.
TEST(Strings, Utf8ReportsOnlyBytesItReplaced) {
  bool replaced = false;
  EXPECT_EQ(win::Utf8ToWide("\xEF\xBF\xBD ok", &replaced), L"\uFFFD ok");
  EXPECT_FALSE(replaced);
  EXPECT_EQ(win::Utf8ToWide("\xF5\x80\x80\x80", &replaced), L"\uFFFD\uFFFD\uFFFD\uFFFD");
  EXPECT_TRUE(replaced);
  EXPECT_EQ(win::Utf8ToWide("plain", &replaced), L"plain");
  EXPECT_TRUE(replaced);
  replaced = false;
  win::Utf8ToWide("ok\xC3", &replaced);
  EXPECT_TRUE(replaced);
}

TEST(Strings, Utf16KeepsAstralCharactersAndMarksLoneSurrogates) {
  const std::u16string units = win::WideToUtf16(L"a\U0001F600");
  EXPECT_EQ(units, (std::u16string{u'a', 0xD83D, 0xDE00}));
  EXPECT_EQ(win::Utf16ToWide(units), L"a\U0001F600");
  EXPECT_EQ(win::Utf16ToWide(std::u16string{0xD83D, u'x'}), L"\uFFFDx");
  EXPECT_EQ(win::Utf16ToWide(std::u16string{0xDE00}), L"\uFFFD");
}

TEST(Strings, Utf16LittleEndianBytesRoundTripAndDropAnOddByte) {
  const std::u16string units{u'A', 0x20AC, 0xD83D, 0xDE00, 0};
  const std::vector<unsigned char> bytes = win::Utf16ToLeBytes(units);
  EXPECT_EQ(bytes, (std::vector<unsigned char>{0x41, 0, 0xAC, 0x20, 0x3D, 0xD8, 0x00, 0xDE, 0, 0}));
  EXPECT_EQ(win::Utf16FromLeBytes(bytes.data(), bytes.size()), units);
  EXPECT_EQ(win::Utf16FromLeBytes(bytes.data(), 3), std::u16string{u'A'});
  EXPECT_EQ(win::Utf16FromLeBytes(bytes.data(), 0), std::u16string());
}

}  // namespace
