// The COM stand-in: status texts, BSTR and VARIANT rules, ProgID lookup,
// creation and the running object table, the dispatch checks every server
// gets, and the framework's dispatch driver and exceptions.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/com/afxdisp.h"
#include "platform/com/comdef.h"
#include "platform/com/dispatch_object.h"
#include "platform/com/objbase.h"
#include "platform/registry/registry.h"

namespace {

// ---------------------------------------------------------------------------
// Status codes and their texts.

std::wstring SystemText(HRESULT code) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
      reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
  std::wstring text = length ? std::wstring(buffer, length) : L"<none>";
  EXPECT_EQ(length == 0, buffer == nullptr);
  LocalFree(buffer);
  return text;
}

TEST(ComStatus, SystemTextsOfTheCodesThatOccur) {
  EXPECT_EQ(SystemText(REGDB_E_CLASSNOTREG), L"Class not registered\r\n");
  EXPECT_EQ(SystemText(CO_E_CLASSSTRING), L"Invalid class string\r\n");
  EXPECT_EQ(SystemText(MK_E_UNAVAILABLE), L"Operation unavailable\r\n");
  EXPECT_EQ(SystemText(E_NOINTERFACE), L"No such interface supported\r\n");
  EXPECT_EQ(SystemText(DISP_E_MEMBERNOTFOUND), L"Member not found.\r\n");
  EXPECT_EQ(SystemText(DISP_E_EXCEPTION), L"Exception occurred.\r\n");
  EXPECT_EQ(SystemText(DISP_E_TYPEMISMATCH), L"Type mismatch.\r\n");
  EXPECT_EQ(SystemText(DISP_E_BADPARAMCOUNT), L"Invalid number of parameters.\r\n");
  EXPECT_EQ(SystemText(DISP_E_PARAMNOTFOUND), L"Parameter not found.\r\n");
  EXPECT_EQ(SystemText(E_UNEXPECTED), L"Catastrophic failure\r\n");
  EXPECT_EQ(SystemText(E_FAIL), L"Unspecified error\r\n");
  EXPECT_EQ(SystemText(E_NOTIMPL), L"Not implemented\r\n");
  EXPECT_EQ(SystemText(E_INVALIDARG), L"The parameter is incorrect.\r\n");
  EXPECT_EQ(SystemText(E_OUTOFMEMORY),
            L"Not enough memory resources are available to complete this operation.\r\n");
  EXPECT_EQ(SystemText(CO_E_NOTINITIALIZED), L"CoInitialize has not been called.\r\n");
}

TEST(ComStatus, ApplicationCodesHaveNoText) {
  EXPECT_EQ(SystemText(static_cast<HRESULT>(0x800A03EC)), L"<none>");
  EXPECT_EQ(SystemText(static_cast<HRESULT>(0x80041234)), L"<none>");
  EXPECT_EQ(com::SystemMessage(static_cast<HRESULT>(0x800A03EC)), L"");
  EXPECT_EQ(com::SystemMessage(DISP_E_EXCEPTION), L"Exception occurred.");
}

TEST(ComStatus, CallerBufferAndLanguage) {
  wchar_t small[8];
  EXPECT_EQ(0u, FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, E_FAIL, 0, small, 8, nullptr));
  wchar_t big[64];
  EXPECT_EQ(19u, FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, E_FAIL, 0, big, 64, nullptr));
  EXPECT_STREQ(big, L"Unspecified error\r\n");
  // German (0x407) is not in the table; US English is.
  EXPECT_EQ(0u,
            FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, E_FAIL, 0x407, big, 64, nullptr));
  EXPECT_EQ(19u,
            FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, E_FAIL, 0x409, big, 64, nullptr));
  // Only the system table is served.
  EXPECT_EQ(0u, FormatMessageW(FORMAT_MESSAGE_FROM_STRING, L"x", 0, 0, big, 64, nullptr));
}

// ---------------------------------------------------------------------------
// BSTR and VARIANT.

TEST(ComVariant, BstrKeepsItsLengthAndEmbeddedZeros) {
  const wchar_t text[] = L"a\0b";
  BSTR b = SysAllocStringLen(text, 3);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(SysStringLen(b), 3u);
  EXPECT_EQ(b[1], L'\0');
  EXPECT_EQ(b[3], L'\0');

  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = b;
  VARIANT copy;
  VariantInit(&copy);
  ASSERT_EQ(S_OK, VariantCopy(&copy, &v));
  EXPECT_NE(copy.bstrVal, b);
  EXPECT_EQ(SysStringLen(copy.bstrVal), 3u);
  EXPECT_EQ(copy.bstrVal[2], L'b');
  VariantClear(&copy);
  VariantClear(&v);
  EXPECT_EQ(v.vt, VT_EMPTY);

  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  SysFreeString(nullptr);
}

// Converts and returns the result as text for compact checks.
std::wstring Convert(const COleVariant& from, VARTYPE type, HRESULT* hr_out = nullptr) {
  COleVariant to;
  HRESULT hr = VariantChangeType(&to, &from, 0, type);
  if (hr_out) *hr_out = hr;
  if (FAILED(hr)) return L"failed";
  switch (to.vt) {
    case VT_I4:
      return L"I4:" + std::to_wstring(to.lVal);
    case VT_I2:
      return L"I2:" + std::to_wstring(to.iVal);
    case VT_BOOL:
      return to.boolVal == VARIANT_TRUE ? L"BOOL:-1" : L"BOOL:0";
    case VT_R8:
      return L"R8:" + std::to_wstring(to.dblVal);
    case VT_BSTR:
      return L"BSTR:" + std::wstring(to.bstrVal ? to.bstrVal : L"");
    default:
      return L"vt" + std::to_wstring(to.vt);
  }
}

