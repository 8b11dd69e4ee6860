// Character-by-character measurement shared by the TEXT box and the MTEXT
// layout. Internal to this room; every call REQUIRES FontLibrary's mutex held.
#pragma once

#include <string>
#include <string_view>

#include "platform/fonts/font_library.h"
#include "platform/fonts/font_resolver_internal.h"
#include "platform/fonts/measure_types.h"

namespace gm::fonts::detail {

// One character in drawing units, relative to the pen position.
struct GlyphMetrics {
  double kern = 0;  // added to the pen before this character
  double advance = 0;
  bool ink = false;
  double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

// Oblique angle (radians) reduced modulo pi and held within +-85 degrees.
double ClampOblique(double radians);

class RunMeasurer {
 public:
  // REQUIRES: height and width_factor finite and > 0; oblique finite.
  RunMeasurer(const RunFont& font, double height, double width_factor, double oblique,
              double tracking = 1.0);
  GlyphMetrics Next(char32_t c);
  MetricsSource source() const { return source_; }

 private:
  GlyphMetrics FromFace(Face* face, char32_t c, bool cut_descent);
  GlyphMetrics FromShxTable(char32_t c);

  // Only what measuring needs: copying the whole RunFont would copy its
  // family name for every text.
  FontKind kind_;
  Face* face_;
  bool face_pending_;
  double height_;
  double width_factor_;
  double tan_;
  double tracking_;
  MetricsSource source_;
  Face* prev_face_ = nullptr;
  unsigned prev_glyph_ = 0;
};

// The running box of a line of characters.
class BoxAccumulator {
 public:
  // first: the line's first character, whose kerning has no partner.
  void Add(const GlyphMetrics& g, bool first = false);
  double pen() const { return pen_; }
  double min_x() const { return min_x_; }
  double max_x() const { return max_x_; }
  double min_y() const { return min_y_; }
  double max_y() const { return max_y_; }
  double width() const { return max_x_ - min_x_; }

 private:
  double pen_ = 0;
  double min_x_ = 0, max_x_ = 0, min_y_ = 0, max_y_ = 0;
};

// The percent code starting at text[at] ("%%d", "%%u", "%%176", ...): how
// many characters it spans (0: none starts there) and what it draws (0:
// nothing).
struct PercentCode {
  size_t length = 0;
  char32_t drawn = 0;
};
PercentCode PercentCodeAt(std::wstring_view text, size_t at);

// Characters that draw nothing and take no room (controls, zero-width marks).
bool IsInvisible(char32_t c);

MeasureStatus CheckInputs(double height, double width_factor, double oblique);

// The weaker of two sources: outlines beat the SHX table, which beats estimates.
MetricsSource Weaker(MetricsSource a, MetricsSource b);

}  // namespace gm::fonts::detail
