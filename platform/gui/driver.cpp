// Input as a person gives it: each action changes the control as the
// control itself would and tells the dialog (or a custom control's object)
// what happened, through their message maps.
#include "platform/gui/model.h"
#include "platform/gui/wnd.h"
#include "platform/win/strings.h"
#include "platform/win/text.h"

namespace gui {

using model::Find;
using model::Window;

namespace {

LPARAM Centre(const Window& w) {
  return MAKELPARAM(static_cast<WORD>((w.rect.right - w.rect.left) / 2),
                    static_cast<WORD>((w.rect.bottom - w.rect.top) / 2));
}

void Notify(const Window& control, WORD code) {
  Send(control.parent->handle, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(control.id), code),
       reinterpret_cast<LPARAM>(control.handle));
}

// What a click does to a button before its dialog hears of it.
void Toggle(Window& b) {
  switch (b.style & BS_TYPEMASK) {
    case BS_AUTOCHECKBOX:
      b.check = b.check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
      break;
    case BS_AUTO3STATE:
      b.check = (b.check + 1) % 3;
      break;
    case BS_AUTORADIOBUTTON: {
      // The buttons of its group, between the WS_GROUP marks.
      auto& all = b.parent->controls;
      size_t at = 0;
      while (all[at].get() != &b) ++at;
      size_t first = at;
      while (first > 0 && (all[first]->style & WS_GROUP) == 0) --first;
      for (size_t i = first; i < all.size(); ++i) {
        if (i > first && (all[i]->style & WS_GROUP) != 0) break;
        if (all[i]->kind == ControlKind::kRadioButton) all[i]->check = BST_UNCHECKED;
      }
      b.check = BST_CHECKED;
      break;
    }
    default:
      break;
  }
}

}  // namespace

bool DialogDriver::IsOpen() const {
  Window* w = Find(dialog_);
  return w != nullptr && !w->ended;
}

namespace {

// One field of a control as the dialog shows it now; `none` without one.
template <typename Field>
Field Read(HWND dialog, int id, Field ControlState::*field, Field none) {
  const DialogState state = ReadDialog(dialog);
  const ControlState* c = state.Find(id);
  return c != nullptr ? c->*field : none;
}

}  // namespace

std::wstring DialogDriver::Text(int id) const {
  return Read(dialog_, id, &ControlState::text, std::wstring());
}
int DialogDriver::Check(int id) const { return Read(dialog_, id, &ControlState::check, 0); }
bool DialogDriver::Enabled(int id) const {
  return Read(dialog_, id, &ControlState::enabled, false);
}
bool DialogDriver::Visible(int id) const {
  return Read(dialog_, id, &ControlState::visible, false);
}
int DialogDriver::Selection(int id) const {
  return Read(dialog_, id, &ControlState::selection, -1);
}
std::vector<std::wstring> DialogDriver::Items(int id) const {
  return Read(dialog_, id, &ControlState::items, std::vector<std::wstring>());
}

bool DialogDriver::Fail(std::wstring problem) {
  problem_ = std::move(problem);
  return false;
}

