// libFuzzer target for the multiline-text clean-up and the symbol map: any
// contents must give a result no longer than the input plus nothing unsafe.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "capture/shx_map.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::wstring contents;
  contents.reserve(size);
  for (std::size_t i = 0; i < size; ++i) contents.push_back(static_cast<wchar_t>(data[i]));
  std::wstring plain = StripMTextFormatting(contents);
  // Only "\P" grows into a line feed of the same count; nothing is ever added.
  if (plain.size() > contents.size()) std::abort();
  CShxMap map;
  map.SetShxRecord(L"%%D", L"*All*", L"\u00B0");
  map.SetShxRecord(L"%%", L"*All*", L"");
  map.SetShxRecord(L"\\", L"romans", L"\\\\");
  std::wstring translated = TranslateShx(map, plain, L"ROMANS");
  if (translated.size() > 2 * plain.size()) std::abort();
  return 0;
}