TEST(ComVariant, ChangeTypeBetweenNumbersTextsAndBooleans) {
  EXPECT_EQ(Convert(COleVariant(42L), VT_BSTR), L"BSTR:42");
  EXPECT_EQ(Convert(COleVariant(L" -17 "), VT_I4), L"I4:-17");
  EXPECT_EQ(Convert(COleVariant(1.5), VT_BSTR), L"BSTR:1.5");
  EXPECT_EQ(Convert(COleVariant(1e20), VT_BSTR), L"BSTR:1E+20");
  EXPECT_EQ(Convert(COleVariant(true), VT_I4), L"I4:-1");
  EXPECT_EQ(Convert(COleVariant(true), VT_BSTR), L"BSTR:True");
  EXPECT_EQ(Convert(COleVariant(L"false"), VT_BOOL), L"BOOL:0");
  EXPECT_EQ(Convert(COleVariant(L"2"), VT_BOOL), L"BOOL:-1");
  EXPECT_EQ(Convert(COleVariant(7L), VT_BOOL), L"BOOL:-1");
  EXPECT_EQ(Convert(COleVariant(L"2.5"), VT_R8), L"R8:2.500000");
  EXPECT_EQ(Convert(COleVariant(), VT_BSTR), L"BSTR:");
  // Half to even.
  EXPECT_EQ(Convert(COleVariant(2.5), VT_I4), L"I4:2");
  EXPECT_EQ(Convert(COleVariant(3.5), VT_I4), L"I4:4");
  EXPECT_EQ(Convert(COleVariant(-2.5), VT_I4), L"I4:-2");
}

TEST(ComVariant, ChangeTypeFailures) {
  HRESULT hr = S_OK;
  Convert(COleVariant(L"12abc"), VT_I4, &hr);
  EXPECT_EQ(hr, DISP_E_TYPEMISMATCH);
  Convert(COleVariant(L""), VT_I4, &hr);
  EXPECT_EQ(hr, DISP_E_TYPEMISMATCH);
  Convert(COleVariant(L"inf"), VT_R8, &hr);
  EXPECT_EQ(hr, DISP_E_TYPEMISMATCH);
  Convert(COleVariant(3e9), VT_I4, &hr);
  EXPECT_EQ(hr, DISP_E_OVERFLOW);
  Convert(COleVariant(40000L), VT_I2, &hr);
  EXPECT_EQ(hr, DISP_E_OVERFLOW);
  VARIANT null;
  VariantInit(&null);
  null.vt = VT_NULL;
  Convert(COleVariant(null), VT_I4, &hr);
  EXPECT_EQ(hr, DISP_E_TYPEMISMATCH);

  // A failed conversion leaves the destination as it was, also in place.
  COleVariant text(L"not a number");
  EXPECT_EQ(DISP_E_TYPEMISMATCH, VariantChangeType(&text, &text, 0, VT_I4));
  EXPECT_EQ(text.vt, VT_BSTR);
  EXPECT_STREQ(text.bstrVal, L"not a number");
  COleVariant number(L"12");
  EXPECT_EQ(S_OK, VariantChangeType(&number, &number, 0, VT_I4));
  EXPECT_EQ(number.vt, VT_I4);
  EXPECT_EQ(number.lVal, 12);
}

TEST(ComVariant, ByReferenceArgumentsAreRead) {
  COleVariant inner(L"5");
  VARIANT ref;
  VariantInit(&ref);
  ref.vt = VT_BYREF | VT_VARIANT;
  ref.pvarVal = &inner;
  COleVariant out;
  ASSERT_EQ(S_OK, VariantChangeType(&out, &ref, 0, VT_I4));
  EXPECT_EQ(out.lVal, 5);
  ASSERT_EQ(S_OK, VariantCopyInd(&out, &ref));
  EXPECT_EQ(out.vt, VT_BSTR);
  EXPECT_NE(out.bstrVal, inner.bstrVal);
}

TEST(ComVariant, OleVariantConstructors) {
  EXPECT_EQ(COleVariant(5L).vt, VT_I4);
  EXPECT_EQ(COleVariant(5).vt, VT_I4);
  EXPECT_EQ(COleVariant(static_cast<short>(5)).vt, VT_I2);
  EXPECT_EQ(COleVariant(true).boolVal, VARIANT_TRUE);
  EXPECT_EQ(COleVariant(0L, VT_BOOL).boolVal, VARIANT_FALSE);
  const COleVariant missing(static_cast<long>(DISP_E_PARAMNOTFOUND), VT_ERROR);
  EXPECT_EQ(missing.vt, VT_ERROR);
  EXPECT_EQ(missing.scode, DISP_E_PARAMNOTFOUND);
  EXPECT_EQ(COleVariant(0x800A03ECL, VT_ERROR).scode, static_cast<SCODE>(0x800A03EC));
  EXPECT_EQ(COleVariant(static_cast<const wchar_t*>(nullptr)).vt, VT_BSTR);
  // A long does not fit a VT_I4 on every platform; it is refused, not cut.
  try {
    COleVariant too_big(0x100000000L);
    ADD_FAILURE() << "no exception";
  } catch (COleException* e) {
    EXPECT_EQ(e->m_sc, DISP_E_OVERFLOW);
    e->Delete();
  }
  COleVariant a(L"x");
  COleVariant b = a;
  EXPECT_NE(a.bstrVal, b.bstrVal);
  b = 3L;
  EXPECT_EQ(b.vt, VT_I4);
  EXPECT_STREQ(a.bstrVal, L"x");
}

// ---------------------------------------------------------------------------
// A small server used to drive the dispatch machinery.

int g_live_objects = 0;

class Counter final : public com::DispatchObject {
 public:
  Counter() { ++g_live_objects; }
  ~Counter() override { --g_live_objects; }

  LONG value = 0;
  std::wstring last_text;

 protected:
  std::span<const com::MemberInfo> Members() const override {
    static constexpr com::MemberInfo kMembers[] = {
        {L"Value", 1, DISPATCH_PROPERTYGET | DISPATCH_PROPERTYPUT, 0, 0,
         com::Handle<&Counter::Value>},
        {L"Add", 2, DISPATCH_METHOD, 1, 2, com::Handle<&Counter::Add>},
        {L"Fail", 3, DISPATCH_METHOD, 0, 1, com::Handle<&Counter::Fail>},
        {L"Text", 4, DISPATCH_METHOD, 1, 1, com::Handle<&Counter::Text>},
        {L"Child", 5, DISPATCH_PROPERTYGET, 0, 0, com::Handle<&Counter::Child>},
    };
    static_assert(com::SortedById(kMembers));
    return kMembers;
  }
  std::wstring ExceptionSource() const override { return L"Counter"; }

