// The automation library: BSTR and VARIANT handling, and the running object
// table through which a client finds an object another part of the process
// made active (GetActiveObject).
#pragma once

#include <cstring>

#include "platform/com/oaidl.h"

// nullptr for a null text. Allocation failure gives nullptr.
BSTR SysAllocString(const OLECHAR* text);
// length characters, copied from text or zero when text is null.
BSTR SysAllocStringLen(const OLECHAR* text, UINT length);
void SysFreeString(BSTR bstr);
UINT SysStringLen(BSTR bstr);

// Inline: every dispatch call starts a few variants.
inline void VariantInit(VARIANT* v) {
  if (v == nullptr) return;
  std::memset(v, 0, sizeof(VARIANT));
  v->vt = VT_EMPTY;
}
namespace com::detail {
HRESULT ClearOwned(VARIANT* v);
HRESULT DereferenceArgument(const VARIANT& source, VARIANT* out);
}  // namespace com::detail

// Frees a BSTR, releases an object, and leaves VT_EMPTY. By-reference
// variants own nothing. Inline: most variants of a call hold a number.
inline HRESULT VariantClear(VARIANT* v) {
  if (v == nullptr) return E_INVALIDARG;
  if (v->vt == VT_BSTR || v->vt == VT_DISPATCH || v->vt == VT_UNKNOWN) {
    return com::detail::ClearOwned(v);
  }
  VariantInit(v);
  return S_OK;
}
// dest is cleared first; strings are copied and objects get a reference.
HRESULT VariantCopy(VARIANT* dest, const VARIANT* source);
// As VariantCopy, and a by-reference source is copied as what it points to.
HRESULT VariantCopyInd(VARIANT* dest, const VARIANT* source);

namespace com {
// What source holds, a by-reference source read through, as a by-value
// variant that owns nothing (valid while what source refers to is).
inline HRESULT ArgumentView(const VARIANT& source, VARIANT* out) {
  if ((source.vt & VT_BYREF) == 0) {
    *out = source;
    return S_OK;
  }
  return detail::DereferenceArgument(source, out);
}
}  // namespace com

constexpr USHORT VARIANT_NOVALUEPROP = 0x01;
constexpr USHORT VARIANT_ALPHABOOL = 0x02;
// Conversions among VT_EMPTY, VT_I2, VT_I4, VT_R4, VT_R8, VT_BOOL, VT_UI1,
// VT_BSTR, VT_ERROR (to itself), VT_DISPATCH and VT_UNKNOWN, with the rules
// of the automation library in its English form:
// - numbers to integers round half to even; out of range is DISP_E_OVERFLOW;
// - numbers to text in the C locale, up to 15 significant digits ("1.5",
//   "-3", "1E+20"); a text to a number must be a whole number in that form,
//   surrounded blanks allowed, else DISP_E_TYPEMISMATCH;
// - booleans are -1 and 0 as numbers and "True"/"False" as text; a text
//   becomes a boolean from "True"/"False" (any case) or a number;
// - VT_EMPTY becomes 0, "" or False; VT_NULL converts to nothing;
// - an object converts through its default member (DISPID_VALUE), unless
//   VARIANT_NOVALUEPROP is given; VT_DISPATCH and VT_UNKNOWN convert to each
//   other through QueryInterface.
// dest may be source. On failure dest is left untouched.
HRESULT VariantChangeType(VARIANT* dest, const VARIANT* source, USHORT flags, VARTYPE type);

// ACTIVEOBJECT_STRONG keeps a reference for the table; ACTIVEOBJECT_WEAK
// does not, and the object must revoke itself before it goes.
constexpr DWORD ACTIVEOBJECT_STRONG = 0x0;
constexpr DWORD ACTIVEOBJECT_WEAK = 0x1;

// Registers an object as the active one of its class. A class already in the
// table gives MK_S_MONIKERALREADYREGISTERED; the earlier registration stays
// the one GetActiveObject finds. Needs an initialised thread.
HRESULT RegisterActiveObject(IUnknown* object, REFCLSID clsid, DWORD flags, DWORD* cookie);
// E_INVALIDARG for a cookie that is not registered.
HRESULT RevokeActiveObject(DWORD cookie, void* reserved);
// A new reference to the active object of the class; MK_E_UNAVAILABLE when
// none is registered, CO_E_NOTINITIALIZED on a thread not initialised.
HRESULT GetActiveObject(REFCLSID clsid, void* reserved, IUnknown** object);
