#include "ui/info_commands.h"

#include "platform/gui/afxwin.h"
#include "platform/shell/shellapi.h"
#include "platform/win/text.h"
#include "ui/about_dialog.h"
#include "ui/live_update_dialog.h"
#include "ui/os_description.h"

namespace {

constexpr const wchar_t* kMailFormat =
    L"mailto:%s?body= Please provide the following info to help us troubleshooting. Thanks. "
    L"%%0a%%0d Operation System: %s %%0a%%0d CAD Platform Version: %s %%0a%%0d Problem "
    L"Description: (Step by Step) %%0a%%0d Screenshot(s): (Optional) %%0a%%0d Please attach "
    L"sample files (.dwg and/or .xls) to help us troubleshooting if applicable. %%0a%%0d We will "
    L"working on your problem and give you answers ASAP.";

std::wstring EscapeForBody(const std::wstring& text) {
  std::wstring out;
  for (wchar_t c : text) {
    if (c == L'%' || c == L'&' || c == L'#' || c < 0x20) {
      out += win::Format(L"%%%02X", static_cast<unsigned>(c));
    } else {
      out += c;
    }
  }
  return out;
}

// Drive ("C:") and folder (with its last separator) of a full file name, as
// the runtime's path splitting gives them.
void SplitDriveAndFolder(const std::wstring& path, std::wstring& drive, std::wstring& folder) {
  size_t start = 0;
  drive.clear();
  if (path.size() >= 2 && path[1] == L':') {
    drive = path.substr(0, 2);
    start = 2;
  }
  size_t cut = path.find_last_of(L"\\/");
  folder = (cut == std::wstring::npos || cut < start) ? std::wstring()
                                                      : path.substr(start, cut + 1 - start);
}

}  // namespace

std::wstring HelpFilePath(HMODULE module) {
  wchar_t name[MAX_PATH] = {};
  GetModuleFileNameW(module, name, MAX_PATH);
  std::wstring drive, folder;
  SplitDriveAndFolder(name, drive, folder);
  return win::Format(L"%s%sGridmason.chm", drive.c_str(), folder.c_str());
}

std::wstring CadPlatformName() {
  std::wstring name = L"ICAD";
  std::wstring key = win::Format(L"SOFTWARE\\%s\\%s", L"Orvane", kProductName);
  std::wstring value;
  if (ReadMachineString(key.c_str(), L"IcadCompany", value)) name = value;
  return name;
}

std::wstring SupportMailLink(const std::wstring& osDescription, const std::wstring& platformName) {
  return win::Format(kMailFormat, g_SupportEmail.c_str(), EscapeForBody(osDescription).c_str(),
                     EscapeForBody(platformName).c_str());
}

void OpenWithShell(const std::wstring& target) {
  ShellExecuteW(nullptr, L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void OpenHelpFile(HMODULE module) { OpenWithShell(HelpFilePath(module)); }

void StartSupportMail() {
  OpenWithShell(SupportMailLink(OperatingSystemDescription(), CadPlatformName()));
}

void ShowAboutBox(HWND parent) {
  CAboutDlg dialog(CWnd::FromHandle(parent));
  dialog.DoModal();
}

void ShowLiveUpdateDialog(HWND parent) {
  CLiveUpdateDlg dialog(CWnd::FromHandle(parent));
  dialog.DoModal();
}
