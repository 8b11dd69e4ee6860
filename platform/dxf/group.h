// Typed DXF groups: the value type of every group code, kept as one table, and the Group value
// that the reader hands to everything above it.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>
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

inline bool IsIntegerType(GroupType t) {
  return t == GroupType::kInt16 || t == GroupType::kInt32 || t == GroupType::kInt64 ||
         t == GroupType::kBool;
}

// Codes 0..1071 are the ones a drawing may hold.
inline constexpr int kGroupCodeCount = 1072;

namespace internal {
// What group.cpp's one table of code ranges says of each code 0..1071.
struct CodeInfo {
  GroupType type = GroupType::kString;
  std::uint8_t flags = 0;
};
enum CodeFlag : std::uint8_t { kListed = 1, kHandle = 2, kReference = 4 };
extern const std::array<CodeInfo, kGroupCodeCount> kCodes;
inline CodeInfo InfoOf(int code) {
  return static_cast<unsigned>(code) < kCodes.size() ? kCodes[code] : CodeInfo();
}
}  // namespace internal

// REQUIRES: 0 <= code <= 1071 (codes outside give kString).
inline GroupType GroupTypeOf(int code) { return internal::InfoOf(code).type; }
inline bool IsPointCode(int code) { return GroupTypeOf(code) == GroupType::kPoint; }
// True for codes whose string is a hexadecimal handle or a reference to one.
inline bool IsHandleCode(int code) {
  return (internal::InfoOf(code).flags & internal::kHandle) != 0;
}
// True for codes whose string refers to another object (330..369, 390..399, 480, 481), as
// opposed to an object's own handle or a handle kept as written (5, 105, 320..329, 1005).
inline bool IsReferenceCode(int code) {
  return (internal::InfoOf(code).flags & internal::kReference) != 0;
}
// True for codes the DXF reference gives a meaning; the reader still keeps the others, as text.
inline bool IsListedCode(int code) {
  return (internal::InfoOf(code).flags & internal::kListed) != 0;
}

// Parses a handle: 1 to 16 hexadecimal digits, blanks around them allowed. False otherwise.
bool ParseHandle(std::string_view text, std::uint64_t* handle);
bool ParseHandle(std::wstring_view text, std::uint64_t* handle);

// An immutable text shared by every group that holds it: a drawing repeats the same few texts
// (subclass markers, layer and style names, owner handles) in nearly every entity.
struct SharedText {
  std::atomic<std::uint32_t> refs{1};
  std::wstring text;
};

// One group: a code and its value. Integers of every width are held as int64_t, booleans as
// 0 or 1; type() still tells which width the code has. 32 bytes; copies share their text.
class Group {
 public:
  using Value = std::variant<std::wstring, double, std::int64_t, Point3>;

  Group() : code_(0), type_(GroupType::kString), text_(nullptr) {}
  Group(const Group& other) : code_(other.code_), type_(other.type_) { CopyValue(other); }
  Group(Group&& other) noexcept : code_(other.code_), type_(other.type_) {
    std::memcpy(static_cast<void*>(&point_), static_cast<const void*>(&other.point_),
                sizeof point_);
    if (other.type_ == GroupType::kString) other.text_ = nullptr;
  }
  Group& operator=(const Group& other) {
    if (this != &other) {
      Group copy(other);
      Swap(copy);
    }
    return *this;
  }
  Group& operator=(Group&& other) noexcept {
    if (this != &other) {
      Release();
      code_ = other.code_;
      type_ = other.type_;
      std::memcpy(static_cast<void*>(&point_), static_cast<const void*>(&other.point_),
                  sizeof point_);
      if (other.type_ == GroupType::kString) other.text_ = nullptr;
    }
    return *this;
  }
  ~Group() { Release(); }

  static Group Text(int code, std::wstring text);
  // A text group holding shared, whose reference it takes over.
  static Group Shared(int code, SharedText* shared);
  static Group Real(int code, double value) {
    Group g(code, GroupType::kDouble);
    g.real_ = value;
    return g;
  }
  // type is kInt16, kInt32, kInt64 or kBool.
  static Group Integer(int code, GroupType type, std::int64_t value) {
    Group g(code, type);
    g.integer_ = value;
    return g;
  }
  static Group MakePoint(int code, Point3 point) {
    Group g(code, GroupType::kPoint);
    g.point_ = point;
    return g;
  }

