#include "platform/com/afxdisp.h"

#include <bit>
#include <cstring>
#include <cwchar>
#include <limits>

#include "platform/win/text.h"

IMPLEMENT_DYNAMIC(COleException, CException)
IMPLEMENT_DYNAMIC(COleDispatchException, CException)

namespace {

std::wstring CodeText(SCODE sc) {
  std::wstring text = com::SystemMessage(sc);
  if (!text.empty()) return text;
  return win::Format(L"OLE error 0x%08x.", static_cast<unsigned>(sc));
}

}  // namespace

bool COleException::GetErrorMessage(std::wstring& message) const {
  message = CodeText(m_sc);
  return true;
}

SCODE COleException::Process(const CException* exception) {
  if (exception == nullptr) return E_UNEXPECTED;
  if (exception->IsKindOf(RUNTIME_CLASS(COleException))) {
    return static_cast<const COleException*>(exception)->m_sc;
  }
  if (exception->IsKindOf(RUNTIME_CLASS(CMemoryException))) return E_OUTOFMEMORY;
  if (exception->IsKindOf(RUNTIME_CLASS(CNotSupportedException))) return E_NOTIMPL;
  return E_UNEXPECTED;
}

COleDispatchException::COleDispatchException(const wchar_t* description, UINT helpId, WORD code)
    : m_wCode(code),
      m_strDescription(description ? description : L""),
      m_dwHelpContext(helpId),
      m_scError(code != 0 ? MAKE_HRESULT(1, FACILITY_ITF, 0x200u + code) : DISP_E_EXCEPTION) {}

bool COleDispatchException::GetErrorMessage(std::wstring& message) const {
  message = m_strDescription.empty() ? CodeText(m_scError) : m_strDescription;
  return true;
}

void AfxThrowOleException(SCODE sc) { throw new COleException(sc); }

// ---------------------------------------------------------------------------
// COleVariant

namespace {

void SetText(VARIANT& v, const wchar_t* text, size_t length) {
  if (length > std::numeric_limits<UINT>::max() / 8) AfxThrowMemoryException();
  BSTR bstr = SysAllocStringLen(text ? text : L"", static_cast<UINT>(length));
  if (bstr == nullptr) AfxThrowMemoryException();
  v.vt = VT_BSTR;
  v.bstrVal = bstr;
}

void CheckedCopy(VARIANT* dest, const VARIANT* source) {
  HRESULT hr = VariantCopy(dest, source);
  if (FAILED(hr)) AfxThrowOleException(hr);
}

void SetLong(VARIANT& v, long long value, VARTYPE type) {
  if (type == VT_BOOL) {
    v.vt = VT_BOOL;
    v.boolVal = value != 0 ? VARIANT_TRUE : VARIANT_FALSE;
    return;
  }
  // A status code may be given as its unsigned 32-bit value (0x800A03EC).
  const long long high = type == VT_ERROR ? 0xFFFFFFFFll : std::numeric_limits<LONG>::max();
  if (value < std::numeric_limits<LONG>::min() || value > high) {
    AfxThrowOleException(DISP_E_OVERFLOW);
  }
  v.vt = type == VT_ERROR ? VT_ERROR : VT_I4;
  v.lVal = static_cast<LONG>(static_cast<std::uint32_t>(value));
}

}  // namespace

void COleVariant::SetLong(long long value, VARTYPE type) { ::SetLong(*this, value, type); }

COleVariant::COleVariant(const VARIANT& source) {
  VariantInit(this);
  CheckedCopy(this, &source);
}
COleVariant::COleVariant(const COleVariant& source)
    : COleVariant(static_cast<const VARIANT&>(source)) {}
