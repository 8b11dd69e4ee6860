// The recognised table: rows of cells, each with its box in drawing units,
// its absolute A1 address, the address of the merged range it belongs to,
// its value text and its formatting. The grid is always complete; merged
// cells stay in place and carry the range's address.
#pragma once

#include <cstdint>
#include <string>

#include "capture/array.h"
#include "capture/records.h"
#include "model/cell_format.h"

class CAutoCell : public CObject {
  DECLARE_SERIAL(CAutoCell)
 public:
  CAutoCell() = default;
  CAutoCell(const CAutoCell&) = default;
  CAutoCell& operator=(const CAutoCell&) = default;
  CAutoCell(CAutoCell&&) = default;
  CAutoCell& operator=(CAutoCell&&) = default;
  ~CAutoCell() override = default;
  // The box and Texts are working state of recognition and are not stored.
  void Serialize(CArchive& ar) override;

  std::wstring GetAddress() const { return address_; }
  void SetAddress(std::wstring address) { address_ = std::move(address); }
  // Equal to the address unless the cell belongs to a merged range.
  std::wstring GetMergeAddress() const { return mergeAddress_; }
  void SetMergeAddress(std::wstring address) { mergeAddress_ = std::move(address); }
  std::wstring GetFormula() const { return formula_; }
  void SetFormula(std::wstring formula) { formula_ = std::move(formula); }
  std::wstring GetText() const { return text_; }
  void SetText(std::wstring text) { text_ = std::move(text); }

  std::int32_t GetOrientation() const { return orientation_; }
  // Keeps xl::kUpward and xl::kDownward; anything else stores xl::kHorizontal.
  void SetOrientation(std::int32_t orientation);
  std::int32_t GetWrapText() const { return wrapText_; }
  std::int32_t GetHorizontalAlignment() const { return horizontalAlignment_; }
  std::int32_t GetVerticalAlignment() const { return verticalAlignment_; }

  double GetCellHeight() const { return cellHeight_; }
  void SetCellHeight(double value) { cellHeight_ = value; }
  double GetCellWidth() const { return cellWidth_; }
  void SetCellWidth(double value) { cellWidth_ = value; }
  double GetMergeWidth() const { return mergeWidth_; }
  void SetMergeWidth(double value) { mergeWidth_ = value; }
  double GetMergeHeight() const { return mergeHeight_; }
  void SetMergeHeight(double value) { mergeHeight_ = value; }
  double GetOffsetX() const { return offsetX_; }
  void SetOffsetX(double value) { offsetX_ = value; }
  double GetOffsetY() const { return offsetY_; }
  void SetOffsetY(double value) { offsetY_ = value; }

  CAutoBorders& GetBorders() { return borders_; }
  const CAutoBorders& GetBorders() const { return borders_; }
  CAutoFont& GetFont() { return font_; }
  const CAutoFont& GetFont() const { return font_; }
  CAutoInterior& GetInterior() { return interior_; }
  const CAutoInterior& GetInterior() const { return interior_; }
  CArxDbMTextArray& GetTexts() { return texts_; }
  const CArxDbMTextArray& GetTexts() const { return texts_; }

  // The box: the bottom edge is Top - Height. For the first cell of a merged
  // range, recognition widens it to the whole range.
  double Left = 0.0;
  double Top = 0.0;
  double Width = 0.0;
  double Height = 0.0;

 private:
  CArxDbMTextArray texts_;
  std::wstring address_;
  std::wstring mergeAddress_;
  std::int32_t orientation_ = xl::kHorizontal;
  std::wstring reservedText_;
  std::wstring formula_;
  std::wstring text_;
  std::int32_t reserved1_ = 0;
  std::int32_t wrapText_ = 0;
  double cellHeight_ = 0.0;
  double cellWidth_ = 0.0;
  double mergeWidth_ = 0.0;
  double mergeHeight_ = 0.0;
  double offsetX_ = 0.0;
  double offsetY_ = 0.0;
  std::int32_t horizontalAlignment_ = xl::kLeft;
  std::int32_t reserved2_ = 0;
  std::int32_t verticalAlignment_ = xl::kBottom;
  CAutoBorders borders_;
  CAutoFont font_;
  CAutoInterior interior_;
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
