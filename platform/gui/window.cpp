// The window table, the message queue and the window calls.
#include <algorithm>
#include <cwctype>
#include <deque>
#include <map>

#include "platform/gui/window_internal.h"
#include "platform/gui/wnd.h"

namespace gui::internal {

namespace {

struct WindowClass {
  std::wstring name;
  WNDPROC proc = nullptr;
  HCURSOR cursor = nullptr;
};

struct State {
  std::map<HWND, std::unique_ptr<Window>> windows;  // handles grow, so this is creation order
  std::uintptr_t next_handle = 0x10000;
  std::map<std::wstring, WindowClass> classes;  // by lower-case name
  std::deque<MSG> queue;
  HWND capture = nullptr;
  HWND focus = nullptr;
  HCURSOR cursor = nullptr;
  std::map<HFONT, LOGFONTW> fonts;
  std::uintptr_t next_font = 0x20000;
};

State& S() {
  static State state;
  return state;
}

std::wstring Lower(std::wstring s) {
  for (wchar_t& c : s) c = static_cast<wchar_t>(std::towlower(c));
  return s;
}

const wchar_t* const kBuiltInClasses[] = {L"#32770",      L"Static",           L"Edit",
                                          L"Button",      L"ComboBox",         L"SysListView32",
                                          L"SysHeader32", L"msctls_progress32"};

bool IsBuiltIn(const std::wstring& name) {
  std::wstring lower = Lower(name);
  for (const wchar_t* c : kBuiltInClasses) {
    if (Lower(c) == lower) return true;
  }
  return false;
}

std::wstring CanonicalClass(const std::wstring& name) {
  std::wstring lower = Lower(name);
  for (const wchar_t* c : kBuiltInClasses) {
    if (Lower(c) == lower) return c;
  }
  auto it = S().classes.find(lower);
  return it != S().classes.end() ? it->second.name : name;
}

int FrameOf(const Window& w) {
  if (w.parent != nullptr) return 0;
  if ((w.style & (WS_DLGFRAME | WS_THICKFRAME | DS_MODALFRAME)) != 0 && w.is_dialog) {
    return kFrameWidth;
  }
  if ((w.style & (WS_DLGFRAME | WS_THICKFRAME)) != 0) return kFrameWidth;
  return (w.style & WS_BORDER) != 0 ? 1 : 0;
}

int CaptionOf(const Window& w) {
  return (w.parent == nullptr && (w.style & WS_CAPTION) == WS_CAPTION) ? kCaptionHeight : 0;
}

bool IsChildOf(HWND parent, HWND child) {
  for (Window* w = Find(child); w != nullptr && w->parent != nullptr; w = Find(w->parent)) {
    if (w->parent == parent) return true;
  }
  return false;
}

}  // namespace

Window* Find(HWND handle) {
  if (handle == nullptr) return nullptr;
  auto it = S().windows.find(handle);
  return it == S().windows.end() ? nullptr : it->second.get();
}

bool ClassExists(const std::wstring& name) {
  return IsBuiltIn(name) || S().classes.count(Lower(name)) != 0;
}

Window* Create(const CreateParams& params) {
  if (!ClassExists(params.class_name)) return nullptr;
  Window* parent = nullptr;
  if (params.parent != nullptr) {
    parent = Find(params.parent);
    if (parent == nullptr) return nullptr;
  }
  auto w = std::make_unique<Window>();
  w->handle = reinterpret_cast<HWND>(S().next_handle);
  S().next_handle += 0x10;
  w->class_name = CanonicalClass(params.class_name);
  w->text = params.text;
  w->style = params.style | (parent != nullptr ? WS_CHILD : 0);
  w->ex_style = params.ex_style;
  w->rect = params.rect;
  w->parent = params.parent;
  w->owner = parent != nullptr ? nullptr : params.owner;
  w->id = params.id;
  w->object = params.object;
  w->is_dialog = w->class_name == L"#32770";
  Window* raw = w.get();
  S().windows.emplace(raw->handle, std::move(w));
  if (parent != nullptr) parent->children.push_back(raw->handle);
  if (params.object != nullptr) params.object->m_hWnd = raw->handle;
  return raw;
}

std::vector<HWND> AllWindows() {
  std::vector<HWND> out;
  for (auto& [h, w] : S().windows) out.push_back(h);
  return out;
}

HWND TopLevelOf(HWND handle) {
  Window* w = Find(handle);
  while (w != nullptr && w->parent != nullptr) w = Find(w->parent);
  return w != nullptr ? w->handle : nullptr;
}

POINT ClientOrigin(const Window& w) {
  POINT p;
  if (w.parent == nullptr) {
    p.x = w.rect.left + FrameOf(w);
    p.y = w.rect.top + FrameOf(w) + CaptionOf(w);
    return p;
  }
  const Window* parent = Find(w.parent);
  POINT base = parent != nullptr ? ClientOrigin(*parent) : POINT{};
  p.x = base.x + w.rect.left;
  p.y = base.y + w.rect.top;
  return p;
}

SIZE WindowSizeForClient(const Window& w, int cx, int cy) {
  SIZE s;
  s.cx = cx + 2 * FrameOf(w);
  s.cy = cy + 2 * FrameOf(w) + CaptionOf(w);
  return s;
}

RECT ClientRectScreen(const Window& w) {
  POINT o = ClientOrigin(w);
  RECT r;
  r.left = o.x;
  r.top = o.y;
  int frame = FrameOf(w);
  r.right = o.x + std::max<LONG>(0, w.rect.right - w.rect.left - 2 * frame);
  r.bottom = o.y + std::max<LONG>(0, w.rect.bottom - w.rect.top - 2 * frame - CaptionOf(w));
  return r;
}

ControlKind KindOf(const Window& w) {
  const std::wstring& c = w.class_name;
  if (c == L"Static") {
    return (w.style & SS_TYPEMASK) == SS_ETCHEDHORZ ? ControlKind::kEtchedLine
                                                    : ControlKind::kStatic;
  }
  if (c == L"Edit") return ControlKind::kEdit;
  if (c == L"Button") {
    switch (w.style & BS_TYPEMASK) {
      case BS_DEFPUSHBUTTON:
        return ControlKind::kDefPushButton;
      case BS_CHECKBOX:
      case BS_AUTOCHECKBOX:
      case BS_3STATE:
      case BS_AUTO3STATE:
        return ControlKind::kCheckBox;
      case BS_RADIOBUTTON:
      case BS_AUTORADIOBUTTON:
        return ControlKind::kRadioButton;
      case BS_GROUPBOX:
        return ControlKind::kGroupBox;
      default:
        return ControlKind::kPushButton;
    }
  }
  if (c == L"ComboBox") return ControlKind::kComboBox;
  if (c == L"SysListView32") return ControlKind::kListView;
  if (c == L"msctls_progress32") return ControlKind::kProgressBar;
  return ControlKind::kCustom;
}

bool IsRadio(const Window& w) { return KindOf(w) == ControlKind::kRadioButton; }
bool IsCheckBox(const Window& w) { return KindOf(w) == ControlKind::kCheckBox; }

LRESULT Deliver(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* w = Find(handle);
  if (w == nullptr) return 0;
  if (w->object != nullptr) {
    CWnd* object = w->object;
    try {
      return object->WindowProc(message, wParam, lParam);
    } catch (CException* e) {
      e->ReportError(MB_OK | MB_ICONERROR);
      e->Delete();
      return 0;
    }
  }
  auto it = S().classes.find(Lower(w->class_name));
  if (it != S().classes.end() && it->second.proc != nullptr) {
    return it->second.proc(handle, message, wParam, lParam);
  }
  return DefWindowProcW(handle, message, wParam, lParam);
}

void Notify(const Window& control, WORD code) {
  if (control.parent == nullptr) return;
  Deliver(control.parent, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(control.id), code),
          reinterpret_cast<LPARAM>(control.handle));
}

