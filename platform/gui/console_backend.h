// Dialogs on the host's command line. A dialog is printed as a text form:
// its title, then each control with its id in brackets, its label and its
// value, and "(disabled)", "(hidden)" or "(outside the window)" where that
// holds. After each action only the lines that changed are printed again.
//
//   == Options ==
//   -- Table Analysis --------------------
//     [212] Text tolerance: [0.15]
//     [215] [ ] Double line width:
//     [213] Double line width: [-1] (disabled)
//     [208] (*) Create new workbook
//     [206] Table style: {} no choices (disabled)
//     [1] < OK > (default)
//
// Input is one action a line (words are not case-sensitive):
//
//   set ID TEXT    type TEXT into edit box ID, replacing its text; "set ID"
//                  empties it; quote the text ("…") to keep blanks at its ends
//   check ID       tick check box ID, or choose radio button ID
//   uncheck ID     clear check box ID
//   pick ID ITEM   choose ITEM in drop-down list or list view ID, by its text
//                  (case ignored) or as #N, the N-th item
//   press ID       press button ID, or click the link ID
//   ok             the Enter key: the dialog's OK
//   cancel         the Esc key: the dialog's Cancel
//   show           print the whole form again
//   help           list the actions
//
// A message box is printed with its caption, icon and text, and answered
// with one of its buttons: ok, cancel, yes, no (y and n will do). A box that
// only has OK waits for Enter at the terminal; in a script it reads no line,
// since there is nothing to decide.
//
// A file dialog is answered with a file name (a relative name is taken in
// the dialog's folder, the default extension is added to a name without
// one), with "readonly NAME" to tick the read-only box where it is shown, or
// with "cancel" (an empty line also cancels).
//
// Scripts (UseScriptBackend): every form, box and answer is printed, so the
// log shows what a person would have seen. A line that is not an action
// cancels the dialog (a script that did not expect the dialog loses one line,
// not the rest), an action a person could not do (a disabled control) is
// reported and skipped, and the end of the input cancels the dialog and
// gives a message box its safest answer (Cancel, else No, else OK).
// At the terminal (UseTerminalBackend) a wrong line is explained and asked
// again. A modeless window is printed when it appears and when it goes; at
// the terminal, "cancel", "press ID" or "show" typed while it is up reach it
// the next time the program pumps its messages. A modeless window with a
// progress bar (a progress window) is instead one live line at the terminal,
// redrawn in place as it changes: its status text, the bar and the
// percentage. Esc or Ctrl-C is its Cancel key, taken at the next pump; while
// it is up the terminal reads keys one at a time, without echo.
#pragma once

#include <termios.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "platform/gui/backend.h"

namespace gui {

class ConsoleBackend : public Backend {
 public:
  explicit ConsoleBackend(bool interactive) : interactive_(interactive) {}

  void DialogShown(DialogDriver& dialog) override;
  bool Act(DialogDriver& dialog) override;
  void DialogClosed(const DialogState& final_state, int result) override;
  void Idle() override;
  int AnswerMessageBox(const MessageBoxRequest& box) override;
  bool AnswerFileDialog(const FileDialogRequest& request, FileDialogAnswer& answer) override;

  bool interactive() const { return interactive_; }

 private:
  void PrintForm(HWND dialog);
  void PrintChanges(HWND dialog);
  // The live line of a progress window.
  bool WantsLiveLine(HWND dialog) const;
  void StartLive(HWND dialog);
  void DrawLive(const DialogState& state, bool force);
  void LiveInput();
  void StopLive();
  // Keys as typed (lines, with echo) while a message box asks.
  void SuspendKeys();
  void ResumeKeys();

  bool interactive_;
  std::map<HWND, std::vector<std::wstring>> shown_;
  std::chrono::steady_clock::time_point last_refresh_{};
  HWND live_ = nullptr;
  std::wstring live_line_;
  std::chrono::steady_clock::time_point live_drawn_{};
  bool keys_raw_ = false;
  termios saved_terminal_{};
};

// One parsed input line.
struct ConsoleAction {
  enum Kind { kNone, kSet, kCheck, kUncheck, kPick, kPress, kOk, kCancel, kShow, kHelp };
  Kind kind = kNone;
  int id = 0;
  std::wstring text;  // set: the text; pick: the item (or "#N")
};
ConsoleAction ParseConsoleAction(const std::wstring& line);

}  // namespace gui
