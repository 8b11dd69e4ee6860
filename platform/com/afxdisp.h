// The application framework's automation classes: the dispatch driver that
// client code subclasses once per object type, the RAII variant, and the two
// OLE exceptions. Exceptions are thrown as pointers and deleted by whoever
// handles them (e->Delete()).
//
// InvokeHelper is called as on Windows,
//
//   static BYTE parms[] = VTS_VARIANT VTS_VARIANT;
//   LPDISPATCH result = nullptr;
//   InvokeHelper(0xAA, DISPATCH_PROPERTYGET, VT_DISPATCH, (void*)&result, parms, &row, &col);
//
// but its arguments are checked against the parameter types instead of read
// blindly: VTS_I2/VTS_I4/VTS_UI1 take integers (a value out of range throws
// DISP_E_OVERFLOW), VTS_R4/VTS_R8 numbers, VTS_BOOL a bool or integer,
// VTS_BSTR a const wchar_t* (or std::wstring), VTS_VARIANT a const VARIANT*
// (a COleVariant* will do), VTS_PVARIANT a VARIANT*, VTS_DISPATCH and
// VTS_UNKNOWN an interface pointer. Any other pairing, or a count of
// arguments that differs from the types, throws COleException E_INVALIDARG.
//
// What pvRet points to, by vtRet (long is 64 bits here, so an I4 result is a
// LONG, as the 32-bit long of the platform these sources come from):
//   VT_EMPTY nothing   VT_I2 SHORT   VT_I4 LONG   VT_R4 float   VT_R8 double
//   VT_BOOL BOOL       VT_BSTR std::wstring       VT_ERROR SCODE
//   VT_DISPATCH LPDISPATCH (a new reference, or nullptr)
//   VT_UNKNOWN LPUNKNOWN   VT_VARIANT VARIANT (cleared and replaced)
// A typed pointer instead of void* is checked against vtRet.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "platform/afx/afx.h"
#include "platform/com/objbase.h"
#include "platform/com/oleauto.h"

// Parameter types, concatenated into a byte string per member.
#define VTS_I2 "\x02"
#define VTS_I4 "\x03"
#define VTS_R4 "\x04"
#define VTS_R8 "\x05"
#define VTS_BSTR "\x08"
#define VTS_DISPATCH "\x09"
#define VTS_SCODE "\x0A"
#define VTS_BOOL "\x0B"
#define VTS_VARIANT "\x0C"
#define VTS_UNKNOWN "\x0D"
#define VTS_UI1 "\x11"
#define VTS_PVARIANT "\x4C"
#define VTS_NONE ""

// ---------------------------------------------------------------------------
// Exceptions.

class COleException : public CException {
  DECLARE_DYNAMIC(COleException)
 public:
  COleException() = default;
  explicit COleException(SCODE sc) : m_sc(sc) {}

  // The system's text for m_sc; for a code without one, a text naming the
  // code in hexadecimal.
  bool GetErrorMessage(std::wstring& message) const override;

  // The status code for any framework exception: an OLE exception's own,
  // E_OUTOFMEMORY for a memory exception, E_NOTIMPL for a not-supported one,
  // E_UNEXPECTED for every other kind (COleDispatchException included) and
  // for nullptr.
  static SCODE Process(const CException* exception);

  SCODE m_sc = S_OK;
};

// Raised when an object answers a call with DISP_E_EXCEPTION.
class COleDispatchException : public CException {
  DECLARE_DYNAMIC(COleDispatchException)
 public:
  COleDispatchException(const wchar_t* description, UINT helpId, WORD code);

  // The description; without one, the text of m_scError.
  bool GetErrorMessage(std::wstring& message) const override;

  WORD m_wCode;
  std::wstring m_strDescription;
  DWORD m_dwHelpContext;
  std::wstring m_strHelpFile;
  std::wstring m_strSource;
  SCODE m_scError;
};

