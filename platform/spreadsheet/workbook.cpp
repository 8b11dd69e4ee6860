#include "platform/spreadsheet/workbook.h"
#include "platform/win/strings.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cwctype>

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

template <typename T>
auto Lower(T& sorted, int column) {
  return std::lower_bound(sorted.begin(), sorted.end(), column,
                          [](const auto& entry, int c) { return entry.first < c; });
}

// The entry of column, or nullptr.
template <typename T>
auto FindIn(T& sorted, int column) -> decltype(&sorted.begin()->second) {
  // Cells come mostly in order: the last one is the likeliest.
  if (!sorted.empty() && sorted.back().first == column) return &sorted.back().second;
  auto it = Lower(sorted, column);
  return it != sorted.end() && it->first == column ? &it->second : nullptr;
}

}  // namespace

const Cell* Worksheet::Find(int row, int column) const {
  const Row* r = RowAt(row);
  return r ? FindIn(r->cells, column) : nullptr;
}

Worksheet::Row& Worksheet::MakeRow(int row) {
  if (row >= static_cast<int>(rows_.size())) rows_.resize(row + 1);
  return rows_[row];
}

Cell& Worksheet::At(int row, int column) {
  Row& r = MakeRow(row);
  if (Cell* found = FindIn(r.cells, column)) return *found;
  ++cell_count_;
  if (r.cells.empty() || r.cells.back().first < column) {
    return r.cells.emplace_back(column, Cell{}).second;
  }
  return r.cells.emplace(Lower(r.cells, column), column, Cell{})->second;
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
  const BorderLine* line = FindIn(slot.vertical ? r->right_lines : r->bottom_lines, slot.column);
  return line ? *line : BorderLine{};
}

void Worksheet::SetBorder(int row, int column, Edge edge, const BorderLine& line) {
  At(row, column);
  const LineSlot slot = SlotOf(row, column, edge);
  Row& r = MakeRow(slot.row);
  auto& lines = slot.vertical ? r.right_lines : r.bottom_lines;
  if (BorderLine* found = FindIn(lines, slot.column)) {
    if (line.visible()) {
      *found = line;
    } else {
      lines.erase(Lower(lines, slot.column));
    }
  } else if (line.visible()) {
    lines.emplace(Lower(lines, slot.column), slot.column, line);
  }
}

std::vector<Worksheet::CellKey> Worksheet::BorderOnlyCells() const {
  std::vector<CellKey> keys;
  auto add = [&](int row, int column) {
    if (row >= 1 && row <= kMaxRows && column >= 1 && column <= kMaxColumns && !Find(row, column)) {
      keys.emplace_back(row, column);
    }
  };
  for (int row = 0; row < static_cast<int>(rows_.size()); ++row) {
    for (const auto& [column, line] : rows_[row].right_lines) {
      add(row, column);
      add(row, column + 1);
    }
    for (const auto& [column, line] : rows_[row].bottom_lines) {
      add(row, column);
      add(row + 1, column);
    }
  }
  std::sort(keys.begin(), keys.end());
  keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
  return keys;
}

std::optional<CellRect> Worksheet::MergeAreaAt(int row, int column) const {
  for (const CellRect& m : merges_) {
    if (m.Contains(row, column)) return m;
  }
  return std::nullopt;
}

std::optional<CellRect> Worksheet::UsedRange() const {
  std::optional<CellRect> used;
  auto add = [&](const CellRect& area) { used = used ? used->Union(area) : area; };
  for (int row = 1; row < static_cast<int>(rows_.size()); ++row) {
    const auto& cells = rows_[row].cells;
    if (!cells.empty()) add({row, cells.front().first, row, cells.back().first});
  }
  for (const CellRect& m : merges_) add(m);
  return used;
}

// ---------------------------------------------------------------------------
// Worksheet::CellRange

Worksheet::Sorted<Cell>::const_iterator Worksheet::CellRange::RowBegin(int row) const {
  const Row* r = sheet_.RowAt(row);
  if (r == nullptr) return {};
  return area_.left <= 1 ? r->cells.begin() : Lower(r->cells, area_.left);
}

Worksheet::Sorted<Cell>::const_iterator Worksheet::CellRange::RowEnd(int row) const {
  const Row* r = sheet_.RowAt(row);
  if (r == nullptr) return {};
  return area_.right >= kMaxColumns ? r->cells.end() : Lower(r->cells, area_.right + 1);
}

void Worksheet::CellRange::iterator::Settle() {
  const int last =
      std::min<int>(range_->area_.bottom, static_cast<int>(range_->sheet_.rows_.size()) - 1);
  while (row_ <= last && it_ == range_->RowEnd(row_)) {
    ++row_;
    it_ = row_ <= last ? range_->RowBegin(row_) : Inner{};
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

Worksheet::CellRange::iterator Worksheet::CellRange::end() const {
  return iterator(this, kMaxRows + 1, {});
}

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

void Worksheet::EnterText(int row, int column, std::wstring text) {
  Cell& cell = At(row, column);
  if (text.find(L'\n') != std::wstring::npos) cell.format.wrap_text = true;
  double number = 0;
  if (!cell.format.is_text() && ParsePlainNumber(text, &number)) {
    cell.value = number;
  } else {
    cell.value = std::move(text);
  }
}

void Worksheet::Merge(const CellRect& area) {
  if (area.rows() == 1 && area.columns() == 1) return;
  CellRect merged = area;
  for (bool grew = true; grew;) {
    grew = false;
    for (auto it = merges_.begin(); it != merges_.end(); ++it) {
      if (it->Overlaps(merged)) {
        merged = merged.Union(*it);
        merges_.erase(it);
        grew = true;
        break;
      }
    }
  }
  merges_.push_back(merged);

  // One value survives, at the top-left.
  CellValue kept;
  for (int row = merged.top; row <= merged.bottom && row < static_cast<int>(rows_.size()); ++row) {
    auto& cells = rows_[row].cells;
    for (auto it = Lower(cells, merged.left); it != cells.end() && it->first <= merged.right;
         ++it) {
      if (std::holds_alternative<std::monostate>(kept) &&
          !std::holds_alternative<std::monostate>(it->second.value)) {
        kept = std::move(it->second.value);
      }
      it->second.value = std::monostate{};
    }
  }
  if (!std::holds_alternative<std::monostate>(kept)) {
    At(merged.top, merged.left).value = std::move(kept);
  }
}

void Worksheet::Unmerge(const CellRect& area) {
  std::erase_if(merges_, [&](const CellRect& m) { return m.Overlaps(area); });
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
