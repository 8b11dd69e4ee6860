#include "ui/settings.h"

#include <cmath>
#include <cstring>

#include "platform/win/strings.h"
#include "platform/win/text.h"

ConversionSettingsRecord ConversionSettings;

namespace {

HKEY g_root = nullptr;
std::wstring g_vendor;

bool Bound() { return g_root != nullptr && !g_vendor.empty(); }

constexpr REGSAM kReadWrite = KEY_READ | KEY_WRITE;

}  // namespace

void SetSettingsRoot(HKEY root, const std::wstring& vendorName) {
  g_root = root;
  g_vendor = vendorName;
}

HKEY OpenVendorKey() {
  if (!Bound()) return nullptr;
  HKEY software = nullptr;
  if (RegOpenKeyExW(g_root, L"software", 0, kReadWrite, &software) != ERROR_SUCCESS) {
    return nullptr;
  }
  HKEY vendor = nullptr;
  DWORD disposition = 0;
  LONG rc = RegCreateKeyExW(software, g_vendor.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                            kReadWrite, nullptr, &vendor, &disposition);
  RegCloseKey(software);
  return rc == ERROR_SUCCESS ? vendor : nullptr;
}

HKEY OpenSectionKey(const std::wstring& section) {
  HKEY vendor = OpenVendorKey();
  if (vendor == nullptr || section.empty()) return vendor;
  HKEY key = nullptr;
  DWORD disposition = 0;
  LONG rc = RegCreateKeyExW(vendor, section.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                            kReadWrite, nullptr, &key, &disposition);
  RegCloseKey(vendor);
  return rc == ERROR_SUCCESS ? key : nullptr;
}

int ReadSettingInt(const std::wstring& section, const std::wstring& name, int defaultValue) {
  if (!Bound()) return defaultValue;
  HKEY key = OpenSectionKey(section);
  if (key == nullptr) return defaultValue;
  BYTE data[4] = {};
  DWORD size = sizeof(data);
  DWORD type = 0;
  LONG rc = RegQueryValueExW(key, name.c_str(), nullptr, &type, data, &size);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS) return defaultValue;
  // Fewer than 4 bytes leave the rest of the buffer zero, as on the original.
  std::int32_t value = static_cast<std::int32_t>(
      static_cast<std::uint32_t>(data[0]) | static_cast<std::uint32_t>(data[1]) << 8 |
      static_cast<std::uint32_t>(data[2]) << 16 | static_cast<std::uint32_t>(data[3]) << 24);
  return value;
}

std::wstring ReadSettingString(const std::wstring& section, const std::wstring& name,
                               const std::wstring& defaultValue) {
  if (!Bound()) return defaultValue;
  HKEY key = OpenSectionKey(section);
  if (key == nullptr) return defaultValue;
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
    RegCloseKey(key);
    return defaultValue;
  }
  std::vector<BYTE> data(size + 2, 0);
  LONG rc = RegQueryValueExW(key, name.c_str(), nullptr, &type, data.data(), &size);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS) return defaultValue;
  const std::u16string utf16 = win::Utf16FromLeBytes(data.data(), size);
  return win::Utf16ToWide(utf16.substr(0, utf16.find(u'\0')));
}

bool WriteSettingInt(const std::wstring& section, const std::wstring& name, int value) {
  if (!Bound()) return false;
  HKEY key = OpenSectionKey(section);
  if (key == nullptr) return false;
  std::uint32_t v = static_cast<std::uint32_t>(value);
  BYTE data[4] = {static_cast<BYTE>(v), static_cast<BYTE>(v >> 8), static_cast<BYTE>(v >> 16),
                  static_cast<BYTE>(v >> 24)};
  LONG rc = RegSetValueExW(key, name.c_str(), 0, REG_DWORD, data, sizeof(data));
  RegCloseKey(key);
  return rc == ERROR_SUCCESS;
}

