#include "platform/spreadsheet/workbook.h"
#include "platform/win/strings.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cwctype>
#include <limits>
#include <stdexcept>

namespace spreadsheet {

CellRect CellRect::Union(const CellRect& o) const {
  return {std::min(top, o.top), std::min(left, o.left), std::max(bottom, o.bottom),
          std::max(right, o.right)};
}

std::wstring ColumnLetters(int column) {
  if (column < 1 || column > kMaxColumns) return {};
  std::wstring letters;
  while (column > 0) {
    const int digit = (column - 1) % 26;
    letters.insert(letters.begin(), static_cast<wchar_t>(L'A' + digit));
    column = (column - 1) / 26;
  }
  return letters;
}

int ColumnFromLetters(std::wstring_view letters) {
  if (letters.empty() || letters.size() > 3) return 0;
  int column = 0;
  for (wchar_t c : letters) {
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    if (c < L'A' || c > L'Z') return 0;
    column = column * 26 + (c - L'A' + 1);
  }
  return column <= kMaxColumns ? column : 0;
}

std::wstring FormatAddress(const CellRect& area, bool rowAbsolute, bool columnAbsolute) {
  const std::wstring r = rowAbsolute ? L"$" : L"";
  const std::wstring c = columnAbsolute ? L"$" : L"";
  if (area.top == 1 && area.bottom == kMaxRows) {
    return c + ColumnLetters(area.left) + L":" + c + ColumnLetters(area.right);
  }
  if (area.left == 1 && area.right == kMaxColumns) {
    return r + std::to_wstring(area.top) + L":" + r + std::to_wstring(area.bottom);
  }
  std::wstring text = c + ColumnLetters(area.left) + r + std::to_wstring(area.top);
  if (area.rows() > 1 || area.columns() > 1) {
    text += L":" + c + ColumnLetters(area.right) + r + std::to_wstring(area.bottom);
  }
  return text;
}

namespace {

// One cell reference: [$]letters[$]digits.
std::optional<std::pair<int, int>> ParseCell(std::wstring_view text) {
  size_t i = 0;
  if (i < text.size() && text[i] == L'$') ++i;
  const size_t letters_begin = i;
  while (i < text.size() && std::iswalpha(text[i]) && text[i] < 128) ++i;
  const int column = ColumnFromLetters(text.substr(letters_begin, i - letters_begin));
  if (column == 0) return std::nullopt;
  if (i < text.size() && text[i] == L'$') ++i;
  const size_t digits_begin = i;
  long long row = 0;
  while (i < text.size() && text[i] >= L'0' && text[i] <= L'9') {
    row = row * 10 + (text[i] - L'0');
    if (row > kMaxRows) return std::nullopt;
    ++i;
  }
  if (i == digits_begin || i != text.size() || row < 1) return std::nullopt;
  return std::make_pair(static_cast<int>(row), column);
}

}  // namespace

std::optional<CellRect> ParseReference(std::wstring_view text) {
  const size_t colon = text.find(L':');
  auto first = ParseCell(text.substr(0, colon));
  if (!first) return std::nullopt;
  CellRect area = CellRect::Cell(first->first, first->second);
  if (colon != std::wstring_view::npos) {
    auto second = ParseCell(text.substr(colon + 1));
    if (!second) return std::nullopt;
    area = area.Union(CellRect::Cell(second->first, second->second));
  }
  return area;
}

bool ParsePlainNumber(std::wstring_view text, double* value) {
  size_t i = 0;
  std::string narrow;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
    if (text[i] == L'-') narrow.push_back('-');
    ++i;
  }
  std::string digits;  // the mantissa's digits, for counting
  bool point = false;
  bool any_digit = false;
  for (; i < text.size(); ++i) {
    const wchar_t c = text[i];
    if (c >= L'0' && c <= L'9') {
      any_digit = true;
      digits.push_back(static_cast<char>(c));
      narrow.push_back(static_cast<char>(c));
    } else if (c == L'.' && !point) {
      point = true;
      narrow.push_back('.');
    } else {
      break;
    }
  }
  if (!any_digit) return false;
  if (i < text.size() && (text[i] == L'e' || text[i] == L'E')) {
    narrow.push_back('e');
    ++i;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
      narrow.push_back(static_cast<char>(text[i]));
      ++i;
    }
    bool exponent_digit = false;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
      exponent_digit = true;
      narrow.push_back(static_cast<char>(text[i]));
    }
    if (!exponent_digit) return false;
  }
  if (i != text.size()) return false;
  // Excel keeps 15 significant digits; a longer number stays text so that no
  // digit of it is lost.
  const size_t first = digits.find_first_not_of('0');
  const size_t last = digits.find_last_not_of('0');
  if (first != std::string::npos && last - first + 1 > 15) return false;
  double parsed = 0;
  auto [ptr, ec] = std::from_chars(narrow.data(), narrow.data() + narrow.size(), parsed);
  if (ec != std::errc() || ptr != narrow.data() + narrow.size() || !std::isfinite(parsed)) {
    return false;
  }
  if (value) *value = parsed == 0 ? 0.0 : parsed;
  return true;
}

