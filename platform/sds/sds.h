// The CAD host's SDS interface, as the plug-in sees it: an ADS-compatible C
// interface with wide text. Entity data travel as linked result-buffer lists
// whose value kind follows from the group (or result type) code.
#pragma once

#include <cstddef>

#include "platform/win/wintypes.h"

extern "C" {

typedef double sds_real;
typedef sds_real sds_point[3];
typedef long long sds_name[2];  // entity or selection-set name: two words

// Result types (values of restype that are not group codes).
enum {
  RTNONE = 5000,
  RTREAL = 5001,
  RTPOINT = 5002,
  RTSHORT = 5003,
  RTANG = 5004,
  RTSTR = 5005,
  RTENAME = 5006,
  RTPICKS = 5007,
  RTORINT = 5008,
  RT3DPOINT = 5009,
  RTLONG = 5010,
  RTVOID = 5014,
  RTLB = 5016,
  RTLE = 5017,
  RTDOTE = 5018,
  RTNIL = 5019,
  RTDXF0 = 5020,  // group 0 (the entity type) in filters and lists
  RTT = 5021,
};

// Status codes.
enum {
  RTNORM = 5100,
  RTERROR = -5001,
  RTCAN = -5002,
  RTREJ = -5003,
  RTFAIL = -5004,
  RTKWORD = -5005,
};

// Requests of the older host's link loop.
enum { RQXLOAD = 100, RQXUNLD = 101, RQSUBR = 102 };
// Messages of the newer host's entry function.
enum { SDS_RQXLOAD = 1, SDS_RQXUNLD = 2, SDS_RQSUBR = 5 };

union sds_u_val {
  sds_real rreal;
  sds_real rpoint[3];
  short rint;
  wchar_t* rstring;
  long long rlname[2];
  int rlong;
};

struct sds_resbuf {
  struct sds_resbuf* rbnext;
  short restype;
  union sds_u_val resval;
};

// Entry points of the plug-in (one of the two per build).
int icrxEntryPoint(int message);
void SDS_EntryPoint(void);

int SDS_GetGlobals(wchar_t* appName, int size, HWND* mainWindow, HINSTANCE* instance);

int sds_defun(const wchar_t* name, short code);
int sds_undef(const wchar_t* name, short code);
int sds_getfuncode(void);
int sds_retvoid(void);
int sds_fail(const wchar_t* message);
int sds_printf(const wchar_t* format, ...);
int sds_alert(const wchar_t* message);
int sds_sendmessage(const wchar_t* command);
HWND sds_getmainhwnd(void);

// The list ends at a 0 code. Each code is followed by its value: a wide
// string, an int (16-bit kinds), a double, a point (const sds_real*), an
// entity name (const long long*) or an int (32-bit kinds).
struct sds_resbuf* sds_buildlist(int rtype, ...);
struct sds_resbuf* sds_newrb(int type);
int sds_relrb(struct sds_resbuf* list);

// A string result is allocated by the host; the caller frees it with sds_free.
int sds_getvar(const wchar_t* name, struct sds_resbuf* result);
void sds_free(void* memory);

int sds_progressstart(void);
int sds_progresspercent(int percent);
int sds_progressstop(void);

// The older host's link loop.
int sds_init(int argc, wchar_t* argv[]);
int sds_link(int status);
[[noreturn]] void sds_exit(int status);

// Drawing-facing operations.
struct sds_resbuf* sds_entget(const sds_name entity);
int sds_entnext(const sds_name entity, sds_name next);
int sds_entsel(const wchar_t* prompt, sds_name entity, sds_point pickPoint);
// A text typed at the prompt into result, which holds kSdsStringMax
// characters with the terminator; a longer answer gives RTERROR. Without
// cronly the answer ends at its first space. RTCAN when cancelled.
inline constexpr std::size_t kSdsStringMax = 512;
int sds_getstring(int cronly, const wchar_t* prompt, wchar_t* result);
int sds_ssget(const wchar_t* mode, const void* point1, const void* point2,
              const struct sds_resbuf* filter, sds_name selection);
int sds_ssadd(const sds_name entity, const sds_name selection, sds_name result);
int sds_sslength(const sds_name selection, long* length);
int sds_ssname(const sds_name selection, long index, sds_name entity);
int sds_ssfree(const sds_name selection);
int sds_tblobjname(const wchar_t* table, const wchar_t* name, sds_name entity);
int sds_trans(const sds_point point, const struct sds_resbuf* from, const struct sds_resbuf* to,
              int displacement, sds_point result);
int sds_textbox(const struct sds_resbuf* entity, sds_point lowerLeft, sds_point upperRight);
sds_real sds_distance(const sds_point point1, const sds_point point2);

}  // extern "C"

// The value kind a result buffer of this code carries.
enum class SdsValueKind { kNone, kText, kShort, kLong, kReal, kPoint, kName };

// Group codes run 0..1071. Their kinds are asked for every node built and freed, so they are
// read from a table filled before main, in place, without a call.
inline constexpr int kSdsGroupCodes = 1072;
extern const SdsValueKind* const kSdsGroupKinds;
// The kind of a result type or a negative code.
SdsValueKind SdsKindOfOtherCode(int code);

inline SdsValueKind SdsKindOfCode(int code) {
  if (static_cast<unsigned>(code) < static_cast<unsigned>(kSdsGroupCodes)) {
    return kSdsGroupKinds[code];
  }
  return SdsKindOfOtherCode(code);
}

inline void sds_name_set(const sds_name from, sds_name to) {
  to[0] = from[0];
  to[1] = from[1];
}
inline void sds_name_clear(sds_name name) { name[0] = name[1] = 0; }
inline bool sds_name_nil(const sds_name name) { return name[0] == 0 && name[1] == 0; }