  int code() const { return code_; }
  GroupType type() const { return type_; }
  Value value() const;

  bool is_text() const { return type_ == GroupType::kString; }
  bool is_integer() const { return IsIntegerType(type_); }
  // The text of a string group; an empty text for other types. Valid while this group or a
  // copy of it lives.
  const std::wstring& text() const;
  // A double group's value, an integer group's value as double; 0 otherwise.
  double real() const {
    if (type_ == GroupType::kDouble) return real_;
    return is_integer() ? static_cast<double>(integer_) : 0;
  }
  // An integer or bool group's value; 0 otherwise.
  std::int64_t integer() const { return is_integer() ? integer_ : 0; }
  // A point group's value; the origin otherwise.
  const Point3& point() const;
  // The shared text of a non-empty string group; null otherwise.
  const SharedText* shared_text() const { return type_ == GroupType::kString ? text_ : nullptr; }

  friend bool operator==(const Group& a, const Group& b);

 private:
  Group(int code, GroupType type) : code_(static_cast<std::int16_t>(code)), type_(type) {}
  Group(int code, GroupType type, SharedText* text)
      : code_(static_cast<std::int16_t>(code)), type_(type), text_(text) {}
  void CopyValue(const Group& other) {
    std::memcpy(static_cast<void*>(&point_), static_cast<const void*>(&other.point_),
                sizeof point_);
    if (type_ == GroupType::kString && text_ != nullptr) {
      text_->refs.fetch_add(1, std::memory_order_relaxed);
    }
  }
  void Release();
  void Swap(Group& other) noexcept {
    std::swap(code_, other.code_);
    std::swap(type_, other.type_);
    Point3 p;
    std::memcpy(static_cast<void*>(&p), static_cast<const void*>(&point_), sizeof p);
    std::memcpy(static_cast<void*>(&point_), static_cast<const void*>(&other.point_), sizeof p);
    std::memcpy(static_cast<void*>(&other.point_), static_cast<const void*>(&p), sizeof p);
  }

  std::int16_t code_;
  GroupType type_;
  union {
    double real_ = 0;
    std::int64_t integer_;
    Point3 point_;
    SharedText* text_;  // null for the empty text
  };
};

// Makes text groups of texts seldom repeated (contents, handles) without a heap allocation
// each: the text of a group made earlier and given up by everyone is overwritten for the next.
// Not thread-safe; the groups it made outlive it.
class TextRecycler {
 public:
  TextRecycler() = default;
  TextRecycler(const TextRecycler&) = delete;
  TextRecycler& operator=(const TextRecycler&) = delete;
  ~TextRecycler();

  Group Make(int code, std::wstring_view text);

 private:
  std::array<SharedText*, 16> slots_{};  // each holds one reference of ours
  std::size_t next_ = 0;
};

// Makes text groups that share one SharedText per distinct text. Not thread-safe; the groups
// it made outlive it.
class TextPool {
 public:
  TextPool() = default;
  TextPool(const TextPool&) = delete;
  TextPool& operator=(const TextPool&) = delete;
  ~TextPool();

  Group Make(int code, std::wstring_view text);

 private:
  static std::wstring_view View(std::wstring_view t) { return t; }
  static std::wstring_view View(const SharedText* t) { return t->text; }
  struct Hash {
    using is_transparent = void;
    template <typename T>
    std::size_t operator()(const T& t) const {
      return std::hash<std::wstring_view>()(View(t));
    }
  };
  struct Equal {
    using is_transparent = void;
    template <typename A, typename B>
    bool operator()(const A& a, const B& b) const {
      return View(a) == View(b);
    }
  };
  // Each member holds one reference, given back when the pool ends.
  std::unordered_set<SharedText*, Hash, Equal> texts_;
  // The last two texts made for each code (by its low bits): a file repeats the same texts
  // under the same code entity after entity, which this answers without hashing.
  std::array<std::array<SharedText*, 2>, 64> recent_{};
};

}  // namespace gm::dxf