// ---------------------------------------------------------------------------
// Worksheet

namespace {

using Kind = CellData::Kind;

bool HoldsText(Kind kind) { return kind == Kind::kText || kind == Kind::kFormula; }

template <typename T>
auto Lower(T& sorted, int column) {
  return std::lower_bound(sorted.begin(), sorted.end(), column,
                          [](const auto& entry, int c) { return entry.first < c; });
}

auto LowerSlot(auto& slots, int column) {
  return std::lower_bound(slots.begin(), slots.end(), column,
                          [](const auto& slot, int c) { return slot.column() < c; });
}

// The entry of column, or nullptr.
template <typename T>
auto FindIn(T& sorted, int column) -> decltype(&sorted.begin()->second) {
  // Cells come mostly in order: the last one is the likeliest; in a row
  // with an entry for every column, the entry is where its column says.
  if (sorted.empty()) return nullptr;
  if (sorted.back().first == column) return &sorted.back().second;
  const size_t guess = static_cast<size_t>(column - sorted.front().first);
  if (guess < sorted.size() && sorted[guess].first == column) return &sorted[guess].second;
  auto it = Lower(sorted, column);
  return it != sorted.end() && it->first == column ? &it->second : nullptr;
}

void Mix(size_t& h, long long v) {
  h ^= std::hash<long long>{}(v) + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2);
}

}  // namespace

CellValue CellData::Value() const {
  switch (kind) {
    case Kind::kNumber:
      return number;
    case Kind::kText:
      return std::wstring(text);
    case Kind::kBool:
      return flag;
    case Kind::kFormula:
      return Formula{std::wstring(text)};
    case Kind::kEmpty:
      break;
  }
  return std::monostate{};
}

size_t Worksheet::FormatHash::operator()(const CellFormat& f) const {
  size_t h = std::hash<std::wstring_view>{}(f.number_format);
  Mix(h, f.horizontal_alignment);
  Mix(h, f.vertical_alignment);
  Mix(h, f.orientation);
  Mix(h, f.wrap_text);
  Mix(h, f.fill ? static_cast<long long>(*f.fill) : -1);
  return h;
}

size_t Worksheet::LineHash::operator()(const BorderLine& l) const {
  size_t h = 0;
  Mix(h, l.line_style);
  Mix(h, l.weight);
  Mix(h, l.color ? static_cast<long long>(*l.color) : -1);
  return h;
}

Worksheet::Worksheet(std::wstring name) : name_(std::move(name)) {
  formats_.emplace_back();
  format_ids_.emplace(CellFormat{}, 0);
  lines_.emplace_back();
}

template <typename Fn>
void Worksheet::ForEachMergeOverlapping(const CellRect& area, Fn fn) const {
  // Merged areas never overlap, so those starting in a row are few, and
  // none starting above area.top - merge_height_ can reach it.
  const int from = std::max(1, area.top - merge_height_ + 1);
  for (auto it = merge_index_.lower_bound({from, 0});
       it != merge_index_.end() && it->first.first <= area.bottom; ++it) {
    if (it->second.Overlaps(area)) fn(it->second);
  }
}

