#include "platform/fonts/text_metrics.h"

#include <cmath>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/fonts/glyph_measure.h"

namespace gm::fonts {

namespace {

bool SameFont(const FontSpec& a, const FontSpec& b) {
  return a.bold == b.bold && a.italic == b.italic && a.file == b.file && a.family == b.family;
}

// The resolved font of a style, kept so that measuring many short texts does
// not classify, convert and look up the font names for each of them. A
// drawing has few styles; past the bound the font is resolved every time.
// REQUIRES FontLibrary's mutex held.
detail::RunFont CachedRunFont(const FontSpec& font) {
  static std::vector<std::pair<FontSpec, detail::RunFont>> cache;
  constexpr size_t kMaxCached = 64;
  for (const auto& [known, run] : cache) {
    if (SameFont(known, font))
      return {run.kind, {}, run.bold, run.italic, run.face, run.face_pending};
  }
  detail::RunFont run = detail::OpenRunFont(font);
  if (cache.size() < kMaxCached) cache.emplace_back(font, run);
  return run;
}

// The box from the characters' running extent, mirrored as the style asks.
void FinishBox(const detail::BoxAccumulator& acc, const TextStyle& style, TextBox& box) {
  double x0 = acc.min_x(), x1 = acc.max_x(), y0 = acc.min_y(), y1 = acc.max_y();
  if (!std::isfinite(x0) || !std::isfinite(x1) || !std::isfinite(y0) || !std::isfinite(y1)) {
    box.status = MeasureStatus::kOutOfRange;
    return;
  }
  if (style.backwards) {
    double left = -x1;
    x1 = -x0;
    x0 = left;
  }
  if (style.upside_down) {
    double bottom = -y1;
    y1 = -y0;
    y0 = bottom;
  }
  // Mirroring turns 0 into -0; the corners read better without it.
  box.lower_left = {x0 + 0.0, y0 + 0.0};
  box.upper_right = {x1 + 0.0, y1 + 0.0};
}

}  // namespace

std::wstring RenderPercentCodes(std::wstring_view text) {
  std::wstring out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    detail::PercentCode code = detail::PercentCodeAt(text, i);
    if (code.length == 0) {
      out += text[i++];
      continue;
    }
    if (code.drawn != 0) out += static_cast<wchar_t>(code.drawn);
    i += code.length;
  }
  return out;
}

TextBox MeasureText(std::wstring_view text, double height, const TextStyle& style) {
  TextBox box;
  box.status = detail::CheckInputs(height, style.width_factor, style.oblique);
  if (!box.ok()) return box;

  // Most texts have no percent codes and are measured in place.
  std::wstring rendered;
  std::wstring_view drawn = text;
  if (text.find(L"%%") != std::wstring_view::npos) {
    rendered = RenderPercentCodes(text);
    drawn = rendered;
  }
  detail::BoxAccumulator acc;
  {
    auto& library = detail::FontLibrary::Instance();
    std::lock_guard<std::mutex> lock(library.mutex());
    detail::RunMeasurer measurer(CachedRunFont(style.font), height, style.width_factor,
                                 style.oblique);
    bool first = true;
    for (wchar_t c : drawn) {
      acc.Add(measurer.Next(static_cast<char32_t>(c)), first);
      first = false;
    }
    box.source = measurer.source();
  }

  FinishBox(acc, style, box);
  return box;
}

PlainTextMeasurer::PlainTextMeasurer(const TextStyle& style, double height)
    : style_(style),
      height_(height),
      usable_(detail::CheckInputs(height, style.width_factor, style.oblique) == MeasureStatus::kOk),
      kerns_(usable_ ? static_cast<size_t>(kCount) * kCount : 0) {
  if (!usable_) return;
  auto& library = detail::FontLibrary::Instance();
  std::lock_guard<std::mutex> lock(library.mutex());
  source_ =
      detail::RunMeasurer(CachedRunFont(style_.font), height_, style_.width_factor, style_.oblique)
          .source();
}

// A character's measure and a pair's kerning do not depend on what came
// before them, so each is taken once from a fresh run.
const PlainTextMeasurer::Glyph& PlainTextMeasurer::GlyphOf(int c) {
  Glyph& glyph = glyphs_[static_cast<size_t>(c)];
  if (glyph_known_[static_cast<size_t>(c)]) return glyph;
  auto& library = detail::FontLibrary::Instance();
  std::lock_guard<std::mutex> lock(library.mutex());
  detail::RunMeasurer measurer(CachedRunFont(style_.font), height_, style_.width_factor,
                               style_.oblique);
  const detail::GlyphMetrics g = measurer.Next(static_cast<char32_t>(kFirst + c));
  glyph = {g.advance, g.ink, g.x0, g.y0, g.x1, g.y1};
  glyph_known_[static_cast<size_t>(c)] = true;
  return glyph;
}

double PlainTextMeasurer::Kern(int left, int right) {
  const size_t at = static_cast<size_t>(left) * kCount + static_cast<size_t>(right);
  if (kern_known_[at]) return kerns_[at];
  auto& library = detail::FontLibrary::Instance();
  std::lock_guard<std::mutex> lock(library.mutex());
  detail::RunMeasurer measurer(CachedRunFont(style_.font), height_, style_.width_factor,
                               style_.oblique);
  (void)measurer.Next(static_cast<char32_t>(kFirst + left));
  kerns_[at] = measurer.Next(static_cast<char32_t>(kFirst + right)).kern;
  kern_known_[at] = true;
  return kerns_[at];
}

TextBox PlainTextMeasurer::Measure(std::wstring_view text) {
  if (!usable_ || text.find(L"%%") != std::wstring_view::npos) {
    return MeasureText(text, height_, style_);
  }
  for (const wchar_t c : text) {
    if (c < kFirst || c >= kFirst + kCount) return MeasureText(text, height_, style_);
  }
  TextBox box;
  box.source = source_;
  detail::BoxAccumulator acc;
  int previous = -1;
  for (const wchar_t c : text) {
    const int at = static_cast<int>(c) - kFirst;
    const Glyph& glyph = GlyphOf(at);
    detail::GlyphMetrics g;
    g.kern = previous < 0 ? 0.0 : Kern(previous, at);
    g.advance = glyph.advance;
    g.ink = glyph.ink;
    g.x0 = glyph.x0;
    g.y0 = glyph.y0;
    g.x1 = glyph.x1;
    g.y1 = glyph.y1;
    acc.Add(g, previous < 0);
    previous = at;
  }
  FinishBox(acc, style_, box);
  return box;
}

}  // namespace gm::fonts
