#include "platform/gui/model.h"

#include <algorithm>
#include <cstdint>
#include <set>

#include "platform/win/strings.h"

namespace gui::model {
namespace {

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
  return (w.style & DS_MODALFRAME) != 0 ? 3 : (w.style & WS_BORDER) != 0 ? 1 : 0;
}

int CaptionOf(const Window& w) {
  return w.is_dialog() && (w.style & WS_CAPTION) == WS_CAPTION ? 22 : 0;
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
    if (d->hwnd == handle) return d.get();
    for (const auto& c : d->controls) {
      if (c->hwnd == handle) return c.get();
    }
  }
  return nullptr;
}

Window* NewDialog(const DialogTemplate& t, HWND owner) {
  auto d = std::make_unique<Window>();
  d->hwnd = NextHandle();
  d->text = t.title;
  d->style = t.style & ~WS_VISIBLE;
  d->visible = false;
  d->owner = owner;
  d->dialog_template = &t;
  S().dialogs.push_back(std::move(d));
  return S().dialogs.back().get();
}

Window* NewControl(Window& dialog, int id, ControlKind kind, const std::wstring& text, DWORD style,
                   const RECT& rect) {
  auto c = std::make_unique<Window>();
  c->hwnd = NextHandle();
  c->parent = &dialog;
  c->id = id;
  c->kind = kind;
  c->text = text;
  c->style = style;
  c->visible = (style & WS_VISIBLE) != 0;
  c->rect = rect;
  c->font = dialog.font;
  dialog.controls.push_back(std::move(c));
  return dialog.controls.back().get();
}

void Remove(Window& window) {
  auto& list = window.is_dialog() ? S().dialogs : window.parent->controls;
  std::erase_if(list, [&](const std::unique_ptr<Window>& w) { return w.get() == &window; });
  if (Find(S().focus) == nullptr) S().focus = nullptr;
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

POINT WindowSize(const Window& dialog, int cx, int cy) {
  return POINT{cx + 2 * FrameOf(dialog), cy + 2 * FrameOf(dialog) + CaptionOf(dialog)};
}

bool ClassExists(const std::wstring& name) { return S().classes.count(win::ToLower(name)) != 0; }

void SetFocus(HWND window) {
  if (Find(window) != nullptr) S().focus = window;
}

}  // namespace gui::model

using gui::model::Find;
using gui::model::Window;

BOOL IsWindow(HWND window) { return Find(window) != nullptr; }

BOOL ShowWindow(HWND window, int command) {
  Window* w = Find(window);
  return w != nullptr && std::exchange(w->visible, command != SW_HIDE);
}

BOOL IsWindowVisible(HWND window) {
  Window* w = Find(window);
  return w != nullptr && w->visible && (w->parent == nullptr || w->parent->visible);
}

BOOL EnableWindow(HWND window, BOOL enable) {
  Window* w = Find(window);
  return w != nullptr && !std::exchange(w->enabled, enable != 0);
}

BOOL IsWindowEnabled(HWND window) {
  Window* w = Find(window);
  return w != nullptr && w->enabled;
}

HWND GetDlgItem(HWND dialog, int id) {
  Window* d = Find(dialog);
  Window* c = d != nullptr ? gui::model::Control(*d, id) : nullptr;
  return c != nullptr ? c->hwnd : nullptr;
}

HWND GetParent(HWND window) {
  Window* w = Find(window);
  if (w == nullptr) return nullptr;
  return w->parent != nullptr ? w->parent->hwnd : w->owner;
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

namespace {
BOOL MoveByOrigin(HWND window, POINT* point, int sign) {
  Window* w = Find(window);
  if (w == nullptr || point == nullptr) return FALSE;
  POINT o = gui::model::ClientOrigin(*w);
  point->x += sign * o.x;
  point->y += sign * o.y;
  return TRUE;
}
}  // namespace

BOOL ScreenToClient(HWND window, POINT* point) { return MoveByOrigin(window, point, -1); }
BOOL ClientToScreen(HWND window, POINT* point) { return MoveByOrigin(window, point, 1); }

BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
  Window* w = Find(window);
  if (w == nullptr) return FALSE;
  LONG width = w->rect.right - w->rect.left;
  LONG height = w->rect.bottom - w->rect.top;
  if ((flags & SWP_NOMOVE) == 0) w->rect.left = x, w->rect.top = y;
  if ((flags & SWP_NOSIZE) == 0) width = std::max(0, cx), height = std::max(0, cy);
  w->rect.right = w->rect.left + width;
  w->rect.bottom = w->rect.top + height;
  if ((flags & SWP_NOZORDER) == 0 && insertAfter == HWND_TOPMOST) w->topmost = true;
  return TRUE;
}

// Every window of ours is in front as it is shown.
BOOL SetForegroundWindow(HWND window) { return Find(window) != nullptr; }

HWND GetFocus() {
  HWND h = gui::model::S().focus;
  return Find(h) != nullptr ? h : nullptr;
}

ATOM RegisterClassW(const WNDCLASSW* windowClass) {
  if (windowClass == nullptr || windowClass->lpszClassName == nullptr) return 0;
  return gui::model::S().classes.insert(win::ToLower(windowClass->lpszClassName)).second ? 1 : 0;
}

HCURSOR LoadCursorW(HINSTANCE, LPCWSTR name) {
  return reinterpret_cast<HCURSOR>(const_cast<wchar_t*>(name));
}

HCURSOR SetCursor(HCURSOR cursor) { return std::exchange(gui::model::S().cursor, cursor); }

HCURSOR GetCursor() { return gui::model::S().cursor; }

DWORD GetSysColor(int index) {
  switch (index) {
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