std::uint32_t Worksheet::InternFormat(const CellFormat& format) {
  auto it = format_ids_.find(format);
  if (it != format_ids_.end()) return it->second;
  if (formats_.size() > Slot::kMaxFormat) throw std::length_error("too many cell formats");
  const auto id = static_cast<std::uint32_t>(formats_.size());
  formats_.push_back(format);
  format_ids_.emplace(format, id);
  return id;
}

std::uint32_t Worksheet::InternLine(const BorderLine& line) {
  // A table's lines are mostly one look.
  if (lines_[last_line_] == line) return last_line_;
  auto it = line_ids_.find(line);
  if (it != line_ids_.end()) return last_line_ = it->second;
  const auto id = static_cast<std::uint32_t>(lines_.size());
  lines_.push_back(line);
  line_ids_.emplace(line, id);
  last_line_ = id;
  return id;
}

const Worksheet::Slot* Worksheet::FindSlot(int row, int column) const {
  const Row* r = RowAt(row);
  if (r == nullptr || r->cells.empty()) return nullptr;
  if (r->cells.back().column() == column) return &r->cells.back();
  auto it = LowerSlot(r->cells, column);
  return it != r->cells.end() && it->column() == column ? &*it : nullptr;
}

std::optional<Cell> Worksheet::Find(int row, int column) const {
  const Slot* slot = FindSlot(row, column);
  if (slot == nullptr) return std::nullopt;
  const CellData data = DataOf(*slot);
  return Cell{data.Value(), formats_[data.format]};
}

const CellFormat& Worksheet::FormatAt(int row, int column) const {
  const Slot* slot = FindSlot(row, column);
  return formats_[slot ? slot->format() : 0];
}

Worksheet::Row& Worksheet::GrowRows(int row) {
  rows_.resize(row + 1);
  return rows_[row];
}

namespace {

// Gives back the room growth left unused when it is a fair share.
template <typename T>
void Fit(std::vector<T>& v) {
  if (v.capacity() - v.size() > std::max<size_t>(v.size() / 8, 4)) v.shrink_to_fit();
}

}  // namespace

void Worksheet::StartRow(int row) {
  // The lines below a row are set from both of its sides, so they are done
  // only once the row below it is.
  if (row >= 2) Fit(rows_[row - 2].bottom_lines);
  Row& above = rows_[row - 1];
  Fit(above.cells);
  Fit(above.right_lines);
  Row& here = rows_[row];
  here.cells.reserve(above.cells.size());
  if (here.right_lines.empty()) here.right_lines.reserve(above.right_lines.size());
}

Worksheet::Slot& Worksheet::AddSlot(int row, int column) {
  Row& r = MakeRow(row);
  auto& cells = r.cells;
  if (cells.empty() || cells.back().column() < column) {
    if (cells.empty() && cells.capacity() == 0) StartRow(row);
    ++cell_count_;
    return cells.emplace_back(column);
  }
  if (cells.back().column() == column) return cells.back();
  auto it = LowerSlot(cells, column);
  if (it != cells.end() && it->column() == column) return *it;
  ++cell_count_;
  return *cells.insert(it, Slot(column));
}

void Worksheet::Touch(int row, int column) { MakeSlot(row, column); }

void Worksheet::ClearValue(Slot& slot) {
  const Kind kind = slot.kind();
  if (HoldsText(kind)) {
    texts_.Release(slot.payload());
  } else if (kind == Kind::kNumber) {
    free_numbers_.push_back(slot.payload());
  }
  slot.set_value(Kind::kEmpty, 0);
}

void Worksheet::StoreText(Slot& slot, Kind kind, std::wstring_view text) {
  std::uint32_t index = 0;
  if (HoldsText(slot.kind())) {
    index = slot.payload();
    texts_.Set(index, text);
  } else {
    ClearValue(slot);
    if (texts_.next_id() > Slot::kMaxPayload) throw std::length_error("too many texts");
    index = texts_.Add(text);
  }
  slot.set_value(kind, index);
}

void Worksheet::StoreNumber(Slot& slot, double number) {
  std::uint32_t index = 0;
  if (slot.kind() == Kind::kNumber) {
    index = slot.payload();
  } else {
    ClearValue(slot);
    if (!free_numbers_.empty()) {
      index = free_numbers_.back();
      free_numbers_.pop_back();
    } else {
      if (numbers_.size() > Slot::kMaxPayload) throw std::length_error("too many numbers");
      index = static_cast<std::uint32_t>(numbers_.size());
      numbers_.emplace_back();
    }
  }
  numbers_[index] = number;
  slot.set_value(Kind::kNumber, index);
}

