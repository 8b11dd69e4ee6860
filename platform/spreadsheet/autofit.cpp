#include "platform/spreadsheet/autofit.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <mutex>
#include <tuple>

#include "platform/fonts/text_metrics.h"

namespace spreadsheet {
namespace {

constexpr double kDigitPixels = 7.0;  // a digit of Calibri 11 at 96 dpi
constexpr double kMarginPixels = 5.0;
constexpr double kMaxColumnWidth = 255.0;
constexpr double kMaxRowHeight = 409.5;
constexpr double kPi = 3.14159265358979323846;

gm::fonts::TextStyle StyleOf(const FontFormat& font) {
  gm::fonts::TextStyle style;
  style.font.family = font.name;
  style.font.bold = font.bold;
  style.font.italic = font.italic;
  return style;
}

double BoxWidth(const gm::fonts::TextBox& box) { return box.upper_right.x - box.lower_left.x; }

// The width of a line in digits of its own face. The face's style and
// digit width are found once per font, not once per cell.
class LineMeasurer {
 public:
  explicit LineMeasurer(const FontFormat& font)
      : font_(font), style_(StyleOf(font)), plain_(style_, 1.0) {
    static std::mutex mutex;
    static std::map<std::tuple<std::wstring, bool, bool>, double> digit_widths;
    std::lock_guard lock(mutex);
    const auto key = std::make_tuple(font.name, font.bold, font.italic);
    auto it = digit_widths.find(key);
    if (it == digit_widths.end()) {
      const auto digit = gm::fonts::MeasureText(L"0", 1.0, style_);
      it = digit_widths.emplace(key, digit.ok() ? BoxWidth(digit) : 0.0).first;
    }
    digit_ = it->second;
  }

  double WidthInDigits(std::wstring_view line) {
    if (line.empty()) return 0;
    const auto box = plain_.Measure(line);
    if (!box.ok() || digit_ <= 0) return static_cast<double>(line.size());
    return BoxWidth(box) / digit_;
  }

  const FontFormat& font() const { return font_; }
  double LinePixels(std::wstring_view line) {
    return WidthInDigits(line) * kDigitPixels * font_.size / 11.0;
  }

 private:
  const FontFormat& font_;
  gm::fonts::TextStyle style_;
  // Cell texts are mostly plain ASCII: measured from a table of this face's
  // characters rather than through the face for every character.
  gm::fonts::PlainTextMeasurer plain_;
  double digit_ = 0;
};

double LineHeightPixels(const FontFormat& font) { return font.size * 15.0 / 11.0 / 0.75; }

// Calls fn(line) for each line of text, without its line end; in place, as
// it runs once per measured cell.
template <typename Fn>
void ForEachLine(std::wstring_view text, Fn fn) {
  std::wstring_view rest(text);
  for (;;) {
    const size_t lf = rest.find(L'\n');
    std::wstring_view line = rest.substr(0, lf);
    if (!line.empty() && line.back() == L'\r') line.remove_suffix(1);
    fn(line);
    if (lf == std::wstring_view::npos) break;
    rest.remove_prefix(lf + 1);
  }
}

// The box a cell's text takes, in pixels, after rotation.
struct Extent {
  double width = 0;
  double height = 0;
};

// Without need_width, a cell that neither wraps nor turns its text is not
// measured: its height does not depend on its width. REQUIRES: data is
// neither empty nor a formula (those show nothing to measure).
Extent CellExtent(const CellData& data, const CellFormat& format, double column_width,
                  bool need_width, LineMeasurer& measurer) {
  using Kind = CellData::Kind;
  std::wstring shown;
  std::wstring_view text = data.text;
  if (data.kind != Kind::kText) {
    shown = DisplayText(data.Value());
    text = shown;
  }
  if (text.empty()) return {};
  const FontFormat& font = measurer.font();
  if (!need_width && !format.wrap_text && format.orientation == 0) {
    const auto lines = std::count(text.begin(), text.end(), L'\n') + 1;
    return {0, static_cast<double>(lines) * LineHeightPixels(font)};
  }
  const double line_height = LineHeightPixels(font);
  double longest = 0;
  double lines = 0;
  size_t characters = 0;
  const double available = std::max(1.0, column_width * kDigitPixels);
  ForEachLine(text, [&](std::wstring_view line) {
    const double pixels = measurer.LinePixels(line);
    longest = std::max(longest, pixels);
    characters += line.size();
    const bool wraps = format.wrap_text && format.orientation == 0;
    lines += wraps ? std::max(1.0, std::ceil(pixels / available)) : 1.0;
  });
  if (format.orientation == kStackedText) {
    return {kDigitPixels * font.size / 11.0 * 1.2, static_cast<double>(characters) * line_height};
  }
  const double angle = format.orientation * kPi / 180.0;
  const double w =
      format.wrap_text && format.orientation == 0 ? std::min(longest, available) : longest;
  const double h = lines * line_height;
  return {std::fabs(w * std::cos(angle)) + std::fabs(h * std::sin(angle)),
          std::fabs(w * std::sin(angle)) + std::fabs(h * std::cos(angle))};
}

}  // namespace

std::wstring DisplayText(const CellValue& value) {
  if (const auto* text = std::get_if<std::wstring>(&value)) return *text;
  if (const auto* flag = std::get_if<bool>(&value)) return *flag ? L"TRUE" : L"FALSE";
  if (const auto* number = std::get_if<double>(&value)) {
    // General shows at most 11 characters.
    char buffer[64];
    for (int precision = 11; precision >= 1; --precision) {
      auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof buffer, *number,
                                     std::chars_format::general, precision);
      if (ec == std::errc() && (ptr - buffer <= 11 || precision == 1)) {
        std::wstring shown;
        for (const char* p = buffer; p != ptr; ++p) shown.push_back(*p == 'e' ? L'E' : *p);
        return shown;
      }
    }
  }
  return {};
}

