// The information commands: the support e-mail, the CAD platform's name, the
// help file's place, the about box, and the commands as the host runs them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include "host/commands.h"
#include "platform/console/console.h"
#include "platform/gui/scripted_backend.h"
#include "platform/registry/registry.h"
#include "platform/sds/sds.h"
#include "platform/shell/os_version.h"
#include "platform/win/text.h"
#include "tests/support/test_support.h"
#include "ui/about_dialog.h"
#include "ui/info_commands.h"

namespace {

using gm::test::TempDir;
using gm::test::WriteFile;

std::wstring W(const std::string& s) { return win::Utf8ToWide(s); }

// The registry in a folder of the test's own, and no desktop to open on.
class InfoCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    registry::SetHiveFolder(dir.path());
    Unset("DISPLAY");
    Unset("WAYLAND_DISPLAY");
  }
  void TearDown() override {
    registry::SetHiveFolder({});
    for (auto& [name, value] : saved_) {
      if (value) {
        setenv(name.c_str(), value->c_str(), 1);
      } else {
        unsetenv(name.c_str());
      }
    }
  }
  void Unset(const std::string& name) {
    const char* old = std::getenv(name.c_str());
    saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    unsetenv(name.c_str());
  }
  void WriteMachineHive(const std::string& body) {
    WriteFile(dir / "HKEY_LOCAL_MACHINE.reg", "Windows Registry Editor Version 5.00\n\n" + body);
  }

  TempDir dir;
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

const wchar_t* const kBodyTail =
    L" %0a%0d Problem Description: (Step by Step) %0a%0d Screenshot(s): (Optional) %0a%0d "
    L"Please attach sample files (.dwg and/or .xls) to help us troubleshooting if applicable. "
    L"%0a%0d We will working on your problem and give you answers ASAP.";

TEST_F(InfoCommands, SupportLinkCarriesBothDescriptions) {
  std::wstring link = SupportMailLink(L"Debian GNU/Linux 12 (bookworm)", L"ICAD");
  EXPECT_EQ(link, L"mailto:" + g_SupportEmail +
                      L"?body= Please provide the following info to help us troubleshooting. "
                      L"Thanks. %0a%0d Operation System: Debian GNU/Linux 12 (bookworm) %0a%0d "
                      L"CAD Platform Version: ICAD" +
                      kBodyTail);
  // What would end the body early, or change it, is encoded; the rest stays.
  std::wstring odd =
      SupportMailLink(L"Microsoft Windows XP Service Pack 3 (Build 2600)\n", L"Draft & Co #2 100%");
  EXPECT_NE(odd.find(L"Operation System: Microsoft Windows XP Service Pack 3 (Build 2600)%0A "
                     L"%0a%0d CAD Platform Version: Draft %26 Co %232 100%25 %0a%0d"),
            std::wstring::npos)
      << win::WideToUtf8(odd);
}

TEST_F(InfoCommands, PlatformNameComesFromTheMachineHive) {
  EXPECT_EQ(CadPlatformName(), L"ICAD") << "no machine hive at all";
  WriteMachineHive(
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane\\OrvaneGridmason]\n"
      "\"IcadCompany\"=\"Host CAD 2024 \xC3\xA9\"\n");
  EXPECT_EQ(CadPlatformName(), L"Host CAD 2024 \u00E9");
  EXPECT_NE(SupportMailLink(L"x", CadPlatformName()).find(L"CAD Platform Version: Host CAD 2024 "),
            std::wstring::npos);

  WriteMachineHive(
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane\\OrvaneGridmason]\n"
      "\"IcadCompany\"=dword:00000007\n");
  EXPECT_EQ(CadPlatformName(), L"ICAD") << "a value of another type is no name";
  WriteMachineHive("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane\\OrvaneGridmason]\n\"Other\"=\"x\"\n");
  EXPECT_EQ(CadPlatformName(), L"ICAD");
  WriteMachineHive(
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane\\OrvaneGridmason]\n"
      "\"IcadCompany\"=hex(1):41,00,42,00\n");
  EXPECT_EQ(CadPlatformName(), L"AB") << "text without its terminator still reads";
}

TEST_F(InfoCommands, HelpFileLiesBesideTheModule) {
  auto module = reinterpret_cast<HMODULE>(0x5150);
  win::RegisterModuleFileName(module, L"/opt/cad/plug-ins/OrvaneGridmason2017.so");
  EXPECT_EQ(HelpFilePath(module), L"/opt/cad/plug-ins/Gridmason.chm");
  win::RegisterModuleFileName(module, L"C:\\Tools\\Plug-ins\\OrvaneGridmason.dll");
  EXPECT_EQ(HelpFilePath(module), L"C:\\Tools\\Plug-ins\\Gridmason.chm");
  win::RegisterModuleFileName(module, L"D:OrvaneGridmason.dll");
  EXPECT_EQ(HelpFilePath(module), L"D:Gridmason.chm");
  win::UnregisterModuleFileName(module);
}

