// The core of the application framework the plug-in is written against:
// run-time class information with dynamic creation, the exception family,
// and the application object. Exceptions are thrown as pointers and deleted
// by whoever handles them (e->Delete()), as the framework's callers expect.
#pragma once

#include <string>

#include "platform/win/wintypes.h"

class CArchive;
class CObject;

struct CRuntimeClass {
  const char* m_lpszClassName;
  int m_nObjectSize;
  UINT m_wSchema;
  CObject* (*m_pfnCreateObject)();
  const CRuntimeClass* m_pBaseClass;

  // A new object of this class, or nullptr when it cannot be created.
  CObject* CreateObject() const;
  bool IsDerivedFrom(const CRuntimeClass* base) const;
  // The registered class of that name, or nullptr.
  static const CRuntimeClass* FromName(const char* className);
};

namespace afx {
// Adds a class to the table FromName searches; done by IMPLEMENT_DYNCREATE.
struct ClassRegistration {
  explicit ClassRegistration(const CRuntimeClass* cls);
};
}  // namespace afx

class CObject {
 public:
  virtual const CRuntimeClass* GetRuntimeClass() const;
  virtual ~CObject() = default;
  virtual void Serialize(CArchive& ar);
  virtual void AssertValid() const {}
  virtual void Dump() const {}

  bool IsKindOf(const CRuntimeClass* cls) const;
  static const CRuntimeClass classCObject;

 protected:
  CObject() = default;
  CObject(const CObject&) = default;
  CObject& operator=(const CObject&) = default;
};

#define RUNTIME_CLASS(name) (&name::class##name)

#define DECLARE_DYNAMIC(name)             \
 public:                                  \
  static const CRuntimeClass class##name; \
  const CRuntimeClass* GetRuntimeClass() const override;

#define DECLARE_DYNCREATE(name) \
  DECLARE_DYNAMIC(name)         \
  static CObject* CreateObject();

#define DECLARE_SERIAL(name) DECLARE_DYNCREATE(name)

#define IMPLEMENT_RUNTIMECLASS_(name, base, schema, create)                                       \
  const CRuntimeClass name::class##name = {#name, static_cast<int>(sizeof(name)), schema, create, \
                                           RUNTIME_CLASS(base)};                                  \
  const CRuntimeClass* name::GetRuntimeClass() const { return RUNTIME_CLASS(name); }

#define IMPLEMENT_DYNAMIC(name, base) IMPLEMENT_RUNTIMECLASS_(name, base, 0xFFFF, nullptr)

#define IMPLEMENT_DYNCREATE(name, base)                           \
  CObject* name::CreateObject() { return new name; }              \
  IMPLEMENT_RUNTIMECLASS_(name, base, 0xFFFF, name::CreateObject) \
  static const afx::ClassRegistration gm_registration_##name(RUNTIME_CLASS(name));

#define IMPLEMENT_SERIAL(name, base, schema)                      \
  CObject* name::CreateObject() { return new name; }              \
  IMPLEMENT_RUNTIMECLASS_(name, base, schema, name::CreateObject) \
  static const afx::ClassRegistration gm_registration_##name(RUNTIME_CLASS(name));

// ---------------------------------------------------------------------------
// Exceptions.

class CException : public CObject {
  DECLARE_DYNAMIC(CException)
 public:
  CException() = default;
  // The text a user is shown for this exception; false when it has none.
  virtual bool GetErrorMessage(std::wstring& message) const;
  // Shows the message in a message box and returns the answer.
  virtual int ReportError(UINT type = MB_OK, UINT messageId = 0) const;
  void Delete() { delete this; }
};

class CMemoryException : public CException {
  DECLARE_DYNAMIC(CMemoryException)
 public:
  bool GetErrorMessage(std::wstring& message) const override;
};

class CNotSupportedException : public CException {
  DECLARE_DYNAMIC(CNotSupportedException)
 public:
  bool GetErrorMessage(std::wstring& message) const override;
};

class CInvalidArgException : public CException {
  DECLARE_DYNAMIC(CInvalidArgException)
 public:
  bool GetErrorMessage(std::wstring& message) const override;
};

class CArchiveException : public CException {
  DECLARE_DYNAMIC(CArchiveException)
 public:
  enum { none, genericException, readOnly, endOfFile, writeOnly, badIndex, badClass, badSchema };
  explicit CArchiveException(int cause = none, std::wstring fileName = L"")
      : m_cause(cause), m_strFileName(std::move(fileName)) {}
  bool GetErrorMessage(std::wstring& message) const override;

  int m_cause;
  std::wstring m_strFileName;
};

[[noreturn]] void AfxThrowMemoryException();
[[noreturn]] void AfxThrowNotSupportedException();
[[noreturn]] void AfxThrowInvalidArgException();
[[noreturn]] void AfxThrowArchiveException(int cause, const wchar_t* fileName = nullptr);

// ---------------------------------------------------------------------------
// The application object: one per module, created statically.

class CWinApp : public CObject {
 public:
  explicit CWinApp(const wchar_t* appName = nullptr);
  ~CWinApp() override;
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  virtual BOOL InitInstance() { return TRUE; }
  virtual int ExitInstance() { return 0; }

  std::wstring m_pszAppName;
  HINSTANCE m_hInstance;
};

// The application object of the module that is running, or nullptr.
CWinApp* AfxGetApp();
// The application's title, the caption of its message boxes.
const wchar_t* AfxGetAppName();

// The framework keeps per-module state so that a plug-in's dialogs come from
// the plug-in. There is one module state here; the guard documents intent.
struct AFX_MODULE_STATE {};
AFX_MODULE_STATE* AfxGetStaticModuleState();
class AFX_MAINTAIN_STATE {
 public:
  explicit AFX_MAINTAIN_STATE(AFX_MODULE_STATE*) {}
};
#define AFX_MANAGE_STATE(p) AFX_MAINTAIN_STATE gm_module_state_guard(p)

// Message boxes. The GUI room installs the handler that shows them (on the
// terminal, or answered from a script); until one is installed a message box
// is written to standard error and answered with its safest button (OK,
// Cancel or No), so that nothing is ever confirmed unseen.
int MessageBoxW(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type);
namespace afx {
using MessageBoxHandler = int (*)(HWND owner, const wchar_t* text, const wchar_t* caption,
                                  UINT type);
// Returns the handler installed before; nullptr restores the default.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);
// The answer nobody confirmed: Cancel, else No, else OK.
int SafestAnswer(UINT type);
}  // namespace afx

// A message box with the application's title as its caption.
int AfxMessageBox(const wchar_t* text, UINT type = MB_OK, UINT helpId = 0);
inline int AfxMessageBox(const std::wstring& text, UINT type = MB_OK, UINT helpId = 0) {
  return AfxMessageBox(text.c_str(), type, helpId);
}
