#include "model/cell_format.h"

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
  if (const wchar_t* name = LineStyleNameOf(LineStyle)) LineStyleName = name;
}

CAutoBorder& CAutoBorders::GetAt(int slot) {
  if (slot < 0 || slot >= kSlotCount) AfxThrowInvalidArgException();
  return slots_[slot];
}

const CAutoBorder& CAutoBorders::GetAt(int slot) const {
  if (slot < 0 || slot >= kSlotCount) AfxThrowInvalidArgException();
  return slots_[slot];
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
  for (CAutoBorder& border : slots_) border.Serialize(ar);
}

void CAutoFont::Serialize(CArchive& ar) {
  if (ar.IsStoring()) {
    ar << reservedFlags_[0] << reservedFlags_[1] << reservedFlags_[2] << Size << Color << Name;
  } else {
    ar >> reservedFlags_[0] >> reservedFlags_[1] >> reservedFlags_[2] >> Size >> Color >> Name;
  }
}

void CAutoInterior::Serialize(CArchive& ar) {
  if (ar.IsStoring()) {
    ar << Color << ColorIndex;
    return;
  }
  ar >> Color >> ColorIndex;
  if (ColorIndex == xl::kNone || ColorIndex == xl::kWhiteIndex) Color = 0;
}