TEST_F(InfoCommands, AddressesAreTheMakersOwn) {
  for (const std::wstring* page :
       {&g_CompanySite, &g_DemoPage, &g_DownloadPage, &g_WhatsNewPage, &g_FaqPage}) {
    EXPECT_EQ(page->rfind(L"https://www.orvane.example/", 0), 0u) << win::WideToUtf8(*page);
  }
  EXPECT_NE(g_WhatsNewPage.find(L"page=whatsnew&product="), std::wstring::npos);
  EXPECT_NE(g_FaqPage.find(L"page=faq&product="), std::wstring::npos);
  EXPECT_NE(g_SupportEmail.find(L'@'), std::wstring::npos);
}

TEST_F(InfoCommands, AboutBoxNamesProductAndVersion) {
  gui::ScriptedBackend ui;
  HWND host = reinterpret_cast<HWND>(0x1234);  // the host's main window, foreign to us
  ShowAboutBox(host);
  ASSERT_EQ(ui.dialogs().size(), 1u);
  const gui::DialogState& shown = ui.dialogs()[0].shown;
  EXPECT_EQ(shown.title, L"About OrvaneGridmason 3.1.0.0");
  EXPECT_TRUE(shown.modal);
  ASSERT_NE(shown.Find(CAboutDlg::IDC_VERSION_TEXT), nullptr);
  EXPECT_EQ(shown.Find(CAboutDlg::IDC_VERSION_TEXT)->text, L"OrvaneGridmason version 3.1.0.0");
  ASSERT_NE(shown.Find(CAboutDlg::IDC_NOTICE_FIRST), nullptr);
  EXPECT_FALSE(shown.Find(CAboutDlg::IDC_NOTICE_FIRST)->text.empty());
  EXPECT_EQ(ui.dialogs()[0].result, IDCANCEL) << "nobody answered: closed, nothing else";
}

// The handlers as the host's dispatcher calls them: each opens its thing
// (printed here, there being no desktop) and gives what sds_retvoid gives.
TEST_F(InfoCommands, WebCommandsOpenTheirPages) {
  struct Case {
    int (*handler)();
    const std::wstring* page;
  };
  for (const Case& c :
       {Case{CmdGridmasonDemo, &g_DemoPage}, Case{CmdGridmasonWebsite, &g_CompanySite},
        Case{CmdGridmasonNew, &g_WhatsNewPage}, Case{CmdGridmasonFaq, &g_FaqPage}}) {
    console::Capture out;
    EXPECT_EQ(c.handler(), sds_retvoid());
    EXPECT_NE(out.text().find(L"open it yourself:\n  " + *c.page), std::wstring::npos)
        << win::WideToUtf8(out.text());
  }
}

TEST_F(InfoCommands, SupportCommandDescribesThisSystem) {
  WriteMachineHive(
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane\\OrvaneGridmason]\n"
      "\"IcadCompany\"=\"Host CAD 2024\"\n");
  console::Capture out;
  EXPECT_EQ(CmdGridmasonSupport(), sds_retvoid());
  const std::wstring& text = out.text();
  size_t at = text.find(L"mailto:" + g_SupportEmail + L"?body= Please provide");
  ASSERT_NE(at, std::wstring::npos) << win::WideToUtf8(text);
  // Not a Windows system, so it is named as what it is.
  EXPECT_NE(text.find(L"Operation System: " + shell::RunningSystemDescription() + L" %0a%0d", at),
            std::wstring::npos)
      << win::WideToUtf8(text);
  EXPECT_NE(text.find(L" %0a%0d CAD Platform Version: Host CAD 2024 %0a%0d", at),
            std::wstring::npos);
}

TEST_F(InfoCommands, HelpCommandOpensTheFileBesideThePlugin) {
  TempDir plugins;
  WriteFile(plugins / "Gridmason.chm", "ITSF");
  auto module = reinterpret_cast<HMODULE>(0x6160);
  win::RegisterModuleFileName(module, W((plugins / "OrvaneGridmason2017.so").string()).c_str());
  console::Capture out;
  OpenHelpFile(module);
  EXPECT_NE(out.text().find(L"open it yourself:\n  " + W((plugins / "Gridmason.chm").string())),
            std::wstring::npos)
      << win::WideToUtf8(out.text());
  // A missing help file is the shell's to tell; the command still ends.
  std::filesystem::remove(plugins / "Gridmason.chm");
  out.clear();
  OpenHelpFile(module);
  EXPECT_NE(out.text().find(L"there is no such file"), std::wstring::npos);
  win::UnregisterModuleFileName(module);
}

TEST_F(InfoCommands, AboutCommandShowsTheBox) {
  gui::ScriptedBackend ui;
  ui.OnDialog([](gui::DialogDriver& d) { EXPECT_TRUE(d.PressEnter()); });
  EXPECT_EQ(CmdGridmasonAbout(), sds_retvoid());
  ASSERT_EQ(ui.dialogs().size(), 1u);
  EXPECT_EQ(ui.dialogs()[0].result, IDOK);
  EXPECT_EQ(ui.dialogs()[0].shown.title, L"About OrvaneGridmason 3.1.0.0");
}

}  // namespace
