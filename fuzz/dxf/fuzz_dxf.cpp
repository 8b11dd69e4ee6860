// libFuzzer target for the DXF reader: any bytes must give a drawing or an error naming the
// input, never a crash, a hang, undefined behaviour or a leak; and reading them in small chunks
// must give exactly what reading them from memory gives. Built by run.sh, not by CMake.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "platform/dxf/reader.h"
#include "platform/dxf/text_decoder.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

// Hands out the bytes a few at a time, as a slow pipe would.
class TrickleSource final : public gm::dxf::ByteSource {
 public:
  TrickleSource(std::string_view bytes, std::size_t step) : bytes_(bytes), step_(step) {}
  gm::dxf::Status Read(char* buffer, std::size_t size, std::size_t* got) override {
    const std::size_t n = std::min({size, step_, bytes_.size() - at_});
    std::memcpy(buffer, bytes_.data() + at_, n);
    at_ += n;
    *got = n;
    return gm::dxf::Status();
  }

 private:
  std::string_view bytes_;
  std::size_t step_;
  std::size_t at_ = 0;
};

std::size_t Touch(const gm::dxf::Entity& e) {
  std::size_t n = e.type.size() + e.Text(1).size();
  for (const gm::dxf::Group& g : e.groups) n += g.text().size() + (g.real() > 0 ? 1 : 0);
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  auto drawing = gm::dxf::LoadDrawingFromBuffer(bytes, "fuzz.dxf");
  if (drawing.ok()) {
    volatile std::size_t sink = 0;
    for (const auto& e : drawing->entities) {
      Check(e.handle != 0 && e.handle <= drawing->next_handle);
      Check(!e.groups.empty() && e.groups[0].code() == 0);
      sink = sink + Touch(e);
    }
    for (const auto& b : drawing->blocks) {
      Check(b.handle != 0);
      for (const auto& e : b.entities) sink = sink + Touch(e);
    }
    sink = sink + drawing->AcadVersion().size() + drawing->InsBase().x;
  } else {
    Check(drawing.status().file() == "fuzz.dxf");
    Check(!drawing.status().message().empty());
  }
  const std::size_t step = 1 + size % 13;
  auto chunked =
      gm::dxf::LoadDrawingFromSource(std::make_unique<TrickleSource>(bytes, step), "fuzz.dxf", 64);
  Check(chunked.ok() == drawing.ok());
  if (drawing.ok()) {
    Check(chunked->entities.size() == drawing->entities.size());
    Check(chunked->blocks.size() == drawing->blocks.size());
    Check(chunked->header.size() == drawing->header.size());
    Check(chunked->next_handle == drawing->next_handle);
    for (std::size_t i = 0; i < drawing->entities.size(); ++i) {
      Check(chunked->entities[i].groups == drawing->entities[i].groups);
    }
  } else {
    Check(chunked.status().message() == drawing.status().message());
  }

  // The decoders on raw bytes, escapes included.
  const std::string_view head = bytes.substr(0, 4096);
  static const gm::dxf::TextDecoder kDecoders[] = {gm::dxf::TextDecoder::Utf8(),
                                                   gm::dxf::TextDecoder::ForCodePage("ANSI_932"),
                                                   gm::dxf::TextDecoder::ForCodePage("ANSI_1258"),
                                                   gm::dxf::TextDecoder::ForCodePage("ANSI_1251")};
  for (const auto& decoder : kDecoders) {
    const std::wstring text = decoder.Decode(head);
    Check(text.size() <= head.size() * 2 + 1);
  }
  return 0;
}