void Worksheet::SetValue(int row, int column, const CellValue& value) {
  Slot& slot = MakeSlot(row, column);
  if (const auto* text = std::get_if<std::wstring>(&value))
    return StoreText(slot, Kind::kText, *text);
  if (const auto* formula = std::get_if<Formula>(&value)) {
    return StoreText(slot, Kind::kFormula, formula->text);
  }
  if (const auto* number = std::get_if<double>(&value)) return StoreNumber(slot, *number);
  ClearValue(slot);
  if (const auto* flag = std::get_if<bool>(&value)) slot.set_value(Kind::kBool, *flag ? 1 : 0);
}

void Worksheet::EnterText(int row, int column, std::wstring_view text) {
  Slot& slot = MakeSlot(row, column);
  const CellFormat* format = &formats_[slot.format()];
  if (text.find(L'\n') != std::wstring_view::npos && !format->wrap_text) {
    CellFormat wrapped = *format;
    wrapped.wrap_text = true;
    const std::uint32_t id = InternFormat(wrapped);
    slot.set_format(id);
    format = &formats_[id];
  }
  double number = 0;
  if (!format->is_text() && ParsePlainNumber(text, &number)) {
    StoreNumber(slot, number);
  } else {
    StoreText(slot, Kind::kText, text);
  }
}

Worksheet::CellRange Worksheet::cells() const { return CellRange(*this, CellRect::Sheet()); }
Worksheet::CellRange Worksheet::cells(const CellRect& area) const { return CellRange(*this, area); }

namespace {

// Which stored line an edge of a cell is: the line right of (row, column)
// or below it.
struct LineSlot {
  bool vertical;
  int row;
  int column;
};

LineSlot SlotOf(int row, int column, Edge edge) {
  switch (edge) {
    case kEdgeLeft:
      return {true, row, column - 1};
    case kEdgeRight:
      return {true, row, column};
    case kEdgeTop:
      return {false, row - 1, column};
    case kEdgeBottom:
      return {false, row, column};
  }
  return {true, row, column};
}

}  // namespace

BorderLine Worksheet::Border(int row, int column, Edge edge) const {
  const LineSlot slot = SlotOf(row, column, edge);
  const Row* r = RowAt(slot.row);
  if (r == nullptr) return {};
  const std::uint32_t* id = FindIn(slot.vertical ? r->right_lines : r->bottom_lines, slot.column);
  return id ? lines_[*id] : BorderLine{};
}

Worksheet::LineRef Worksheet::FindLine(int row, int column, Edge edge) {
  Touch(row, column);
  const LineSlot slot = SlotOf(row, column, edge);
  Row& r = MakeRow(slot.row);
  auto& lines = slot.vertical ? r.right_lines : r.bottom_lines;
  return {&lines, slot.column, FindIn(lines, slot.column)};
}

void Worksheet::StoreLine(const LineRef& ref, const BorderLine& line) {
  auto& lines = *ref.lines;
  if (ref.found != nullptr) {
    if (line.visible()) {
      *ref.found = InternLine(line);
    } else {
      lines.erase(Lower(lines, ref.column));
    }
  } else if (line.visible()) {
    const std::uint32_t id = InternLine(line);
    if (lines.empty() || lines.back().first < ref.column) {
      lines.emplace_back(ref.column, id);
    } else {
      lines.emplace(Lower(lines, ref.column), ref.column, id);
    }
  }
}

void Worksheet::SetBorder(int row, int column, Edge edge, const BorderLine& line) {
  StoreLine(FindLine(row, column, edge), line);
}

