// The groups of every entity of a drawing, packed: one encoding per group in a few big arenas
// instead of a heap object per group, so a drawing takes little more memory than its file.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/dxf/group.h"

namespace gm::dxf {

// What a packed group holds, read without building a Group.
struct GroupView {
  int code = 0;
  GroupType type = GroupType::kString;
  // A string group's text, unless it is held as a handle (then empty and is_handle set).
  std::wstring_view text;
  bool is_handle = false;
  std::uint64_t handle = 0;  // a handle-held string's value; its text is this in upper-case hex
  double real = 0;           // a double group's value
  std::int64_t integer = 0;  // an integer or bool group's value
  Point3 point;              // a point group's value
};

// A handle's text as a drawing writes it: upper-case hexadecimal without leading zeros.
std::wstring FormatHandle(std::uint64_t handle);
// The number of digits FormatHandle gives for handle (1 to 16).
inline std::size_t HandleDigits(std::uint64_t handle) {
  return handle == 0 ? 1 : static_cast<std::size_t>((64 - __builtin_clzll(handle) + 3) / 4);
}
// Writes FormatHandle's text into out, which has room for HandleDigits(handle) characters.
inline void WriteHandle(std::uint64_t handle, wchar_t* out) {
  for (std::size_t i = HandleDigits(handle); i-- > 0; handle >>= 4) {
    const int d = static_cast<int>(handle & 15);
    out[i] = static_cast<wchar_t>(d < 10 ? L'0' + d : L'A' + d - 10);
  }
}
// True when text is exactly what FormatHandle gives for some handle, which goes into *handle.
bool IsPlainHandle(std::string_view text, std::uint64_t* handle);
bool IsPlainHandle(std::wstring_view text, std::uint64_t* handle);

// The arenas behind the packed groups of one drawing, and the texts they share. Filled while
// the drawing loads; immutable once an entity refers to it.
class GroupStore {
 public:
  GroupStore() = default;
  GroupStore(const GroupStore&) = delete;
  GroupStore& operator=(const GroupStore&) = delete;
  ~GroupStore();

  // The size and alignment of the arenas; each begins with the store's address.
  static constexpr std::size_t kChunk = std::size_t{1} << 20;

  // Room for n bytes that stays put while the store lives, within the first kChunk bytes of an
  // arena.
  std::byte* Allocate(std::size_t n);
  // A reused buffer of at least n bytes, aligned like Allocate's, whose first bytes are kept
  // when it grows. Lasts until the next call.
  std::byte* Scratch(std::size_t n) { return n <= scratch_size_ ? scratch_.get() : Grow(n); }
  // The index of a non-empty text group's text among the shared texts, added when new.
  std::uint32_t Intern(const Group& group);
  // The same for a text read straight from a file. REQUIRES: text is not empty.
  std::uint32_t Intern(std::wstring_view text);
  SharedText* SharedAt(std::uint32_t index) const { return texts_[index]; }
  // A record type name, kept once.
  std::string_view InternType(std::string_view type);

 private:
  friend class GroupList;
  friend class GroupPacker;
  // Lists keep their store alive by a count of their own, so that a list is two pointers, not
  // three: the first list takes over a reference to the store, the last gives it back.
  void Retain(std::shared_ptr<GroupStore> self);
  void Retain() const { lists_.fetch_add(1, std::memory_order_relaxed); }
  void Release() const;
  std::byte* Grow(std::size_t n);