namespace {

bool Matches(const MSG& m, HWND filter, UINT lo, UINT hi) {
  if (filter != nullptr && m.hwnd != filter && !IsChildOf(filter, m.hwnd)) return false;
  if (lo == 0 && hi == 0) return true;
  return m.message >= lo && m.message <= hi;
}

bool PeekInternal(MSG* msg, HWND filter, UINT lo, UINT hi, UINT remove) {
  auto& q = S().queue;
  for (auto it = q.begin(); it != q.end();) {
    if (it->hwnd != nullptr && Find(it->hwnd) == nullptr) {
      it = q.erase(it);
      continue;
    }
    if (Matches(*it, filter, lo, hi)) {
      *msg = *it;
      if ((remove & PM_REMOVE) != 0) q.erase(it);
      return true;
    }
    ++it;
  }
  if (lo == 0 && hi == 0 ? true : (WM_PAINT >= lo && WM_PAINT <= hi)) {
    for (auto& [h, w] : S().windows) {
      if (!w->needs_paint || !IsWindowVisible(h)) continue;
      if (filter != nullptr && h != filter && !IsChildOf(filter, h)) continue;
      *msg = MSG{};
      msg->hwnd = h;
      msg->message = WM_PAINT;
      // Taking the paint message validates the window, so a handler that
      // does not paint cannot make a pump spin forever.
      if ((remove & PM_REMOVE) != 0) w->needs_paint = false;
      return true;
    }
  }
  return false;
}

}  // namespace

