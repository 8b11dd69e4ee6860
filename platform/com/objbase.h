// COM initialisation of a thread, object creation by class id, and the
// mapping of programmatic ids ("Excel.Application") to class ids.
//
// Classes are served in-process: an automation server registers a factory
// function for its class id with com::RegisterClassFactory, and its ProgID
// under HKEY_CLASSES_ROOT (key "<ProgID>\CLSID", default value the braced
// class id), as a Windows server's installer does.
#pragma once

#include <functional>

#include "platform/com/oleauto.h"
#include "platform/win/wintypes.h"

HRESULT CoInitialize(void* reserved);
HRESULT CoInitializeEx(void* reserved, DWORD flags);
void CoUninitialize();

constexpr DWORD COINIT_APARTMENTTHREADED = 0x2;
constexpr DWORD COINIT_MULTITHREADED = 0x0;

constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
constexpr DWORD CLSCTX_REMOTE_SERVER = 0x10;
constexpr DWORD CLSCTX_SERVER = CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;
constexpr DWORD CLSCTX_ALL = CLSCTX_SERVER | CLSCTX_INPROC_HANDLER;

// A new object of the class, asked for interface iid. REGDB_E_CLASSNOTREG
// when no factory serves the class, CLASS_E_NOAGGREGATION with an outer
// object, CO_E_NOTINITIALIZED on a thread not initialised; otherwise what
// the factory answers. *object is nullptr on failure.
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** object);

// Reads HKEY_CLASSES_ROOT\<progId>\CLSID. CO_E_CLASSSTRING when the ProgID
// is not registered or its class id text is not one.
HRESULT CLSIDFromProgID(LPCOLESTR progId, LPCLSID clsid);

namespace com {

// Makes one object of the class and answers interface iid through *object
// (a new reference), with QueryInterface's results.
using ClassFactory = std::function<HRESULT(REFIID iid, void** object)>;

// A class registered again replaces its factory.
void RegisterClassFactory(REFCLSID clsid, ClassFactory factory);
// True when the class was registered.
bool RevokeClassFactory(REFCLSID clsid);

}  // namespace com
