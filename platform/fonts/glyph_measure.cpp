#include "platform/fonts/glyph_measure.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "platform/fonts/shx_metrics.h"
#include "platform/win/strings.h"

namespace gm::fonts::detail {

namespace {

bool IsBlank(char32_t c) {
  return c == U' ' || c == 0xA0 || (c >= 0x2000 && c <= 0x200A) || c == 0x202F || c == 0x205F ||
         c == 0x3000;
}

// Windows-1252 at 0x80..0x9F, where it differs from Latin-1; 0 keeps the code.
constexpr char32_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

}  // namespace

PercentCode PercentCodeAt(std::wstring_view text, size_t at) {
  if (at + 2 >= text.size() || text[at] != L'%' || text[at + 1] != L'%') return {};
  switch (text[at + 2]) {
    case L'd':
    case L'D':
      return {3, 0xB0};
    case L'p':
    case L'P':
      return {3, 0xB1};
    case L'c':
    case L'C':
      return {3, 0xD8};
    case L'%':
      return {3, U'%'};
    case L'u':
    case L'U':
    case L'o':
    case L'O':
      return {3, 0};
    default:
      break;
  }
  if (at + 4 < text.size() && IsDigit(text[at + 2]) && IsDigit(text[at + 3]) &&
      IsDigit(text[at + 4])) {
    auto n = static_cast<char32_t>((text[at + 2] - L'0') * 100 + (text[at + 3] - L'0') * 10 +
                                   (text[at + 4] - L'0'));
    if (n >= 0x80 && n <= 0x9F && kCp1252High[n - 0x80] != 0) n = kCp1252High[n - 0x80];
    return {5, n};
  }
  return {};
}

double ClampOblique(double radians) {
  constexpr double kLimit = 85.0 * std::numbers::pi / 180.0;
  double r = std::remainder(radians, std::numbers::pi);
  return std::clamp(r, -kLimit, kLimit);
}

RunMeasurer::RunMeasurer(const RunFont& font, double height, double width_factor, double oblique,
                         double tracking)
    : kind_(font.kind),
      face_(font.face),
      face_pending_(font.face_pending),
      height_(height),
      width_factor_(width_factor),
      // Upright is the rule; tan and remainder cost more than a short text's glyphs.
      tan_(oblique == 0 ? 0.0 : std::tan(ClampOblique(oblique))),
      tracking_(tracking) {
  if (kind_ == FontKind::kShx) {
    source_ = MetricsSource::kShxApproximation;
  } else {
    source_ = face_ ? MetricsSource::kOutlines : MetricsSource::kEstimate;
  }
}

GlyphMetrics RunMeasurer::Next(char32_t c) {
  if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
  if (IsInvisible(c)) return {};
  if (kind_ == FontKind::kTrueType && face_) return FromFace(face_, c, false);
  if (c == 0xA0) c = U' ';
  if (ShxAsciiGlyph(c)) return FromShxTable(c);
  if (face_pending_) {
    face_ = ShxStandInFace();
    face_pending_ = false;
  }
  if (face_) return FromFace(face_, c, true);

  prev_face_ = nullptr;
  GlyphMetrics g;
  double advance = kShxDefaultAdvance / kShxUnitsPerCap * height_ * width_factor_;
  g.advance = advance * tracking_;
  if (!IsBlank(c)) {
    g.ink = true;
    g.y1 = height_;
    g.x0 = std::min(0.0, height_ * tan_);
    g.x1 = advance + std::max(0.0, height_ * tan_);
  }
  return g;
}

GlyphMetrics RunMeasurer::FromFace(Face* face, char32_t c, bool cut_descent) {
  unsigned glyph = face->GlyphIndex(c);
  if (glyph == 0) {
    if (Face* other = FontLibrary::Instance().FaceWithChar(c)) {
      face = other;
      glyph = other->GlyphIndex(c);
    }
  }
  double scale = height_ / face->cap_height();
  double scale_x = scale * width_factor_;
  GlyphMetrics g;
  if (face == prev_face_) g.kern = face->Kerning(prev_glyph_, glyph) * scale_x;
  // Slanting after stretching x equals slanting the outline by tan/width factor first.
  const Face::Metrics metrics = face->Measure(glyph, tan_ / width_factor_);
  g.advance = metrics.advance * scale_x * tracking_;
  const InkBox& ink = metrics.ink;
  if (!ink.empty) {
    g.ink = true;
    g.x0 = ink.x0 * scale_x;
    g.x1 = ink.x1 * scale_x;
    g.y0 = ink.y0 * scale;
    g.y1 = ink.y1 * scale;
    if (cut_descent) {
      g.y0 = std::max(g.y0, -height_ * kShxDescentUnits / kShxUnitsPerCap);
      g.y1 = std::max(g.y1, g.y0);
    }
  }
  prev_face_ = face;
  prev_glyph_ = glyph;
  return g;
}

GlyphMetrics RunMeasurer::FromShxTable(char32_t c) {
  prev_face_ = nullptr;
  const ShxGlyph& shx = *ShxAsciiGlyph(c);
  double unit = height_ / kShxUnitsPerCap;
  double advance = shx.advance * unit * width_factor_;
  GlyphMetrics g;
  g.advance = advance * tracking_;
  if (c != U' ') {
    g.ink = true;
    g.y0 = shx.bottom * unit;
    g.y1 = shx.top * unit;
    g.x0 = std::min(g.y0 * tan_, g.y1 * tan_);
    g.x1 = advance + std::max(g.y0 * tan_, g.y1 * tan_);
  }
  return g;
}

void BoxAccumulator::Add(const GlyphMetrics& g, bool first) {
  if (!first) pen_ += g.kern;
  if (g.ink) {
    min_x_ = std::min(min_x_, pen_ + g.x0);
    max_x_ = std::max(max_x_, pen_ + g.x1);
    min_y_ = std::min(min_y_, g.y0);
    max_y_ = std::max(max_y_, g.y1);
  }
  pen_ += g.advance;
  max_x_ = std::max(max_x_, pen_);
}

bool IsInvisible(char32_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || (c >= 0x200B && c <= 0x200F) ||
         (c >= 0x2028 && c <= 0x202E) || (c >= 0x2060 && c <= 0x2064) || c == 0xFEFF;
}

MeasureStatus CheckInputs(double height, double width_factor, double oblique) {
  if (!std::isfinite(height) || height <= 0) return MeasureStatus::kBadHeight;
  if (!std::isfinite(width_factor) || width_factor <= 0) return MeasureStatus::kBadWidthFactor;
  if (!std::isfinite(oblique)) return MeasureStatus::kBadOblique;
  return MeasureStatus::kOk;
}

MetricsSource Weaker(MetricsSource a, MetricsSource b) {
  return static_cast<int>(a) > static_cast<int>(b) ? a : b;
}

}  // namespace gm::fonts::detail
