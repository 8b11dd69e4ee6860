// Input as a person gives it: posted as the window system would post it
// (mouse clicks, characters, keys, a pick in a list), then delivered.
#include <cwctype>

#include "platform/gui/window_internal.h"
#include "platform/win/text.h"

namespace gui {

using internal::Find;
using internal::Window;

namespace {

LPARAM Centre(HWND control) {
  RECT r;
  ::GetClientRect(control, &r);
  return MAKELPARAM(static_cast<WORD>(r.right / 2), static_cast<WORD>(r.bottom / 2));
}

bool SameNoCase(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::towlower(a[i]) != std::towlower(b[i])) return false;
  }
  return true;
}

}  // namespace

DialogDriver::DialogDriver(HWND dialog, Delivery delivery) : dialog_(dialog), delivery_(delivery) {}

bool DialogDriver::IsOpen() const {
  Window* w = Find(dialog_);
  return w != nullptr && !w->ended;
}

std::wstring DialogDriver::Text(int id) const {
  // The state must outlive the pointer into it.
  const DialogState state = State();
  const ControlState* c = state.Find(id);
  return c != nullptr ? c->text : std::wstring();
}

int DialogDriver::Check(int id) const {
  const DialogState state = State();
  const ControlState* c = state.Find(id);
  return c != nullptr ? c->check : 0;
}

bool DialogDriver::Enabled(int id) const {
  const DialogState state = State();
  const ControlState* c = state.Find(id);
  return c != nullptr && c->enabled;
}

bool DialogDriver::Visible(int id) const {
  const DialogState state = State();
  const ControlState* c = state.Find(id);
  return c != nullptr && c->visible;
}

int DialogDriver::Selection(int id) const {
  const DialogState state = State();
  const ControlState* c = state.Find(id);
  return c != nullptr ? c->selection : -1;
}

std::vector<std::wstring> DialogDriver::Items(int id) const {
  const DialogState state = State();
  const ControlState* c = state.Find(id);
  return c != nullptr ? c->items : std::vector<std::wstring>();
}

bool DialogDriver::Fail(std::wstring problem) {
  problem_ = std::move(problem);
  return false;
}

HWND DialogDriver::Usable(int id) {
  problem_.clear();
  Window* d = Find(dialog_);
  if (d == nullptr || d->ended) {
    Fail(L"The dialog has closed.");
    return nullptr;
  }
  if (!::IsWindowEnabled(dialog_)) {
    Fail(L"The dialog waits for another window.");
    return nullptr;
  }
  HWND control = ::GetDlgItem(dialog_, id);
  if (control == nullptr) {
    Fail(win::Format(L"There is no control %d.", id));
    return nullptr;
  }
  DialogState state = State();
  const ControlState* c = state.Find(id);
  if (c == nullptr || !c->visible) {
    Fail(win::Format(L"Control %d is hidden.", id));
    return nullptr;
  }
  if (!c->enabled) {
    Fail(win::Format(L"Control %d is disabled.", id));
    return nullptr;
  }
  if (!c->in_view) {
    Fail(win::Format(L"Control %d is outside the window.", id));
    return nullptr;
  }
  return control;
}

void DialogDriver::Deliver() {
  if (delivery_ == kPumpNow) internal::PumpPending();
}

bool DialogDriver::Type(int id, const std::wstring& text) {
  HWND control = Usable(id);
  if (control == nullptr) return false;
  Window* w = Find(control);
  if (internal::KindOf(*w) != ControlKind::kEdit) {
    return Fail(win::Format(L"Control %d is not an edit box.", id));
  }
  if ((w->style & ES_READONLY) != 0) return Fail(win::Format(L"Control %d is read-only.", id));
  ::PostMessageW(control, EM_SETSEL, 0, -1);
  if (text.empty()) {
    ::PostMessageW(control, WM_CLEAR, 0, 0);
  }
  for (wchar_t c : text) {
    // Line ends cannot be typed into a single-line box.
    if (c == L'\n' || c == L'\r') continue;
    ::PostMessageW(control, WM_CHAR, static_cast<WPARAM>(c), 1);
  }
  Deliver();
  return true;
}

bool DialogDriver::SetCheck(int id, bool checked) {
  HWND control = Usable(id);
  if (control == nullptr) return false;
  Window* w = Find(control);
  ControlKind kind = internal::KindOf(*w);
  if (kind != ControlKind::kCheckBox && kind != ControlKind::kRadioButton) {
    return Fail(win::Format(L"Control %d is not a check box.", id));
  }
  if (kind == ControlKind::kRadioButton && !checked) {
    return Fail(
        win::Format(L"Radio button %d is cleared by choosing another button of its group.", id));
  }
  int want = checked ? BST_CHECKED : BST_UNCHECKED;
  // A three-state box may need up to three clicks.
  for (int clicks = 0; clicks < 3; ++clicks) {
    w = Find(control);
    if (w == nullptr || w->check == want) break;
    ::PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, Centre(control));
    ::PostMessageW(control, WM_LBUTTONUP, 0, Centre(control));
    if (delivery_ != kPumpNow) break;
    Deliver();
  }
  return true;
}

