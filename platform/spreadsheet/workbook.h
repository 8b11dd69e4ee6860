// The in-memory workbook the automation server works on, and the rules by
// which it takes what it is given, as the spreadsheet does:
//
// - A text entered into a cell whose number format is "@" stays text. Any
//   other text that is a plain decimal number ([+-]digits[.digits][E[+-]n],
//   no blanks, no thousands separators, at most 15 significant digits, so
//   nothing is rounded away) becomes that number: "007" becomes 7. Other
//   texts stay text; a leading "=" makes a formula only through Formula.
// - A text holding a line feed turns the cell's wrapping on.
// - Borders belong to the lines between cells: the right edge of B2 is the
//   left edge of C2, so setting either changes both.
// - A merge that overlaps merged areas already there takes them in (the
//   bounding box of them all, again until nothing more overlaps); no two
//   merged areas ever overlap. The merged area keeps the value of its
//   top-left cell, or, when that is empty, the first value in reading order,
//   moved to the top-left; the other values are cleared.
//
// Rows and columns count from 1. Colours are the object model's 0x00BBGGRR.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <variant>
#include <vector>

#include "platform/spreadsheet/constants.h"

namespace spreadsheet {

inline constexpr int kMaxRows = 1048576;
inline constexpr int kMaxColumns = 16384;
inline constexpr size_t kMaxTextLength = 32767;
inline constexpr double kDefaultColumnWidth = 8.43;  // characters
inline constexpr double kDefaultRowHeight = 15.0;    // points
inline constexpr int kStackedText = 255;             // orientation of xlVertical

struct CellRect {
  int top = 1;
  int left = 1;
  int bottom = 1;
  int right = 1;

  static CellRect Cell(int row, int column) { return {row, column, row, column}; }
  static CellRect Sheet() { return {1, 1, kMaxRows, kMaxColumns}; }
  int rows() const { return bottom - top + 1; }
  int columns() const { return right - left + 1; }
  long long count() const { return static_cast<long long>(rows()) * columns(); }
  // Ordered and inside the sheet.
  bool valid() const {
    return top >= 1 && left >= 1 && top <= bottom && left <= right && bottom <= kMaxRows &&
           right <= kMaxColumns;
  }
  bool Contains(int row, int column) const {
    return row >= top && row <= bottom && column >= left && column <= right;
  }
  bool Overlaps(const CellRect& o) const {
    return top <= o.bottom && o.top <= bottom && left <= o.right && o.left <= right;
  }
  CellRect Union(const CellRect& o) const;
  bool operator==(const CellRect&) const = default;
};

// "A" for 1 ... "XFD" for 16384; empty outside the sheet.
std::wstring ColumnLetters(int column);
// 1 for "A" (either case) ... 16384 for "XFD"; 0 for anything else.
int ColumnFromLetters(std::wstring_view letters);
// "$B$3", "$A$1:$C$3"; whole columns "$A:$B", whole rows "$1:$3".
std::wstring FormatAddress(const CellRect& area, bool rowAbsolute = true,
                           bool columnAbsolute = true);
// "A1", "$A$1", "a1", "$A1:B$2" (1 to 3 letters); nullopt for anything else
// or a cell outside the sheet. A range comes back ordered.
std::optional<CellRect> ParseReference(std::wstring_view text);

enum Edge { kEdgeLeft = 0, kEdgeTop = 1, kEdgeBottom = 2, kEdgeRight = 3 };

struct BorderLine {
  int line_style = xlLineStyleNone;
  int weight = xlThin;
  std::optional<std::uint32_t> color;  // none: automatic
  bool visible() const { return line_style != xlLineStyleNone; }
  bool operator==(const BorderLine&) const = default;
};

// Every cell shows the standard font: nothing sets another.
struct FontFormat {
  std::wstring name = L"Calibri";
  double size = 11;
  bool bold = false;
  bool italic = false;
};

struct CellFormat {
  std::wstring number_format;  // empty: General
  int horizontal_alignment = xlGeneral;
  int vertical_alignment = xlBottom;
  int orientation = 0;  // degrees, -90 to 90, or kStackedText
  bool wrap_text = false;
  std::optional<std::uint32_t> fill;  // a solid fill; none: no fill
  bool is_text() const { return number_format.size() == 1 && number_format[0] == L'@'; }
  bool operator==(const CellFormat&) const = default;
};

struct Formula {
  std::wstring text;  // with its leading "="
  bool operator==(const Formula&) const = default;
};

// Empty, a number, a text, a boolean or a formula.
using CellValue = std::variant<std::monostate, double, std::wstring, bool, Formula>;

// A cell as a copy: what it holds and how it shows.
struct Cell {
  CellValue value;
  CellFormat format;
};

// A stored cell as the sheet keeps it, read in place: valid until the sheet
// changes.
struct CellData {
  enum class Kind : std::uint8_t { kEmpty, kNumber, kText, kBool, kFormula };
  Kind kind = Kind::kEmpty;
  double number = 0;         // kNumber
  bool flag = false;         // kBool
  std::wstring_view text;    // kText; kFormula, with its "="
  std::uint32_t format = 0;  // Worksheet::format(id)
  CellValue Value() const;
};

// True when text is a plain decimal number by the rule above; *value gets it.
bool ParsePlainNumber(std::wstring_view text, double* value);

// A sheet keeps its rows in one vector by row number, each row its cells
// and lines sorted by column. A cell is 8 bytes: its column, the id of its
// format in the sheet's table of distinct formats, the kind of its value and
// the index of its number or text (a flag in place); a line is its column
// and the id of its look. Cells written row by row are appended, and a new
// row is given the room of the one above.
class Worksheet {
 public:
  using CellKey = std::pair<int, int>;  // row, column

