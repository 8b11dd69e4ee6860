// The newer host's entry function: message codes, registration, the menu
// load and the dispatch of invoked commands.
#include <gtest/gtest.h>

#include "host/entry.h"
#include "platform/console/console.h"
#include "platform/sds/host.h"
#include "platform/sds/sds.h"
#include "platform/win/wintypes.h"

namespace {

class EntryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sds_host::Reset();
    sds_host::SetApplication(L"OrvaneGridmason2017", kModule);
    win::RegisterModuleFileName(kModule, L"/opt/cad/plugins/OrvaneGridmason2017.so");
  }
  void TearDown() override {
    win::UnregisterModuleFileName(kModule);
    sds_host::Reset();
  }

  static inline HINSTANCE kModule = reinterpret_cast<HINSTANCE>(0x1234);
};

TEST_F(EntryTest, OutOfRangeMessagesAnswerThreeAndDoNothing) {
  for (int message : {18, -1, 1000}) {
    g_entry = {};
    EXPECT_EQ(3, icrxEntryPoint(message)) << message;
    // The globals are filled on every message, even a refused one.
    EXPECT_EQ(kModule, g_entry.instance);
    EXPECT_EQ(sds_host::MainWindow(), g_entry.main_window);
    EXPECT_STREQ(L"OrvaneGridmason2017", g_entry.app_name);
  }
  EXPECT_TRUE(sds_host::Commands().empty());
  EXPECT_TRUE(sds_host::TakeMessages().empty());
}

TEST_F(EntryTest, OtherMessagesAnswerZeroAndDoNothing) {
  console::Capture out;
  for (int message : {0, 3, 4, 6, 7, 10, 16, 17}) EXPECT_EQ(0, icrxEntryPoint(message)) << message;
  EXPECT_TRUE(sds_host::Commands().empty());
  EXPECT_TRUE(sds_host::TakeMessages().empty());
  EXPECT_EQ(L"", out.text());
}

TEST_F(EntryTest, LoadRegistersTheTableAndAsksForTheMenu) {
  EXPECT_EQ(0, icrxEntryPoint(SDS_RQXLOAD));
  auto commands = sds_host::Commands();
  ASSERT_EQ(16u, commands.size());
  EXPECT_EQ(L"C:Gridmason_Test", commands[0].name);
  EXPECT_EQ(0, commands[0].code);
  EXPECT_EQ(L"C:Gridmason_Options", commands[5].name);
  EXPECT_EQ(5, commands[5].code);
  // Codes 6, 15 and 16 carry no command; the rows after 6 keep their codes.
  EXPECT_EQ(L"C:Gridmason_Help", commands[6].name);
  EXPECT_EQ(7, commands[6].code);
  EXPECT_EQ(L"C:Gridmason_About", commands[13].name);
  EXPECT_EQ(14, commands[13].code);
  // The plain-text conversions follow the original table.
  EXPECT_EQ(L"C:LineText2File", commands[14].name);
  EXPECT_EQ(17, commands[14].code);
  EXPECT_EQ(L"C:Block2File", commands[15].name);
  EXPECT_EQ(18, commands[15].code);
  auto messages = sds_host::TakeMessages();
  ASSERT_EQ(1u, messages.size());
  EXPECT_EQ(L"(command \"_.menuload\" \"/opt/cad/plugins/Gridmason.cui\")(princ)", messages[0]);
}

TEST_F(EntryTest, MenuPathHasForwardSlashesOnly) {
  win::RegisterModuleFileName(kModule, L"C:\\Tools\\Plug-ins\\OrvaneGridmason2017.dll");
  ASSERT_EQ(0, icrxEntryPoint(SDS_RQXLOAD));
  auto messages = sds_host::TakeMessages();
  ASSERT_EQ(1u, messages.size());
  EXPECT_EQ(L"(command \"_.menuload\" \"C:/Tools/Plug-ins/Gridmason.cui\")(princ)", messages[0]);
  EXPECT_EQ(std::wstring::npos, messages[0].find(L'\\'));
}

TEST_F(EntryTest, HostRejectingTheThirdRegistrationStopsTheLoad) {
  sds_host::RejectDefunFrom(3);
  EXPECT_EQ(RTERROR, LoadApplication());
  auto commands = sds_host::Commands();
  ASSERT_EQ(2u, commands.size());
  EXPECT_EQ(L"C:Gridmason_Test", commands[0].name);
  EXPECT_EQ(L"C:LineText2Excel", commands[1].name);
  EXPECT_TRUE(sds_host::TakeMessages().empty()) << "no menu load after a failed registration";

  sds_host::Reset();
  sds_host::SetApplication(L"OrvaneGridmason2017", kModule);
  sds_host::RejectDefunFrom(3);
  EXPECT_EQ(0, icrxEntryPoint(SDS_RQXLOAD)) << "the entry function hides the handler's result";
}

TEST_F(EntryTest, InvokeRunsTheHandlerOfTheReportedCode) {
  ASSERT_EQ(0, icrxEntryPoint(SDS_RQXLOAD));
  console::Capture out;
  sds_host::SetFunctionCode(0);
  EXPECT_EQ(0, icrxEntryPoint(SDS_RQSUBR));
  EXPECT_EQ(L"\nGridmason Test", out.text());
  sds_host::SetFunctionCode(0);
  EXPECT_EQ(RTNORM, DispatchCommand());
}

TEST_F(EntryTest, InvokeWithAnInvalidCodeFails) {
  console::Capture out;
  for (int code : {19, -1, 6, 15, 16, 100}) {
    out.clear();
    sds_host::SetFunctionCode(code);
    EXPECT_EQ(RTERROR, DispatchCommand()) << code;
    EXPECT_NE(std::wstring::npos, out.text().find(L"failed to getfuncode in dofun.")) << code;
  }
}

TEST_F(EntryTest, UnloadWithdrawsEveryCommand) {
  ASSERT_EQ(0, icrxEntryPoint(SDS_RQXLOAD));
  ASSERT_FALSE(sds_host::Commands().empty());
  EXPECT_EQ(0, icrxEntryPoint(SDS_RQXUNLD));
  EXPECT_TRUE(sds_host::Commands().empty());
  EXPECT_EQ(nullptr, sds_host::FindCommand(L"Gridmason_Test"));
}

TEST_F(EntryTest, CommandWordsAreFoundInAnyCaseWithOrWithoutPrefix) {
  ASSERT_EQ(0, icrxEntryPoint(SDS_RQXLOAD));
  for (const wchar_t* word :
       {L"gridmason_test", L"GRIDMASON_TEST", L"C:Gridmason_Test", L"c:gridmason_test"}) {
    const sds_host::Command* c = sds_host::FindCommand(word);
    ASSERT_NE(nullptr, c) << word;
    EXPECT_EQ(0, c->code);
  }
  EXPECT_EQ(nullptr, sds_host::FindCommand(L"Gridmason"));
}

}  // namespace