HWND DialogDriver::Usable(int id) {
  problem_.clear();
  if (!IsOpen()) {
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
  const DialogState state = State();
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

bool DialogDriver::Type(int id, const std::wstring& text) {
  HWND control = Usable(id);
  if (control == nullptr) return false;
  Window* w = Find(control);
  if (w->kind != ControlKind::kEdit) {
    return Fail(win::Format(L"Control %d is not an edit box.", id));
  }
  if ((w->style & ES_READONLY) != 0) return Fail(win::Format(L"Control %d is read-only.", id));
  // The old text is selected and typed over; every character is a change.
  if (text.empty()) {
    w->text.clear();
    Notify(*w, EN_CHANGE);
  }
  bool first = true;
  for (wchar_t c : text) {
    // Line ends cannot be typed into a single-line box.
    if (c == L'\n' || c == L'\r') continue;
    w = Find(control);
    if (w == nullptr) break;
    if (first) w->text.clear();
    first = false;
    w->text.push_back(c);
    Notify(*w, EN_CHANGE);
  }
  return true;
}

bool DialogDriver::SetCheck(int id, bool checked) {
  HWND control = Usable(id);
  if (control == nullptr) return false;
  Window* w = Find(control);
  if (w->kind != ControlKind::kCheckBox && w->kind != ControlKind::kRadioButton) {
    return Fail(win::Format(L"Control %d is not a check box.", id));
  }
  if (w->kind == ControlKind::kRadioButton && !checked) {
    return Fail(
        win::Format(L"Radio button %d is cleared by choosing another button of its group.", id));
  }
  const int want = checked ? BST_CHECKED : BST_UNCHECKED;
  // A three-state box may need up to three clicks.
  for (int clicks = 0; clicks < 3; ++clicks) {
    w = Find(control);
    if (w == nullptr || w->check == want) break;
    Click(control);
  }
  return true;
}

bool DialogDriver::Pick(int id, const std::wstring& item) {
  HWND control = Usable(id);
  if (control == nullptr) return false;
  Window* w = Find(control);
  std::vector<std::wstring> items;
  if (w->kind == ControlKind::kComboBox) {
    items = w->items;
  } else if (w->kind == ControlKind::kListView) {
    for (const auto& row : w->rows) items.push_back(row.cells.empty() ? L"" : row.cells[0]);
  } else {
    return Fail(win::Format(L"Control %d is not a list.", id));
  }
  for (size_t i = 0; i < items.size(); ++i) {
    if (win::EqualsNoCase(items[i], item)) return PickIndex(id, static_cast<int>(i));
  }
  return Fail(win::Format(L"Control %d has no item \"%s\".", id, item.c_str()));
}

bool DialogDriver::PickIndex(int id, int index) {
  HWND control = Usable(id);
  if (control == nullptr) return false;
  Window* w = Find(control);
  if (w->kind != ControlKind::kComboBox && w->kind != ControlKind::kListView) {
    return Fail(win::Format(L"Control %d is not a list.", id));
  }
  const size_t count = w->kind == ControlKind::kComboBox ? w->items.size() : w->rows.size();
  if (index < 0 || static_cast<size_t>(index) >= count) {
    return Fail(win::Format(L"Control %d has no item %d.", id, index + 1));
  }
  if (w->kind == ControlKind::kComboBox) {
    w->selection = index;
    Notify(*w, CBN_SELCHANGE);
  } else {
    // A click selects that one row.
    for (size_t i = 0; i < w->rows.size(); ++i) {
      UINT& state = w->rows[i].state;
      state = static_cast<int>(i) == index ? (LVIS_SELECTED | LVIS_FOCUSED) : 0;
    }
  }
  return true;
}

void DialogDriver::Click(HWND control) {
  Window* w = Find(control);
  if (w->kind == ControlKind::kCustom) {
    Send(control, WM_LBUTTONDOWN, MK_LBUTTON, Centre(*w));
    Send(control, WM_LBUTTONUP, 0, Centre(*w));
    return;
  }
  Toggle(*w);
  Notify(*w, BN_CLICKED);
}

bool DialogDriver::Press(int id) {
  HWND control = Usable(id);
  if (control == nullptr) return false;
  switch (Find(control)->kind) {
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
  if (Find(control) != nullptr) Click(control);
  return true;
}

bool DialogDriver::Hover(int id) {
  HWND control = Usable(id);
  if (control == nullptr) return false;
  HWND captured = ::GetCapture();
  if (captured == nullptr || captured == control) {
    Send(control, WM_SETCURSOR, reinterpret_cast<WPARAM>(control),
         MAKELPARAM(HTCLIENT, static_cast<WORD>(WM_MOUSEMOVE)));
    if (Window* w = Find(control)) Send(control, WM_MOUSEMOVE, 0, Centre(*w));
    return true;
  }
  // A window that holds the capture sees the pointer wherever it is.
  Window* w = Find(control);
  POINT p{(w->rect.right - w->rect.left) / 2, (w->rect.bottom - w->rect.top) / 2};
  ::ClientToScreen(control, &p);
  ::ScreenToClient(captured, &p);
  Send(captured, WM_MOUSEMOVE, 0, MAKELPARAM(static_cast<WORD>(p.x), static_cast<WORD>(p.y)));
  return true;
}

bool DialogDriver::MoveMouseAway() {
  problem_.clear();
  HWND captured = ::GetCapture();
  if (captured != nullptr) {
    POINT p{-1000, -1000};  // a screen point no window covers
    ::ScreenToClient(captured, &p);
    Send(captured, WM_MOUSEMOVE, 0, MAKELPARAM(static_cast<WORD>(p.x), static_cast<WORD>(p.y)));
  }
  return true;
}

bool DialogDriver::PressEnter() {
  problem_.clear();
  if (!IsOpen()) return Fail(L"The dialog has closed.");
  // Enter is OK and Esc is Cancel, whether or not the dialog has such a
  // button; a disabled button does not answer.
  HWND button = ::GetDlgItem(dialog_, IDOK);
  if (button == nullptr || ::IsWindowEnabled(button)) {
    Send(dialog_, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(button));
  }
  return true;
}

bool DialogDriver::PressEscape() {
  problem_.clear();
  if (!IsOpen()) return Fail(L"The dialog has closed.");
  HWND button = ::GetDlgItem(dialog_, IDCANCEL);
  if (button == nullptr || ::IsWindowEnabled(button)) {
    Send(dialog_, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(button));
  }
  return true;
}

}  // namespace gui
