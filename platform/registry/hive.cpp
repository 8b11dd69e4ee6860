#include "platform/registry/hive.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <sstream>

#include "platform/registry/value_types.h"
#include "platform/win/strings.h"
#include "platform/win/text.h"

namespace registry {

Key* Key::FindSubkey(const std::wstring& n) const {
  for (const auto& k : subkeys) {
    if (win::EqualsNoCase(k->name, n)) return k.get();
  }
  return nullptr;
}

Key* Key::AddSubkey(const std::wstring& n) {
  if (Key* k = FindSubkey(n)) return k;
  subkeys.push_back(std::make_unique<Key>());
  subkeys.back()->name = n;
  return subkeys.back().get();
}

bool Key::RemoveSubkey(const std::wstring& n) {
  auto it = std::find_if(subkeys.begin(), subkeys.end(), [&](const std::unique_ptr<Key>& k) {
    return win::EqualsNoCase(k->name, n);
  });
  if (it == subkeys.end()) return false;
  subkeys.erase(it);
  return true;
}

Value* Key::FindValue(const std::wstring& n) {
  for (auto& v : values) {
    if (win::EqualsNoCase(v.name, n)) return &v;
  }
  return nullptr;
}

void Key::SetValue(const std::wstring& n, DWORD type, std::vector<BYTE> data) {
  if (Value* v = FindValue(n)) {
    v->type = type;
    v->data = std::move(data);
    return;
  }
  values.push_back(Value{n, type, std::move(data)});
}

bool Key::RemoveValue(const std::wstring& n) {
  auto it = std::find_if(values.begin(), values.end(),
                         [&](const Value& v) { return win::EqualsNoCase(v.name, n); });
  if (it == values.end()) return false;
  values.erase(it);
  return true;
}

std::unique_ptr<Key> Key::Clone() const {
  auto copy = std::make_unique<Key>();
  copy->name = name;
  copy->values = values;
  for (const auto& k : subkeys) copy->subkeys.push_back(k->Clone());
  return copy;
}

std::vector<std::wstring> SplitPath(const std::wstring& path) {
  std::vector<std::wstring> parts;
  std::wstring part;
  for (wchar_t c : path) {
    if (c == L'\\') {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part.push_back(c);
    }
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

namespace {

const char kHeader[] = "Windows Registry Editor Version 5.00";

std::string Quote(const std::wstring& s) {
  std::string out = "\"";
  for (char c : win::WideToUtf8(s)) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  out.push_back('"');
  return out;
}

// Text that survives the quoted form exactly: UTF-16 with one terminating
// NUL, no NUL before it, no unpaired surrogates and no line breaks.
bool AsQuotedText(const std::vector<BYTE>& data, std::wstring& text) {
  if (data.size() < 2 || data.size() % 2 != 0) return false;
  std::u16string u = win::Utf16FromLeBytes(data.data(), data.size());
  if (u.back() != 0) return false;
  u.pop_back();
  for (size_t i = 0; i < u.size(); ++i) {
    char16_t c = u[i];
    if (c == 0 || c == u'\n' || c == u'\r') return false;
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 >= u.size() || u[i + 1] < 0xDC00 || u[i + 1] > 0xDFFF) return false;
      ++i;
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      return false;
    }
  }
  text = win::Utf16ToWide(u);
  return true;
}

std::string FormatValue(const Value& v) {
  std::string line = v.name.empty() ? "@" : Quote(v.name);
  line += "=";
  std::wstring text;
  char buf[16];
  if (v.type == REG_SZ && AsQuotedText(v.data, text)) {
    return line + Quote(text) + "\n";
  }
  if (v.type == REG_DWORD && v.data.size() == 4) {
    std::uint32_t d = v.data[0] | (v.data[1] << 8) | (v.data[2] << 16) |
                      (static_cast<std::uint32_t>(v.data[3]) << 24);
    std::snprintf(buf, sizeof(buf), "%08x", d);
    return line + "dword:" + buf + "\n";
  }
  std::snprintf(buf, sizeof(buf), "hex(%x):", v.type);
  line += buf;
  size_t width = line.size();
  for (size_t i = 0; i < v.data.size(); ++i) {
    std::snprintf(buf, sizeof(buf), "%02x", v.data[i]);
    line += buf;
    width += 2;
    if (i + 1 < v.data.size()) {
      line += ",";
      ++width;
      if (width > 76) {
        line += "\\\n  ";
        width = 2;
      }
    }
  }
  return line + "\n";
}

void SerializeKey(const Key& key, const std::wstring& path, bool isRoot, std::string& out) {
  if (!isRoot || !key.values.empty()) {
    out += "\n[" + win::WideToUtf8(path) + "]\n";
    for (const Value& v : key.values) out += FormatValue(v);
  }
  for (const auto& k : key.subkeys) SerializeKey(*k, path + L"\\" + k->name, false, out);
}

// Reads a quoted string starting at s[pos] == '"'; advances pos past it.
bool ReadQuoted(const std::string& s, size_t& pos, std::string& out) {
  if (pos >= s.size() || s[pos] != '"') return false;
  ++pos;
  out.clear();
  while (pos < s.size()) {
    char c = s[pos++];
    if (c == '\\') {
      if (pos >= s.size()) return false;
      out.push_back(s[pos++]);
    } else if (c == '"') {
      return true;
    } else {
      out.push_back(c);
    }
  }
  return false;
}

bool ParseHexBytes(const std::string& s, std::vector<BYTE>& out) {
  out.clear();
  size_t i = 0;
  auto skip = [&] {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  };
  skip();
  if (i == s.size()) return true;
  for (;;) {
    skip();
    if (i + 2 > s.size()) return false;
    unsigned v = 0;
    for (int k = 0; k < 2; ++k) {
      char c = s[i++];
      v <<= 4;
      if (c >= '0' && c <= '9') {
        v |= c - '0';
      } else if (c >= 'a' && c <= 'f') {
        v |= c - 'a' + 10;
      } else if (c >= 'A' && c <= 'F') {
        v |= c - 'A' + 10;
      } else {
        return false;
      }
    }
    out.push_back(static_cast<BYTE>(v));
    skip();
    if (i == s.size()) return true;
    if (s[i] != ',') return false;
    ++i;
  }
}

bool ParseValueLine(const std::string& line, Value& v, std::string& why) {
  size_t pos = 0;
  std::string name;
  if (line[0] == '@') {
    pos = 1;
  } else if (!ReadQuoted(line, pos, name)) {
    why = "a value's name must be quoted";
    return false;
  }
  v.name = win::Utf8ToWide(name);
  if (pos >= line.size() || line[pos] != '=') {
    why = "expected '=' after the value's name";
    return false;
  }
  ++pos;
  std::string rest = line.substr(pos);
  if (!rest.empty() && rest[0] == '"') {
    size_t p = 0;
    std::string text;
    if (!ReadQuoted(rest, p, text) || rest.find_first_not_of(" \t", p) != std::string::npos) {
      why = "an unterminated string";
      return false;
    }
    v.type = REG_SZ;
    v.data = win::Utf16ToLeBytes(win::WideToUtf16(win::Utf8ToWide(text)) + u'\0');
    return true;
  }
  if (rest.rfind("dword:", 0) == 0) {
    std::string hex = rest.substr(6);
    if (hex.size() != 8 || hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
      why = "a dword needs eight hexadecimal digits";
      return false;
    }
    std::uint32_t d = static_cast<std::uint32_t>(std::stoul(hex, nullptr, 16));
    v.type = REG_DWORD;
    v.data = {static_cast<BYTE>(d), static_cast<BYTE>(d >> 8), static_cast<BYTE>(d >> 16),
              static_cast<BYTE>(d >> 24)};
    return true;
  }
  std::string bytes;
  if (rest.rfind("hex:", 0) == 0) {
    v.type = REG_BINARY;
    bytes = rest.substr(4);
  } else if (rest.rfind("hex(", 0) == 0) {
    size_t close = rest.find("):");
    std::string t = rest.substr(4, close == std::string::npos ? 0 : close - 4);
    if (close == std::string::npos || t.empty() || t.size() > 8 ||
        t.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
      why = "a hex(type) value needs its type in hexadecimal";
      return false;
    }
    v.type = static_cast<DWORD>(std::stoul(t, nullptr, 16));
    bytes = rest.substr(close + 2);
  } else {
    why = "a value's data must be a string, dword: or hex:";
    return false;
  }
  if (!ParseHexBytes(bytes, v.data)) {
    why = "bad hexadecimal bytes";
    return false;
  }
  return true;
}

}  // namespace

std::string SerializeHive(const Key& root, const std::wstring& rootName) {
  std::string out = kHeader;
  out += "\n";
  SerializeKey(root, rootName, true, out);
  return out;
}

std::optional<std::unique_ptr<Key>> ParseHive(const std::string& text, const std::wstring& rootName,
                                              ParseError& error) {
  auto root = std::make_unique<Key>();
  root->name = rootName;
  auto fail = [&](int line, std::string message) {
    error.line = line;
    error.message = std::move(message);
    return std::nullopt;
  };
  // The registry editor saves UTF-16LE with a byte order mark.
  std::string decoded;
  const bool utf16 = text.size() >= 2 && static_cast<unsigned char>(text[0]) == 0xFF &&
                     static_cast<unsigned char>(text[1]) == 0xFE;
  if (utf16) {
    if (text.size() % 2 != 0) return fail(1, "the UTF-16 file ends inside a character");
    decoded =
        win::WideToUtf8(win::Utf16ToWide(win::Utf16FromLeBytes(text.data() + 2, text.size() - 2)));
  }
  std::istringstream in(utf16 ? decoded : text);
  std::string raw;
  int lineNo = 0;
  bool sawHeader = false;
  Key* current = nullptr;
  while (std::getline(in, raw)) {
    ++lineNo;
    int startLine = lineNo;
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    if (lineNo == 1 && raw.rfind("\xEF\xBB\xBF", 0) == 0) raw = raw.substr(3);
    // Joined continuation lines.
    while (!raw.empty() && raw.back() == '\\' &&
           raw.find_first_not_of(" \t") != std::string::npos &&
           raw[raw.find_first_not_of(" \t")] != ';') {
      raw.pop_back();
      std::string more;
      if (!std::getline(in, more)) return fail(lineNo, "the file ends inside a value");
      ++lineNo;
      if (!more.empty() && more.back() == '\r') more.pop_back();
      size_t b = more.find_first_not_of(" \t");
      raw += b == std::string::npos ? "" : more.substr(b);
    }
    size_t b = raw.find_first_not_of(" \t");
    if (b == std::string::npos) continue;
    std::string line = raw.substr(b);
    if (line[0] == ';') continue;
    if (!sawHeader) {
      if (line != kHeader && line != "REGEDIT4") {
        return fail(startLine, "the first line must be \"" + std::string(kHeader) + "\"");
      }
      sawHeader = true;
      continue;
    }
    if (line[0] == '[') {
      size_t close = line.rfind(']');
      if (close == std::string::npos ||
          line.find_first_not_of(" \t", close + 1) != std::string::npos) {
        return fail(startLine, "a key line must end with ']'");
      }
      std::vector<std::wstring> parts = SplitPath(win::Utf8ToWide(line.substr(1, close - 1)));
      if (parts.empty() || !win::EqualsNoCase(parts[0], rootName)) {
        return fail(startLine, "a key outside " + win::WideToUtf8(rootName));
      }
      current = root.get();
      for (size_t i = 1; i < parts.size(); ++i) current = current->AddSubkey(parts[i]);
      continue;
    }
    if (current == nullptr) return fail(startLine, "a value before the first key");
    Value v;
    std::string why;
    if (!ParseValueLine(line, v, why)) return fail(startLine, why);
    current->SetValue(v.name, v.type, std::move(v.data));
  }
  if (!sawHeader && lineNo > 0) return fail(1, "the file is empty or has no header");
  return root;
}

}  // namespace registry
