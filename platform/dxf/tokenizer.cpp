// An ASCII DXF file is a sequence of line pairs: a group-code line (an integer, often padded with
// blanks: "  0", " 10") and a value line. Lines end in LF or CR LF. The file may begin with a
// UTF-8 byte order mark; a binary DXF begins with "AutoCAD Binary DXF" CR LF SUB NUL instead.
#include "platform/dxf/tokenizer.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <unistd.h>

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/dxf/ascii.h"

namespace gm::dxf {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::string_view kBinarySentinel = "AutoCAD Binary DXF";
constexpr int kMaxGroupCode = 1071;

class FileSource final : public ByteSource {
 public:
  FileSource(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  ~FileSource() override { ::close(fd_); }
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;

  Status Read(char* buffer, std::size_t size, std::size_t* got) override {
    for (;;) {
      const ssize_t n = ::read(fd_, buffer, size);
      if (n >= 0) {
        *got = static_cast<std::size_t>(n);
        return Status();
      }
      if (errno != EINTR) {
        return Status(ErrorCode::kUnreadable, path_, 0,
                      std::string("cannot read the file: ") + strerror(errno));
      }
    }
  }

 private:
  int fd_;
  std::string path_;
};

std::string_view StripLineEnd(std::string_view line) {
  while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

// Index of the first control byte other than TAB and CR, or npos. Written without an early exit
// so that the compiler can vectorise the common case of a clean line.
std::size_t FindControlByte(std::string_view line) {
  unsigned bad = 0;
  for (const char ch : line) {
    const auto c = static_cast<unsigned char>(ch);
    bad |= static_cast<unsigned>(c < 0x20 && c != '\t' && c != '\r');
  }
  if (bad == 0) return std::string_view::npos;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const auto c = static_cast<unsigned char>(line[i]);
    if (c < 0x20 && c != '\t' && c != '\r') return i;
  }
  return std::string_view::npos;
}

}  // namespace

Status OpenFileSource(const std::string& path, std::unique_ptr<ByteSource>* source) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    return Status(ErrorCode::kUnreadable, path, 0,
                  std::string("cannot open the file: ") + strerror(errno));
  }
  *source = std::make_unique<FileSource>(fd, path);
  return Status();
}

Tokenizer::Tokenizer(std::string_view bytes, std::string name)
    : name_(std::move(name)), pos_(bytes.empty() ? "" : bytes.data()), end_(pos_ + bytes.size()) {
  SetFastEnd();
}

Tokenizer::Tokenizer(std::unique_ptr<ByteSource> source, std::string name, std::size_t chunk_size)
    : name_(std::move(name)),
      source_(std::move(source)),
      chunk_size_(chunk_size < 64 ? 64 : chunk_size),
      source_done_(false) {
  buffer_.resize(chunk_size_);
  pos_ = end_ = buffer_.data();
  SetFastEnd();
}

bool Tokenizer::Fail(Status status) {
  status_ = std::move(status);
  finished_ = true;
  SetFastEnd();
  return false;
}

bool Tokenizer::AtEnd() {
  if (!produced_) return Fail(Error(ErrorCode::kEmpty, 0, "the file is empty"));
  finished_ = true;
  SetFastEnd();
  return false;
}

bool Tokenizer::Refill() {
  const std::size_t kept = static_cast<std::size_t>(end_ - pos_);
  if (kept > 0 && pos_ != buffer_.data()) std::memmove(buffer_.data(), pos_, kept);
  // A pair that does not fit in the buffer makes it grow; the line limit bounds the growth.
  if (buffer_.size() - kept < chunk_size_ / 2) buffer_.resize(buffer_.size() * 2);
  std::size_t got = 0;
  Status read = source_->Read(buffer_.data() + kept, buffer_.size() - kept, &got);
  pos_ = buffer_.data();
  end_ = pos_ + kept + got;
  if (!read.ok()) return Fail(std::move(read));
  if (got == 0) source_done_ = true;
  SetFastEnd();
  return true;
}

Status Tokenizer::Start() {
  // Enough bytes to see the byte order mark and the binary sentinel.
  while (!source_done_ && static_cast<std::size_t>(end_ - pos_) < 64) {
    if (!Refill()) return status_;
  }
  const std::string_view head(pos_, static_cast<std::size_t>(end_ - pos_));
  if (head.substr(0, kBom.size()) == kBom) {
    has_bom_ = true;
    pos_ += kBom.size();
  }
  const std::string_view rest(pos_, static_cast<std::size_t>(end_ - pos_));
  if (rest.substr(0, kBinarySentinel.size()) == kBinarySentinel) {
    Fail(Error(ErrorCode::kBinaryDxf, 0, "this is a binary DXF file; only ASCII DXF is supported"));
    return status_;
  }
  return Status();
}

