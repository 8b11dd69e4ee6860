// The settings store: every user setting is a named value in one registry
// key of the current user, opened and closed on each access. Failures are
// silent: a read gives its default, a write gives false.
#pragma once

#include <string>
#include <vector>

#include "platform/registry/registry.h"

// The product's section below the vendor key.
inline constexpr const wchar_t* kSettingsSection = L"OrvaneGridmason";

// Binds the store to <root>\software\<vendor>. Until it is called (or while
// the vendor name is empty) every read gives its default and every write false.
void SetSettingsRoot(HKEY root, const std::wstring& vendorName);

// The vendor key, created when missing; nullptr on failure. Caller closes it.
HKEY OpenVendorKey();
// The section key below the vendor key (the vendor key itself for an empty
// section), created when missing; nullptr on failure. Caller closes it.
HKEY OpenSectionKey(const std::wstring& section);

// Any value whose data fits in 4 bytes reads as a little-endian integer,
// whatever its type; larger data gives the default.
int ReadSettingInt(const std::wstring& section, const std::wstring& name, int defaultValue);
// Any value's data reads as UTF-16 text up to its first NUL.
std::wstring ReadSettingString(const std::wstring& section, const std::wstring& name,
                               const std::wstring& defaultValue);
bool WriteSettingInt(const std::wstring& section, const std::wstring& name, int value);
// With a name and a text: sets REG_SZ. With a name and no text (nullptr):
// deletes the value. With no name (nullptr): deletes the whole section key.
bool WriteSettingString(const std::wstring& section, const wchar_t* name, const wchar_t* text);
inline bool WriteSettingString(const std::wstring& section, const std::wstring& name,
                               const std::wstring& text) {
  return WriteSettingString(section, name.c_str(), text.c_str());
}

// Appends the names of root\keyPath's sub-keys (listSubkeys), or the names
// and texts of its REG_SZ values, in the registry's order. A name longer than
// 259 characters or a text longer than 129 skips that entry.
void EnumerateSettingKey(HKEY root, const std::wstring& keyPath, bool listSubkeys,
                         std::vector<std::wstring>& names, std::vector<std::wstring>& values);

// A column given as a number ("7") or letters ("C", "ab"); 0 for no text.
int ParseColumnNumber(const std::wstring& text);

struct ConversionSettingsRecord {
  double TextTol = 0.15;
  double DoubleLineDist = -1.0;
  double FuzzyPercent = -1.0;
  int StartRow = 1;
  int StartCol = 1;
  int ForceTextFormat = 0;
  int IncludeFormula = 1;
  int AutofitColumns = 1;
  int AutofitRows = 1;
  int ApplyBorderColor = 1;
  int ApplyTextColor = 1;
  int ApplyWrapText = 0;
  int MergeByLines = 0;  // cells no drawn line divides are merged
  int SplitTables = 0;   // every table of the selection on its own
};

// The conversion settings, reloaded at the start of every conversion.
extern ConversionSettingsRecord ConversionSettings;

void LoadConversionSettings();
