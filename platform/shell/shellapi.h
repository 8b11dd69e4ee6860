// The shell's open verb: an address or a file is handed to the user's
// default program for it. Here that is xdg-open, when it is installed (on
// PATH) and a display is there to show the program on ($DISPLAY or
// $WAYLAND_DISPLAY); otherwise the address is printed on the command line,
// so that the user can open it by hand.
//
// xdg-open is started directly, never through a shell, so nothing in an
// address (quotes, ';', '$') is ever run; its input is /dev/null, so it
// cannot eat the lines of a script.
#pragma once

#include "platform/win/wintypes.h"

// Results at most 32 are failures, as on the system.
constexpr int SE_ERR_FNF = 2;
constexpr int SE_ERR_NOASSOC = 31;
constexpr int SE_ERR_SUCCESS = 42;  // what a started program gives (any value above 32)

// verb: "open" (or null, which means open); another verb gives
// SE_ERR_NOASSOC. file: a URL ("https:", "mailto:", …, a scheme of two
// characters or more) or a file path, a relative path taken in `directory`
// (else the working folder). parameters are not used: xdg-open takes only
// the thing to open. Returns at once; the program started is not waited
// for. A file that does not exist is told on the command line and gives
// SE_ERR_FNF; an address printed for the user gives SE_ERR_NOASSOC.
HINSTANCE ShellExecuteW(HWND owner, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters,
                        LPCWSTR directory, int show);

// The result as the number it is (results are handles only by tradition).
inline int ShellResult(HINSTANCE result) {
  return static_cast<int>(reinterpret_cast<std::intptr_t>(result));
}
