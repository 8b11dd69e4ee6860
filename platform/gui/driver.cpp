// Input changes a control as the control itself would, then tells the
// dialog, or a custom control's object, through its message map.
#include <algorithm>
#include <utility>

#include "platform/gui/model.h"
#include "platform/gui/wnd.h"
#include "platform/win/strings.h"
#include "platform/win/text.h"

namespace gui {

using model::Find;
using model::Window;

namespace {

CPoint Centre(const Window& w) {
  return CPoint((w.rect.right - w.rect.left) / 2, (w.rect.bottom - w.rect.top) / 2);
}

// What a click does to a button before its dialog hears of it.
void Click(Window& b) {
  if (b.kind == ControlKind::kCustom) {
    Send(b.hwnd, WM_LBUTTONUP, Centre(b));
    return;
  }
  if (b.kind == ControlKind::kCheckBox) b.check = b.check == BST_CHECKED ? 0 : BST_CHECKED;
  if (b.kind == ControlKind::kRadioButton) {
    for (Window* w : model::Group(b)) {
      if (w->kind == ControlKind::kRadioButton) w->check = BST_UNCHECKED;
    }
    b.check = BST_CHECKED;
  }
  Command(b.parent->hwnd, b.id, BN_CLICKED);
}

Backend* g_backend = nullptr;
afx::MessageBoxHandler g_previous_handler = nullptr;

int BackendMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) {
  if (g_backend == nullptr) return SafestAnswer(type);
  const int answer = g_backend->AnswerMessageBox(MessageBoxRequest{
      owner, caption != nullptr ? caption : L"", text != nullptr ? text : L"", type});
  return IsValidAnswer(type, answer) ? answer : SafestAnswer(type);
}

}  // namespace

const ControlState* DialogState::Find(int id) const {
  auto it = std::ranges::find(controls, id, &ControlState::id);
  return it != controls.end() ? &*it : nullptr;
}

DialogState ReadDialog(HWND dialog) {
  DialogState s;
  Window* d = Find(dialog);
  if (d == nullptr || !d->is_dialog()) return s;
  // What a person sees of a custom control is what it painted.
  for (const auto& c : d->controls) {
    if (c->kind == ControlKind::kCustom) gui::Send(c->hwnd, WM_PAINT);
  }
  if ((d = Find(dialog)) == nullptr) return s;
  s = DialogState{dialog,   d->text, d->dialog_template->name, d->rect, d->visible, d->topmost,
                  d->modal, {}};
  const RECT client = model::ClientRect(*d);
  const Window* previous = nullptr;
  for (const auto& w : d->controls) {
    ControlState c = *w;
    const LONG cx = (c.rect.left + c.rect.right) / 2, cy = (c.rect.top + c.rect.bottom) / 2;
    c.in_view = cx >= 0 && cy >= 0 && cx < client.right && cy < client.bottom;
    // A static text, check box or radio button labels the edit, list or bar
    // after it; a hidden label labels only a control hidden with it.
    const bool takes = c.kind == ControlKind::kEdit || c.kind == ControlKind::kComboBox ||
                       c.kind == ControlKind::kListView || c.kind == ControlKind::kProgressBar;
    if (takes && previous != nullptr && (previous->visible || !c.visible) &&
        (previous->kind == ControlKind::kStatic
             ? !previous->text.empty()
             : previous->kind == ControlKind::kCheckBox ||
                   previous->kind == ControlKind::kRadioButton)) {
      c.label = previous->text;
    }
    if (c.kind == ControlKind::kComboBox) {
      c.text = c.selection >= 0 ? c.items[static_cast<size_t>(c.selection)] : L"";
    } else if (c.kind == ControlKind::kListView) {
      for (auto& cells : c.rows) {
        cells.resize(std::max(cells.size(), c.columns.size()));
        c.items.push_back(cells.empty() ? L"" : cells[0]);
      }
      std::ranges::sort(c.selected_rows);
      c.selection = c.selected_rows.empty() ? -1 : c.selected_rows.front();
    }
    s.controls.push_back(std::move(c));
    previous = w.get();
  }
  return s;
}

