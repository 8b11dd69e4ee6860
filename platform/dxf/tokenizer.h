// Layer 1 of the DXF reader: bytes to raw (group code, value text) pairs.
//
// Knows nothing of what a group code means. It finds lines, strips line ends and the blanks
// around a group code, parses the code, and refuses what cannot be a text DXF (binary DXF,
// control bytes, giant lines). It streams: a file is read in chunks, so memory stays bounded by
// the chunk size and the longest line, whatever the file size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dxf/status.h"

namespace gm::dxf {

// One group as it stands in the file.
struct RawTag {
  int code = 0;
  // The value line without its line end (CR LF or LF); nothing else is stripped.
  // Valid until the next call of Tokenizer::Next().
  std::string_view value;
  // 1-based line of the group-code line; the value is on line + 1.
  std::size_t line = 0;
};

// Where the bytes of a file come from.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Reads up to size bytes into buffer and sets *got to the count (0 only at the end).
  [[nodiscard]] virtual Status Read(char* buffer, std::size_t size, std::size_t* got) = 0;
};

// Opens a file for reading in chunks. Fails with kUnreadable, naming the file and the reason.
[[nodiscard]] Status OpenFileSource(const std::string& path, std::unique_ptr<ByteSource>* source);

class Tokenizer {
 public:
  // Lines longer than this are refused (AutoCAD itself writes at most 2049 bytes a line).
  static constexpr std::size_t kMaxLine = 16u << 20;

  // Tokenizes bytes in memory, which must outlive the tokenizer. name is the file name for
  // messages.
  Tokenizer(std::string_view bytes, std::string name);
  // Tokenizes what source delivers, reading chunk_size bytes at a time.
  Tokenizer(std::unique_ptr<ByteSource> source, std::string name,
            std::size_t chunk_size = 1u << 20);
  Tokenizer(const Tokenizer&) = delete;
  Tokenizer& operator=(const Tokenizer&) = delete;

  // Looks at the start of the input: skips a UTF-8 byte order mark, refuses binary DXF.
  // REQUIRES: called once, before Next().
  [[nodiscard]] Status Start();
  // True when the input began with a UTF-8 byte order mark.
  bool has_bom() const { return has_bom_; }

  // Reads the next pair into *tag. Returns false at the end of the input or on an error;
  // status() then tells which (ok at the end; kEmpty when the input held nothing but blanks).
  // Once false, stays false.
  [[gnu::always_inline]] bool Next(RawTag* tag) {
    if (FastNext(tag)) return true;
    return SlowNext(tag);
  }
  const Status& status() const { return status_; }

  const std::string& name() const { return name_; }
  // Lines consumed so far.
  std::size_t lines() const { return line_ - 1; }

  // A Status of the given kind at the given line of this input.
  Status Error(ErrorCode code, std::size_t line, std::string text) const {
    return Status(code, name_, line, std::move(text));
  }

 private:
  bool Fail(Status status);
  // The common pair in one pass: a code line of blanks and digits and a clean value line, both
  // whole in the buffer. False, consuming nothing, for anything else, which Next() then reads
  // with every check and message. Inline: it runs once per tag.
  [[gnu::always_inline]] bool FastNext(RawTag* tag) {
    const char* p = pos_;
    if (p >= fast_end_) return false;
    // Nearly every code line is three characters, digits right-aligned in blanks ("  0",
    // " 10", "330"), and a LF.
    std::uint32_t word = 0;
    std::memcpy(&word, p, sizeof word);
    const unsigned d0 = (word & 0xFF) - '0';
    const unsigned d1 = ((word >> 8) & 0xFF) - '0';
    const unsigned d2 = ((word >> 16) & 0xFF) - '0';
    int code = 0;
    if ((word >> 24) != '\n' || d2 > 9) return FastNextRest(tag);
    if (d1 <= 9) {
      if (d0 <= 9) {
        code = static_cast<int>(d0 * 100 + d1 * 10 + d2);
      } else if ((word & 0xFF) == ' ') {
        code = static_cast<int>(d1 * 10 + d2);
      } else {
        return FastNextRest(tag);
      }
    } else if ((word & 0xFFFF) == 0x2020) {
      code = static_cast<int>(d2);
    } else {
      return FastNextRest(tag);
    }
    return FastValue(tag, code, p + 4);
  }
  // FastNext() for a code line of another shape.
  bool FastNextRest(RawTag* tag);
  // The value line at p for code; false, consuming nothing, unless it is clean and whole.
  [[gnu::always_inline]] bool FastValue(RawTag* tag, int code, const char* p) {
    const char* const value = p;
    const char* const end = end_;
    // Eight bytes at a time to the first byte below 0x20; tabs and CRs are passed over. The
    // first word is always there (see fast_end_).
    for (;;) {
      std::uint64_t word = 0;
      std::memcpy(&word, p, sizeof word);
      constexpr std::uint64_t kOnes = 0x0101010101010101ull;
      const std::uint64_t low = (word - 0x20 * kOnes) & ~word & (0x80 * kOnes);
      if (low == 0) {
        p += 8;
      } else {
        p += __builtin_ctzll(low) / 8;
        if (*p == '\n') break;
        if (*p != '\t' && *p != '\r') return false;
        ++p;
      }
      if (end - p < 8) {
        for (; p < end; ++p) {
          const auto c = static_cast<unsigned char>(*p);
          if (c < 0x20 && c != '\t' && c != '\r') break;
        }
        if (p == end || *p != '\n') return false;
        break;
      }
    }
    // The byte before the value ends the code line, so this stops there at the latest.
    const char* value_end = p;
    while (value_end[-1] == '\r') --value_end;
    if (static_cast<std::size_t>(value_end - value) > kMaxLine) return false;
    produced_ = true;
    tag->code = code;
    tag->value = std::string_view(value, static_cast<std::size_t>(value_end - value));
    tag->line = line_;
    line_ += 2;
    pos_ = p + 1;
    return true;
  }
  // Next() for what FastNext() leaves, with every check and message.
  bool SlowNext(RawTag* tag);
  // The end of the input: fine after a pair, kEmpty before any.
  bool AtEnd();
  // Reads more of the source behind the unconsumed bytes; false on a read error.
  bool Refill();

  std::string name_;
  std::unique_ptr<ByteSource> source_;
  std::vector<char> buffer_;  // owned bytes when reading a source
  std::size_t chunk_size_ = 0;
  const char* pos_ = nullptr;  // first unconsumed byte
  const char* end_ = nullptr;  // one past the last byte available
  bool source_done_ = true;    // no more bytes will come
  bool finished_ = false;
  // FastNext() runs while the next byte lies before this: sixteen bytes at hand let it read
  // the code line as one word, and the value's first word too. Never after the end or an
  // error, nor while blank lines at the start are still to be judged.
  const char* fast_end_ = nullptr;
  void SetFastEnd() {
    fast_end_ = finished_ || first_blank_ != 0 || end_ - pos_ < 16 ? pos_ : end_ - 15;
  }
  bool has_bom_ = false;
  bool produced_ = false;        // a pair has been returned
  std::size_t first_blank_ = 0;  // the first of the blank lines at the start, if any
  std::size_t line_ = 1;         // line number of the next unconsumed line
  Status status_;
};

}  // namespace gm::dxf
