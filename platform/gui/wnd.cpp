#include "platform/gui/wnd.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <set>

#include "platform/gui/model.h"
#include "platform/win/strings.h"

namespace gui::model {
namespace {

struct State {
  std::vector<std::unique_ptr<Window>> dialogs;
  std::uintptr_t next_handle = 0x10000;
  std::set<std::wstring> classes;  // lower case
  HWND focus = nullptr;
  HWND capture = nullptr;
  HCURSOR cursor = nullptr;
  // Wrappers FromHandle made for windows without an object of their own.
  std::map<HWND, std::unique_ptr<CWnd>> temporaries;
};

State& S() {
  static State s;
  return s;
}

HWND NextHandle() { return reinterpret_cast<HWND>(S().next_handle++); }

}  // namespace

RECT Border(const Window& w) {
  if (!w.is_dialog()) return {};
  const LONG frame = (w.style & DS_MODALFRAME) != 0 ? 3 : (w.style & WS_BORDER) != 0 ? 1 : 0;
  const LONG caption = (w.style & WS_CAPTION) == WS_CAPTION ? 22 : 0;
  return RECT{frame, frame + caption, frame, frame};
}

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

Window* Control(const Window& dialog, int id) {
  auto it = std::ranges::find(dialog.controls, id, [](const auto& c) { return c->id; });
  return it != dialog.controls.end() ? it->get() : nullptr;
}

std::vector<Window*> Group(const Window& member) {
  const auto& all = member.parent->controls;
  size_t first = 0;
  while (all[first].get() != &member) ++first;
  while (first > 0 && (all[first]->style & WS_GROUP) == 0) --first;
  std::vector<Window*> out{all[first].get()};
  for (size_t i = first + 1; i < all.size() && (all[i]->style & WS_GROUP) == 0; ++i)
    out.push_back(all[i].get());
  return out;
}

POINT ClientOrigin(const Window& w) {
  const RECT b = Border(w);
  const POINT base = w.is_dialog() ? POINT{0, 0} : ClientOrigin(*w.parent);
  return POINT{base.x + w.rect.left + b.left, base.y + w.rect.top + b.top};
}

RECT ClientRect(const Window& w) {
  const RECT b = Border(w);
  return RECT{0, 0, std::max<LONG>(0, w.rect.right - w.rect.left - b.left - b.right),
              std::max<LONG>(0, w.rect.bottom - w.rect.top - b.top - b.bottom)};
}

bool ClassExists(const std::wstring& name) { return S().classes.count(win::ToLower(name)) != 0; }

void SetFocus(HWND window) {
  if (Find(window) != nullptr) S().focus = window;
}

}  // namespace gui::model

using gui::model::Find;
using gui::model::S;

std::vector<HWND> gui::OpenDialogs() {
  std::vector<HWND> out;
  for (const auto& d : S().dialogs) {
    if (d->visible) out.push_back(d->hwnd);
  }
  return out;
}

using gui::model::Window;

// Every window of ours is in front as it is shown.
BOOL SetForegroundWindow(HWND window) { return Find(window) != nullptr; }

HCURSOR LoadCursorW(HINSTANCE, LPCWSTR name) {
  return reinterpret_cast<HCURSOR>(const_cast<wchar_t*>(name));
}

HCURSOR SetCursor(HCURSOR cursor) { return std::exchange(S().cursor, cursor); }

HCURSOR GetCursor() { return S().cursor; }

DWORD GetSysColor(int index) {
  return index == COLOR_WINDOWTEXT ? RGB(0, 0, 0)
         : index == COLOR_3DFACE   ? RGB(240, 240, 240)
                                   : RGB(128, 128, 128);
}

LRESULT DefWindowProcW(HWND, UINT, WPARAM, LPARAM) { return 0; }

namespace {

// The screen the windows are placed on.
constexpr int kScreenWidth = 1920, kScreenHeight = 1080;

const LOGFONTW* FontInfo(HFONT font) { return reinterpret_cast<const LOGFONTW*>(font); }

}  // namespace

void gui::Send(HWND window, UINT message, CPoint point, HWND other, UINT code, UINT id) {
  Window* w = Find(window);
  if (w == nullptr || w->object == nullptr) return;
  try {
    w->object->Handle(message, code, id, point, CWnd::FromHandle(other));
  } catch (CException* e) {
    e->ReportError(MB_OK | MB_ICONERROR);
    e->Delete();
  }
}

IMPLEMENT_DYNAMIC(CWnd, CObject)

BOOL CFont::CreateFontIndirect(const LOGFONTW* font) {
  if (font == nullptr) return FALSE;
  font_ = *font;
  m_hObject = reinterpret_cast<HFONT>(&font_);
  return TRUE;
}

