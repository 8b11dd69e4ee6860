// COM and automation status codes, and the system message table that
// FormatMessageW reads them from. The texts are those the system gives for
// these codes, line end included; a code the table does not hold (an
// application's own, such as a spreadsheet's 0x800A03EC) has no text, and
// FormatMessageW fails for it, as on Windows.
#pragma once

#include <cstdarg>
#include <string>

#include "platform/win/wintypes.h"

constexpr HRESULT MAKE_HRESULT(unsigned severity, unsigned facility, unsigned code) {
  return static_cast<HRESULT>((severity << 31) | (facility << 16) | code);
}
constexpr unsigned HRESULT_CODE(HRESULT hr) { return static_cast<unsigned>(hr) & 0xFFFF; }
constexpr unsigned HRESULT_FACILITY(HRESULT hr) {
  return (static_cast<unsigned>(hr) >> 16) & 0x1FFF;
}
constexpr unsigned SCODE_CODE(SCODE sc) { return HRESULT_CODE(sc); }
constexpr unsigned SCODE_FACILITY(SCODE sc) { return HRESULT_FACILITY(sc); }
constexpr unsigned FACILITY_ITF = 4;
constexpr unsigned FACILITY_WIN32 = 7;
constexpr unsigned FACILITY_CONTROL = 10;
constexpr HRESULT HRESULT_FROM_WIN32(unsigned long code) {
  return static_cast<HRESULT>(code) <= 0
             ? static_cast<HRESULT>(code)
             : static_cast<HRESULT>((code & 0xFFFF) | (FACILITY_WIN32 << 16) | 0x80000000u);
}

// Those of wintypes.h (S_OK, S_FALSE, E_UNEXPECTED, E_NOTIMPL, E_OUTOFMEMORY,
// E_INVALIDARG, E_FAIL) and these:
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003);
constexpr HRESULT E_ABORT = static_cast<HRESULT>(0x80004004);
constexpr HRESULT E_ACCESSDENIED = static_cast<HRESULT>(0x80070005);

constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = static_cast<HRESULT>(0x80040111);
constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154);
constexpr HRESULT MK_E_UNAVAILABLE = static_cast<HRESULT>(0x800401E3);
constexpr HRESULT MK_S_MONIKERALREADYREGISTERED = static_cast<HRESULT>(0x000401E7);
constexpr HRESULT CO_E_NOTINITIALIZED = static_cast<HRESULT>(0x800401F0);
constexpr HRESULT CO_E_CLASSSTRING = static_cast<HRESULT>(0x800401F3);

constexpr HRESULT DISP_E_UNKNOWNINTERFACE = static_cast<HRESULT>(0x80020001);
constexpr HRESULT DISP_E_MEMBERNOTFOUND = static_cast<HRESULT>(0x80020003);
constexpr HRESULT DISP_E_PARAMNOTFOUND = static_cast<HRESULT>(0x80020004);
constexpr HRESULT DISP_E_TYPEMISMATCH = static_cast<HRESULT>(0x80020005);
constexpr HRESULT DISP_E_UNKNOWNNAME = static_cast<HRESULT>(0x80020006);
constexpr HRESULT DISP_E_NONAMEDARGS = static_cast<HRESULT>(0x80020007);
constexpr HRESULT DISP_E_BADVARTYPE = static_cast<HRESULT>(0x80020008);
constexpr HRESULT DISP_E_EXCEPTION = static_cast<HRESULT>(0x80020009);
constexpr HRESULT DISP_E_OVERFLOW = static_cast<HRESULT>(0x8002000A);
constexpr HRESULT DISP_E_BADINDEX = static_cast<HRESULT>(0x8002000B);
constexpr HRESULT DISP_E_BADPARAMCOUNT = static_cast<HRESULT>(0x8002000E);
constexpr HRESULT DISP_E_PARAMNOTOPTIONAL = static_cast<HRESULT>(0x8002000F);

constexpr DWORD FORMAT_MESSAGE_ALLOCATE_BUFFER = 0x00000100;
constexpr DWORD FORMAT_MESSAGE_IGNORE_INSERTS = 0x00000200;
constexpr DWORD FORMAT_MESSAGE_FROM_STRING = 0x00000400;
constexpr DWORD FORMAT_MESSAGE_FROM_HMODULE = 0x00000800;
constexpr DWORD FORMAT_MESSAGE_FROM_SYSTEM = 0x00001000;
constexpr DWORD FORMAT_MESSAGE_MAX_WIDTH_MASK = 0x000000FF;

constexpr WORD LANG_NEUTRAL = 0x00;
constexpr WORD LANG_ENGLISH = 0x09;
constexpr WORD SUBLANG_NEUTRAL = 0x00;
constexpr WORD SUBLANG_DEFAULT = 0x01;
constexpr WORD SUBLANG_ENGLISH_US = 0x01;
constexpr DWORD MAKELANGID(WORD primary, WORD sub) {
  return static_cast<DWORD>((static_cast<DWORD>(sub) << 10) | primary);
}

using HLOCAL = void*;

// Only FORMAT_MESSAGE_FROM_SYSTEM is served; the table is English, so any
// neutral or English language id reads it and others find nothing. With
// FORMAT_MESSAGE_ALLOCATE_BUFFER, buffer is really a wchar_t** that receives
// a buffer to give back with LocalFree; otherwise the text is copied into
// buffer (size characters, terminator included). Returns the length of the
// text without its terminator, or 0 when there is no text or it does not fit.
DWORD FormatMessageW(DWORD flags, const void* source, DWORD messageId, DWORD languageId,
                     LPWSTR buffer, DWORD size, va_list* arguments);
// Frees what FormatMessageW allocated; returns nullptr.
HLOCAL LocalFree(HLOCAL memory);

namespace com {
// The system's text for a status code without its line end; empty when the
// table has none.
std::wstring SystemMessage(HRESULT code);
}  // namespace com