  // Every cell something was done to, by row then column, as
  // (key, cell) pairs.
  class CellRange;

  explicit Worksheet(std::wstring name);
  Worksheet(const Worksheet&) = delete;
  Worksheet& operator=(const Worksheet&) = delete;

  const std::wstring& name() const { return name_; }
  void set_name(std::wstring name) { name_ = std::move(name); }

  // nullopt for a cell nothing was ever done to.
  std::optional<Cell> Find(int row, int column) const;
  // The format the cell shows; the default one for a cell never touched.
  const CellFormat& FormatAt(int row, int column) const;
  const CellFormat& format(std::uint32_t id) const { return formats_[id]; }
  CellRange cells() const;
  // The cells of area something was done to, by row then column.
  CellRange cells(const CellRect& area) const;
  BorderLine Border(int row, int column, Edge edge) const;
  const BorderLine& line(std::uint32_t id) const { return lines_[id]; }

  // One cell as a save writes them: data is nullptr for a cell nothing was
  // done to that a visible line touches; lines by Edge, 0 for none.
  struct RowEntry {
    int column;
    const CellData* data;
    std::array<std::uint32_t, 4> lines;
  };
  struct RowBuffer {
    std::vector<RowEntry> entries;
    std::vector<CellData> data;  // what entries point to
  };
  // The cells of row (from 1) to write, by column, into buffer.entries;
  // valid until the buffer is refilled or the sheet changes.
  void RowCells(int row, RowBuffer& buffer) const;
  // No row after this one has a cell to write.
  int last_row() const { return std::min(static_cast<int>(rows_.size()), kMaxRows); }

  const std::vector<CellRect>& merged_areas() const { return merges_; }
  std::optional<CellRect> MergeAreaAt(int row, int column) const;
  // The bounding box of cells() and the merged areas; nullopt on a sheet
  // nothing was done to.
  std::optional<CellRect> UsedRange() const;
  double ColumnWidth(int column) const;
  double RowHeight(int row) const;
  const std::map<int, double>& column_widths() const { return column_widths_; }
  const std::map<int, double>& row_heights() const { return row_heights_; }

