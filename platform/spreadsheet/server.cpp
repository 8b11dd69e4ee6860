#include "platform/spreadsheet/server.h"

#include "platform/com/objbase.h"
#include "platform/registry/registry.h"
#include "platform/spreadsheet/automation.h"
#include "platform/win/text.h"

namespace spreadsheet {
namespace {

struct Running {
  std::shared_ptr<ApplicationModel> model;
  IDispatch* application = nullptr;  // the server's own reference
  DWORD cookie = 0;
};

Running& Current() {
  static Running* running = new Running;  // outlives every other static
  return *running;
}

LONG next_hwnd = 0x00010A2C;

HRESULT CreateApplication(REFIID iid, void** object) {
  Running& r = Current();
  if (r.application == nullptr) {
    auto model = std::make_shared<ApplicationModel>();
    model->hwnd = next_hwnd;
    next_hwnd += 0x10;
    IDispatch* application = NewApplicationObject(model);
    DWORD cookie = 0;
    HRESULT hr = RegisterActiveObject(application, kApplicationClsid, ACTIVEOBJECT_STRONG, &cookie);
    if (FAILED(hr)) {
      application->Release();
      return hr;
    }
    r.model = std::move(model);
    r.application = application;
    r.cookie = cookie;
  }
  return r.application->QueryInterface(iid, object);
}

HRESULT SetDefault(const std::wstring& path, const std::wstring& text) {
  HKEY key = nullptr;
  LONG status = RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr,
                                REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key, nullptr);
  if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(static_cast<unsigned long>(status));
  status = RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(static_cast<unsigned long>(status));
}

}  // namespace

HRESULT RegisterServer() {
  const std::wstring clsid = com::GuidToString(kApplicationClsid);
  HRESULT hr = SetDefault(std::wstring(kProgId) + L"\\CLSID", clsid);
  if (SUCCEEDED(hr)) hr = SetDefault(L"CLSID\\" + clsid + L"\\ProgID", kProgId);
  if (FAILED(hr)) return hr;
  com::RegisterClassFactory(kApplicationClsid, &CreateApplication);
  return S_OK;
}

void UnregisterServer() {
  com::RevokeClassFactory(kApplicationClsid);
  RegDeleteTreeW(HKEY_CLASSES_ROOT, kProgId);
  RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"CLSID\\" + com::GuidToString(kApplicationClsid)).c_str());
  QuitApplication();
}

void QuitApplication() {
  Running& r = Current();
  if (r.application == nullptr) return;
  RevokeActiveObject(r.cookie, nullptr);
  IDispatch* application = r.application;
  r = Running{};
  application->Release();
}

bool IsApplicationRunning() { return Current().application != nullptr; }

std::optional<ApplicationState> RunningApplicationState() {
  const Running& r = Current();
  if (!r.model) return std::nullopt;
  return ApplicationState{r.model->visible, r.model->display_alerts, r.model->interactive,
                          r.model->edit_directly_in_cell};
}

std::vector<std::shared_ptr<const Workbook>> OpenWorkbooks() {
  const Running& r = Current();
  if (!r.model) return {};
  return {r.model->workbooks.begin(), r.model->workbooks.end()};
}

std::shared_ptr<const Workbook> ActiveWorkbook() {
  const Running& r = Current();
  return r.model ? r.model->active_workbook : nullptr;
}

std::shared_ptr<const Worksheet> ActiveSheet() {
  auto book = ActiveWorkbook();
  return book ? book->active_sheet() : nullptr;
}

SaveStatus SaveActiveWorkbook(const std::filesystem::path& path) {
  auto book = ActiveWorkbook();
  if (!book) return SaveStatus::Error(L"No workbook is open to be saved.");
  return SaveWorkbookAs(*book, path);
}

SaveStatus SaveAll(const std::filesystem::path& folder) {
  std::optional<SaveStatus> first_failure;
  for (const auto& book : OpenWorkbooks()) {
    SaveStatus status = SaveWorkbookAs(*book, folder / (win::WideToUtf8(book->name()) + ".xlsx"));
    if (!status.ok() && !first_failure) first_failure = status;
  }
  return first_failure.value_or(SaveStatus::Ok());
}

}  // namespace spreadsheet
