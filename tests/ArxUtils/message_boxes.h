// Records the message boxes shown while it lives and answers each with OK.
#pragma once

#include <string>
#include <vector>

#include "platform/afx/afx.h"

namespace gm::test {

struct ShownMessageBox {
  HWND owner;
  std::wstring text;
  std::wstring caption;
  UINT type;
};

class MessageBoxRecorder {
 public:
  MessageBoxRecorder() : previous_(afx::SetMessageBoxHandler(&Record)) { Shown().clear(); }
  ~MessageBoxRecorder() { afx::SetMessageBoxHandler(previous_); }
  MessageBoxRecorder(const MessageBoxRecorder&) = delete;
  MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

  const std::vector<ShownMessageBox>& shown() const { return Shown(); }

 private:
  static std::vector<ShownMessageBox>& Shown() {
    static std::vector<ShownMessageBox> shown;
    return shown;
  }
  static int Record(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) {
    Shown().push_back({owner, text ? text : L"", caption ? caption : L"", type});
    return IDOK;
  }

  afx::MessageBoxHandler previous_;
};

}  // namespace gm::test