void PumpPending() {
  MSG msg;
  // A bound, so that handlers posting to themselves cannot hang the caller.
  for (int n = 0; n < 100000 && PeekInternal(&msg, nullptr, 0, 0, PM_REMOVE); ++n) {
    HWND top = TopLevelOf(msg.hwnd);
    Window* w = Find(top);
    if (w != nullptr && w->is_dialog && IsDialogMessageW(top, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void DropMessagesFor(HWND handle) {
  auto& q = S().queue;
  q.erase(std::remove_if(q.begin(), q.end(), [&](const MSG& m) { return m.hwnd == handle; }),
          q.end());
}

bool FontInfo(HFONT font, LOGFONTW& info) {
  auto it = S().fonts.find(font);
  if (it == S().fonts.end()) return false;
  info = it->second;
  return true;
}

void DialogBaseUnits(const std::wstring&, int point_size, int& base_x, int& base_y) {
  // The sans-serif dialog fonts measure 6 x 13 pixels at 8 points.
  if (point_size <= 0) point_size = 8;
  base_x = std::max(1, (point_size * 6 + 4) / 8);
  base_y = std::max(1, (point_size * 13 + 4) / 8);
}

void ReleaseCaptureOf(HWND handle) {
  if (S().capture == handle) S().capture = nullptr;
  if (S().focus == handle) S().focus = nullptr;
}

HCURSOR& CurrentCursor() { return S().cursor; }

HCURSOR ClassCursor(const std::wstring& class_name) {
  auto it = S().classes.find(Lower(class_name));
  return it != S().classes.end() ? it->second.cursor : nullptr;
}

void EraseRecord(HWND handle) { S().windows.erase(handle); }

}  // namespace gui::internal

using gui::internal::Find;
using gui::internal::Window;

// ---------------------------------------------------------------------------

LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return gui::internal::Deliver(window, message, wParam, lParam);
}

BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (window != nullptr && Find(window) == nullptr) return FALSE;
  MSG m;
  m.hwnd = window;
  m.message = message;
  m.wParam = wParam;
  m.lParam = lParam;
  gui::internal::S().queue.push_back(m);
  return TRUE;
}

namespace {
int g_idle_depth = 0;
}

BOOL PeekMessageW(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags) {
  if (msg == nullptr) return FALSE;
  gui::Backend* backend = gui::internal::CurrentBackend();
  if (backend != nullptr && g_idle_depth == 0) {
    ++g_idle_depth;
    backend->Idle();
    --g_idle_depth;
  }
  return gui::internal::PeekInternal(msg, window, filterMin, filterMax, removeFlags) ? TRUE : FALSE;
}

BOOL TranslateMessage(const MSG*) { return FALSE; }

LRESULT DispatchMessageW(const MSG* msg) {
  if (msg == nullptr || msg->hwnd == nullptr) return 0;
  return gui::internal::Deliver(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

BOOL IsDialogMessageW(HWND dialog, MSG* msg) {
  Window* d = Find(dialog);
  if (d == nullptr || msg == nullptr) return FALSE;
  if (msg->hwnd != dialog && !gui::internal::IsChildOf(dialog, msg->hwnd)) return FALSE;
  if (msg->message == WM_KEYDOWN && (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE)) {
    // Enter is OK and Esc is Cancel, whether or not the dialog has such a
    // button; a disabled button does not answer.
    int id = msg->wParam == VK_RETURN ? IDOK : IDCANCEL;
    HWND button = GetDlgItem(dialog, id);
    if (button != nullptr && !IsWindowEnabled(button)) return TRUE;
    gui::internal::Deliver(dialog, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), BN_CLICKED),
                           reinterpret_cast<LPARAM>(button));
    return TRUE;
  }
  gui::internal::Deliver(msg->hwnd, msg->message, msg->wParam, msg->lParam);
  return TRUE;
}

LRESULT DefWindowProcW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* w = Find(window);
  if (w == nullptr) return 0;
  LRESULT result = 0;
  if (gui::internal::ControlProc(*w, message, wParam, lParam, result)) return result;
  switch (message) {
    case WM_SETTEXT:
      w->text = lParam != 0 ? reinterpret_cast<LPCWSTR>(lParam) : L"";
      w->needs_paint = true;
      return TRUE;
    case WM_GETTEXT: {
      if (wParam == 0 || lParam == 0) return 0;
      auto* buffer = reinterpret_cast<LPWSTR>(lParam);
      size_t n = std::min<size_t>(w->text.size(), wParam - 1);
      w->text.copy(buffer, n);
      buffer[n] = L'\0';
      return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(w->text.size());
    case WM_SETFONT:
      w->font = reinterpret_cast<HFONT>(wParam);
      if (LOWORD(static_cast<std::uintptr_t>(lParam)) != 0) w->needs_paint = true;
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(w->font);
    case WM_PAINT:
      w->needs_paint = false;
      return 0;
    case WM_SETCURSOR: {
      HCURSOR c = gui::internal::ClassCursor(w->class_name);
      SetCursor(c != nullptr ? c : LoadCursorW(nullptr, IDC_ARROW));
      return TRUE;
    }
    case WM_CLOSE:
      if (w->is_dialog) {
        gui::internal::Deliver(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                               reinterpret_cast<LPARAM>(GetDlgItem(window, IDCANCEL)));
      } else {
        DestroyWindow(window);
      }
      return 0;
    default:
      return 0;
  }
}

BOOL IsWindow(HWND window) { return Find(window) != nullptr; }

BOOL DestroyWindow(HWND window) {
  Window* w = Find(window);
  if (w == nullptr || w->destroying) return FALSE;
  w->destroying = true;
  if (w->parent == nullptr && w->is_dialog && w->announced && !w->modal) {
    gui::internal::AnnounceClosed(window, w->result);
  }
  // Owned top-level windows go with their owner.
  for (HWND h : gui::internal::AllWindows()) {
    Window* other = Find(h);
    if (other != nullptr && other->owner == window && other->parent == nullptr) DestroyWindow(h);
  }
  gui::internal::Deliver(window, WM_DESTROY, 0, 0);
  w = Find(window);
  if (w == nullptr) return TRUE;
  std::vector<HWND> children = w->children;
  for (HWND child : children) DestroyWindow(child);
  w = Find(window);
  if (w == nullptr) return TRUE;
  if (gui::internal::S().capture == window) {
    gui::internal::S().capture = nullptr;
  }
  gui::internal::ReleaseCaptureOf(window);
  gui::internal::Deliver(window, WM_NCDESTROY, 0, 0);
  w = Find(window);
  if (w == nullptr) return TRUE;
  CWnd* object = w->object;
  w->object = nullptr;
  if (object != nullptr && object->m_hWnd == window) object->m_hWnd = nullptr;
  if (Window* parent = Find(w->parent)) {
    auto& c = parent->children;
    c.erase(std::remove(c.begin(), c.end(), window), c.end());
  }
  gui::internal::DropMessagesFor(window);
  gui::internal::ForgetTemporary(window);
  gui::internal::EraseRecord(window);
  if (object != nullptr) object->PostNcDestroy();
  return TRUE;
}

BOOL ShowWindow(HWND window, int command) {
  Window* w = Find(window);
  if (w == nullptr) return FALSE;
  bool was = (w->style & WS_VISIBLE) != 0;
  bool show = command != SW_HIDE;
  if (show == was) return was ? TRUE : FALSE;
  if (show) {
    w->style |= WS_VISIBLE;
    w->needs_paint = true;
  } else {
    w->style &= ~WS_VISIBLE;
  }
  gui::internal::Deliver(window, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
  w = Find(window);
  if (w != nullptr && show && w->parent == nullptr && w->is_dialog && !w->announced) {
    gui::internal::AnnounceShown(window);
  }
  return was ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND window) {
  Window* w = Find(window);
  if (w == nullptr) return FALSE;
  for (; w != nullptr; w = Find(w->parent)) {
    if ((w->style & WS_VISIBLE) == 0) return FALSE;
    if (w->parent == nullptr) break;
  }
  return TRUE;
}

BOOL EnableWindow(HWND window, BOOL enable) {
  Window* w = Find(window);
  if (w == nullptr) return FALSE;
  bool was_disabled = (w->style & WS_DISABLED) != 0;
  if (enable) {
    w->style &= ~WS_DISABLED;
  } else {
    w->style |= WS_DISABLED;
  }
  if (was_disabled == (enable != 0)) {
    w->needs_paint = true;
    gui::internal::Deliver(window, WM_ENABLE, enable ? TRUE : FALSE, 0);
  }
  return was_disabled ? TRUE : FALSE;
}

BOOL IsWindowEnabled(HWND window) {
  Window* w = Find(window);
  return w != nullptr && (w->style & WS_DISABLED) == 0 ? TRUE : FALSE;
}

BOOL SetWindowTextW(HWND window, LPCWSTR text) {
  if (Find(window) == nullptr) return FALSE;
  return SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : L"")) != 0
             ? TRUE
             : FALSE;
}

