#include "platform/fonts/mtext_layout.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <mutex>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

#include "platform/fonts/glyph_measure.h"

namespace gm::fonts {

namespace {

constexpr double kStackScale = 0.7;
constexpr int kSpacesPerTab = 4;

struct Item {
  detail::GlyphMetrics g;
  double height = 0;   // the character height it was set in
  bool space = false;  // a place where the line may break
};

struct Paragraph {
  std::vector<Item> items;
  double empty_height = 0;  // the height of the line if nothing is on it
};

struct State {
  detail::RunFont font;
  double height = 0;
  double width_factor = 1;
  double oblique = 0;
  double tracking = 1;
};

// The number at the start of a code's argument and whether an 'x' (relative
// to the current value) follows it.
struct CodeValue {
  double value = 0;
  bool relative = false;
};

std::optional<CodeValue> ParseValue(std::wstring_view arg) {
  std::string narrow;
  for (wchar_t c : arg) {
    if (c == L' ' && narrow.empty()) continue;
    if (c > 0x7F) break;
    narrow += static_cast<char>(c);
  }
  const char* begin = narrow.data();
  const char* end = begin + narrow.size();
  if (begin != end && *begin == '+') ++begin;
  CodeValue out;
  auto [ptr, ec] = std::from_chars(begin, end, out.value);
  if (ec != std::errc() || !std::isfinite(out.value)) return std::nullopt;
  out.relative = ptr != end && (*ptr == 'x' || *ptr == 'X');
  return out;
}

int HexDigit(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

class Parser {
 public:
  Parser(const MTextInput& in) : text_(in.contents) {
    state_.font = detail::OpenRunFont(in.style.font);
    state_.height = in.char_height;
    state_.width_factor = in.style.width_factor;
    state_.oblique = in.style.oblique;
    paragraphs_.push_back({{}, state_.height});
    Measurer();  // empty contents still report the style's kind of metrics
  }

  std::vector<Paragraph> Run() {
    while (pos_ < text_.size()) Step();
    return std::move(paragraphs_);
  }

  MetricsSource source() const { return source_; }

 private:
  void Step() {
    wchar_t c = text_[pos_];
    if (c == L'\\' && pos_ + 1 < text_.size()) {
      wchar_t code = text_[pos_ + 1];
      pos_ += 2;
      Code(code);
      return;
    }
    ++pos_;
    switch (c) {
      case L'{':
        stack_.push_back(state_);
        return;
      case L'}':
        if (!stack_.empty()) {
          state_ = std::move(stack_.back());
          stack_.pop_back();
          measurer_.reset();
        }
        return;
      case L'\n':
        NewParagraph();
        return;
      case L'\t':
        Tab();
        return;
      case L'%': {
        detail::PercentCode code = detail::PercentCodeAt(text_, pos_ - 1);
        if (code.length != 0) {
          pos_ += code.length - 1;
          if (code.drawn != 0) Emit(code.drawn, false);
          return;
        }
        break;
      }
      default:
        break;
    }
    Emit(static_cast<char32_t>(c), c == L' ');
  }

  void Code(wchar_t code) {
    switch (code) {
      case L'P':
      case L'X':
      case L'N':
        NewParagraph();
        return;
      case L'~':
        Emit(U' ', false);
        return;
      case L'\\':
      case L'{':
      case L'}':
        Emit(static_cast<char32_t>(code), false);
        return;
      case L'L':
      case L'l':
      case L'O':
      case L'o':
      case L'K':
      case L'k':
        return;
      case L'A':
      case L'C':
      case L'c':
      case L'p':
        Argument();
        return;
      case L'H':
        SetPositive(Argument(), state_.height);
        return;
      case L'W':
        SetPositive(Argument(), state_.width_factor);
        return;
      case L'T':
        SetPositive(Argument(), state_.tracking);
        return;
      case L'Q':
        if (auto v = ParseValue(Argument()); v && !v->relative) {
          state_.oblique = v->value * std::numbers::pi / 180.0;
          measurer_.reset();
        }
        return;
      case L'f':
      case L'F':
        SetFont(Argument(), code == L'F');
        return;
      case L'S':
        Stack();
        return;
      case L'U':
        if (Unicode()) return;
        break;
      case L'M':
        if (MultiByte()) return;
        break;
      default:
        break;
    }
    // Not a code: the backslash is drawn, and the character after it is read
    // again as ordinary text.
    --pos_;
    Emit(U'\\', false);
  }

  // Up to the next ";" (consumed), or to the end when there is none.
  std::wstring_view Argument() {
    size_t end = text_.find(L';', pos_);
    std::wstring_view arg = text_.substr(pos_, end == std::wstring_view::npos ? end : end - pos_);
    pos_ = end == std::wstring_view::npos ? text_.size() : end + 1;
    return arg;
  }

  void SetPositive(std::wstring_view arg, double& setting) {
    auto v = ParseValue(arg);
    if (!v) return;
    double value = v->relative ? setting * v->value : v->value;
    if (!std::isfinite(value) || value <= 0) return;
    setting = value;
    measurer_.reset();
  }

  void SetFont(std::wstring_view arg, bool is_file) {
    size_t bar = arg.find(L'|');
    std::wstring_view name = arg.substr(0, bar);
    if (name.empty()) return;
    FontSpec font_spec;
    if (is_file) {
      font_spec.file = std::wstring(name);
    } else {
      font_spec.family = std::wstring(name);
    }
    while (bar != std::wstring_view::npos) {
      size_t next = arg.find(L'|', bar + 1);
      std::wstring_view flag =
          arg.substr(bar + 1, next == std::wstring_view::npos ? next : next - bar - 1);
      if (flag.size() >= 2 && (flag[0] == L'b' || flag[0] == L'i')) {
        (flag[0] == L'b' ? font_spec.bold : font_spec.italic) = flag[1] == L'1';
      }
      bar = next;
    }
    state_.font = detail::OpenRunFont(font_spec);
    measurer_.reset();
  }

  // \S top/bottom; with '^' or '#' in place of '/'; escapes taken literally.
  void Stack() {
    std::u32string part[2];
    int side = 0;
    while (pos_ < text_.size()) {
      wchar_t c = text_[pos_++];
      if (c == L';') break;
      if (c == L'\\' && pos_ < text_.size()) {
        part[side] += static_cast<char32_t>(text_[pos_++]);
      } else if (side == 0 && (c == L'/' || c == L'^' || c == L'#')) {
        side = 1;
      } else {
        part[side] += static_cast<char32_t>(c);
      }
    }
    detail::RunMeasurer small(state_.font, state_.height * kStackScale, state_.width_factor,
                              state_.oblique, state_.tracking);
    double width = 0;
    for (const std::u32string& p : part) {
      detail::BoxAccumulator acc;
      for (size_t k = 0; k < p.size(); ++k) acc.Add(small.Next(p[k]), k == 0);
      width = std::max(width, acc.width());
    }
    source_ = detail::Weaker(source_, small.source());
    Item item;
    item.g.advance = width;
    item.g.ink = width > 0;
    item.g.x1 = width;
    item.height = state_.height;
    paragraphs_.back().items.push_back(item);
    measurer_.reset();  // no kerning across the fraction
  }

  // \U+XXXX, a UTF-16 unit; a high surrogate joins the \U+ that follows it.
  bool Unicode() {
    auto unit = [this](size_t at) -> int {
      if (at + 5 > text_.size() || text_[at] != L'+') return -1;
      int v = 0;
      for (size_t k = at + 1; k < at + 5; ++k) {
        int d = HexDigit(text_[k]);
        if (d < 0) return -1;
        v = v * 16 + d;
      }
      return v;
    };
    int first = unit(pos_);
    if (first < 0) return false;
    pos_ += 5;
    char32_t c = static_cast<char32_t>(first);
    if (first >= 0xD800 && first <= 0xDBFF && pos_ + 1 < text_.size() && text_[pos_] == L'\\' &&
        text_[pos_ + 1] == L'U') {
      int second = unit(pos_ + 2);
      if (second >= 0xDC00 && second <= 0xDFFF) {
        c = 0x10000 + ((static_cast<char32_t>(first) - 0xD800) << 10) +
            (static_cast<char32_t>(second) - 0xDC00);
        pos_ += 7;
      }
    }
    Emit(c, false);
    return true;
  }

  // \M+nXXXX: a double-byte character of an East Asian code page, drawn one
  // ideograph wide; which one does not change the measure.
  bool MultiByte() {
    if (pos_ + 6 > text_.size() || text_[pos_] != L'+') return false;
    for (size_t k = pos_ + 2; k < pos_ + 6; ++k) {
      if (HexDigit(text_[k]) < 0) return false;
    }
    pos_ += 6;
    Emit(0x4E00, false);
    return true;
  }

  void Tab() {
    Item item;
    item.g = Measurer().Next(U' ');
    item.g.advance *= kSpacesPerTab;
    item.height = state_.height;
    item.space = true;
    paragraphs_.back().items.push_back(item);
  }

  void Emit(char32_t c, bool space) {
    Item item;
    item.g = Measurer().Next(c);
    item.height = state_.height;
    item.space = space;
    paragraphs_.back().items.push_back(item);
  }

  void NewParagraph() {
    paragraphs_.push_back({{}, state_.height});
    measurer_.reset();
  }

  detail::RunMeasurer& Measurer() {
    if (!measurer_) {
      measurer_.emplace(state_.font, state_.height, state_.width_factor, state_.oblique,
                        state_.tracking);
      source_ = detail::Weaker(source_, measurer_->source());
    }
    return *measurer_;
  }

  std::wstring_view text_;
  size_t pos_ = 0;
  State state_;
  std::vector<State> stack_;
  std::optional<detail::RunMeasurer> measurer_;
  std::vector<Paragraph> paragraphs_;
  MetricsSource source_ = MetricsSource::kOutlines;
};

struct Line {
  detail::BoxAccumulator box;
  double height = 0;
  bool empty = true;

  void Add(const Item& item) {
    box.Add(item.g, empty);
    height = std::max(height, item.height);
    empty = false;
  }
  void Add(const std::vector<Item>& items, size_t from, size_t to) {
    for (size_t k = from; k < to; ++k) Add(items[k]);
  }
};

// Greedy word wrap; limit <= 0 keeps the paragraph on one line.
void LayOut(const Paragraph& para, double limit, std::vector<Line>& lines) {
  const std::vector<Item>& items = para.items;
  const bool wrap = limit > 0;
  const double tolerance = limit * 1e-9;
  Line line;
  bool has_word = false;
  size_t i = 0;
  while (i < items.size()) {
    size_t word = i;
    while (word < items.size() && items[word].space) ++word;
    size_t end = word;
    while (end < items.size() && !items[end].space) ++end;
    if (word == end) break;  // spaces ending the paragraph draw nothing
    if (!wrap || !has_word) {
      line.Add(items, i, end);
    } else {
      Line trial = line;
      trial.Add(items, i, end);
      if (trial.box.width() <= limit + tolerance) {
        line = trial;
      } else {
        lines.push_back(line);
        line = Line();
        line.Add(items, word, end);
      }
    }
    has_word = true;
    i = end;
  }
  if (line.empty) line.height = para.empty_height;
  lines.push_back(line);
}

}  // namespace

double MTextLinePitch(double height, double line_spacing) {
  return 5.0 / 3.0 * height * line_spacing;
}

MTextExtents MeasureMText(const MTextInput& input) {
  MTextExtents out;
  out.status =
      detail::CheckInputs(input.char_height, input.style.width_factor, input.style.oblique);
  if (!out.ok()) return out;

  double spacing = input.line_spacing;
  spacing = std::isfinite(spacing) && spacing > 0 ? std::clamp(spacing, 0.25, 4.0) : 1.0;
  double limit = std::isfinite(input.reference_width) ? input.reference_width : 0;

  std::vector<Line> lines;
  {
    auto& library = detail::FontLibrary::Instance();
    std::lock_guard<std::mutex> lock(library.mutex());
    Parser parser(input);
    std::vector<Paragraph> paragraphs = parser.Run();
    out.source = parser.source();
    for (const Paragraph& para : paragraphs) LayOut(para, limit, lines);
  }

  for (size_t k = 0; k < lines.size(); ++k) {
    out.width = std::max(out.width, lines[k].box.width());
    out.height += k == 0 ? lines[k].height : MTextLinePitch(lines[k].height, spacing);
  }
  out.lines = static_cast<int>(lines.size());
  if (!std::isfinite(out.width) || !std::isfinite(out.height)) {
    out = MTextExtents();
    out.status = MeasureStatus::kOutOfRange;
  }
  return out;
}

}  // namespace gm::fonts
