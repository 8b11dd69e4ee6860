// A packed entity: a 32-bit group count, then for each group 16 bits of header (the code in
// the low 11, the form in the top 5) and the value as the form says, in the fewest bytes that
// give it back exactly:
//   empty text         nothing
//   shared text        8-, 16- or 32-bit index into the store's texts (names, markers, layers)
//   own text           32-bit length, then that many wchar_t from the next multiple of 4
//                      (contents, seldom repeated)
//   handle             8 to 64 bits, for a handle text written as the drawing writes it
//   real               a float when the double is one exactly, else the double's 8 bytes
//   integer            8, 16, 32 or 64 bits
//   point              x and y, and z unless it is +0.0; floats when all are exactly floats
//   typed              a byte with the group type, then the group packed as usual: only for a
//                      type other than the code's own, which the reader never gives
// Entities start at a multiple of 4 bytes, so own texts stay aligned for wchar_t; other values
// are copied in and out byte-wise.
#include "platform/dxf/group_list.h"

#include <sys/mman.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>

namespace gm::dxf {

namespace packed {

// A group packed under a type other than its code's: the type byte, then the group.
const std::byte* DecodeTyped(const std::byte* at, const GroupStore* store, GroupView* view,
                             std::uint32_t* shared) {
  const auto type = static_cast<GroupType>(at[2]);
  at = Decode(at + 3, store, view, shared);
  view->type = type;
  return at;
}

}  // namespace packed

namespace {

using namespace packed;

// Handles are stored as their low bytes.
static_assert(std::endian::native == std::endian::little);

constexpr std::size_t kChunk = GroupStore::kChunk;
// Room at an arena's start for the store's address, keeping lists aligned to 8.
constexpr std::size_t kChunkHeader = 16;

// Fresh zero pages of size bytes (a multiple of kChunk), aligned to kChunk.
std::byte* MapChunk(std::size_t size) {
  void* p =
      ::mmap(nullptr, size + kChunk, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) throw std::bad_alloc();
  const auto first = reinterpret_cast<std::uintptr_t>(p);
  const std::uintptr_t aligned = (first + kChunk - 1) & ~(kChunk - 1);
  if (aligned > first) ::munmap(p, aligned - first);
  const std::uintptr_t tail = first + size + kChunk - (aligned + size);
  if (tail > 0) ::munmap(reinterpret_cast<void*>(aligned + size), tail);
  return reinterpret_cast<std::byte*>(aligned);
}

template <typename T>
std::byte* Store(std::byte* at, T value) {
  std::memcpy(at, &value, sizeof value);
  return at + sizeof value;
}

template <typename Char>
bool PlainHandle(std::basic_string_view<Char> text, std::uint64_t* handle) {
  if (text.empty() || text.size() > 16 || (text.size() > 1 && text[0] == '0')) return false;
  std::uint64_t value = 0;
  for (const Char c : text) {
    int digit = 0;
    if (c >= '0' && c <= '9') {
      digit = static_cast<int>(c - '0');
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

// Contents and own handles differ from entity to entity: sharing them would only cost.
bool OwnText(int code) { return code == 1 || code == 3 || code == 5 || code == 105; }

bool PlusZero(double z) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, &z, sizeof bits);
  return bits == 0;
}

Form IntegerForm(std::int64_t v) {
  if (v >= -128 && v <= 127) return kInt8;
  if (v >= INT16_MIN && v <= INT16_MAX) return kInt16;
  if (v >= INT32_MIN && v <= INT32_MAX) return kInt32;
  return kInt64;
}

// True when d is exactly a float, which then comes back bit for bit (-0.0 too).
bool AsFloat(double d, float* f) {
  if (!(d >= -3.4e38 && d <= 3.4e38)) return false;
  *f = static_cast<float>(d);
  const double back = *f;
  return std::memcmp(&back, &d, sizeof d) == 0;
}

// The group the packed bytes at `at` stand for; *next is set behind it.
Group Materialize(const std::byte* at, const GroupStore* store, const std::byte** next) {
  GroupView v;
  std::uint32_t index = UINT32_MAX;
  *next = Decode(at, store, &v, &index);
  switch (v.type) {
    case GroupType::kString:
      if (v.is_handle) return Group::Text(v.code, FormatHandle(v.handle));
      if (index != UINT32_MAX) {
        SharedText* shared = store->SharedAt(index);
        shared->refs.fetch_add(1, std::memory_order_relaxed);
        return Group::Shared(v.code, shared);
      }
      return Group::Text(v.code, std::wstring(v.text));
    case GroupType::kDouble:
      return Group::Real(v.code, v.real);
    case GroupType::kPoint:
      return Group::MakePoint(v.code, v.point);
    default:
      return Group::Integer(v.code, v.type, v.integer);
  }
}

}  // namespace

std::wstring FormatHandle(std::uint64_t handle) {
  std::wstring out(HandleDigits(handle), L'0');
  WriteHandle(handle, out.data());
  return out;
}

bool IsPlainHandle(std::string_view text, std::uint64_t* handle) {
  return PlainHandle(text, handle);
}
bool IsPlainHandle(std::wstring_view text, std::uint64_t* handle) {
  return PlainHandle(text, handle);
}

GroupStore::~GroupStore() {
  for (SharedText* t : texts_) Group::Shared(0, t);  // gives the store's reference back
  for (const Chunk& c : chunks_) {
    if (c.at != nullptr) ::munmap(c.at, c.size);
  }
}

void GroupStore::Retain(std::shared_ptr<GroupStore> self) {
  // Only from 0, when no list exists that another thread could copy at the same time.
  if (lists_.fetch_add(1, std::memory_order_relaxed) == 0) self_ = std::move(self);
}

void GroupStore::Release() const {
  if (lists_.fetch_sub(1, std::memory_order_acq_rel) == 1) {
    // May destroy this store: nothing of it is touched after.
    std::shared_ptr<GroupStore> last = std::move(self_);
  }
}

std::byte* GroupStore::Grow(std::size_t n) {
  const std::size_t size = std::max(n, 2 * scratch_size_);
  auto grown = std::make_unique_for_overwrite<std::byte[]>(size);
  if (scratch_size_ > 0) std::memcpy(grown.get(), scratch_.get(), scratch_size_);
  scratch_ = std::move(grown);
  scratch_size_ = size;
  return scratch_.get();
}

std::byte* GroupStore::Allocate(std::size_t n) {
  n = (n + 3) & ~std::size_t{3};
  if (n > left_) {
    // A giant entity keeps an arena of its own.
    const bool giant = n > kChunk / 4;
    const std::size_t size = giant ? (n + kChunkHeader + kChunk - 1) & ~(kChunk - 1) : kChunk;
    chunks_.push_back({nullptr, size});
    std::byte* chunk = MapChunk(size);
    chunks_.back().at = chunk;
    Store(chunk, static_cast<const GroupStore*>(this));
    if (giant) return chunk + kChunkHeader;
    next_ = chunk + kChunkHeader;
    left_ = size - kChunkHeader;
  }
  std::byte* at = next_;
  next_ += n;
  left_ -= n;
  return at;
}

std::uint32_t GroupStore::Intern(const Group& group) {
  SharedText* text = const_cast<SharedText*>(group.shared_text());
  Seen& seen = seen_[(reinterpret_cast<std::uintptr_t>(text) >> 4) % seen_.size()];
  // A text this store holds cannot be freed and made anew at the same address meanwhile.
  if (seen.text == text) return seen.index;
  std::uint32_t index = 0;
  if (auto it = index_.find(group.text()); it != index_.end()) {
    index = it->second;
  } else {
    // Kept as it is, not copied: the reader made it once already.
    text->refs.fetch_add(1, std::memory_order_relaxed);
    texts_.push_back(text);
    index = static_cast<std::uint32_t>(texts_.size() - 1);
    index_.emplace(text->text, index);
  }
  if (texts_[index] == text) seen = {text, index};
  return index;
}

std::uint32_t GroupStore::Intern(std::wstring_view text) {
  if (auto it = index_.find(text); it != index_.end()) return it->second;
  auto* shared = new SharedText;
  shared->text.assign(text);
  texts_.push_back(shared);
  const auto index = static_cast<std::uint32_t>(texts_.size() - 1);
  index_.emplace(shared->text, index);
  return index;
}

std::string_view GroupStore::InternType(std::string_view type) {
  // Entities of one type mostly follow each other.
  if (last_type_ != nullptr && *last_type_ == type) return *last_type_;
  for (const auto& t : types_) {
    if (*t == type) {
      last_type_ = t.get();
      return *t;
    }
  }
  // Types are few; a file of countless distinct ones still gets each kept once per record.
  if (types_.size() >= 256) {
    auto* own = reinterpret_cast<char*>(Allocate(type.size()));
    std::memcpy(own, type.data(), type.size());
    return std::string_view(own, type.size());
  }
  types_.push_back(std::make_unique<std::string>(type));
  return *types_.back();
}

GroupList::GroupList(const std::vector<Group>& groups, std::shared_ptr<GroupStore> store) {
  GroupPacker packer(std::move(store));
  for (const Group& g : groups) packer.Add(g);
  *this = packer.Finish();
}

namespace {

std::byte* Header(std::byte* at, int code, Form form) {
  return Store(at, static_cast<std::uint16_t>(code | form << 11));
}

std::byte* StoreInteger(std::byte* at, Form form, std::int64_t v) {
  switch (form) {
    case kInt8:
      return Store(at, static_cast<std::int8_t>(v));
    case kInt16:
      return Store(at, static_cast<std::int16_t>(v));
    case kInt32:
      return Store(at, static_cast<std::int32_t>(v));
    default:
      return Store(at, v);
  }
}

std::byte* StoreOwn(std::byte* at, std::wstring_view text) {
  at = Store(at, static_cast<std::uint32_t>(text.size()));
  while ((reinterpret_cast<std::uintptr_t>(at) & 3) != 0) *at++ = std::byte{0};
  std::memcpy(at, text.data(), text.size() * sizeof(wchar_t));
  return at + text.size() * sizeof(wchar_t);
}

// The most a text group takes: header, type byte, length, padding and its characters.
std::size_t TextRoom(std::size_t length) {
  return 2 + 1 + 4 + 3 + std::max<std::size_t>(length * sizeof(wchar_t), 8);
}

}  // namespace

void GroupPacker::Add(const Group& g) {
  if (g.code() < 0 || g.code() > 0x7FF) {
    throw std::out_of_range("group code " + std::to_string(g.code()) + " cannot be packed");
  }
  if (g.type() != GroupTypeOf(g.code())) {
    // Only groups made by hand carry a type other than their code's; the escape is no group.
    std::byte* at = Room(3);
    Store(Header(at, g.code(), kTyped), static_cast<std::uint8_t>(g.type()));
    used_ += 3;
  }
  switch (g.type()) {
    case GroupType::kString:
      if (g.shared_text() != nullptr && !OwnText(g.code()) && !IsHandleCode(g.code())) {
        // Interned by the text's address, which a reader's groups share, not by its hash.
        AddAgain(g.code(), {PackedText::kShared, store_->Intern(g)});
      } else {
        AddText(g.code(), g.text());
      }
      return;
    case GroupType::kDouble:
      AddReal(g.code(), g.real());
      return;
    case GroupType::kPoint:
      AddPoint(g.code(), g.point());
      return;
    default:
      AddInteger(g.code(), g.integer());
      return;
  }
}

PackedText GroupPacker::AddText(int code, std::wstring_view text) {
  PackedText packed;
  std::uint64_t handle = 0;
  if (text.empty()) {
    packed.kind = PackedText::kEmpty;
  } else if (IsHandleCode(code) && PlainHandle(text, &handle)) {
    packed = {PackedText::kHandle, handle};
  } else if (OwnText(code)) {
    std::byte* at = Room(TextRoom(text.size()));
    std::byte* const begin = at;
    at = StoreOwn(Header(at, code, kOwn), text);
    Added(begin, at);
    return {PackedText::kOwn, 0};
  } else {
    packed = {PackedText::kShared, store_->Intern(text)};
  }
  AddAgain(code, packed);
  return packed;
}

void GroupPacker::AddOwnAscii(int code, std::string_view text) {
  std::byte* at = Room(TextRoom(text.size()));
  std::byte* const begin = at;
  at = Store(Header(at, code, kOwn), static_cast<std::uint32_t>(text.size()));
  while ((reinterpret_cast<std::uintptr_t>(at) & 3) != 0) *at++ = std::byte{0};
  auto* out = reinterpret_cast<wchar_t*>(at);
  for (const char c : text) *out++ = static_cast<wchar_t>(static_cast<unsigned char>(c));
  Added(begin, reinterpret_cast<std::byte*>(out));
}

PackedBytes GroupPacker::Encode(int code, PackedText packed) {
  PackedBytes out;
  std::byte* at = out.bytes;
  const std::uint64_t v = packed.value;
  switch (packed.kind) {
    case PackedText::kShared:
      at = v <= 0xFF     ? Store(Header(at, code, kShared8), static_cast<std::uint8_t>(v))
           : v <= 0xFFFF ? Store(Header(at, code, kShared16), static_cast<std::uint16_t>(v))
                         : Store(Header(at, code, kShared32), static_cast<std::uint32_t>(v));
      break;
    case PackedText::kHandle: {
      const int n = v <= 0xFF ? 1 : v <= 0xFFFF ? 2 : v <= 0xFFFFFF ? 3 : v <= 0xFFFFFFFF ? 4 : 8;
      at = Header(at, code, n == 8 ? kHandle64 : static_cast<Form>(kHandle8 + n - 1));
      std::memcpy(at, &v, static_cast<std::size_t>(n));  // the low bytes: little-endian
      at += n;
      break;
    }
    default:
      at = Header(at, code, kEmpty);
      break;
  }
  out.size = static_cast<std::size_t>(at - out.bytes);
  return out;
}

void GroupPacker::AddReal(int code, double value) {
  std::byte* at = Room(2 + 8);
  std::byte* const begin = at;
  float f = 0;
  at = AsFloat(value, &f) ? Store(Header(at, code, kRealF), f)
                          : Store(Header(at, code, kReal), value);
  Added(begin, at);
}

void GroupPacker::AddInteger(int code, std::int64_t value) {
  std::byte* at = Room(2 + 8);
  std::byte* const begin = at;
  const Form form = IntegerForm(value);
  at = StoreInteger(Header(at, code, form), form, value);
  Added(begin, at);
}

void GroupPacker::AddPoint(int code, const Point3& point) {
  std::byte* at = Room(2 + 24);
  std::byte* const begin = at;
  const bool flat = PlusZero(point.z);
  float x = 0;
  float y = 0;
  float z = 0;
  if (AsFloat(point.x, &x) && AsFloat(point.y, &y) && (flat || AsFloat(point.z, &z))) {
    at = Store(Store(Header(at, code, flat ? kPoint2F : kPoint3F), x), y);
    if (!flat) at = Store(at, z);
  } else {
    at = Store(Store(Header(at, code, flat ? kPoint2 : kPoint3), point.x), point.y);
    if (!flat) at = Store(at, point.z);
  }
  Added(begin, at);
}

GroupList GroupPacker::Finish() {
  if (count_ == 0) return GroupList();
  // Packed into the scratch and copied into the arena whole: sizing first would work out every
  // group's form twice. The scratch starts aligned like an arena list, so own texts get the
  // same padding in both.
  std::byte* scratch = store_->Scratch(used_);
  Store(scratch, count_);
  std::byte* at = store_->Allocate(used_);
  std::memcpy(at, scratch, used_);
  store_->Retain(store_);
  GroupList list(at);
  Begin();
  return list;
}

std::size_t GroupList::size() const { return data_ == nullptr ? 0 : Load<std::uint32_t>(data_); }

Group GroupList::operator[](std::size_t i) const {
  Iterator it = begin();
  for (; i > 0; --i) ++it;
  return *it;
}

GroupList::Iterator GroupList::begin() const {
  if (data_ == nullptr) return Iterator();
  return Iterator(data_ + 4, Load<std::uint32_t>(data_), store());
}

Group GroupList::Iterator::operator*() const {
  const std::byte* next = nullptr;
  return Materialize(at_, store_, &next);
}

int GroupList::Iterator::code() const { return Load<std::uint16_t>(at_) & 0x7FF; }

GroupList::Iterator& GroupList::Iterator::operator++() {
  GroupView v;
  at_ = Decode(at_, store_, &v);
  --left_;
  return *this;
}

GroupList::Cursor::Cursor(const GroupList& list)
    : at_(list.data_ == nullptr ? nullptr : list.data_ + 4),
      left_(list.data_ == nullptr ? 0 : Load<std::uint32_t>(list.data_)),
      store_(list.data_ == nullptr ? nullptr : list.store()) {}

bool operator==(const GroupList& a, const GroupList& b) {
  if (a.size() != b.size()) return false;
  for (auto i = a.begin(), j = b.begin(); i != a.end(); ++i, ++j) {
    if (!(*i == *j)) return false;
  }
  return true;
}

}  // namespace gm::dxf
