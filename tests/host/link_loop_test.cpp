// The older host's build: SDS_EntryPoint on its own thread, served through
// the link loop with the load, invoke and unload requests.
#include <gtest/gtest.h>

#include "platform/console/console.h"
#include "platform/sds/host.h"
#include "platform/sds/sds.h"

namespace {

class LinkLoopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sds_host::Reset();
    sds_host::SetApplication(L"OrvaneGridmason", kModule);
    win::RegisterModuleFileName(kModule, L"/opt/cad/OrvaneGridmason.so");
  }
  void TearDown() override {
    loop.Stop();
    win::UnregisterModuleFileName(kModule);
    sds_host::Reset();
  }

  static inline HINSTANCE kModule = reinterpret_cast<HINSTANCE>(0x4321);
  sds_host::LinkLoop loop;
};

TEST_F(LinkLoopTest, LoadInvokeUnload) {
  console::Capture out;
  ASSERT_TRUE(loop.Start([] { SDS_EntryPoint(); }));
  EXPECT_EQ(1, loop.Request(RQXLOAD));
  EXPECT_EQ(16u, sds_host::Commands().size());
  auto messages = sds_host::TakeMessages();
  ASSERT_EQ(1u, messages.size());
  EXPECT_EQ(L"(command \"_.menuload\" \"/opt/cad/Gridmason.mns\")(princ)", messages[0]);

  sds_host::SetFunctionCode(0);
  EXPECT_EQ(1, loop.Request(RQSUBR));
  EXPECT_NE(std::wstring::npos, out.text().find(L"\nGridmason Test"));

  sds_host::SetFunctionCode(19);  // the first code past the table
  EXPECT_EQ(3, loop.Request(RQSUBR)) << "a failed command answers 3";
  EXPECT_NE(std::wstring::npos, out.text().find(L"failed to getfuncode in dofun."));

  EXPECT_EQ(1, loop.Request(77)) << "an unknown request is answered 1";
  EXPECT_EQ(1, loop.Request(RQXUNLD));
  EXPECT_TRUE(sds_host::Commands().empty());
  EXPECT_TRUE(loop.Running());
  loop.Stop();
  EXPECT_FALSE(loop.Running());
}

TEST_F(LinkLoopTest, RejectedRegistrationAnswersThree) {
  ASSERT_TRUE(loop.Start([] { SDS_EntryPoint(); }));
  sds_host::RejectDefunFrom(3);
  EXPECT_EQ(3, loop.Request(RQXLOAD));
  EXPECT_EQ(2u, sds_host::Commands().size());
  EXPECT_TRUE(sds_host::TakeMessages().empty());
}

TEST_F(LinkLoopTest, FailedLinkIsReportedAndEndsTheThread) {
  console::Capture out;
  ASSERT_TRUE(loop.Start([] { SDS_EntryPoint(); }));
  ASSERT_EQ(1, loop.Request(RQXLOAD));
  EXPECT_EQ(sds_host::LinkLoop::kEnded, loop.FailNextLink(-7));
  EXPECT_NE(std::wstring::npos, out.text().find(L"\nERROR: Unable to link with Orvane - -7"));
  EXPECT_FALSE(loop.Running());
  EXPECT_EQ(-1, loop.exit_status());
  EXPECT_EQ(sds_host::LinkLoop::kEnded, loop.Request(RQSUBR)) << "nothing answers any more";
}

TEST_F(LinkLoopTest, StopWithoutUnloadEndsCleanly) {
  ASSERT_TRUE(loop.Start([] { SDS_EntryPoint(); }));
  EXPECT_TRUE(loop.Running());
  loop.Stop();
  EXPECT_FALSE(loop.Running());
  // Starting again gives a fresh loop.
  ASSERT_TRUE(loop.Start([] { SDS_EntryPoint(); }));
  EXPECT_EQ(1, loop.Request(RQXLOAD));
}

TEST_F(LinkLoopTest, AnEntryThatExitsBeforeLinkingIsReported) {
  EXPECT_FALSE(loop.Start([] { sds_exit(5); }));
  EXPECT_EQ(5, loop.exit_status());
}

}  // namespace
