#include "platform/fonts/text_metrics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include "tests/platform/fonts/fonts_test_util.h"

namespace gm::fonts {
namespace {

using test::Style;

double Width(const TextBox& box) { return box.upper_right.x - box.lower_left.x; }

TextBox Arial(const std::wstring& text, double height = 2.5) {
  return MeasureText(text, height, Style(L"arial.ttf"));
}

// --- TrueType boxes -------------------------------------------------------

TEST(TextBox, CapitalsAreExactlyTheHeight) {
  GM_REQUIRE_LIBERATION();
  TextBox box = Arial(L"AB");
  ASSERT_TRUE(box.ok());
  EXPECT_TRUE(box.real_metrics());
  // Scaling the em to the height instead would put the top at about 1.72.
  EXPECT_NEAR(2.5, box.upper_right.y, 1e-9);
  EXPECT_EQ(0.0, box.lower_left.y);
  EXPECT_EQ(0.0, box.lower_left.x);
  // Two advances of 1366/2048 em with a cap height of 1409/2048 em.
  EXPECT_NEAR(2.5 * 2732.0 / 1409.0, box.upper_right.x, 1e-3);
}

TEST(TextBox, CapHeightFromTheGlyphWhenTheFontOmitsIt) {
  // DejaVu Sans has an OS/2 table too old to carry sCapHeight.
  if (!test::HasFamily("DejaVu Sans")) GTEST_SKIP() << "DejaVu Sans is not installed";
  TextStyle style;
  style.font.family = L"DejaVu Sans";
  TextBox box = MeasureText(L"H", 10, style);
  ASSERT_TRUE(box.ok());
  EXPECT_NEAR(10.0, box.upper_right.y, 1e-9);
}

TEST(TextBox, DescendersGoBelowTheBaseline) {
  GM_REQUIRE_LIBERATION();
  const double h = 2.5;
  TextBox box = Arial(L"gy", h);
  EXPECT_LT(box.lower_left.y, -0.2 * h);
  EXPECT_GT(box.lower_left.y, -0.6 * h);
  EXPECT_LT(box.upper_right.y, h);  // x-height letters stay below the capitals
  EXPECT_EQ(box.lower_left.y, Arial(L"Agy", h).lower_left.y);
}

TEST(TextBox, AccentsRiseAboveTheCapitals) {
  GM_REQUIRE_LIBERATION();
  EXPECT_GT(Arial(L"\u00C4").upper_right.y, 2.5 * 1.1);
}

TEST(TextBox, ScalesLinearlyWithHeightAndWidthFactor) {
  GM_REQUIRE_LIBERATION();
  TextBox base = Arial(L"Table 12");
  TextBox twice = Arial(L"Table 12", 5.0);
  EXPECT_NEAR(2 * Width(base), Width(twice), 1e-9);
  EXPECT_NEAR(2 * base.lower_left.y, twice.lower_left.y, 1e-9);

  for (double factor : {0.5, 0.8, 2.0}) {
    TextStyle style = Style(L"arial.ttf");
    style.width_factor = factor;
    TextBox stretched = MeasureText(L"Table 12", 2.5, style);
    EXPECT_NEAR(factor * Width(base), Width(stretched), 1e-6) << factor;
    EXPECT_EQ(base.upper_right.y, stretched.upper_right.y) << factor;
  }
}

TEST(TextBox, KerningNarrowsPairs) {
  GM_REQUIRE_LIBERATION();
  double pair = Arial(L"AV").upper_right.x;
  double apart = Arial(L"A").upper_right.x + Arial(L"V").upper_right.x;
  EXPECT_LT(pair, apart - 0.1);
}

TEST(TextBox, BlanksTakeTheirAdvance) {
  GM_REQUIRE_LIBERATION();
  double space = Arial(L" ").upper_right.x;
  EXPECT_GT(space, 0);
  EXPECT_NEAR(Arial(L"AB").upper_right.x + 2 * space, Arial(L"AB  ").upper_right.x, 1e-9);
  // Liberation Sans kerns a space before A, as Arial does.
  EXPECT_GT(Arial(L" AB").upper_right.x, Arial(L"AB").upper_right.x + space / 2);
}

TEST(TextBox, ObliqueLeansTheInk) {
  GM_REQUIRE_LIBERATION();
  const double deg = std::numbers::pi / 180;
  auto slanted = [](double angle) {
    TextStyle style = Style(L"arial.ttf");
    style.oblique = angle;
    return MeasureText(L"I", 2.5, style);
  };
  // The stem of I is vertical: its top corner moves by height * tan, and past
  // the advance once the slant is steep enough.
  EXPECT_NEAR(2.5 * (std::tan(30 * deg) - std::tan(15 * deg)),
              slanted(30 * deg).upper_right.x - slanted(15 * deg).upper_right.x, 2e-3);
  EXPECT_EQ(slanted(0).upper_right.y, slanted(30 * deg).upper_right.y);
  EXPECT_EQ(0.0, slanted(0).lower_left.x);
  EXPECT_LT(slanted(-30 * deg).lower_left.x, -0.5);
  // A full turn more is the same slant; a right angle is held at 85 degrees.
  EXPECT_NEAR(slanted(15 * deg).upper_right.x, slanted(375 * deg).upper_right.x, 1e-6);
  TextBox steep = slanted(90 * deg);
  ASSERT_TRUE(steep.ok());
  EXPECT_GT(steep.upper_right.x, 2.5 * std::tan(84 * deg));
  EXPECT_LT(steep.upper_right.x, 2.5 * std::tan(86 * deg));
}

TEST(TextBox, MirrorFlagsFlipTheBox) {
  GM_REQUIRE_LIBERATION();
  TextBox plain = Arial(L"gy");
  TextStyle style = Style(L"arial.ttf");
  style.backwards = true;
  style.upside_down = true;
  TextBox flipped = MeasureText(L"gy", 2.5, style);
  EXPECT_DOUBLE_EQ(-plain.upper_right.x, flipped.lower_left.x);
  EXPECT_DOUBLE_EQ(-plain.lower_left.x, flipped.upper_right.x);
  EXPECT_DOUBLE_EQ(-plain.upper_right.y, flipped.lower_left.y);
  EXPECT_DOUBLE_EQ(-plain.lower_left.y, flipped.upper_right.y);
}

TEST(TextBox, CharactersTheFaceLacksComeFromAnotherFont) {
  GM_REQUIRE_LIBERATION();
  if (!test::HasFamily("DejaVu Sans")) GTEST_SKIP() << "DejaVu Sans is not installed";
  TextBox arrow = Arial(L"\u21D4");  // not in Liberation Sans, in DejaVu Sans
  ASSERT_TRUE(arrow.ok());
  EXPECT_TRUE(arrow.real_metrics());
  EXPECT_GT(arrow.upper_right.y, 0.5);
}

// Styles are resolved once and glyphs kept per face, so measuring the same
// texts again, in another order and among other styles, must give exactly
// the boxes of the first time.
TEST(TextBox, RepeatedMeasuresAreExact) {
  GM_REQUIRE_LIBERATION();
  struct Case {
    TextStyle style;
    std::wstring text;
  };
  std::vector<Case> cases;
  const wchar_t* texts[] = {L"Tally AV 0123", L"\u00C4\u03A9\u0416 g%%d", L"\u21D4 Wy"};
  for (int variant = 0; variant < 6; ++variant) {
    TextStyle style = Style(variant == 5 ? L"simplex.shx" : L"arial.ttf");
    style.font.bold = variant == 1;
    style.font.italic = variant == 2;
    if (variant == 3) style.oblique = 0.25;
    if (variant == 4) style.font.family = L"Liberation Serif";
    for (const wchar_t* text : texts) cases.push_back({style, text});
  }
  std::vector<TextBox> first;
  for (const Case& c : cases) first.push_back(MeasureText(c.text, 2.5, c.style));
  for (size_t i = cases.size(); i-- > 0;) {
    const TextBox again = MeasureText(cases[i].text, 2.5, cases[i].style);
    SCOPED_TRACE(i);
    EXPECT_EQ(first[i].lower_left.x, again.lower_left.x);
    EXPECT_EQ(first[i].lower_left.y, again.lower_left.y);
    EXPECT_EQ(first[i].upper_right.x, again.upper_right.x);
    EXPECT_EQ(first[i].upper_right.y, again.upper_right.y);
    EXPECT_EQ(first[i].source, again.source);
  }
  // A style kept for later must not answer for one differing only in weight.
  EXPECT_NE(first[0].upper_right.x, first[3].upper_right.x);
}

// The table measurer must give MeasureText's boxes bit for bit: autofit's
// column widths are rounded from them and the saved workbook must not move.
TEST(PlainTextMeasurer, GivesMeasureTextsBoxesExactly) {
  GM_REQUIRE_LIBERATION();
  const wchar_t* texts[] = {L"",        L"Tally AV 0123", L"To Wa yY fi  ",   L" ~`!@#$%^&*()_+{}|",
                            L"50% off", L"g%%d",          L"\u00C4\u03A9 Wy", L"tab\there"};
  for (int variant = 0; variant < 7; ++variant) {
    TextStyle style = Style(variant == 5 ? L"simplex.shx" : L"arial.ttf");
    style.font.bold = variant == 1;
    style.font.italic = variant == 2;
    if (variant == 3) style.oblique = 0.25;
    if (variant == 4) {
      style.width_factor = 0.8;
      style.backwards = true;
      style.upside_down = true;
    }
    if (variant == 6) style.font.family = L"Liberation Serif";
    for (const double height : {1.0, 2.5}) {
      PlainTextMeasurer plain(style, height);
      // Twice: the second pass reads what the first put in the table.
      for (int pass = 0; pass < 2; ++pass) {
        for (const wchar_t* text : texts) {
          SCOPED_TRACE(testing::Message() << variant << " " << height << " " << pass);
          const TextBox expected = MeasureText(text, height, style);
          const TextBox got = plain.Measure(text);
          EXPECT_EQ(expected.status, got.status);
          EXPECT_EQ(expected.source, got.source);
          EXPECT_EQ(expected.lower_left.x, got.lower_left.x);
          EXPECT_EQ(expected.lower_left.y, got.lower_left.y);
          EXPECT_EQ(expected.upper_right.x, got.upper_right.x);
          EXPECT_EQ(expected.upper_right.y, got.upper_right.y);
        }
      }
    }
  }
  PlainTextMeasurer bad(Style(L"arial.ttf"), 0.0);
  EXPECT_EQ(MeasureStatus::kBadHeight, bad.Measure(L"AB").status);
}

TEST(TextBox, ManyStylesStillResolveEachTheirOwn) {
  GM_REQUIRE_LIBERATION();
  const TextBox sans = Arial(L"Width 42");
  const TextBox serif = MeasureText(L"Width 42", 2.5, [] {
    TextStyle style;
    style.font.family = L"Liberation Serif";
    return style;
  }());
  ASSERT_NE(sans.upper_right.x, serif.upper_right.x);
  // More styles than are kept: unknown families fall back to the default
  // sans, and the known ones keep their own face throughout.
  for (int i = 0; i < 100; ++i) {
    TextStyle style;
    style.font.family = L"No Such Family " + std::to_wstring(i);
    EXPECT_TRUE(MeasureText(L"Width 42", 2.5, style).ok());
    EXPECT_EQ(sans.upper_right.x, Arial(L"Width 42").upper_right.x);
  }
  TextStyle style;
  style.font.family = L"Liberation Serif";
  EXPECT_EQ(serif.upper_right.x, MeasureText(L"Width 42", 2.5, style).upper_right.x);
}

// --- Percent codes --------------------------------------------------------

TEST(PercentCodes, RenderedAsDrawn) {
  EXPECT_EQ(L"90\u00B0", RenderPercentCodes(L"90%%d"));
  EXPECT_EQ(L"90\u00B0", RenderPercentCodes(L"90%%D"));
  EXPECT_EQ(L"\u00B10.5", RenderPercentCodes(L"%%p0.5"));
  EXPECT_EQ(L"\u00D820", RenderPercentCodes(L"%%C20"));
  EXPECT_EQ(L"50%", RenderPercentCodes(L"50%%%"));
  EXPECT_EQ(L"AB", RenderPercentCodes(L"%%uA%%OB%%U"));
  EXPECT_EQ(L"\u00B0x", RenderPercentCodes(L"%%176x"));
  EXPECT_EQ(L"\u20AC", RenderPercentCodes(L"%%128"));
}

TEST(PercentCodes, IncompleteCodesStayAsTyped) {
  EXPECT_EQ(L"%%", RenderPercentCodes(L"%%"));
  EXPECT_EQ(L"a%%", RenderPercentCodes(L"a%%"));
  EXPECT_EQ(L"%%x", RenderPercentCodes(L"%%x"));
  EXPECT_EQ(L"%%12", RenderPercentCodes(L"%%12"));
  EXPECT_EQ(L"%d", RenderPercentCodes(L"%d"));
}

TEST(PercentCodes, MeasuredAsTheSymbol) {
  GM_REQUIRE_LIBERATION();
  TextBox degree = Arial(L"%%d");
  TextBox glyph = Arial(L"\u00B0");
  EXPECT_DOUBLE_EQ(glyph.upper_right.x, degree.upper_right.x);
  EXPECT_DOUBLE_EQ(glyph.lower_left.y, degree.lower_left.y);
  EXPECT_LT(degree.upper_right.x, Arial(L"%").upper_right.x);  // one glyph, not three
  TextBox underlined = Arial(L"%%uAB%%u");
  TextBox plain = Arial(L"AB");
  EXPECT_DOUBLE_EQ(plain.upper_right.x, underlined.upper_right.x);
  EXPECT_DOUBLE_EQ(plain.upper_right.y, underlined.upper_right.y);
}

// --- SHX approximation ----------------------------------------------------

TEST(ShxBox, SimplexProportions) {
  const double h = 2.1;
  TextBox box = MeasureText(L"AB", h, Style(L"simplex.shx"));
  ASSERT_TRUE(box.ok());
  EXPECT_EQ(MetricsSource::kShxApproximation, box.source);
  EXPECT_FALSE(box.real_metrics());
  EXPECT_DOUBLE_EQ(h, box.upper_right.y);
  EXPECT_EQ(0.0, box.lower_left.y);
  EXPECT_NEAR((18 + 21) / 21.0 * h, box.upper_right.x, 1e-12);
  EXPECT_NEAR(-h / 3, MeasureText(L"gy", h, Style(L"romans.shx")).lower_left.y, 1e-12);
  EXPECT_NEAR(h * 14 / 21, MeasureText(L"ace", h, Style(L"txt")).upper_right.y, 1e-12);
}

TEST(ShxBox, GrowsMonotonicallyWithTextAndHeight) {
  const std::wstring text = L"Pipe DN150 \u00D8168.3, 1:50 (gy)";
  std::wstring prefix;
  TextBox last = MeasureText(prefix, 2.5, Style(L"isocp.shx"));
  for (wchar_t c : text) {
    prefix += c;
    TextBox next = MeasureText(prefix, 2.5, Style(L"isocp.shx"));
    ASSERT_TRUE(next.ok());
    EXPECT_GE(next.upper_right.x, last.upper_right.x) << "after " << prefix.size();
    EXPECT_GE(next.upper_right.y, last.upper_right.y);
    EXPECT_LE(next.lower_left.y, last.lower_left.y);
    last = next;
  }
  double previous = 0;
  for (double h : {0.5, 1.0, 2.5, 7.0}) {
    double w = Width(MeasureText(text, h, Style(L"isocp.shx")));
    EXPECT_GT(w, previous);
    EXPECT_NEAR(w / h, Width(MeasureText(text, 1.0, Style(L"isocp.shx"))), 1e-9);
    previous = w;
  }
}

TEST(ShxBox, CharactersOutsideTheTableStillTakeRoom) {
  TextBox box = MeasureText(L"\u00C4\u4E2D", 2.5, Style(L"txt"));
  ASSERT_TRUE(box.ok());
  EXPECT_GT(box.upper_right.x, 2.5);
  EXPECT_GT(box.upper_right.y, 0);
  // The sans that measures them is found at the first such character, wherever it stands.
  const double h = 2.5;
  const double a = MeasureText(L"A", h, Style(L"txt")).upper_right.x;
  const double umlaut = MeasureText(L"\u00C4", h, Style(L"txt")).upper_right.x;
  EXPECT_NE(umlaut, h * 20 / 21) << "measured by outlines, not the bare estimate";
  EXPECT_NEAR(MeasureText(L"A\u00C4", h, Style(L"txt")).upper_right.x, a + umlaut, 1e-9);
  EXPECT_NEAR(MeasureText(L"\u00C4A", h, Style(L"simplex.shx")).upper_right.x, a + umlaut, 1e-9);
}

// --- Bad input ------------------------------------------------------------

TEST(TextBoxErrors, BadHeightGivesAnEmptyBox) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (double h : {nan, inf, -inf, 0.0, -2.5}) {
    TextBox box = Arial(L"AB", h);
    EXPECT_EQ(MeasureStatus::kBadHeight, box.status) << h;
    EXPECT_EQ(0.0, box.lower_left.x);
    EXPECT_EQ(0.0, box.upper_right.x);
    EXPECT_EQ(0.0, box.upper_right.y);
  }
}

TEST(TextBoxErrors, BadWidthFactorAndOblique) {
  TextStyle style = Style(L"arial.ttf");
  for (double f : {std::numeric_limits<double>::quiet_NaN(), 0.0, -1.0}) {
    style.width_factor = f;
    EXPECT_EQ(MeasureStatus::kBadWidthFactor, MeasureText(L"AB", 2.5, style).status) << f;
  }
  style.width_factor = 1;
  style.oblique = std::numeric_limits<double>::infinity();
  EXPECT_EQ(MeasureStatus::kBadOblique, MeasureText(L"AB", 2.5, style).status);
}

TEST(TextBoxErrors, HugeHeightReportsOutOfRange) {
  TextBox box = Arial(std::wstring(50, L'W'), std::numeric_limits<double>::max() / 4);
  EXPECT_EQ(MeasureStatus::kOutOfRange, box.status);
  EXPECT_EQ(0.0, box.upper_right.x);
}

TEST(TextBoxErrors, EmptyAndBlankTexts) {
  for (const wchar_t* font : {L"arial.ttf", L"simplex.shx"}) {
    TextBox empty = MeasureText(L"", 2.5, Style(font));
    ASSERT_TRUE(empty.ok());
    EXPECT_EQ(0.0, empty.upper_right.x);
    EXPECT_EQ(0.0, empty.upper_right.y);
    TextBox blanks = MeasureText(L"   ", 2.5, Style(font));
    EXPECT_GT(blanks.upper_right.x, 0);
    EXPECT_EQ(0.0, blanks.upper_right.y);
    EXPECT_EQ(0.0, blanks.lower_left.y);
    TextBox codes = MeasureText(L"%%u%%o", 2.5, Style(font));
    EXPECT_EQ(0.0, codes.upper_right.x);
  }
}

TEST(TextBoxErrors, ControlsAndBrokenCodePointsAreHarmless) {
  GM_REQUIRE_LIBERATION();
  std::wstring odd = L"A";
  odd += L'\0';
  odd += L'\x1B';
  odd += L'\u200B';
  odd += L'B';
  EXPECT_DOUBLE_EQ(Arial(L"AB").upper_right.x, Arial(odd).upper_right.x);
  std::wstring broken;
  broken += static_cast<wchar_t>(0xD800);
  broken += static_cast<wchar_t>(0x110000);
  TextBox box = Arial(broken);
  EXPECT_TRUE(box.ok());
  EXPECT_TRUE(std::isfinite(box.upper_right.x));
}

TEST(TextBoxErrors, LongTextsAddUpExactly) {
  const size_t n = 100000;
  for (const wchar_t* font : {L"arial.ttf", L"txt"}) {
    double one = MeasureText(L"H", 2.5, Style(font)).upper_right.x;
    TextBox box = MeasureText(std::wstring(n, L'H'), 2.5, Style(font));
    ASSERT_TRUE(box.ok());
    EXPECT_NEAR(n * one, box.upper_right.x, n * one * 1e-9) << font;
  }
}

}  // namespace
}  // namespace gm::fonts
