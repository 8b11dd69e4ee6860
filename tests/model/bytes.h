// Builds expected archive bytes by hand, independently of CArchive.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace gm::test {

class Bytes {
 public:
  Bytes& u8(std::uint8_t v) {
    data.push_back(v);
    return *this;
  }
  Bytes& u16(std::uint16_t v) { return u8(v & 0xFF).u8(v >> 8); }
  Bytes& i32(std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    return u16(u & 0xFFFF).u16(u >> 16);
  }
  Bytes& f64(double v) {
    std::uint64_t bits;
    std::memcpy(&bits, &v, 8);
    return i32(static_cast<std::int32_t>(bits & 0xFFFFFFFFu))
        .i32(static_cast<std::int32_t>(bits >> 32));
  }
  // The UTF-16 string form, for texts in the Basic Multilingual Plane.
  Bytes& str(const std::wstring& s) {
    u8(0xFF).u16(0xFFFE);
    if (s.size() < 0xFF) {
      u8(static_cast<std::uint8_t>(s.size()));
    } else {
      u8(0xFF).u16(static_cast<std::uint16_t>(s.size()));
    }
    for (wchar_t c : s) u16(static_cast<std::uint16_t>(c));
    return *this;
  }

  std::vector<std::uint8_t> data;
};

}  // namespace gm::test
