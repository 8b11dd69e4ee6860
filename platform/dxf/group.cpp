#include "platform/dxf/group.h"

#include <array>

namespace gm::dxf {
namespace {

constexpr int kCodeCount = 1072;

struct CodeRange {
  int first;
  int last;
  GroupType type;
};

// The DXF reference's group-code value types. Codes not listed hold strings, as CAD hosts read
// them; later rows win, so the point x codes override the double ranges they sit in.
constexpr CodeRange kRanges[] = {
    {10, 59, GroupType::kDouble},    {60, 79, GroupType::kInt16},
    {90, 99, GroupType::kInt32},     {110, 149, GroupType::kDouble},
    {160, 169, GroupType::kInt64},   {170, 179, GroupType::kInt16},
    {210, 239, GroupType::kDouble},  {270, 289, GroupType::kInt16},
    {290, 299, GroupType::kBool},    {370, 389, GroupType::kInt16},
    {400, 409, GroupType::kInt16},   {420, 429, GroupType::kInt32},
    {440, 449, GroupType::kInt32},   {450, 459, GroupType::kInt32},
    {460, 469, GroupType::kDouble},  {1010, 1059, GroupType::kDouble},
    {1060, 1070, GroupType::kInt16}, {1071, 1071, GroupType::kInt32},
    {10, 18, GroupType::kPoint},     {110, 112, GroupType::kPoint},
    {210, 213, GroupType::kPoint},   {1010, 1013, GroupType::kPoint},
};

constexpr std::array<GroupType, kCodeCount> BuildTypeTable() {
  std::array<GroupType, kCodeCount> table{};
  for (auto& t : table) t = GroupType::kString;
  for (const CodeRange& r : kRanges) {
    for (int code = r.first; code <= r.last; ++code) table[code] = r.type;
  }
  return table;
}

constexpr std::array<GroupType, kCodeCount> kTypeTable = BuildTypeTable();

constexpr std::array<bool, kCodeCount> BuildHandleTable() {
  std::array<bool, kCodeCount> table{};
  table[5] = table[105] = table[480] = table[481] = table[1005] = true;
  for (int code = 320; code <= 369; ++code) table[code] = true;
  for (int code = 390; code <= 399; ++code) table[code] = true;
  return table;
}

constexpr std::array<bool, kCodeCount> kHandleTable = BuildHandleTable();

template <typename Char>
bool ParseHex(std::basic_string_view<Char> text, std::uint64_t* handle) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  if (text.empty() || text.size() > 16) return false;
  std::uint64_t value = 0;
  for (const Char c : text) {
    int digit = 0;
    if (c >= '0' && c <= '9') {
      digit = static_cast<int>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      digit = static_cast<int>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {
      digit = static_cast<int>(c - 'A' + 10);
    } else {
      return false;
    }
    value = value * 16 + static_cast<std::uint64_t>(digit);
  }
  *handle = value;
  return true;
}

const std::wstring kNoText;
const Point3 kOrigin;

}  // namespace

GroupType GroupTypeOf(int code) {
  return code >= 0 && code < kCodeCount ? kTypeTable[code] : GroupType::kString;
}

bool ParseHandle(std::string_view text, std::uint64_t* handle) { return ParseHex(text, handle); }
bool ParseHandle(std::wstring_view text, std::uint64_t* handle) { return ParseHex(text, handle); }

bool IsHandleCode(int code) { return code >= 0 && code < kCodeCount && kHandleTable[code]; }

const std::wstring& Group::text() const {
  const auto* text = std::get_if<std::wstring>(&value_);
  return text != nullptr ? *text : kNoText;
}

double Group::real() const {
  if (const auto* d = std::get_if<double>(&value_)) return *d;
  if (const auto* i = std::get_if<std::int64_t>(&value_)) return static_cast<double>(*i);
  return 0;
}

std::int64_t Group::integer() const {
  const auto* i = std::get_if<std::int64_t>(&value_);
  return i != nullptr ? *i : 0;
}

const Point3& Group::point() const {
  const auto* p = std::get_if<Point3>(&value_);
  return p != nullptr ? *p : kOrigin;
}

}  // namespace gm::dxf
