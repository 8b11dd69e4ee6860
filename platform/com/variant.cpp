#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <limits>
#include <string>

#include <cctype>
#include "platform/com/oleauto.h"
#include "platform/win/strings.h"

// BSTR layout: [uint32 length in characters][characters][0].
namespace {

constexpr size_t kPrefix = sizeof(std::uint32_t);
constexpr UINT kMaxBstrLength = (std::numeric_limits<std::uint32_t>::max() - 64) / sizeof(OLECHAR);

std::uint32_t* Prefix(BSTR bstr) {
  return reinterpret_cast<std::uint32_t*>(reinterpret_cast<char*>(bstr) - kPrefix);
}

}  // namespace

BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
  if (length > kMaxBstrLength) return nullptr;
  void* block = std::malloc(kPrefix + (static_cast<size_t>(length) + 1) * sizeof(OLECHAR));
  if (block == nullptr) return nullptr;
  *static_cast<std::uint32_t*>(block) = length;
  BSTR bstr = reinterpret_cast<BSTR>(static_cast<char*>(block) + kPrefix);
  if (text != nullptr) {
    std::wmemcpy(bstr, text, length);
  } else {
    std::wmemset(bstr, 0, length);
  }
  bstr[length] = 0;
  return bstr;
}

BSTR SysAllocString(const OLECHAR* text) {
  if (text == nullptr) return nullptr;
  const size_t length = std::wcslen(text);
  if (length > kMaxBstrLength) return nullptr;
  return SysAllocStringLen(text, static_cast<UINT>(length));
}

void SysFreeString(BSTR bstr) {
  if (bstr != nullptr) std::free(Prefix(bstr));
}

UINT SysStringLen(BSTR bstr) { return bstr == nullptr ? 0 : *Prefix(bstr); }

HRESULT com::detail::ClearOwned(VARIANT* v) {
  if ((v->vt & VT_BYREF) == 0) {
    switch (v->vt) {
      case VT_BSTR:
        SysFreeString(v->bstrVal);
        break;
      case VT_DISPATCH:
        if (v->pdispVal) v->pdispVal->Release();
        break;
      case VT_UNKNOWN:
        if (v->punkVal) v->punkVal->Release();
        break;
      default:
        break;
    }
  }
  VariantInit(v);
  return S_OK;
}

namespace {

// Copies without clearing dest first; dest is raw memory.
HRESULT CopyInto(VARIANT* dest, const VARIANT* source) {
  std::memcpy(dest, source, sizeof(VARIANT));
  if (source->vt & VT_BYREF) return S_OK;
  switch (source->vt) {
    case VT_BSTR:
      if (source->bstrVal != nullptr) {
        dest->bstrVal = SysAllocStringLen(source->bstrVal, SysStringLen(source->bstrVal));
        if (dest->bstrVal == nullptr) {
          VariantInit(dest);
          return E_OUTOFMEMORY;
        }
      }
      break;
    case VT_DISPATCH:
      if (dest->pdispVal) dest->pdispVal->AddRef();
      break;
    case VT_UNKNOWN:
      if (dest->punkVal) dest->punkVal->AddRef();
      break;
    default:
      break;
  }
  return S_OK;
}

// What a by-reference variant points to, as a by-value one (not owned).
HRESULT Dereference(const VARIANT* source, VARIANT* out) {
  VariantInit(out);
  if ((source->vt & VT_BYREF) == 0) {
    *out = *source;
    return S_OK;
  }
  if (source->byref == nullptr) return E_INVALIDARG;
  const VARTYPE type = source->vt & VT_TYPEMASK;
  switch (type) {
    case VT_VARIANT:
      if (source->pvarVal->vt & VT_BYREF) return DISP_E_BADVARTYPE;
      *out = *source->pvarVal;
      return S_OK;
    case VT_I2:
      out->iVal = *source->piVal;
      break;
    case VT_I4:
    case VT_ERROR:
      out->lVal = *source->plVal;
      break;
    case VT_R8:
      out->dblVal = *source->pdblVal;
      break;
    case VT_BOOL:
      out->boolVal = *source->pboolVal;
      break;
    case VT_BSTR:
      out->bstrVal = *source->pbstrVal;
      break;
    case VT_R4:
      out->fltVal = *static_cast<const float*>(source->byref);
      break;
    case VT_UI1:
      out->bVal = *static_cast<const std::uint8_t*>(source->byref);
      break;
    case VT_DISPATCH:
      out->pdispVal = *static_cast<IDispatch* const*>(source->byref);
      break;
    case VT_UNKNOWN:
      out->punkVal = *static_cast<IUnknown* const*>(source->byref);
      break;
    default:
      return DISP_E_BADVARTYPE;
  }
  out->vt = type;
  return S_OK;
}

}  // namespace