  // Makes the cell when it is new. REQUIRES: inside the sheet.
  void Touch(int row, int column);
  void SetValue(int row, int column, const CellValue& value);
  // Enters a text by the rules above.
  void EnterText(int row, int column, std::wstring_view text);
  // Edits the format of every cell of area (made when new): change gets a
  // copy of a cell's format to change. A nonzero key names the change (the
  // same key, always the same change): its result is then remembered per
  // format, sparing the lookup of the changed format. REQUIRES: area inside
  // the sheet.
  template <typename Change>
  void ChangeFormat(const CellRect& area, Change change, std::uint64_t key = 0);
  void SetBorder(int row, int column, Edge edge, const BorderLine& line);
  // Border then SetBorder, finding the line once: change gets a copy of the
  // edge's line to edit.
  template <typename Change>
  void ChangeBorder(int row, int column, Edge edge, Change change) {
    const LineRef ref = FindLine(row, column, edge);
    BorderLine line = ref.found ? lines_[*ref.found] : BorderLine{};
    change(line);
    // A weight set again after the line style often changes nothing.
    if (ref.found != nullptr && line == lines_[*ref.found]) return;
    StoreLine(ref, line);
  }
  // Merges area (a single cell merges nothing). REQUIRES: area.valid().
  void Merge(const CellRect& area);
  // Removes every merged area that overlaps area.
  void Unmerge(const CellRect& area);
  // nullopt restores the default.
  void SetColumnWidth(int column, std::optional<double> width);
  void SetRowHeight(int row, std::optional<double> height);

 private:
  // The column in the top bits, so that slots order by column as plain
  // numbers; below it the value's index, its kind and the format id.
  class Slot {
   public:
    static constexpr int kFormatBits = 18;
    static constexpr int kKindShift = kFormatBits;
    static constexpr int kPayloadShift = kKindShift + 3;
    static constexpr int kPayloadBits = 28;
    static constexpr int kColumnShift = kPayloadShift + kPayloadBits;
    static constexpr std::uint32_t kMaxFormat = (1u << kFormatBits) - 1;
    static constexpr std::uint32_t kMaxPayload = (1u << kPayloadBits) - 1;

    explicit Slot(int column) : bits_(static_cast<std::uint64_t>(column) << kColumnShift) {}
    int column() const { return static_cast<int>(bits_ >> kColumnShift); }
    std::uint32_t format() const { return static_cast<std::uint32_t>(bits_) & kMaxFormat; }
    void set_format(std::uint32_t id) { bits_ = (bits_ & ~std::uint64_t{kMaxFormat}) | id; }
    CellData::Kind kind() const { return static_cast<CellData::Kind>((bits_ >> kKindShift) & 7); }
    std::uint32_t payload() const {
      return static_cast<std::uint32_t>(bits_ >> kPayloadShift) & kMaxPayload;
    }
    void set_value(CellData::Kind kind, std::uint32_t payload) {
      set_value_bits(static_cast<std::uint64_t>(kind) << kKindShift |
                     static_cast<std::uint64_t>(payload) << kPayloadShift);
    }
    // The kind and payload together, to move a value between cells.
    std::uint64_t value_bits() const { return bits_ & kValueMask; }
    void set_value_bits(std::uint64_t bits) { bits_ = (bits_ & ~kValueMask) | bits; }

   private:
    static constexpr std::uint64_t kValueMask =
        ((std::uint64_t{1} << (kColumnShift - kKindShift)) - 1) << kKindShift;
    std::uint64_t bits_;
  };
  static_assert(sizeof(Slot) == 8);
  // The sheet's texts side by side in shared blocks: a text costs its
  // characters and 12 bytes, not a string and a heap block of its own. A
  // text written over one at least as long takes its place; places left
  // behind are counted, and the blocks are rewritten once they are most.
  class TextPool {
   public:
    std::wstring_view Get(std::uint32_t id) const {
      const Place& p = places_[id];
      if (p.length == 0) return {};  // perhaps before any block
      return {blocks_[p.block].get() + p.offset, p.length};
    }
    // A new text's id; ids given back are used again first.
    std::uint32_t Add(std::wstring_view text);
    void Set(std::uint32_t id, std::wstring_view text);
    void Release(std::uint32_t id);
    // The id the next Add would give.
    std::size_t next_id() const { return free_.empty() ? places_.size() : free_.back(); }

   private:
    struct Place {
      std::uint32_t block = 0;
      std::uint32_t offset = 0;
      std::uint32_t length = 0;
    };
    // Copies text into fresh room at the end of the last block.
    Place Store(std::wstring_view text);
    void CompactIfWasteful();

