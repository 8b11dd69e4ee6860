#include "platform/com/dispatch_object.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <new>

#include "platform/win/strings.h"

namespace com {
namespace {

// How a call ends other than by returning.
struct CallFailure {
  HRESULT hr;
  UINT arg_err;  // rgvarg index, or kNoArg
  SCODE scode;
  std::wstring description;
};
constexpr UINT kNoArg = 0xFFFFFFFFu;

// The member of a table by id, or nullptr. Calls come from a few tables and
// members over and over: a cache by table and id spares most searches. The
// hash takes the top bits of a multiplied key, so the pairs a writer uses
// per cell land apart instead of evicting each other.
const MemberInfo* FindMember(std::span<const MemberInfo> members, DISPID id) {
  if (members.empty()) return nullptr;
  struct Entry {
    const MemberInfo* table = nullptr;
    DISPID id = 0;
    const MemberInfo* member = nullptr;
  };
  thread_local std::array<Entry, 256> cache;
  const std::uint64_t key = (reinterpret_cast<std::uintptr_t>(members.data()) ^
                             (static_cast<std::uint64_t>(static_cast<std::uint32_t>(id)) << 32)) *
                            0x9E3779B97F4A7C15ull;
  Entry& entry = cache[key >> 56];
  if (entry.table == members.data() && entry.id == id) return entry.member;
  auto found = std::lower_bound(members.begin(), members.end(), id,
                                [](const MemberInfo& m, DISPID key) { return m.id < key; });
  const MemberInfo* member = found != members.end() && found->id == id ? &*found : nullptr;
  entry = Entry{members.data(), id, member};
  return member;
}

}  // namespace

// ---------------------------------------------------------------------------
// Invocation

UINT Invocation::ArgErrIndex(UINT index) const {
  // rgvarg holds the value of a put first, then the arguments last-first.
  if (index == kValue) return 0;
  return total_args_ - 1 - index;
}

void Invocation::NotPassed() const { throw CallFailure{DISP_E_PARAMNOTFOUND, kNoArg, 0, {}}; }

VARIANT Invocation::Converted(UINT index, VARTYPE type) const {
  if (!Has(index)) throw CallFailure{DISP_E_PARAMNOTOPTIONAL, ArgErrIndex(index), 0, {}};
  const VARIANT& arg = Arg(index);
  // The usual case: the caller passed the type asked for.
  if (arg.vt == type && type != VT_BSTR) return arg;
  VARIANT out;
  VariantInit(&out);
  HRESULT hr = VariantChangeType(&out, &arg, 0, type);
  if (FAILED(hr)) throw CallFailure{hr, ArgErrIndex(index), 0, {}};
  return out;
}

std::wstring Invocation::String(UINT index) const {
  if (Has(index) && Arg(index).vt == VT_BSTR) {
    const BSTR text = Arg(index).bstrVal;
    return std::wstring(text ? text : L"", SysStringLen(text));
  }
  VARIANT v = Converted(index, VT_BSTR);
  std::wstring text(v.bstrVal ? v.bstrVal : L"", SysStringLen(v.bstrVal));
  VariantClear(&v);
  return text;
}

void Invocation::ReturnEmpty() { VariantClear(&result_); }

void Invocation::ReturnLong(LONG value) {
  VariantClear(&result_);
  result_.vt = VT_I4;
  result_.lVal = value;
}

void Invocation::ReturnDouble(double value) {
  VariantClear(&result_);
  result_.vt = VT_R8;
  result_.dblVal = value;
}

void Invocation::ReturnBool(bool value) {
  VariantClear(&result_);
  result_.vt = VT_BOOL;
  result_.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

void Invocation::ReturnString(std::wstring_view value) {
  VariantClear(&result_);
  BSTR bstr = SysAllocStringLen(value.data(), static_cast<UINT>(value.size()));
  if (bstr == nullptr) throw std::bad_alloc();
  result_.vt = VT_BSTR;
  result_.bstrVal = bstr;
}

void Invocation::ReturnVariant(const VARIANT& value) {
  HRESULT hr = VariantCopyInd(&result_, &value);
  if (FAILED(hr)) throw CallFailure{hr, kNoArg, 0, {}};
}

void Invocation::Raise(SCODE scode, std::wstring description) const {
  throw CallFailure{DISP_E_EXCEPTION, kNoArg, scode, std::move(description)};
}

void Invocation::Fail(HRESULT hr) const { throw CallFailure{hr, kNoArg, 0, {}}; }

// ---------------------------------------------------------------------------
// DispatchObject

HRESULT DispatchObject::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IDispatch) {
    AddRef();
    *object = static_cast<IDispatch*>(this);
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG DispatchObject::AddRef() { return ++refs_; }

ULONG DispatchObject::Release() {
  const ULONG left = --refs_;
  if (left == 0) Recycle();
  return left;
}

HRESULT DispatchObject::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_INVALIDARG;
  *count = 0;
  return S_OK;
}

HRESULT DispatchObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info != nullptr) *info = nullptr;
  return DISP_E_BADINDEX;
}

