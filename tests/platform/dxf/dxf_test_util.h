// Small DXF texts for the reader's tests, written pair by pair.
#pragma once

#include <algorithm>
#include <charconv>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/dxf/reader.h"

namespace gm::dxf::test {

using Tags = std::vector<std::pair<int, std::string>>;

// Delivers a buffer a few bytes at a time, so that pairs straddle every chunk boundary.
class TrickleSource final : public ByteSource {
 public:
  TrickleSource(std::string bytes, std::size_t step) : bytes_(std::move(bytes)), step_(step) {}
  Status Read(char* buffer, std::size_t size, std::size_t* got) override {
    const std::size_t n = std::min({size, step_, bytes_.size() - at_});
    std::memcpy(buffer, bytes_.data() + at_, n);
    at_ += n;
    *got = n;
    return Status();
  }

 private:
  std::string bytes_;
  std::size_t step_;
  std::size_t at_ = 0;
};

// "code\nvalue\n" for every pair, the codes right-aligned in three columns as AutoCAD writes.
inline std::string Write(const Tags& tags, const char* line_end = "\n") {
  std::string out;
  for (const auto& [code, value] : tags) {
    std::string c = std::to_string(code);
    if (c.size() < 3) c.insert(0, 3 - c.size(), ' ');
    out += c + line_end + value + line_end;
  }
  return out;
}

inline Tags Concat(std::vector<Tags> parts) {
  Tags out;
  for (auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

inline Tags Section(const std::string& name, const Tags& body) {
  return Concat({{{0, "SECTION"}, {2, name}}, body, {{0, "ENDSEC"}}});
}

// A whole file: an optional header, the entities, EOF.
inline std::string Drawing(const Tags& header, const Tags& entities) {
  Tags all;
  if (!header.empty()) all = Section("HEADER", header);
  all = Concat({all, Section("ENTITIES", entities), {{0, "EOF"}}});
  return Write(all);
}

// A real in the C notation whatever the locale (std::to_string follows the locale).
inline std::string Real(double value) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

inline Tags Line(const std::string& handle, double x1, double y1, double x2, double y2) {
  Tags t = {{0, "LINE"}};
  if (!handle.empty()) t.push_back({5, handle});
  t.insert(t.end(), {{8, "0"},
                     {10, Real(x1)},
                     {20, Real(y1)},
                     {30, "0.0"},
                     {11, Real(x2)},
                     {21, Real(y2)},
                     {31, "0.0"}});
  return t;
}

inline Result<gm::dxf::Drawing> Load(const std::string& bytes,
                                     const std::string& name = "drawing.dxf") {
  return LoadDrawingFromBuffer(bytes, name);
}

}  // namespace gm::dxf::test