    std::vector<std::unique_ptr<wchar_t[]>> blocks_;
    std::size_t room_ = 0;   // at the end of the last block
    std::size_t last_ = 0;   // size of the last block
    std::size_t live_ = 0;   // characters of texts in use
    std::size_t waste_ = 0;  // characters in places left behind
    std::vector<Place> places_;
    std::vector<std::uint32_t> free_;
  };

  template <typename T>
  using Sorted = std::vector<std::pair<int, T>>;  // by column
  struct Row {
    std::vector<Slot> cells;
    // The line right of column b (b from 0), and the line below the row.
    Sorted<std::uint32_t> right_lines;
    Sorted<std::uint32_t> bottom_lines;
  };
  struct FormatHash {
    size_t operator()(const CellFormat& f) const;
  };
  struct LineHash {
    size_t operator()(const BorderLine& l) const;
  };

  // Row r at index r; row 0 holds the lines above row 1.
  Row* RowAt(int row) { return row < static_cast<int>(rows_.size()) ? &rows_[row] : nullptr; }
  const Row* RowAt(int row) const {
    return row < static_cast<int>(rows_.size()) ? &rows_[row] : nullptr;
  }
  Row& MakeRow(int row) {
    return row < static_cast<int>(rows_.size()) ? rows_[row] : GrowRows(row);
  }
  Row& GrowRows(int row);
  // Where an edge's line is kept: found is null when it has none. Valid
  // until the sheet changes.
  struct LineRef {
    Sorted<std::uint32_t>* lines;
    int column;
    std::uint32_t* found;
  };
  // Makes the cell when it is new.
  LineRef FindLine(int row, int column, Edge edge);
  void StoreLine(const LineRef& ref, const BorderLine& line);
  Slot& MakeSlot(int row, int column) {
    // Inline for the common cases: the row's last cell again, or one more
    // appended within the room the row has.
    if (row < static_cast<int>(rows_.size())) {
      auto& cells = rows_[row].cells;
      if (!cells.empty()) {
        Slot& last = cells.back();
        if (last.column() == column) return last;
        if (last.column() < column && cells.size() < cells.capacity()) {
          ++cell_count_;
          return cells.emplace_back(column);
        }
      }
    }
    return AddSlot(row, column);
  }
  Slot& AddSlot(int row, int column);
  const Slot* FindSlot(int row, int column) const;
  CellData DataOf(const Slot& slot) const {
    CellData data;
    data.kind = slot.kind();
    data.format = slot.format();
    switch (data.kind) {
      case CellData::Kind::kNumber:
        data.number = numbers_[slot.payload()];
        break;
      case CellData::Kind::kBool:
        data.flag = slot.payload() != 0;
        break;
      case CellData::Kind::kText:
      case CellData::Kind::kFormula:
        data.text = texts_.Get(slot.payload());
        break;
      case CellData::Kind::kEmpty:
        break;
    }
    return data;
  }
  std::uint32_t InternFormat(const CellFormat& format);
  std::uint32_t InternLine(const BorderLine& line);
  // Drops what the slot holds (its text goes back for reuse).
  void ClearValue(Slot& slot);
  void StoreText(Slot& slot, CellData::Kind kind, std::wstring_view text);
  void StoreNumber(Slot& slot, double number);
  // Gives a row about to get its first cell the room of the row above, and
  // the rows above back what their growth left unused.
  void StartRow(int row);
  template <typename Fn>
  void ForEachMergeOverlapping(const CellRect& area, Fn fn) const;

  std::wstring name_;
  std::vector<Row> rows_;
  size_t cell_count_ = 0;
  std::vector<CellFormat> formats_;  // [0] the default
  std::unordered_map<CellFormat, std::uint32_t, FormatHash> format_ids_;
  struct Transition {
    std::uint32_t from = 0xFFFFFFFFu;
    std::uint32_t to = 0;
    std::uint64_t key = 0;
  };
  std::array<Transition, 256> transitions_{};  // by a hash of from and key
  std::vector<BorderLine> lines_;              // [0] none
  std::unordered_map<BorderLine, std::uint32_t, LineHash> line_ids_;
  std::uint32_t last_line_ = 0;
  TextPool texts_;
  std::vector<double> numbers_;
  std::vector<std::uint32_t> free_numbers_;
  std::vector<CellRect> merges_;                         // in the order they were made
  std::map<std::pair<int, int>, CellRect> merge_index_;  // by top, left
  int merge_height_ = 0;                                 // the most rows any merged area ever had
  std::map<int, double> column_widths_;
  std::map<int, double> row_heights_;