  mutable std::atomic<std::size_t> lists_{0};
  mutable std::shared_ptr<GroupStore> self_;
  struct Chunk {
    std::byte* at;
    std::size_t size;
  };
  std::vector<Chunk> chunks_;
  std::unique_ptr<std::byte[]> scratch_;
  std::size_t scratch_size_ = 0;
  std::byte* next_ = nullptr;
  std::size_t left_ = 0;
  std::vector<SharedText*> texts_;
  std::unordered_map<std::wstring_view, std::uint32_t> index_;
  // The index last given for a group's shared text, by its address: a reader shares its texts
  // too, so this answers most groups without hashing their text.
  struct Seen {
    const SharedText* text = nullptr;
    std::uint32_t index = 0;
  };
  std::array<Seen, 256> seen_{};
  std::vector<std::unique_ptr<std::string>> types_;
  const std::string* last_type_ = nullptr;
};

// The packed form of a group, read inline where entity data are walked: a call per group
// cost a quarter of a list's building, and inlined the walk stores only the fields it reads.
namespace packed {

enum Form : std::uint8_t {
  kEmpty,
  kShared8,
  kShared16,
  kShared32,
  kOwn,
  kHandle8,
  kHandle16,
  kHandle24,
  kHandle32,
  kHandle64,
  kRealF,
  kReal,
  kInt8,
  kInt16,
  kInt32,
  kInt64,
  kPoint2F,
  kPoint3F,
  kPoint2,
  kPoint3,
  kTyped,
};

template <typename T>
T Load(const std::byte* at) {
  T value;
  std::memcpy(&value, at, sizeof value);
  return value;
}

// Decode's rare case, out of line.
const std::byte* DecodeTyped(const std::byte* at, const GroupStore* store, GroupView* view,
                             std::uint32_t* shared);

// Reads the group at `at` into *view; returns the first byte behind it. *shared gets a shared
// text's index. Inline: walks of entity data decode every group of every entity they read.
[[gnu::always_inline]] inline const std::byte* Decode(const std::byte* at, const GroupStore* store,
                                                      GroupView* view,
                                                      std::uint32_t* shared = nullptr) {
  auto header = Load<std::uint16_t>(at);
  if ((header >> 11) == kTyped) return DecodeTyped(at, store, view, shared);
  at += 2;
  view->is_handle = false;
  view->text = {};
  view->code = header & 0x7FF;
  view->type = GroupTypeOf(view->code);
  auto shared_text = [&](std::uint32_t index) {
    if (shared != nullptr) *shared = index;
    view->text = store->SharedAt(index)->text;
  };
  switch (static_cast<Form>(header >> 11)) {
    case kEmpty:
      return at;
    case kShared8:
      shared_text(Load<std::uint8_t>(at));
      return at + 1;
    case kShared16:
      shared_text(Load<std::uint16_t>(at));
      return at + 2;
    case kShared32:
      shared_text(Load<std::uint32_t>(at));
      return at + 4;
    case kOwn: {
      const auto n = Load<std::uint32_t>(at);
      const auto* text = reinterpret_cast<const wchar_t*>(
          (reinterpret_cast<std::uintptr_t>(at + 4) + 3) & ~std::uintptr_t{3});
      view->text = std::wstring_view(text, n);
      return reinterpret_cast<const std::byte*>(text + n);
    }
    case kHandle8:
      view->is_handle = true;
      view->handle = Load<std::uint8_t>(at);
      return at + 1;
    case kHandle16:
      view->is_handle = true;
      view->handle = Load<std::uint16_t>(at);
      return at + 2;
    case kHandle24:
      view->is_handle = true;
      view->handle = Load<std::uint16_t>(at) | std::uint64_t{Load<std::uint8_t>(at + 2)} << 16;
      return at + 3;
    case kHandle32:
      view->is_handle = true;
      view->handle = Load<std::uint32_t>(at);
      return at + 4;
    case kHandle64:
      view->is_handle = true;
      view->handle = Load<std::uint64_t>(at);
      return at + 8;
    case kRealF:
      view->real = Load<float>(at);
      return at + 4;
    case kReal:
      view->real = Load<double>(at);
      return at + 8;
    case kInt8:
      view->integer = Load<std::int8_t>(at);
      return at + 1;
    case kInt16:
      view->integer = Load<std::int16_t>(at);
      return at + 2;
    case kInt32:
      view->integer = Load<std::int32_t>(at);
      return at + 4;
    case kInt64:
      view->integer = Load<std::int64_t>(at);
      return at + 8;
    case kPoint2F:
      view->point = {Load<float>(at), Load<float>(at + 4), 0.0};
      return at + 8;
    case kPoint3F:
      view->point = {Load<float>(at), Load<float>(at + 4), Load<float>(at + 8)};
      return at + 12;
    case kPoint2:
      view->point = {Load<double>(at), Load<double>(at + 8), 0.0};
      return at + 16;
    case kPoint3:
      view->point = {Load<double>(at), Load<double>(at + 8), Load<double>(at + 16)};
      return at + 24;
    case kTyped:
      break;
  }
  return at;
}

}  // namespace packed

// One entity's groups in file order, packed. Copies share the immutable bytes.
class GroupList {
 public:
  friend class GroupPacker;

  class Iterator {
   public:
    using iterator_category = std::input_iterator_tag;
    using value_type = Group;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = Group;

    Iterator() = default;
    Group operator*() const;
    Iterator& operator++();
    Iterator operator++(int) {
      Iterator old = *this;
      ++*this;
      return old;
    }
    bool operator==(const Iterator& o) const { return left_ == o.left_; }
    // The code of the group at hand, without decoding it.
    int code() const;

   private:
    friend class GroupList;
    Iterator(const std::byte* at, std::uint32_t left, const GroupStore* store)
        : at_(at), left_(left), store_(store) {}
    const std::byte* at_ = nullptr;
    std::uint32_t left_ = 0;
    const GroupStore* store_ = nullptr;
  };

  // Reads the groups one after another as views, cheaply.
  class Cursor {
   public:
    explicit Cursor(const GroupList& list);
    // The next group into *view; false after the last.
    [[gnu::always_inline]] bool Next(GroupView* view) {
      if (left_ == 0) return false;
      at_ = packed::Decode(at_, store_, view);
      --left_;
      return true;
    }
    // How many groups are still to come.
    std::uint32_t left() const { return left_; }

