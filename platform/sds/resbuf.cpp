// Result-buffer lists: building, freeing and the value kind of each code.
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "platform/dxf/group.h"
#include "platform/sds/sds.h"

SdsValueKind SdsKindOfCode(int code) {
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

namespace {

wchar_t* DupString(const wchar_t* s) {
  if (s == nullptr) s = L"";
  size_t n = std::wcslen(s) + 1;
  auto* copy = static_cast<wchar_t*>(std::malloc(n * sizeof(wchar_t)));
  if (copy != nullptr) std::wmemcpy(copy, s, n);
  return copy;
}

}  // namespace

extern "C" {

struct sds_resbuf* sds_newrb(int type) {
  auto* rb = static_cast<sds_resbuf*>(std::calloc(1, sizeof(sds_resbuf)));
  if (rb != nullptr) rb->restype = static_cast<short>(type);
  return rb;
}

int sds_relrb(struct sds_resbuf* list) {
  while (list != nullptr) {
    sds_resbuf* next = list->rbnext;
    if (SdsKindOfCode(list->restype) == SdsValueKind::kText) std::free(list->resval.rstring);
    std::free(list);
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
        rb->resval.rstring = DupString(va_arg(args, const wchar_t*));
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
