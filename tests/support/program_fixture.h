// Suites that run the real gridmason on drawings a Python script makes once
// per suite, and read what it wrote with an independent reader. Each test
// works in a folder of its own, which also holds its settings file.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace gm::test {

// What a reader script printed, a "key<TAB>fact" line each.
using Facts = std::map<std::string, std::string>;

Facts ParseFacts(const std::string& text);
// The fact of a key, or "(none)".
std::string Fact(const Facts& facts, const std::string& key);
// Runs a reader script of the source tree over the files with Debian's
// Python; its output goes through `scratch`. Returns the exit status.
int RunReader(const std::string& script, const std::vector<std::filesystem::path>& files,
              const std::filesystem::path& scratch, Facts& facts, std::string& output);

// Suite names the fixture script as `static constexpr const char* kScript`.
template <class Suite>
class DrawingsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    drawings_ = new TempDir;
    made_ = RunFixtureScript(Suite::kScript, drawings_->path());
  }
  static void TearDownTestSuite() {
    delete drawings_;
    drawings_ = nullptr;
  }
  void SetUp() override {
    if (!made_) GTEST_SKIP() << "no drawings: /usr/bin/python3 with ezdxf is needed";
  }

  // A drawing of the fixtures, quoted for the shell.
  static std::string Drawing(const std::string& name) {
    return ShellQuote((drawings_->path() / name).string());
  }
  static std::filesystem::path DrawingPath(const std::string& name) {
    return drawings_->path() / name;
  }

  // gridmason with these arguments, run in the test's folder with its settings there.
  ProgramRun Gridmason(const std::string& args, const std::string& input = "") {
    const std::string folder = ShellQuote(dir.path().string());
    return RunCommand("cd " + folder + " && " + ShellQuote((BinDir() / "gridmason").string()) +
                          " --registry " + folder + " " + args,
                      dir.path(), input);
  }

  // Every fact openpyxl reads in a workbook of the test's folder; a workbook
  // it cannot open fails the test.
  Facts ReadWorkbook(const std::string& name) {
    Facts facts;
    std::string output;
    const int status = RunReader("tests/platform/spreadsheet/read_xlsx.py", {dir / name},
                                 dir.path(), facts, output);
    if (status == 3) {
      ADD_FAILURE() << "openpyxl is missing";
      return {};
    }
    EXPECT_EQ(0, status) << "openpyxl cannot open " << name << ": " << output;
    return facts;
  }

  static inline TempDir* drawings_ = nullptr;
  static inline bool made_ = false;
  TempDir dir;
};

}  // namespace gm::test
