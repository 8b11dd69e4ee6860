// The text encoding of a DXF file, decided once at the boundary and applied to every string
// value: bytes in the file's encoding to wide text, with the DXF escapes \U+XXXX (a Unicode code
// point) and \M+nXXXX (a double-byte character of an East Asian code page) decoded.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace gm::dxf {

// A converter from one iconv charset to wchar_t (UTF-32). Move-only; closes its handle.
class Iconv {
 public:
  Iconv() = default;
  // Opens a converter from charset; ok() tells whether iconv knows it.
  explicit Iconv(const char* charset);
  ~Iconv();
  Iconv(Iconv&& other) noexcept;
  Iconv& operator=(Iconv&& other) noexcept;
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;

  bool ok() const;
  // Appends bytes, converted, to *out; a byte that does not convert becomes U+FFFD.
  // Returns false when anything was replaced.
  bool Convert(std::string_view bytes, std::wstring* out) const;
  // The one character that bytes form; false when they form none, or more than one.
  bool ConvertOne(std::string_view bytes, wchar_t* out) const;

 private:
  void* cd_ = nullptr;
};

class TextDecoder {
 public:
  // Each byte to the character of the same number, and no escapes decoded: lossless, for text
  // read before the encoding is known (the HEADER section). Undo with NarrowPassthrough().
  static TextDecoder Passthrough();
  static TextDecoder Utf8();
  // For a $DWGCODEPAGE value such as "ANSI_1252" (any case; also DOSnnn, ISO8859-n, BIG5,
  // GB2312, KSC5601, JOHAB, MAC-ROMAN). An empty or unknown name gives ANSI_1252; *known then
  // tells whether the name was understood (empty counts as understood).
  static TextDecoder ForCodePage(std::string_view dwgcodepage, bool* known = nullptr);
  // The decision for a drawing: UTF-8 when the file began with a byte order mark or $ACADVER is
  // AC1021 (R2007) or later, else the code page of $DWGCODEPAGE, else ANSI_1252.
  static TextDecoder ForDrawing(std::string_view acadver, std::string_view dwgcodepage, bool bom,
                                bool* known = nullptr);

  TextDecoder(TextDecoder&&) noexcept = default;
  TextDecoder& operator=(TextDecoder&&) noexcept = default;

  // Decodes one value. Bytes that do not decode become U+FFFD and set *replaced (when given).
  // Escapes that do not decode (a bad code point, an unknown code page) are left as they are.
  std::wstring Decode(std::string_view bytes, bool* replaced = nullptr) const;

  // The charset: "UTF-8", "CP1252", "CP932", ..., or "passthrough".
  const std::string& name() const { return name_; }

 private:
  enum class Kind { kPassthrough, kUtf8, kTable, kIconv };
  TextDecoder(Kind kind, std::string name) : kind_(kind), name_(std::move(name)) {}

  Kind kind_;
  std::string name_;
  std::array<wchar_t, 256> table_{};  // kTable: the character of each byte
  Iconv iconv_;                       // kIconv: the double-byte code page
};

// Replaces the escapes \U+XXXX (a code point; a surrogate pair written as two escapes makes one
// character) and \M+nXXXX (n = 1 Japanese CP932, 2 Big5 CP950, 3 Korean CP949, 4 Johab,
// 5 Chinese GB CP936) in text. An escape that does not decode stays as written.
std::wstring DecodeEscapes(std::wstring text);

// Undoes TextDecoder::Passthrough(): each character (all below 256) back to its byte.
std::string NarrowPassthrough(const std::wstring& text);

}  // namespace gm::dxf
