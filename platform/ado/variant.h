// The values that fields hold and that ADO calls return: a small tagged
// value with the kinds of a COM VARIANT that this engine produces. The kind
// numbers are the VARTYPE numbers, so a caller can switch on them as it
// would on a VARIANT's vt.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace ado {

enum class VarType : std::uint16_t {
  Empty = 0,
  Null = 1,
  I2 = 2,
  I4 = 3,
  R4 = 4,
  R8 = 5,
  Date = 7,
  Bstr = 8,
  Bool = 11,
  UI1 = 17,
  I8 = 20,
  Bytes = 0x2011,  // VT_ARRAY | VT_UI1
};

// A calendar date and time of day, as a date kind holds it.
struct DateTimeParts {
  int year = 1899;
  int month = 12;
  int day = 30;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
  bool operator==(const DateTimeParts&) const = default;
};

// OLE automation dates: days since 1899-12-30, the fraction the time of day
// (before the epoch the fraction counts forward from the day, so -1.25 is
// 1899-12-29 06:00). Years 100 to 9999; FromOleDate gives nothing outside.
double ToOleDate(const DateTimeParts& parts);
std::optional<DateTimeParts> FromOleDate(double date);

class Variant {
 public:
  Variant() = default;

  static Variant Null();
  static Variant I2(std::int16_t value);
  static Variant I4(std::int32_t value);
  static Variant I8(std::int64_t value);
  static Variant UI1(std::uint8_t value);
  static Variant R4(float value);
  static Variant R8(double value);
  static Variant Bool(bool value);
  static Variant Date(double oleDate);
  static Variant Text(std::wstring value);
  static Variant Bytes(std::vector<std::uint8_t> value);

  VarType vt() const { return vt_; }
  bool IsEmpty() const { return vt_ == VarType::Empty; }
  bool IsNull() const { return vt_ == VarType::Null; }

  // The value in the asked form. Integer kinds and Bool give AsInt64; every
  // number kind and Date give AsDouble. Any other kind raises _com_error
  // with the type-mismatch code (0x80020005).
  std::int64_t AsInt64() const;
  double AsDouble() const;
  bool AsBool() const;
  const std::wstring& AsText() const;
  const std::vector<std::uint8_t>& AsBytes() const;

  bool operator==(const Variant& other) const = default;

 private:
  using Storage =
      std::variant<std::monostate, std::int64_t, double, std::wstring, std::vector<std::uint8_t>>;
  Variant(VarType vt, Storage value) : vt_(vt), value_(std::move(value)) {}
  // Built in place: GCC 12 misreads a moved-from temporary variant as freed.
  template <class T, class V>
  static Variant Make(VarType vt, V&& value) {
    Variant v;
    v.vt_ = vt;
    v.value_.emplace<T>(std::forward<V>(value));
    return v;
  }

  VarType vt_ = VarType::Empty;
  Storage value_;
};

}  // namespace ado
