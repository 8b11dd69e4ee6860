// Layer 1 of the DXF reader: bytes to raw (group code, value text) pairs.
//
// Knows nothing of what a group code means. It finds lines, strips line ends and the blanks
// around a group code, parses the code, and refuses what cannot be a text DXF (binary DXF,
// control bytes, giant lines). It streams: a file is read in chunks, so memory stays bounded by
// the chunk size and the longest line, whatever the file size.
#pragma once

#include <cstddef>
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
  bool Next(RawTag* tag) {
    if (!finished_ && first_blank_ == 0 && FastNext(tag)) return true;
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
  // with every check and message.
  bool FastNext(RawTag* tag);
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
  bool has_bom_ = false;
  bool produced_ = false;        // a pair has been returned
  std::size_t first_blank_ = 0;  // the first of the blank lines at the start, if any
  std::size_t line_ = 1;         // line number of the next unconsumed line
  Status status_;
};

}  // namespace gm::dxf