[[noreturn]] void AfxThrowOleException(SCODE sc);

// ---------------------------------------------------------------------------
// COleVariant: a VARIANT that owns its contents.

class COleVariant : public tagVARIANT {
 public:
  COleVariant();
  COleVariant(const VARIANT& source);
  COleVariant(const COleVariant& source);
  COleVariant(COleVariant&& source) noexcept;
  COleVariant(const wchar_t* text);     // VT_BSTR; nullptr gives ""
  COleVariant(std::wstring_view text);  // VT_BSTR of exactly these characters
  // Narrow text would otherwise become a bool.
  COleVariant(const char*) = delete;
  COleVariant(std::uint8_t value);  // VT_UI1
  // type VT_I2 (default) or VT_BOOL.
  COleVariant(short value, VARTYPE type = VT_I2);
  // type VT_I4 (default), VT_ERROR or VT_BOOL. A value beyond 32 bits throws
  // COleException DISP_E_OVERFLOW.
  COleVariant(long value, VARTYPE type = VT_I4);
  COleVariant(int value, VARTYPE type = VT_I4);
  COleVariant(float value);
  COleVariant(double value);
  COleVariant(bool value);  // VT_BOOL
  ~COleVariant();

  COleVariant& operator=(const COleVariant& source);
  COleVariant& operator=(COleVariant&& source) noexcept;
  COleVariant& operator=(const VARIANT& source);
  COleVariant& operator=(const wchar_t* text);
  COleVariant& operator=(long value);
  COleVariant& operator=(int value);
  COleVariant& operator=(double value);
  COleVariant& operator=(bool value);

  void Clear();
  // Converts in place, or from source when it is given; throws COleException
  // with the conversion's code on failure.
  void ChangeType(VARTYPE type, const VARIANT* source = nullptr);
  // Takes over source's contents, leaving it VT_EMPTY.
  void Attach(VARIANT& source);
  // Hands the contents out; this is VT_EMPTY afterwards.
  VARIANT Detach();

  operator LPVARIANT() { return this; }
  operator LPCVARIANT() const { return this; }

 private:
  void SetLong(long long value, VARTYPE type);
};

// Inline, as the writer makes a few numbers for every call.
inline COleVariant::COleVariant() { VariantInit(this); }
inline COleVariant::COleVariant(long value, VARTYPE type) {
  VariantInit(this);
  if (type == VT_I4 && value >= -0x80000000LL && value <= 0x7FFFFFFFLL) {
    vt = VT_I4;
    lVal = static_cast<LONG>(value);
  } else {
    SetLong(value, type);
  }
}
inline COleVariant::COleVariant(int value, VARTYPE type) {
  VariantInit(this);
  if (type == VT_I4) {
    vt = VT_I4;
    lVal = value;
  } else {
    SetLong(value, type);
  }
}
inline COleVariant::COleVariant(double value) {
  VariantInit(this);
  vt = VT_R8;
  dblVal = value;
}
inline COleVariant::~COleVariant() { VariantClear(this); }

// ---------------------------------------------------------------------------
// COleDispatchDriver.

