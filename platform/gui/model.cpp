#include "platform/gui/model.h"

#include <algorithm>
#include <cstdint>
#include <set>

#include "platform/win/strings.h"

namespace gui::model {
namespace {

constexpr int kCaptionHeight = 22;
constexpr int kFrameWidth = 3;

struct State {
  std::vector<std::unique_ptr<Window>> dialogs;
  std::uintptr_t next_handle = 0x10000;
  std::set<std::wstring> classes;  // lower case
  HWND focus = nullptr;
  HCURSOR cursor = nullptr;
};

State& S() {
  static State s;
  return s;
}

HWND NextHandle() { return reinterpret_cast<HWND>(S().next_handle++); }

int FrameOf(const Window& w) {
  if (!w.is_dialog()) return 0;
  if ((w.style & (WS_DLGFRAME | WS_THICKFRAME | DS_MODALFRAME)) != 0) return kFrameWidth;
  return (w.style & WS_BORDER) != 0 ? 1 : 0;
}

int CaptionOf(const Window& w) {
  return w.is_dialog() && (w.style & WS_CAPTION) == WS_CAPTION ? kCaptionHeight : 0;
}

// Rounded as MulDiv rounds.
LONG Scale(LONG value, int numerator, int denominator) {
  const long long n = static_cast<long long>(value) * numerator;
  return static_cast<LONG>(n >= 0 ? (n + denominator / 2) / denominator
                                  : -((-n + denominator / 2) / denominator));
}

}  // namespace

Window* Find(HWND handle) {
  if (handle == nullptr) return nullptr;
  for (const auto& d : S().dialogs) {
    if (d->handle == handle) return d.get();
    for (const auto& c : d->controls) {
      if (c->handle == handle) return c.get();
    }
  }
  return nullptr;
}

Window* NewDialog(const std::wstring& title, DWORD style, HWND owner) {
  auto d = std::make_unique<Window>();
  d->handle = NextHandle();
  d->text = title;
  d->style = style;
  d->owner = owner;
  S().dialogs.push_back(std::move(d));
  return S().dialogs.back().get();
}

Window* NewControl(Window& dialog, int id, ControlKind kind, const std::wstring& text, DWORD style,
                   const RECT& rect) {
  auto c = std::make_unique<Window>();
  c->handle = NextHandle();
  c->parent = &dialog;
  c->id = id;
  c->kind = kind;
  c->text = text;
  c->style = style;
  c->visible = (style & WS_VISIBLE) != 0;
  c->enabled = (style & WS_DISABLED) == 0;
  c->rect = rect;
  c->font = dialog.font;
  dialog.controls.push_back(std::move(c));
  return dialog.controls.back().get();
}

void Remove(Window& window) {
  if (S().focus == window.handle) S().focus = nullptr;
  auto& list = window.is_dialog() ? S().dialogs : window.parent->controls;
  if (window.is_dialog()) {
    for (const auto& c : window.controls) {
      if (S().focus == c->handle) S().focus = nullptr;
    }
  }
  std::erase_if(list, [&](const std::unique_ptr<Window>& w) { return w.get() == &window; });
}

std::vector<Window*> Dialogs() {
  std::vector<Window*> out;
  for (const auto& d : S().dialogs) out.push_back(d.get());
  return out;
}

Window* Control(const Window& dialog, int id) {
  for (const auto& c : dialog.controls) {
    if (c->id == id) return c.get();
  }
  return nullptr;
}

POINT ClientOrigin(const Window& w) {
  if (w.is_dialog()) {
    return POINT{w.rect.left + FrameOf(w), w.rect.top + FrameOf(w) + CaptionOf(w)};
  }
  POINT base = ClientOrigin(*w.parent);
  return POINT{base.x + w.rect.left, base.y + w.rect.top};
}

RECT ClientRect(const Window& w) {
  const int frame = FrameOf(w);
  return RECT{0, 0, std::max<LONG>(0, w.rect.right - w.rect.left - 2 * frame),
              std::max<LONG>(0, w.rect.bottom - w.rect.top - 2 * frame - CaptionOf(w))};
}

SIZE WindowSize(const Window& dialog, int cx, int cy) {
  return SIZE{cx + 2 * FrameOf(dialog), cy + 2 * FrameOf(dialog) + CaptionOf(dialog)};
}

bool RegisterClass(const std::wstring& name) {
  return S().classes.insert(win::ToLower(name)).second;
}

bool ClassExists(const std::wstring& name) { return S().classes.count(win::ToLower(name)) != 0; }

}  // namespace gui::model

using gui::model::Find;
using gui::model::Window;

BOOL IsWindow(HWND window) { return Find(window) != nullptr; }

BOOL ShowWindow(HWND window, int command) {
  Window* w = Find(window);
  if (w == nullptr) return FALSE;
  const BOOL before = w->visible;
  w->visible = command != SW_HIDE;
  return before;
}

BOOL IsWindowVisible(HWND window) {
  Window* w = Find(window);
  return w != nullptr && w->visible && (w->parent == nullptr || w->parent->visible);
}

