#include <cstdio>

#include "platform/afx/afx.h"
#include "platform/win/text.h"

namespace {

int DefaultMessageBox(HWND, const wchar_t* text, const wchar_t* caption, UINT type) {
  std::fprintf(stderr, "[%s] %s\n", win::WideToUtf8(caption ? caption : L"").c_str(),
               win::WideToUtf8(text ? text : L"").c_str());
  return afx::SafestAnswer(type);
}

afx::MessageBoxHandler& Handler() {
  static afx::MessageBoxHandler handler = nullptr;
  return handler;
}

}  // namespace

namespace afx {
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
  MessageBoxHandler previous = Handler();
  Handler() = handler;
  return previous;
}

int SafestAnswer(UINT type) {
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
    case MB_YESNOCANCEL:
      return IDCANCEL;
    case MB_YESNO:
      return IDNO;
    default:
      return IDOK;
  }
}
}  // namespace afx

int MessageBoxW(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) {
  afx::MessageBoxHandler handler = Handler();
  if (handler == nullptr) handler = DefaultMessageBox;
  return handler(owner, text, caption, type);
}

int AfxMessageBox(const wchar_t* text, UINT type, UINT) {
  return MessageBoxW(nullptr, text, AfxGetAppName(), type);
}
