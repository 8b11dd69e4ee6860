// The extents of an MTEXT's contents (what groups 42 and 43 hold), for
// drawings that leave them out.
//
// Layout. The contents split into paragraphs at \P (and at \X, \N and line
// feeds). With a reference width > 0 each paragraph is word-wrapped greedily,
// breaking only at spaces (\~ does not break); a word wider than the reference
// width stands alone on its line and overflows. Spaces at the end of a line,
// where it breaks or where its paragraph ends, take no room; spaces before
// the first word of a paragraph do.
//
// Extents. width = the widest line, measured as TEXT boxes are (ink or
// advance, whichever reaches further). height = h1 + sum over the lines
// after the first of 5/3 * spacing factor * hi, where hi is the tallest
// character height on line i (the height in effect, for an empty line): for
// text of one height, char height + (lines - 1) * pitch, and exactly the char
// height for one line. Descenders of the last line are not added, following
// the CAD convention that an MTEXT's height runs from its first line's cap
// height to its last line's baseline.
//
// Formatting codes read: {...} groups; \fFamily|b1|i1|...; and \Ffile|...;
// fonts; \H2.5; (absolute) and \H2x; (relative) heights; \W width factor
// (absolute or x); \Q oblique in degrees; \T tracking (scales advances);
// \S top/bottom; \S top^bottom; \S top#bottom; stacked, measured as the wider
// part at 70% of the height; \U+XXXX (surrogate pairs joined); \M+nXXXX as
// one ideograph; \\ \{ \} literal; \~ a non-breaking space; tabs as four
// spaces; percent codes as in TEXT. Codes that take no room are skipped:
// \L \l \O \o \K \k, \A..;, \C..;, \c..;, \p..;. A code whose ";" is
// missing runs to the end. Any other backslash is drawn as it stands.
// Values that make no sense (\H0; \W-1; NaN) leave the setting unchanged.
#pragma once

#include <string_view>

#include "platform/fonts/text_metrics.h"

namespace gm::fonts {

struct MTextInput {
  std::wstring_view contents;  // the group 3 chunks followed by group 1
  double char_height = 0;      // group 40; must be finite and > 0
  double reference_width = 0;  // group 41; 0 (or not finite, or < 0): no wrapping
  double line_spacing = 1.0;   // group 44; held within 0.25..4, not finite or <= 0: 1
  TextStyle style;             // font, width factor and oblique of the text style
};

struct MTextExtents {
  MeasureStatus status = MeasureStatus::kOk;
  MetricsSource source = MetricsSource::kEstimate;  // the weakest of all runs
  double width = 0;
  double height = 0;
  int lines = 0;  // at least 1 when status is kOk (empty contents: one empty line)
  bool ok() const { return status == MeasureStatus::kOk; }
  bool real_metrics() const { return source == MetricsSource::kOutlines; }
};

// Linear in the length of the contents. Thread-safe.
[[nodiscard]] MTextExtents MeasureMText(const MTextInput& input);

// Distance between baselines of lines of height h: 5/3 * h * spacing factor.
double MTextLinePitch(double height, double line_spacing);

}  // namespace gm::fonts
