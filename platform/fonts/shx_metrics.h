// Proportions of the simplex stroke font, in units of which the capitals are
// 21 high: the stand-in for SHX fonts (see text_metrics.h). Internal.
#pragma once

namespace gm::fonts::detail {

constexpr double kShxUnitsPerCap = 21.0;
constexpr double kShxDescentUnits = 7.0;  // a third of the cap height
constexpr double kShxDefaultAdvance = 20.0;

struct ShxGlyph {
  signed char advance;
  signed char top;  // ink top and bottom; a space has no ink at all
  signed char bottom;
};

// Printable ASCII (U+0020..U+007E) only; nullptr for anything else.
const ShxGlyph* ShxAsciiGlyph(char32_t c);

}  // namespace gm::fonts::detail
