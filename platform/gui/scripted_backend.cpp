#include "platform/gui/scripted_backend.h"

namespace gui {

ScriptedBackend::ScriptedBackend() : previous_(SetBackend(this)) {}

ScriptedBackend::~ScriptedBackend() { SetBackend(previous_); }

ScriptedBackend& ScriptedBackend::OnDialog(Step step) {
  steps_.push_back(std::move(step));
  return *this;
}

ScriptedBackend& ScriptedBackend::AnswerMessageBox(int answer) {
  answers_.push_back(answer);
  return *this;
}

ScriptedBackend& ScriptedBackend::AnswerFile(std::wstring path, bool read_only) {
  FileAnswer a;
  a.answer.path = std::move(path);
  a.answer.read_only = read_only;
  files_.push_back(std::move(a));
  return *this;
}

ScriptedBackend& ScriptedBackend::CancelFile() {
  FileAnswer a;
  a.cancel = true;
  files_.push_back(std::move(a));
  return *this;
}

void ScriptedBackend::DialogShown(DialogDriver& dialog) {
  DialogRecord record;
  record.hwnd = dialog.hwnd();
  record.shown = dialog.State();
  dialogs_.push_back(std::move(record));
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
  MessageRecord record;
  record.box = box;
  if (!answers_.empty()) {
    record.answer = answers_.front();
    record.scripted = true;
    answers_.pop_front();
  } else {
    record.answer = SafestAnswer(box.type);
  }
  if (!IsValidAnswer(box.type, record.answer)) record.answer = SafestAnswer(box.type);
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