COleVariant::COleVariant(COleVariant&& source) noexcept {
  *static_cast<VARIANT*>(this) = source;
  VariantInit(&source);
}
COleVariant::COleVariant(const wchar_t* text) {
  VariantInit(this);
  SetText(*this, text, text ? std::wcslen(text) : 0);
}
COleVariant::COleVariant(std::wstring_view text) {
  VariantInit(this);
  SetText(*this, text.data(), text.size());
}
COleVariant::COleVariant(std::uint8_t value) {
  VariantInit(this);
  vt = VT_UI1;
  bVal = value;
}
COleVariant::COleVariant(short value, VARTYPE type) {
  VariantInit(this);
  if (type == VT_BOOL) {
    vt = VT_BOOL;
    boolVal = value != 0 ? VARIANT_TRUE : VARIANT_FALSE;
  } else {
    vt = VT_I2;
    iVal = value;
  }
}
COleVariant::COleVariant(float value) {
  VariantInit(this);
  vt = VT_R4;
  fltVal = value;
}
COleVariant::COleVariant(bool value) {
  VariantInit(this);
  vt = VT_BOOL;
  boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

COleVariant& COleVariant::operator=(const COleVariant& source) {
  CheckedCopy(this, &source);
  return *this;
}
COleVariant& COleVariant::operator=(COleVariant&& source) noexcept {
  if (this != &source) {
    VariantClear(this);
    *static_cast<VARIANT*>(this) = source;
    VariantInit(&source);
  }
  return *this;
}
COleVariant& COleVariant::operator=(const VARIANT& source) {
  CheckedCopy(this, &source);
  return *this;
}
COleVariant& COleVariant::operator=(const wchar_t* text) {
  COleVariant fresh(text);
  return *this = std::move(fresh);
}
COleVariant& COleVariant::operator=(long value) {
  COleVariant fresh(value);
  return *this = std::move(fresh);
}
COleVariant& COleVariant::operator=(int value) {
  COleVariant fresh(value);
  return *this = std::move(fresh);
}
COleVariant& COleVariant::operator=(double value) {
  COleVariant fresh(value);
  return *this = std::move(fresh);
}
COleVariant& COleVariant::operator=(bool value) {
  COleVariant fresh(value);
  return *this = std::move(fresh);
}

void COleVariant::Clear() { VariantClear(this); }

void COleVariant::ChangeType(VARTYPE type, const VARIANT* source) {
  HRESULT hr = VariantChangeType(this, source ? source : this, 0, type);
  if (FAILED(hr)) AfxThrowOleException(hr);
}

void COleVariant::Attach(VARIANT& source) {
  VariantClear(this);
  *static_cast<VARIANT*>(this) = source;
  VariantInit(&source);
}

VARIANT COleVariant::Detach() {
  VARIANT out = *this;
  VariantInit(this);
  return out;
}

// ---------------------------------------------------------------------------
// COleDispatchDriver

namespace afx::detail {
void ThrowInvalidArg() { AfxThrowOleException(E_INVALIDARG); }
}  // namespace afx::detail

COleDispatchDriver::COleDispatchDriver(LPDISPATCH dispatch, BOOL autoRelease)
    : m_lpDispatch(dispatch), m_bAutoRelease(autoRelease) {}

COleDispatchDriver::COleDispatchDriver(const COleDispatchDriver& other)
    : m_lpDispatch(other.m_lpDispatch), m_bAutoRelease(TRUE) {
  if (m_lpDispatch) m_lpDispatch->AddRef();
}

const COleDispatchDriver& COleDispatchDriver::operator=(const COleDispatchDriver& other) {
  if (this != &other) {
    LPDISPATCH shared = other.m_lpDispatch;
    if (shared) shared->AddRef();
    ReleaseDispatch();
    m_lpDispatch = shared;
    m_bAutoRelease = TRUE;
  }
  return *this;
}

BOOL COleDispatchDriver::CreateDispatch(REFCLSID clsid, COleException* error) {
  ReleaseDispatch();
  IUnknown* unknown = nullptr;
  HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IUnknown,
                                reinterpret_cast<void**>(&unknown));
  if (SUCCEEDED(hr)) {
    void* dispatch = nullptr;
    hr = unknown->QueryInterface(IID_IDispatch, &dispatch);
    unknown->Release();
    if (SUCCEEDED(hr)) {
      m_lpDispatch = static_cast<LPDISPATCH>(dispatch);
      m_bAutoRelease = TRUE;
      return TRUE;
    }
  }
  if (error != nullptr) error->m_sc = hr;
  return FALSE;
}

