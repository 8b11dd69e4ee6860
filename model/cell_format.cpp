#include "model/cell_format.h"

#include <cstring>
#include <new>

#include "platform/afx/archive.h"

IMPLEMENT_SERIAL(CAutoBorder, CObject, 1)
IMPLEMENT_SERIAL(CAutoBorders, CObject, 1)
IMPLEMENT_SERIAL(CAutoFont, CObject, 1)
IMPLEMENT_SERIAL(CAutoInterior, CObject, 1)

namespace {

const wchar_t* LineStyleNameOf(std::int32_t lineStyle) {
  switch (lineStyle) {
    case xl::kContinuous:
      return L"CONTINUOUS";
    case xl::kDouble:
      return L"Double";
    case xl::kDot:
      return L"DOT";
    case xl::kDash:
      return L"DASHED";
    case xl::kDashDot:
      return L"DASHDOT";
    case xl::kDashDotDot:
      return L"DIVIDE";
    default:
      return nullptr;
  }
}

}  // namespace

void CAutoBorder::Serialize(CArchive& ar) {
  if (ar.IsStoring()) {
    ar << Color << LineStyle << Weight;
    return;
  }
  ar >> Color >> LineStyle >> Weight;
  if (const wchar_t* name = LineStyleNameOf(LineStyle)) LineStyleName.Assign(name);
}

namespace {

// The short lists a packed border slot indexes. Index 0 is the default.
constexpr std::int32_t kPackedStyles[] = {xl::kContinuous, xl::kDouble,  xl::kDot,
                                          xl::kDash,       xl::kDashDot, xl::kDashDotDot};
constexpr std::int32_t kPackedWeights[] = {xl::kThin};
constexpr int kNameBits = 3;
constexpr int kStyleBits = 3;
// Set: the slot's colour is the shared one; clear: automatic.
constexpr std::uint8_t kSharedColor = 1u << (kNameBits + kStyleBits);
constexpr int kNameMask = (1 << kNameBits) - 1;
constexpr int kStyleMask = (1 << kStyleBits) - 1;
static_assert(BorderStyleNames::kCount <= (1u << kNameBits));
static_assert(std::size(kPackedStyles) <= (1u << kStyleBits));
static_assert(std::size(kPackedWeights) == 1, "a packed slot has no room for a weight");

template <std::size_t N>
int IndexIn(const std::int32_t (&list)[N], std::int32_t value) {
  for (std::size_t i = 0; i < N; ++i) {
    if (list[i] == value) return static_cast<int>(i);
  }
  return -1;
}

// The code of a border that packs, or -1.
int PackedCode(const CAutoBorder& border) {
  const std::uint8_t name = border.LineStyleName.Known();
  const int style = IndexIn(kPackedStyles, border.LineStyle);
  if (name == CBorderStyleName::kCustom || style < 0 ||
      IndexIn(kPackedWeights, border.Weight) < 0) {
    return -1;
  }
  return name | (style << kNameBits);
}

void CheckSlot(int slot) {
  if (slot < 0 || slot >= CAutoBorders::kSlotCount) AfxThrowInvalidArgException();
}

}  // namespace

const std::wstring& BorderStyleNames::At(std::size_t index) {
  static const std::wstring names[kCount] = {L"",    L"Continuous", L"CONTINUOUS", L"Double",
                                             L"DOT", L"DASHED",     L"DASHDOT",    L"DIVIDE"};
  return names[index];
}

const std::wstring& FontNames::At(std::size_t) {
  static const std::wstring name = L"Arial";
  return name;
}

CAutoBorders::CAutoBorders(const CAutoBorders& other)
    : CObject(other),
      color_(other.color_),
      full_(other.full_ ? std::make_unique<std::array<CAutoBorder, kSlotCount>>(*other.full_)
                        : nullptr) {
  std::memcpy(codes_, other.codes_, sizeof codes_);
}

CAutoBorders& CAutoBorders::operator=(const CAutoBorders& other) {
  if (this != &other) *this = CAutoBorders(other);
  return *this;
}