int CFont::GetLogFont(LOGFONTW* font) const {
  if (m_hObject == nullptr || font == nullptr) return 0;
  *font = *FontInfo(m_hObject);
  return static_cast<int>(sizeof(LOGFONTW));
}

CPaintDC::CPaintDC(CWnd* window)
    : window_(window != nullptr ? window->m_hWnd : nullptr),
      text_color_(GetSysColor(COLOR_WINDOWTEXT)) {
  if (Window* w = Find(window_)) w->painted.clear();
}

BOOL CPaintDC::TextOut(int, int, const std::wstring& text) {
  Window* w = Find(window_);
  if (w == nullptr) return FALSE;
  HFONT font = font_ != nullptr ? font_->m_hObject : w->font;
  w->painted.push_back(gui::TextRun{text, text_color_, bk_color_,
                                    font != nullptr && FontInfo(font)->lfUnderline != 0});
  return TRUE;
}

const CWnd CWnd::wndTopMost{};

CWnd::~CWnd() {
  Window* w = Find(m_hWnd);
  if (w != nullptr && w->object == this) {
    // This object is half destroyed: the window's last messages go nowhere.
    w->object = nullptr;
    CWnd::DestroyWindow();
  }
}

CWnd* CWnd::FromHandle(HWND window) {
  if (window == nullptr) return nullptr;
  Window* w = Find(window);
  if (w != nullptr && w->object != nullptr) return w->object;
  std::unique_ptr<CWnd>& wrapper = S().temporaries[window];
  if (!wrapper) wrapper.reset(new CWnd(window));
  return wrapper.get();
}

BOOL CWnd::CreateEx(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style,
                    const RECT& rect, CWnd* parent, UINT id) {
  Window* dialog = parent != nullptr ? Find(parent->m_hWnd) : nullptr;
  if (m_hWnd != nullptr || className == nullptr || dialog == nullptr || !dialog->is_dialog() ||
      !gui::model::ClassExists(className)) {
    return FALSE;
  }
  Window* w = gui::model::NewControl(*dialog, static_cast<int>(id), gui::ControlKind::kCustom,
                                     windowName != nullptr ? windowName : L"", style, rect);
  w->class_name = className;
  w->object = this;
  m_hWnd = w->hwnd;
  UpdateWindow();
  return TRUE;
}

// Every object is detached before the window is forgotten.
BOOL CWnd::DestroyWindow() {
  Window* w = Find(m_hWnd);
  if (w == nullptr) return FALSE;
  std::vector<Window*> going{w};
  for (const auto& c : w->controls) going.push_back(c.get());
  for (Window* x : going) {
    if (S().capture == x->hwnd) S().capture = nullptr;
    if (x->object != nullptr) std::exchange(x->object, nullptr)->m_hWnd = nullptr;
    if (auto t = S().temporaries.find(x->hwnd); t != S().temporaries.end()) {
      t->second->m_hWnd = nullptr;
      S().temporaries.erase(t);
    }
  }
  auto& list = w->is_dialog() ? S().dialogs : w->parent->controls;
  std::erase_if(list, [&](const std::unique_ptr<Window>& x) { return x.get() == w; });
  if (Find(S().focus) == nullptr) S().focus = nullptr;
  return TRUE;
}

void CWnd::SetWindowText(const std::wstring& text) {
  Window* w = Find(m_hWnd);
  // A drop-down list shows only its items.
  if (w == nullptr || w->kind == gui::ControlKind::kComboBox) return;
  w->text = text;
  if (w->kind == gui::ControlKind::kEdit) gui::Command(w->parent->hwnd, w->id, EN_CHANGE);
  if (w->kind == gui::ControlKind::kCustom) UpdateWindow();
}

std::wstring CWnd::GetWindowText() const {
  Window* w = Find(m_hWnd);
  if (w == nullptr) return {};
  if (w->kind != gui::ControlKind::kComboBox) return w->text;
  return w->selection >= 0 ? w->items[static_cast<size_t>(w->selection)] : L"";
}

void CWnd::SetDlgItemText(int id, const std::wstring& text) {
  if (CWnd* c = GetDlgItem(id)) c->SetWindowText(text);
}

BOOL CWnd::EnableWindow(BOOL enable) {
  Window* w = Find(m_hWnd);
  return w != nullptr && !std::exchange(w->enabled, enable != 0);
}

BOOL CWnd::ShowWindow(int command) {
  Window* w = Find(m_hWnd);
  return w != nullptr && std::exchange(w->visible, command != SW_HIDE);
}

BOOL CWnd::IsWindowVisible() const {
  Window* w = Find(m_hWnd);
  return w != nullptr && w->visible && (w->parent == nullptr || w->parent->visible);
}

