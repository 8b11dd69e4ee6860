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
void ThrowBadParamInfo() { AfxThrowOleException(E_INVALIDARG); }
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
using Kind = DispatchArg::Kind;

// Fills v from one argument for one parameter type; false when they do not
// go together.
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
      if ((a.kind != Kind::kConstVariant && a.kind != Kind::kVariant) || a.variant == nullptr) {
        return false;
      }
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
        if (v.pdispVal) v.pdispVal->AddRef();
      } else {
        v.punkVal = a.unknown;
        if (v.punkVal) v.punkVal->AddRef();
      }
      return true;
    default:
      return false;
  }
}

bool ResultFits(VARTYPE vt, ResultType type) {
  switch (type) {
    case ResultType::kVoid:
      return true;
    case ResultType::kShort:
      return vt == VT_I2;
    case ResultType::kLong32:
      return vt == VT_I4 || vt == VT_BOOL || vt == VT_ERROR;
    case ResultType::kLong64:
      return vt == VT_I4;
    case ResultType::kFloat:
      return vt == VT_R4;
    case ResultType::kDouble:
      return vt == VT_R8;
    case ResultType::kBool:
      return vt == VT_BOOL;
    case ResultType::kWString:
      return vt == VT_BSTR;
    case ResultType::kDispatch:
      return vt == VT_DISPATCH;
    case ResultType::kUnknown:
      return vt == VT_UNKNOWN;
    case ResultType::kVariant:
      return vt == VT_VARIANT;
  }
  return false;
}

// The parameters built for one call; frees what they own (not the
// variants passed through as they are).
struct Parameters {
  VARIANT slots[COleDispatchDriver::kMaxHelperArgs];
  unsigned owned = 0;  // a bit per slot
  ~Parameters() {
    for (unsigned left = owned; left != 0; left &= left - 1) {
      VariantClear(&slots[std::countr_zero(left)]);
    }
  }
};

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

}  // namespace

void COleDispatchDriver::InvokeHelperV(DISPID id, WORD flags, VARTYPE vtRet, void* pvRet,
                                       ResultType resultType, const char* paramInfo,
                                       std::span<const DispatchArg> args) const {
  if (m_lpDispatch == nullptr) return;
  // Most calls put one variant passed as one and want no result: nothing to
  // build, free or convert.
  if (vtRet == VT_EMPTY && resultType == ResultType::kVoid && args.size() == 1 &&
      paramInfo != nullptr && static_cast<BYTE>(paramInfo[0]) == VT_VARIANT && paramInfo[1] == 0 &&
      (args[0].kind == Kind::kConstVariant || args[0].kind == Kind::kVariant) &&
      args[0].variant != nullptr) {
    VARIANT arg = *args[0].variant;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS dp{&arg, nullptr, 1, 0};
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
      dp.rgdispidNamedArgs = &named;
      dp.cNamedArgs = 1;
    }
    EXCEPINFO info{};
    UINT argErr = 0;
    const HRESULT hr = m_lpDispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &dp, nullptr,
                                            &info, &argErr);
    if (hr == DISP_E_EXCEPTION) ThrowDispatchException(info);
    if (FAILED(hr)) AfxThrowOleException(hr);
    return;
  }
  if (!ResultFits(vtRet, resultType)) AfxThrowOleException(E_INVALIDARG);

  // The parameter types must be exactly as many as the arguments; they are
  // checked in the walk that builds the arguments.
  const size_t types = args.size();
  if (types > kMaxHelperArgs || (paramInfo == nullptr && types != 0)) {
    AfxThrowOleException(E_INVALIDARG);
  }

  // rgvarg holds the arguments last-first.
  Parameters params;
  for (size_t i = 0; i < types; ++i) {
    const size_t slot = types - 1 - i;
    const BYTE type = static_cast<BYTE>(paramInfo[i]);
    if (type == 0) AfxThrowOleException(E_INVALIDARG);
    const DispatchArg& a = args[i];
    // Most arguments are a variant passed as one.
    if (type == VT_VARIANT && (a.kind == Kind::kConstVariant || a.kind == Kind::kVariant) &&
        a.variant != nullptr) {
      params.slots[slot] = *a.variant;
      continue;
    }
    if (!MakeParameter(type, a, params.slots[slot])) AfxThrowOleException(E_INVALIDARG);
    // Only texts and objects hold anything to free.
    if (type == VT_BSTR || type == VT_DISPATCH || type == VT_UNKNOWN) params.owned |= 1u << slot;
  }

  if (paramInfo != nullptr && paramInfo[types] != 0) AfxThrowOleException(E_INVALIDARG);

  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS dp{types == 0 ? nullptr : params.slots, nullptr, static_cast<UINT>(types), 0};
  if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
    dp.rgdispidNamedArgs = &named;
    dp.cNamedArgs = 1;
  }

  COleVariant result;
  EXCEPINFO info{};
  UINT argErr = 0;
  HRESULT hr = m_lpDispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &dp,
                                    vtRet == VT_EMPTY ? nullptr : &result, &info, &argErr);
  if (hr == DISP_E_EXCEPTION) ThrowDispatchException(info);
  if (FAILED(hr)) AfxThrowOleException(hr);
  if (vtRet == VT_EMPTY || pvRet == nullptr) return;

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
