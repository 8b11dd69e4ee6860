#include "platform/com/comdef.h"

#include <cwchar>

#include "platform/win/text.h"

namespace {

BSTR AllocOrThrow(const wchar_t* text, size_t length) {
  if (length == 0) return nullptr;
  BSTR bstr = SysAllocStringLen(text, static_cast<UINT>(length));
  if (bstr == nullptr) _com_issue_error(E_OUTOFMEMORY);
  return bstr;
}

}  // namespace

_bstr_t::_bstr_t(const wchar_t* text) : _bstr_t(text ? std::wstring(text) : std::wstring()) {}

_bstr_t::_bstr_t(const char* text) : _bstr_t(text ? win::Utf8ToWide(text) : std::wstring()) {}

_bstr_t::_bstr_t(const std::wstring& text) {
  if (!text.empty()) data_ = std::make_shared<Data>(AllocOrThrow(text.data(), text.size()));
}

_bstr_t::_bstr_t(BSTR bstr, bool copy) {
  if (bstr == nullptr) return;
  if (copy) {
    if (SysStringLen(bstr) > 0)
      data_ = std::make_shared<Data>(AllocOrThrow(bstr, SysStringLen(bstr)));
  } else {
    data_ = std::make_shared<Data>(bstr);
  }
}

BSTR _bstr_t::copy() const {
  if (!data_) return nullptr;
  return AllocOrThrow(data_->bstr, SysStringLen(data_->bstr));
}

UINT _bstr_t::length() const { return data_ ? SysStringLen(data_->bstr) : 0; }

std::wstring _bstr_t::str() const {
  return data_ ? std::wstring(data_->bstr, SysStringLen(data_->bstr)) : std::wstring();
}

_bstr_t& _bstr_t::operator+=(const _bstr_t& other) {
  *this = _bstr_t(str() + other.str());
  return *this;
}

_bstr_t operator+(const _bstr_t& a, const _bstr_t& b) { return _bstr_t(a.str() + b.str()); }

// ---------------------------------------------------------------------------

// ---------------------------------------------------------------------------

namespace {

void CopyOrThrow(VARIANT* dest, const VARIANT* source) {
  HRESULT hr = VariantCopy(dest, source);
  if (FAILED(hr)) _com_issue_error(hr);
}

}  // namespace

const _variant_t vtMissing(static_cast<int>(DISP_E_PARAMNOTFOUND), VT_ERROR);

_variant_t::_variant_t() { VariantInit(this); }
_variant_t::_variant_t(const VARIANT& source) {
  VariantInit(this);
  CopyOrThrow(this, &source);
}
_variant_t::_variant_t(const _variant_t& source)
    : _variant_t(static_cast<const VARIANT&>(source)) {}
_variant_t::_variant_t(_variant_t&& source) noexcept {
  *static_cast<VARIANT*>(this) = source;
  VariantInit(&source);
}
_variant_t::_variant_t(long value, VARTYPE type) {
  VariantInit(this);
  if (type == VT_BOOL) {
    vt = VT_BOOL;
    boolVal = value != 0 ? VARIANT_TRUE : VARIANT_FALSE;
    return;
  }
  if (value < -2147483648L || value > 0xFFFFFFFFL || (type != VT_ERROR && value > 2147483647L)) {
    _com_issue_error(DISP_E_OVERFLOW);
  }
  if (type != VT_I4 && type != VT_ERROR) _com_issue_error(E_INVALIDARG);
  vt = type;
  lVal = static_cast<LONG>(static_cast<std::uint32_t>(value));
}
_variant_t::_variant_t(int value, VARTYPE type) : _variant_t(static_cast<long>(value), type) {}
_variant_t::_variant_t(short value) {
  VariantInit(this);
  vt = VT_I2;
  iVal = value;
}
_variant_t::_variant_t(double value) {
  VariantInit(this);
  vt = VT_R8;
  dblVal = value;
}
_variant_t::_variant_t(bool value) {
  VariantInit(this);
  vt = VT_BOOL;
  boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}
_variant_t::_variant_t(const wchar_t* text) : _variant_t(_bstr_t(text)) {}
_variant_t::_variant_t(const char* text) : _variant_t(_bstr_t(text)) {}
_variant_t::_variant_t(const _bstr_t& text) {
  VariantInit(this);
  BSTR bstr = SysAllocStringLen(static_cast<const wchar_t*>(text), text.length());
  if (bstr == nullptr) _com_issue_error(E_OUTOFMEMORY);
  vt = VT_BSTR;
  bstrVal = bstr;
}
_variant_t::_variant_t(IDispatch* object) {
  VariantInit(this);
  vt = VT_DISPATCH;
  pdispVal = object;
  if (object) object->AddRef();
}
_variant_t::~_variant_t() { VariantClear(this); }

_variant_t& _variant_t::operator=(const _variant_t& source) {
  CopyOrThrow(this, &source);
  return *this;
}
_variant_t& _variant_t::operator=(_variant_t&& source) noexcept {
  if (this != &source) {
    VariantClear(this);
    *static_cast<VARIANT*>(this) = source;
    VariantInit(&source);
  }
  return *this;
}

void _variant_t::Clear() { VariantClear(this); }

void _variant_t::ChangeType(VARTYPE type, const _variant_t* source) {
  HRESULT hr = VariantChangeType(this, source ? source : this, 0, type);
  if (FAILED(hr)) _com_issue_error(hr);
}

namespace {
_variant_t Converted(const _variant_t& v, VARTYPE type) {
  _variant_t out;
  HRESULT hr = VariantChangeType(&out, &v, 0, type);
  if (FAILED(hr)) _com_issue_error(hr);
  return out;
}
}  // namespace

_variant_t::operator long() const { return Converted(*this, VT_I4).lVal; }
_variant_t::operator double() const { return Converted(*this, VT_R8).dblVal; }
_variant_t::operator bool() const { return Converted(*this, VT_BOOL).boolVal != VARIANT_FALSE; }
_variant_t::operator _bstr_t() const {
  _variant_t text = Converted(*this, VT_BSTR);
  return _bstr_t(text.bstrVal, true);
}
