// The framework's window table (private to platform/gui).
//
// Every window is a record here, found by its handle. Handles are never
// reused, so a stale handle finds nothing. A top-level window's rectangle is
// kept in screen pixels, a child's relative to its parent's client area, so
// moving a dialog moves its controls. Style bits carry the state the calls
// read (WS_VISIBLE, WS_DISABLED).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/gui/backend.h"
#include "platform/gui/winuser.h"

class CWnd;

namespace gui::internal {

struct ListRow {
  std::vector<std::wstring> cells;
  UINT state = 0;
  LPARAM param = 0;
};

struct Window {
  HWND handle = nullptr;
  HWND parent = nullptr;  // a child's parent window
  HWND owner = nullptr;   // a top-level window's owner (may be foreign)
  std::wstring class_name;
  DWORD style = 0;
  DWORD ex_style = 0;
  int id = 0;
  std::wstring text;
  RECT rect;  // screen (top-level) or parent client (child)
  HFONT font = nullptr;
  CWnd* object = nullptr;
  std::vector<HWND> children;  // creation order, which is the tab order
  bool destroying = false;

  // Dialogs.
  bool is_dialog = false;
  const DialogTemplate* dialog_template = nullptr;
  int base_x = 6, base_y = 13;  // dialog base units of the font
  bool modal = false;
  bool ended = false;
  int result = 0;
  bool announced = false;  // the backend was told it is shown

  // Buttons.
  int check = 0;
  // Edits.
  int sel_start = 0, sel_end = 0;
  // Combo boxes.
  std::vector<std::wstring> items;
  int cursel = -1;
  // List views.
  std::vector<ListColumnState> columns;
  std::vector<ListRow> rows;
  DWORD list_ex_style = 0;
  HWND header = nullptr;
  // Progress bars.
  int low = 0, high = 100, pos = 0, step = 10;

  // Painting.
  bool needs_paint = false;
  std::vector<TextRun> painted;
};

Window* Find(HWND handle);
struct CreateParams {
  std::wstring class_name;
  std::wstring text;
  DWORD style = 0;
  DWORD ex_style = 0;
  RECT rect;  // screen for a top-level window, parent client for a child
  HWND parent = nullptr;
  HWND owner = nullptr;
  int id = 0;
  CWnd* object = nullptr;
};
// Creates the record (no messages are sent); nullptr for an unknown class.
Window* Create(const CreateParams& params);
// Whether the class is built in or registered.
bool ClassExists(const std::wstring& name);
// Windows in creation order (top-level and children).
std::vector<HWND> AllWindows();

// The top-level window that holds this window (itself for a top-level one).
HWND TopLevelOf(HWND handle);
// Screen origin of the client area.
POINT ClientOrigin(const Window& w);
// Client area in screen coordinates.
RECT ClientRectScreen(const Window& w);

// Control kinds from class and style.
ControlKind KindOf(const Window& w);
bool IsRadio(const Window& w);
bool IsCheckBox(const Window& w);

// The built-in controls' message handling.
bool ControlProc(Window& w, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

// Sends to the window's object (through its message map) or to the default
// procedure; CException pointers that escape a handler are reported in a
// message box and deleted, as the framework's own dispatch does.
LRESULT Deliver(HWND handle, UINT message, WPARAM wParam, LPARAM lParam);
// The window class's own procedure, else the default one.
LRESULT CallClassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Window size for a client area of cx x cy with the window's frame and caption.
SIZE WindowSizeForClient(const Window& w, int cx, int cy);
// Tells the parent dialog about a control notification (WM_COMMAND).
void Notify(const Window& control, WORD code);

// Private messages of the built-in controls: a person's pick of an item
// (wParam: its index) in a combo box or list view.
constexpr UINT kPickItem = WM_USER + 0x0700;

// Framework wrappers of a window or font that is going away.
void ForgetTemporary(HWND handle);
void ForgetFontWrapper(HFONT font);

// Runs every pending message now (no idle call), delivering dialog input.
void PumpPending();
// Removes a window's queued messages.
void DropMessagesFor(HWND handle);

// The text a font's LOGFONT describes, and base units for a dialog font.
bool FontInfo(HFONT font, LOGFONTW& info);
void DialogBaseUnits(const std::wstring& face, int point_size, int& base_x, int& base_y);

// The screen the windows are placed on.
constexpr int kScreenWidth = 1920;
constexpr int kScreenHeight = 1080;
// Non-client sizes.
constexpr int kCaptionHeight = 22;
constexpr int kFrameWidth = 3;

// The backend, guarded so that idle calls never nest.
Backend* CurrentBackend();
void AnnounceShown(HWND dialog);
void AnnounceClosed(HWND dialog, int result);

}  // namespace gui::internal
