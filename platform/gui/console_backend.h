// Dialogs on the host's command line. A dialog is printed as a text form:
// its title, then each control with its id in brackets, its label and its
// value, and "(disabled)", "(hidden)" or "(outside the window)" where that
// holds; after each action only the lines that changed are printed again.
// Input is one action a line, the words "help" lists (not case-sensitive;
// quotes keep the blanks at the ends of a text).
// A message box is answered with one of its buttons; one with only OK
// reads no line in a script. A file dialog is answered with a file name
// (taken in its folder, the default extension added), "readonly NAME"
// where the box is shown, or "cancel" (an empty line also cancels).
//
// In a script everything is printed, so the log shows
// what a person would have seen. A line that is no action cancels the dialog
// (a script that did not expect it loses one line, not the rest), an action
// a person could not do is reported and skipped, and the end of the input
// cancels the dialog and gives a box its safest answer. At the terminal a wrong line is explained
// and asked again; a modeless window is printed when it appears and goes, and "cancel", "press ID"
// or "show" typed meanwhile reach it at the next pump. A modeless window with a progress bar is
// instead one live line (its status text, the bar, the percentage) that Esc or Ctrl-C cancels at
// the next pump; while it is up keys are read one at a time, without echo.
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

 private:
  // The whole form, or only the lines that changed since it was printed.
  void Print(HWND dialog, bool whole);
  int AskBox(const MessageBoxRequest& box);
  // The live line of a progress window.
  void DrawLive(const DialogState& state, bool force);
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