bool Tokenizer::FastNextRest(RawTag* tag) {
  const char* p = pos_;
  const char* const end = end_;
  while (p < end && IsBlank(*p)) ++p;
  int code = 0;
  const char* const digits = p;
  // One bound for both the buffer and the five digits a code may have.
  const char* const digits_end = end - p > 5 ? p + 5 : end;
  while (p < digits_end && static_cast<unsigned>(*p - '0') < 10) {
    code = code * 10 + (*p - '0');
    ++p;
  }
  if (p == digits || code > kMaxGroupCode) return false;
  while (p < end && IsBlank(*p)) ++p;
  while (p < end && *p == '\r') ++p;
  // FastValue() reads the value's first word unchecked.
  if (p == end || *p != '\n' || end - p < 9) return false;
  return FastValue(tag, code, p + 1);
}

bool Tokenizer::SlowNext(RawTag* tag) {
  if (finished_) return false;
  for (;;) {
    const char* nl1 = nullptr;
    const char* nl2 = nullptr;
    for (;;) {
      const auto avail = static_cast<std::size_t>(end_ - pos_);
      nl1 = static_cast<const char*>(std::memchr(pos_, '\n', avail));
      if (nl1 != nullptr) {
        nl2 = static_cast<const char*>(std::memchr(nl1 + 1, '\n', end_ - (nl1 + 1)));
        if (nl2 != nullptr) break;
      }
      if (source_done_) break;
      if (avail > 2 * kMaxLine + 4) break;  // the length checks below report it
      if (!Refill()) return false;
    }

    if (pos_ == end_) return AtEnd();
    const char* code_end = nl1 != nullptr ? nl1 : end_;
    const std::string_view code_line = StripLineEnd(std::string_view(pos_, code_end - pos_));
    if (code_line.size() > kMaxLine) {
      return Fail(Error(ErrorCode::kLineTooLong, line_,
                        "line is longer than " + std::to_string(kMaxLine) + " bytes"));
    }
    const std::string_view code_text = TrimBlanks(code_line);
    if (code_text.empty()) {
      // A blank last line is no group. Blank lines before the first pair are taken one at a
      // time, so that a file of nothing but blanks is empty however long it is.
      if (nl1 == nullptr || nl1 + 1 == end_) return AtEnd();
      if (!produced_) {
        if (first_blank_ == 0) first_blank_ = line_;
        SetFastEnd();
        ++line_;
        pos_ = nl1 + 1;
        continue;
      }
    }
    if (first_blank_ != 0) {
      return Fail(
          Error(ErrorCode::kBadGroupCode, first_blank_, "empty line where a group code belongs"));
    }
    if (code_text.empty()) {
      return Fail(Error(ErrorCode::kBadGroupCode, line_, "empty line where a group code belongs"));
    }
    if (nl1 == nullptr || nl1 + 1 == end_) {
      // The last line of the file, and no value after it.
      return Fail(Error(
          ErrorCode::kTruncated, line_,
          "the file ends after group code " + QuoteBytes(code_text) + ", where its value belongs"));
    }
    const char* value_end = nl2 != nullptr ? nl2 : end_;
    const std::string_view value = StripLineEnd(std::string_view(nl1 + 1, value_end - (nl1 + 1)));
    if (value.size() > kMaxLine) {
      return Fail(Error(ErrorCode::kLineTooLong, line_ + 1,
                        "line is longer than " + std::to_string(kMaxLine) + " bytes"));
    }

    for (const auto& [text, line] : {std::pair{code_line, line_}, std::pair{value, line_ + 1}}) {
      const std::size_t bad = FindControlByte(text);
      if (bad != std::string_view::npos) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "0x%02X", static_cast<unsigned char>(text[bad]));
        return Fail(Error(ErrorCode::kBinaryData, line,
                          std::string("control byte ") + hex + " in a text line: binary data"));
      }
    }

    int code = 0;
    const char* first = code_text.data();
    const char* last = first + code_text.size();
    if (*first == '+') ++first;
    const auto [ptr, ec] = std::from_chars(first, last, code);
    if (ec != std::errc() || ptr != last) {
      return Fail(Error(ErrorCode::kBadGroupCode, line_,
                        "group code " + QuoteBytes(code_text) + " is not a number"));
    }
    if (code < 0 || code > kMaxGroupCode) {
      return Fail(Error(ErrorCode::kBadGroupCode, line_,
                        "group code " + std::to_string(code) + " is not a DXF group code (0 to " +
                            std::to_string(kMaxGroupCode) + ")"));
    }

    produced_ = true;
    tag->code = code;
    tag->value = value;
    tag->line = line_;
    line_ += 2;
    pos_ = nl2 != nullptr ? nl2 + 1 : end_;
    return true;
  }
}

}  // namespace gm::dxf