namespace afx::detail {

// One argument of InvokeHelper as passed, before the parameter type says
// what it becomes. Only the field of its kind is set: making one per
// argument of every call must cost next to nothing.
struct DispatchArg {
  enum class Kind : unsigned char {
    kInteger,
    kDouble,
    kBool,
    kText,
    kConstVariant,
    kVariant,
    kObject,
    kNull
  };
  Kind kind;
  union {
    long long integer;       // kInteger, kBool (0 or 1)
    double number;           // kDouble
    const wchar_t* text;     // kText
    const VARIANT* variant;  // kConstVariant, kVariant (then writable)
    IUnknown* unknown;       // kObject
  };
  IDispatch* dispatch;  // kObject, when it is one
};

template <typename>
inline constexpr bool kUnsupported = false;

template <typename T>
DispatchArg MakeArg(const T& value) {
  using U = std::decay_t<T>;
  using Kind = DispatchArg::Kind;
  DispatchArg a;
  a.dispatch = nullptr;
  if constexpr (std::is_same_v<U, bool>) {
    a.kind = Kind::kBool;
    a.integer = value ? 1 : 0;
  } else if constexpr (std::is_integral_v<U> || std::is_enum_v<U>) {
    a.kind = Kind::kInteger;
    a.integer = static_cast<long long>(value);
  } else if constexpr (std::is_floating_point_v<U>) {
    a.kind = Kind::kDouble;
    a.number = static_cast<double>(value);
  } else if constexpr (std::is_null_pointer_v<U>) {
    a.kind = Kind::kNull;
    a.integer = 0;
  } else if constexpr (std::is_convertible_v<U, const wchar_t*>) {
    a.kind = Kind::kText;
    a.text = value;
  } else if constexpr (std::is_same_v<U, std::wstring>) {
    a.kind = Kind::kText;
    a.text = value.c_str();
  } else if constexpr (std::is_convertible_v<U, VARIANT*>) {
    a.kind = Kind::kVariant;
    a.variant = value;
  } else if constexpr (std::is_convertible_v<U, const VARIANT*>) {
    a.kind = Kind::kConstVariant;
    a.variant = value;
  } else if constexpr (std::is_base_of_v<VARIANT, U>) {
    a.kind = Kind::kConstVariant;
    a.variant = &value;
  } else if constexpr (std::is_convertible_v<U, IDispatch*>) {
    a.kind = Kind::kObject;
    a.dispatch = value;
    a.unknown = value;
  } else if constexpr (std::is_convertible_v<U, IUnknown*>) {
    a.kind = Kind::kObject;
    a.unknown = value;
  } else {
    static_assert(kUnsupported<U>, "InvokeHelper: this argument type cannot be passed");
  }
  return a;
}

[[noreturn]] void ThrowInvalidArg();

template <typename P>
const char* ParamInfoOf(P info) {
  if constexpr (std::is_null_pointer_v<P>) {
    return nullptr;
  } else if constexpr (std::is_integral_v<P>) {
    // NULL, as a C-style caller writes it.
    if (info != 0) ThrowInvalidArg();
    return nullptr;
  } else if constexpr (std::is_convertible_v<P, const char*>) {
    return info;
  } else if constexpr (std::is_convertible_v<P, const unsigned char*>) {
    return reinterpret_cast<const char*>(static_cast<const unsigned char*>(info));
  } else {
    static_assert(kUnsupported<P>, "InvokeHelper: the parameter types must be a VTS_ string");
  }
}

// What a typed result pointer points to.
enum class ResultType {
  kVoid,
  kShort,
  kLong32,
  kLong64,
  kFloat,
  kDouble,
  kBool,
  kWString,
  kDispatch,
  kUnknown,
  kVariant
};

template <typename R>
constexpr ResultType ResultTypeOf() {
  if constexpr (std::is_same_v<R, short>)
    return ResultType::kShort;
  else if constexpr (std::is_same_v<R, std::int32_t>)
    return ResultType::kLong32;
  else if constexpr (std::is_same_v<R, long> || std::is_same_v<R, long long>)
    return ResultType::kLong64;
  else if constexpr (std::is_same_v<R, float>)
    return ResultType::kFloat;
  else if constexpr (std::is_same_v<R, double>)
    return ResultType::kDouble;
  else if constexpr (std::is_same_v<R, bool>)
    return ResultType::kBool;
  else if constexpr (std::is_same_v<R, std::wstring>)
    return ResultType::kWString;
  else if constexpr (std::is_same_v<R, IDispatch*>)
    return ResultType::kDispatch;
  else if constexpr (std::is_same_v<R, IUnknown*>)
    return ResultType::kUnknown;
  else if constexpr (std::is_base_of_v<VARIANT, R>)
    return ResultType::kVariant;
  else
    static_assert(kUnsupported<R>, "InvokeHelper: this result type cannot be received");
}

// Whether a typed result pointer goes with vtRet.
constexpr bool ResultFits(VARTYPE vt, ResultType type) {
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

// The parameter type under which an argument of type T goes to the object
// as it was passed, owning nothing and needing no conversion: VTS_VARIANT
// for a variant, VTS_I4 for an integer; 0 for any other.
template <typename T>
constexpr BYTE PlainType() {
  using U = std::decay_t<T>;
  if constexpr (std::is_same_v<U, bool> || std::is_null_pointer_v<U>) {
    return 0;
  } else if constexpr (std::is_integral_v<U> || std::is_enum_v<U>) {
    return VT_I4;
  } else if constexpr (std::is_convertible_v<U, const VARIANT*> || std::is_base_of_v<VARIANT, U>) {
    return VT_VARIANT;
  } else {
    return 0;
  }
}

// Copies one such argument into its slot; false when it cannot go as it is
// (a null variant pointer, an integer beyond 32 bits).
template <typename T>
bool PlainSlot(const T& value, VARIANT& slot) {
  using U = std::decay_t<T>;
  if constexpr (std::is_integral_v<U> || std::is_enum_v<U>) {
    const auto n = static_cast<long long>(value);
    if (n < -0x80000000LL || n > 0x7FFFFFFFLL) return false;
    slot = VARIANT{};
    slot.vt = VT_I4;
    slot.lVal = static_cast<LONG>(n);
  } else if constexpr (std::is_base_of_v<VARIANT, U>) {
    slot = value;
  } else {
    const VARIANT* v = value;
    if (v == nullptr) return false;
    slot = *v;
  }
  return true;
}

// True when the parameter types are exactly the plain types of Args; the
// string is read only up to the first type that differs, so a shorter one
// is never overrun.
template <typename... Args>
bool PlainTypes(const char* info) {
  static constexpr BYTE kTypes[] = {PlainType<Args>()..., 0};
  if (info == nullptr) return sizeof...(Args) == 0;
  for (const BYTE type : kTypes) {
    if (static_cast<BYTE>(*info) != type) return false;
    ++info;
  }
  return true;
}

// Fills slots, last argument first, when every argument goes as it is.
template <typename... Args, size_t... I>
bool PlainArguments(const char* info, VARIANT* slots, std::index_sequence<I...>,
                    const Args&... args) {
  return PlainTypes<Args...>(info) && (PlainSlot(args, slots[sizeof...(Args) - 1 - I]) && ...);
}

}  // namespace afx::detail

class COleDispatchDriver {
 public:
  COleDispatchDriver() : m_lpDispatch(nullptr), m_bAutoRelease(TRUE) {}
  // Takes over the reference (released later when autoRelease).
  explicit COleDispatchDriver(LPDISPATCH dispatch, BOOL autoRelease = TRUE);
  // Shares the other's object with a reference of its own.
  COleDispatchDriver(const COleDispatchDriver& other);
  const COleDispatchDriver& operator=(const COleDispatchDriver& other);
  virtual ~COleDispatchDriver() { ReleaseDispatch(); }

