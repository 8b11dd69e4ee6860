// The host runtime: commands, output, messages, system variables and the
// progress meter, with the state the host program and tests read back.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <filesystem>
#include <mutex>

#include "platform/afx/afx.h"
#include "platform/console/console.h"
#include "platform/sds/host.h"
#include "platform/sds/runtime_state.h"
#include "platform/win/strings.h"
#include "platform/win/text.h"

namespace sds_host {

RuntimeState& State() {
  static RuntimeState state;
  return state;
}

namespace {

struct MainWindowTag {};
MainWindowTag main_window_tag;

}  // namespace

namespace {

std::wstring CommandWord(const std::wstring& name) {
  if (name.size() >= 2 && (name[0] == L'C' || name[0] == L'c') && name[1] == L':') {
    return name.substr(2);
  }
  return name;
}

}  // namespace

void DrawProgress(int percent) {
  if (!isatty(STDERR_FILENO)) return;
  int shown = std::clamp(percent, 0, 100);
  constexpr int kWidth = 30;
  int filled = shown * kWidth / 100;
  std::string bar(filled, '#');
  bar.append(kWidth - filled, '-');
  std::fprintf(stderr, "\rWorking [%s] %3d%%", bar.c_str(), shown);
  std::fflush(stderr);
}

void SetDrawing(std::shared_ptr<Drawing> drawing) {
  State().drawing = std::move(drawing);
  State().selection_sets.clear();
}

Drawing* GetDrawing() { return State().drawing.get(); }

void SetApplication(const std::wstring& name, HINSTANCE instance) {
  State().app_name = name;
  State().instance = instance;
}

HWND MainWindow() { return reinterpret_cast<HWND>(&main_window_tag); }

std::vector<Command> Commands() { return State().commands; }

const Command* FindCommand(const std::wstring& word) {
  std::wstring wanted = CommandWord(word);
  for (const Command& c : State().commands) {
    if (win::EqualsNoCase(CommandWord(c.name), wanted)) return &c;
  }
  return nullptr;
}

void SetFunctionCode(int code) { State().function_code = code; }

void RejectDefunFrom(int n) { State().reject_defun_countdown = n; }

std::vector<std::wstring> TakeMessages() {
  std::vector<std::wstring> out;
  out.swap(State().messages);
  return out;
}

std::vector<int> ProgressLog() { return State().progress_log; }
void ClearProgressLog() { State().progress_log.clear(); }

void Reset() {
  RuntimeState& s = State();
  s.commands.clear();
  s.messages.clear();
  s.progress_log.clear();
  s.selection_sets.clear();
  s.drawing.reset();
  s.function_code = -1;
  s.reject_defun_countdown = 0;
  s.progress_active = false;
}

}  // namespace sds_host

using sds_host::State;

extern "C" {

int SDS_GetGlobals(wchar_t* appName, int size, HWND* mainWindow, HINSTANCE* instance) {
  if (appName != nullptr && size > 0) {
    const std::wstring& name = State().app_name;
    size_t n = std::min(name.size(), static_cast<size_t>(size - 1));
    name.copy(appName, n);
    appName[n] = L'\0';
  }
  if (mainWindow != nullptr) *mainWindow = sds_host::MainWindow();
  if (instance != nullptr) *instance = State().instance;
  return RTNORM;
}

int sds_defun(const wchar_t* name, short code) {
  auto& s = State();
  if (name == nullptr || *name == 0) return 0;
  if (s.reject_defun_countdown > 0 && --s.reject_defun_countdown == 0) {
    // Once the host has refused, it refuses every later registration.
    s.reject_defun_countdown = 1;
    return 0;
  }
  for (auto& c : s.commands) {
    if (win::EqualsNoCase(c.name, name)) {
      c.code = code;
      return RTNORM;
    }
  }
  s.commands.push_back({name, code});
  return RTNORM;
}

int sds_undef(const wchar_t* name, short code) {
  auto& cmds = State().commands;
  auto it = std::find_if(cmds.begin(), cmds.end(), [&](const sds_host::Command& c) {
    return c.code == code && name != nullptr && win::EqualsNoCase(c.name, name);
  });
  if (it == cmds.end()) return RTERROR;
  cmds.erase(it);
  return RTNORM;
}

int sds_getfuncode(void) { return State().function_code; }

int sds_retvoid(void) { return RTNORM; }

int sds_fail(const wchar_t* message) {
  console::Write(L"\nError: " + std::wstring(message ? message : L"") + L"\n");
  return RTNORM;
}

int sds_printf(const wchar_t* format, ...) {
  if (format == nullptr) return RTERROR;
  // The host's printf takes wide strings for %s, as the plug-in expects.
  va_list args;
  va_start(args, format);
  std::wstring text = win::FormatV(format, args);
  va_end(args);
  console::Write(text);
  return RTNORM;
}

int sds_alert(const wchar_t* message) {
  MessageBoxW(sds_host::MainWindow(), message ? message : L"", L"Gridmason host",
              MB_OK | MB_ICONEXCLAMATION);
  return RTNORM;
}

int sds_sendmessage(const wchar_t* command) {
  if (command == nullptr) return RTERROR;
  State().messages.emplace_back(command);
  return RTNORM;
}

HWND sds_getmainhwnd(void) { return sds_host::MainWindow(); }

int sds_getvar(const wchar_t* name, struct sds_resbuf* result) {
  if (name == nullptr || result == nullptr) return RTERROR;
  const std::wstring var = win::ToUpper(name);
  std::filesystem::path path;
  if (sds_host::Drawing* d = sds_host::GetDrawing()) {
    // As UTF-8: a wide path would be converted by the C locale and refused.
    path = std::filesystem::absolute(std::filesystem::path(win::WideToUtf8(d->Path())));
  } else {
    // A host with no drawing open still has an unnamed one in its folder.
    path = std::filesystem::current_path() / "Drawing1.dwg";
  }
  std::wstring value;
  if (var == L"DWGPREFIX") {
    value = win::Utf8ToWide(path.parent_path().string());
    if (value.empty() || value.back() != L'/') value += L'/';
  } else if (var == L"DWGNAME") {
    value = win::Utf8ToWide(path.filename().string());
  } else {
    return RTERROR;
  }
  result->restype = RTSTR;
  result->resval.rstring = static_cast<wchar_t*>(std::malloc((value.size() + 1) * sizeof(wchar_t)));
  if (result->resval.rstring == nullptr) return RTERROR;
  std::wmemcpy(result->resval.rstring, value.c_str(), value.size() + 1);
  return RTNORM;
}

int sds_progressstart(void) {
  State().progress_log.push_back(-1);
  State().progress_active = true;
  sds_host::DrawProgress(0);
  return RTNORM;
}

int sds_progresspercent(int percent) {
  State().progress_log.push_back(percent);
  if (State().progress_active) sds_host::DrawProgress(percent);
  return RTNORM;
}

int sds_progressstop(void) {
  State().progress_log.push_back(-2);
  if (State().progress_active && isatty(STDERR_FILENO)) {
    std::fprintf(stderr, "\r%*s\r", 50, "");
    std::fflush(stderr);
  }
  State().progress_active = false;
  return RTNORM;
}

sds_real sds_distance(const sds_point p1, const sds_point p2) {
  double dx = p1[0] - p2[0], dy = p1[1] - p2[1], dz = p1[2] - p2[2];
  return std::sqrt(dx * dx + dy * dy + dz * dz);
}

}  // extern "C"
