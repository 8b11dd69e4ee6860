// The formatting parts of a table cell: borders, font and fill. Their
// numeric fields hold the spreadsheet's own object-model constants, so the
// writers hand them on unchanged.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "model/compact_text.h"
#include "platform/afx/afx.h"

// Spreadsheet object-model constants the table model uses.
namespace xl {
inline constexpr std::int32_t kHorizontal = -4128;
inline constexpr std::int32_t kUpward = -4171;
inline constexpr std::int32_t kDownward = -4170;
inline constexpr std::int32_t kLeft = -4131;
inline constexpr std::int32_t kBottom = -4107;
inline constexpr std::int32_t kAutomatic = -4105;
inline constexpr std::int32_t kNone = -4142;
inline constexpr std::int32_t kWhiteIndex = 2;
inline constexpr std::int32_t kContinuous = 1;
inline constexpr std::int32_t kThin = 2;
inline constexpr std::int32_t kDouble = -4119;
inline constexpr std::int32_t kDot = -4118;
inline constexpr std::int32_t kDash = -4115;
inline constexpr std::int32_t kDashDot = 4;
inline constexpr std::int32_t kDashDotDot = 5;
inline constexpr int kEdgeLeft = 7;
inline constexpr int kEdgeTop = 8;
inline constexpr int kEdgeBottom = 9;
inline constexpr int kEdgeRight = 10;
}  // namespace xl

// The names an edge's line style goes by: empty (no border), the one
// recognition gives, and those loading derives from the line style.
struct BorderStyleNames {
  static constexpr std::size_t kCount = 8;
  static constexpr std::uint8_t kContinuous = 1;  // At(kContinuous) is "Continuous"
  static const std::wstring& At(std::size_t index);
};
using CBorderStyleName = CChosenText<BorderStyleNames>;

class CAutoBorder : public CObject {
  DECLARE_SERIAL(CAutoBorder)
 public:
  CAutoBorder() = default;
  CAutoBorder(const CAutoBorder&) = default;
  CAutoBorder& operator=(const CAutoBorder&) = default;
  CAutoBorder(CAutoBorder&&) = default;
  CAutoBorder& operator=(CAutoBorder&&) = default;
  ~CAutoBorder() override = default;
  // LineStyleName is not stored; loading derives it from LineStyle.
  void Serialize(CArchive& ar) override;

  // Empty: the edge has no border.
  CBorderStyleName LineStyleName;
  std::int32_t Color = xl::kAutomatic;
  std::int32_t LineStyle = xl::kContinuous;
  std::int32_t Weight = xl::kThin;
};

// Six border slots; 2 to 5 are the top, bottom, left and right edges, 0 and
// 1 are kept (copied and stored) but nothing uses them. Slots are read and
// written whole, so that the usual borders pack into a few bytes.
class CAutoBorders : public CObject {
  DECLARE_SERIAL(CAutoBorders)
 public:
  static constexpr int kSlotCount = 6;
  static constexpr int kTop = 2;
  static constexpr int kBottom = 3;
  static constexpr int kLeft = 4;
  static constexpr int kRight = 5;

  CAutoBorders() = default;
  CAutoBorders(const CAutoBorders& other);
  CAutoBorders& operator=(const CAutoBorders& other);
  CAutoBorders(CAutoBorders&&) = default;
  CAutoBorders& operator=(CAutoBorders&&) = default;
  ~CAutoBorders() override = default;
  void Serialize(CArchive& ar) override;

  // Both raise the invalid-argument exception outside 0..5.
  CAutoBorder GetAt(int slot) const;
  // GetAt(slot).LineStyleName is not empty, without making the border:
  // a writer asks it of every edge, and most edges have none.
  bool HasLine(int slot) const;
  void SetAt(int slot, const CAutoBorder& border);
  // Hands edit the slot's border to change, then stores it.
  template <typename Edit>
  void Change(int slot, Edit edit) {
    CAutoBorder border = GetAt(slot);
    edit(border);
    SetAt(slot, border);
  }
  // The slot of an edge constant (xl::kEdgeLeft ... xl::kEdgeRight), or -1.
  static int SlotOfEdge(int edge);

 private:
  static constexpr int kFirstPacked = 2;
  static constexpr int kPackedCount = kSlotCount - kFirstPacked;

  // Slots 2 to 5 as a code each: name, line style and colour by their index
  // in short lists, the colour being automatic or color_, which the edges of
  // a cell nearly always share. Everything else, and any value the codes
  // cannot hold, lives in full_, which then holds all six slots.
  std::int32_t color_ = xl::kAutomatic;
  std::uint8_t codes_[kPackedCount] = {0, 0, 0, 0};
  std::unique_ptr<std::array<CAutoBorder, kSlotCount>> full_;
};

struct FontNames {
  static constexpr std::size_t kCount = 1;
  static const std::wstring& At(std::size_t index);  // "Arial"
};
using CFontName = CChosenText<FontNames>;

class CAutoFont : public CObject {
  DECLARE_SERIAL(CAutoFont)
 public:
  CAutoFont() = default;
  CAutoFont(const CAutoFont&) = default;
  CAutoFont& operator=(const CAutoFont&) = default;
  CAutoFont(CAutoFont&&) = default;
  CAutoFont& operator=(CAutoFont&&) = default;
  ~CAutoFont() override = default;
  void Serialize(CArchive& ar) override;
  // Every field, the reserved ones too, as constructed.
  bool IsDefault() const;
  // A font as constructed, shared.
  static const CAutoFont& Default();

  CFontName Name;
  // Text height in drawing units; the default marks a font no text has set.
  double Size = 10000.0;
  std::int32_t Color = xl::kAutomatic;

 private:
  // Stored but given no meaning by any operation.
  std::int32_t reservedFlags_[3] = {0, 0, 0};
};

class CAutoInterior : public CObject {
  DECLARE_SERIAL(CAutoInterior)
 public:
  CAutoInterior() = default;
  CAutoInterior(const CAutoInterior&) = default;
  CAutoInterior& operator=(const CAutoInterior&) = default;
  ~CAutoInterior() override = default;
  // Loading clears Color when ColorIndex says there is no fill or white.
  void Serialize(CArchive& ar) override;
  bool IsDefault() const { return Color == 0 && ColorIndex == xl::kNone; }

  // 0: no fill; otherwise a 0x00BBGGRR fill colour.
  std::int32_t Color = 0;
  std::int32_t ColorIndex = xl::kNone;
};