void Worksheet::RowCells(int row, RowBuffer& buffer) const {
  std::vector<RowEntry>& out = buffer.entries;
  std::vector<CellData>& storage = buffer.data;
  out.clear();
  storage.clear();
  static const Row kNoRow;
  const Row* above = RowAt(row - 1);
  const Row* here = RowAt(row);
  if (here == nullptr && above == nullptr) return;
  if (here == nullptr) here = &kNoRow;
  // The columns to write, ascending without repeats: the cells, and both
  // sides of every visible line. Each run is sorted already, so one walk
  // merges them, each cursor reading its entry where it stops.
  const auto& cells = here->cells;
  const auto& rights = here->right_lines;
  const auto& bottoms = here->bottom_lines;
  const auto& tops = above ? above->bottom_lines : kNoRow.bottom_lines;
  // Entries point into storage: it must not move while they are made.
  storage.reserve(cells.size());
  constexpr int kNone = std::numeric_limits<int>::max();
  size_t c = 0, r0 = 0, r1 = 0, b = 0, t = 0;
  for (;;) {
    int next = kNone;
    if (c < cells.size()) next = std::min(next, cells[c].column());
    if (r0 < rights.size()) next = std::min(next, rights[r0].first);
    if (r1 < rights.size()) next = std::min(next, rights[r1].first + 1);
    if (b < bottoms.size()) next = std::min(next, bottoms[b].first);
    if (t < tops.size()) next = std::min(next, tops[t].first);
    if (next == kNone) break;
    RowEntry entry{next, nullptr, {}};
    if (c < cells.size() && cells[c].column() == next) {
      storage.push_back(DataOf(cells[c++]));
      entry.data = &storage.back();
    }
    if (r0 < rights.size() && rights[r0].first == next)
      entry.lines[kEdgeRight] = rights[r0++].second;
    if (r1 < rights.size() && rights[r1].first + 1 == next) {
      entry.lines[kEdgeLeft] = rights[r1++].second;
    }
    if (b < bottoms.size() && bottoms[b].first == next)
      entry.lines[kEdgeBottom] = bottoms[b++].second;
    if (t < tops.size() && tops[t].first == next) entry.lines[kEdgeTop] = tops[t++].second;
    if (next >= 1 && next <= kMaxColumns) out.push_back(entry);
  }
}

std::optional<CellRect> Worksheet::MergeAreaAt(int row, int column) const {
  const CellRect cell = CellRect::Cell(row, column);
  std::optional<CellRect> found;
  ForEachMergeOverlapping(cell, [&](const CellRect& m) { found = m; });
  return found;
}

std::optional<CellRect> Worksheet::UsedRange() const {
  std::optional<CellRect> used;
  auto add = [&](const CellRect& area) { used = used ? used->Union(area) : area; };
  for (int row = 1; row < static_cast<int>(rows_.size()); ++row) {
    const auto& cells = rows_[row].cells;
    if (!cells.empty()) add({row, cells.front().column(), row, cells.back().column()});
  }
  for (const CellRect& m : merges_) add(m);
  return used;
}

// ---------------------------------------------------------------------------
// Worksheet::TextPool

namespace {

constexpr std::size_t kFirstBlock = 256;  // characters
constexpr std::size_t kLargestBlock = std::size_t{1} << 16;

}  // namespace

Worksheet::TextPool::Place Worksheet::TextPool::Store(std::wstring_view text) {
  if (text.empty()) return {};
  if (text.size() > room_) {
    // Blocks grow with the sheet, so a small sheet keeps a small one.
    const std::size_t size =
        std::max(text.size(), blocks_.empty() ? kFirstBlock : std::min(last_ * 2, kLargestBlock));
    if (blocks_.size() >= std::numeric_limits<std::uint32_t>::max()) {
      throw std::length_error("too many texts");
    }
    blocks_.push_back(std::make_unique_for_overwrite<wchar_t[]>(size));
    last_ = size;
    room_ = size;
  }
  const Place place{static_cast<std::uint32_t>(blocks_.size() - 1),
                    static_cast<std::uint32_t>(last_ - room_),
                    static_cast<std::uint32_t>(text.size())};
  std::char_traits<wchar_t>::copy(blocks_.back().get() + place.offset, text.data(), text.size());
  room_ -= text.size();
  live_ += text.size();
  return place;
}

