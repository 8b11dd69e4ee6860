#include "platform/gui/wnd.h"

#include <algorithm>
#include <map>
#include <memory>

#include "platform/gui/model.h"

using gui::model::Find;
using gui::model::Window;

namespace {

// Wrappers FromHandle made for windows without an object of their own.
std::map<HWND, std::unique_ptr<CWnd>>& Temporaries() {
  static std::map<HWND, std::unique_ptr<CWnd>> map;
  return map;
}

HWND g_capture = nullptr;

const LOGFONTW* FontInfo(HFONT font) { return reinterpret_cast<const LOGFONTW*>(font); }

template <typename Call>
void Guarded(Call call) {
  try {
    call();
  } catch (CException* e) {
    e->ReportError(MB_OK | MB_ICONERROR);
    e->Delete();
  }
}

}  // namespace

void gui::Send(HWND window, UINT message, CPoint point, HWND other) {
  Window* w = Find(window);
  if (w != nullptr && w->object != nullptr)
    Guarded([&] { w->object->Dispatch(message, point, other); });
}

void gui::Command(HWND dialog, int id, WORD code) {
  Window* w = Find(dialog);
  if (w != nullptr && w->object != nullptr) {
    Guarded([&] { w->object->OnCmdMsg(static_cast<WORD>(id), code); });
  }
}

// ---------------------------------------------------------------------------
// Command targets.

