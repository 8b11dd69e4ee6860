#include "model/sheetform.h"

#include <cstring>
#include <limits>
#include <utility>

#include "platform/afx/archive.h"

IMPLEMENT_SERIAL(CAutoCell, CObject, 1)
IMPLEMENT_SERIAL(CSheetformRow, CObject, 1)
IMPLEMENT_SERIAL(CSheetform, CObject, 1)

struct CAutoCell::Extras {
  std::wstring address;       // when not a plain one-cell reference
  std::wstring mergeAddress;  // when not a plain cell or range reference
  std::wstring reservedText;
  std::wstring formula;
  double mergeWidth = 0.0;
  double mergeHeight = 0.0;
  std::int32_t mergeRow1 = 0;
  std::int32_t mergeRow2 = 0;
  std::uint16_t mergeColumn1 = 0;
  std::uint16_t mergeColumn2 = 0;
  std::int32_t reserved1 = 0;
  std::int32_t wrapText = 0;
  std::int32_t horizontalAlignment = xl::kLeft;
  std::int32_t reserved2 = 0;
  std::int32_t verticalAlignment = xl::kBottom;
  CAutoInterior interior;
};

namespace {

// Every stored element takes at least one byte, so a count larger than what
// is left cannot be read; refusing it early keeps a damaged count from
// allocating a huge array first.
std::size_t ReadElementCount(CArchive& ar) {
  const std::size_t count = ar.ReadCount();
  if (count > ar.GetRemainingLength()) AfxThrowArchiveException(CArchiveException::endOfFile);
  return count;
}

constexpr int kLastColumn = 16384;  // XFD
constexpr int kMaxColumnLetters = 3;

// Reads "$COL$ROW" at pos exactly as AppendCell writes it (upper-case
// letters, no leading zero), so that every text read writes back the same.
bool ReadCell(std::wstring_view text, std::size_t& pos, std::int32_t& row, std::uint16_t& column) {
  auto at = [&](std::size_t i) { return i < text.size() ? text[i] : L'\0'; };
  if (at(pos) != L'$') return false;
  ++pos;
  int col = 0;
  int letters = 0;
  for (; letters < kMaxColumnLetters && at(pos) >= L'A' && at(pos) <= L'Z'; ++letters, ++pos) {
    col = col * 26 + (at(pos) - L'A' + 1);
  }
  if (letters == 0 || col > kLastColumn || at(pos) != L'$') return false;
  ++pos;
  if (at(pos) < L'1' || at(pos) > L'9') return false;
  long long r = 0;
  for (; at(pos) >= L'0' && at(pos) <= L'9'; ++pos) {
    r = r * 10 + (at(pos) - L'0');
    if (r > std::numeric_limits<std::int32_t>::max()) return false;
  }
  row = static_cast<std::int32_t>(r);
  column = static_cast<std::uint16_t>(col);
  return true;
}

void AppendCell(std::wstring& out, std::int32_t row, int column) {
  wchar_t text[kMaxColumnLetters + 16];
  wchar_t* const end = text + sizeof(text) / sizeof(text[0]);
  wchar_t* p = end;
  for (std::int32_t n = row; n > 0; n /= 10) *--p = static_cast<wchar_t>(L'0' + n % 10);
  *--p = L'$';
  for (int n = column; n > 0; n = (n - 1) / 26) *--p = static_cast<wchar_t>(L'A' + (n - 1) % 26);
  *--p = L'$';
  out.append(p, end);
}

template <typename T>
bool SameBits(const T& a, const T& b) {
  if constexpr (std::is_floating_point_v<T>) {
    return std::memcmp(&a, &b, sizeof a) == 0;  // keeps -0.0 and NaN payloads apart
  } else {
    return a == b;
  }
}

const CAutoFont& DefaultFont() {
  static const CAutoFont font;
  return font;
}

}  // namespace

CAutoCell::CAutoCell(const CAutoCell& other)
    : CObject(other),
      cellHeight_(other.cellHeight_),
      cellWidth_(other.cellWidth_),
      offsetX_(other.offsetX_),
      offsetY_(other.offsetY_),
      text_(other.text_),
      texts_(other.texts_ ? std::make_unique<CArxDbMTextArray>(*other.texts_) : nullptr),
      extras_(other.extras_ ? std::make_unique<Extras>(*other.extras_) : nullptr),
      font_(other.font_ ? std::make_unique<CAutoFont>(*other.font_) : nullptr),
      row_(other.row_),
      orientation_(other.orientation_),
      column_(other.column_),
      addressKind_(other.addressKind_),
      mergeKind_(other.mergeKind_),
      borders_(other.borders_) {}

CAutoCell& CAutoCell::operator=(const CAutoCell& other) {
  if (this != &other) *this = CAutoCell(other);
  return *this;
}

CAutoCell::CAutoCell() = default;
CAutoCell::CAutoCell(CAutoCell&&) noexcept = default;
CAutoCell& CAutoCell::operator=(CAutoCell&&) noexcept = default;
CAutoCell::~CAutoCell() = default;

