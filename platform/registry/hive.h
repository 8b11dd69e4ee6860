// One registry hive in memory, and its text form.
//
// File format (the .reg format of the Windows registry editor, in UTF-8):
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_CURRENT_USER\Software\Orvane\OrvaneGridmason]
//   "TextTol"="0.15"
//   "HasDoubleLine"=dword:00000001
//   "Odd"=hex(1):31,00,32,00
//   @="the key's default value"
//
// A key is a line with its full path in brackets, followed by its values,
// one a line: a quoted name (\\ and \" escaped; @ for the unnamed value), "=",
// then the data. REG_SZ data that is well-formed text (even length, one NUL at
// the end and none before) is written quoted; a REG_DWORD of 4 bytes as
// dword:; anything else as hex(T): with the type number and every byte, so
// that a value's type and bytes always come back exactly as they were set.
// Long hex lines continue with a backslash at the end. Lines starting with
// ";" are comments. Keys and value names compare without regard to case and
// keep the case they were created with; values keep their order.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/win/wintypes.h"

namespace registry {

struct Value {
  std::wstring name;
  DWORD type = 0;
  std::vector<BYTE> data;
};

struct Key {
  std::wstring name;
  std::vector<Value> values;
  std::vector<std::unique_ptr<Key>> subkeys;

  Key* FindSubkey(const std::wstring& name) const;
  Key* AddSubkey(const std::wstring& name);
  bool RemoveSubkey(const std::wstring& name);
  Value* FindValue(const std::wstring& name);
  void SetValue(const std::wstring& name, DWORD type, std::vector<BYTE> data);
  bool RemoveValue(const std::wstring& name);
  std::unique_ptr<Key> Clone() const;
};

// Splits a path at backslashes, dropping empty parts.
std::vector<std::wstring> SplitPath(const std::wstring& path);

// Text form of the key tree below root, whose sections are named
// "<rootName>\path".
std::string SerializeHive(const Key& root, const std::wstring& rootName);

struct ParseError {
  int line = 0;
  std::string message;
};

// Reads a hive's text. On failure returns nullopt and fills error.
std::optional<std::unique_ptr<Key>> ParseHive(const std::string& text, const std::wstring& rootName,
                                              ParseError& error);

}  // namespace registry
