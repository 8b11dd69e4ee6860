// The check for a newer version: the maker's web server publishes a list of
// "<platform>*<product>: <version>" lines, and the dialog compares the
// published version of this product with its own.
#pragma once

#include <string>
#include <vector>

#include "platform/gui/afxwin.h"
#include "platform/shell/internet.h"
#include "ui/hyperlink.h"

// The maker's web server; the environment variable GRIDMASON_UPDATE_SERVER
// ("host", "host:port", "[v6]:port") replaces it.
inline constexpr const wchar_t* kUpdateServer = L"www.orvane.example";
inline constexpr const char* kUpdateServerVariable = "GRIDMASON_UPDATE_SERVER";
inline constexpr const wchar_t* kUpdateObject = L"updatelist/checkforupdate.txt";

struct UpdateServer {
  std::wstring host;
  INTERNET_PORT port = INTERNET_DEFAULT_HTTP_PORT;
};
// Reads "host[:port]"; false for a text that is no such address (an empty
// host, a port that is no number from 1 to 65535).
bool ParseUpdateServer(const std::wstring& text, UpdateServer& server);

// True when the published version is newer than our own: the parts between
// the dots are compared as integers (a part that is no number counts as 0)
// up to the shorter count of parts.
bool IsNewerVersion(const std::wstring& published, const std::wstring& own);

// The published version among the list's lines: the text after the key of
// the last line that holds it, trimmed; empty when no line holds it.
std::wstring PublishedVersion(const std::vector<std::wstring>& lines, const std::wstring& key);

class CLiveUpdateDlg : public CDialog {
  DECLARE_DYNAMIC(CLiveUpdateDlg)

 public:
  enum : int {
    IDC_UPDATE_STATUS = 1201,
    IDC_UPDATE_RESULT = 1202,
    IDC_UPDATE_LINK = 1203,  // the placeholder the hyperlink replaces
    IDC_CHECK_NOW = 1204,
  };
  static const gui::DialogTemplate& Template();

  explicit CLiveUpdateDlg(CWnd* parent = nullptr);

  // Asks the server and shows the outcome in the status and result texts.
  void CheckForUpdate();

  CHyperlink m_Hyperlink;

 protected:
  BOOL OnInitDialog() override;
  void OnCheckNow();

  DECLARE_MESSAGE_MAP()

 private:
  void SetStatus(const std::wstring& text);
  // Lets the dialog repaint before the network makes it wait.
  void PumpWaitingMessages();
};