CAutoCell::Extras& CAutoCell::MakeExtras() {
  if (!extras_) extras_ = std::make_unique<Extras>();
  return *extras_;
}

void CAutoCell::PinOwnMerge() {
  if (mergeKind_ != AddressKind::kOwn) return;
  Extras& x = MakeExtras();
  x.mergeRow1 = row_;
  x.mergeColumn1 = column_;
  mergeKind_ = AddressKind::kCell;
}

template <typename T>
void CAutoCell::SetExtra(T Extras::*field, const T& value) {
  if (!extras_ && SameBits(Extras().*field, value)) return;
  MakeExtras().*field = value;
}

std::wstring CAutoCell::GetAddress() const {
  std::wstring text;
  if (addressKind_ == AddressKind::kCell) {
    AppendCell(text, row_, column_);
  } else if (addressKind_ == AddressKind::kText) {
    text = extras_->address;
  }
  return text;
}

void CAutoCell::SetAddress(std::wstring_view address) {
  std::size_t pos = 0;
  std::int32_t row = 0;
  std::uint16_t column = 0;
  PinOwnMerge();
  if (extras_) extras_->address.clear();
  if (address.empty()) {
    addressKind_ = AddressKind::kEmpty;
  } else if (ReadCell(address, pos, row, column) && pos == address.size()) {
    addressKind_ = AddressKind::kCell;
    row_ = row;
    column_ = column;
  } else {
    addressKind_ = AddressKind::kText;
    MakeExtras().address.assign(address);
  }
}

std::wstring CAutoCell::GetMergeAddress() const {
  std::wstring text;
  switch (mergeKind_) {
    case AddressKind::kEmpty:
      break;
    case AddressKind::kOwn:
      AppendCell(text, row_, column_);
      break;
    case AddressKind::kCell:
      AppendCell(text, extras_->mergeRow1, extras_->mergeColumn1);
      break;
    case AddressKind::kRange:
      text.reserve(2 * (kMaxColumnLetters + 12) + 1);
      AppendCell(text, extras_->mergeRow1, extras_->mergeColumn1);
      text += L':';
      AppendCell(text, extras_->mergeRow2, extras_->mergeColumn2);
      break;
    case AddressKind::kText:
      text = extras_->mergeAddress;
      break;
  }
  return text;
}

void CAutoCell::SetMergeAddress(std::wstring_view address) {
  std::size_t pos = 0;
  std::int32_t row1 = 0, row2 = 0;
  std::uint16_t column1 = 0, column2 = 0;
  if (extras_) extras_->mergeAddress.clear();
  if (address.empty()) {
    mergeKind_ = AddressKind::kEmpty;
    return;
  }
  if (ReadCell(address, pos, row1, column1)) {
    if (pos == address.size()) {
      if (addressKind_ == AddressKind::kCell && row1 == row_ && column1 == column_) {
        mergeKind_ = AddressKind::kOwn;
        return;
      }
      mergeKind_ = AddressKind::kCell;
      Extras& x = MakeExtras();
      x.mergeRow1 = row1;
      x.mergeColumn1 = column1;
      return;
    }
    if (address[pos] == L':' && ReadCell(address, ++pos, row2, column2) && pos == address.size()) {
      mergeKind_ = AddressKind::kRange;
      Extras& x = MakeExtras();
      x.mergeRow1 = row1;
      x.mergeColumn1 = column1;
      x.mergeRow2 = row2;
      x.mergeColumn2 = column2;
      return;
    }
  }
  mergeKind_ = AddressKind::kText;
  MakeExtras().mergeAddress.assign(address);
}

void CAutoCell::SetOwnAddress(int row, int column) {
  if (row < 1 || column < 1 || column > kLastColumn) AfxThrowInvalidArgException();
  if (extras_) {
    extras_->address.clear();
    extras_->mergeAddress.clear();
  }
  addressKind_ = AddressKind::kCell;
  mergeKind_ = AddressKind::kOwn;
  row_ = row;
  column_ = static_cast<std::uint16_t>(column);
}

void CAutoCell::SetMergeRange(int row1, int column1, int row2, int column2) {
  for (const auto& [row, column] : {std::pair{row1, column1}, std::pair{row2, column2}}) {
    if (row < 1 || column < 1 || column > kLastColumn) AfxThrowInvalidArgException();
  }
  if (extras_) extras_->mergeAddress.clear();
  mergeKind_ = AddressKind::kRange;
  Extras& x = MakeExtras();
  x.mergeRow1 = row1;
  x.mergeColumn1 = static_cast<std::uint16_t>(column1);
  x.mergeRow2 = row2;
  x.mergeColumn2 = static_cast<std::uint16_t>(column2);
}

bool CAutoCell::IsOwnRange() const {
  if (mergeKind_ == AddressKind::kOwn) return true;
  if (addressKind_ == AddressKind::kCell && mergeKind_ == AddressKind::kCell) {
    return row_ == extras_->mergeRow1 && column_ == extras_->mergeColumn1;
  }
  // An address kept as text may still read as a range reference.
  if (addressKind_ == AddressKind::kText || mergeKind_ == AddressKind::kText) {
    return GetAddress() == GetMergeAddress();
  }
  return addressKind_ == AddressKind::kEmpty && mergeKind_ == AddressKind::kEmpty;
}

