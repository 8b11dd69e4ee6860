// Globally unique identifiers: class ids (CLSID) and interface ids (IID),
// and their registry text form "{00024500-0000-0000-C000-000000000046}".
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "platform/win/wintypes.h"

struct GUID {
  std::uint32_t Data1;
  std::uint16_t Data2;
  std::uint16_t Data3;
  std::uint8_t Data4[8];

  // Every call checks its interface id: two word compares, not a loop.
  friend bool operator==(const GUID& a, const GUID& b) {
    static_assert(sizeof(GUID) == 16, "a GUID has no padding");
    return std::memcmp(&a, &b, sizeof(GUID)) == 0;
  }
  friend bool operator<(const GUID& a, const GUID& b) {
    if (a.Data1 != b.Data1) return a.Data1 < b.Data1;
    if (a.Data2 != b.Data2) return a.Data2 < b.Data2;
    if (a.Data3 != b.Data3) return a.Data3 < b.Data3;
    for (int i = 0; i < 8; ++i) {
      if (a.Data4[i] != b.Data4[i]) return a.Data4[i] < b.Data4[i];
    }
    return false;
  }
};

using CLSID = GUID;
using IID = GUID;
using REFGUID = const GUID&;
using REFCLSID = const CLSID&;
using REFIID = const IID&;
using LPCLSID = CLSID*;

inline constexpr GUID GUID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
inline constexpr IID IID_NULL = GUID_NULL;
inline constexpr IID IID_IUnknown = {
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IDispatch = {
    0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// Reads "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (hex digits of either case,
// braces required). CO_E_CLASSSTRING for anything else.
HRESULT CLSIDFromString(const wchar_t* text, CLSID* clsid);

namespace com {
// The braced upper-case form.
std::wstring GuidToString(REFGUID guid);
}  // namespace com
