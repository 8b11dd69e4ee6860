#include "platform/gui/scripted_backend.h"

namespace gui {

void ScriptedBackend::DialogShown(DialogDriver& dialog) {
  dialogs_.push_back(DialogRecord{dialog.hwnd(), dialog.State(), {}, false, 0});
}

bool ScriptedBackend::Act(DialogDriver& dialog) {
  if (steps_.empty()) return false;
  Step step = std::move(steps_.front());
  steps_.pop_front();
  step(dialog);
  return true;
}

void ScriptedBackend::DialogClosed(const DialogState& final_state, int result) {
  for (auto it = dialogs_.rbegin(); it != dialogs_.rend(); ++it) {
    if (it->hwnd == final_state.hwnd && !it->has_closed) {
      it->closed = final_state;
      it->has_closed = true;
      it->result = result;
      return;
    }
  }
}

void ScriptedBackend::Idle() {
  if (!idle_ || in_idle_) return;
  in_idle_ = true;
  idle_();
  in_idle_ = false;
}

int ScriptedBackend::AnswerMessageBox(const MessageBoxRequest& box) {
  MessageRecord record{box, SafestAnswer(box.type), !answers_.empty()};
  if (record.scripted) {
    if (IsValidAnswer(box.type, answers_.front())) record.answer = answers_.front();
    answers_.pop_front();
  }
  messages_.push_back(record);
  return record.answer;
}

bool ScriptedBackend::AnswerFileDialog(const FileDialogRequest& request, FileDialogAnswer& answer) {
  file_requests_.push_back(request);
  if (files_.empty()) return false;
  FileAnswer a = std::move(files_.front());
  files_.pop_front();
  if (a.cancel) return false;
  answer = a.answer;
  return true;
}

}  // namespace gui