 private:
  void Value(com::Invocation& call) {
    if (call.is_get()) return call.ReturnLong(value);
    value = call.Long(com::Invocation::kValue);
  }
  // Add(a [, b]): value += a - b, so the order of arguments shows.
  void Add(com::Invocation& call) {
    value += call.Long(0) - (call.Has(1) ? call.Long(1) : 0);
    call.ReturnLong(value);
  }
  void Fail(com::Invocation& call) { call.Raise(static_cast<SCODE>(0x800A03EC), L"It went wrong"); }
  void Text(com::Invocation& call) {
    last_text = call.String(0);
    call.ReturnString(last_text + L"!");
  }
  void Child(com::Invocation& call) { call.ReturnObject(new Counter); }
};

// The code a call fails with; S_OK (and a failure) when it does not throw.
template <typename Call>
SCODE Refused(Call&& call) {
  try {
    call();
    ADD_FAILURE() << "no exception";
    return S_OK;
  } catch (COleException* e) {
    const SCODE sc = e->m_sc;
    e->Delete();
    return sc;
  }
}

HRESULT Invoke(IDispatch* d, DISPID id, WORD flags, std::vector<COleVariant> args_last_first,
               VARIANT* result = nullptr, EXCEPINFO* info = nullptr, UINT* argErr = nullptr,
               bool put = false) {
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS dp{args_last_first.empty() ? nullptr : args_last_first.data(), put ? &named : nullptr,
                static_cast<UINT>(args_last_first.size()), put ? 1u : 0u};
  return d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &dp, result, info, argErr);
}

TEST(ComDispatch, MembersAnswerOnlyAsListed) {
  auto* c = new Counter;
  COleVariant result;
  EXPECT_EQ(DISP_E_MEMBERNOTFOUND, Invoke(c, 99, DISPATCH_METHOD, {}, &result));
  // A get-only member refuses a put, a method refuses a get.
  EXPECT_EQ(DISP_E_MEMBERNOTFOUND,
            Invoke(c, 5, DISPATCH_PROPERTYPUT, {COleVariant(1L)}, nullptr, nullptr, nullptr, true));
  EXPECT_EQ(DISP_E_MEMBERNOTFOUND, Invoke(c, 3, DISPATCH_PROPERTYGET, {}));
  EXPECT_EQ(DISP_E_BADPARAMCOUNT, Invoke(c, 2, DISPATCH_METHOD, {}));
  EXPECT_EQ(DISP_E_BADPARAMCOUNT,
            Invoke(c, 2, DISPATCH_METHOD, {COleVariant(1L), COleVariant(2L), COleVariant(3L)}));
  // A put needs its value named DISPID_PROPERTYPUT.
  EXPECT_EQ(DISP_E_PARAMNOTOPTIONAL, Invoke(c, 1, DISPATCH_PROPERTYPUT, {COleVariant(1L)}));
  EXPECT_EQ(DISP_E_UNKNOWNINTERFACE, c->Invoke(1, IID_IDispatch, 0, DISPATCH_PROPERTYGET, nullptr,
                                               nullptr, nullptr, nullptr));
  EXPECT_EQ(E_INVALIDARG,
            c->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYGET, nullptr, nullptr, nullptr, nullptr));
  c->Release();
}

TEST(ComDispatch, ArgumentsComeLastFirstAndConvert) {
  auto* c = new Counter;
  COleVariant result;
  // Add(10, 3): rgvarg = {3, 10}.
  ASSERT_EQ(S_OK, Invoke(c, 2, DISPATCH_METHOD, {COleVariant(3L), COleVariant(L"10")}, &result));
  EXPECT_EQ(result.vt, VT_I4);
  EXPECT_EQ(result.lVal, 7);
  // The optional second argument passed as missing.
  ASSERT_EQ(S_OK, Invoke(c, 2, DISPATCH_METHOD,
                         {COleVariant(static_cast<long>(DISP_E_PARAMNOTFOUND), VT_ERROR),
                          COleVariant(5L)},
                         &result));
  EXPECT_EQ(result.lVal, 12);
  // The first argument does not convert: argErr names its rgvarg slot (1).
  UINT argErr = 99;
  EXPECT_EQ(DISP_E_TYPEMISMATCH, Invoke(c, 2, DISPATCH_METHOD, {COleVariant(1L), COleVariant(L"x")},
                                        &result, nullptr, &argErr));
  EXPECT_EQ(argErr, 1u);
  // A required argument given as missing.
  EXPECT_EQ(DISP_E_PARAMNOTOPTIONAL,
            Invoke(c, 2, DISPATCH_METHOD,
                   {COleVariant(static_cast<long>(DISP_E_PARAMNOTFOUND), VT_ERROR)}));
  // Property put, then get through METHOD|GET as script clients call.
  ASSERT_EQ(S_OK, Invoke(c, 1, DISPATCH_PROPERTYPUT, {COleVariant(L"41")}, nullptr, nullptr,
                         nullptr, true));
  ASSERT_EQ(S_OK, Invoke(c, 1, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}, &result));
  EXPECT_EQ(result.lVal, 41);
  c->Release();
}

TEST(ComDispatch, ExceptionsCarryTheirInfo) {
  auto* c = new Counter;
  EXCEPINFO info{};
  EXPECT_EQ(DISP_E_EXCEPTION, Invoke(c, 3, DISPATCH_METHOD, {}, nullptr, &info));
  EXPECT_EQ(info.scode, static_cast<SCODE>(0x800A03EC));
  EXPECT_STREQ(info.bstrDescription, L"It went wrong");
  EXPECT_STREQ(info.bstrSource, L"Counter");
  SysFreeString(info.bstrDescription);
  SysFreeString(info.bstrSource);
  // Without room for the info the status is the same.
  EXPECT_EQ(DISP_E_EXCEPTION, Invoke(c, 3, DISPATCH_METHOD, {}));
  c->Release();
}

