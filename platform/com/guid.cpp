#include "platform/com/guid.h"

#include <cwchar>

#include "platform/com/winerror.h"

namespace {

int HexValue(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

// Reads count hex digits at text[pos]; false on a non-digit.
bool ReadHex(const wchar_t* text, size_t pos, int count, std::uint32_t& value) {
  value = 0;
  for (int i = 0; i < count; ++i) {
    int digit = HexValue(text[pos + i]);
    if (digit < 0) return false;
    value = (value << 4) | static_cast<std::uint32_t>(digit);
  }
  return true;
}

}  // namespace

HRESULT CLSIDFromString(const wchar_t* text, CLSID* clsid) {
  if (clsid == nullptr) return E_INVALIDARG;
  // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}
  if (text == nullptr || std::wcslen(text) != 38) return CO_E_CLASSSTRING;
  if (text[0] != L'{' || text[37] != L'}' || text[9] != L'-' || text[14] != L'-' ||
      text[19] != L'-' || text[24] != L'-') {
    return CO_E_CLASSSTRING;
  }
  GUID g{};
  std::uint32_t v = 0;
  if (!ReadHex(text, 1, 8, v)) return CO_E_CLASSSTRING;
  g.Data1 = v;
  if (!ReadHex(text, 10, 4, v)) return CO_E_CLASSSTRING;
  g.Data2 = static_cast<std::uint16_t>(v);
  if (!ReadHex(text, 15, 4, v)) return CO_E_CLASSSTRING;
  g.Data3 = static_cast<std::uint16_t>(v);
  static constexpr size_t kBytePos[8] = {20, 22, 25, 27, 29, 31, 33, 35};
  for (int i = 0; i < 8; ++i) {
    if (!ReadHex(text, kBytePos[i], 2, v)) return CO_E_CLASSSTRING;
    g.Data4[i] = static_cast<std::uint8_t>(v);
  }
  *clsid = g;
  return S_OK;
}

namespace com {
std::wstring GuidToString(REFGUID guid) {
  wchar_t buffer[39];
  std::swprintf(buffer, 39, L"{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", guid.Data1,
                guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3],
                guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
  return buffer;
}
}  // namespace com
