// Result-buffer lists: building, freeing and the value kind of each code.
//
// Entity data lists are built and freed once per entity read, so their nodes are recycled
// instead of going back to the heap: sds_relrb keeps released nodes on a free list that
// sds_newrb draws from. A node keeps the short text buffer it last carried as a spare for
// its next text, so texts cost no heap call either. Every text handed out stays a buffer of
// its own from malloc, which a caller may free or replace as before.
#include <malloc.h>

#include <algorithm>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "platform/dxf/group.h"
#include "platform/sds/host.h"
#include "platform/sds/sds.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define GM_POISON(p, n) ASAN_POISON_MEMORY_REGION(p, n)
#define GM_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION(p, n)
#else
#define GM_POISON(p, n) ((void)(p), (void)(n))
#define GM_UNPOISON(p, n) ((void)(p), (void)(n))
#endif

namespace {

SdsValueKind KindOfCodeSlow(int code) {
  switch (code) {
    case RTSTR:
    case RTDXF0:
      return SdsValueKind::kText;
    case RTREAL:
    case RTANG:
    case RTORINT:
      return SdsValueKind::kReal;
    case RTPOINT:
    case RT3DPOINT:
      return SdsValueKind::kPoint;
    case RTSHORT:
      return SdsValueKind::kShort;
    case RTLONG:
      return SdsValueKind::kLong;
    case RTENAME:
    case RTPICKS:
      return SdsValueKind::kName;
    case RTNONE:
    case RTVOID:
    case RTLB:
    case RTLE:
    case RTDOTE:
    case RTNIL:
    case RTT:
      return SdsValueKind::kNone;
    default:
      break;
  }
  if (code == -1 || code == -2) return SdsValueKind::kName;
  if (code == -4) return SdsValueKind::kText;
  // Group codes take their kind from the reader's table, so both read a file alike.
  if (code < 0 || !gm::dxf::IsListedCode(code)) return SdsValueKind::kNone;
  if (gm::dxf::IsReferenceCode(code)) return SdsValueKind::kName;
  switch (gm::dxf::GroupTypeOf(code)) {
    case gm::dxf::GroupType::kString:
      return SdsValueKind::kText;
    case gm::dxf::GroupType::kDouble:
      return SdsValueKind::kReal;
    case gm::dxf::GroupType::kInt16:
    case gm::dxf::GroupType::kBool:
      return SdsValueKind::kShort;
    case gm::dxf::GroupType::kInt32:
    case gm::dxf::GroupType::kInt64:
      return SdsValueKind::kLong;
    case gm::dxf::GroupType::kPoint:
      return SdsValueKind::kPoint;
  }
  return SdsValueKind::kNone;
}

// sds.h cannot include the reader's headers; the two counts must agree.
static_assert(kSdsGroupCodes == gm::dxf::kGroupCodeCount);

struct KindTable {
  SdsValueKind kinds[kSdsGroupCodes];
};

KindTable BuildKindTable() {
  KindTable t{};
  for (int code = 0; code < kSdsGroupCodes; ++code) t.kinds[code] = KindOfCodeSlow(code);
  return t;
}

const KindTable kKindTable = BuildKindTable();

}  // namespace

// Filled before main from the reader's constant tables, so a lookup needs no first-use check.
const SdsValueKind* const kSdsGroupKinds = kKindTable.kinds;

SdsValueKind SdsKindOfOtherCode(int code) { return KindOfCodeSlow(code); }

namespace {

// A result buffer as sds_newrb hands it out, with what the recycling needs behind it.
struct Node {
  sds_resbuf rb;
  Node* next_free;
  wchar_t* spare;  // a text buffer of spare_chars characters, kept for the next text
  std::size_t spare_chars;
};
static_assert(offsetof(Node, rb) == 0);

// Longer texts go back to the heap rather than sit idle in a released node.
constexpr std::size_t kSpareBytes = 256;
// A new text buffer has room for a short text at least: type, layer and class names mostly
// fit, so a recycled node serves the next list's text without a heap call.
constexpr std::size_t kShortTextChars = 24;
// Released nodes kept per thread; beyond this they go back to the heap, so a huge list
// freed once does not hold its memory for good.
constexpr std::size_t kKeptNodes = 4096;

Node* NodeOf(sds_resbuf* rb) { return reinterpret_cast<Node*>(rb); }

void Discard(Node* node) {
  std::free(node->spare);
  std::free(node);
}

// Each thread keeps its own released nodes, so building and freeing lists takes no lock; a
// list may be freed on another thread than built it, which only moves nodes between pools.
class Pool {
 public:
  Pool() = default;
  Pool(const Pool&) = delete;
  Pool& operator=(const Pool&) = delete;
  ~Pool() {
    while (Node* node = Pop()) Discard(node);
  }
  Node* Pop() {
    Node* node = free_;
    if (node != nullptr) {
      GM_UNPOISON(&node->rb, sizeof(sds_resbuf));
      free_ = node->next_free;
      --count_;
    }
    return node;
  }
  void Push(Node* node) {
    if (count_ >= kKeptNodes) {
      Discard(node);
      return;
    }
    node->next_free = free_;
    free_ = node;
    ++count_;
    // A use after sds_relrb shows up under the address sanitizer, as it would with free().
    GM_POISON(&node->rb, sizeof(sds_resbuf));
  }

