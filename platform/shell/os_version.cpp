#include "platform/shell/os_version.h"

#include <sys/utsname.h>

#include <fstream>
#include <map>
#include <sstream>

#include "platform/win/text.h"

BOOL GetVersionExW(OSVERSIONINFOW*) { return FALSE; }
BOOL GetVersionExW(OSVERSIONINFOEXW*) { return FALSE; }

namespace shell {

namespace {

// os-release values follow shell quoting: "…" (with \" \\ \$ \` escapes),
// '…' taken literally, or a bare word.
std::string Unquote(const std::string& raw) {
  std::string out;
  char quote = 0;
  for (size_t i = 0; i < raw.size(); ++i) {
    char c = raw[i];
    if (quote == 0 && (c == '"' || c == '\'')) {
      quote = c;
    } else if (quote != 0 && c == quote) {
      quote = 0;
    } else if (c == '\\' && quote != '\'' && i + 1 < raw.size()) {
      out += raw[++i];
    } else if (quote == 0 && (c == ' ' || c == '\t' || c == '#')) {
      break;  // a bare word ends at a blank; the rest is a comment
    } else {
      out += c;
    }
  }
  return out;
}

std::wstring KernelDescription() {
  utsname u{};
  if (uname(&u) != 0) return {};
  return win::Utf8ToWide(std::string(u.sysname) + " " + u.release + " " + u.machine);
}

std::wstring Join(const std::wstring& distribution, const std::wstring& kernel) {
  if (distribution.empty()) return kernel;
  if (kernel.empty()) return distribution;
  return distribution + L", " + kernel;
}

}  // namespace

std::wstring DistributionName(const std::string& osReleaseText) {
  std::map<std::string, std::string> values;
  std::istringstream in(osReleaseText);
  std::string line;
  while (std::getline(in, line)) {
    line = win::Trim(line);
    if (line.empty() || line[0] == '#') continue;
    size_t eq = line.find('=');
    if (eq == std::string::npos || eq == 0) continue;
    values[line.substr(0, eq)] = Unquote(line.substr(eq + 1));
  }
  std::string name = values["PRETTY_NAME"];
  if (name.empty()) {
    name = values["NAME"];
    if (!name.empty() && !values["VERSION"].empty()) name += " " + values["VERSION"];
  }
  return win::Utf8ToWide(name);
}

std::wstring RunningSystemDescription(const std::filesystem::path& osRelease) {
  std::wstring distribution;
  std::ifstream file(osRelease);
  if (file) {
    std::stringstream text;
    text << file.rdbuf();
    distribution = DistributionName(text.str());
  }
  return Join(distribution, KernelDescription());
}

std::wstring RunningSystemDescription() {
  std::error_code ec;
  for (const char* candidate : {"/etc/os-release", "/usr/lib/os-release"}) {
    if (std::filesystem::exists(candidate, ec)) return RunningSystemDescription(candidate);
  }
  return KernelDescription();
}

}  // namespace shell
