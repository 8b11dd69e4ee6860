// A person at a terminal: gridmason runs in a tmux pane, keys are typed into
// it and the screen is read back, so the terminal backend is used exactly as
// at a real terminal (a pseudo-terminal on standard input).
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "tests/support/test_support.h"

namespace {

using gm::test::BinDir;
using gm::test::ReadFile;
using gm::test::TempDir;

std::string Quote(const std::string& s) { return gm::test::ShellQuote(s); }

std::string Capture(const std::string& command) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (p == nullptr) return out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  pclose(p);
  return out;
}

class TerminalSession : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::system("command -v tmux > /dev/null 2>&1") != 0) GTEST_SKIP() << "tmux not installed";
    socket_ = "gm-test-" + std::to_string(getpid());
  }
  void TearDown() override {
    if (!socket_.empty()) Tmux("kill-server > /dev/null 2>&1");
  }

  int Tmux(const std::string& args) {
    return std::system(("tmux -L " + socket_ + " -f /dev/null " + args).c_str());
  }

  void Start(const std::string& program) {
    ASSERT_EQ(0, Tmux("new-session -d -s gm -x 120 -y 50 " + Quote(program)));
  }

  // The visible screen and the scroll-back of the pane.
  std::string Screen() {
    return Capture("tmux -L " + socket_ + " capture-pane -p -S -200 -t gm 2>/dev/null");
  }

  // Waits until the screen shows `text` (the program reacts at its own
  // speed; the limit only keeps a broken program from hanging the suite).
  bool WaitFor(const std::string& text) {
    for (int i = 0; i < 300; ++i) {
      if (Screen().find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
  }

  void Type(const std::string& line) {
    ASSERT_EQ(0, Tmux("send-keys -t gm -l " + Quote(line)));
    ASSERT_EQ(0, Tmux("send-keys -t gm Enter"));
  }

  std::string socket_;
  TempDir dir;
};

TEST_F(TerminalSession, OptionsDialogFilledInAtTheTerminal) {
  const std::string marker = (dir / "ended").string();
  Start((BinDir() / "gridmason").string() + " --registry " + Quote(dir.path().string()) +
        "; echo $? > " + Quote(marker) + "; sleep 30");
  ASSERT_TRUE(WaitFor("Command:")) << Screen();
  Type("Gridmason_Options");
  ASSERT_TRUE(WaitFor("== Options ==")) << Screen();
  ASSERT_TRUE(WaitFor("Options>")) << Screen();
  EXPECT_NE(Screen().find("[213] Double line width: [-1] (disabled)"), std::string::npos)
      << Screen();

  Type("set 212 0.25");
  ASSERT_TRUE(WaitFor("[212] Text tolerance: [0.25]")) << Screen();
  // A disabled box is refused, as it would be with a mouse.
  Type("set 213 2");
  ASSERT_TRUE(WaitFor("Control 213 is disabled.")) << Screen();
  Type("check 215");
  ASSERT_TRUE(WaitFor("[215] [x] Double line width:")) << Screen();
  Type("set 213 0.5");
  ASSERT_TRUE(WaitFor("[213] Double line width: [0.5]")) << Screen();
  Type("ok");
  ASSERT_TRUE(WaitFor("== Options closed with OK ==")) << Screen();
  Type("quit");
  // The shell writes the exit status once the program has ended.
  auto ended = [&] {
    std::error_code ec;
    return std::filesystem::file_size(marker, ec) >= 2 && !ec;
  };
  for (int i = 0; i < 300 && !ended(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_EQ(ReadFile(marker), "0\n") << Screen();

  const std::string hive = ReadFile(dir / "HKEY_CURRENT_USER.reg");
  EXPECT_NE(hive.find("\"TextTol\"=\"0.25\""), std::string::npos) << hive;
  EXPECT_NE(hive.find("\"HasDoubleLine\"=dword:00000001"), std::string::npos) << hive;
  EXPECT_NE(hive.find("\"DoubleLineDist\"=\"0.5\""), std::string::npos) << hive;
}

}  // namespace
