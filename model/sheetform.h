// The recognised table: rows of cells, each with its offset and size in
// drawing units, its absolute A1 address, the address of the merged range
// it belongs to, its value text and its formatting. The grid is always
// complete; merged cells stay in place and carry the range's address.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "capture/array.h"
#include "capture/records.h"
#include "model/cell_format.h"
#include "model/compact_text.h"

class CAutoCell : public CObject {
  DECLARE_SERIAL(CAutoCell)
 public:
  CAutoCell();
  CAutoCell(const CAutoCell& other);
  CAutoCell& operator=(const CAutoCell& other);
  CAutoCell(CAutoCell&&) noexcept;
  CAutoCell& operator=(CAutoCell&&) noexcept;
  ~CAutoCell() override;
  // Texts are working state of recognition and are not stored.
  void Serialize(CArchive& ar) override;

  // Addresses are kept as numbers when they are plain absolute references
  // ($B$2, $A$1:$C$3) and made as text when asked for; any other text is
  // kept as it is.
  std::wstring GetAddress() const;
  void SetAddress(std::wstring_view address);
  // Equal to the address unless the cell belongs to a merged range.
  std::wstring GetMergeAddress() const;
  void SetMergeAddress(std::wstring_view address);
  // Sets the address of the cell at a 1-based row and column, and the merge
  // address to the same. REQUIRES: row >= 1, 1 <= column <= 16384.
  void SetOwnAddress(int row, int column);
  // Sets the merge address to the range from (row1, column1) to (row2,
  // column2), 1-based. REQUIRES: as for SetOwnAddress, for both corners.
  void SetMergeRange(int row1, int column1, int row2, int column2);
  // True when the merge address equals the address, as texts.
  bool IsOwnRange() const;
  // The corners of the merge address when it is a plain range reference
  // ($A$1:$C$3); false for a one-cell reference or any other text.
  bool GetMergeRange(int& row1, int& column1, int& row2, int& column2) const;

  std::wstring GetFormula() const;
  void SetFormula(std::wstring_view formula);
  std::wstring GetText() const { return std::wstring(text_.View()); }
  std::wstring_view GetTextView() const { return text_.View(); }
  void SetText(std::wstring_view text) { text_.Assign(text); }

  std::int32_t GetOrientation() const {
    static constexpr std::int32_t kTurns[] = {xl::kHorizontal, xl::kUpward, xl::kDownward};
    return turn_ == Turn::kKept ? KeptOrientation() : kTurns[static_cast<int>(turn_)];
  }
  // Keeps xl::kUpward and xl::kDownward; anything else stores xl::kHorizontal.
  void SetOrientation(std::int32_t orientation);
  std::int32_t GetWrapText() const;
  std::int32_t GetHorizontalAlignment() const;
  std::int32_t GetVerticalAlignment() const;

  double GetCellHeight() const { return cellHeight_; }
  void SetCellHeight(double value) { cellHeight_ = value; }
  double GetCellWidth() const { return cellWidth_; }
  void SetCellWidth(double value) { cellWidth_ = value; }
  double GetMergeWidth() const;
  void SetMergeWidth(double value);
  double GetMergeHeight() const;
  void SetMergeHeight(double value);
  double GetOffsetX() const { return offsetX_; }
  void SetOffsetX(double value) { offsetX_ = value; }
  double GetOffsetY() const { return offsetY_; }
  void SetOffsetY(double value) { offsetY_ = value; }

  // Font, Interior and Texts are made on first change: a const cell reads
  // shared defaults, a non-const one makes its own.
  CAutoBorders& GetBorders() { return borders_; }
  const CAutoBorders& GetBorders() const { return borders_; }
  CAutoFont& GetFont() { return MakeSeldom().font; }
  const CAutoFont& GetFont() const;
  CAutoInterior& GetInterior();
  const CAutoInterior& GetInterior() const;
  CArxDbMTextArray& GetTexts();
  const CArxDbMTextArray& GetTexts() const;
  bool HasTexts() const { return seldom_ && seldom_->texts && !seldom_->texts->IsEmpty(); }
  // Empties Texts and gives back its room.
  void ReleaseTexts() {
    if (seldom_) seldom_->texts.reset();
  }

 private:
  struct Extras;
  // A font of its own, the seldom-set fields and recognition's texts: blank
  // cells, most of a large grid, have none of them.
  struct Seldom {
    Seldom();
    Seldom(const Seldom& other);
    Seldom& operator=(const Seldom&) = delete;
    ~Seldom();

    CAutoFont font;
    std::unique_ptr<Extras> extras;
    std::unique_ptr<CArxDbMTextArray> texts;
  };
  // kOwn: the merge address is the cell's own plain address, kept nowhere
  // else. Other merge addresses than kEmpty live in the extras.
  enum class AddressKind : std::uint8_t { kEmpty, kCell, kRange, kText, kOwn };
  // kKept: a loaded orientation the setter would not give, kept in the
  // extras so that it stores back as it came.
  enum class Turn : std::uint8_t { kHorizontal, kUpward, kDownward, kKept };

  const Extras* GetExtras() const { return seldom_ ? seldom_->extras.get() : nullptr; }
  Extras* GetExtras() { return seldom_ ? seldom_->extras.get() : nullptr; }
  Seldom& MakeSeldom() {
    if (!seldom_) seldom_ = std::make_unique<Seldom>();
    return *seldom_;
  }
  Extras& MakeExtras();
  std::int32_t KeptOrientation() const;
  // Drops the seldom block when it holds nothing but defaults.
  void TrimSeldom();
  // Keeps a kOwn merge address apart before the own address changes.
  void PinOwnMerge();
  // Sets a seldom field, making the extras only for a value other than the
  // default.
  template <typename T>
  void SetExtra(T Extras::*field, const T& value);

  double cellHeight_ = 0.0;
  double cellWidth_ = 0.0;
  double offsetX_ = 0.0;
  double offsetY_ = 0.0;
  CPackedText text_;
  std::unique_ptr<Seldom> seldom_;
  std::int32_t row_ = 0;
  std::uint16_t column_ = 0;
  AddressKind addressKind_ : 3 = AddressKind::kEmpty;
  AddressKind mergeKind_ : 3 = AddressKind::kEmpty;
  Turn turn_ : 2 = Turn::kHorizontal;
  CAutoBorders borders_;
};

class CSheetformRow : public CObject {
  DECLARE_SERIAL(CSheetformRow)
 public:
  CSheetformRow() = default;
  CSheetformRow(const CSheetformRow&) = default;
  CSheetformRow& operator=(const CSheetformRow&) = default;
  CSheetformRow(CSheetformRow&&) = default;
  CSheetformRow& operator=(CSheetformRow&&) = default;
  ~CSheetformRow() override = default;
  void Serialize(CArchive& ar) override;

  // Leftmost cell first.
  CCheckedArray<CAutoCell> Cells;
};

class CSheetform : public CObject {
  DECLARE_SERIAL(CSheetform)
 public:
  CSheetform() = default;
  CSheetform(const CSheetform&) = default;
  CSheetform& operator=(const CSheetform&) = default;
  CSheetform(CSheetform&&) = default;
  CSheetform& operator=(CSheetform&&) = default;
  ~CSheetform() override = default;
  void Serialize(CArchive& ar) override;

  int GetRowCount() const { return Rows.GetSize(); }
  // The number of cells of the first row, which writers take as the column
  // count; 0 without rows.
  int GetColumnCount() const { return Rows.IsEmpty() ? 0 : Rows[0].Cells.GetSize(); }

  // Top row first.
  CCheckedArray<CSheetformRow> Rows;
};
