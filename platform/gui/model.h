// The plain model under the framework's classes (private to platform/gui):
// each window is the record a person sees and what the framework keeps with
// it. A dialog's rectangle is kept in screen pixels, a control's relative to its
// dialog's client area, so moving a dialog moves its controls. Nothing here
// runs a handler: what a change means to the program is the caller's part.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/gui/backend.h"

class CWnd;

namespace gui::model {

struct Window : ControlState {
  Window* parent = nullptr;  // a control's dialog
  HWND owner = nullptr;      // a dialog's owner (may be foreign)
  CWnd* object = nullptr;    // the framework object attached, if any
  HFONT font = nullptr;

  // Dialogs: the text is the title, the rectangle on the screen.
  std::vector<std::unique_ptr<Window>> controls;  // template order: the tab order
  const DialogTemplate* dialog_template = nullptr;
  bool topmost = false;
  bool modal = false;
  bool ended = false;
  bool announced = false;  // the backend was told it is shown

  bool is_dialog() const { return parent == nullptr; }
};

// The window a handle names, or nullptr (a foreign, stale or null handle).
Window* Find(HWND handle);
// A new dialog, not yet visible; the model owns it until Remove.
Window* NewDialog(const DialogTemplate& t, HWND owner);
// A new control of the dialog, after the others.
Window* NewControl(Window& dialog, int id, ControlKind kind, const std::wstring& text, DWORD style,
                   const RECT& rect);
// The dialog's control with this id (the first, when ids repeat).
Window* Control(const Window& dialog, int id);

// The controls of the member's group: from the WS_GROUP control at or
// before it up to the next one.
std::vector<Window*> Group(const Window& member);

// The frame and title bar around a dialog's client area.
RECT Border(const Window& w);
// Pixels of the client area's origin on the screen.
POINT ClientOrigin(const Window& w);
RECT ClientRect(const Window& w);

// Custom control classes registered by name (case ignored).
bool ClassExists(const std::wstring& name);
void SetFocus(HWND window);

}  // namespace gui::model