BOOL COleDispatchDriver::CreateDispatch(LPCOLESTR progId, COleException* error) {
  CLSID clsid{};
  HRESULT hr = CLSIDFromProgID(progId, &clsid);
  if (FAILED(hr)) {
    ReleaseDispatch();
    if (error != nullptr) error->m_sc = hr;
    return FALSE;
  }
  return CreateDispatch(clsid, error);
}

LPDISPATCH COleDispatchDriver::DetachDispatch() {
  LPDISPATCH out = m_lpDispatch;
  m_lpDispatch = nullptr;
  return out;
}

namespace {

using afx::detail::DispatchArg;
using afx::detail::ResultType;
using afx::detail::ThrowInvalidArg;
using Kind = DispatchArg::Kind;

bool IsVariantArg(const DispatchArg& a) {
  return (a.kind == Kind::kConstVariant || a.kind == Kind::kVariant) && a.variant != nullptr;
}

// Fills v from one argument for one parameter type; false when they do not
// go together. Nothing made here owns anything but a text: the caller holds
// its objects for the whole call, so they go without a reference of their own.
bool MakeParameter(BYTE type, const DispatchArg& a, VARIANT& v) {
  VariantInit(&v);
  auto integer = [&](long long low, long long high) {
    if (a.kind != Kind::kInteger && a.kind != Kind::kBool) return false;
    if (a.integer < low || a.integer > high) AfxThrowOleException(DISP_E_OVERFLOW);
    return true;
  };
  switch (type) {
    case VT_I2:
      if (!integer(-32768, 32767)) return false;
      v.vt = VT_I2;
      v.iVal = static_cast<SHORT>(a.integer);
      return true;
    case VT_I4:
      if (!integer(std::numeric_limits<LONG>::min(), std::numeric_limits<LONG>::max())) {
        return false;
      }
      v.vt = VT_I4;
      v.lVal = static_cast<LONG>(a.integer);
      return true;
    case VT_UI1:
      if (!integer(0, 255)) return false;
      v.vt = VT_UI1;
      v.bVal = static_cast<std::uint8_t>(a.integer);
      return true;
    case VT_ERROR:
      if (!integer(std::numeric_limits<LONG>::min(), 0xFFFFFFFFll)) return false;
      v.vt = VT_ERROR;
      v.scode = static_cast<SCODE>(static_cast<std::uint32_t>(a.integer));
      return true;
    case VT_R4:
    case VT_R8: {
      double number = 0;
      if (a.kind == Kind::kDouble) {
        number = a.number;
      } else if (a.kind == Kind::kInteger) {
        number = static_cast<double>(a.integer);
      } else {
        return false;
      }
      if (type == VT_R4) {
        v.vt = VT_R4;
        v.fltVal = static_cast<float>(number);
      } else {
        v.vt = VT_R8;
        v.dblVal = number;
      }
      return true;
    }
    case VT_BOOL:
      if (a.kind != Kind::kBool && a.kind != Kind::kInteger) return false;
      v.vt = VT_BOOL;
      v.boolVal = a.integer != 0 ? VARIANT_TRUE : VARIANT_FALSE;
      return true;
    case VT_BSTR:
      if (a.kind == Kind::kNull || (a.kind == Kind::kInteger && a.integer == 0)) {
        v.vt = VT_BSTR;
        v.bstrVal = nullptr;
        return true;
      }
      if (a.kind != Kind::kText) return false;
      SetText(v, a.text, a.text ? std::wcslen(a.text) : 0);
      return true;
    case VT_VARIANT:
      if (!IsVariantArg(a)) return false;
      // The callee only reads its arguments: the caller's variant is passed
      // as it is, its text not copied.
      v = *a.variant;
      return true;
    case VT_VARIANT | 0x40:
      if (a.kind != Kind::kVariant || a.variant == nullptr) return false;
      v.vt = VT_VARIANT | VT_BYREF;
      // Made from a VARIANT* the caller passed.
      v.pvarVal = const_cast<VARIANT*>(a.variant);
      return true;
    case VT_DISPATCH:
    case VT_UNKNOWN:
      if (a.kind == Kind::kNull || (a.kind == Kind::kInteger && a.integer == 0)) {
        v.vt = type;
        return true;
      }
      if (a.kind != Kind::kObject) return false;
      if (type == VT_DISPATCH && a.dispatch == nullptr && a.unknown) return false;
      v.vt = type;
      if (type == VT_DISPATCH) {
        v.pdispVal = a.dispatch;
      } else {
        v.punkVal = a.unknown;
      }
      return true;
    default:
      return false;
  }
}

// What an object reports with DISP_E_EXCEPTION. Zeroed once per thread and
// again after a failed call: an object writes it only when a call fails,
// so a call needs no cleared copy of its own.
thread_local EXCEPINFO t_exception{};

// DISP_E_EXCEPTION as the exception the caller catches; seldom taken, so
// kept out of the call path.
[[noreturn, gnu::cold, gnu::noinline]] void ThrowDispatchException(EXCEPINFO& info) {
  if (info.pfnDeferredFillIn != nullptr) info.pfnDeferredFillIn(&info);
  auto* e = new COleDispatchException(info.bstrDescription, info.dwHelpContext, info.wCode);
  if (info.scode != 0) e->m_scError = info.scode;
  e->m_strSource.assign(info.bstrSource ? info.bstrSource : L"");
  e->m_strHelpFile.assign(info.bstrHelpFile ? info.bstrHelpFile : L"");
  SysFreeString(info.bstrSource);
  SysFreeString(info.bstrDescription);
  SysFreeString(info.bstrHelpFile);
  throw e;
}

[[noreturn, gnu::cold, gnu::noinline]] void ThrowCallFailure(HRESULT hr) {
  EXCEPINFO info = t_exception;
  t_exception = EXCEPINFO{};
  if (hr == DISP_E_EXCEPTION) ThrowDispatchException(info);
  AfxThrowOleException(hr);
}

// The one Invoke every call makes, its arguments last-first in args.
inline void Call(IDispatch* object, DISPID id, WORD flags, VARIANT* args, UINT count,
                 VARIANT* result) {
  DISPID named = DISPID_PROPERTYPUT;
  const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
  DISPPARAMS dp{count == 0 ? nullptr : args, put ? &named : nullptr, count, put ? 1u : 0u};
  UINT argErr = 0;
  const HRESULT hr =
      object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &dp, result, &t_exception, &argErr);
  if (FAILED(hr)) ThrowCallFailure(hr);
}

