// The compiler's COM support error class, _com_error: thrown by value, with a
// status code and the source and description a component reported.
#pragma once

#include <cstdint>
#include <cwchar>
#include <memory>
#include <string>
#include <utility>

#include "platform/com/oleauto.h"

// The one error class of COM calls and of the database layer (ADO raises it
// with the ODBC diagnostics' source and description).
class _com_error {
 public:
  explicit _com_error(std::int32_t hr, std::wstring source = {}, std::wstring description = {},
                      std::wstring sqlState = {}, long nativeError = 0)
      : hr_(hr),
        source_(std::move(source)),
        description_(std::move(description)),
        sqlState_(std::move(sqlState)),
        nativeError_(nativeError) {}

  std::int32_t Error() const { return hr_; }
  // The low word of a code of the interface facility (0x8004xxxx), else 0.
  inline std::uint16_t WCode() const;
  // The system's text for the code without its line end; "IDispatch error
  // #n" for an object's own code, "Unknown error 0x800A03EC" for any other
  // without a text. Valid as long as this object.
  inline const wchar_t* ErrorMessage() const;
  const std::wstring& Source() const { return source_; }
  const std::wstring& Description() const { return description_; }
  // What an ODBC driver said, when the error came from one.
  const std::wstring& SqlState() const { return sqlState_; }
  long NativeError() const { return nativeError_; }

 private:
  std::int32_t hr_;
  std::wstring source_;
  std::wstring description_;
  std::wstring sqlState_;
  long nativeError_;
  mutable std::wstring message_;
};

inline std::uint16_t _com_error::WCode() const {
  const auto code = static_cast<std::uint32_t>(hr_);
  return (code >= 0x80040200u && code <= 0x8004FFFFu)
             ? static_cast<std::uint16_t>(code - 0x80040200u)
             : 0;
}

inline const wchar_t* _com_error::ErrorMessage() const {
  if (!message_.empty()) return message_.c_str();
  message_ = com::SystemMessage(hr_);
  if (message_.empty()) {
    wchar_t buffer[64];
    if (WCode() != 0) {
      std::swprintf(buffer, 64, L"IDispatch error #%d", static_cast<int>(WCode()));
    } else {
      std::swprintf(buffer, 64, L"Unknown error 0x%0lX",
                    static_cast<unsigned long>(static_cast<std::uint32_t>(hr_)));
    }
    message_ = buffer;
  }
  return message_.c_str();
}

[[noreturn]] inline void _com_issue_error(std::int32_t hr) { throw _com_error(hr); }
