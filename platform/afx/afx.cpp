#include "platform/afx/afx.h"

#include <cstring>
#include <map>
#include <new>
#include <string_view>

const CRuntimeClass CObject::classCObject = {"CObject", static_cast<int>(sizeof(CObject)), 0xFFFF,
                                             nullptr, nullptr};

const CRuntimeClass* CObject::GetRuntimeClass() const { return &classCObject; }

void CObject::Serialize(CArchive&) {}

bool CObject::IsKindOf(const CRuntimeClass* cls) const {
  return GetRuntimeClass()->IsDerivedFrom(cls);
}

namespace {

std::map<std::string_view, const CRuntimeClass*>& ClassTable() {
  static std::map<std::string_view, const CRuntimeClass*> table;
  return table;
}

CWinApp*& CurrentApp() {
  static CWinApp* app = nullptr;
  return app;
}

}  // namespace

afx::ClassRegistration::ClassRegistration(const CRuntimeClass* cls) {
  ClassTable()[cls->m_lpszClassName] = cls;
}

CObject* CRuntimeClass::CreateObject() const {
  if (m_pfnCreateObject == nullptr) return nullptr;
  try {
    return m_pfnCreateObject();
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

bool CRuntimeClass::IsDerivedFrom(const CRuntimeClass* base) const {
  for (const CRuntimeClass* c = this; c != nullptr; c = c->m_pBaseClass) {
    if (c == base) return true;
  }
  return false;
}

const CRuntimeClass* CRuntimeClass::FromName(const char* className) {
  if (className == nullptr) return nullptr;
  auto it = ClassTable().find(className);
  return it == ClassTable().end() ? nullptr : it->second;
}

IMPLEMENT_DYNAMIC(CException, CObject)
IMPLEMENT_DYNAMIC(CMemoryException, CException)
IMPLEMENT_DYNAMIC(CNotSupportedException, CException)
IMPLEMENT_DYNAMIC(CInvalidArgException, CException)
IMPLEMENT_DYNAMIC(CArchiveException, CException)

bool CException::GetErrorMessage(std::wstring& message) const {
  message.clear();
  return false;
}

int CException::ReportError(UINT type, UINT) const {
  std::wstring message;
  if (!GetErrorMessage(message) || message.empty()) message = L"No error message is available.";
  return AfxMessageBox(message.c_str(), type);
}

bool CMemoryException::GetErrorMessage(std::wstring& message) const {
  message = L"Out of memory.";
  return true;
}

bool CNotSupportedException::GetErrorMessage(std::wstring& message) const {
  message = L"An unsupported operation was attempted.";
  return true;
}

bool CInvalidArgException::GetErrorMessage(std::wstring& message) const {
  message = L"Encountered an improper argument.";
  return true;
}

bool CArchiveException::GetErrorMessage(std::wstring& message) const {
  switch (m_cause) {
    case endOfFile:
      message = L"An attempt was made to read past the end of the archive.";
      break;
    case readOnly:
      message = L"An attempt was made to write to an archive opened for loading.";
      break;
    case writeOnly:
      message = L"An attempt was made to read from an archive opened for storing.";
      break;
    case badIndex:
    case badClass:
    case badSchema:
      message = L"The archive holds data in an unexpected format.";
      break;
    default:
      message = L"An unexpected archive error occurred.";
      break;
  }
  if (!m_strFileName.empty()) message += L" (" + m_strFileName + L")";
  return true;
}

void AfxThrowMemoryException() { throw new CMemoryException; }
void AfxThrowNotSupportedException() { throw new CNotSupportedException; }
void AfxThrowInvalidArgException() { throw new CInvalidArgException; }
void AfxThrowArchiveException(int cause, const wchar_t* fileName) {
  throw new CArchiveException(cause, fileName ? fileName : L"");
}

CWinApp::CWinApp(const wchar_t* appName)
    : m_pszAppName(appName ? appName : L""), m_hInstance(reinterpret_cast<HINSTANCE>(this)) {
  // The instance handle is an address inside the module that owns the
  // application object, which is how the module's file is found again.
  CurrentApp() = this;
}

CWinApp::~CWinApp() {
  if (CurrentApp() == this) CurrentApp() = nullptr;
}

CWinApp* AfxGetApp() { return CurrentApp(); }

const wchar_t* AfxGetAppName() {
  CWinApp* app = AfxGetApp();
  if (app == nullptr || app->m_pszAppName.empty()) return L"OrvaneGridmason";
  return app->m_pszAppName.c_str();
}

AFX_MODULE_STATE* AfxGetStaticModuleState() {
  static AFX_MODULE_STATE state;
  return &state;
}
