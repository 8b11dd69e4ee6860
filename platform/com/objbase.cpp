#include "platform/com/objbase.h"

#include <map>
#include <mutex>
#include <vector>

#include "platform/registry/registry.h"

namespace {

thread_local int init_count = 0;

struct ActiveObject {
  DWORD cookie;
  CLSID clsid;
  IUnknown* object;
  bool strong;
};

// Process-wide and never destroyed: objects in the table may outlive every
// other static, and an object released during exit must find it intact.
struct Tables {
  std::mutex mutex;
  std::map<CLSID, com::ClassFactory> factories;
  std::vector<ActiveObject> active;
  DWORD next_cookie = 1;
};

Tables& T() {
  static Tables* tables = new Tables;
  return *tables;
}

}  // namespace

HRESULT CoInitialize(void* reserved) { return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED); }

HRESULT CoInitializeEx(void*, DWORD) {
  // A second initialisation of the same thread succeeds with S_FALSE.
  return init_count++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() {
  if (init_count > 0) --init_count;
}

namespace com {

void RegisterClassFactory(REFCLSID clsid, ClassFactory factory) {
  std::lock_guard lock(T().mutex);
  T().factories[clsid] = std::move(factory);
}

bool RevokeClassFactory(REFCLSID clsid) {
  std::lock_guard lock(T().mutex);
  return T().factories.erase(clsid) > 0;
}

}  // namespace com

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD, REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (init_count == 0) return CO_E_NOTINITIALIZED;
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;
  com::ClassFactory factory;
  {
    std::lock_guard lock(T().mutex);
    auto it = T().factories.find(clsid);
    if (it == T().factories.end()) return REGDB_E_CLASSNOTREG;
    factory = it->second;
  }
  // Called unlocked: a factory may register its object as active.
  HRESULT hr = factory(iid, object);
  if (FAILED(hr)) *object = nullptr;
  return hr;
}

HRESULT CLSIDFromProgID(LPCOLESTR progId, LPCLSID clsid) {
  if (progId == nullptr || clsid == nullptr) return E_INVALIDARG;
  if (*progId == 0) return CO_E_CLASSSTRING;
  HKEY key = nullptr;
  std::wstring path = std::wstring(progId) + L"\\CLSID";
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return CO_E_CLASSSTRING;
  }
  wchar_t text[64] = {};
  DWORD type = 0;
  DWORD size = sizeof(text) - sizeof(wchar_t);
  LONG status =
      RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS || type != REG_SZ) return CO_E_CLASSSTRING;
  text[size / sizeof(wchar_t) < 64 ? size / sizeof(wchar_t) : 63] = 0;
  return CLSIDFromString(text, clsid);
}

HRESULT RegisterActiveObject(IUnknown* object, REFCLSID clsid, DWORD flags, DWORD* cookie) {
  if (object == nullptr || cookie == nullptr) return E_INVALIDARG;
  *cookie = 0;
  if (init_count == 0) return CO_E_NOTINITIALIZED;
  const bool strong = (flags & ACTIVEOBJECT_WEAK) == 0;
  if (strong) object->AddRef();
  std::lock_guard lock(T().mutex);
  bool already = false;
  for (const ActiveObject& a : T().active) already = already || a.clsid == clsid;
  *cookie = T().next_cookie++;
  T().active.push_back({*cookie, clsid, object, strong});
  return already ? MK_S_MONIKERALREADYREGISTERED : S_OK;
}

HRESULT RevokeActiveObject(DWORD cookie, void*) {
  ActiveObject revoked{};
  {
    std::lock_guard lock(T().mutex);
    auto& active = T().active;
    auto it = active.begin();
    while (it != active.end() && it->cookie != cookie) ++it;
    if (it == active.end()) return E_INVALIDARG;
    revoked = *it;
    active.erase(it);
  }
  // Released unlocked: the object's destructor may call back into COM.
  if (revoked.strong) revoked.object->Release();
  return S_OK;
}

HRESULT GetActiveObject(REFCLSID clsid, void*, IUnknown** object) {
  if (object == nullptr) return E_INVALIDARG;
  *object = nullptr;
  if (init_count == 0) return CO_E_NOTINITIALIZED;
  std::lock_guard lock(T().mutex);
  for (const ActiveObject& a : T().active) {
    if (a.clsid == clsid) {
      a.object->AddRef();
      *object = a.object;
      return S_OK;
    }
  }
  return MK_E_UNAVAILABLE;
}