BOOL EnableWindow(HWND window, BOOL enable) {
  Window* w = Find(window);
  if (w == nullptr) return FALSE;
  const BOOL was_disabled = !w->enabled;
  w->enabled = enable != 0;
  return was_disabled;
}

BOOL IsWindowEnabled(HWND window) {
  Window* w = Find(window);
  return w != nullptr && w->enabled;
}

HWND GetDlgItem(HWND dialog, int id) {
  Window* d = Find(dialog);
  Window* c = d != nullptr ? gui::model::Control(*d, id) : nullptr;
  return c != nullptr ? c->handle : nullptr;
}

HWND GetParent(HWND window) {
  Window* w = Find(window);
  if (w == nullptr) return nullptr;
  return w->parent != nullptr ? w->parent->handle : w->owner;
}

BOOL GetWindowRect(HWND window, RECT* rect) {
  Window* w = Find(window);
  if (w == nullptr || rect == nullptr) return FALSE;
  POINT o = w->is_dialog() ? POINT{0, 0} : gui::model::ClientOrigin(*w->parent);
  *rect = RECT{o.x + w->rect.left, o.y + w->rect.top, o.x + w->rect.right, o.y + w->rect.bottom};
  return TRUE;
}

BOOL GetClientRect(HWND window, RECT* rect) {
  Window* w = Find(window);
  if (w == nullptr || rect == nullptr) return FALSE;
  *rect = gui::model::ClientRect(*w);
  return TRUE;
}

BOOL ScreenToClient(HWND window, POINT* point) {
  Window* w = Find(window);
  if (w == nullptr || point == nullptr) return FALSE;
  POINT o = gui::model::ClientOrigin(*w);
  point->x -= o.x;
  point->y -= o.y;
  return TRUE;
}

BOOL ClientToScreen(HWND window, POINT* point) {
  Window* w = Find(window);
  if (w == nullptr || point == nullptr) return FALSE;
  POINT o = gui::model::ClientOrigin(*w);
  point->x += o.x;
  point->y += o.y;
  return TRUE;
}

BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
  Window* w = Find(window);
  if (w == nullptr) return FALSE;
  LONG width = w->rect.right - w->rect.left;
  LONG height = w->rect.bottom - w->rect.top;
  if ((flags & SWP_NOMOVE) == 0) {
    w->rect.left = x;
    w->rect.top = y;
  }
  if ((flags & SWP_NOSIZE) == 0) {
    width = std::max(0, cx);
    height = std::max(0, cy);
  }
  w->rect.right = w->rect.left + width;
  w->rect.bottom = w->rect.top + height;
  if ((flags & SWP_NOZORDER) == 0) {
    if (insertAfter == HWND_TOPMOST) w->topmost = true;
    if (insertAfter == HWND_NOTOPMOST) w->topmost = false;
  }
  if ((flags & SWP_SHOWWINDOW) != 0) w->visible = true;
  if ((flags & SWP_HIDEWINDOW) != 0) w->visible = false;
  return TRUE;
}

// Every window of ours is in front as it is shown.
BOOL SetForegroundWindow(HWND window) { return Find(window) != nullptr; }

HWND SetFocus(HWND window) {
  HWND before = GetFocus();
  if (Find(window) != nullptr) gui::model::S().focus = window;
  return before;
}

HWND GetFocus() {
  HWND h = gui::model::S().focus;
  return Find(h) != nullptr ? h : nullptr;
}

ATOM RegisterClassW(const WNDCLASSW* windowClass) {
  if (windowClass == nullptr || windowClass->lpszClassName == nullptr) return 0;
  return gui::model::RegisterClass(windowClass->lpszClassName) ? 1 : 0;
}

HCURSOR LoadCursorW(HINSTANCE, LPCWSTR name) {
  // The system cursors are named by small numbers; their handles are those.
  return reinterpret_cast<HCURSOR>(const_cast<wchar_t*>(name));
}

HCURSOR SetCursor(HCURSOR cursor) {
  HCURSOR before = gui::model::S().cursor;
  gui::model::S().cursor = cursor;
  return before;
}

HCURSOR GetCursor() { return gui::model::S().cursor; }

DWORD GetSysColor(int index) {
  switch (index) {
    case COLOR_WINDOW:
      return RGB(255, 255, 255);
    case COLOR_WINDOWTEXT:
      return RGB(0, 0, 0);
    case COLOR_3DFACE:
      return RGB(240, 240, 240);
    default:
      return RGB(128, 128, 128);
  }
}

BOOL MapDialogRect(HWND dialog, RECT* rect) {
  Window* d = Find(dialog);
  if (d == nullptr || !d->is_dialog() || rect == nullptr) return FALSE;
  rect->left = gui::model::Scale(rect->left, d->base_x, 4);
  rect->right = gui::model::Scale(rect->right, d->base_x, 4);
  rect->top = gui::model::Scale(rect->top, d->base_y, 8);
  rect->bottom = gui::model::Scale(rect->bottom, d->base_y, 8);
  return TRUE;
}

LRESULT DefWindowProcW(HWND, UINT, WPARAM, LPARAM) { return 0; }
