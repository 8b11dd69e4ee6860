// Drawing colour numbers and the spreadsheet colour values records carry:
// 0x00BBGGRR (red in the low byte), or kAutomaticColor.
#pragma once

#include <cstdint>
#include <string>

inline constexpr std::int32_t kAutomaticColor = -4105;

struct AciPaletteEntry {
  std::int32_t color;
  std::wstring name;
};

// The drawing palette, indices 1 to 255.
class CAciPalette {
 public:
  static constexpr int kCount = 255;

  CAciPalette();
  CAciPalette(const CAciPalette&) = delete;
  CAciPalette& operator=(const CAciPalette&) = delete;

  int GetCount() const { return kCount; }
  // Raises the invalid-argument exception outside 1..255.
  const AciPaletteEntry& operator[](int index) const;

 private:
  AciPaletteEntry entries_[kCount];
};

// Built once, when the library is loaded.
extern const CAciPalette AciPalette;

// kAutomaticColor for n outside 1..255 (0 is "by block", 256 "by layer").
std::int32_t AciToColor(int n);