bool WriteSettingString(const std::wstring& section, const wchar_t* name, const wchar_t* text) {
  if (!Bound()) return false;
  if (name == nullptr) {
    HKEY vendor = OpenVendorKey();
    if (vendor == nullptr) return false;
    LONG rc = RegDeleteKeyW(vendor, section.c_str());
    RegCloseKey(vendor);
    return rc == ERROR_SUCCESS;
  }
  HKEY key = OpenSectionKey(section);
  if (key == nullptr) return false;
  LONG rc;
  if (text == nullptr) {
    rc = RegDeleteValueW(key, name);
  } else {
    const std::vector<BYTE> data = win::Utf16ToLeBytes(win::WideToUtf16(text) + u'\0');
    rc = RegSetValueExW(key, name, 0, REG_SZ, data.data(), static_cast<DWORD>(data.size()));
  }
  RegCloseKey(key);
  return rc == ERROR_SUCCESS;
}

void EnumerateSettingKey(HKEY root, const std::wstring& keyPath, bool listSubkeys,
                         std::vector<std::wstring>& names, std::vector<std::wstring>& values) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  for (DWORD index = 0;; ++index) {
    wchar_t name[260];
    DWORD nameSize = 260;
    LONG rc;
    if (listSubkeys) {
      rc = RegEnumKeyExW(key, index, name, &nameSize, nullptr, nullptr, nullptr, nullptr);
      if (rc == ERROR_NO_MORE_ITEMS) break;
      if (rc == ERROR_SUCCESS) names.emplace_back(name, nameSize);
      continue;
    }
    BYTE data[260];
    DWORD dataSize = sizeof(data);
    DWORD type = 0;
    rc = RegEnumValueW(key, index, name, &nameSize, nullptr, &type, data, &dataSize);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc != ERROR_SUCCESS || type != REG_SZ) continue;
    const std::u16string utf16 = win::Utf16FromLeBytes(data, dataSize);
    names.emplace_back(name, nameSize);
    values.push_back(win::Utf16ToWide(utf16.substr(0, utf16.find(u'\0'))));
  }
  RegCloseKey(key);
}

int ParseColumnNumber(const std::wstring& text) {
  if (text.empty()) return 0;
  int n = win::WToI(text);
  if (n > 0) return n;
  auto isLetter = [](wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); };
  auto upper = [](wchar_t c) { return (c >= L'a' && c <= L'z') ? c - 32 : c; };
  if (!isLetter(text[0])) return n;
  int c1 = upper(text[0]) - 64;
  if (text.size() >= 2 && isLetter(text[1])) return c1 * 26 + (upper(text[1]) - 64);
  return c1;
}

void LoadConversionSettings() {
  const std::wstring s = kSettingsSection;
  ConversionSettingsRecord& c = ConversionSettings;
  // A tolerance that is no finite number ("nan", "1e309") is read as its default.
  auto real = [&](const wchar_t* name, double fallback) {
    double v = win::WcsToD(ReadSettingString(s, name, win::Format(L"%.17g", fallback)));
    return std::isfinite(v) ? v : fallback;
  };
  c.TextTol = real(L"TextTol", 0.15);
  if (ReadSettingInt(s, L"HasDoubleLine", 0) != 0) {
    c.DoubleLineDist = real(L"DoubleLineDist", -1.0);
  } else {
    c.DoubleLineDist = -1.0;
  }
  c.FuzzyPercent = real(L"FuzzyPercent", 0.0008);
  c.StartRow = win::WToI(ReadSettingString(s, L"StartRow", L"1"));
  c.StartCol = ParseColumnNumber(ReadSettingString(s, L"StartCol", L"A"));
  c.ForceTextFormat = ReadSettingInt(s, L"ForceTextFormat", c.ForceTextFormat);
  c.IncludeFormula = ReadSettingInt(s, L"IncludeFormula", c.IncludeFormula);
  c.AutofitColumns = ReadSettingInt(s, L"AutofitColumns", c.AutofitColumns);
  c.AutofitRows = ReadSettingInt(s, L"AutofitRows", c.AutofitRows);
  c.ApplyBorderColor = ReadSettingInt(s, L"ApplyBorderColor", c.ApplyBorderColor);
  c.ApplyTextColor = ReadSettingInt(s, L"ApplyTextColor", c.ApplyTextColor);
  c.ApplyWrapText = ReadSettingInt(s, L"ApplyWrapText", c.ApplyWrapText);
  c.MergeByLines = ReadSettingInt(s, L"MergeByLines", 0);
  c.SplitTables = ReadSettingInt(s, L"SplitTables", 0);
}