TEST(ComDispatch, NamesAndInterfaces) {
  auto* c = new Counter;
  wchar_t name[] = L"vALUE";
  LPOLESTR names[] = {name};
  DISPID id = 0;
  EXPECT_EQ(S_OK, c->GetIDsOfNames(IID_NULL, names, 1, 0, &id));
  EXPECT_EQ(id, 1);
  wchar_t unknown[] = L"Nope";
  names[0] = unknown;
  EXPECT_EQ(DISP_E_UNKNOWNNAME, c->GetIDsOfNames(IID_NULL, names, 1, 0, &id));
  EXPECT_EQ(id, DISPID_UNKNOWN);

  void* p = nullptr;
  EXPECT_EQ(S_OK, c->QueryInterface(IID_IUnknown, &p));
  static_cast<IUnknown*>(p)->Release();
  const IID other = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
  EXPECT_EQ(E_NOINTERFACE, c->QueryInterface(other, &p));
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(c->Release(), 0u);
}

// ---------------------------------------------------------------------------
// Creation, ProgIDs and the running object table.

const CLSID kCounterClsid = {0x12345678, 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, 8}};

class ComRuntime : public ::testing::Test {
 protected:
  void SetUp() override {
    registry::ClearClassesRoot();
    ASSERT_EQ(S_OK, CoInitialize(nullptr));
  }
  void TearDown() override {
    com::RevokeClassFactory(kCounterClsid);
    CoUninitialize();
    registry::ClearClassesRoot();
  }
  static void RegisterProgId(const wchar_t* progId, const std::wstring& clsid) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExW(HKEY_CLASSES_ROOT, (std::wstring(progId) + L"\\CLSID").c_str(), 0,
                              nullptr, 0, KEY_WRITE, nullptr, &key, nullptr));
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(clsid.c_str()),
                             static_cast<DWORD>((clsid.size() + 1) * sizeof(wchar_t))));
    RegCloseKey(key);
  }
  static void RegisterCounter() {
    com::RegisterClassFactory(kCounterClsid, [](REFIID iid, void** object) {
      auto* c = new Counter;
      HRESULT hr = c->QueryInterface(iid, object);
      c->Release();
      return hr;
    });
  }
};

TEST_F(ComRuntime, ProgIdLookup) {
  CLSID clsid{};
  EXPECT_EQ(CO_E_CLASSSTRING, CLSIDFromProgID(L"Test.Counter", &clsid));
  RegisterProgId(L"Test.Counter", L"{12345678-1234-5678-0102-030405060708}");
  ASSERT_EQ(S_OK, CLSIDFromProgID(L"Test.Counter", &clsid));
  EXPECT_EQ(clsid, kCounterClsid);
  EXPECT_EQ(com::GuidToString(clsid), L"{12345678-1234-5678-0102-030405060708}");
  RegisterProgId(L"Test.Broken", L"{not-a-guid}");
  EXPECT_EQ(CO_E_CLASSSTRING, CLSIDFromProgID(L"Test.Broken", &clsid));
  EXPECT_EQ(CO_E_CLASSSTRING, CLSIDFromProgID(L"", &clsid));
  EXPECT_EQ(E_INVALIDARG, CLSIDFromProgID(nullptr, &clsid));
}

TEST_F(ComRuntime, CreationByClassId) {
  void* p = reinterpret_cast<void*>(1);
  EXPECT_EQ(REGDB_E_CLASSNOTREG,
            CoCreateInstance(kCounterClsid, nullptr, CLSCTX_ALL, IID_IDispatch, &p));
  EXPECT_EQ(p, nullptr);
  RegisterCounter();
  ASSERT_EQ(S_OK, CoCreateInstance(kCounterClsid, nullptr, CLSCTX_ALL, IID_IDispatch, &p));
  EXPECT_EQ(g_live_objects, 1);
  static_cast<IDispatch*>(p)->Release();
  EXPECT_EQ(g_live_objects, 0);
  Counter outer;
  EXPECT_EQ(CLASS_E_NOAGGREGATION,
            CoCreateInstance(kCounterClsid, &outer, CLSCTX_ALL, IID_IDispatch, &p));
  // Not on a thread that was never initialised.
  CoUninitialize();
  EXPECT_EQ(CO_E_NOTINITIALIZED,
            CoCreateInstance(kCounterClsid, nullptr, CLSCTX_ALL, IID_IDispatch, &p));
  IUnknown* unknown = nullptr;
  EXPECT_EQ(CO_E_NOTINITIALIZED, GetActiveObject(kCounterClsid, nullptr, &unknown));
  CoInitialize(nullptr);
}

TEST_F(ComRuntime, RunningObjectTable) {
  IUnknown* found = nullptr;
  EXPECT_EQ(MK_E_UNAVAILABLE, GetActiveObject(kCounterClsid, nullptr, &found));
  auto* c = new Counter;
  DWORD cookie = 0;
  ASSERT_EQ(S_OK, RegisterActiveObject(c, kCounterClsid, ACTIVEOBJECT_STRONG, &cookie));
  c->Release();  // the table keeps it alive
  EXPECT_EQ(g_live_objects, 1);
  ASSERT_EQ(S_OK, GetActiveObject(kCounterClsid, nullptr, &found));
  EXPECT_EQ(found, static_cast<IUnknown*>(static_cast<IDispatch*>(c)));

  // A second registration of the class is noted; the first stays found.
  auto* second = new Counter;
  DWORD cookie2 = 0;
  EXPECT_EQ(MK_S_MONIKERALREADYREGISTERED,
            RegisterActiveObject(second, kCounterClsid, ACTIVEOBJECT_WEAK, &cookie2));
  EXPECT_EQ(S_OK, RevokeActiveObject(cookie2, nullptr));
  second->Release();

  EXPECT_EQ(S_OK, RevokeActiveObject(cookie, nullptr));
  EXPECT_EQ(E_INVALIDARG, RevokeActiveObject(cookie, nullptr));
  EXPECT_EQ(g_live_objects, 1);  // still held through found
  found->Release();
  EXPECT_EQ(g_live_objects, 0);
  EXPECT_EQ(MK_E_UNAVAILABLE, GetActiveObject(kCounterClsid, nullptr, &found));
}

// ---------------------------------------------------------------------------
// The dispatch driver, as plug-in code subclasses it.

