// Text content decoding: multiline-text formatting removed, and symbol codes
// of single-line text replaced through a user-configurable map kept in the
// registry (HKEY_CURRENT_USER\Software\Orvane\Gridmason\ShxMap; each REG_SZ
// value is one record: the name is "code:font", split at its last colon, the
// data the replacement).
#pragma once

#include <string>

#include "capture/array.h"
#include "platform/afx/afx.h"

class CShxMapRecord : public CObject {
  DECLARE_DYNCREATE(CShxMapRecord)

 public:
  CShxMapRecord() = default;
  CShxMapRecord(std::wstring code, std::wstring font, std::wstring replacement)
      : ShxMapCode(std::move(code)),
        ShxMapFont(std::move(font)),
        ShxMapReplacement(std::move(replacement)) {}

  std::wstring ShxMapCode;         // matched with case
  std::wstring ShxMapFont;         // a style name, or "*All*"; without regard to case
  std::wstring ShxMapReplacement;  // may be empty: the code is removed
};

class CShxMap : public CCheckedArray<CShxMapRecord> {
 public:
  // Reads the map from the registry, then (when "EnableSysSymbol" is on) the
  // three symbol records for degree, plus-minus and diameter.
  void LoadShxMap();
  // Replaces the replacement of the record with this code and font, or appends one.
  void SetShxRecord(const std::wstring& code, const std::wstring& font,
                    const std::wstring& replacement);
  // The position of the earliest code of a record for this style at or after
  // start (the longer code at an equal position, the earlier record at an
  // equal length), or -1; code and replacement are set to that record's.
  int FindFirstCode(const std::wstring& text, int start, const std::wstring& style,
                    std::wstring& code, std::wstring& replacement) const;
};

// Every code of the map that applies to the style, replaced; replacements are
// not searched again.
std::wstring TranslateShx(const CShxMap& map, const std::wstring& text, const std::wstring& style);

// The plain text of multiline-text contents: paragraph and column breaks
// become line feeds, a non-breaking space a space, a stacked fraction its
// two parts joined by "/"; formatting codes and braces are dropped.
std::wstring StripMTextFormatting(const std::wstring& contents);