CWnd* CWnd::GetDlgItem(int id) const {
  Window* d = Find(m_hWnd);
  Window* c = d != nullptr ? gui::model::Control(*d, id) : nullptr;
  return c != nullptr ? FromHandle(c->hwnd) : nullptr;
}

CWnd* CWnd::GetParent() const {
  Window* w = Find(m_hWnd);
  if (w == nullptr) return nullptr;
  return FromHandle(w->parent != nullptr ? w->parent->hwnd : w->owner);
}

void CWnd::GetWindowRect(RECT* rect) const {
  Window* w = Find(m_hWnd);
  if (w == nullptr) return;
  POINT o = w->is_dialog() ? POINT{0, 0} : gui::model::ClientOrigin(*w->parent);
  *rect = RECT{o.x + w->rect.left, o.y + w->rect.top, o.x + w->rect.right, o.y + w->rect.bottom};
}

void CWnd::GetClientRect(RECT* rect) const {
  if (Window* w = Find(m_hWnd)) *rect = gui::model::ClientRect(*w);
}

void CWnd::ScreenToClient(RECT* rect) const {
  Window* w = Find(m_hWnd);
  if (w == nullptr) return;
  const POINT o = gui::model::ClientOrigin(*w);
  *rect = RECT{rect->left - o.x, rect->top - o.y, rect->right - o.x, rect->bottom - o.y};
}

BOOL CWnd::SetWindowPos(const CWnd* insertAfter, int x, int y, int cx, int cy, UINT flags) {
  Window* w = Find(m_hWnd);
  if (w == nullptr) return FALSE;
  LONG width = w->rect.right - w->rect.left;
  LONG height = w->rect.bottom - w->rect.top;
  if ((flags & SWP_NOMOVE) == 0) w->rect.left = x, w->rect.top = y;
  if ((flags & SWP_NOSIZE) == 0) width = std::max(0, cx), height = std::max(0, cy);
  w->rect.right = w->rect.left + width;
  w->rect.bottom = w->rect.top + height;
  if ((flags & SWP_NOZORDER) == 0 && insertAfter == &wndTopMost) w->topmost = true;
  return TRUE;
}

void CWnd::CenterWindow() {
  Window* w = Find(m_hWnd);
  if (w == nullptr || !w->is_dialog()) return;
  RECT area{0, 0, kScreenWidth, kScreenHeight};
  Window* owner = Find(w->owner);
  if (owner != nullptr && owner->visible) area = owner->rect;
  const int cx = w->rect.right - w->rect.left;
  const int cy = w->rect.bottom - w->rect.top;
  const int x = area.left + (area.right - area.left - cx) / 2;
  const int y = area.top + (area.bottom - area.top - cy) / 2;
  SetWindowPos(nullptr, std::clamp(x, 0, std::max(0, kScreenWidth - cx)),
               std::clamp(y, 0, std::max(0, kScreenHeight - cy)), 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

void CWnd::SetFont(CFont* font) {
  Window* w = Find(m_hWnd);
  if (w == nullptr) return;
  w->font = font != nullptr ? font->m_hObject : nullptr;
  UpdateWindow();
}

CFont* CWnd::GetFont() const {
  Window* w = Find(m_hWnd);
  if (w == nullptr || w->font == nullptr) return nullptr;
  font_.m_hObject = w->font;
  return &font_;
}

int CWnd::MessageBox(LPCWSTR text, LPCWSTR caption, UINT type) {
  return ::MessageBoxW(m_hWnd, text, caption != nullptr ? caption : AfxGetAppName(), type);
}

BOOL AfxRegisterClass(WNDCLASSW* windowClass) {
  if (windowClass == nullptr || windowClass->lpszClassName == nullptr) return FALSE;
  S().classes.insert(win::ToLower(windowClass->lpszClassName));
  return TRUE;
}

void CWnd::UpdateWindow() {
  Window* w = Find(m_hWnd);
  if (w != nullptr && w->kind == gui::ControlKind::kCustom) gui::Send(m_hWnd, WM_PAINT);
}

CWnd* CWnd::SetCapture() {
  HWND before = S().capture;
  if (Find(m_hWnd) == nullptr) return FromHandle(before);
  S().capture = m_hWnd;
  if (before != nullptr && before != m_hWnd) gui::Send(before, WM_CAPTURECHANGED, {}, m_hWnd);
  return FromHandle(before);
}

CWnd* CWnd::GetFocus() { return Find(S().focus) != nullptr ? FromHandle(S().focus) : nullptr; }

BOOL ReleaseCapture() {
  HWND before = std::exchange(S().capture, nullptr);
  if (before != nullptr) gui::Send(before, WM_CAPTURECHANGED);
  return TRUE;
}

HWND GetCapture() { return Find(S().capture) != nullptr ? S().capture : nullptr; }