class CounterDriver : public COleDispatchDriver {
 public:
  using COleDispatchDriver::COleDispatchDriver;
  LONG GetValue() {
    LONG result = 0;
    InvokeHelper(1, DISPATCH_PROPERTYGET, VT_I4, (void*)&result, nullptr);
    return result;
  }
  void SetValue(LONG v) {
    static BYTE parms[] = VTS_I4;
    InvokeHelper(1, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, parms, v);
  }
  LONG Add(const VARIANT& a, const VARIANT& b) {
    static BYTE parms[] = VTS_VARIANT VTS_VARIANT;
    LONG result = 0;
    InvokeHelper(2, DISPATCH_METHOD, VT_I4, (void*)&result, parms, &a, &b);
    return result;
  }
  std::wstring Text(const wchar_t* text) {
    std::wstring result;
    InvokeHelper(4, DISPATCH_METHOD, VT_BSTR, &result, VTS_BSTR, text);
    return result;
  }
  LPDISPATCH GetChild() {
    LPDISPATCH result = nullptr;
    InvokeHelper(5, DISPATCH_PROPERTYGET, VT_DISPATCH, (void*)&result, NULL);
    return result;
  }
  void Fail() { InvokeHelper(3, DISPATCH_METHOD, VT_EMPTY, NULL, NULL); }
};

TEST(ComDriver, CallsThroughInvokeHelper) {
  CounterDriver d(new Counter);
  d.SetValue(5);
  EXPECT_EQ(d.GetValue(), 5);
  EXPECT_EQ(d.Add(COleVariant(10L), COleVariant(L"4")), 11);
  EXPECT_EQ(d.Text(L"hi"), L"hi!");
  CounterDriver child;
  child.AttachDispatch(d.GetChild());
  EXPECT_EQ(g_live_objects, 2);
  child.ReleaseDispatch();
  EXPECT_EQ(g_live_objects, 1);
  d.ReleaseDispatch();
  EXPECT_EQ(g_live_objects, 0);
}

TEST(ComDriver, EmptyDriverDoesNothing) {
  CounterDriver empty;
  LONG untouched = 1234;
  empty.InvokeHelper(1, DISPATCH_PROPERTYGET, VT_I4, (void*)&untouched, nullptr);
  EXPECT_EQ(untouched, 1234);
  empty.Fail();  // no exception either
}

TEST(ComDriver, FailuresBecomeFrameworkExceptions) {
  CounterDriver d(new Counter);
  try {
    d.Fail();
    ADD_FAILURE() << "no exception";
  } catch (COleDispatchException* e) {
    EXPECT_EQ(e->m_scError, static_cast<SCODE>(0x800A03EC));
    EXPECT_EQ(e->m_strDescription, L"It went wrong");
    EXPECT_EQ(e->m_strSource, L"Counter");
    std::wstring message;
    EXPECT_TRUE(e->GetErrorMessage(message));
    EXPECT_EQ(message, L"It went wrong");
    EXPECT_EQ(COleException::Process(e), E_UNEXPECTED);
    e->Delete();
  }
  try {
    d.InvokeHelper(77, DISPATCH_METHOD, VT_EMPTY, nullptr, nullptr);
    ADD_FAILURE() << "no exception";
  } catch (COleException* e) {
    EXPECT_EQ(e->m_sc, DISP_E_MEMBERNOTFOUND);
    std::wstring message;
    e->GetErrorMessage(message);
    EXPECT_EQ(message, L"Member not found.");
    EXPECT_EQ(COleException::Process(e), DISP_E_MEMBERNOTFOUND);
    e->Delete();
  }
}

TEST(ComDriver, ArgumentsThatDoNotFitTheirTypesAreRefused) {
  CounterDriver d(new Counter);
  static BYTE parms[] = VTS_I4;
  auto expect_invalid = [](auto&& call) {
    try {
      call();
      ADD_FAILURE() << "no exception";
    } catch (COleException* e) {
      EXPECT_EQ(e->m_sc, E_INVALIDARG);
      e->Delete();
    }
  };
  // A text for an integer, too few and too many arguments.
  expect_invalid([&] { d.InvokeHelper(1, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, parms, L"5"); });
  expect_invalid([&] { d.InvokeHelper(1, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, parms); });
  expect_invalid([&] { d.InvokeHelper(1, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, parms, 1, 2); });
  // A typed result that does not match its type.
  expect_invalid([&] {
    double wrong = 0;
    d.InvokeHelper(1, DISPATCH_PROPERTYGET, VT_I4, &wrong, nullptr);
  });
  try {
    d.InvokeHelper(1, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, parms, 0x100000000LL);
    ADD_FAILURE() << "no exception";
  } catch (COleException* e) {
    EXPECT_EQ(e->m_sc, DISP_E_OVERFLOW);
    e->Delete();
  }
  // A 64-bit long result gets all its bits.
  long wide = -1;
  d.SetValue(3);
  d.InvokeHelper(1, DISPATCH_PROPERTYGET, VT_I4, &wide, nullptr);
  EXPECT_EQ(wide, 3);
}

// A call with one variant and no result takes a shorter path: it must end
// as every other call does.
TEST(ComDriver, OneVariantWithoutResultEndsLikeAnyCall) {
  CounterDriver d(new Counter);
  static const BYTE kOne[] = VTS_VARIANT;
  const COleVariant five(5L);
  d.InvokeHelper(1, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, kOne, &five);
  EXPECT_EQ(d.GetValue(), 5);
  // The caller's variant is passed, not taken.
  EXPECT_EQ(five.vt, VT_I4);
  EXPECT_EQ(five.lVal, 5);
  try {
    const COleVariant text(L"x");
    d.InvokeHelper(1, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, kOne, &text);
    ADD_FAILURE() << "no exception";
  } catch (COleException* e) {
    EXPECT_EQ(e->m_sc, DISP_E_TYPEMISMATCH);
    e->Delete();
  }
  EXPECT_EQ(d.GetValue(), 5);
  try {
    d.InvokeHelper(3, DISPATCH_METHOD, VT_EMPTY, nullptr, kOne, &five);
    ADD_FAILURE() << "no exception";
  } catch (COleDispatchException* e) {
    EXPECT_EQ(e->m_scError, static_cast<SCODE>(0x800A03EC));
    EXPECT_EQ(e->m_strDescription, L"It went wrong");
    EXPECT_EQ(e->m_strSource, L"Counter");
    e->Delete();
  }
  // A result type that does not go with no result is still refused.
  try {
    LONG ignored = 0;
    d.InvokeHelper(1, DISPATCH_PROPERTYPUT, VT_EMPTY, &ignored, kOne, &five);
    ADD_FAILURE() << "no exception";
  } catch (COleException* e) {
    EXPECT_EQ(e->m_sc, E_INVALIDARG);
    e->Delete();
  }
}

