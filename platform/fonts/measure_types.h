// How a measurement went, and what it was measured with.
#pragma once

namespace gm::fonts {

enum class MeasureStatus {
  kOk,
  kBadHeight,       // NaN, infinite, zero or negative
  kBadWidthFactor,  // NaN, infinite, zero or negative
  kBadOblique,      // NaN or infinite
  kOutOfRange,      // the box would not be finite
};

enum class MetricsSource {
  kOutlines,          // real glyph outlines of a TrueType face
  kShxApproximation,  // the SHX proportions (text_metrics.h)
  kEstimate,          // a TrueType style, but no face could be opened
};

}  // namespace gm::fonts