HRESULT com::detail::DereferenceArgument(const VARIANT& source, VARIANT* out) {
  return Dereference(&source, out);
}

HRESULT VariantCopy(VARIANT* dest, const VARIANT* source) {
  if (dest == nullptr || source == nullptr) return E_INVALIDARG;
  if (dest == source) return S_OK;
  VARIANT copy;
  HRESULT hr = CopyInto(&copy, source);
  if (FAILED(hr)) return hr;
  VariantClear(dest);
  *dest = copy;
  return S_OK;
}

HRESULT VariantCopyInd(VARIANT* dest, const VARIANT* source) {
  if (dest == nullptr || source == nullptr) return E_INVALIDARG;
  VARIANT plain;
  HRESULT hr = Dereference(source, &plain);
  if (FAILED(hr)) return hr;
  VARIANT copy;
  hr = CopyInto(&copy, &plain);
  if (FAILED(hr)) return hr;
  VariantClear(dest);
  *dest = copy;
  return S_OK;
}

// ---------------------------------------------------------------------------
// VariantChangeType

namespace {

// A source value reduced to what conversions work from.
struct Scalar {
  enum class Kind { kEmpty, kNumber, kBool, kText } kind = Kind::kEmpty;
  double number = 0;
  bool single = false;  // from VT_R4: texts get 7 digits
  bool flag = false;
  std::wstring text;
};

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// A whole text in the C locale's number form, blanks around allowed.
bool ParseNumber(const std::wstring& text, double& value) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  if (begin == end) return false;
  std::string narrow;
  for (size_t i = begin; i < end; ++i) {
    const wchar_t c = text[i];
    const bool allowed =
        (c >= L'0' && c <= L'9') || c == L'.' || c == L'e' || c == L'E' || c == L'+' || c == L'-';
    if (!allowed) return false;
    narrow.push_back(static_cast<char>(c));
  }
  const char* first = narrow.data();
  const char* last = first + narrow.size();
  bool negative = false;
  if (*first == '+' || *first == '-') {
    negative = *first == '-';
    ++first;
  }
  if (first == last || !(std::isdigit(static_cast<unsigned char>(*first)) || *first == '.')) {
    return false;
  }
  double parsed = 0;
  auto [ptr, ec] = std::from_chars(first, last, parsed);
  if (ec != std::errc() || ptr != last || !std::isfinite(parsed)) return false;
  value = negative ? -parsed : parsed;
  return true;
}

std::wstring FormatNumber(double value, bool single) {
  if (value == 0) return L"0";
  char buffer[64];
  auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general,
                                 single ? 7 : 15);
  if (ec != std::errc()) return L"0";
  std::wstring text;
  for (const char* p = buffer; p != ptr; ++p) text.push_back(*p == 'e' ? L'E' : *p);
  return text;
}

HRESULT ToScalar(const VARIANT& v, USHORT flags, Scalar& out, int depth);

HRESULT DefaultValue(IDispatch* object, USHORT flags, Scalar& out, int depth) {
  if (object == nullptr || (flags & VARIANT_NOVALUEPROP) || depth > 0) return DISP_E_TYPEMISMATCH;
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  VARIANT value;
  VariantInit(&value);
  HRESULT hr = object->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET,
                              &none, &value, nullptr, nullptr);
  if (FAILED(hr)) {
    VariantClear(&value);
    return DISP_E_TYPEMISMATCH;
  }
  hr = ToScalar(value, flags, out, depth + 1);
  VariantClear(&value);
  return hr;
}