// A result of another type than asked, converted; or one nobody takes.
[[gnu::noinline]] void DeliverConverted(VARIANT& received, VARTYPE vtRet, ResultType resultType,
                                        void* pvRet) {
  COleVariant result;
  static_cast<VARIANT&>(result) = received;  // freed however this ends
  if (pvRet == nullptr) return;
  if (vtRet != VT_VARIANT && result.vt != vtRet) result.ChangeType(vtRet);
  switch (vtRet) {
    case VT_I2:
      *static_cast<SHORT*>(pvRet) = result.iVal;
      break;
    case VT_I4:
      if (resultType == ResultType::kLong64) {
        *static_cast<long long*>(pvRet) = result.lVal;
      } else {
        *static_cast<LONG*>(pvRet) = result.lVal;
      }
      break;
    case VT_ERROR:
      *static_cast<SCODE*>(pvRet) = result.scode;
      break;
    case VT_R4:
      *static_cast<float*>(pvRet) = result.fltVal;
      break;
    case VT_R8:
      *static_cast<double*>(pvRet) = result.dblVal;
      break;
    case VT_BOOL:
      if (resultType == ResultType::kBool) {
        *static_cast<bool*>(pvRet) = result.boolVal != VARIANT_FALSE;
      } else {
        *static_cast<BOOL*>(pvRet) = result.boolVal != VARIANT_FALSE ? TRUE : FALSE;
      }
      break;
    case VT_BSTR:
      static_cast<std::wstring*>(pvRet)->assign(result.bstrVal ? result.bstrVal : L"",
                                                SysStringLen(result.bstrVal));
      break;
    case VT_DISPATCH:
      *static_cast<LPDISPATCH*>(pvRet) = result.pdispVal;
      result.vt = VT_EMPTY;  // the reference goes to the caller
      break;
    case VT_UNKNOWN:
      *static_cast<LPUNKNOWN*>(pvRet) = result.punkVal;
      result.vt = VT_EMPTY;
      break;
    case VT_VARIANT: {
      VARIANT* out = static_cast<VARIANT*>(pvRet);
      VariantClear(out);
      *out = result.Detach();
      break;
    }
    default:
      AfxThrowOleException(DISP_E_BADVARTYPE);
  }
}