bool DialogDriver::Pick(int id, const std::wstring& item) {
  HWND control = Usable(id);
  if (control == nullptr) return false;
  Window* w = Find(control);
  ControlKind kind = internal::KindOf(*w);
  const std::vector<std::wstring>* items = nullptr;
  std::vector<std::wstring> firsts;
  if (kind == ControlKind::kComboBox) {
    items = &w->items;
  } else if (kind == ControlKind::kListView) {
    for (const auto& row : w->rows) firsts.push_back(row.cells.empty() ? L"" : row.cells[0]);
    items = &firsts;
  } else {
    return Fail(win::Format(L"Control %d is not a list.", id));
  }
  for (size_t i = 0; i < items->size(); ++i) {
    if (SameNoCase((*items)[i], item)) return PickIndex(id, static_cast<int>(i));
  }
  return Fail(win::Format(L"Control %d has no item \"%s\".", id, item.c_str()));
}

bool DialogDriver::PickIndex(int id, int index) {
  HWND control = Usable(id);
  if (control == nullptr) return false;
  Window* w = Find(control);
  ControlKind kind = internal::KindOf(*w);
  size_t count = 0;
  if (kind == ControlKind::kComboBox) {
    count = w->items.size();
  } else if (kind == ControlKind::kListView) {
    count = w->rows.size();
  } else {
    return Fail(win::Format(L"Control %d is not a list.", id));
  }
  if (index < 0 || static_cast<size_t>(index) >= count) {
    return Fail(win::Format(L"Control %d has no item %d.", id, index + 1));
  }
  ::PostMessageW(control, internal::kPickItem, static_cast<WPARAM>(index), 0);
  Deliver();
  return true;
}

bool DialogDriver::Press(int id) {
  HWND control = Usable(id);
  if (control == nullptr) return false;
  Window* w = Find(control);
  ControlKind kind = internal::KindOf(*w);
  switch (kind) {
    case ControlKind::kPushButton:
    case ControlKind::kDefPushButton:
    case ControlKind::kCheckBox:
    case ControlKind::kRadioButton:
    case ControlKind::kCustom:
      break;
    default:
      return Fail(win::Format(L"Control %d cannot be pressed.", id));
  }
  // The pointer goes there first, as a hand on a mouse would take it.
  if (!Hover(id)) return false;
  ::PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, Centre(control));
  ::PostMessageW(control, WM_LBUTTONUP, 0, Centre(control));
  Deliver();
  return true;
}

bool DialogDriver::Hover(int id) {
  HWND control = Usable(id);
  if (control == nullptr) return false;
  HWND captured = ::GetCapture();
  if (captured == nullptr || captured == control) {
    ::PostMessageW(control, WM_SETCURSOR, reinterpret_cast<WPARAM>(control),
                   MAKELPARAM(HTCLIENT, static_cast<WORD>(WM_MOUSEMOVE)));
    ::PostMessageW(control, WM_MOUSEMOVE, 0, Centre(control));
  } else {
    // A window that holds the capture sees the pointer wherever it is.
    POINT p;
    RECT r;
    ::GetClientRect(control, &r);
    p.x = r.right / 2;
    p.y = r.bottom / 2;
    ::ClientToScreen(control, &p);
    ::ScreenToClient(captured, &p);
    ::PostMessageW(captured, WM_MOUSEMOVE, 0,
                   MAKELPARAM(static_cast<WORD>(p.x), static_cast<WORD>(p.y)));
  }
  Deliver();
  return true;
}

bool DialogDriver::MoveMouseAway() {
  problem_.clear();
  HWND captured = ::GetCapture();
  if (captured != nullptr) {
    POINT p{-1000, -1000};  // a screen point no window covers
    ::ScreenToClient(captured, &p);
    ::PostMessageW(captured, WM_MOUSEMOVE, 0,
                   MAKELPARAM(static_cast<WORD>(p.x), static_cast<WORD>(p.y)));
    Deliver();
  }
  return true;
}

bool DialogDriver::PressEnter() {
  problem_.clear();
  if (!IsOpen()) return Fail(L"The dialog has closed.");
  ::PostMessageW(dialog_, WM_KEYDOWN, VK_RETURN, 0);
  Deliver();
  return true;
}

bool DialogDriver::PressEscape() {
  problem_.clear();
  if (!IsOpen()) return Fail(L"The dialog has closed.");
  ::PostMessageW(dialog_, WM_KEYDOWN, VK_ESCAPE, 0);
  Deliver();
  return true;
}

}  // namespace gui
