// A backend for tests: the input comes from code, and everything shown is
// recorded. While it lives it is the installed backend (the one before comes
// back when it goes).
//
//   gui::ScriptedBackend ui;
//   ui.OnDialog([](gui::DialogDriver& d) { d.Type(212, L"0.2"); d.PressEnter(); });
//   dialog.DoModal();
//   ui.dialogs()[0].closed.Find(212)->text;   // the state at the end
//
// Each round of a modal dialog's input takes the next step, and each box or
// file dialog the next answer of its own queue; with none left a dialog is
// cancelled, a box gets its safest answer and a file dialog is cancelled.
#pragma once

#include <algorithm>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/gui/backend.h"

namespace gui {

class ScriptedBackend : public Backend {
 public:
  using Step = std::function<void(DialogDriver&)>;

  ScriptedBackend() : previous_(SetBackend(this)) {}
  ~ScriptedBackend() override { SetBackend(previous_); }
  ScriptedBackend(const ScriptedBackend&) = delete;
  ScriptedBackend& operator=(const ScriptedBackend&) = delete;

  ScriptedBackend& OnDialog(Step step) {
    steps_.push_back(std::move(step));
    return *this;
  }
  ScriptedBackend& AnswerMessageBox(int answer) {
    answers_.push_back(answer);
    return *this;
  }
  ScriptedBackend& AnswerFile(std::wstring path, bool read_only = false) {
    files_.push_back(FileDialogAnswer{std::move(path), read_only});
    return *this;
  }
  ScriptedBackend& CancelFile() {
    files_.push_back(std::nullopt);
    return *this;
  }
  // Runs at every PeekMessage while set: input for modeless windows.
  void OnIdle(std::function<void()> hook) { idle_ = std::move(hook); }

  struct MessageRecord {
    MessageBoxRequest box;
    int answer = 0;
    bool scripted = false;  // false: nobody answered, the safest answer was taken
  };
  struct DialogRecord {
    HWND hwnd = nullptr;
    DialogState shown;   // as it appeared, after its initialisation
    DialogState closed;  // as it was when it ended
    bool has_closed = false;
    int result = 0;
  };
  const std::vector<MessageRecord>& messages() const { return messages_; }
  const std::vector<DialogRecord>& dialogs() const { return dialogs_; }
  const std::vector<FileDialogRequest>& file_requests() const { return file_requests_; }

  void DialogShown(DialogDriver& dialog) override {
    dialogs_.push_back(DialogRecord{dialog.hwnd(), dialog.State(), {}, false, 0});
  }
  bool Act(DialogDriver& dialog) override {
    if (steps_.empty()) return false;
    Step step = std::move(steps_.front());
    steps_.pop_front();
    step(dialog);
    return true;
  }
  void DialogClosed(const DialogState& final_state, int result) override {
    // A handle is never reused, so a dialog has one record.
    auto it = std::ranges::find(dialogs_, final_state.hwnd, &DialogRecord::hwnd);
    if (it == dialogs_.end()) return;
    it->closed = final_state;
    it->has_closed = true;
    it->result = result;
  }
  // The pump never calls Idle again while it runs; the hook is held by a
  // copy, so it may replace itself.
  void Idle() override {
    if (const auto hook = idle_) hook();
  }
  int AnswerMessageBox(const MessageBoxRequest& box) override {
    MessageRecord record{box, SafestAnswer(box.type), !answers_.empty()};
    if (record.scripted) {
      if (IsValidAnswer(box.type, answers_.front())) record.answer = answers_.front();
      answers_.pop_front();
    }
    messages_.push_back(record);
    return record.answer;
  }
  bool AnswerFileDialog(const FileDialogRequest& request, FileDialogAnswer& answer) override {
    file_requests_.push_back(request);
    if (files_.empty()) return false;
    const std::optional<FileDialogAnswer> a = std::move(files_.front());
    files_.pop_front();
    if (a) answer = *a;
    return a.has_value();
  }

 private:
  Backend* previous_;
  std::deque<Step> steps_;
  std::deque<int> answers_;
  std::deque<std::optional<FileDialogAnswer>> files_;  // nullopt: cancel
  std::function<void()> idle_;
  std::vector<MessageRecord> messages_;
  std::vector<DialogRecord> dialogs_;
  std::vector<FileDialogRequest> file_requests_;
};

}  // namespace gui