// Variants and integers go to the object as they are and results come back
// without conversion when they have the type asked: the short way must end
// as the general one does.
TEST(ComDriver, ArgumentsAndResultsPassedAsTheyAre) {
  CounterDriver d(new Counter);
  static const BYTE kTwoLongs[] = VTS_I4 VTS_I4;
  LONG sum = 0;
  // Add(10, 3) with integers of two widths: arguments keep their order.
  d.InvokeHelper(2, DISPATCH_METHOD, VT_I4, &sum, kTwoLongs, 10L, static_cast<short>(3));
  EXPECT_EQ(sum, 7);
  const COleVariant five(5L);
  static const BYTE kTwoVariants[] = VTS_VARIANT VTS_VARIANT;
  d.InvokeHelper(2, DISPATCH_METHOD, VT_I4, &sum, kTwoVariants, five, &five);
  EXPECT_EQ(sum, 7);

  // A variant result replaces what the caller's variant held.
  COleVariant out(L"old");
  d.InvokeHelper(1, DISPATCH_PROPERTYGET, VT_VARIANT, &out, nullptr);
  EXPECT_EQ(out.vt, VT_I4);
  EXPECT_EQ(out.lVal, 7);
  // A result of another type is converted, or refused when it does not
  // convert; an object nobody takes is released.
  std::wstring text;
  d.InvokeHelper(1, DISPATCH_PROPERTYGET, VT_BSTR, &text, nullptr);
  EXPECT_EQ(text, L"7");
  LPDISPATCH object = nullptr;
  try {
    d.InvokeHelper(1, DISPATCH_PROPERTYGET, VT_DISPATCH, &object, nullptr);
    ADD_FAILURE() << "no exception";
  } catch (COleException* e) {
    EXPECT_EQ(e->m_sc, DISP_E_TYPEMISMATCH);
    e->Delete();
  }
  EXPECT_EQ(object, nullptr);
  d.InvokeHelper(5, DISPATCH_PROPERTYGET, VT_DISPATCH, nullptr, nullptr);
  EXPECT_EQ(g_live_objects, 1);

  // What cannot go as it is still fails as it always did.
  const VARIANT* none = nullptr;
  EXPECT_EQ(E_INVALIDARG, Refused([&] {
              d.InvokeHelper(2, DISPATCH_METHOD, VT_I4, &sum, kTwoVariants, &five, none);
            }));
  EXPECT_EQ(E_INVALIDARG, Refused([&] {
              d.InvokeHelper(2, DISPATCH_METHOD, VT_I4, &sum, kTwoLongs, 'a', COleVariant(4L));
            }));
  EXPECT_EQ(DISP_E_OVERFLOW, Refused([&] {
              d.InvokeHelper(2, DISPATCH_METHOD, VT_I4, &sum, kTwoLongs, 1, -0x80000001LL);
            }));
  EXPECT_EQ(E_INVALIDARG, Refused([&] {
              d.InvokeHelper(2, DISPATCH_METHOD, VT_I4, &sum, VTS_VARIANT, &five, &five);
            }));
  EXPECT_EQ(E_INVALIDARG, Refused([&] {
              double wrong = 0;
              d.InvokeHelper(1, DISPATCH_PROPERTYGET, VT_I4, &wrong, nullptr);
            }));
  EXPECT_EQ(d.GetValue(), 7);
}

// An object that reports exceptions as a foreign server may: sparingly.
class Reporter final : public IDispatch {
 public:
  HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG AddRef() override { return 1; }
  ULONG Release() override { return 1; }
  HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO* info,
                 UINT*) override {
    switch (id) {
      case 1:  // everything said
        info->wCode = 7;
        info->dwHelpContext = 99;
        info->bstrSource = SysAllocString(L"Reporter");
        info->bstrDescription = SysAllocString(L"full");
        info->bstrHelpFile = SysAllocString(L"help.chm");
        return DISP_E_EXCEPTION;
      case 2:  // a plain failure that scribbles on the info anyway
        info->wCode = 9;
        info->dwHelpContext = 42;
        return E_FAIL;
      default:  // only the status code
        info->scode = static_cast<SCODE>(0x800A01A8);
        return DISP_E_EXCEPTION;
    }
  }
};

// Each failure carries what its own call reported, never what an earlier
// call left behind.
TEST(ComDriver, EachFailureCarriesOnlyItsOwnExceptionInfo) {
  Reporter reporter;
  COleDispatchDriver d(&reporter, FALSE);
  auto fail = [&](DISPID id) -> CException* {
    try {
      d.InvokeHelper(id, DISPATCH_METHOD, VT_EMPTY, nullptr, nullptr);
    } catch (CException* e) {
      return e;
    }
    ADD_FAILURE() << "no exception";
    return nullptr;
  };
  for (int round = 0; round < 2; ++round) {
    auto* full = dynamic_cast<COleDispatchException*>(fail(1));
    ASSERT_NE(full, nullptr);
    EXPECT_EQ(full->m_wCode, 7);
    EXPECT_EQ(full->m_dwHelpContext, 99u);
    EXPECT_EQ(full->m_strSource, L"Reporter");
    EXPECT_EQ(full->m_strDescription, L"full");
    EXPECT_EQ(full->m_strHelpFile, L"help.chm");
    full->Delete();
    auto* plain = dynamic_cast<COleException*>(fail(2));
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->m_sc, E_FAIL);
    plain->Delete();
    auto* bare = dynamic_cast<COleDispatchException*>(fail(3));
    ASSERT_NE(bare, nullptr);
    EXPECT_EQ(bare->m_scError, static_cast<SCODE>(0x800A01A8));
    EXPECT_EQ(bare->m_wCode, 0);
    EXPECT_EQ(bare->m_dwHelpContext, 0u);
    EXPECT_EQ(bare->m_strSource, L"");
    EXPECT_EQ(bare->m_strDescription, L"");
    EXPECT_EQ(bare->m_strHelpFile, L"");
    bare->Delete();
  }
}

