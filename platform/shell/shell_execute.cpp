#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cwctype>
#include <filesystem>
#include <string>
#include <system_error>

#include "platform/console/console.h"
#include "platform/shell/shellapi.h"
#include "platform/win/text.h"

namespace fs = std::filesystem;

namespace {

HINSTANCE Result(int code) { return reinterpret_cast<HINSTANCE>(static_cast<std::intptr_t>(code)); }

// RFC 3986: ALPHA *( ALPHA / DIGIT / "+" / "-" / "." ) ":". One letter
// before the colon is a drive ("C:\x"), not a scheme.
bool HasScheme(const std::wstring& text) {
  size_t colon = text.find(L':');
  if (colon == std::wstring::npos || colon < 2) return false;
  if (!std::iswalpha(text[0]) || text[0] > 0x7F) return false;
  for (size_t i = 1; i < colon; ++i) {
    wchar_t c = text[i];
    bool ok = c < 0x80 && (std::iswalnum(c) || c == L'+' || c == L'-' || c == L'.');
    if (!ok) return false;
  }
  return true;
}

bool HasDisplay() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* v = std::getenv(name);
    if (v != nullptr && *v != 0) return true;
  }
  return false;
}

// xdg-open's full path from PATH, or empty.
std::string FindOpener() {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return {};
  std::string dirs = path;
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    std::string dir = dirs.substr(start, end - start);
    if (!dir.empty()) {
      std::string candidate = dir + "/xdg-open";
      if (access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    start = end + 1;
  }
  return {};
}

// Starts the program detached: a child starts the grandchild and ends at
// once, so nothing is left to reap and nothing is waited for. Only
// async-signal-safe calls happen between fork and exec.
bool StartDetached(const std::string& program, const std::string& argument) {
  const char* argv[] = {program.c_str(), argument.c_str(), nullptr};
  pid_t child = fork();
  if (child < 0) return false;
  if (child == 0) {
    setsid();
    pid_t grandchild = fork();
    if (grandchild == 0) {
      int null = open("/dev/null", O_RDONLY);
      if (null >= 0) {
        dup2(null, STDIN_FILENO);
        if (null != STDIN_FILENO) close(null);
      }
      execv(program.c_str(), const_cast<char* const*>(argv));
      _exit(127);
    }
    _exit(grandchild < 0 ? 1 : 0);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

HINSTANCE ShellExecuteW(HWND owner, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters,
                        LPCWSTR directory, int show) {
  if (verb != nullptr && *verb != 0 && !win::EqualsNoCase(verb, L"open"))
    return Result(SE_ERR_NOASSOC);
  if (file == nullptr || *file == 0) return Result(SE_ERR_FNF);
  std::wstring target = file;
  if (!HasScheme(target)) {
    fs::path p = win::WideToUtf8(target);
    if (p.is_relative()) {
      fs::path base = (directory != nullptr && *directory != 0)
                          ? fs::path(win::WideToUtf8(directory))
                          : fs::current_path();
      p = base / p;
    }
    std::error_code ec;
    if (!fs::exists(p, ec)) {
      console::Write(L"\nCannot open " + win::Utf8ToWide(p.string()) + L": there is no such file.");
      return Result(SE_ERR_FNF);
    }
    // Absolute, so that a name beginning with '-' is never taken for an option.
    target = win::Utf8ToWide(p.lexically_normal().string());
  }
  std::string opener = HasDisplay() ? FindOpener() : std::string();
  if (!opener.empty() && StartDetached(opener, win::WideToUtf8(target))) {
    return Result(SE_ERR_SUCCESS);
  }
  console::Write(L"\nThere is no desktop here to open this on; open it yourself:\n  " + target);
  return Result(SE_ERR_NOASSOC);
}
