// The real gridmason program, run as a user or a script would run it.
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/support/test_support.h"

namespace {

using gm::test::BinDir;
using gm::test::ReadFile;
using gm::test::ShellQuote;
using gm::test::TempDir;
using gm::test::WriteFile;

using RunResult = gm::test::ProgramRun;

class GridmasonProgram : public ::testing::Test {
 protected:
  RunResult Gridmason(const std::string& args, const std::string& input = "") {
    return gm::test::RunCommand("GM_REGISTRY_DIR=" + ShellQuote(dir.path().string()) + " " +
                                    ShellQuote((BinDir() / "gridmason").string()) + " " + args,
                                dir.path(), input);
  }

  TempDir dir;
};

TEST_F(GridmasonProgram, HelpPrintsTheUsage) {
  RunResult r = Gridmason("--help");
  EXPECT_EQ(0, r.status);
  EXPECT_NE(std::string::npos,
            r.out.find("Usage: gridmason [options] [DRAWING.dxf] [COMMAND ...]"));
  EXPECT_NE(std::string::npos, r.out.find("--plugin PATH"));
}

TEST_F(GridmasonProgram, TestCommandThroughBothBuilds) {
  for (const char* plugin : {"", "--plugin '%s/OrvaneGridmason.so'"}) {
    std::string option = plugin;
    if (!option.empty()) option.replace(option.find("%s"), 2, BinDir().string());
    RunResult r = Gridmason(option, "Gridmason_Test\n");
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_NE(std::string::npos, r.out.find("\nGridmason Test")) << r.out;
    EXPECT_NE(std::string::npos, r.out.find(option.empty() ? "Gridmason.cui" : "Gridmason.mns"))
        << "each build loads its own menu: " << r.out;
  }
}

TEST_F(GridmasonProgram, CommandsFromTheCommandLineRunInOrder) {
  RunResult r = Gridmason("gridmason_test GRIDMASON_TEST quit");
  EXPECT_EQ(0, r.status);
  size_t first = r.out.find("\nGridmason Test");
  ASSERT_NE(std::string::npos, first);
  EXPECT_NE(std::string::npos, r.out.find("\nGridmason Test", first + 1));
}

TEST_F(GridmasonProgram, UnknownCommandIsReportedInTheExitStatus) {
  RunResult r = Gridmason("", "NoSuchCommand\nGridmason_Test\n");
  EXPECT_EQ(1, r.status);
  EXPECT_NE(std::string::npos, r.out.find("Unknown command \"NoSuchCommand\""));
  EXPECT_NE(std::string::npos, r.out.find("\nGridmason Test")) << "the session goes on";
}

TEST_F(GridmasonProgram, BadPluginAndBadUsageFailClearly) {
  RunResult r = Gridmason("--plugin /nonexistent/plugin.so");
  EXPECT_EQ(3, r.status);
  EXPECT_NE(std::string::npos, r.err.find("/nonexistent/plugin.so: no such file"));
  WriteFile(dir / "fake.so", "not a shared library");
  r = Gridmason("--plugin '" + (dir / "fake.so").string() + "'");
  EXPECT_EQ(3, r.status);
  EXPECT_NE(std::string::npos, r.err.find("cannot load the plug-in"));
  r = Gridmason("--bogus");
  EXPECT_EQ(2, r.status);
  EXPECT_NE(std::string::npos, r.err.find("unknown option --bogus"));
}

TEST_F(GridmasonProgram, MissingMenuFileIsReportedNotFatal) {
  std::filesystem::copy_file(BinDir() / "OrvaneGridmason2017.so", dir / "OrvaneGridmason2017.so");
  RunResult r =
      Gridmason("--plugin '" + (dir / "OrvaneGridmason2017.so").string() + "'", "Gridmason_Test\n");
  EXPECT_EQ(0, r.status);
  EXPECT_NE(std::string::npos, r.out.find("Cannot load the menu file"));
  EXPECT_NE(std::string::npos, r.out.find("Gridmason.cui: no such file"));
  EXPECT_NE(std::string::npos, r.out.find("\nGridmason Test"));
}

}  // namespace
