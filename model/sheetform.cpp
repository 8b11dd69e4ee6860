#include "model/sheetform.h"

#include <cstring>
#include <limits>
#include <utility>

#include "platform/afx/archive.h"

IMPLEMENT_SERIAL(CAutoCell, CObject, 1)
IMPLEMENT_SERIAL(CSheetformRow, CObject, 1)
IMPLEMENT_SERIAL(CSheetform, CObject, 1)

// What is seldom set: merge addresses of other cells or ranges, texts that
// are no plain addresses, the formula, the reserved fields, merge sizes,
// alignment, wrapping, an orientation the setter would not give, the fill.
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
  std::int32_t orientation = xl::kHorizontal;  // when the turn is kKept
  CAutoInterior interior;
};

CAutoCell::Seldom::Seldom() = default;
CAutoCell::Seldom::Seldom(const Seldom& other)
    : font(other.font),
      extras(other.extras ? std::make_unique<Extras>(*other.extras) : nullptr),
      texts(other.texts ? std::make_unique<CArxDbMTextArray>(*other.texts) : nullptr) {}
CAutoCell::Seldom::~Seldom() = default;

// Most cells of a large grid are blank; their size is most of its memory.
static_assert(sizeof(void*) != 8 || sizeof(CAutoCell) <= 88);

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

}  // namespace

CAutoCell::CAutoCell(const CAutoCell& other)
    : CObject(other),
      cellHeight_(other.cellHeight_),
      cellWidth_(other.cellWidth_),
      offsetX_(other.offsetX_),
      offsetY_(other.offsetY_),
      text_(other.text_),
      seldom_(other.seldom_ ? std::make_unique<Seldom>(*other.seldom_) : nullptr),
      row_(other.row_),
      column_(other.column_),
      addressKind_(other.addressKind_),
      mergeKind_(other.mergeKind_),
      turn_(other.turn_),
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
  Seldom& seldom = MakeSeldom();
  if (!seldom.extras) seldom.extras = std::make_unique<Extras>();
  return *seldom.extras;
}

void CAutoCell::TrimSeldom() {
  if (seldom_ && !seldom_->extras && !seldom_->texts && seldom_->font.IsDefault()) {
    seldom_.reset();
  }
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
  if (!GetExtras() && SameBits(Extras().*field, value)) return;
  MakeExtras().*field = value;
}

std::wstring CAutoCell::GetAddress() const {
  std::wstring text;
  if (addressKind_ == AddressKind::kCell) {
    AppendCell(text, row_, column_);
  } else if (addressKind_ == AddressKind::kText) {
    text = GetExtras()->address;
  }
  return text;
}

void CAutoCell::SetAddress(std::wstring_view address) {
  std::size_t pos = 0;
  std::int32_t row = 0;
  std::uint16_t column = 0;
  PinOwnMerge();
  if (Extras* x = GetExtras()) x->address.clear();
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
  const Extras* x = GetExtras();
  switch (mergeKind_) {
    case AddressKind::kEmpty:
      break;
    case AddressKind::kOwn:
      AppendCell(text, row_, column_);
      break;
    case AddressKind::kCell:
      AppendCell(text, x->mergeRow1, x->mergeColumn1);
      break;
    case AddressKind::kRange:
      text.reserve(2 * (kMaxColumnLetters + 12) + 1);
      AppendCell(text, x->mergeRow1, x->mergeColumn1);
      text += L':';
      AppendCell(text, x->mergeRow2, x->mergeColumn2);
      break;
    case AddressKind::kText:
      text = x->mergeAddress;
      break;
  }
  return text;
}

void CAutoCell::SetMergeAddress(std::wstring_view address) {
  std::size_t pos = 0;
  std::int32_t row1 = 0, row2 = 0;
  std::uint16_t column1 = 0, column2 = 0;
  if (Extras* x = GetExtras()) x->mergeAddress.clear();
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
  if (Extras* x = GetExtras()) {
    x->address.clear();
    x->mergeAddress.clear();
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
  if (Extras* x = GetExtras()) x->mergeAddress.clear();
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
    return row_ == GetExtras()->mergeRow1 && column_ == GetExtras()->mergeColumn1;
  }
  // An address kept as text may still read as a range reference.
  if (addressKind_ == AddressKind::kText || mergeKind_ == AddressKind::kText) {
    return GetAddress() == GetMergeAddress();
  }
  return addressKind_ == AddressKind::kEmpty && mergeKind_ == AddressKind::kEmpty;
}

