// Small helpers shared by the test suites: scratch folders and the places
// where the source tree, the built programs and the shared drawings lie.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace gm::test {

// A fresh folder below the system's temporary folder, removed with everything
// in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// The project's source folder (GM_SOURCE_DIR, else the compiled-in one).
std::filesystem::path SourceDir();
// build/bin, where the program, the plug-ins and the menu files lie.
std::filesystem::path BinDir();
// ../shared/corpus beside the project; empty when it is absent.
std::filesystem::path CorpusDir();

std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& bytes);

// Debian's Python, which has ezdxf and openpyxl (the first python3 on PATH may not).
const char* SystemPython();

// Runs a fixture script of the source tree (a path below it) with Debian's
// Python, giving it the folder to write into; true when it succeeded.
bool RunFixtureScript(const std::string& script, const std::filesystem::path& folder);

// Sets (or, with nullopt, removes) an environment variable while it lives.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, std::optional<std::string> value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// The text in single quotes for the shell, any quotes in it escaped.
std::string ShellQuote(const std::string& text);

struct ProgramRun {
  int status = -1;  // the exit status; -1 when the program did not exit
  std::string out;
  std::string err;
};

// Runs a shell command line with `input` on its standard input, keeping its
// output and errors in files of `folder` (in.txt, out.txt, err.txt).
ProgramRun RunCommand(const std::string& command, const std::filesystem::path& folder,
                      const std::string& input = "");

}  // namespace gm::test
