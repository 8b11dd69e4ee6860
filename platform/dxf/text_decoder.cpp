// Encodings of DXF text: from R2007 (AC1021) on the file is UTF-8; before that every string is
// in the code page that $DWGCODEPAGE names (ANSI_1252 when absent), and characters outside it are
// written as \U+XXXX or, for East Asian double-byte characters, \M+nXXXX.
#include "platform/dxf/text_decoder.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <utility>

#include "platform/dxf/ascii.h"
#include "platform/win/strings.h"

namespace gm::dxf {
namespace {

constexpr wchar_t kReplacement = 0xFFFD;

iconv_t Handle(void* cd) { return static_cast<iconv_t>(cd); }

bool IsMultiByte(std::string_view charset) {
  return charset == "CP932" || charset == "CP936" || charset == "CP949" || charset == "CP950" ||
         charset == "JOHAB";
}

// The iconv charset for a $DWGCODEPAGE name; "" when the name is not one.
std::string CharsetFor(std::string_view dwgcodepage) {
  const std::string name = AsciiUpper(TrimBlanks(dwgcodepage));
  auto digits_after = [&](std::string_view prefix) -> std::string {
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) return {};
    std::string rest = name.substr(prefix.size());
    if (!std::all_of(rest.begin(), rest.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      return {};
    }
    return rest;
  };
  if (name.empty() || name == "ASCII") return "CP1252";
  if (name == "UTF-8" || name == "UTF8") return "UTF-8";
  if (name == "ANSI_1361" || name == "JOHAB") return "JOHAB";
  if (name == "BIG5") return "CP950";
  if (name == "GB2312") return "CP936";
  if (name == "KSC5601") return "CP949";
  if (name == "MAC-ROMAN") return "MACINTOSH";
  if (std::string n = digits_after("ANSI_"); !n.empty()) return "CP" + n;
  if (std::string n = digits_after("DOS"); !n.empty()) return "CP" + n;
  for (std::string_view prefix : {"ISO8859-", "ISO8859_", "ISO-8859-"}) {
    if (std::string n = digits_after(prefix); !n.empty()) return "ISO-8859-" + n;
  }
  return {};
}

int HexDigit(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

// The 4-digit hexadecimal number at text[at], or -1.
long Hex4(const std::wstring& text, std::size_t at) {
  if (at + 4 > text.size()) return -1;
  long value = 0;
  for (std::size_t i = at; i < at + 4; ++i) {
    const int d = HexDigit(text[i]);
    if (d < 0) return -1;
    value = value * 16 + d;
  }
  return value;
}

// Length of the \U+XXXX escape at text[at] and its code point, or 0.
std::size_t UnicodeEscapeAt(const std::wstring& text, std::size_t at, long* code_point) {
  if (at + 7 > text.size() || text[at] != L'\\' || (text[at + 1] != L'U' && text[at + 1] != L'u') ||
      text[at + 2] != L'+') {
    return 0;
  }
  *code_point = Hex4(text, at + 3);
  return *code_point < 0 ? 0 : 7;
}

const char* MbcsCharset(wchar_t digit) {
  switch (digit) {
    case L'1':
      return "CP932";
    case L'2':
      return "CP950";
    case L'3':
      return "CP949";
    case L'4':
      return "JOHAB";
    case L'5':
      return "CP936";
    default:
      return nullptr;
  }
}

}  // namespace

Iconv::Iconv(const char* charset) {
  iconv_t cd = iconv_open("WCHAR_T", charset);
  cd_ = cd == reinterpret_cast<iconv_t>(-1) ? nullptr : cd;
}

Iconv::~Iconv() {
  if (cd_ != nullptr) iconv_close(Handle(cd_));
}

Iconv::Iconv(Iconv&& other) noexcept : cd_(std::exchange(other.cd_, nullptr)) {}

Iconv& Iconv::operator=(Iconv&& other) noexcept {
  if (this != &other) {
    if (cd_ != nullptr) iconv_close(Handle(cd_));
    cd_ = std::exchange(other.cd_, nullptr);
  }
  return *this;
}

bool Iconv::ok() const { return cd_ != nullptr; }

bool Iconv::Convert(std::string_view bytes, std::wstring* out) const {
  if (cd_ == nullptr) {
    out->append(bytes.size(), kReplacement);
    return bytes.empty();
  }
  iconv(Handle(cd_), nullptr, nullptr, nullptr, nullptr);
  bool clean = true;
  char* in = const_cast<char*>(bytes.data());
  std::size_t in_left = bytes.size();
  wchar_t buffer[256];
  for (;;) {
    char* dst = reinterpret_cast<char*>(buffer);
    std::size_t dst_left = sizeof buffer;
    const std::size_t r = in_left == 0 ? iconv(Handle(cd_), nullptr, nullptr, &dst, &dst_left)
                                       : iconv(Handle(cd_), &in, &in_left, &dst, &dst_left);
    const int err = errno;
    out->append(buffer, reinterpret_cast<wchar_t*>(dst) - buffer);
    if (r != static_cast<std::size_t>(-1)) {
      if (in_left == 0) {
        // Flush what a stateful converter (CP1258) still holds, then stop.
        dst = reinterpret_cast<char*>(buffer);
        dst_left = sizeof buffer;
        iconv(Handle(cd_), nullptr, nullptr, &dst, &dst_left);
        out->append(buffer, reinterpret_cast<wchar_t*>(dst) - buffer);
        return clean;
      }
      continue;
    }
    if (err == E2BIG) continue;
    // EILSEQ or EINVAL: an invalid or incomplete sequence; replace one byte and go on.
    clean = false;
    out->push_back(kReplacement);
    if (in_left == 0) return clean;
    ++in;
    --in_left;
    iconv(Handle(cd_), nullptr, nullptr, nullptr, nullptr);
    if (in_left == 0) return clean;
  }
}

bool Iconv::ConvertOne(std::string_view bytes, wchar_t* out) const {
  if (cd_ == nullptr || bytes.empty()) return false;
  std::wstring text;
  if (!Convert(bytes, &text) || text.size() != 1) return false;
  *out = text[0];
  return true;
}

TextDecoder TextDecoder::Passthrough() { return TextDecoder(Kind::kPassthrough, "passthrough"); }

TextDecoder TextDecoder::Utf8() { return TextDecoder(Kind::kUtf8, "UTF-8"); }

TextDecoder TextDecoder::ForCodePage(std::string_view dwgcodepage, bool* known) {
  std::string charset = CharsetFor(dwgcodepage);
  if (known != nullptr) *known = true;
  if (charset == "UTF-8") return Utf8();
  if (charset.empty() || !Iconv(charset.c_str()).ok()) {
    if (known != nullptr) *known = false;
    charset = "CP1252";
  }
  if (IsMultiByte(charset)) {
    TextDecoder decoder(Kind::kIconv, charset);
    decoder.iconv_ = Iconv(charset.c_str());
    return decoder;
  }
  TextDecoder decoder(Kind::kTable, charset);
  const Iconv converter(charset.c_str());
  for (int b = 0; b < 256; ++b) {
    const char byte = static_cast<char>(b);
    wchar_t c = static_cast<wchar_t>(b);
    // A byte the code page leaves undefined keeps its own number, as Windows maps it.
    if (b >= 0x80 && !converter.ConvertOne(std::string_view(&byte, 1), &c)) {
      c = static_cast<wchar_t>(b);
    }
    decoder.table_[b] = c;
  }
  return decoder;
}

TextDecoder TextDecoder::ForDrawing(std::string_view acadver, std::string_view dwgcodepage,
                                    bool bom, bool* known) {
  if (known != nullptr) *known = true;
  if (bom) return Utf8();
  int release = 0;
  const std::string version = AsciiUpper(TrimBlanks(acadver));
  if (version.size() > 2 && version.compare(0, 2, "AC") == 0) {
    const char* first = version.data() + 2;
    const char* last = version.data() + version.size();
    const auto [ptr, ec] = std::from_chars(first, last, release);
    if (ec != std::errc()) release = 0;
  }
  if (release >= 1021) return Utf8();
  return ForCodePage(dwgcodepage, known);
}

std::wstring TextDecoder::Decode(std::string_view bytes, bool* replaced) const {
  std::wstring out;
  switch (kind_) {
    case Kind::kPassthrough:
      out.resize(bytes.size());
      for (std::size_t i = 0; i < bytes.size(); ++i) {
        out[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]));
      }
      return out;
    case Kind::kTable:
      out.resize(bytes.size());
      for (std::size_t i = 0; i < bytes.size(); ++i) {
        out[i] = table_[static_cast<unsigned char>(bytes[i])];
      }
      break;
    case Kind::kUtf8:
      out = win::Utf8ToWide(bytes, replaced);
      break;
    case Kind::kIconv: {
      const bool ascii = std::all_of(bytes.begin(), bytes.end(),
                                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
      if (ascii) {
        out.assign(bytes.begin(), bytes.end());
      } else if (!iconv_.Convert(bytes, &out) && replaced != nullptr) {
        *replaced = true;
      }
      break;
    }
  }
  if (out.find(L'\\') != std::wstring::npos) return DecodeEscapes(std::move(out));
  return out;
}

std::wstring DecodeEscapes(std::wstring text) {
  std::size_t at = text.find(L'\\');
  if (at == std::wstring::npos) return text;
  std::wstring out(text, 0, at);
  std::array<Iconv, 5> mbcs;  // opened on first use
  while (at < text.size()) {
    const wchar_t c = text[at];
    if (c != L'\\' || at + 1 >= text.size()) {
      out.push_back(c);
      ++at;
      continue;
    }
    long cp = 0;
    if (const std::size_t len = UnicodeEscapeAt(text, at, &cp); len > 0) {
      if (cp >= 0xD800 && cp <= 0xDBFF) {
        long low = 0;
        if (UnicodeEscapeAt(text, at + len, &low) > 0 && low >= 0xDC00 && low <= 0xDFFF) {
          out.push_back(static_cast<wchar_t>(0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00)));
          at += 2 * len;
          continue;
        }
      } else if (cp != 0 && !(cp >= 0xDC00 && cp <= 0xDFFF)) {
        out.push_back(static_cast<wchar_t>(cp));
        at += len;
        continue;
      }
    } else if (at + 8 <= text.size() && (text[at + 1] == L'M' || text[at + 1] == L'm') &&
               text[at + 2] == L'+' && MbcsCharset(text[at + 3]) != nullptr) {
      const long code = Hex4(text, at + 4);
      if (code > 0) {
        Iconv& converter = mbcs[text[at + 3] - L'1'];
        if (!converter.ok()) converter = Iconv(MbcsCharset(text[at + 3]));
        char bytes[2] = {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
        const std::string_view seq =
            bytes[0] == 0 ? std::string_view(bytes + 1, 1) : std::string_view(bytes, 2);
        wchar_t decoded = 0;
        if (converter.ConvertOne(seq, &decoded) && decoded != kReplacement) {
          out.push_back(decoded);
          at += 8;
          continue;
        }
      }
    }
    out.push_back(c);
    ++at;
  }
  return out;
}

std::string NarrowPassthrough(const std::wstring& text) {
  std::string out(text.size(), '\0');
  for (std::size_t i = 0; i < text.size(); ++i) out[i] = static_cast<char>(text[i] & 0xFF);
  return out;
}

}  // namespace gm::dxf
