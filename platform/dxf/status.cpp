#include "platform/dxf/status.h"

namespace gm::dxf {

std::string_view ErrorCodeName(ErrorCode code) {
  switch (code) {
    case ErrorCode::kOk:
      return "ok";
    case ErrorCode::kUnreadable:
      return "unreadable";
    case ErrorCode::kEmpty:
      return "empty";
    case ErrorCode::kBinaryDxf:
      return "binary DXF";
    case ErrorCode::kBinaryData:
      return "binary data";
    case ErrorCode::kLineTooLong:
      return "line too long";
    case ErrorCode::kTruncated:
      return "truncated";
    case ErrorCode::kBadGroupCode:
      return "bad group code";
    case ErrorCode::kBadNumber:
      return "bad number";
    case ErrorCode::kNotFinite:
      return "not finite";
    case ErrorCode::kBadHandle:
      return "bad handle";
    case ErrorCode::kBadStructure:
      return "bad structure";
    case ErrorCode::kMissingEof:
      return "missing EOF";
    case ErrorCode::kOutOfMemory:
      return "out of memory";
    case ErrorCode::kInternal:
      return "internal";
  }
  return "unknown";
}

std::string QuoteBytes(std::string_view bytes) {
  constexpr std::size_t kMax = 40;
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out = "'";
  for (std::size_t i = 0; i < bytes.size() && i < kMax; ++i) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (c < 0x20 || c > 0x7E) {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  if (bytes.size() > kMax) out += "...";
  out += "'";
  return out;
}

Status::Status(ErrorCode code, std::string file, std::size_t line, std::string text)
    : code_(code), file_(std::move(file)), line_(line), text_(std::move(text)) {}

std::string Status::message() const {
  if (ok()) return {};
  std::string out = file_;
  if (line_ > 0) out += ":" + std::to_string(line_);
  out += ": ";
  out += text_;
  return out;
}

}  // namespace gm::dxf