HWND FindDialog(const std::wstring& title) {
  std::vector<HWND> open = OpenDialogs();
  for (auto it = open.rbegin(); it != open.rend(); ++it) {
    if (Find(*it)->text == title) return *it;
  }
  return nullptr;
}

bool DialogDriver::IsOpen() const {
  Window* w = Find(dialog_);
  return w != nullptr && !w->ended;
}

ControlState DialogDriver::Field(int id) const {
  const DialogState state = ReadDialog(dialog_);
  if (const ControlState* c = state.Find(id)) return *c;
  ControlState none;
  none.enabled = none.visible = false;
  return none;
}

bool DialogDriver::Fail(std::wstring problem) {
  problem_ = std::move(problem);
  return false;
}

HWND DialogDriver::Usable(int id, std::initializer_list<ControlKind> kinds,
                          const wchar_t* not_one) {
  problem_.clear();
  const ControlState c = Field(id);
  if (!IsOpen()) {
    Fail(L"The dialog has closed.");
  } else if (!Find(dialog_)->enabled) {
    Fail(L"The dialog waits for another window.");
  } else if (c.hwnd == nullptr) {
    Fail(win::Format(L"There is no control %d.", id));
  } else if (!c.visible) {
    Fail(win::Format(L"Control %d is hidden.", id));
  } else if (!c.enabled) {
    Fail(win::Format(L"Control %d is disabled.", id));
  } else if (!c.in_view) {
    Fail(win::Format(L"Control %d is outside the window.", id));
  } else if (kinds.size() != 0 && std::ranges::find(kinds, c.kind) == kinds.end()) {
    Fail(win::Format(not_one, id));
  }
  return problem_.empty() ? c.hwnd : nullptr;
}

bool DialogDriver::Type(int id, const std::wstring& text) {
  HWND control = Usable(id, {ControlKind::kEdit}, L"Control %d is not an edit box.");
  if (control == nullptr) return false;
  // The old text is selected and typed over; every character is a change,
  // told as the program's own SetWindowText tells it.
  std::wstring typed;
  for (wchar_t c : text) {
    // Line ends cannot be typed into a single-line box.
    if (c == L'\n' || c == L'\r') continue;
    if (Find(control) == nullptr) break;
    typed.push_back(c);
    CWnd::FromHandle(control)->SetWindowText(typed);
  }
  if (text.empty()) CWnd::FromHandle(control)->SetWindowText(L"");
  return true;
}

bool DialogDriver::SetCheck(int id, bool checked) {
  HWND control = Usable(id, {ControlKind::kCheckBox, ControlKind::kRadioButton},
                        L"Control %d is not a check box.");
  if (control == nullptr) return false;
  if (Find(control)->kind == ControlKind::kRadioButton && !checked) {
    return Fail(
        win::Format(L"Radio button %d is cleared by choosing another button of its group.", id));
  }
  // An indeterminate box needs two clicks.
  for (int clicks = 0; clicks < 2; ++clicks) {
    Window* w = Find(control);
    if (w == nullptr || w->check == (checked ? BST_CHECKED : BST_UNCHECKED)) break;
    Click(*w);
  }
  return true;
}

bool DialogDriver::Pick(int id, const std::wstring& item) {
  const std::vector<std::wstring> items = Field(id).items;
  auto it = std::ranges::find_if(items, [&](const auto& i) { return win::EqualsNoCase(i, item); });
  if (it != items.end()) return PickIndex(id, static_cast<int>(it - items.begin()));
  if (Usable(id, {ControlKind::kComboBox, ControlKind::kListView}, L"Control %d is not a list.")) {
    return Fail(win::Format(L"Control %d has no item \"%s\".", id, item.c_str()));
  }
  return false;
}

