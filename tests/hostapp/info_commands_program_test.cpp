// The information commands in the real gridmason program, scripted as a
// user would type them, on a machine without a desktop.
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/platform/shell/http_test_server.h"
#include "tests/support/test_support.h"

namespace {

using gm::test::BinDir;
using gm::test::HttpTestServer;
using gm::test::ReadFile;
using gm::test::TempDir;
using gm::test::WriteFile;

using RunResult = gm::test::ProgramRun;

class InfoProgram : public ::testing::Test {
 protected:
  RunResult Gridmason(const std::string& args, const std::string& input,
                      const std::string& env = "") {
    return gm::test::RunCommand(
        "env -u DISPLAY -u WAYLAND_DISPLAY no_proxy=127.0.0.1 GM_REGISTRY_DIR=" +
            gm::test::ShellQuote(dir.path().string()) + " " + env + " " +
            gm::test::ShellQuote((BinDir() / "gridmason").string()) + " -q " + args,
        dir.path(), input);
  }

  TempDir dir;
};

TEST_F(InfoProgram, AboutBoxAndHelpThroughBothBuilds) {
  std::string help = (BinDir() / "Gridmason.chm").string();
  ASSERT_TRUE(std::filesystem::exists(help));
  for (std::string plugin :
       {std::string(), "--plugin '" + (BinDir() / "OrvaneGridmason.so").string() + "'"}) {
    RunResult r = Gridmason(plugin, "Gridmason_About\nok\nGridmason_Help\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("== About OrvaneGridmason 3.1.0.0 =="), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  OrvaneGridmason version 3.1.0.0\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("== About OrvaneGridmason 3.1.0.0 closed with OK =="), std::string::npos);
    EXPECT_NE(r.out.find("open it yourself:\n  " + help), std::string::npos)
        << "the help file beside the plug-in, printed for want of a desktop: " << r.out;
    EXPECT_EQ(r.out.find("not available"), std::string::npos);
  }
}

TEST_F(InfoProgram, WebPagesAndSupportMail) {
  WriteFile(dir / "HKEY_LOCAL_MACHINE.reg",
            "Windows Registry Editor Version 5.00\n\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane\\OrvaneGridmason]\n"
            "\"IcadCompany\"=\"Host CAD 2024\"\n");
  RunResult r = Gridmason("", "Gridmason_Website\ngridmason_faq\nGridmason_Support\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("  https://www.orvane.example/\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("  https://www.orvane.example/go.php?page=faq&product="), std::string::npos);
  size_t mail = r.out.find("  mailto:gridmason-support@orvane.example?body= Please provide");
  ASSERT_NE(mail, std::string::npos) << r.out;
  EXPECT_NE(r.out.find("CAD Platform Version: Host CAD 2024 %0a%0d Problem Description:", mail),
            std::string::npos);
}

TEST_F(InfoProgram, UpdateCheckAgainstALocalServer) {
  HttpTestServer server;
  server.Serve("/updatelist/checkforupdate.txt", {200, "ACAD*OrvaneGridmason: 3.1.0.2\n", {}});
  RunResult r = Gridmason("", "Gridmason_Check_Upd\npress 1204\nok\n",
                          "GRIDMASON_UPDATE_SERVER=" + server.address());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("== Check for Update =="), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("The new version 3.1.0.2 is available."), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("[3000] https://www.orvane.example/gridmason/download.html (link)"),
            std::string::npos)
      << r.out;
  ASSERT_EQ(server.requests().size(), 1u);
  EXPECT_EQ(server.requests()[0].target, "/updatelist/checkforupdate.txt");

  server.Stop();
  r = Gridmason("", "Gridmason_Check_Upd\npress 1204\nok\n",
                "GRIDMASON_UPDATE_SERVER=" + server.address());
  EXPECT_NE(r.out.find("Network connection failed."), std::string::npos) << r.out;
  EXPECT_EQ(r.status, 0) << "a failed check is no failed command";
}

}  // namespace