std::uint32_t Worksheet::TextPool::Add(std::wstring_view text) {
  if (text.size() > std::numeric_limits<std::uint32_t>::max()) {
    throw std::length_error("text too long");
  }
  std::uint32_t id = 0;
  if (!free_.empty()) {
    id = free_.back();
    places_[id] = Store(text);
    free_.pop_back();
  } else {
    const Place place = Store(text);
    id = static_cast<std::uint32_t>(places_.size());
    places_.push_back(place);
  }
  CompactIfWasteful();
  return id;
}

void Worksheet::TextPool::Set(std::uint32_t id, std::wstring_view text) {
  if (text.size() > std::numeric_limits<std::uint32_t>::max()) {
    throw std::length_error("text too long");
  }
  Place& place = places_[id];
  if (text.size() <= place.length) {
    // The text may be this one's own: move, not copy. An empty place may
    // come before any block.
    if (!text.empty()) {
      std::char_traits<wchar_t>::move(blocks_[place.block].get() + place.offset, text.data(),
                                      text.size());
    }
    waste_ += place.length - text.size();
    live_ -= place.length - text.size();
    place.length = static_cast<std::uint32_t>(text.size());
  } else {
    const Place stored = Store(text);
    waste_ += place.length;
    live_ -= place.length;
    places_[id] = stored;
  }
  CompactIfWasteful();
}

void Worksheet::TextPool::Release(std::uint32_t id) {
  Place& place = places_[id];
  waste_ += place.length;
  live_ -= place.length;
  place = Place{};
  free_.push_back(id);
}

void Worksheet::TextPool::CompactIfWasteful() {
  if (waste_ <= kLargestBlock || waste_ <= live_) return;
  TextPool fresh;
  fresh.places_.reserve(places_.size());
  for (std::uint32_t id = 0; id < places_.size(); ++id) {
    fresh.places_.push_back(fresh.Store(Get(id)));
  }
  fresh.free_ = std::move(free_);
  *this = std::move(fresh);
}

// ---------------------------------------------------------------------------
// Worksheet::CellRange

std::vector<Worksheet::Slot>::const_iterator Worksheet::CellRange::RowBegin(int row) const {
  const Row* r = sheet_.RowAt(row);
  if (r == nullptr) return {};
  return area_.left <= 1 ? r->cells.begin() : LowerSlot(r->cells, area_.left);
}

std::vector<Worksheet::Slot>::const_iterator Worksheet::CellRange::RowEnd(int row) const {
  const Row* r = sheet_.RowAt(row);
  if (r == nullptr) return {};
  return area_.right >= kMaxColumns ? r->cells.end() : LowerSlot(r->cells, area_.right + 1);
}

Worksheet::CellRange::Entry Worksheet::CellRange::iterator::operator*() const {
  const CellData d = data();
  return {key(), Cell{d.Value(), range_->sheet_.formats_[d.format]}};
}

Worksheet::CellRange::iterator::iterator(const CellRange* range, int row, Inner it)
    : range_(range), row_(row), it_(it) {
  if (row_ < static_cast<int>(range_->sheet_.rows_.size())) row_end_ = range_->RowEnd(row_);
  Settle();
}

void Worksheet::CellRange::iterator::Settle() {
  const int last =
      std::min<int>(range_->area_.bottom, static_cast<int>(range_->sheet_.rows_.size()) - 1);
  while (row_ <= last && it_ == row_end_) {
    ++row_;
    if (row_ <= last) {
      it_ = range_->RowBegin(row_);
      row_end_ = range_->RowEnd(row_);
    } else {
      it_ = Inner{};
    }
  }
  if (row_ > last) {
    row_ = kMaxRows + 1;
    it_ = Inner{};
  }
}

Worksheet::CellRange::iterator Worksheet::CellRange::begin() const {
  const int first = std::max(area_.top, 1);
  return iterator(this, first, RowBegin(first));
}

Worksheet::CellRange::iterator Worksheet::CellRange::end() const { return iterator(this); }

size_t Worksheet::CellRange::size() const {
  if (area_ == CellRect::Sheet()) return sheet_.cell_count_;
  size_t n = 0;
  for (auto it = begin(); it != end(); ++it) ++n;
  return n;
}

double Worksheet::ColumnWidth(int column) const {
  auto it = column_widths_.find(column);
  return it == column_widths_.end() ? kDefaultColumnWidth : it->second;
}