// Hands the result to the caller. An object asked for as one, or a variant,
// is handed over as it came: no copy, no reference taken and dropped.
inline void Deliver(VARIANT& result, VARTYPE vtRet, ResultType resultType, void* pvRet) {
  if (pvRet != nullptr) {
    if (vtRet == VT_DISPATCH && result.vt == VT_DISPATCH) {
      *static_cast<LPDISPATCH*>(pvRet) = result.pdispVal;
      return;
    }
    if (vtRet == VT_VARIANT) {
      VARIANT* out = static_cast<VARIANT*>(pvRet);
      VariantClear(out);
      *out = result;
      return;
    }
  }
  DeliverConverted(result, vtRet, resultType, pvRet);
}

// The parameters built for one call; frees the texts made for it.
struct Parameters {
  VARIANT slots[COleDispatchDriver::kMaxHelperArgs];
  unsigned owned = 0;  // a bit per slot
  ~Parameters() {
    for (unsigned left = owned; left != 0; left &= left - 1) {
      VariantClear(&slots[std::countr_zero(left)]);
    }
  }
};

}  // namespace

void COleDispatchDriver::InvokePlain(DISPID id, WORD flags, VARTYPE vtRet, void* pvRet,
                                     ResultType resultType, VARIANT* args, size_t count) const {
  VARIANT result;
  result.vt = VT_EMPTY;
  Call(m_lpDispatch, id, flags, args, static_cast<UINT>(count),
       vtRet == VT_EMPTY ? nullptr : &result);
  if (vtRet != VT_EMPTY) Deliver(result, vtRet, resultType, pvRet);
}

void COleDispatchDriver::InvokeHelperV(DISPID id, WORD flags, VARTYPE vtRet, void* pvRet,
                                       ResultType resultType, const char* paramInfo,
                                       std::span<const DispatchArg> args) const {
  // The parameter types must be exactly as many as the arguments; they are
  // checked in the walk that builds the arguments.
  const size_t types = args.size();
  if (types > kMaxHelperArgs || (paramInfo == nullptr && types != 0)) {
    ThrowInvalidArg();
  }

  // rgvarg holds the arguments last-first.
  Parameters params;
  for (size_t i = 0; i < types; ++i) {
    const size_t slot = types - 1 - i;
    const BYTE type = static_cast<BYTE>(paramInfo[i]);
    if (type == 0) ThrowInvalidArg();
    if (!MakeParameter(type, args[i], params.slots[slot])) ThrowInvalidArg();
    if (type == VT_BSTR) params.owned |= 1u << slot;
  }
  if (paramInfo != nullptr && paramInfo[types] != 0) ThrowInvalidArg();

  InvokePlain(id, flags, vtRet, pvRet, resultType, params.slots, types);
}