  friend class CellRange;
};

template <typename Change>
void Worksheet::ChangeFormat(const CellRect& area, Change change, std::uint64_t key) {
  // Most cells of an area share a format: the last change is reused.
  std::uint32_t from = 0xFFFFFFFFu;
  std::uint32_t to = 0;
  for (int row = area.top; row <= area.bottom; ++row) {
    for (int column = area.left; column <= area.right; ++column) {
      Slot& slot = MakeSlot(row, column);
      const std::uint32_t id = slot.format();
      if (id != from) {
        Transition* known = nullptr;
        if (key != 0) {
          known = &transitions_[((id * 0x9E3779B97F4A7C15ull) ^ key) * 0xFF51AFD7ED558CCDull >> 56];
        }
        if (known && known->from == id && known->key == key) {
          to = known->to;
        } else {
          CellFormat changed = formats_[id];
          change(changed);
          to = InternFormat(changed);
          if (known) *known = Transition{id, to, key};
        }
        from = id;
      }
      slot.set_format(to);
    }
  }
}

class Worksheet::CellRange {
 public:
  struct Entry {
    CellKey first;
    Cell second;
  };
  class iterator {
   public:
    Entry operator*() const;
    // The same without copying: the key, and the data read in place.
    CellKey key() const { return {row_, it_->column()}; }
    CellData data() const { return range_->sheet_.DataOf(*it_); }
    iterator& operator++() {
      // Within a row nothing more is to be done.
      if (++it_ == row_end_) Settle();
      return *this;
    }
    bool operator==(const iterator& o) const { return row_ == o.row_ && it_ == o.it_; }

   private:
    friend class CellRange;
    using Inner = std::vector<Slot>::const_iterator;
    iterator(const CellRange* range, int row, Inner it);
    // The end, made without a walk: loops compare with it at every cell.
    explicit iterator(const CellRange* range) : range_(range), row_(kMaxRows + 1) {}
    // Moves past the end of a row, or a column outside the range.
    void Settle();

    const CellRange* range_;
    int row_;
    Inner it_;
    Inner row_end_;  // of row_, found once per row rather than per cell
  };

  iterator begin() const;
  iterator end() const;
  bool empty() const { return begin() == end(); }
  size_t size() const;

 private:
  friend class Worksheet;
  CellRange(const Worksheet& sheet, const CellRect& area) : sheet_(sheet), area_(area) {}
  std::vector<Slot>::const_iterator RowBegin(int row) const;
  std::vector<Slot>::const_iterator RowEnd(int row) const;

  const Worksheet& sheet_;
  CellRect area_;
};

class Workbook {
 public:
  // A workbook with one sheet, "Sheet1".
  explicit Workbook(std::wstring name);
  Workbook(const Workbook&) = delete;
  Workbook& operator=(const Workbook&) = delete;

  const std::wstring& name() const { return name_; }
  const std::vector<std::shared_ptr<Worksheet>>& sheets() const { return sheets_; }
  const std::shared_ptr<Worksheet>& active_sheet() const { return sheets_[active_]; }

  // A new sheet "SheetN" (the first N not in use) at index (clamped), made
  // the active one.
  std::shared_ptr<Worksheet> AddSheet(std::size_t index);
  // Makes the sheet active; false when it is not one of this workbook's.
  bool Activate(const Worksheet& sheet);
  // The sheet of that name, case ignored; nullptr when none.
  std::shared_ptr<Worksheet> FindSheet(std::wstring_view name) const;
  // Where the sheet stands; sheets().size() when it is not one of these.
  std::size_t IndexOf(const Worksheet& sheet) const;

 private:
  std::wstring name_;
  std::vector<std::shared_ptr<Worksheet>> sheets_;
  size_t active_ = 0;
};

}  // namespace spreadsheet