HRESULT ToScalar(const VARIANT& v, USHORT flags, Scalar& out, int depth) {
  switch (v.vt) {
    case VT_EMPTY:
      out.kind = Scalar::Kind::kEmpty;
      return S_OK;
    case VT_I2:
      out.kind = Scalar::Kind::kNumber;
      out.number = v.iVal;
      return S_OK;
    case VT_I4:
      out.kind = Scalar::Kind::kNumber;
      out.number = v.lVal;
      return S_OK;
    case VT_UI1:
      out.kind = Scalar::Kind::kNumber;
      out.number = v.bVal;
      return S_OK;
    case VT_R4:
      out.kind = Scalar::Kind::kNumber;
      out.number = v.fltVal;
      out.single = true;
      return S_OK;
    case VT_R8:
      if (!std::isfinite(v.dblVal)) return DISP_E_OVERFLOW;
      out.kind = Scalar::Kind::kNumber;
      out.number = v.dblVal;
      return S_OK;
    case VT_BOOL:
      out.kind = Scalar::Kind::kBool;
      out.flag = v.boolVal != VARIANT_FALSE;
      return S_OK;
    case VT_BSTR:
      out.kind = Scalar::Kind::kText;
      out.text.assign(v.bstrVal ? v.bstrVal : L"", SysStringLen(v.bstrVal));
      return S_OK;
    case VT_DISPATCH:
      return DefaultValue(v.pdispVal, flags, out, depth);
    case VT_NULL:
    case VT_ERROR:
    case VT_UNKNOWN:
      return DISP_E_TYPEMISMATCH;
    default:
      return DISP_E_BADVARTYPE;
  }
}

// The scalar as a number, for the numeric targets.
HRESULT AsNumber(const Scalar& s, double& value) {
  switch (s.kind) {
    case Scalar::Kind::kEmpty:
      value = 0;
      return S_OK;
    case Scalar::Kind::kNumber:
      value = s.number;
      return S_OK;
    case Scalar::Kind::kBool:
      value = s.flag ? -1 : 0;
      return S_OK;
    case Scalar::Kind::kText:
      return ParseNumber(s.text, value) ? S_OK : DISP_E_TYPEMISMATCH;
  }
  return DISP_E_TYPEMISMATCH;
}

HRESULT AsInteger(const Scalar& s, double low, double high, long long& value) {
  double number = 0;
  HRESULT hr = AsNumber(s, number);
  if (FAILED(hr)) return hr;
  // Half to even, as the automation library rounds.
  const double rounded = std::nearbyint(number);
  if (!(rounded >= low && rounded <= high)) return DISP_E_OVERFLOW;
  value = static_cast<long long>(rounded);
  return S_OK;
}

