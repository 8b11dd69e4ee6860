#include "tests/support/test_support.h"

#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace gm::test {

TempDir::TempDir() {
  std::string templ = (std::filesystem::temp_directory_path() / "gm-test-XXXXXX").string();
  if (mkdtemp(templ.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = templ;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::filesystem::path SourceDir() {
  if (const char* dir = getenv("GM_SOURCE_DIR")) return dir;
  return GM_DEFAULT_SOURCE_DIR;
}

std::filesystem::path BinDir() {
  if (const char* dir = getenv("GM_BIN_DIR")) return dir;
  return GM_DEFAULT_BIN_DIR;
}

std::filesystem::path CorpusDir() {
  std::filesystem::path dir = SourceDir().parent_path() / "shared" / "corpus";
  if (const char* env = getenv("GM_CORPUS_DIR")) dir = env;
  std::error_code ec;
  return std::filesystem::is_directory(dir, ec) ? dir : std::filesystem::path();
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) throw std::runtime_error("cannot write " + path.string());
  out << bytes;
}

const char* SystemPython() { return "/usr/bin/python3"; }

bool RunFixtureScript(const std::string& script, const std::filesystem::path& folder) {
  std::string cmd = std::string(SystemPython()) + " '" + (SourceDir() / script).string() + "' '" +
                    folder.string() + "' 2>&1";
  return std::system(cmd.c_str()) == 0;
}

ScopedEnv::ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
  if (const char* old = std::getenv(name)) old_ = old;
  if (value) {
    setenv(name, value->c_str(), 1);
  } else {
    unsetenv(name);
  }
}

ScopedEnv::~ScopedEnv() {
  if (old_) {
    setenv(name_, old_->c_str(), 1);
  } else {
    unsetenv(name_);
  }
}

std::string ShellQuote(const std::string& text) {
  std::string q = "'";
  for (char c : text) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

ProgramRun RunCommand(const std::string& command, const std::filesystem::path& folder,
                      const std::string& input) {
  WriteFile(folder / "in.txt", input);
  const std::string line = "(" + command + ") < " + ShellQuote((folder / "in.txt").string()) +
                           " > " + ShellQuote((folder / "out.txt").string()) + " 2> " +
                           ShellQuote((folder / "err.txt").string());
  ProgramRun r;
  const int raw = std::system(line.c_str());
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.out = ReadFile(folder / "out.txt");
  r.err = ReadFile(folder / "err.txt");
  return r;
}

}  // namespace gm::test