   private:
    const std::byte* at_;
    std::uint32_t left_;
    const GroupStore* store_;
  };

  GroupList() = default;
  GroupList(const GroupList& other) : data_(other.data_) {
    if (data_ != nullptr) store()->Retain();
  }
  GroupList(GroupList&& other) noexcept : data_(other.data_) { other.data_ = nullptr; }
  GroupList& operator=(const GroupList& other) {
    GroupList copy(other);
    Swap(copy);
    return *this;
  }
  GroupList& operator=(GroupList&& other) noexcept {
    GroupList moved(std::move(other));
    Swap(moved);
    return *this;
  }
  ~GroupList() {
    if (data_ != nullptr) store()->Release();
  }
  // Packs groups into store. Throws std::out_of_range for a code outside 0..2047, which the
  // packing cannot hold (a reader gives 0..1071).
  GroupList(const std::vector<Group>& groups, std::shared_ptr<GroupStore> store);

  std::size_t size() const;
  bool empty() const { return size() == 0; }
  // The i-th group, decoded (a walk from the first). REQUIRES: i < size().
  Group operator[](std::size_t i) const;
  Group front() const { return (*this)[0]; }
  Iterator begin() const;
  Iterator end() const { return Iterator(); }

  friend bool operator==(const GroupList& a, const GroupList& b);

 private:
  // A 32-bit group count, then the packed groups.
  explicit GroupList(const std::byte* data) : data_(data) {}
  void Swap(GroupList& other) noexcept { std::swap(data_, other.data_); }
  // The store is named at the start of the aligned chunk the bytes lie in, so that a list, of
  // which a big drawing holds hundreds of thousands, is one pointer.
  const GroupStore* store() const {
    const auto chunk = reinterpret_cast<std::uintptr_t>(data_) & ~(GroupStore::kChunk - 1);
    return *reinterpret_cast<const GroupStore* const*>(chunk);
  }

  const std::byte* data_ = nullptr;
};

// How a text group went into a list, so that the same text under the same code can go in
// again without being looked at.
struct PackedText {
  enum Kind : std::uint8_t { kEmpty, kShared, kOwn, kHandle };
  Kind kind = kEmpty;
  std::uint64_t value = 0;  // the shared text's index, or the handle
};

// A text group's packed bytes (header and value), to go into lists again as they are.
struct PackedBytes {
  std::byte bytes[16] = {};
  std::size_t size = 0;
};

// Packs one list at a time into a store, group by group as they are read, so that a reader
// needs no Group object per group. Lists come out exactly as GroupList's constructor packs the
// same groups.
class GroupPacker {
 public:
  explicit GroupPacker(std::shared_ptr<GroupStore> store) : store_(std::move(store)) {}
  GroupPacker(const GroupPacker&) = delete;
  GroupPacker& operator=(const GroupPacker&) = delete;

  // Starts a list, dropping whatever was added since the last Finish().
  void Begin() {
    used_ = 4;
    count_ = 0;
  }
  // Throws std::out_of_range for a code outside 0..2047.
  void Add(const Group& group);
  // The Add*() below take codes of 0..2047 whose own type (GroupTypeOf) the value has.
  PackedText AddText(int code, std::wstring_view text);
  // The same for an ASCII text, each byte a character. REQUIRES: code is one whose texts are
  // kept apart (contents 1 and 3, own handles 5 and 105) and text no plain handle under it.
  void AddOwnAscii(int code, std::string_view text);
  // REQUIRES: packed came from AddText() of this packer under the same code and is not kOwn.
  void AddAgain(int code, PackedText packed) { AddBytes(Encode(code, packed)); }
  // How AddAgain() packs packed under code.
  static PackedBytes Encode(int code, PackedText packed);
  // REQUIRES: bytes came from Encode() for this packer's store.
  void AddBytes(const PackedBytes& bytes) {
    std::memcpy(Room(sizeof bytes.bytes), bytes.bytes, sizeof bytes.bytes);
    used_ += bytes.size;
    ++count_;
  }
  void AddReal(int code, double value);
  void AddInteger(int code, std::int64_t value);
  void AddPoint(int code, const Point3& point);
  // The list of the groups added since Begin(); empty when there were none.
  GroupList Finish();

  GroupStore& store() const { return *store_; }

 private:
  // Room for a group of at most `most` bytes (header and padding included) behind those added.
  std::byte* Room(std::size_t most) { return store_->Scratch(used_ + most) + used_; }
  void Added(const std::byte* begin, const std::byte* end) {
    used_ += static_cast<std::size_t>(end - begin);
    ++count_;
  }

  std::shared_ptr<GroupStore> store_;
  std::size_t used_ = 4;
  std::uint32_t count_ = 0;
};

}  // namespace gm::dxf