HRESULT DispatchObject::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  if (count == 0) return S_OK;
  if (names == nullptr || ids == nullptr) return E_INVALIDARG;
  // Only the member's name is looked up; named arguments are not supported.
  HRESULT hr = S_OK;
  for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  if (names[0] == nullptr) return DISP_E_UNKNOWNNAME;
  for (const MemberInfo& m : Members()) {
    if (win::EqualsNoCase(m.name, names[0])) {
      ids[0] = m.id;
      break;
    }
  }
  if (ids[0] == DISPID_UNKNOWN || count > 1) hr = DISP_E_UNKNOWNNAME;
  return hr;
}

HRESULT DispatchObject::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                               VARIANT* result, EXCEPINFO* exception, UINT* argErr) {
  if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  if (params == nullptr) return E_INVALIDARG;
  const UINT count = params->cArgs;
  const UINT named = params->cNamedArgs;
  if ((count > 0 && params->rgvarg == nullptr) || named > count ||
      (named > 0 && params->rgdispidNamedArgs == nullptr)) {
    return E_INVALIDARG;
  }

  const MemberInfo* member = FindMember(Members(), id);
  if (member == nullptr) return DISP_E_MEMBERNOTFOUND;

  WORD kind = 0;
  if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
    kind = (member->kinds & DISPATCH_PROPERTYPUT) ? DISPATCH_PROPERTYPUT : 0;
  } else if ((flags & DISPATCH_PROPERTYGET) && (member->kinds & DISPATCH_PROPERTYGET)) {
    kind = DISPATCH_PROPERTYGET;
  } else if ((flags & DISPATCH_METHOD) && (member->kinds & DISPATCH_METHOD)) {
    kind = DISPATCH_METHOD;
  } else if ((flags & DISPATCH_METHOD) && (member->kinds & DISPATCH_PROPERTYGET)) {
    // A property with arguments may be called as a method.
    kind = DISPATCH_PROPERTYGET;
  }
  if (kind == 0) return DISP_E_MEMBERNOTFOUND;

  UINT positional = count;
  if (kind == DISPATCH_PROPERTYPUT) {
    if (named != 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) {
      return named == 0 ? DISP_E_PARAMNOTOPTIONAL : DISP_E_NONAMEDARGS;
    }
    positional = count - 1;
  } else if (named != 0) {
    return DISP_E_NONAMEDARGS;
  }
  if (positional < member->min_args || positional > member->max_args) {
    return DISP_E_BADPARAMCOUNT;
  }

  if (positional > kMaxArgs) return DISP_E_BADPARAMCOUNT;

  try {
    Invocation call(*member, kind, count);
    // A required argument passed as missing is refused once all have been
    // read, as an unreadable one comes first.
    UINT missing = kNoArg;
    for (UINT i = 0; i < positional; ++i) {
      const UINT slot = count - 1 - i;
      HRESULT hr = com::ArgumentView(params->rgvarg[slot], &call.args_[i]);
      if (FAILED(hr)) {
        if (argErr) *argErr = slot;
        return hr == DISP_E_BADVARTYPE ? DISP_E_TYPEMISMATCH : hr;
      }
      if (i < member->min_args && missing == kNoArg && Invocation::IsMissing(call.args_[i]))
        missing = slot;
    }
    call.count_ = positional;
    if (missing != kNoArg) {
      if (argErr) *argErr = missing;
      return DISP_E_PARAMNOTOPTIONAL;
    }
    if (kind == DISPATCH_PROPERTYPUT) {
      HRESULT hr = com::ArgumentView(params->rgvarg[0], &call.value_);
      if (FAILED(hr)) {
        if (argErr) *argErr = 0;
        return hr == DISP_E_BADVARTYPE ? DISP_E_TYPEMISMATCH : hr;
      }
      call.has_value_ = !Invocation::IsMissing(call.value_);
    }

    member->handler(*this, call);

    // The result goes to the caller whole: nothing left for the call to free.
    if (result != nullptr) {
      *result = call.result_;
      call.result_.vt = VT_EMPTY;
    }
    return S_OK;
  } catch (const CallFailure& failure) {
    if (failure.arg_err != kNoArg && argErr) *argErr = failure.arg_err;
    if (failure.hr == DISP_E_EXCEPTION && exception != nullptr) {
      *exception = EXCEPINFO{};
      exception->scode = failure.scode;
      exception->bstrSource = SysAllocString(ExceptionSource().c_str());
      exception->bstrDescription = SysAllocString(failure.description.c_str());
    }
    return failure.hr;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

}  // namespace com
