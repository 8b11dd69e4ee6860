// Who answers the dialogs: a backend is told of every dialog shown, gives
// its input through a DialogDriver as a person would, and answers message
// boxes and file dialogs (console_backend.h: a text form on the host's
// command line; scripted_backend.h: input from a test's code).
#pragma once

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "platform/afx/afx.h"
#include "platform/gui/template.h"
#include "platform/gui/winuser.h"

namespace gui {

// One piece of text a window painted, with how it was painted.
struct TextRun {
  std::wstring text;
  COLORREF color = 0;
  COLORREF background = 0;
  bool underline = false;
};

struct ListColumnState {
  std::wstring heading;
  int format = LVCFMT_LEFT;
  int width = 0;
};

// A control as the user sees it.
struct ControlState {
  HWND hwnd = nullptr;
  int id = 0;
  ControlKind kind = ControlKind::kStatic;
  std::wstring class_name;
  DWORD style = 0;
  std::wstring text;   // the window text (a combo box: the selected item's)
  std::wstring label;  // the static or check box just before it, if any
  int check = 0;
  bool enabled = true;  // its own state (WS_DISABLED clear)
  bool visible = true;  // its own state (WS_VISIBLE set)
  bool in_view = true;  // inside the dialog's client area
  RECT rect;            // in the dialog's client coordinates, pixels
  // Combo box items, or the list view's first column.
  std::vector<std::wstring> items;
  int selection = -1;
  std::vector<ListColumnState> columns;
  std::vector<std::vector<std::wstring>> rows;  // list view cells
  std::vector<int> selected_rows;
  DWORD list_ex_style = 0;
  int range_low = 0, range_high = 100, pos = 0, step = 10;  // progress bar
  std::vector<TextRun> painted;                             // custom windows
};

struct DialogState {
  HWND hwnd = nullptr;
  std::wstring title;
  std::wstring template_name;
  RECT window_rect;  // screen pixels
  bool visible = false;
  bool topmost = false;
  bool modal = false;
  std::vector<ControlState> controls;

  const ControlState* Find(int id) const;
};

// The state of a dialog window now (an empty state for no dialog).
DialogState ReadDialog(HWND dialog);
// The visible top-level dialogs, oldest first.
std::vector<HWND> OpenDialogs();
// The newest visible top-level dialog with this title, or nullptr.
HWND FindDialog(const std::wstring& title);

class DialogDriver {
 public:
  explicit DialogDriver(HWND dialog) : dialog_(dialog) {}

  HWND hwnd() const { return dialog_; }
  bool IsOpen() const;
  DialogState State() const { return ReadDialog(dialog_); }
  // One control's state; a missing control reads as empty, unchecked,
  // disabled and hidden.
  std::wstring Text(int id) const { return Field(id).text; }
  bool Enabled(int id) const { return Field(id).enabled; }

  // Input. Each gives false, with problem() saying why, when a person could
  // not do it.
  bool Type(int id, const std::wstring& text);  // replaces an edit's text
  bool SetCheck(int id, bool checked);          // a check box or radio button
  bool Pick(int id, const std::wstring& item);  // by text (case ignored)
  bool PickIndex(int id, int index);            // 0-based
  bool Press(int id);                           // a button or a custom control
  bool Hover(int id);                           // the pointer over a control
  bool MoveMouseAway();                         // the pointer leaves it
  bool PressEnter() { return Key(IDOK); }
  bool PressEscape() { return Key(IDCANCEL); }
  const std::wstring& problem() const { return problem_; }

 private:
  ControlState Field(int id) const;
  // The control when a person could use it and it is of one of the kinds
  // (any, when none are given), else nullptr with problem().
  HWND Usable(int id, std::initializer_list<ControlKind> kinds, const wchar_t* not_one);
  bool Fail(std::wstring problem);
  bool Key(int button);

  HWND dialog_;
  std::wstring problem_;
};

struct MessageBoxRequest {
  HWND owner = nullptr;
  std::wstring caption;
  std::wstring text;
  UINT type = MB_OK;
};

using afx::SafestAnswer;
// Whether the answer is one of the box's buttons.
bool IsValidAnswer(UINT type, int answer);

struct FileDialogRequest {
  bool open = true;
  std::wstring title;  // "Open" or "Save As"
  std::wstring default_ext;
  std::wstring initial_name;
  std::wstring initial_dir;
  std::vector<std::pair<std::wstring, std::wstring>> filters;  // description, patterns
  DWORD flags = 0;
};

struct FileDialogAnswer {
  std::wstring path;  // as typed; the framework completes it
  bool read_only = false;
};

class Backend {
 public:
  virtual ~Backend() = default;
  // A dialog became visible (after its initialisation).
  virtual void DialogShown(DialogDriver& dialog) {}
  // A modal dialog waits for the user: give one round of input through the
  // driver. False when there is no more input; the dialog is then cancelled.
  virtual bool Act(DialogDriver& dialog) = 0;
  // A dialog ended (modal: with its result) or a shown modeless one went.
  virtual void DialogClosed(const DialogState& final_state, int result) {}
  // Called by PeekMessageW: input for modeless windows is given here. Must
  // not wait.
  virtual void Idle() {}
  virtual int AnswerMessageBox(const MessageBoxRequest& box) = 0;
  // False cancels the file dialog.
  virtual bool AnswerFileDialog(const FileDialogRequest& request, FileDialogAnswer& answer) = 0;
};

// Installs a backend (nullptr: none) and returns the one before; the caller
// keeps ownership. While one is installed it also answers MessageBoxW.
Backend* SetBackend(Backend* backend);
Backend* GetBackend();

// The host's two choices: a person at the terminal (interactive), or a script
// on standard input (every dialog and message box printed with the answer).
void UseConsoleBackend(bool interactive);

}  // namespace gui