int GetWindowTextW(HWND window, LPWSTR buffer, int size) {
  if (buffer == nullptr || size <= 0) return 0;
  buffer[0] = L'\0';
  return static_cast<int>(SendMessageW(window, WM_GETTEXT, static_cast<WPARAM>(size),
                                       reinterpret_cast<LPARAM>(buffer)));
}

int GetWindowTextLengthW(HWND window) {
  return static_cast<int>(SendMessageW(window, WM_GETTEXTLENGTH, 0, 0));
}

HWND GetDlgItem(HWND dialog, int id) {
  Window* d = Find(dialog);
  if (d == nullptr) return nullptr;
  for (HWND child : d->children) {
    Window* c = Find(child);
    if (c != nullptr && c->id == id) return child;
  }
  return nullptr;
}

int GetDlgCtrlID(HWND window) {
  Window* w = Find(window);
  return w != nullptr ? w->id : 0;
}

HWND GetParent(HWND window) {
  Window* w = Find(window);
  if (w == nullptr) return nullptr;
  return w->parent != nullptr ? w->parent : w->owner;
}

BOOL GetWindowRect(HWND window, RECT* rect) {
  Window* w = Find(window);
  if (w == nullptr || rect == nullptr) return FALSE;
  if (w->parent == nullptr) {
    *rect = w->rect;
    return TRUE;
  }
  Window* parent = Find(w->parent);
  POINT o = parent != nullptr ? gui::internal::ClientOrigin(*parent) : POINT{};
  rect->left = w->rect.left + o.x;
  rect->top = w->rect.top + o.y;
  rect->right = w->rect.right + o.x;
  rect->bottom = w->rect.bottom + o.y;
  return TRUE;
}