CAutoBorder CAutoBorders::GetAt(int slot) const {
  CheckSlot(slot);
  if (full_) return (*full_)[static_cast<std::size_t>(slot)];
  CAutoBorder border;
  if (slot < kFirstPacked) return border;
  const int i = slot - kFirstPacked;
  const int code = codes_[i];
  border.LineStyleName.SetKnown(static_cast<std::uint8_t>(code & kNameMask));
  border.LineStyle = kPackedStyles[(code >> kNameBits) & kStyleMask];
  border.Color = (code & kSharedColor) != 0 ? color_ : xl::kAutomatic;
  return border;
}

bool CAutoBorders::HasLine(int slot) const {
  CheckSlot(slot);
  if (full_) return !(*full_)[static_cast<std::size_t>(slot)].LineStyleName.empty();
  // The packed name 0 is the empty one.
  return slot >= kFirstPacked && (codes_[slot - kFirstPacked] & kNameMask) != 0;
}

void CAutoBorders::SetAt(int slot, const CAutoBorder& border) {
  CheckSlot(slot);
  if (!full_) {
    int code = PackedCode(border);
    if (slot >= kFirstPacked && code >= 0 && border.Color != xl::kAutomatic) {
      // The shared colour may change only while no other slot uses it.
      bool othersShare = false;
      for (int i = 0; i < kPackedCount; ++i) {
        if (i != slot - kFirstPacked && (codes_[i] & kSharedColor) != 0) othersShare = true;
      }
      if (othersShare && color_ != border.Color) {
        code = -1;
      } else {
        color_ = border.Color;
        code |= kSharedColor;
      }
    }
    if (slot >= kFirstPacked && code >= 0) {
      codes_[slot - kFirstPacked] = static_cast<std::uint8_t>(code);
      return;
    }
    if (slot < kFirstPacked && code == 0 && border.Color == xl::kAutomatic) return;  // default
    auto full = std::make_unique<std::array<CAutoBorder, kSlotCount>>();
    for (int s = kFirstPacked; s < kSlotCount; ++s) (*full)[static_cast<std::size_t>(s)] = GetAt(s);
    full_ = std::move(full);
  }
  (*full_)[static_cast<std::size_t>(slot)] = border;
}

int CAutoBorders::SlotOfEdge(int edge) {
  switch (edge) {
    case xl::kEdgeLeft:
      return kLeft;
    case xl::kEdgeTop:
      return kTop;
    case xl::kEdgeBottom:
      return kBottom;
    case xl::kEdgeRight:
      return kRight;
    default:
      return -1;
  }
}

void CAutoBorders::Serialize(CArchive& ar) {
  for (int slot = 0; slot < kSlotCount; ++slot) {
    CAutoBorder border = GetAt(slot);
    border.Serialize(ar);
    if (ar.IsLoading()) SetAt(slot, border);
  }
}

void CAutoFont::Serialize(CArchive& ar) {
  if (ar.IsStoring()) {
    ar << reservedFlags_[0] << reservedFlags_[1] << reservedFlags_[2] << Size << Color
       << Name.str();
  } else {
    std::wstring name;
    ar >> reservedFlags_[0] >> reservedFlags_[1] >> reservedFlags_[2] >> Size >> Color >> name;
    Name = name;
  }
}

const CAutoFont& CAutoFont::Default() {
  static const CAutoFont font;
  return font;
}

bool CAutoFont::IsDefault() const {
  const CAutoFont& fresh = Default();
  return Name.Known() == 0 && Size == fresh.Size && Color == fresh.Color &&
         std::memcmp(reservedFlags_, fresh.reservedFlags_, sizeof reservedFlags_) == 0;
}

void CAutoInterior::Serialize(CArchive& ar) {
  if (ar.IsStoring()) {
    ar << Color << ColorIndex;
    return;
  }
  ar >> Color >> ColorIndex;
  if (ColorIndex == xl::kNone || ColorIndex == xl::kWhiteIndex) Color = 0;
}
