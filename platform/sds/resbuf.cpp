// Result-buffer lists: building, freeing and the value kind of each code.
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <cwchar>

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
  if (code < 0) return SdsValueKind::kNone;
  if (code <= 9) return SdsValueKind::kText;
  if (code <= 18) return SdsValueKind::kPoint;
  if (code <= 37) return SdsValueKind::kReal;  // lone y or z components
  if (code <= 59) return SdsValueKind::kReal;
  if (code <= 79) return SdsValueKind::kShort;
  if (code <= 89) return SdsValueKind::kNone;
  if (code <= 99) return SdsValueKind::kLong;
  if (code == 100 || code == 102 || code == 105) return SdsValueKind::kText;
  if (code >= 110 && code <= 112) return SdsValueKind::kPoint;
  if (code >= 113 && code <= 149) return SdsValueKind::kReal;
  if (code >= 160 && code <= 169) return SdsValueKind::kLong;
  if (code >= 170 && code <= 179) return SdsValueKind::kShort;
  if (code == 210) return SdsValueKind::kPoint;
  if (code >= 211 && code <= 239) return SdsValueKind::kReal;
  if (code >= 270 && code <= 299) return SdsValueKind::kShort;
  if (code >= 300 && code <= 329) return SdsValueKind::kText;
  if (code >= 330 && code <= 369) return SdsValueKind::kName;
  if (code >= 370 && code <= 389) return SdsValueKind::kShort;
  if (code >= 390 && code <= 399) return SdsValueKind::kName;
  if (code >= 400 && code <= 409) return SdsValueKind::kShort;
  if (code >= 410 && code <= 419) return SdsValueKind::kText;
  if (code >= 420 && code <= 429) return SdsValueKind::kLong;
  if (code >= 430 && code <= 439) return SdsValueKind::kText;
  if (code >= 440 && code <= 459) return SdsValueKind::kLong;
  if (code >= 460 && code <= 469) return SdsValueKind::kReal;
  if (code >= 470 && code <= 479) return SdsValueKind::kText;
  if (code == 480 || code == 481) return SdsValueKind::kName;
  if (code == 999) return SdsValueKind::kText;
  if (code >= 1000 && code <= 1009) return SdsValueKind::kText;
  if (code >= 1010 && code <= 1013) return SdsValueKind::kPoint;
  if (code >= 1014 && code <= 1059) return SdsValueKind::kReal;
  if (code >= 1060 && code <= 1070) return SdsValueKind::kShort;
  if (code == 1071) return SdsValueKind::kLong;
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
