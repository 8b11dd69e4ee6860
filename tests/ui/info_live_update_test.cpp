// The check for a newer version, against an HTTP server the test runs on
// 127.0.0.1, and the hyperlink it offers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include "platform/console/console.h"
#include "platform/gui/scripted_backend.h"
#include "platform/win/text.h"
#include "tests/platform/shell/http_test_server.h"
#include "tests/support/test_support.h"
#include "ui/info_commands.h"
#include "ui/live_update_dialog.h"

namespace {

using gm::test::HttpTestServer;
using Dlg = CLiveUpdateDlg;

constexpr const char* kListPath = "/updatelist/checkforupdate.txt";
constexpr const wchar_t* kCurrent = L"Sheetform version is current and up-to-date.";

using EnvVar = gm::test::ScopedEnv;

// A control of a dialog's state (a dialog's state is read whole and held:
// pointers into it live as long as it does).
const gui::ControlState& Control(const gui::DialogState& s, int id) {
  static const gui::ControlState none;
  const gui::ControlState* c = s.Find(id);
  EXPECT_NE(c, nullptr) << "no control " << id;
  return c != nullptr ? *c : none;
}

// What the dialog showed while the check ran and after it.
struct Outcome {
  bool seen_during = false;
  bool ok_during = true, check_during = true, link_during = true, result_during = true;
  std::wstring status_during;
  gui::DialogState after;
  bool ok_after = false, check_after = false;

  std::wstring Status() const { return Control(after, Dlg::IDC_UPDATE_STATUS).text; }
  std::wstring Result() const { return Control(after, Dlg::IDC_UPDATE_RESULT).text; }
  bool ResultShown() const { return Control(after, Dlg::IDC_UPDATE_RESULT).visible; }
  bool LinkShown() const { return Control(after, CHyperlink::kControlId).visible; }
};

class LiveUpdate : public ::testing::Test {
 protected:
  // Opens the dialog, presses Check Now and then OK.
  Outcome Check(const std::string& server) {
    EnvVar address(kUpdateServerVariable, server);
    Outcome o;
    gui::ScriptedBackend ui;
    ui.OnIdle([&] {
      if (o.seen_during) return;
      HWND h = gui::FindDialog(L"Check for Update");
      if (h == nullptr) return;
      gui::DialogState s = gui::ReadDialog(h);
      o.seen_during = true;
      o.ok_during = Control(s, IDOK).enabled;
      o.check_during = Control(s, Dlg::IDC_CHECK_NOW).enabled;
      o.link_during = Control(s, CHyperlink::kControlId).visible;
      o.result_during = Control(s, Dlg::IDC_UPDATE_RESULT).visible;
      o.status_during = Control(s, Dlg::IDC_UPDATE_STATUS).text;
    });
    ui.OnDialog([&](gui::DialogDriver& d) {
      gui::DialogState before = d.State();
      EXPECT_FALSE(Control(before, CHyperlink::kControlId).visible) << "hidden until there is news";
      EXPECT_FALSE(Control(before, Dlg::IDC_UPDATE_RESULT).visible);
      EXPECT_TRUE(d.Press(Dlg::IDC_CHECK_NOW)) << win::WideToUtf8(d.problem());
      o.after = d.State();
      o.ok_after = Control(o.after, IDOK).enabled;
      o.check_after = Control(o.after, Dlg::IDC_CHECK_NOW).enabled;
    });
    ui.OnDialog([](gui::DialogDriver& d) { EXPECT_TRUE(d.Press(IDOK)); });
    Dlg dialog;
    EXPECT_EQ(dialog.DoModal(), IDOK);
    return o;
  }

  Outcome CheckList(const std::string& list) {
    server.Serve(kListPath, {200, list, {}});
    return Check(server.address());
  }

  EnvVar no_proxy_{"no_proxy", "127.0.0.1,localhost"};
  HttpTestServer server;
};

TEST_F(LiveUpdate, TheSameVersionIsCurrent) {
  Outcome o = CheckList("ACAD*OtherProduct: 9.0.0.0\nACAD*OrvaneGridmason: 3.1.0.0\n");
  EXPECT_EQ(o.Result(), kCurrent);
  EXPECT_TRUE(o.ResultShown());
  EXPECT_FALSE(o.LinkShown());
  auto requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "GET");
  EXPECT_EQ(requests[0].target, kListPath);
}