bool DialogDriver::PickIndex(int id, int index) {
  HWND control =
      Usable(id, {ControlKind::kComboBox, ControlKind::kListView}, L"Control %d is not a list.");
  if (control == nullptr) return false;
  Window* w = Find(control);
  const bool combo = w->kind == ControlKind::kComboBox;
  if (index < 0 || static_cast<size_t>(index) >= (combo ? w->items.size() : w->rows.size())) {
    return Fail(win::Format(L"Control %d has no item %d.", id, index + 1));
  }
  if (!combo) {
    w->selected_rows = {index};  // a click selects that one row
    return true;
  }
  w->selection = index;
  Command(w->parent->hwnd, id, CBN_SELCHANGE);
  return true;
}

bool DialogDriver::Press(int id) {
  HWND control = Usable(id,
                        {ControlKind::kPushButton, ControlKind::kDefPushButton,
                         ControlKind::kCheckBox, ControlKind::kRadioButton, ControlKind::kCustom},
                        L"Control %d cannot be pressed.");
  // The pointer goes there first, as a hand on a mouse would take it.
  if (control == nullptr || !Hover(id)) return false;
  if (Window* w = Find(control)) Click(*w);
  return true;
}

bool DialogDriver::Hover(int id) {
  HWND control = Usable(id, {}, L"");
  if (control == nullptr) return false;
  HWND captured = ::GetCapture();
  if (captured == nullptr || captured == control) {
    Send(control, WM_SETCURSOR, {}, control);
    if (Window* w = Find(control)) Send(control, WM_MOUSEMOVE, Centre(*w));
    return true;
  }
  // A window that holds the capture sees the pointer wherever it is.
  const POINT from = model::ClientOrigin(*Find(control));
  const POINT to = model::ClientOrigin(*Find(captured));
  const CPoint p = Centre(*Find(control));
  Send(captured, WM_MOUSEMOVE, CPoint(p.x + from.x - to.x, p.y + from.y - to.y));
  return true;
}

bool DialogDriver::MoveMouseAway() {
  problem_.clear();
  if (HWND captured = ::GetCapture()) {
    const POINT o = model::ClientOrigin(*Find(captured));
    // A screen point no window covers.
    Send(captured, WM_MOUSEMOVE, CPoint(-1000 - o.x, -1000 - o.y));
  }
  return true;
}

bool DialogDriver::Key(int button) {
  problem_.clear();
  if (!IsOpen()) return Fail(L"The dialog has closed.");
  // Enter is OK and Esc is Cancel, whether or not the dialog has such a
  // button; a disabled button does not answer.
  const Window* b = model::Control(*Find(dialog_), button);
  if (b == nullptr || b->enabled) Command(dialog_, button, BN_CLICKED);
  return true;
}

bool IsValidAnswer(UINT type, int answer) {
  const UINT t = type & MB_TYPEMASK;
  if (t == MB_YESNO || t == MB_YESNOCANCEL)
    return answer == IDYES || answer == IDNO || (t == MB_YESNOCANCEL && answer == IDCANCEL);
  return answer == IDOK || (t == MB_OKCANCEL && answer == IDCANCEL);
}

Backend* SetBackend(Backend* backend) {
  if (backend != nullptr && g_backend == nullptr) {
    g_previous_handler = afx::SetMessageBoxHandler(&BackendMessageBox);
  } else if (backend == nullptr && g_backend != nullptr) {
    afx::SetMessageBoxHandler(g_previous_handler);
  }
  return std::exchange(g_backend, backend);
}

Backend* GetBackend() { return g_backend; }

}  // namespace gui

BOOL PeekMessageW(MSG*, HWND, UINT, UINT, UINT) {
  static bool idle = false;
  if (gui::GetBackend() != nullptr && !std::exchange(idle, true)) {
    gui::GetBackend()->Idle();
    idle = false;
  }
  return FALSE;
}

BOOL TranslateMessage(const MSG*) { return FALSE; }
LRESULT DispatchMessageW(const MSG*) { return 0; }
BOOL IsDialogMessageW(HWND, MSG*) { return FALSE; }
