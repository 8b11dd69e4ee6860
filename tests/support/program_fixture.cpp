#include "tests/support/program_fixture.h"

#include <sys/wait.h>

#include <cstdlib>
#include <sstream>

namespace gm::test {

Facts ParseFacts(const std::string& text) {
  Facts facts;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    const size_t tab = line.find('\t');
    if (tab != std::string::npos) facts[line.substr(0, tab)] = line.substr(tab + 1);
  }
  return facts;
}

std::string Fact(const Facts& facts, const std::string& key) {
  auto it = facts.find(key);
  return it == facts.end() ? "(none)" : it->second;
}

int RunReader(const std::string& script, const std::vector<std::filesystem::path>& files,
              const std::filesystem::path& scratch, Facts& facts, std::string& output) {
  std::string cmd = std::string(SystemPython()) + " " + ShellQuote((SourceDir() / script).string());
  for (const auto& f : files) cmd += " " + ShellQuote(f.string());
  const std::filesystem::path out = scratch / "facts.txt";
  cmd += " > " + ShellQuote(out.string()) + " 2>&1";
  const int raw = std::system(cmd.c_str());
  output = ReadFile(out);
  facts = ParseFacts(output);
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

}  // namespace gm::test