HRESULT FromScalar(const Scalar& s, VARTYPE type, VARIANT& out) {
  VariantInit(&out);
  long long integer = 0;
  double number = 0;
  HRESULT hr = S_OK;
  switch (type) {
    case VT_EMPTY:
      return S_OK;
    case VT_I2:
      hr = AsInteger(s, -32768, 32767, integer);
      if (SUCCEEDED(hr)) out.iVal = static_cast<SHORT>(integer);
      break;
    case VT_I4:
      hr = AsInteger(s, -2147483648.0, 2147483647.0, integer);
      if (SUCCEEDED(hr)) out.lVal = static_cast<LONG>(integer);
      break;
    case VT_UI1:
      if (s.kind == Scalar::Kind::kBool) {
        integer = s.flag ? 255 : 0;
      } else {
        hr = AsInteger(s, 0, 255, integer);
      }
      if (SUCCEEDED(hr)) out.bVal = static_cast<std::uint8_t>(integer);
      break;
    case VT_R4:
      hr = AsNumber(s, number);
      if (SUCCEEDED(hr) && std::fabs(number) > std::numeric_limits<float>::max()) {
        hr = DISP_E_OVERFLOW;
      }
      if (SUCCEEDED(hr)) out.fltVal = static_cast<float>(number);
      break;
    case VT_R8:
      hr = AsNumber(s, number);
      if (SUCCEEDED(hr)) out.dblVal = number;
      break;
    case VT_BOOL:
      if (s.kind == Scalar::Kind::kBool) {
        out.boolVal = s.flag ? VARIANT_TRUE : VARIANT_FALSE;
      } else if (s.kind == Scalar::Kind::kText && win::EqualsNoCase(s.text, L"true")) {
        out.boolVal = VARIANT_TRUE;
      } else if (s.kind == Scalar::Kind::kText && win::EqualsNoCase(s.text, L"false")) {
        out.boolVal = VARIANT_FALSE;
      } else {
        hr = AsNumber(s, number);
        if (SUCCEEDED(hr)) out.boolVal = number != 0 ? VARIANT_TRUE : VARIANT_FALSE;
      }
      break;
    case VT_BSTR: {
      std::wstring text;
      switch (s.kind) {
        case Scalar::Kind::kEmpty:
          break;
        case Scalar::Kind::kNumber:
          text = FormatNumber(s.number, s.single);
          break;
        case Scalar::Kind::kBool:
          text = s.flag ? L"True" : L"False";
          break;
        case Scalar::Kind::kText:
          text = s.text;
          break;
      }
      if (text.size() > kMaxBstrLength) return E_OUTOFMEMORY;
      out.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
      if (out.bstrVal == nullptr) return E_OUTOFMEMORY;
      break;
    }
    default:
      return DISP_E_BADVARTYPE;
  }
  if (FAILED(hr)) return hr;
  out.vt = type;
  return S_OK;
}

HRESULT ChangeObjectType(const VARIANT& source, VARTYPE type, VARIANT& out) {
  VariantInit(&out);
  IUnknown* unknown = source.vt == VT_DISPATCH ? source.pdispVal : source.punkVal;
  if (unknown == nullptr) {
    out.vt = type;
    return S_OK;
  }
  void* object = nullptr;
  HRESULT hr = unknown->QueryInterface(type == VT_DISPATCH ? IID_IDispatch : IID_IUnknown, &object);
  if (FAILED(hr)) return hr == E_NOINTERFACE ? DISP_E_TYPEMISMATCH : hr;
  out.vt = type;
  if (type == VT_DISPATCH) {
    out.pdispVal = static_cast<IDispatch*>(object);
  } else {
    out.punkVal = static_cast<IUnknown*>(object);
  }
  return S_OK;
}

}  // namespace

HRESULT VariantChangeType(VARIANT* dest, const VARIANT* source, USHORT flags, VARTYPE type) {
  if (dest == nullptr || source == nullptr) return E_INVALIDARG;
  if (type & VT_BYREF) return DISP_E_BADVARTYPE;
  VARIANT plain;
  HRESULT hr = Dereference(source, &plain);
  if (FAILED(hr)) return hr;

  VARIANT result;
  VariantInit(&result);
  if (plain.vt == type) {
    hr = CopyInto(&result, &plain);
  } else if (type == VT_NULL || type == VT_ERROR || type == VT_VARIANT) {
    hr = type == VT_VARIANT ? DISP_E_BADVARTYPE : DISP_E_TYPEMISMATCH;
  } else if ((type == VT_DISPATCH || type == VT_UNKNOWN) &&
             (plain.vt == VT_DISPATCH || plain.vt == VT_UNKNOWN)) {
    hr = ChangeObjectType(plain, type, result);
  } else if (type == VT_DISPATCH || type == VT_UNKNOWN) {
    hr = DISP_E_TYPEMISMATCH;
  } else {
    Scalar scalar;
    hr = ToScalar(plain, flags, scalar, 0);
    if (SUCCEEDED(hr)) hr = FromScalar(scalar, type, result);
  }
  if (FAILED(hr)) return hr;
  VariantClear(dest);
  *dest = result;
  return S_OK;
}
