#include "ui/live_update_dialog.h"

#include <cstdlib>

#include "platform/win/strings.h"
#include "platform/win/text.h"
#include "ui/product.h"

IMPLEMENT_DYNAMIC(CLiveUpdateDlg, CDialog)

BEGIN_MESSAGE_MAP(CLiveUpdateDlg, CDialog)
ON_BN_CLICKED(IDC_CHECK_NOW, &CLiveUpdateDlg::OnCheckNow)
END_MESSAGE_MAP()

namespace {

std::vector<std::wstring> SplitAtDots(const std::wstring& text) {
  std::vector<std::wstring> parts;
  size_t start = 0;
  for (;;) {
    size_t dot = text.find(L'.', start);
    parts.push_back(
        text.substr(start, dot == std::wstring::npos ? std::wstring::npos : dot - start));
    if (dot == std::wstring::npos) break;
    start = dot + 1;
  }
  return parts;
}

}  // namespace

bool ParseUpdateServer(const std::wstring& text, UpdateServer& server) {
  std::wstring host = text;
  std::wstring port;
  if (!text.empty() && text[0] == L'[') {
    size_t close = text.find(L']');
    if (close == std::wstring::npos) return false;
    host = text.substr(0, close + 1);
    std::wstring rest = text.substr(close + 1);
    if (!rest.empty()) {
      if (rest[0] != L':') return false;
      port = rest.substr(1);
      if (port.empty()) return false;
    }
  } else {
    size_t colon = text.find(L':');
    if (colon != std::wstring::npos) {
      host = text.substr(0, colon);
      port = text.substr(colon + 1);
      if (port.empty()) return false;
    }
  }
  if (host.empty() || host == L"[]") return false;
  long number = INTERNET_DEFAULT_HTTP_PORT;
  if (!port.empty()) {
    if (port.size() > 5) return false;
    for (wchar_t c : port) {
      if (c < L'0' || c > L'9') return false;
    }
    number = std::wcstol(port.c_str(), nullptr, 10);
    if (number < 1 || number > 65535) return false;
  }
  server.host = host;
  server.port = static_cast<INTERNET_PORT>(number);
  return true;
}

bool IsNewerVersion(const std::wstring& published, const std::wstring& own) {
  std::vector<std::wstring> theirs = SplitAtDots(published);
  std::vector<std::wstring> ours = SplitAtDots(own);
  size_t count = std::min(theirs.size(), ours.size());
  for (size_t i = 0; i < count; ++i) {
    int a = win::WToI(theirs[i]);
    int b = win::WToI(ours[i]);
    if (a > b) return true;
    if (a < b) return false;
  }
  return false;
}

std::wstring PublishedVersion(const std::vector<std::wstring>& lines, const std::wstring& key) {
  std::wstring version;
  for (const std::wstring& line : lines) {
    size_t at = line.find(key);
    if (at == std::wstring::npos) continue;
    version = win::Trim(line.substr(at + key.size()), L" \t\r\n");
  }
  return version;
}

// ---------------------------------------------------------------------------

const gui::DialogTemplate& CLiveUpdateDlg::Template() {
  using K = gui::ControlKind;
  static const gui::DialogTemplate t = {
      L"IDD_LIVEUPDATE",
      L"Check for Update",
      L"MS Shell Dlg",
      8,
      250,
      110,
      WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
      0,
      {
          {IDC_STATIC, K::kStatic, L"Checks whether a newer version of OrvaneGridmason is out.", 10,
           10, 230, 8},
          {IDC_UPDATE_STATUS, K::kStatic, L"", 10, 26, 230, 8},
          {IDC_UPDATE_RESULT, K::kStatic, L"", 10, 40, 230, 18, 0},
          {IDC_UPDATE_LINK, K::kStatic, L"", 10, 60, 230, 10, 0},
          {IDC_CHECK_NOW, K::kPushButton, L"Check Now", 70, 86, 50, 14, gui::kVisibleTab},
          {IDOK, K::kDefPushButton, L"OK", 130, 86, 50, 14, gui::kVisibleTab},
      },
  };
  return t;
}

CLiveUpdateDlg::CLiveUpdateDlg(CWnd* parent) : CDialog(Template(), parent) {}

BOOL CLiveUpdateDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  m_Hyperlink.Create(GetDlgItem(IDC_UPDATE_LINK), g_DownloadPage);
  m_Hyperlink.ShowWindow(SW_HIDE);
  GetDlgItem(IDC_UPDATE_RESULT)->ShowWindow(SW_HIDE);
  return TRUE;
}

void CLiveUpdateDlg::OnCheckNow() {
  CWnd* check = GetDlgItem(IDC_CHECK_NOW);
  CWnd* ok = GetDlgItem(IDOK);
  check->EnableWindow(FALSE);
  ok->EnableWindow(FALSE);
  m_Hyperlink.ShowWindow(SW_HIDE);
  GetDlgItem(IDC_UPDATE_RESULT)->ShowWindow(SW_HIDE);
  CheckForUpdate();
  check->EnableWindow(TRUE);
  ok->EnableWindow(TRUE);
}

void CLiveUpdateDlg::SetStatus(const std::wstring& text) {
  SetDlgItemText(IDC_UPDATE_STATUS, text);
}

void CLiveUpdateDlg::PumpWaitingMessages() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (!::IsDialogMessageW(m_hWnd, &msg)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
  }
}

void CLiveUpdateDlg::CheckForUpdate() {
  SetStatus(L"Connecting...");
  UpdateWindow();
  PumpWaitingMessages();

  UpdateServer server{kUpdateServer, INTERNET_DEFAULT_HTTP_PORT};
  if (const char* over = std::getenv(kUpdateServerVariable); over != nullptr && *over != 0) {
    // A wrong address is never silently swapped for the maker's server.
    if (!ParseUpdateServer(win::Utf8ToWide(over), server)) {
      SetStatus(L"Network connection failed.");
      return;
    }
  }

  std::vector<std::wstring> lines;
  try {
    CInternetSession session;
    std::unique_ptr<CHttpConnection> connection =
        session.GetHttpConnection(server.host, server.port);
    std::unique_ptr<CHttpFile> file = connection->OpenRequest(L"GET", kUpdateObject);
    file->SendRequest(L"\n");
    DWORD status = 0;
    file->QueryInfoStatusCode(status);
    if (status != 200) {
      SetStatus(win::Format(L"Network connection failed: %ld.", static_cast<long>(status)));
      return;
    }
    std::wstring line;
    while (file->ReadString(line)) lines.push_back(line);
    file->Close();
  } catch (CException* e) {
    e->Delete();
    SetStatus(L"Network connection failed.");
    return;
  }

  std::wstring key = win::Format(L"%s*%s:", L"ACAD", kProductName);
  std::wstring published = PublishedVersion(lines, key);
  if (published.empty()) published = kProductVersion;
  // The status has done its work; the result says what was found.
  SetStatus(L"");
  CWnd* result = GetDlgItem(IDC_UPDATE_RESULT);
  if (IsNewerVersion(published, kProductVersion)) {
    result->SetWindowText(win::Format(
        L"The new version %s is available.\nPlease download the new version by visiting",
        published.c_str()));
    result->ShowWindow(SW_SHOW);
    m_Hyperlink.ShowWindow(SW_SHOW);
  } else {
    result->SetWindowText(L"Sheetform version is current and up-to-date.");
    result->ShowWindow(SW_SHOW);
  }
}