TEST_F(LiveUpdate, ButtonsAreDisabledWhileItChecks) {
  Outcome o = CheckList("ACAD*OrvaneGridmason: 3.1.0.0\n");
  ASSERT_TRUE(o.seen_during);
  EXPECT_EQ(o.status_during, L"Connecting...");
  EXPECT_FALSE(o.ok_during);
  EXPECT_FALSE(o.check_during);
  EXPECT_FALSE(o.link_during);
  EXPECT_FALSE(o.result_during);
  EXPECT_TRUE(o.ok_after);
  EXPECT_TRUE(o.check_after);
}

TEST_F(LiveUpdate, ANewerVersionOffersTheDownloadPage) {
  Outcome o = CheckList("ACAD*OrvaneGridmason:   3.1.0.1  \r\n");
  EXPECT_EQ(o.Result(),
            L"The new version 3.1.0.1 is available.\nPlease download the new version by visiting");
  EXPECT_TRUE(o.ResultShown());
  EXPECT_TRUE(o.LinkShown());
  const gui::ControlState& link = Control(o.after, CHyperlink::kControlId);
  EXPECT_EQ(link.class_name, L"HyperlinkWnd");
  EXPECT_EQ(link.text, g_DownloadPage);
  EXPECT_TRUE(o.ok_after && o.check_after);
}

TEST_F(LiveUpdate, OnlyTheSharedPositionsAreCompared) {
  EXPECT_EQ(CheckList("ACAD*OrvaneGridmason: 3.1.0\n").Result(), kCurrent);
  EXPECT_EQ(CheckList("ACAD*OrvaneGridmason: 3.0.9.9\n").Result(), kCurrent);
  EXPECT_TRUE(CheckList("ACAD*OrvaneGridmason: 3.2\n").LinkShown());
  EXPECT_TRUE(CheckList("ACAD*OrvaneGridmason: 3.1.0.0.7\n").LinkShown() == false);
}

TEST_F(LiveUpdate, ANonNumericPartCountsAsZero) {
  // beta is 0, as the own third part is, so the fourth decides.
  Outcome newer = CheckList("ACAD*OrvaneGridmason: 3.1.beta.5\n");
  EXPECT_TRUE(newer.LinkShown());
  EXPECT_NE(newer.Result().find(L"The new version 3.1.beta.5 is available."), std::wstring::npos);
  EXPECT_EQ(CheckList("ACAD*OrvaneGridmason: 3.x.9.9\n").Result(), kCurrent);
  EXPECT_EQ(CheckList("ACAD*OrvaneGridmason:\n").Result(), kCurrent) << "an empty version";
}

TEST_F(LiveUpdate, TheLastMatchingLineWinsAndOthersDoNotCount) {
  EXPECT_EQ(CheckList("nothing for us here\nACAD*OrvaneGridmasonX 9.9\n").Result(), kCurrent);
  EXPECT_EQ(CheckList("").Result(), kCurrent);
  EXPECT_TRUE(
      CheckList("ACAD*OrvaneGridmason: 3.0.0.0\nACAD*OrvaneGridmason: 3.1.1.0\n").LinkShown());
  EXPECT_FALSE(
      CheckList("ACAD*OrvaneGridmason: 3.1.1.0\nACAD*OrvaneGridmason: 3.0.0.0\n").LinkShown());
}

TEST_F(LiveUpdate, NetworkFailuresAreToldInTheDialogOnly) {
  console::Capture out;
  Outcome missing = Check(server.address());  // the server has no list: 404
  EXPECT_EQ(missing.Status(), L"Network connection failed: 404.");
  EXPECT_FALSE(missing.ResultShown());
  EXPECT_FALSE(missing.LinkShown());
  EXPECT_TRUE(missing.ok_after && missing.check_after);

  Outcome nobody = Check("127.0.0.1:" + std::to_string(HttpTestServer::UnusedPort()));
  EXPECT_EQ(nobody.Status(), L"Network connection failed.");
  EXPECT_FALSE(nobody.ResultShown());
  EXPECT_TRUE(nobody.ok_after && nobody.check_after);

  size_t asked = server.requests().size();
  Outcome wrong = Check("127.0.0.1:notaport");
  EXPECT_EQ(wrong.Status(), L"Network connection failed.");
  EXPECT_EQ(server.requests().size(), asked);
  EXPECT_EQ(out.text(), L"") << "nothing on the command line";
}

