#include "model/sheetform.h"

#include "platform/afx/archive.h"

IMPLEMENT_SERIAL(CAutoCell, CObject, 1)
IMPLEMENT_SERIAL(CSheetformRow, CObject, 1)
IMPLEMENT_SERIAL(CSheetform, CObject, 1)

namespace {

// Every stored element takes at least one byte, so a count larger than what
// is left cannot be read; refusing it early keeps a damaged count from
// allocating a huge array first.
std::size_t ReadElementCount(CArchive& ar) {
  const std::size_t count = ar.ReadCount();
  if (count > ar.GetRemainingLength()) AfxThrowArchiveException(CArchiveException::endOfFile);
  return count;
}

}  // namespace

void CAutoCell::SetOrientation(std::int32_t orientation) {
  orientation_ =
      orientation == xl::kUpward || orientation == xl::kDownward ? orientation : xl::kHorizontal;
}

void CAutoCell::Serialize(CArchive& ar) {
  borders_.Serialize(ar);
  font_.Serialize(ar);
  interior_.Serialize(ar);
  if (ar.IsStoring()) {
    ar << address_ << mergeAddress_ << orientation_ << reservedText_ << formula_ << text_
       << reserved1_ << wrapText_ << cellHeight_ << cellWidth_ << mergeWidth_ << mergeHeight_
       << offsetX_ << offsetY_ << horizontalAlignment_ << reserved2_ << verticalAlignment_;
  } else {
    ar >> address_ >> mergeAddress_ >> orientation_ >> reservedText_ >> formula_ >> text_ >>
        reserved1_ >> wrapText_ >> cellHeight_ >> cellWidth_ >> mergeWidth_ >> mergeHeight_ >>
        offsetX_ >> offsetY_ >> horizontalAlignment_ >> reserved2_ >> verticalAlignment_;
  }
}

void CSheetformRow::Serialize(CArchive& ar) {
  if (ar.IsStoring()) {
    ar.WriteCount(static_cast<std::size_t>(Cells.GetSize()));
  } else {
    Cells.SetSize(static_cast<int>(ReadElementCount(ar)));
  }
  for (CAutoCell& cell : Cells) cell.Serialize(ar);
}

void CSheetform::Serialize(CArchive& ar) {
  if (ar.IsStoring()) {
    ar.WriteCount(static_cast<std::size_t>(Rows.GetSize()));
  } else {
    Rows.SetSize(static_cast<int>(ReadElementCount(ar)));
  }
  for (CSheetformRow& row : Rows) row.Serialize(ar);
}