// Records what each argument of a call arrived as.
class Recorder final : public com::DispatchObject {
 public:
  std::vector<VARTYPE> types;
  std::vector<std::wstring> texts;  // "-" for objects and missing ones

 protected:
  std::span<const com::MemberInfo> Members() const override {
    static constexpr com::MemberInfo kMembers[] = {
        {L"Take", 1, DISPATCH_METHOD, 0, 8, com::Handle<&Recorder::Take>},
    };
    return kMembers;
  }

 private:
  void Take(com::Invocation& call) {
    types.clear();
    texts.clear();
    for (UINT i = 0; i < call.count(); ++i) {
      const VARIANT& v = call.Raw(i);
      types.push_back(v.vt);
      const bool object = v.vt == VT_DISPATCH || v.vt == VT_UNKNOWN;
      texts.push_back(call.Has(i) && !object ? call.String(i) : L"-");
    }
  }
};

TEST(ComDriver, EveryArgumentKindReachesTheServer) {
  auto* recorder = new Recorder;
  COleDispatchDriver d(recorder);
  const COleVariant text(L"v");
  COleVariant target(7L);
  static const BYTE kValues[] =
      VTS_BOOL VTS_I2 VTS_I4 VTS_R4 VTS_R8 VTS_BSTR VTS_VARIANT VTS_PVARIANT;
  d.InvokeHelper(1, DISPATCH_METHOD, VT_EMPTY, nullptr, kValues, true, static_cast<short>(-2),
                 70000L, 1.5f, 2.25, std::wstring(L"txt"), &text, static_cast<VARIANT*>(&target));
  EXPECT_EQ(recorder->types,
            (std::vector<VARTYPE>{VT_BOOL, VT_I2, VT_I4, VT_R4, VT_R8, VT_BSTR, VT_BSTR, VT_I4}));
  EXPECT_EQ(recorder->texts, (std::vector<std::wstring>{L"True", L"-2", L"70000", L"1.5", L"2.25",
                                                        L"txt", L"v", L"7"}));

  // Objects get a reference for the call only; nulls and a missing one.
  auto* child = new Counter;
  static const BYTE kObjects[] = VTS_DISPATCH VTS_UNKNOWN VTS_BSTR VTS_DISPATCH VTS_UI1 VTS_SCODE;
  d.InvokeHelper(1, DISPATCH_METHOD, VT_EMPTY, nullptr, kObjects, static_cast<IDispatch*>(child),
                 static_cast<IUnknown*>(child), nullptr, nullptr, 200,
                 static_cast<long>(DISP_E_PARAMNOTFOUND));
  EXPECT_EQ(recorder->types, (std::vector<VARTYPE>{VT_DISPATCH, VT_UNKNOWN, VT_BSTR, VT_DISPATCH,
                                                   VT_UI1, VT_ERROR}));
  EXPECT_EQ(recorder->texts, (std::vector<std::wstring>{L"-", L"-", L"", L"-", L"200", L"-"}));
  child->AddRef();
  EXPECT_EQ(child->Release(), 1u);

  // A refused argument after an object leaves the object's count as it was.
  static const BYTE kObjectAndLong[] = VTS_DISPATCH VTS_I4;
  static const BYTE kObjectAndShort[] = VTS_DISPATCH VTS_I2;
  EXPECT_EQ(E_INVALIDARG, Refused([&] {
              d.InvokeHelper(1, DISPATCH_METHOD, VT_EMPTY, nullptr, kObjectAndLong,
                             static_cast<IDispatch*>(child), 1.5);
            }));
  EXPECT_EQ(DISP_E_OVERFLOW, Refused([&] {
              d.InvokeHelper(1, DISPATCH_METHOD, VT_EMPTY, nullptr, kObjectAndShort,
                             static_cast<IDispatch*>(child), 40000);
            }));
  child->AddRef();
  EXPECT_EQ(child->Release(), 1u);
  // Pairings that do not go together.
  EXPECT_EQ(E_INVALIDARG,
            Refused([&] { d.InvokeHelper(1, DISPATCH_METHOD, VT_EMPTY, nullptr, VTS_R8, true); }));
  EXPECT_EQ(E_INVALIDARG, Refused([&] {
              d.InvokeHelper(1, DISPATCH_METHOD, VT_EMPTY, nullptr, VTS_VARIANT, L"t");
            }));
  EXPECT_EQ(E_INVALIDARG, Refused([&] {
              d.InvokeHelper(1, DISPATCH_METHOD, VT_EMPTY, nullptr, VTS_PVARIANT, &text);
            }));
  EXPECT_EQ(E_INVALIDARG,
            Refused([&] { d.InvokeHelper(1, DISPATCH_METHOD, VT_EMPTY, nullptr, VTS_BSTR, 5); }));
  child->Release();
}

// Lookups are remembered by member table and id: the same id on another
// class reaches that class's member, and an unknown id stays unknown.
TEST(ComDispatch, TheSameIdOnTwoClassesReachesEachOwnMember) {
  auto* counter = new Counter;
  auto* recorder = new Recorder;
  for (int round = 0; round < 3; ++round) {
    COleVariant value;
    ASSERT_EQ(S_OK, Invoke(counter, 1, DISPATCH_PROPERTYPUT, {COleVariant(round + 10L)}, nullptr,
                           nullptr, nullptr, true));
    ASSERT_EQ(S_OK, Invoke(counter, 1, DISPATCH_PROPERTYGET, {}, &value));
    EXPECT_EQ(value.lVal, round + 10);
    ASSERT_EQ(S_OK, Invoke(recorder, 1, DISPATCH_METHOD, {COleVariant(7L), COleVariant(L"x")}));
    EXPECT_EQ(recorder->types, (std::vector<VARTYPE>{VT_BSTR, VT_I4}));
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, Invoke(counter, 99, DISPATCH_METHOD, {}));
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, Invoke(recorder, 2, DISPATCH_METHOD, {}));
  }
  counter->Release();
  recorder->Release();
}

