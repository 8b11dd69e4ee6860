#include "platform/fonts/mtext_layout.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <limits>
#include <string>

#include "tests/platform/fonts/fonts_test_util.h"

namespace gm::fonts {
namespace {

constexpr double kH = 2.5;

MTextExtents Measure(const std::wstring& contents, double reference_width = 0,
                     const wchar_t* font = L"arial.ttf", double spacing = 1.0) {
  MTextInput in;
  in.contents = contents;
  in.char_height = kH;
  in.reference_width = reference_width;
  in.line_spacing = spacing;
  in.style = test::Style(font);
  return MeasureMText(in);
}

double TextWidth(const std::wstring& text, double height = kH, const wchar_t* font = L"arial.ttf") {
  TextBox box = MeasureText(text, height, test::Style(font));
  return box.upper_right.x - box.lower_left.x;
}

// --- Lines and height -----------------------------------------------------

TEST(MTextLayout, OneLineIsTheCharHeightTall) {
  GM_REQUIRE_LIBERATION();
  MTextExtents e = Measure(L"AB");
  ASSERT_TRUE(e.ok());
  EXPECT_TRUE(e.real_metrics());
  EXPECT_EQ(1, e.lines);
  EXPECT_DOUBLE_EQ(kH, e.height);
  EXPECT_DOUBLE_EQ(TextWidth(L"AB"), e.width);
}

TEST(MTextLayout, ParagraphsAddOneLinePitchEach) {
  GM_REQUIRE_LIBERATION();
  MTextExtents two = Measure(L"A\\PB");
  EXPECT_EQ(2, two.lines);
  EXPECT_DOUBLE_EQ(kH + 5.0 / 3.0 * kH, two.height);
  EXPECT_DOUBLE_EQ(std::max(TextWidth(L"A"), TextWidth(L"B")), two.width);

  MTextExtents three = Measure(L"Long line\\P\\Pshort");
  EXPECT_EQ(3, three.lines);
  EXPECT_DOUBLE_EQ(kH + 2 * MTextLinePitch(kH, 1.0), three.height);
  EXPECT_DOUBLE_EQ(TextWidth(L"Long line"), three.width);
  EXPECT_EQ(2, Measure(L"A\\P").lines);
}

TEST(MTextLayout, LineSpacingFactorScalesThePitch) {
  EXPECT_DOUBLE_EQ(kH + 2 * 5.0 / 3.0 * kH, Measure(L"A\\PB", 0, L"arial.ttf", 2.0).height);
  // Outside what a host accepts: held at 0.25, or the default for nonsense.
  EXPECT_DOUBLE_EQ(kH + 0.25 * 5.0 / 3.0 * kH, Measure(L"A\\PB", 0, L"arial.ttf", 0.01).height);
  EXPECT_DOUBLE_EQ(
      kH + 5.0 / 3.0 * kH,
      Measure(L"A\\PB", 0, L"arial.ttf", std::numeric_limits<double>::quiet_NaN()).height);
}

TEST(MTextLayout, TallerTextMakesTallerLines) {
  GM_REQUIRE_LIBERATION();
  EXPECT_DOUBLE_EQ(2 * kH, Measure(L"{\\H2x;Big}").height);
  EXPECT_DOUBLE_EQ(5.0, Measure(L"Small {\\H5;Big}").height);
  MTextExtents second_big = Measure(L"plain\\P{\\H2x;Big}");
  EXPECT_DOUBLE_EQ(kH + MTextLinePitch(2 * kH, 1.0), second_big.height);
  EXPECT_DOUBLE_EQ(2 * TextWidth(L"Big"), Measure(L"{\\H2x;Big}").width);
  // The group ends with its brace: what follows is back at the char height.
  EXPECT_DOUBLE_EQ(kH + MTextLinePitch(kH, 1.0), Measure(L"{\\H2x;}A\\PB").height);
}

// --- Wrapping -------------------------------------------------------------

TEST(MTextWrap, NarrowReferenceWidthMakesMoreLines) {
  GM_REQUIRE_LIBERATION();
  const std::wstring text = L"one two three four";
  MTextExtents unwrapped = Measure(text);
  EXPECT_EQ(1, unwrapped.lines);
  MTextExtents wrapped = Measure(text, TextWidth(L"one two") + 0.01);
  EXPECT_EQ(3, wrapped.lines);  // "one two" / "three" / "four"
  EXPECT_DOUBLE_EQ(TextWidth(L"one two"), wrapped.width);
  EXPECT_DOUBLE_EQ(kH + 2 * MTextLinePitch(kH, 1.0), wrapped.height);
  EXPECT_EQ(4, Measure(text, 0.1).lines);
}

TEST(MTextWrap, TheBreakingSpaceBelongsToNoLine) {
  GM_REQUIRE_LIBERATION();
  MTextExtents e = Measure(L"Total    Sum", TextWidth(L"Total") + 0.01);
  EXPECT_EQ(2, e.lines);
  EXPECT_DOUBLE_EQ(TextWidth(L"Total"), e.width);
}

TEST(MTextWrap, SpacesEndingALineTakeNoRoom) {
  GM_REQUIRE_LIBERATION();
  EXPECT_DOUBLE_EQ(TextWidth(L"AB"), Measure(L"AB   \\PA").width);
  EXPECT_DOUBLE_EQ(TextWidth(L"  AB"), Measure(L"  AB").width);
  MTextExtents blanks = Measure(L"   ");
  EXPECT_EQ(1, blanks.lines);
  EXPECT_EQ(0.0, blanks.width);
}

TEST(MTextWrap, LongWordsOverflowAndNonBreakingSpacesHold) {
  GM_REQUIRE_LIBERATION();
  MTextExtents over = Measure(L"a Unbreakable b", 1.0);
  EXPECT_EQ(3, over.lines);
  EXPECT_DOUBLE_EQ(TextWidth(L"Unbreakable"), over.width);
  MTextExtents held = Measure(L"one\\~two", TextWidth(L"one") + 0.01);
  EXPECT_EQ(1, held.lines);
  EXPECT_DOUBLE_EQ(TextWidth(L"one two"), held.width);
}

// --- Formatting codes -----------------------------------------------------

TEST(MTextCodes, FormattingTakesNoRoom) {
  GM_REQUIRE_LIBERATION();
  const double plain = Measure(L"AB").width;
  for (const wchar_t* coded :
       {L"{\\fArial|b0|i0|c0|p34;AB}", L"\\A1;AB", L"{\\C1;A}\\c255;B", L"\\LA\\lB\\O\\o\\K\\k",
        L"{{A}}B", L"A}B", L"\\pxi-3,l3;AB", L"%%uAB"}) {
    EXPECT_DOUBLE_EQ(plain, Measure(coded).width) << std::string(coded, coded + wcslen(coded));
    EXPECT_EQ(1, Measure(coded).lines);
  }
}

TEST(MTextCodes, EscapesAndUnicodeAreCharacters) {
  GM_REQUIRE_LIBERATION();
  EXPECT_DOUBLE_EQ(TextWidth(L"AB"), Measure(L"\\U+0041\\U+0042").width);
  EXPECT_DOUBLE_EQ(TextWidth(L"{a}"), Measure(L"\\{a\\}").width);
  EXPECT_DOUBLE_EQ(TextWidth(L"a\\b"), Measure(L"a\\\\b").width);
  EXPECT_DOUBLE_EQ(TextWidth(L"\u00B0"), Measure(L"%%d").width);
  EXPECT_DOUBLE_EQ(TextWidth(L"x\\"), Measure(L"x\\").width);  // a trailing backslash is drawn
  EXPECT_DOUBLE_EQ(TextWidth(L"\\z"), Measure(L"\\z").width);  // so is one that starts no code
}

TEST(MTextCodes, StackedFractionsUseTheWiderPart) {
  GM_REQUIRE_LIBERATION();
  const double small = 0.7 * kH;
  MTextExtents half = Measure(L"\\S1/2;");
  EXPECT_EQ(1, half.lines);
  EXPECT_DOUBLE_EQ(kH, half.height);
  EXPECT_NEAR(std::max(TextWidth(L"1", small), TextWidth(L"2", small)), half.width, 1e-9);
  EXPECT_NEAR(TextWidth(L"+0.25", small), Measure(L"\\S+0.25^-0.1;").width, 1e-9);
  EXPECT_NEAR(TextWidth(L"16", small), Measure(L"\\S3#16;").width, 1e-9);
  EXPECT_NEAR(TextWidth(L"A", kH) + TextWidth(L"7", small) + TextWidth(L"B", kH),
              Measure(L"A\\S7/8;B").width, 1e-9);
}

TEST(MTextCodes, WidthFactorAndFontSwitches) {
  GM_REQUIRE_LIBERATION();
  EXPECT_NEAR(2 * TextWidth(L"AB"), Measure(L"\\W2;AB").width, 1e-9);
  EXPECT_NEAR(TextWidth(L"AB") * 0.5, Measure(L"\\W2;\\W0.25x;AB").width, 1e-9);
  EXPECT_NEAR(2 * TextWidth(L"AB"), Measure(L"\\T2;AB").width, 1e-9);
  EXPECT_NEAR(TextWidth(L"AB", kH, L"times.ttf"), Measure(L"{\\fTimes New Roman|b0;AB}").width,
              1e-9);
  MTextExtents shx = Measure(L"{\\Fsimplex|c0;AB}");
  EXPECT_NEAR(TextWidth(L"AB", kH, L"simplex.shx"), shx.width, 1e-9);
  EXPECT_EQ(MetricsSource::kShxApproximation, shx.source);
}

TEST(MTextCodes, SenselessValuesLeaveSettingsAlone) {
  GM_REQUIRE_LIBERATION();
  const double plain = Measure(L"AB").width;
  for (const wchar_t* coded : {L"\\H0;AB", L"\\H-2;AB", L"\\Hnan;AB", L"\\W0;AB", L"\\Wabc;AB",
                               L"\\H1e999;AB", L"\\f;AB"}) {
    MTextExtents e = Measure(coded);
    ASSERT_TRUE(e.ok());
    EXPECT_DOUBLE_EQ(plain, e.width) << std::string(coded, coded + wcslen(coded));
    EXPECT_DOUBLE_EQ(kH, e.height);
  }
}

// --- Bad input ------------------------------------------------------------

TEST(MTextErrors, BadHeightOrWidthFactor) {
  MTextInput in;
  in.contents = L"AB";
  in.char_height = std::numeric_limits<double>::quiet_NaN();
  MTextExtents e = MeasureMText(in);
  EXPECT_EQ(MeasureStatus::kBadHeight, e.status);
  EXPECT_EQ(0.0, e.width);
  EXPECT_EQ(0.0, e.height);
  EXPECT_EQ(0, e.lines);
  in.char_height = 0;
  EXPECT_EQ(MeasureStatus::kBadHeight, MeasureMText(in).status);
  in.char_height = kH;
  in.style.width_factor = -1;
  EXPECT_EQ(MeasureStatus::kBadWidthFactor, MeasureMText(in).status);
}

TEST(MTextErrors, EmptyAndUnterminatedContents) {
  MTextExtents empty = Measure(L"");
  ASSERT_TRUE(empty.ok());
  EXPECT_EQ(1, empty.lines);
  EXPECT_EQ(0.0, empty.width);
  EXPECT_DOUBLE_EQ(kH, empty.height);
  EXPECT_EQ(MetricsSource::kShxApproximation, Measure(L"", 0, L"txt").source);
  for (const wchar_t* broken : {L"\\H2", L"\\S1/", L"\\fArial", L"{{{A", L"\\U+00", L"\\M+1", L"\\",
                                L"\\U+D800\\U+0041", L"}}}"}) {
    MTextExtents e = Measure(broken);
    EXPECT_TRUE(e.ok()) << std::string(broken, broken + wcslen(broken));
    EXPECT_GE(e.width, 0);
  }
}

TEST(MTextErrors, LongContentsWrapCompletely) {
  GM_REQUIRE_LIBERATION();
  std::wstring text;
  for (int i = 0; i < 20000; ++i) text += L"word ";
  const double word = TextWidth(L"word");
  MTextExtents e = Measure(text, word + 0.01);
  ASSERT_TRUE(e.ok());
  EXPECT_EQ(20000, e.lines);
  EXPECT_DOUBLE_EQ(word, e.width);  // the final space ends a line: no room
  std::wstring nested(50000, L'{');
  nested += L"AB";
  EXPECT_DOUBLE_EQ(TextWidth(L"AB"), Measure(nested).width);
}

}  // namespace
}  // namespace gm::fonts
