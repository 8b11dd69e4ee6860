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

  double x0 = acc.min_x(), x1 = acc.max_x(), y0 = acc.min_y(), y1 = acc.max_y();
  if (!std::isfinite(x0) || !std::isfinite(x1) || !std::isfinite(y0) || !std::isfinite(y1)) {
    box.status = MeasureStatus::kOutOfRange;
    return box;
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
  return box;
}

}  // namespace gm::fonts