TEST(ComDispatch, APutValueMissingOrOfTheWrongType) {
  auto* c = new Counter;
  UINT argErr = 99;
  EXPECT_EQ(DISP_E_PARAMNOTOPTIONAL,
            Invoke(c, 1, DISPATCH_PROPERTYPUT,
                   {COleVariant(static_cast<long>(DISP_E_PARAMNOTFOUND), VT_ERROR)}, nullptr,
                   nullptr, &argErr, true));
  argErr = 99;
  EXPECT_EQ(DISP_E_TYPEMISMATCH, Invoke(c, 1, DISPATCH_PROPERTYPUT, {COleVariant(L"x")}, nullptr,
                                        nullptr, &argErr, true));
  EXPECT_EQ(argErr, 0u);
  // A number of another type converts; by reference it is read through.
  ASSERT_EQ(S_OK, Invoke(c, 1, DISPATCH_PROPERTYPUT, {COleVariant(2.0)}, nullptr, nullptr, nullptr,
                         true));
  LONG held = 6;
  VARIANT ref;
  VariantInit(&ref);
  ref.vt = VT_I4 | VT_BYREF;
  ref.plVal = &held;
  ASSERT_EQ(S_OK, Invoke(c, 2, DISPATCH_METHOD, {COleVariant(ref)}));
  COleVariant result;
  ASSERT_EQ(S_OK, Invoke(c, 1, DISPATCH_PROPERTYGET, {}, &result));
  EXPECT_EQ(result.lVal, 8);
  c->Release();
}

// Arguments are read first: an unreadable one is reported before a
// required one passed as missing, and argErr names the slot at fault.
TEST(ComDispatch, AnUnreadableArgumentComesBeforeAMissingOne) {
  auto* c = new Counter;
  const COleVariant missing(static_cast<long>(DISP_E_PARAMNOTFOUND), VT_ERROR);
  VARIANT dangling;
  VariantInit(&dangling);
  dangling.vt = VT_I4 | VT_BYREF;
  UINT argErr = 99;
  // Add(missing, *null): rgvarg = {*null, missing}.
  EXPECT_EQ(E_INVALIDARG, Invoke(c, 2, DISPATCH_METHOD, {COleVariant(dangling), missing}, nullptr,
                                 nullptr, &argErr));
  EXPECT_EQ(argErr, 0u);
  argErr = 99;
  EXPECT_EQ(DISP_E_PARAMNOTOPTIONAL,
            Invoke(c, 2, DISPATCH_METHOD, {COleVariant(1L), missing}, nullptr, nullptr, &argErr));
  EXPECT_EQ(argErr, 1u);
  COleVariant result;
  ASSERT_EQ(S_OK, Invoke(c, 2, DISPATCH_METHOD, {missing, COleVariant(4L)}, &result));
  EXPECT_EQ(result.lVal, 4);
  c->Release();
}

TEST(ComDriver, AttachDetachAndCopies) {
  auto* c = new Counter;
  {
    CounterDriver a(c);
    CounterDriver b = a;  // a reference of its own
    a.ReleaseDispatch();
    EXPECT_EQ(g_live_objects, 1);
    LPDISPATCH raw = b.DetachDispatch();
    EXPECT_EQ(b.m_lpDispatch, nullptr);
    a.AttachDispatch(raw);
  }
  EXPECT_EQ(g_live_objects, 0);
}

TEST(ComDriver, CreateDispatchReportsTheStatus) {
  registry::ClearClassesRoot();
  CoInitialize(nullptr);
  CounterDriver d;
  COleException error;
  EXPECT_FALSE(d.CreateDispatch(L"Nobody.Here", &error));
  EXPECT_EQ(error.m_sc, CO_E_CLASSSTRING);
  EXPECT_FALSE(d.CreateDispatch(kCounterClsid, &error));
  EXPECT_EQ(error.m_sc, REGDB_E_CLASSNOTREG);
  std::wstring message;
  error.GetErrorMessage(message);
  EXPECT_EQ(message, L"Class not registered");
  EXPECT_EQ(d.m_lpDispatch, nullptr);
  CoUninitialize();
}

TEST(ComExceptions, ProcessMapsEveryKind) {
  COleException ole(DISP_E_TYPEMISMATCH);
  CMemoryException memory;
  CNotSupportedException unsupported;
  CInvalidArgException invalid;
  COleDispatchException dispatch(L"d", 0, 0);
  EXPECT_EQ(COleException::Process(&ole), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(COleException::Process(&memory), E_OUTOFMEMORY);
  EXPECT_EQ(COleException::Process(&unsupported), E_NOTIMPL);
  EXPECT_EQ(COleException::Process(&invalid), E_UNEXPECTED);
  EXPECT_EQ(COleException::Process(&dispatch), E_UNEXPECTED);
  EXPECT_EQ(COleException::Process(nullptr), E_UNEXPECTED);
  try {
    AfxThrowOleException(E_NOINTERFACE);
  } catch (CException* e) {
    EXPECT_EQ(COleException::Process(e), E_NOINTERFACE);
    e->Delete();
  }
  // A code without a system text still names itself.
  COleException odd(static_cast<SCODE>(0x800A03EC));
  std::wstring message;
  odd.GetErrorMessage(message);
  EXPECT_EQ(message, L"OLE error 0x800a03ec.");
}

TEST(ComExceptions, ComErrorTexts) {
  _com_error known(MK_E_UNAVAILABLE);
  EXPECT_STREQ(known.ErrorMessage(), L"Operation unavailable");
  _com_error unknown(static_cast<HRESULT>(0x800A03EC), L"Provider", L"Bad value");
  EXPECT_STREQ(unknown.ErrorMessage(), L"Unknown error 0x800A03EC");
  EXPECT_EQ(unknown.Description(), L"Bad value");
  EXPECT_EQ(unknown.Source(), L"Provider");
  EXPECT_EQ(unknown.Error(), static_cast<HRESULT>(0x800A03EC));
  _com_error own(static_cast<HRESULT>(0x80040205));
  EXPECT_STREQ(own.ErrorMessage(), L"IDispatch error #5");
}

}  // namespace
