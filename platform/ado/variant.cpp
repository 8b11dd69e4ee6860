#include "platform/ado/variant.h"

#include <cmath>

#include "platform/com/comdef.h"
#include "platform/win/wintypes.h"

namespace ado {
namespace {

constexpr HRESULT kTypeMismatch = static_cast<HRESULT>(0x80020005);

[[noreturn]] void Mismatch() { throw _com_error(kTypeMismatch); }

// Days from 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2));
}

const std::int64_t kOleEpoch = DaysFromCivil(1899, 12, 30);
constexpr double kMillisecondsPerDay = 86400000.0;

}  // namespace

double ToOleDate(const DateTimeParts& p) {
  const std::int64_t days =
      DaysFromCivil(p.year, static_cast<unsigned>(p.month), static_cast<unsigned>(p.day)) -
      kOleEpoch;
  const double time = ((p.hour * 60.0 + p.minute) * 60.0 + p.second) * 1000.0 + p.millisecond;
  const double fraction = time / kMillisecondsPerDay;
  return days >= 0 ? static_cast<double>(days) + fraction : static_cast<double>(days) - fraction;
}

std::optional<DateTimeParts> FromOleDate(double date) {
  // The range of years 100 to 9999.
  if (!std::isfinite(date) || date < -657434.0 || date >= 2958466.0) return std::nullopt;
  double whole = std::trunc(date);
  auto ms = static_cast<std::int64_t>(std::llround(std::fabs(date - whole) * kMillisecondsPerDay));
  if (ms >= static_cast<std::int64_t>(kMillisecondsPerDay)) {  // rounded up to the next day
    ms = 0;
    whole += date >= 0 ? 1 : -1;
  }
  DateTimeParts p;
  CivilFromDays(static_cast<std::int64_t>(whole) + kOleEpoch, p.year, p.month, p.day);
  p.millisecond = static_cast<int>(ms % 1000);
  p.second = static_cast<int>(ms / 1000 % 60);
  p.minute = static_cast<int>(ms / 60000 % 60);
  p.hour = static_cast<int>(ms / 3600000);
  return p;
}

Variant Variant::Null() { return Variant(VarType::Null, std::monostate{}); }
Variant Variant::I2(std::int16_t value) { return Make<std::int64_t>(VarType::I2, value); }
Variant Variant::I4(std::int32_t value) { return Make<std::int64_t>(VarType::I4, value); }
Variant Variant::I8(std::int64_t value) { return Make<std::int64_t>(VarType::I8, value); }
Variant Variant::UI1(std::uint8_t value) { return Make<std::int64_t>(VarType::UI1, value); }
Variant Variant::R4(float value) { return Make<double>(VarType::R4, value); }
Variant Variant::R8(double value) { return Make<double>(VarType::R8, value); }
Variant Variant::Bool(bool value) { return Make<std::int64_t>(VarType::Bool, value ? 1 : 0); }
Variant Variant::Date(double oleDate) { return Make<double>(VarType::Date, oleDate); }
Variant Variant::Text(std::wstring value) {
  return Make<std::wstring>(VarType::Bstr, std::move(value));
}
Variant Variant::Bytes(std::vector<std::uint8_t> value) {
  return Make<std::vector<std::uint8_t>>(VarType::Bytes, std::move(value));
}

std::int64_t Variant::AsInt64() const {
  if (const auto* value = std::get_if<std::int64_t>(&value_)) return *value;
  Mismatch();
}

double Variant::AsDouble() const {
  if (const auto* value = std::get_if<double>(&value_)) return *value;
  if (const auto* value = std::get_if<std::int64_t>(&value_)) return static_cast<double>(*value);
  Mismatch();
}

bool Variant::AsBool() const {
  if (vt_ != VarType::Bool) Mismatch();
  return std::get<std::int64_t>(value_) != 0;
}

const std::wstring& Variant::AsText() const {
  if (const auto* value = std::get_if<std::wstring>(&value_)) return *value;
  Mismatch();
}

const std::vector<std::uint8_t>& Variant::AsBytes() const {
  if (const auto* value = std::get_if<std::vector<std::uint8_t>>(&value_)) return *value;
  Mismatch();
}

}  // namespace ado
