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

HWND Focus() { return Find(S().focus) != nullptr ? S().focus : nullptr; }

RECT Pixels(const Window& d, RECT r) {
  return RECT{Scale(r.left, d.base_x, 4), Scale(r.top, d.base_y, 8), Scale(r.right, d.base_x, 4),
              Scale(r.bottom, d.base_y, 8)};
}

}  // namespace gui::model

using gui::model::Find;
using gui::model::Window;

// Every window of ours is in front as it is shown.
BOOL SetForegroundWindow(HWND window) { return Find(window) != nullptr; }

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

LRESULT DefWindowProcW(HWND, UINT, WPARAM, LPARAM) { return 0; }