  // Creates an object of the class and holds its IDispatch. On failure
  // returns FALSE and, when error is given, leaves the status code in
  // error->m_sc: CO_E_CLASSSTRING for an unknown ProgID, REGDB_E_CLASSNOTREG
  // for a class nobody serves, E_NOINTERFACE without IDispatch. Whatever was
  // held before is released first.
  BOOL CreateDispatch(REFCLSID clsid, COleException* error = nullptr);
  BOOL CreateDispatch(LPCOLESTR progId, COleException* error = nullptr);

  // Releases what is held, then takes over dispatch. Inline, as is
  // ReleaseDispatch: a writer attaches and drops several objects per cell.
  void AttachDispatch(LPDISPATCH dispatch, BOOL autoRelease = TRUE) {
    // The caller hands over a reference of its own, so releasing the one
    // held first is right even when it is the same object.
    ReleaseDispatch();
    m_lpDispatch = dispatch;
    m_bAutoRelease = autoRelease;
  }
  // Drops the reference (when auto-releasing) and holds nothing.
  void ReleaseDispatch() {
    if (m_lpDispatch != nullptr) {
      if (m_bAutoRelease) m_lpDispatch->Release();
      m_lpDispatch = nullptr;
    }
  }
  // Hands the pointer out, unreleased; holds nothing afterwards.
  LPDISPATCH DetachDispatch();