double Worksheet::RowHeight(int row) const {
  auto it = row_heights_.find(row);
  return it == row_heights_.end() ? kDefaultRowHeight : it->second;
}

void Worksheet::SetColumnWidth(int column, std::optional<double> width) {
  if (width) {
    column_widths_[column] = *width;
  } else {
    column_widths_.erase(column);
  }
}

void Worksheet::SetRowHeight(int row, std::optional<double> height) {
  if (height) {
    row_heights_[row] = *height;
  } else {
    row_heights_.erase(row);
  }
}

void Worksheet::Merge(const CellRect& area) {
  if (area.rows() == 1 && area.columns() == 1) return;
  CellRect merged = area;
  std::vector<CellRect> absorbed;
  for (bool grew = true; grew;) {
    grew = false;
    absorbed.clear();
    ForEachMergeOverlapping(merged, [&](const CellRect& m) { absorbed.push_back(m); });
    for (const CellRect& m : absorbed) {
      if (m.top < merged.top || m.left < merged.left || m.bottom > merged.bottom ||
          m.right > merged.right) {
        grew = true;
      }
      merged = merged.Union(m);
    }
    for (const CellRect& m : absorbed) {
      merge_index_.erase({m.top, m.left});
      merges_.erase(std::find(merges_.begin(), merges_.end(), m));
    }
  }
  merges_.push_back(merged);
  merge_index_.emplace(std::make_pair(merged.top, merged.left), merged);
  merge_height_ = std::max(merge_height_, merged.rows());

  // One value survives, at the top-left.
  Slot* kept = nullptr;
  for (int row = merged.top; row <= merged.bottom && row < static_cast<int>(rows_.size()); ++row) {
    auto& cells = rows_[row].cells;
    for (auto it = LowerSlot(cells, merged.left); it != cells.end() && it->column() <= merged.right;
         ++it) {
      if (it->kind() == Kind::kEmpty) continue;
      if (kept == nullptr) {
        kept = &*it;
      } else {
        ClearValue(*it);
      }
    }
  }
  if (kept == nullptr ||
      (kept->column() == merged.left && FindSlot(merged.top, merged.left) == kept)) {
    return;
  }
  // The value moves with its index: nothing is copied or freed.
  const std::uint64_t value = kept->value_bits();
  kept->set_value(Kind::kEmpty, 0);
  Slot& corner = MakeSlot(merged.top, merged.left);
  ClearValue(corner);
  corner.set_value_bits(value);
}

void Worksheet::Unmerge(const CellRect& area) {
  std::erase_if(merges_, [&](const CellRect& m) { return m.Overlaps(area); });
  std::erase_if(merge_index_, [&](const auto& entry) { return entry.second.Overlaps(area); });
}

// ---------------------------------------------------------------------------

Workbook::Workbook(std::wstring name) : name_(std::move(name)) {
  sheets_.push_back(std::make_shared<Worksheet>(L"Sheet1"));
}

std::shared_ptr<Worksheet> Workbook::FindSheet(std::wstring_view name) const {
  for (const auto& sheet : sheets_) {
    if (win::EqualsNoCase(sheet->name(), name)) return sheet;
  }
  return nullptr;
}

std::size_t Workbook::IndexOf(const Worksheet& sheet) const {
  for (std::size_t k = 0; k < sheets_.size(); ++k) {
    if (sheets_[k].get() == &sheet) return k;
  }
  return sheets_.size();
}

std::shared_ptr<Worksheet> Workbook::AddSheet(std::size_t index) {
  std::wstring name;
  for (int n = 1;; ++n) {
    name = L"Sheet" + std::to_wstring(n);
    if (!FindSheet(name)) break;
  }
  index = std::min(index, sheets_.size());
  auto sheet = std::make_shared<Worksheet>(std::move(name));
  sheets_.insert(sheets_.begin() + static_cast<std::ptrdiff_t>(index), sheet);
  active_ = index;
  return sheet;
}

bool Workbook::Activate(const Worksheet& sheet) {
  const std::size_t k = IndexOf(sheet);
  if (k == sheets_.size()) return false;
  active_ = k;
  return true;
}

}  // namespace spreadsheet