// Calls fn(row, column, extent) for each cell of the area that autofit
// measures: merged areas are left out, as the application leaves them.
template <typename Fn>
void ForEachMeasuredCell(const Worksheet& sheet, const CellRect& area, bool need_width, Fn fn) {
  // The merged areas the area touches, checked row by row as the cells come.
  std::vector<CellRect> merged;
  for (const CellRect& m : sheet.merged_areas()) {
    if (m.Overlaps(area)) merged.push_back(m);
  }
  std::sort(merged.begin(), merged.end(),
            [](const CellRect& a, const CellRect& b) { return a.top < b.top; });
  static const FontFormat kStandardFont;
  LineMeasurer measurer(kStandardFont);
  std::vector<CellRect> current;  // those covering the row at hand
  size_t next = 0;
  int current_row = 0;
  const Worksheet::CellRange cells = sheet.cells(area);
  for (auto it = cells.begin(); it != cells.end(); ++it) {
    const auto [row, column] = it.key();
    if (row != current_row) {
      current_row = row;
      std::erase_if(current, [row](const CellRect& m) { return m.bottom < row; });
      for (; next < merged.size() && merged[next].top <= row; ++next) {
        if (merged[next].bottom >= row) current.push_back(merged[next]);
      }
    }
    const CellData data = it.data();
    // Empty cells and formulas (kept without a result) show nothing to measure.
    if (data.kind == CellData::Kind::kEmpty || data.kind == CellData::Kind::kFormula) continue;
    bool inside = false;
    for (const CellRect& m : current) inside = inside || m.Contains(row, column);
    if (inside) continue;
    fn(row, column,
       CellExtent(data, sheet.format(data.format), sheet.ColumnWidth(column), need_width,
                  measurer));
  }
}

void AutoFitColumns(Worksheet& sheet, const CellRect& area) {
  std::map<int, double> widest;  // pixels
  ForEachMeasuredCell(sheet, area, true, [&](int, int column, const Extent& extent) {
    if (extent.width > 0) widest[column] = std::max(widest[column], extent.width);
  });
  // Columns of the area that show nothing go back to the default width.
  std::vector<int> reset;
  for (const auto& [column, width] : sheet.column_widths()) {
    if (column >= area.left && column <= area.right && !widest.count(column)) {
      reset.push_back(column);
    }
  }
  for (int column : reset) sheet.SetColumnWidth(column, std::nullopt);
  for (const auto& [column, pixels] : widest) {
    const double width = std::ceil((pixels + kMarginPixels) / kDigitPixels * 256.0) / 256.0;
    sheet.SetColumnWidth(column, std::min(width, kMaxColumnWidth));
  }
}

void AutoFitRows(Worksheet& sheet, const CellRect& area) {
  std::map<int, double> tallest;  // pixels
  ForEachMeasuredCell(sheet, area, false, [&](int row, int, const Extent& extent) {
    if (extent.height > 0) tallest[row] = std::max(tallest[row], extent.height);
  });
  std::vector<int> reset;
  for (const auto& [row, height] : sheet.row_heights()) {
    if (row >= area.top && row <= area.bottom && !tallest.count(row)) reset.push_back(row);
  }
  for (int row : reset) sheet.SetRowHeight(row, std::nullopt);
  for (const auto& [row, pixels] : tallest) {
    // Row heights go in whole pixels (0.75 points).
    const double points = std::ceil(pixels - 1e-9) * 0.75;
    sheet.SetRowHeight(row, std::min(points, kMaxRowHeight));
  }
}

}  // namespace spreadsheet