IMPLEMENT_DYNAMIC(CCmdTarget, CObject)

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap() {
  static const AFX_MSGMAP_ENTRY kEntries[] = {{0, 0, 0, 0, AfxSig_end, nullptr}};
  static const AFX_MSGMAP kMap = {nullptr, &kEntries[0]};
  return &kMap;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const { return GetThisMessageMap(); }

const AFX_MSGMAP_ENTRY* CCmdTarget::FindEntry(UINT message, UINT code, UINT id) const {
  for (const AFX_MSGMAP* map = GetMessageMap(); map != nullptr;
       map = map->pfnGetBaseMap != nullptr ? map->pfnGetBaseMap() : nullptr) {
    for (const AFX_MSGMAP_ENTRY* e = map->lpEntries; e->nSig != AfxSig_end; ++e) {
      if (e->nMessage == message &&
          (message != WM_COMMAND || (e->nCode == code && id >= e->nID && id <= e->nLastID))) {
        return e;
      }
    }
  }
  return nullptr;
}

BOOL CCmdTarget::OnCmdMsg(UINT id, int code) {
  const AFX_MSGMAP_ENTRY* e = FindEntry(WM_COMMAND, static_cast<UINT>(code), id);
  if (e == nullptr) return FALSE;
  (this->*(e->pfn))();
  return TRUE;
}

// ---------------------------------------------------------------------------
// Fonts and painting.

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

BOOL CPaintDC::TextOut(int x, int y, const std::wstring& text) {
  Window* w = Find(window_);
  if (w == nullptr) return FALSE;
  HFONT font = font_ != nullptr ? font_->m_hObject : w->font;
  w->painted.push_back(gui::TextRun{text, x, y, text_color_, bk_color_,
                                    font != nullptr ? FontInfo(font)->lfFaceName : L"MS Sans Serif",
                                    font != nullptr && FontInfo(font)->lfUnderline != 0});
  return TRUE;
}

// ---------------------------------------------------------------------------
// CWnd.

IMPLEMENT_DYNAMIC(CWnd, CCmdTarget)

BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
END_MESSAGE_MAP()

const CWnd CWnd::wndTopMost(HWND_TOPMOST);

CWnd::~CWnd() {
  Window* w = Find(m_hWnd);
  if (w != nullptr && w->object == this) {
    // This object is half destroyed: the window's last messages go nowhere.
    w->object = nullptr;
    ::DestroyWindow(m_hWnd);
  }
}

CWnd* CWnd::FromHandle(HWND window) {
  if (window == nullptr) return nullptr;
  Window* w = Find(window);
  if (w != nullptr && w->object != nullptr) return w->object;
  std::unique_ptr<CWnd>& wrapper = Temporaries()[window];
  if (!wrapper) wrapper.reset(new CWnd(window));
  return wrapper.get();
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent) {
  if (parent == nullptr || m_hWnd != nullptr) return FALSE;
  Window* w = Find(::GetDlgItem(parent->m_hWnd, static_cast<int>(id)));
  if (w == nullptr || w->object != nullptr) return FALSE;
  w->object = this;
  m_hWnd = w->hwnd;
  return TRUE;
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
  w->ex_style = exStyle;
  w->object = this;
  m_hWnd = w->hwnd;
  UpdateWindow();
  return TRUE;
}

BOOL CWnd::DestroyWindow() { return m_hWnd != nullptr && ::DestroyWindow(m_hWnd); }

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

void CWnd::ScreenToClient(RECT* rect) const {
  POINT a{rect->left, rect->top};
  POINT b{rect->right, rect->bottom};
  ::ScreenToClient(m_hWnd, &a);
  ::ScreenToClient(m_hWnd, &b);
  *rect = RECT{a.x, a.y, b.x, b.y};
}

void CWnd::CenterWindow() {
  Window* w = Find(m_hWnd);
  if (w == nullptr || !w->is_dialog()) return;
  RECT area{0, 0, gui::model::kScreenWidth, gui::model::kScreenHeight};
  RECT owner_rect;
  if (::IsWindowVisible(w->owner) && ::GetWindowRect(w->owner, &owner_rect)) area = owner_rect;
  const int cx = w->rect.right - w->rect.left;
  const int cy = w->rect.bottom - w->rect.top;
  const int x = area.left + (area.right - area.left - cx) / 2;
  const int y = area.top + (area.bottom - area.top - cy) / 2;
  ::SetWindowPos(m_hWnd, nullptr, std::clamp(x, 0, std::max(0, gui::model::kScreenWidth - cx)),
                 std::clamp(y, 0, std::max(0, gui::model::kScreenHeight - cy)), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER);
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

void CWnd::Dispatch(UINT message, CPoint point, HWND other) {
  const AFX_MSGMAP_ENTRY* e = FindEntry(message, 0, 0);
  if (e == nullptr || message == WM_COMMAND) return;
  // Each handler goes back to the type it was stored from: the map macros
  // pair the signature with the handler.
  using afx_detail::FromPmsg;
  switch (e->nSig) {
    case AfxSig_vv:
      (this->*FromPmsg<void (CWnd::*)()>(e->pfn))();
      break;
    case AfxSig_vwp:
      (this->*FromPmsg<void (CWnd::*)(UINT, CPoint)>(e->pfn))(0, point);
      break;
    case AfxSig_bWww:
      (this->*FromPmsg<BOOL (CWnd::*)(CWnd*, UINT, UINT)>(e->pfn))(FromHandle(other), 1,
                                                                   WM_MOUSEMOVE);
      break;
    case AfxSig_vW:
      (this->*FromPmsg<void (CWnd::*)(CWnd*)>(e->pfn))(FromHandle(other));
      break;
    default:
      break;
  }
}

BOOL AfxRegisterClass(WNDCLASSW* windowClass) {
  if (windowClass == nullptr || windowClass->lpszClassName == nullptr) return FALSE;
  return gui::model::ClassExists(windowClass->lpszClassName) || RegisterClassW(windowClass) != 0;
}

// ---------------------------------------------------------------------------
// The calls that reach a window's object.

BOOL DestroyWindow(HWND window) {
  Window* w = Find(window);
  if (w == nullptr) return FALSE;
  std::vector<Window*> going{w};
  for (const auto& c : w->controls) going.push_back(c.get());
  // Every object is detached before the window is forgotten.
  for (Window* x : going) {
    if (g_capture == x->hwnd) g_capture = nullptr;
    if (x->object != nullptr) std::exchange(x->object, nullptr)->m_hWnd = nullptr;
    if (auto t = Temporaries().find(x->hwnd); t != Temporaries().end()) {
      t->second->m_hWnd = nullptr;
      Temporaries().erase(t);
    }
  }
  gui::model::Remove(*w);
  return TRUE;
}

BOOL UpdateWindow(HWND window) {
  Window* w = Find(window);
  if (w == nullptr) return FALSE;
  if (w->kind == gui::ControlKind::kCustom) gui::Send(window, WM_PAINT);
  return TRUE;
}

HWND SetCapture(HWND window) {
  HWND before = g_capture;
  if (Find(window) == nullptr) return before;
  g_capture = window;
  if (before != nullptr && before != window) gui::Send(before, WM_CAPTURECHANGED, {}, window);
  return before;
}

BOOL ReleaseCapture() {
  HWND before = std::exchange(g_capture, nullptr);
  if (before != nullptr) gui::Send(before, WM_CAPTURECHANGED);
  return TRUE;
}

HWND GetCapture() { return Find(g_capture) != nullptr ? g_capture : nullptr; }