TEST_F(LiveUpdate, TheHyperlinkLightsUpAndOpensTheDownloadPage) {
  server.Serve(kListPath, {200, "ACAD*OrvaneGridmason: 4.0.0.0\n", {}});
  EnvVar address(kUpdateServerVariable, server.address());
  EnvVar display("DISPLAY", std::nullopt);
  EnvVar wayland("WAYLAND_DISPLAY", std::nullopt);
  gui::ScriptedBackend ui;
  console::Capture out;
  ui.OnDialog([&](gui::DialogDriver& d) {
    EXPECT_FALSE(Control(d.State(), Dlg::IDC_UPDATE_LINK).visible) << "the placeholder is replaced";
    ASSERT_TRUE(d.Press(Dlg::IDC_CHECK_NOW));
    gui::DialogState s = d.State();
    const gui::ControlState& link = Control(s, CHyperlink::kControlId);
    ASSERT_FALSE(link.painted.empty());
    EXPECT_EQ(link.painted[0].text, g_DownloadPage);
    EXPECT_TRUE(link.painted[0].underline);
    EXPECT_EQ(link.painted[0].color, 0xFF0000u);
    EXPECT_EQ(link.painted[0].background, GetSysColor(COLOR_3DFACE));
    const RECT& placeholder = Control(s, Dlg::IDC_UPDATE_LINK).rect;
    EXPECT_EQ(link.rect.left, placeholder.left);
    EXPECT_EQ(link.rect.top, placeholder.top);
    EXPECT_EQ(link.rect.right, placeholder.right);
    EXPECT_EQ(link.rect.bottom, placeholder.bottom);

    ASSERT_TRUE(d.Hover(CHyperlink::kControlId));
    EXPECT_EQ(GetCapture(), link.hwnd);
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND));
    EXPECT_EQ(Control(d.State(), CHyperlink::kControlId).painted.at(0).color, 255u);
    ASSERT_TRUE(d.MoveMouseAway());
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(Control(d.State(), CHyperlink::kControlId).painted.at(0).color, 0xFF0000u);

    out.clear();
    ASSERT_TRUE(d.Press(CHyperlink::kControlId));
    EXPECT_NE(out.text().find(L"open it yourself:\n  " + g_DownloadPage), std::wstring::npos)
        << win::WideToUtf8(out.text());
    d.PressEscape();
  });
  Dlg dialog;
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
}

// ---------------------------------------------------------------------------
// The pieces of the check.

TEST(UpdateCheck, VersionsCompareByTheirSharedParts) {
  EXPECT_TRUE(IsNewerVersion(L"3.1.0.1", L"3.1.0.0"));
  EXPECT_TRUE(IsNewerVersion(L"10.0", L"9.9.9.9"));
  EXPECT_FALSE(IsNewerVersion(L"3.1.0", L"3.1.0.0"));
  EXPECT_FALSE(IsNewerVersion(L"3.0.9.9", L"3.1.0.0"));
  EXPECT_FALSE(IsNewerVersion(L"3.1.0.0", L"3.1.0.0"));
  EXPECT_FALSE(IsNewerVersion(L"", L"3.1.0.0"));
  EXPECT_TRUE(IsNewerVersion(L" 4", L"3.1.0.0")) << "leading blanks are skipped, as atoi does";
}

TEST(UpdateCheck, TheVersionIsWhatFollowsTheKey) {
  const std::wstring key = L"ACAD*OrvaneGridmason:";
  EXPECT_EQ(PublishedVersion({L"ACAD*OrvaneGridmason: 3.1.0.1 "}, key), L"3.1.0.1");
  EXPECT_EQ(PublishedVersion({L"x"}, key), L"");
  // A line that carries the key further in still gives the text after it.
  EXPECT_EQ(PublishedVersion({L"# ACAD*OrvaneGridmason: 3.2.0.0"}, key), L"3.2.0.0");
}

TEST(UpdateCheck, TheServerAddressIsReadStrictly) {
  UpdateServer s;
  ASSERT_TRUE(ParseUpdateServer(L"127.0.0.1:8080", s));
  EXPECT_EQ(s.host, L"127.0.0.1");
  EXPECT_EQ(s.port, 8080);
  ASSERT_TRUE(ParseUpdateServer(L"updates.orvane.example", s));
  EXPECT_EQ(s.port, INTERNET_DEFAULT_HTTP_PORT);
  ASSERT_TRUE(ParseUpdateServer(L"[::1]:9", s));
  EXPECT_EQ(s.host, L"[::1]");
  EXPECT_EQ(s.port, 9);
  for (const wchar_t* bad : {L"", L":80", L"host:", L"host:0", L"host:65536", L"host:80x", L"[::1",
                             L"[::1]x", L"[]:80", L"host:123456"}) {
    EXPECT_FALSE(ParseUpdateServer(bad, s)) << win::WideToUtf8(bad);
  }
}

}  // namespace