  operator LPDISPATCH() const { return m_lpDispatch; }

  // One IDispatch::Invoke. Does nothing when no object is held. Throws
  // COleDispatchException* for DISP_E_EXCEPTION, COleException* for any
  // other failure (also of the result's conversion to vtRet). paramInfo is a
  // VTS_ string, a BYTE array made of them, or null (NULL, nullptr).
  template <typename P, typename... Args>
  void InvokeHelper(DISPID id, WORD flags, VARTYPE vtRet, void* pvRet, P paramInfo,
                    const Args&... args) {
    InvokeTyped<afx::detail::ResultType::kVoid>(id, flags, vtRet, pvRet,
                                                afx::detail::ParamInfoOf(paramInfo), args...);
  }
  template <typename R, typename P, typename... Args>
  requires(!std::is_void_v<R>) void InvokeHelper(DISPID id, WORD flags, VARTYPE vtRet, R* pvRet,
                                                 P paramInfo, const Args&... args) {
    InvokeTyped<afx::detail::ResultTypeOf<R>()>(id, flags, vtRet, pvRet,
                                                afx::detail::ParamInfoOf(paramInfo), args...);
  }

  // At most this many arguments.
  static constexpr size_t kMaxHelperArgs = 8;

 private:
  // Nearly every call passes variants and integers under their own types:
  // those go into the call's arguments as they are, with nothing built,
  // freed or converted, and the rest take the general walk.
  template <afx::detail::ResultType R, typename... Args>
  void InvokeTyped(DISPID id, WORD flags, VARTYPE vtRet, void* pvRet, const char* paramInfo,
                   const Args&... args) {
    if (m_lpDispatch == nullptr) return;
    if (!afx::detail::ResultFits(vtRet, R)) afx::detail::ThrowInvalidArg();
    if constexpr (((afx::detail::PlainType<Args>() != 0) && ...) &&
                  sizeof...(Args) <= kMaxHelperArgs) {
      VARIANT slots[sizeof...(Args) == 0 ? 1 : sizeof...(Args)];
      if (afx::detail::PlainArguments(paramInfo, slots, std::index_sequence_for<Args...>{},
                                      args...)) {
        return InvokePlain(id, flags, vtRet, pvRet, R, slots, sizeof...(Args));
      }
    }
    const std::array<afx::detail::DispatchArg, sizeof...(Args)> list{afx::detail::MakeArg(args)...};
    InvokeHelperV(id, flags, vtRet, pvRet, R, paramInfo, list);
  }
  // The parameter string, its arguments and the result, as a typed call, for
  // an object held and a result pointer that fits vtRet (InvokeTyped checks).
  void InvokeHelperV(DISPID id, WORD flags, VARTYPE vtRet, void* pvRet,
                     afx::detail::ResultType resultType, const char* paramInfo,
                     std::span<const afx::detail::DispatchArg> args) const;
  // The call with its arguments made, last first.
  void InvokePlain(DISPID id, WORD flags, VARTYPE vtRet, void* pvRet,
                   afx::detail::ResultType resultType, VARIANT* args, size_t count) const;

 public:
  LPDISPATCH m_lpDispatch;
  BOOL m_bAutoRelease;
};
