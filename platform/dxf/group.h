// Typed DXF groups: the value type of every group code, kept as one table, and the Group value
// that the reader hands to everything above it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace gm::dxf {

struct Point3 {
  double x = 0;
  double y = 0;
  double z = 0;
  friend bool operator==(const Point3&, const Point3&) = default;
};

// What a group code's value is, by the group-code ranges of the DXF reference. kPoint is the
// type of an x code (10..18, 110..112, 210..213, 1010..1013), whose y and z groups (code + 10,
// code + 20) are folded into it.
enum class GroupType : std::uint8_t {
  kString,  // also handles (5, 105, 320..369, 390..399, 480, 481, 1005) and unlisted codes
  kDouble,
  kInt16,
  kInt32,
  kInt64,
  kBool,
  kPoint,
};

// REQUIRES: 0 <= code <= 1071 (codes outside give kString).
GroupType GroupTypeOf(int code);
inline bool IsPointCode(int code) { return GroupTypeOf(code) == GroupType::kPoint; }
// True for codes whose string is a hexadecimal handle or a reference to one.
bool IsHandleCode(int code);

// Parses a handle: 1 to 16 hexadecimal digits, blanks around them allowed. False otherwise.
bool ParseHandle(std::string_view text, std::uint64_t* handle);
bool ParseHandle(std::wstring_view text, std::uint64_t* handle);

// One group: a code and its value. Integers of every width are held as int64_t, booleans as
// 0 or 1; type() still tells which width the code has.
class Group {
 public:
  using Value = std::variant<std::wstring, double, std::int64_t, Point3>;

  Group() = default;
  static Group Text(int code, std::wstring text) {
    return Group(code, GroupType::kString, std::move(text));
  }
  static Group Real(int code, double value) { return Group(code, GroupType::kDouble, value); }
  // type is kInt16, kInt32, kInt64 or kBool.
  static Group Integer(int code, GroupType type, std::int64_t value) {
    return Group(code, type, value);
  }
  static Group MakePoint(int code, Point3 point) { return Group(code, GroupType::kPoint, point); }

  int code() const { return code_; }
  GroupType type() const { return type_; }
  const Value& value() const { return value_; }

  bool is_text() const { return type_ == GroupType::kString; }
  bool is_integer() const {
    return type_ == GroupType::kInt16 || type_ == GroupType::kInt32 || type_ == GroupType::kInt64 ||
           type_ == GroupType::kBool;
  }
  // The text of a string group; an empty text for other types.
  const std::wstring& text() const;
  // A double group's value, an integer group's value as double; 0 otherwise.
  double real() const;
  // An integer or bool group's value; 0 otherwise.
  std::int64_t integer() const;
  // A point group's value; the origin otherwise.
  const Point3& point() const;

  friend bool operator==(const Group&, const Group&) = default;

 private:
  Group(int code, GroupType type, Value value)
      : code_(static_cast<std::int16_t>(code)), type_(type), value_(std::move(value)) {}

  std::int16_t code_ = 0;
  GroupType type_ = GroupType::kString;
  Value value_;
};

}  // namespace gm::dxf
