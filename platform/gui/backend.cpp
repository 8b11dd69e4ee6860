#include "platform/gui/backend.h"

#include "platform/afx/afx.h"

namespace gui {

namespace {

Backend* g_backend = nullptr;
bool g_hooked = false;
afx::MessageBoxHandler g_previous_handler = nullptr;

int BackendMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) {
  if (g_backend == nullptr) return SafestAnswer(type);
  MessageBoxRequest box;
  box.owner = owner;
  box.text = text != nullptr ? text : L"";
  box.caption = caption != nullptr ? caption : L"";
  box.type = type;
  int answer = g_backend->AnswerMessageBox(box);
  return IsValidAnswer(type, answer) ? answer : SafestAnswer(type);
}

}  // namespace

bool IsValidAnswer(UINT type, int answer) {
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
      return answer == IDOK || answer == IDCANCEL;
    case MB_YESNOCANCEL:
      return answer == IDYES || answer == IDNO || answer == IDCANCEL;
    case MB_YESNO:
      return answer == IDYES || answer == IDNO;
    default:
      return answer == IDOK;
  }
}

Backend* SetBackend(Backend* backend) {
  Backend* previous = g_backend;
  g_backend = backend;
  if (backend != nullptr && !g_hooked) {
    g_previous_handler = afx::SetMessageBoxHandler(&BackendMessageBox);
    g_hooked = true;
  } else if (backend == nullptr && g_hooked) {
    afx::SetMessageBoxHandler(g_previous_handler);
    g_hooked = false;
  }
  return previous;
}

Backend* GetBackend() { return g_backend; }

}  // namespace gui

BOOL PeekMessageW(MSG*, HWND, UINT, UINT, UINT) {
  static bool idle = false;
  if (gui::g_backend != nullptr && !idle) {
    idle = true;
    gui::g_backend->Idle();
    idle = false;
  }
  return FALSE;
}

BOOL TranslateMessage(const MSG*) { return FALSE; }
LRESULT DispatchMessageW(const MSG*) { return 0; }
BOOL IsDialogMessageW(HWND, MSG*) { return FALSE; }
