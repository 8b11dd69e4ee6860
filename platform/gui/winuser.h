// The window-system types, constants and calls the plug-in's dialogs are
// written against. An HWND names a dialog or control of the model
// (platform/gui/model.h) by a serial number never reused, so a stale or
// foreign handle (the host's main window) fails as an invalid window would.
// One thread at a time uses the GUI.
#pragma once

#include <cstdint>

#include "platform/win/wintypes.h"

using INT_PTR = std::intptr_t;

struct HFONT__;
using HFONT = HFONT__*;
struct HCURSOR__;
using HCURSOR = HCURSOR__*;

struct RECT {
  LONG left = 0, top = 0, right = 0, bottom = 0;
};
struct POINT {
  LONG x = 0, y = 0;
};
// Nothing is ever queued, so a message carries nothing.
struct MSG {};

// The messages a message map can name.
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_SETCURSOR = 0x0020;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_MOUSEMOVE = 0x0200;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_CAPTURECHANGED = 0x0215;
constexpr UINT PM_REMOVE = 0x0001;

// Styles. Check boxes and radio buttons always check themselves and combo
// boxes are always drop-down lists; their type bits are kept for templates.
constexpr DWORD WS_POPUP = 0x80000000;
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_CAPTION = 0x00C00000;
constexpr DWORD WS_BORDER = 0x00800000;
constexpr DWORD WS_VSCROLL = 0x00200000;
constexpr DWORD WS_SYSMENU = 0x00080000;
constexpr DWORD WS_GROUP = 0x00020000;
constexpr DWORD WS_TABSTOP = 0x00010000;
constexpr DWORD DS_SETFONT = 0x0040;
constexpr DWORD DS_MODALFRAME = 0x0080;
constexpr DWORD SS_RIGHT = 0x0002;
constexpr DWORD SS_NOTIFY = 0x0100;
constexpr DWORD ES_PASSWORD = 0x0020;
constexpr DWORD ES_AUTOHSCROLL = 0x0080;
constexpr DWORD BS_AUTOCHECKBOX = 0x0003;
constexpr DWORD BS_AUTORADIOBUTTON = 0x0009;
constexpr DWORD CBS_DROPDOWNLIST = 0x0003;
constexpr DWORD CBS_SORT = 0x0100;
constexpr DWORD LVS_REPORT = 0x0001;
constexpr DWORD LVS_EX_GRIDLINES = 0x00000001;
constexpr DWORD LVS_EX_FULLROWSELECT = 0x00000020;

// Notifications (the high word of a WM_COMMAND's wParam).
constexpr WORD BN_CLICKED = 0;
constexpr WORD CBN_SELCHANGE = 1;
constexpr WORD EN_CHANGE = 0x0300;

constexpr int BST_UNCHECKED = 0;
constexpr int BST_CHECKED = 1;
constexpr int BST_INDETERMINATE = 2;
constexpr int CB_ERR = -1;
constexpr int LVCFMT_LEFT = 0x0000;
constexpr int LVCFMT_CENTER = 0x0002;

constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOW = 5;
constexpr UINT SWP_NOSIZE = 0x0001;
constexpr UINT SWP_NOMOVE = 0x0002;
constexpr UINT SWP_NOZORDER = 0x0004;

constexpr UINT CS_HREDRAW = 0x0002;
constexpr UINT CS_VREDRAW = 0x0001;
struct WNDCLASSW {
  UINT style = 0;
  LRESULT (*lpfnWndProc)(HWND, UINT, WPARAM, LPARAM) = nullptr;
  HCURSOR hCursor = nullptr;
  LPCWSTR lpszClassName = nullptr;
};
// A system cursor is named by a small number, which is also its handle.
#define IDC_HAND (reinterpret_cast<LPCWSTR>(std::uintptr_t{32649}))

constexpr int COLOR_WINDOWTEXT = 8;
constexpr int COLOR_3DFACE = 15;
constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) {
  return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) |
         (static_cast<COLORREF>(b) << 16);
}

constexpr int LF_FACESIZE = 32;
struct LOGFONTW {
  LONG lfHeight = 0;
  BYTE lfUnderline = 0;
  WCHAR lfFaceName[LF_FACESIZE] = {};
};

constexpr DWORD OFN_READONLY = 0x00000001;
constexpr DWORD OFN_OVERWRITEPROMPT = 0x00000002;
constexpr DWORD OFN_HIDEREADONLY = 0x00000004;
constexpr DWORD OFN_FILEMUSTEXIST = 0x00001000;

constexpr int IDC_STATIC = -1;

// The pump of a modeless window: lets the backend give the input a person
// gave since the last pump (delivered at once), then reports an empty queue.
BOOL PeekMessageW(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags);
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageW(const MSG* msg);
BOOL IsDialogMessageW(HWND dialog, MSG* msg);
LRESULT DefWindowProcW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// A window of another program (a handle this process does not know) cannot
// be brought forward: FALSE, as the system refuses a program that is not in
// the foreground.
BOOL SetForegroundWindow(HWND window);
BOOL ReleaseCapture();
HWND GetCapture();
HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name);
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor();
DWORD GetSysColor(int index);