BOOL GetClientRect(HWND window, RECT* rect) {
  Window* w = Find(window);
  if (w == nullptr || rect == nullptr) return FALSE;
  RECT r = gui::internal::ClientRectScreen(*w);
  rect->left = 0;
  rect->top = 0;
  rect->right = r.right - r.left;
  rect->bottom = r.bottom - r.top;
  return TRUE;
}

BOOL ScreenToClient(HWND window, POINT* point) {
  Window* w = Find(window);
  if (w == nullptr || point == nullptr) return FALSE;
  POINT o = gui::internal::ClientOrigin(*w);
  point->x -= o.x;
  point->y -= o.y;
  return TRUE;
}

BOOL ClientToScreen(HWND window, POINT* point) {
  Window* w = Find(window);
  if (w == nullptr || point == nullptr) return FALSE;
  POINT o = gui::internal::ClientOrigin(*w);
  point->x += o.x;
  point->y += o.y;
  return TRUE;
}

namespace {
HWND g_foreground = nullptr;
}  // namespace

BOOL SetForegroundWindow(HWND window) {
  if (Find(window) == nullptr) return FALSE;
  g_foreground = window;
  return TRUE;
}

HWND GetForegroundWindow() { return Find(g_foreground) != nullptr ? g_foreground : nullptr; }

BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
  Window* w = Find(window);
  if (w == nullptr) return FALSE;
  LONG width = w->rect.right - w->rect.left;
  LONG height = w->rect.bottom - w->rect.top;
  bool resized = false;
  if ((flags & SWP_NOMOVE) == 0) {
    w->rect.left = x;
    w->rect.top = y;
  }
  if ((flags & SWP_NOSIZE) == 0) {
    resized = cx != width || cy != height;
    width = std::max(0, cx);
    height = std::max(0, cy);
  }
  w->rect.right = w->rect.left + width;
  w->rect.bottom = w->rect.top + height;
  if ((flags & SWP_NOZORDER) == 0) {
    if (insertAfter == HWND_TOPMOST) w->ex_style |= WS_EX_TOPMOST;
    if (insertAfter == HWND_NOTOPMOST) w->ex_style &= ~WS_EX_TOPMOST;
  }
  if ((flags & SWP_NOREDRAW) == 0) w->needs_paint = true;
  if (resized) {
    RECT client;
    GetClientRect(window, &client);
    gui::internal::Deliver(
        window, WM_SIZE, 0,
        MAKELPARAM(static_cast<WORD>(client.right), static_cast<WORD>(client.bottom)));
  }
  if ((flags & SWP_SHOWWINDOW) != 0) ShowWindow(window, SW_SHOWNA);
  if ((flags & SWP_HIDEWINDOW) != 0) ShowWindow(window, SW_HIDE);
  return TRUE;
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint) {
  return SetWindowPos(window, nullptr, x, y, width, height,
                      SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

BOOL InvalidateRect(HWND window, const RECT*, BOOL) {
  Window* w = Find(window);
  if (w == nullptr) return FALSE;
  w->needs_paint = true;
  return TRUE;
}

BOOL UpdateWindow(HWND window) {
  Window* w = Find(window);
  if (w == nullptr) return FALSE;
  if (w->needs_paint && IsWindowVisible(window)) {
    w->needs_paint = false;
    gui::internal::Deliver(window, WM_PAINT, 0, 0);
  }
  return TRUE;
}

HWND SetFocus(HWND window) {
  HWND before = gui::internal::S().focus;
  if (window != nullptr && Find(window) == nullptr) return nullptr;
  if (before == window) return before;
  gui::internal::S().focus = window;
  if (before != nullptr) {
    gui::internal::Deliver(before, WM_KILLFOCUS, reinterpret_cast<WPARAM>(window), 0);
  }
  if (window != nullptr) {
    gui::internal::Deliver(window, WM_SETFOCUS, reinterpret_cast<WPARAM>(before), 0);
  }
  return before;
}

HWND GetFocus() { return gui::internal::S().focus; }

HWND SetCapture(HWND window) {
  HWND before = gui::internal::S().capture;
  if (Find(window) == nullptr) return before;
  gui::internal::S().capture = window;
  if (before != nullptr && before != window) {
    gui::internal::Deliver(before, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(window));
  }
  return before;
}

BOOL ReleaseCapture() {
  HWND before = gui::internal::S().capture;
  gui::internal::S().capture = nullptr;
  if (before != nullptr) gui::internal::Deliver(before, WM_CAPTURECHANGED, 0, 0);
  return TRUE;
}

HWND GetCapture() { return gui::internal::S().capture; }

ATOM RegisterClassW(const WNDCLASSW* windowClass) {
  if (windowClass == nullptr || windowClass->lpszClassName == nullptr ||
      windowClass->lpszClassName[0] == 0) {
    return 0;
  }
  std::wstring name = windowClass->lpszClassName;
  std::wstring key = gui::internal::Lower(name);
  if (gui::internal::IsBuiltIn(name) || gui::internal::S().classes.count(key) != 0) return 0;
  gui::internal::S().classes[key] = {name, windowClass->lpfnWndProc, windowClass->hCursor};
  return static_cast<ATOM>(0xC000 + gui::internal::S().classes.size());
}

BOOL GetClassInfoW(HINSTANCE, LPCWSTR className, WNDCLASSW* windowClass) {
  if (className == nullptr) return FALSE;
  auto it = gui::internal::S().classes.find(gui::internal::Lower(className));
  if (it == gui::internal::S().classes.end()) return gui::internal::IsBuiltIn(className);
  if (windowClass != nullptr) {
    *windowClass = WNDCLASSW{};
    windowClass->lpfnWndProc = it->second.proc;
    windowClass->hCursor = it->second.cursor;
    windowClass->lpszClassName = it->second.name.c_str();
  }
  return TRUE;
}

int GetClassNameW(HWND window, LPWSTR buffer, int size) {
  Window* w = Find(window);
  if (w == nullptr || buffer == nullptr || size <= 0) return 0;
  size_t n = std::min<size_t>(w->class_name.size(), static_cast<size_t>(size - 1));
  w->class_name.copy(buffer, n);
  buffer[n] = L'\0';
  return static_cast<int>(n);
}

HCURSOR LoadCursorW(HINSTANCE, LPCWSTR name) {
  auto id = reinterpret_cast<std::uintptr_t>(name);
  if (id != 32512 && id != 32649) return nullptr;
  // Stock cursors are shared handles, as on the system.
  return reinterpret_cast<HCURSOR>(0x30000 + id);
}

HCURSOR SetCursor(HCURSOR cursor) {
  HCURSOR before = gui::internal::CurrentCursor();
  gui::internal::CurrentCursor() = cursor;
  return before;
}

HCURSOR GetCursor() { return gui::internal::CurrentCursor(); }

DWORD GetSysColor(int index) {
  switch (index) {
    case COLOR_WINDOW:
      return RGB(255, 255, 255);
    case COLOR_WINDOWTEXT:
      return RGB(0, 0, 0);
    case COLOR_3DFACE:
      return RGB(240, 240, 240);
    default:
      return RGB(192, 192, 192);
  }
}

namespace {
LONG MulDivRound(LONG a, int b, int c) {
  long long p = static_cast<long long>(a) * b;
  return static_cast<LONG>(p >= 0 ? (p + c / 2) / c : -((-p + c / 2) / c));
}
}  // namespace

BOOL MapDialogRect(HWND dialog, RECT* rect) {
  Window* w = Find(dialog);
  if (w == nullptr || !w->is_dialog || rect == nullptr) return FALSE;
  rect->left = MulDivRound(rect->left, w->base_x, 4);
  rect->right = MulDivRound(rect->right, w->base_x, 4);
  rect->top = MulDivRound(rect->top, w->base_y, 8);
  rect->bottom = MulDivRound(rect->bottom, w->base_y, 8);
  return TRUE;
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check) {
  HWND button = GetDlgItem(dialog, id);
  if (button == nullptr) return FALSE;
  SendMessageW(button, BM_SETCHECK, check, 0);
  return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id) {
  HWND button = GetDlgItem(dialog, id);
  if (button == nullptr) return 0;
  return static_cast<UINT>(SendMessageW(button, BM_GETCHECK, 0, 0));
}

LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam) {
  HWND item = GetDlgItem(dialog, id);
  return item != nullptr ? SendMessageW(item, message, wParam, lParam) : 0;
}

HFONT CreateFontIndirectW(const LOGFONTW* font) {
  if (font == nullptr) return nullptr;
  auto handle = reinterpret_cast<HFONT>(gui::internal::S().next_font);
  gui::internal::S().next_font += 0x10;
  LOGFONTW copy = *font;
  copy.lfFaceName[LF_FACESIZE - 1] = L'\0';
  gui::internal::S().fonts[handle] = copy;
  return handle;
}

int GetObjectW(HFONT font, int size, void* buffer) {
  LOGFONTW info;
  if (!gui::internal::FontInfo(font, info)) return 0;
  if (buffer == nullptr) return static_cast<int>(sizeof(LOGFONTW));
  if (size < static_cast<int>(sizeof(LOGFONTW))) return 0;
  *static_cast<LOGFONTW*>(buffer) = info;
  return static_cast<int>(sizeof(LOGFONTW));
}

BOOL DeleteObject(HGDIOBJ object) {
  auto font = static_cast<HFONT>(object);
  if (gui::internal::S().fonts.erase(font) == 0) return FALSE;
  gui::internal::ForgetFontWrapper(font);
  return TRUE;
}
