// Text boxes of single-line texts (TEXT, ATTRIB) as a CAD host's textbox
// reports them: the lower-left and upper-right corners relative to the
// insertion point (the left end of the baseline), as if the text were not
// rotated.
//
// Height. A CAD text height is the height of capital letters, not the em:
// a TrueType face is scaled so that its cap height (OS/2 sCapHeight, else the
// ink top of 'H') equals the height. "AB" at 2.5 in Arial (Liberation Sans)
// spans (0, 0)-(4.85, 2.5).
//
// The box. x runs from 0 (or the leftmost ink edge, if that lies left of the
// insertion point) to the pen position after the last character, kerning
// included (or the rightmost ink edge, if that lies further right); trailing
// blanks therefore count. y runs from the lowest ink bottom (negative for g,
// y, p; 0 when nothing reaches below the baseline) to the highest ink top (the
// cap height for "AB", more for accented capitals), never below 0. An empty
// text, or one of blanks only, gives (0, 0)-(advance of the blanks, 0).
//
// Percent codes are measured as drawn: %%d degree sign, %%p plus-minus, %%c
// diameter (drawn as U+00D8, which every Latin face has), %%% a percent sign,
// %%u and %%o nothing (they toggle under- and overlining), %%nnn the
// character of code nnn (three decimal digits; 128-159 as Windows-1252).
// The letters may be of either case; any other "%%" is drawn as it stands.
//
// SHX fonts. No SHX files are available to this host, so an SHX style is
// measured with the proportions of the simplex stroke font that simplex.shx
// and romans.shx derive from and that txt, isocp and the others resemble:
// capitals and digits are exactly the height, lower-case x-height is 2/3 of
// it, descenders (g j p q y) reach 1/3 below the baseline, and each printable
// ASCII character advances by its simplex width (capitals 8/21 to 24/21 of
// the height, digits 20/21, a space 16/21). The ink of an SHX character is
// taken to fill its advance. Characters outside printable ASCII use the
// outlines of the sans (Liberation Sans where installed) scaled to the same
// cap height, with descenders cut at 1/3 of the height; without any face they
// advance by 20/21 of the height. Boxes grow monotonically with the text and
// linearly with height and width factor.
//
// No font at all. When fontconfig finds no usable face, TrueType styles are
// measured with the SHX proportions as well, and the result says so.
#pragma once

#include <array>
#include <bitset>
#include <string>
#include <string_view>
#include <vector>

#include "platform/fonts/font_resolver.h"
#include "platform/fonts/measure_types.h"

namespace gm::fonts {

struct TextStyle {
  FontSpec font;
  // Group 41: stretches x; must be finite and > 0.
  double width_factor = 1.0;
  // Slant in radians, as an SDS data list carries angles (the DXF file's
  // degrees converted); positive leans the tops to the right. Taken modulo pi
  // and held within +-85 degrees, as a CAD host's style dialog does.
  double oblique = 0.0;
  bool backwards = false;    // generation flag 2: mirrored about the y axis
  bool upside_down = false;  // generation flag 4: mirrored about the baseline
};

struct Point2 {
  double x = 0;
  double y = 0;
};

struct TextBox {
  MeasureStatus status = MeasureStatus::kOk;
  MetricsSource source = MetricsSource::kEstimate;
  Point2 lower_left;   // both corners are (0, 0) unless status is kOk
  Point2 upper_right;  // lower_left <= upper_right in both coordinates
  bool ok() const { return status == MeasureStatus::kOk; }
  bool real_metrics() const { return source == MetricsSource::kOutlines; }
};

// The box of text drawn at height in style. Linear in the length of text.
// Thread-safe.
[[nodiscard]] TextBox MeasureText(std::wstring_view text, double height, const TextStyle& style);

// Boxes of many texts in one style at one height, as MeasureText gives them.
// Printable ASCII texts without percent codes are measured from this
// object's table of the characters' measures and kerning pairs, filled as
// characters come; other texts go to MeasureText. Not thread-safe: one
// object per thread.
class PlainTextMeasurer {
 public:
  PlainTextMeasurer(const TextStyle& style, double height);
  [[nodiscard]] TextBox Measure(std::wstring_view text);

 private:
  static constexpr int kFirst = 0x20;
  static constexpr int kCount = 0x7F - kFirst;
  struct Glyph {
    double advance = 0;
    bool ink = false;
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  };
  const Glyph& GlyphOf(int c);
  double Kern(int left, int right);

  TextStyle style_;
  double height_;
  bool usable_;
  MetricsSource source_ = MetricsSource::kEstimate;
  std::array<Glyph, kCount> glyphs_{};
  std::bitset<kCount> glyph_known_;
  std::vector<double> kerns_;  // kCount * kCount, left major
  std::bitset<kCount * kCount> kern_known_;
};

// What a CAD host draws for a TEXT string: percent codes replaced as above.
std::wstring RenderPercentCodes(std::wstring_view text);

}  // namespace gm::fonts