bool CAutoCell::GetMergeRange(int& row1, int& column1, int& row2, int& column2) const {
  if (mergeKind_ != AddressKind::kRange) return false;
  const Extras* x = GetExtras();
  row1 = x->mergeRow1;
  column1 = x->mergeColumn1;
  row2 = x->mergeRow2;
  column2 = x->mergeColumn2;
  return true;
}

std::wstring CAutoCell::GetFormula() const {
  const Extras* x = GetExtras();
  return x ? x->formula : std::wstring();
}

void CAutoCell::SetFormula(std::wstring_view formula) {
  SetExtra(&Extras::formula, std::wstring(formula));
}

void CAutoCell::SetOrientation(std::int32_t orientation) {
  turn_ = orientation == xl::kUpward     ? Turn::kUpward
          : orientation == xl::kDownward ? Turn::kDownward
                                         : Turn::kHorizontal;
}

std::int32_t CAutoCell::KeptOrientation() const { return GetExtras()->orientation; }

std::int32_t CAutoCell::GetWrapText() const {
  const Extras* x = GetExtras();
  return x ? x->wrapText : 0;
}

std::int32_t CAutoCell::GetHorizontalAlignment() const {
  const Extras* x = GetExtras();
  return x ? x->horizontalAlignment : xl::kLeft;
}

std::int32_t CAutoCell::GetVerticalAlignment() const {
  const Extras* x = GetExtras();
  return x ? x->verticalAlignment : xl::kBottom;
}

double CAutoCell::GetMergeWidth() const {
  const Extras* x = GetExtras();
  return x ? x->mergeWidth : 0.0;
}
void CAutoCell::SetMergeWidth(double value) { SetExtra(&Extras::mergeWidth, value); }
double CAutoCell::GetMergeHeight() const {
  const Extras* x = GetExtras();
  return x ? x->mergeHeight : 0.0;
}
void CAutoCell::SetMergeHeight(double value) { SetExtra(&Extras::mergeHeight, value); }

const CAutoFont& CAutoCell::GetFont() const {
  return seldom_ ? seldom_->font : CAutoFont::Default();
}

CAutoInterior& CAutoCell::GetInterior() { return MakeExtras().interior; }

const CAutoInterior& CAutoCell::GetInterior() const {
  static const CAutoInterior none;
  const Extras* x = GetExtras();
  return x ? x->interior : none;
}

CArxDbMTextArray& CAutoCell::GetTexts() {
  Seldom& seldom = MakeSeldom();
  if (!seldom.texts) seldom.texts = std::make_unique<CArxDbMTextArray>();
  return *seldom.texts;
}

const CArxDbMTextArray& CAutoCell::GetTexts() const {
  static const CArxDbMTextArray none;
  return seldom_ && seldom_->texts ? *seldom_->texts : none;
}

void CAutoCell::Serialize(CArchive& ar) {
  borders_.Serialize(ar);
  if (ar.IsStoring()) {
    CAutoFont font = std::as_const(*this).GetFont();
    font.Serialize(ar);
    CAutoInterior interior = std::as_const(*this).GetInterior();
    interior.Serialize(ar);
    const Extras none;
    const Extras& x = GetExtras() ? *GetExtras() : none;
    ar << GetAddress() << GetMergeAddress() << GetOrientation() << x.reservedText << x.formula
       << std::wstring(text_.View()) << x.reserved1 << x.wrapText << cellHeight_ << cellWidth_
       << x.mergeWidth << x.mergeHeight << offsetX_ << offsetY_ << x.horizontalAlignment
       << x.reserved2 << x.verticalAlignment;
    return;
  }
  CAutoFont font = std::as_const(*this).GetFont();
  font.Serialize(ar);
  if (seldom_ || !font.IsDefault()) MakeSeldom().font = std::move(font);
  CAutoInterior interior = std::as_const(*this).GetInterior();
  interior.Serialize(ar);
  if (GetExtras() || !interior.IsDefault()) MakeExtras().interior = interior;

  std::wstring address, mergeAddress, reservedText, formula, text;
  std::int32_t orientation = 0;
  ar >> address >> mergeAddress >> orientation >> reservedText >> formula >> text;
  SetAddress(address);
  SetMergeAddress(mergeAddress);
  SetOrientation(orientation);
  if (GetOrientation() != orientation) {
    MakeExtras().orientation = orientation;
    turn_ = Turn::kKept;
  }
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
  TrimSeldom();
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
