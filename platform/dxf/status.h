// Errors as values for the DXF reader: a Status names the file, the line and what is wrong with
// it; a Result<T> holds either a T or the Status that says why there is none. Nothing in
// platform/dxf throws past its public functions.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace gm::dxf {

// The most specific reason a load failed. Stable: tests and callers may switch on it.
enum class ErrorCode {
  kOk = 0,
  kUnreadable,    // the file cannot be opened or read
  kEmpty,         // no bytes, or nothing but blanks
  kBinaryDxf,     // starts with the "AutoCAD Binary DXF" sentinel; only ASCII DXF is read
  kBinaryData,    // NUL or other control bytes: not a text file
  kLineTooLong,   // a line longer than Tokenizer::kMaxLine
  kTruncated,     // the file ends between a group code and its value
  kBadGroupCode,  // a group-code line that is not an integer from 0 to 1071
  kBadNumber,     // a value that is not a number (or out of range) where its code wants one
  kNotFinite,     // NaN or infinity where a real number belongs
  kBadHandle,     // an entity or table entry whose handle is not hexadecimal
  kBadStructure,  // sections, tables, blocks or points not put together as DXF requires
  kMissingEof,    // the input ends without the EOF group
  kOutOfMemory,   // the drawing does not fit in memory
  kInternal,      // a fault of the reader itself
};

// "bad group code", "truncated", ...: a short label for logs and test output.
std::string_view ErrorCodeName(ErrorCode code);

// bytes in single quotes for a message: at most 40 bytes, then "...", with control bytes and
// bytes above 0x7E written as \xNN so that junk never reaches a terminal raw.
std::string QuoteBytes(std::string_view bytes);

// Something the reader put right instead of failing (an undecodable byte replaced, a handle
// given to an entity that had none), kept so that nothing changes without a trace.
struct Repair {
  std::size_t line = 0;  // 0 when it concerns the whole file
  std::string text;
};

class [[nodiscard]] Status {
 public:
  // Success.
  Status() = default;
  // REQUIRES: code != ErrorCode::kOk. line is 1-based; 0 when no line applies.
  Status(ErrorCode code, std::string file, std::size_t line, std::string text);

  bool ok() const { return code_ == ErrorCode::kOk; }
  ErrorCode code() const { return code_; }
  const std::string& file() const { return file_; }
  std::size_t line() const { return line_; }
  // What is wrong, without the place.
  const std::string& text() const { return text_; }
  // "file:line: text", "file: text" when no line applies, "" when ok.
  std::string message() const;

 private:
  ErrorCode code_ = ErrorCode::kOk;
  std::string file_;
  std::size_t line_ = 0;
  std::string text_;
};

// A value or the error that prevented it. Accessing the value of a failed Result is a
// programming error and aborts.
template <typename T>
class [[nodiscard]] Result {
 public:
  Result(T value) : value_(std::move(value)) {}  // NOLINT: implicit by design
  // REQUIRES: !status.ok()
  Result(Status status) : status_(std::move(status)) {  // NOLINT: implicit by design
    if (status_.ok()) std::abort();
  }

  bool ok() const { return value_.has_value(); }
  // Success or the error; ok() == status().ok().
  const Status& status() const { return status_; }

  T& value() & { return Get(); }
  const T& value() const& { return const_cast<Result*>(this)->Get(); }
  T&& value() && { return std::move(Get()); }
  T* operator->() { return &Get(); }
  const T* operator->() const { return &const_cast<Result*>(this)->Get(); }
  T& operator*() & { return Get(); }
  const T& operator*() const& { return const_cast<Result*>(this)->Get(); }

 private:
  T& Get() {
    if (!value_) std::abort();
    return *value_;
  }
  std::optional<T> value_;
  Status status_;
};

}  // namespace gm::dxf