 private:
  Node* free_ = nullptr;
  std::size_t count_ = 0;
};

Pool& ThreadPool() {
  thread_local Pool pool;
  return pool;
}

wchar_t* DupString(sds_resbuf* rb, const wchar_t* s) {
  if (s == nullptr) s = L"";
  std::size_t n = std::wcslen(s);
  wchar_t* copy = sds_host::TextBuffer(rb, n);
  if (copy != nullptr) std::wmemcpy(copy, s, n + 1);
  return copy;
}

}  // namespace

wchar_t* sds_host::TextBuffer(sds_resbuf* rb, std::size_t length) {
  Node* node = NodeOf(rb);
  wchar_t* text = nullptr;
  if (node->spare != nullptr && length < node->spare_chars) {
    text = node->spare;
    node->spare = nullptr;
  } else {
    // A spare too small for this text would stay too small for the next ones of its kind,
    // so it gives way to a buffer with room for them.
    std::free(node->spare);
    node->spare = nullptr;
    const std::size_t chars = std::max(length + 1, kShortTextChars);
    text = static_cast<wchar_t*>(std::malloc(chars * sizeof(wchar_t)));
    if (text == nullptr) return nullptr;
  }
  text[length] = L'\0';
  rb->resval.rstring = text;
  return text;
}

namespace {

// A clean node from the pool, else from the heap; nullptr when out of memory.
Node* TakeNode(Pool& pool) {
  Node* node = pool.Pop();
  if (node == nullptr) {
    node = static_cast<Node*>(std::malloc(sizeof(Node)));
    if (node == nullptr) return nullptr;
    node->spare = nullptr;
    node->spare_chars = 0;
  }
  std::memset(&node->rb, 0, sizeof(sds_resbuf));
  return node;
}

}  // namespace

sds_resbuf* sds_host::NewList(std::size_t n) {
  Pool& pool = ThreadPool();
  sds_resbuf* head = nullptr;
  sds_resbuf** link = &head;
  for (std::size_t i = 0; i < n; ++i) {
    Node* node = TakeNode(pool);
    if (node == nullptr) {
      sds_relrb(head);
      return nullptr;
    }
    *link = &node->rb;
    link = &node->rb.rbnext;
  }
  return head;
}

extern "C" {

struct sds_resbuf* sds_newrb(int type) {
  Node* node = TakeNode(ThreadPool());
  if (node == nullptr) return nullptr;
  node->rb.restype = static_cast<short>(type);
  return &node->rb;
}

int sds_relrb(struct sds_resbuf* list) {
  Pool& pool = ThreadPool();
  while (list != nullptr) {
    sds_resbuf* next = list->rbnext;
    Node* node = NodeOf(list);
    wchar_t* text =
        SdsKindOfCode(list->restype) == SdsValueKind::kText ? list->resval.rstring : nullptr;
    if (text != nullptr) {
      // The text may be one the caller put there, so its size is asked of the heap.
      std::size_t bytes = node->spare == nullptr ? malloc_usable_size(text) : 0;
      if (bytes != 0 && bytes <= kSpareBytes) {
        node->spare = text;
        node->spare_chars = bytes / sizeof(wchar_t);
      } else {
        std::free(text);
      }
    }
    pool.Push(node);
    list = next;
  }
  return RTNORM;
}

struct sds_resbuf* sds_buildlist(int rtype, ...) {
  va_list args;
  va_start(args, rtype);
  sds_resbuf* head = nullptr;
  sds_resbuf* tail = nullptr;
  for (int code = rtype; code != 0; code = va_arg(args, int)) {
    sds_resbuf* rb = sds_newrb(code);
    if (rb == nullptr) {
      sds_relrb(head);
      va_end(args);
      return nullptr;
    }
    switch (SdsKindOfCode(code)) {
      case SdsValueKind::kText:
        DupString(rb, va_arg(args, const wchar_t*));
        break;
      case SdsValueKind::kShort:
        rb->resval.rint = static_cast<short>(va_arg(args, int));
        break;
      case SdsValueKind::kLong:
        rb->resval.rlong = va_arg(args, int);
        break;
      case SdsValueKind::kReal:
        rb->resval.rreal = va_arg(args, double);
        break;
      case SdsValueKind::kPoint: {
        const sds_real* p = va_arg(args, const sds_real*);
        for (int i = 0; i < 3; ++i) rb->resval.rpoint[i] = p ? p[i] : 0.0;
        break;
      }
      case SdsValueKind::kName: {
        const long long* n = va_arg(args, const long long*);
        rb->resval.rlname[0] = n ? n[0] : 0;
        rb->resval.rlname[1] = n ? n[1] : 0;
        break;
      }
      case SdsValueKind::kNone:
        break;
    }
    if (tail == nullptr) {
      head = rb;
    } else {
      tail->rbnext = rb;
    }
    tail = rb;
  }
  va_end(args);
  return head;
}

void sds_free(void* memory) { std::free(memory); }

}  // extern "C"
