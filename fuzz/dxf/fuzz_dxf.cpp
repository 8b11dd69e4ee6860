// libFuzzer target for the DXF reader: any bytes must give a drawing or an error naming the
// input, never a crash, a hang, undefined behaviour or a leak. Built by run.sh, not by CMake.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/dxf/reader.h"
#include "platform/dxf/text_decoder.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

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
      Check(e.handle != 0 && e.handle < drawing->next_handle);
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
  // The decoders on raw bytes, escapes included.
  const std::string_view head = bytes.substr(0, 4096);
  static const gm::dxf::TextDecoder kDecoders[] = {
      gm::dxf::TextDecoder::Utf8(), gm::dxf::TextDecoder::ForCodePage("ANSI_932"),
      gm::dxf::TextDecoder::ForCodePage("ANSI_1258"), gm::dxf::TextDecoder::ForCodePage("ANSI_1251")};
  for (const auto& decoder : kDecoders) {
    const std::wstring text = decoder.Decode(head);
    Check(text.size() <= head.size() * 2 + 1);
  }
  return 0;
}