bool CAutoCell::GetMergeRange(int& row1, int& column1, int& row2, int& column2) const {
  if (mergeKind_ != AddressKind::kRange) return false;
  row1 = extras_->mergeRow1;
  column1 = extras_->mergeColumn1;
  row2 = extras_->mergeRow2;
  column2 = extras_->mergeColumn2;
  return true;
}

std::wstring CAutoCell::GetFormula() const { return extras_ ? extras_->formula : std::wstring(); }

void CAutoCell::SetFormula(std::wstring_view formula) {
  SetExtra(&Extras::formula, std::wstring(formula));
}

void CAutoCell::SetOrientation(std::int32_t orientation) {
  orientation_ =
      orientation == xl::kUpward || orientation == xl::kDownward ? orientation : xl::kHorizontal;
}

std::int32_t CAutoCell::GetWrapText() const { return extras_ ? extras_->wrapText : 0; }

std::int32_t CAutoCell::GetHorizontalAlignment() const {
  return extras_ ? extras_->horizontalAlignment : xl::kLeft;
}

std::int32_t CAutoCell::GetVerticalAlignment() const {
  return extras_ ? extras_->verticalAlignment : xl::kBottom;
}

double CAutoCell::GetMergeWidth() const { return extras_ ? extras_->mergeWidth : 0.0; }
void CAutoCell::SetMergeWidth(double value) { SetExtra(&Extras::mergeWidth, value); }
double CAutoCell::GetMergeHeight() const { return extras_ ? extras_->mergeHeight : 0.0; }
void CAutoCell::SetMergeHeight(double value) { SetExtra(&Extras::mergeHeight, value); }

CAutoFont& CAutoCell::GetFont() {
  if (!font_) font_ = std::make_unique<CAutoFont>();
  return *font_;
}

const CAutoFont& CAutoCell::GetFont() const { return font_ ? *font_ : DefaultFont(); }

CAutoInterior& CAutoCell::GetInterior() { return MakeExtras().interior; }

const CAutoInterior& CAutoCell::GetInterior() const {
  static const CAutoInterior none;
  return extras_ ? extras_->interior : none;
}

CArxDbMTextArray& CAutoCell::GetTexts() {
  if (!texts_) texts_ = std::make_unique<CArxDbMTextArray>();
  return *texts_;
}

const CArxDbMTextArray& CAutoCell::GetTexts() const {
  static const CArxDbMTextArray none;
  return texts_ ? *texts_ : none;
}

void CAutoCell::Serialize(CArchive& ar) {
  borders_.Serialize(ar);
  if (ar.IsStoring()) {
    CAutoFont font = std::as_const(*this).GetFont();
    font.Serialize(ar);
    CAutoInterior interior = std::as_const(*this).GetInterior();
    interior.Serialize(ar);
    const Extras none;
    const Extras& x = extras_ ? *extras_ : none;
    ar << GetAddress() << GetMergeAddress() << orientation_ << x.reservedText << x.formula
       << std::wstring(text_.View()) << x.reserved1 << x.wrapText << cellHeight_ << cellWidth_
       << x.mergeWidth << x.mergeHeight << offsetX_ << offsetY_ << x.horizontalAlignment
       << x.reserved2 << x.verticalAlignment;
    return;
  }
  CAutoFont font = std::as_const(*this).GetFont();
  font.Serialize(ar);
  if (font.IsDefault()) {
    font_.reset();
  } else {
    font_ = std::make_unique<CAutoFont>(std::move(font));
  }
  CAutoInterior interior = std::as_const(*this).GetInterior();
  interior.Serialize(ar);
  if (extras_ || !interior.IsDefault()) MakeExtras().interior = interior;

  std::wstring address, mergeAddress, reservedText, formula, text;
  ar >> address >> mergeAddress >> orientation_ >> reservedText >> formula >> text;
  SetAddress(address);
  SetMergeAddress(mergeAddress);
  SetExtra(&Extras::reservedText, reservedText);
  SetExtra(&Extras::formula, formula);
  SetText(text);
  std::int32_t reserved1 = 0, wrapText = 0, horizontal = 0, reserved2 = 0, vertical = 0;
  double mergeWidth = 0.0, mergeHeight = 0.0;
  ar >> reserved1 >> wrapText >> cellHeight_ >> cellWidth_ >> mergeWidth >> mergeHeight >>
      offsetX_ >> offsetY_ >> horizontal >> reserved2 >> vertical;
  SetExtra(&Extras::reserved1, reserved1);
  SetExtra(&Extras::wrapText, wrapText);
  SetExtra(&Extras::mergeWidth, mergeWidth);
  SetExtra(&Extras::mergeHeight, mergeHeight);
  SetExtra(&Extras::horizontalAlignment, horizontal);
  SetExtra(&Extras::reserved2, reserved2);
  SetExtra(&Extras::verticalAlignment, vertical);
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
