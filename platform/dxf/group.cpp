#include "platform/dxf/group.h"

#include <array>

namespace gm::dxf {
namespace {

using internal::CodeInfo;
using internal::kHandle;
using internal::kListed;
using internal::kReference;

struct CodeRange {
  int first;
  int last;
  GroupType type;
  std::uint8_t flags;
};

// The DXF reference's group-code value types, the one table behind both the reader and the
// result-buffer kinds. Later rows win, so the point x codes override the double ranges they sit
// in. Unlisted codes hold strings, as CAD hosts read them.
constexpr std::uint8_t kRef = kListed | kHandle | kReference;
constexpr CodeRange kRanges[] = {
    {0, 9, GroupType::kString, kListed},
    {10, 59, GroupType::kDouble, kListed},
    {60, 79, GroupType::kInt16, kListed},
    {90, 99, GroupType::kInt32, kListed},
    {100, 100, GroupType::kString, kListed},
    {102, 102, GroupType::kString, kListed},
    {105, 105, GroupType::kString, kListed},
    {110, 149, GroupType::kDouble, kListed},
    {160, 169, GroupType::kInt64, kListed},
    {170, 179, GroupType::kInt16, kListed},
    {210, 239, GroupType::kDouble, kListed},
    {270, 289, GroupType::kInt16, kListed},
    {290, 299, GroupType::kBool, kListed},
    {300, 369, GroupType::kString, kListed},
    {370, 389, GroupType::kInt16, kListed},
    {390, 399, GroupType::kString, kRef},
    {400, 409, GroupType::kInt16, kListed},
    {410, 419, GroupType::kString, kListed},
    {420, 429, GroupType::kInt32, kListed},
    {430, 439, GroupType::kString, kListed},
    {440, 449, GroupType::kInt32, kListed},
    {450, 459, GroupType::kInt32, kListed},
    {460, 469, GroupType::kDouble, kListed},
    {470, 479, GroupType::kString, kListed},
    {480, 481, GroupType::kString, kRef},
    {999, 999, GroupType::kString, kListed},
    {1000, 1009, GroupType::kString, kListed},
    {1010, 1059, GroupType::kDouble, kListed},
    {1060, 1070, GroupType::kInt16, kListed},
    {1071, 1071, GroupType::kInt32, kListed},
    {10, 18, GroupType::kPoint, kListed},
    {110, 112, GroupType::kPoint, kListed},
    {210, 213, GroupType::kPoint, kListed},
    {1010, 1013, GroupType::kPoint, kListed},
    {5, 5, GroupType::kString, kListed | kHandle},
    {105, 105, GroupType::kString, kListed | kHandle},
    {320, 329, GroupType::kString, kListed | kHandle},
    {330, 369, GroupType::kString, kRef},
    {1005, 1005, GroupType::kString, kListed | kHandle},
};

constexpr std::array<CodeInfo, kGroupCodeCount> BuildCodeTable() {
  std::array<CodeInfo, kGroupCodeCount> table{};
  for (const CodeRange& r : kRanges) {
    for (int code = r.first; code <= r.last; ++code) table[code] = {r.type, r.flags};
  }
  return table;
}

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

namespace internal {
constinit const std::array<CodeInfo, kGroupCodeCount> kCodes = BuildCodeTable();
}  // namespace internal

bool ParseHandle(std::string_view text, std::uint64_t* handle) { return ParseHex(text, handle); }
bool ParseHandle(std::wstring_view text, std::uint64_t* handle) { return ParseHex(text, handle); }

Group Group::Text(int code, std::wstring text) {
  if (text.empty()) return Group(code, GroupType::kString, nullptr);
  auto* shared = new SharedText;
  shared->text = std::move(text);
  return Group(code, GroupType::kString, shared);
}

Group Group::Shared(int code, SharedText* shared) {
  return Group(code, GroupType::kString, shared);
}

void Group::Release() {
  if (type_ == GroupType::kString && text_ != nullptr &&
      text_->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
    delete text_;
  }
}

Group::Value Group::value() const {
  switch (type_) {
    case GroupType::kString:
      return text();
    case GroupType::kDouble:
      return real_;
    case GroupType::kPoint:
      return point_;
    default:
      return integer_;
  }
}

const std::wstring& Group::text() const {
  return type_ == GroupType::kString && text_ != nullptr ? text_->text : kNoText;
}

const Point3& Group::point() const { return type_ == GroupType::kPoint ? point_ : kOrigin; }

bool operator==(const Group& a, const Group& b) {
  if (a.code_ != b.code_ || a.type_ != b.type_) return false;
  switch (a.type_) {
    case GroupType::kString:
      return a.text() == b.text();
    case GroupType::kDouble:
      return a.real_ == b.real_;
    case GroupType::kPoint:
      return a.point_ == b.point_;
    default:
      return a.integer_ == b.integer_;
  }
}

TextPool::~TextPool() {
  for (SharedText* t : texts_) Group::Shared(0, t);  // gives the pool's reference back
}

Group TextPool::Make(int code, std::wstring_view text) {
  if (text.empty()) return Group::Text(code, {});
  auto& recent = recent_[static_cast<unsigned>(code) % recent_.size()];
  SharedText* found = nullptr;
  if (recent[0] != nullptr && recent[0]->text == text) {
    found = recent[0];
  } else if (recent[1] != nullptr && recent[1]->text == text) {
    found = recent[1];
    std::swap(recent[0], recent[1]);
  } else {
    auto it = texts_.find(text);
    if (it == texts_.end()) {
      auto* shared = new SharedText;
      shared->text.assign(text);
      it = texts_.insert(shared).first;
    }
    found = *it;
    recent[1] = recent[0];
    recent[0] = found;
  }
  found->refs.fetch_add(1, std::memory_order_relaxed);
  return Group::Shared(code, found);
}

TextRecycler::~TextRecycler() {
  for (SharedText* t : slots_) {
    if (t != nullptr) Group::Shared(0, t);  // gives our reference back
  }
}

Group TextRecycler::Make(int code, std::wstring_view text) {
  // Long texts are rare; keeping their room would hold it for good.
  if (text.empty() || text.size() > 1024) return Group::Text(code, std::wstring(text));
  SharedText*& slot = slots_[next_];
  next_ = (next_ + 1) % slots_.size();
  if (slot != nullptr && slot->refs.load(std::memory_order_acquire) != 1) {
    Group::Shared(0, slot);  // still held by a group: ours goes, the text stays theirs
    slot = nullptr;
  }
  if (slot == nullptr) slot = new SharedText;
  slot->text.assign(text);
  slot->refs.fetch_add(1, std::memory_order_relaxed);
  return Group::Shared(code, slot);
}

}  // namespace gm::dxf
