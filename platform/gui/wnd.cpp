#include "platform/gui/wnd.h"

#include <algorithm>
#include <cwchar>
#include <map>
#include <memory>

#include "platform/gui/model.h"

using gui::model::Find;

namespace {

// Wrappers FromHandle made for windows without an object of their own.
std::map<HWND, std::unique_ptr<CWnd>>& Temporaries() {
  static std::map<HWND, std::unique_ptr<CWnd>> map;
  return map;
}

HWND g_capture = nullptr;

const LOGFONTW* FontInfo(HFONT font) { return reinterpret_cast<const LOGFONTW*>(font); }

}  // namespace

LRESULT gui::Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  gui::model::Window* w = Find(window);
  if (w == nullptr || w->object == nullptr) return 0;
  try {
    return w->object->WindowProc(message, wParam, lParam);
  } catch (CException* e) {
    e->ReportError(MB_OK | MB_ICONERROR);
    e->Delete();
    return 0;
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

BOOL CCmdTarget::OnCmdMsg(UINT id, int code) {
  for (const AFX_MSGMAP* map = GetMessageMap(); map != nullptr;
       map = map->pfnGetBaseMap != nullptr ? map->pfnGetBaseMap() : nullptr) {
    for (const AFX_MSGMAP_ENTRY* e = map->lpEntries; e->nSig != AfxSig_end; ++e) {
      if (e->nMessage == WM_COMMAND && e->nCode == static_cast<UINT>(code) && id >= e->nID &&
          id <= e->nLastID) {
        (this->*(e->pfn))();
        return TRUE;
      }
    }
  }
  return FALSE;
}

const AFX_MSGMAP_ENTRY* CCmdTarget::FindMessageEntry(UINT message) const {
  for (const AFX_MSGMAP* map = GetMessageMap(); map != nullptr;
       map = map->pfnGetBaseMap != nullptr ? map->pfnGetBaseMap() : nullptr) {
    for (const AFX_MSGMAP_ENTRY* e = map->lpEntries; e->nSig != AfxSig_end; ++e) {
      if (e->nMessage == message && message != WM_COMMAND) return e;
    }
  }
  return nullptr;
}

// ---------------------------------------------------------------------------
// Fonts and painting.

CFont::~CFont() { DeleteObject(); }

BOOL CFont::CreateFontIndirect(const LOGFONTW* font) {
  DeleteObject();
  if (font == nullptr) return FALSE;
  m_hObject = reinterpret_cast<HFONT>(new LOGFONTW(*font));
  owned_ = true;
  return TRUE;
}

BOOL CFont::CreatePointFont(int pointSize, LPCWSTR faceName) {
  LOGFONTW lf;
  lf.lfHeight = -((pointSize * 96 + 360) / 720);
  if (faceName != nullptr) std::wcsncpy(lf.lfFaceName, faceName, LF_FACESIZE - 1);
  return CreateFontIndirect(&lf);
}

int CFont::GetLogFont(LOGFONTW* font) const {
  if (m_hObject == nullptr || font == nullptr) return 0;
  *font = *FontInfo(m_hObject);
  return static_cast<int>(sizeof(LOGFONTW));
}

BOOL CFont::DeleteObject() {
  if (m_hObject == nullptr) return FALSE;
  if (owned_) delete reinterpret_cast<LOGFONTW*>(m_hObject);
  m_hObject = nullptr;
  return TRUE;
}

CDC::CDC(CWnd* window)
    : window_(window != nullptr ? window->m_hWnd : nullptr),
      text_color_(GetSysColor(COLOR_WINDOWTEXT)) {}

COLORREF CDC::SetTextColor(COLORREF color) { return std::exchange(text_color_, color); }

COLORREF CDC::SetBkColor(COLORREF color) { return std::exchange(bk_color_, color); }

CFont* CDC::SelectObject(CFont* font) { return std::exchange(font_, font); }

BOOL CDC::TextOut(int x, int y, const std::wstring& text) {
  gui::model::Window* w = Find(window_);
  if (w == nullptr) return FALSE;
  if (!records_) return TRUE;
  HFONT font = font_ != nullptr ? font_->m_hObject : w->font;
  gui::TextRun run;
  run.text = text;
  run.x = x;
  run.y = y;
  run.color = text_color_;
  run.background = bk_color_;
  run.face = font != nullptr ? FontInfo(font)->lfFaceName : L"MS Sans Serif";
  run.underline = font != nullptr && FontInfo(font)->lfUnderline != 0;
  w->painted.push_back(run);
  return TRUE;
}

void CDC::FillSolidRect(const RECT*, COLORREF color) { bk_color_ = color; }

CPaintDC::CPaintDC(CWnd* window) : CDC(window) {
  records_ = true;
  if (gui::model::Window* w = Find(window_)) w->painted.clear();
}

// ---------------------------------------------------------------------------
// CWnd.

IMPLEMENT_DYNAMIC(CWnd, CCmdTarget)

BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
END_MESSAGE_MAP()

const CWnd CWnd::wndTopMost(HWND_TOPMOST);

CWnd::~CWnd() {
  gui::model::Window* w = Find(m_hWnd);
  if (w != nullptr && w->object == this) {
    // This object is half destroyed: the window's last messages go nowhere.
    w->object = nullptr;
    ::DestroyWindow(m_hWnd);
  }
}

CWnd* CWnd::FromHandle(HWND window) {
  if (window == nullptr) return nullptr;
  gui::model::Window* w = Find(window);
  if (w != nullptr && w->object != nullptr) return w->object;
  std::unique_ptr<CWnd>& wrapper = Temporaries()[window];
  if (!wrapper) wrapper.reset(new CWnd(window));
  return wrapper.get();
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent) {
  if (parent == nullptr || m_hWnd != nullptr) return FALSE;
  gui::model::Window* w = Find(::GetDlgItem(parent->m_hWnd, static_cast<int>(id)));
  if (w == nullptr || w->object != nullptr) return FALSE;
  w->object = this;
  m_hWnd = w->handle;
  return TRUE;
}

BOOL CWnd::Create(LPCWSTR className, LPCWSTR windowName, DWORD style, const RECT& rect,
                  CWnd* parent, UINT id) {
  return CreateEx(0, className, windowName, style, rect, parent, id);
}

BOOL CWnd::CreateEx(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style,
                    const RECT& rect, CWnd* parent, UINT id) {
  gui::model::Window* dialog = parent != nullptr ? Find(parent->m_hWnd) : nullptr;
  if (m_hWnd != nullptr || className == nullptr || dialog == nullptr || !dialog->is_dialog() ||
      !gui::model::ClassExists(className)) {
    return FALSE;
  }
  gui::model::Window* w =
      gui::model::NewControl(*dialog, static_cast<int>(id), gui::ControlKind::kCustom,
                             windowName != nullptr ? windowName : L"", style, rect);
  w->class_name = className;
  w->ex_style = exStyle;
  w->object = this;
  m_hWnd = w->handle;
  UpdateWindow();
  return TRUE;
}

BOOL CWnd::DestroyWindow() { return m_hWnd != nullptr && ::DestroyWindow(m_hWnd); }

void CWnd::SetWindowText(const std::wstring& text) {
  gui::model::Window* w = Find(m_hWnd);
  if (w == nullptr) return;
  switch (w->kind) {
    case gui::ControlKind::kComboBox:
      // A drop-down list shows only its items.
      if ((w->style & CBS_TYPEMASK) != CBS_DROPDOWNLIST) w->text = text;
      break;
    case gui::ControlKind::kEdit:
      w->text = text;
      gui::Send(w->parent->handle, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(w->id), EN_CHANGE),
                reinterpret_cast<LPARAM>(m_hWnd));
      break;
    default:
      w->text = text;
      if (w->kind == gui::ControlKind::kCustom) UpdateWindow();
  }
}

std::wstring CWnd::GetWindowText() const {
  gui::model::Window* w = Find(m_hWnd);
  if (w == nullptr) return {};
  if (w->kind == gui::ControlKind::kComboBox && (w->style & CBS_TYPEMASK) == CBS_DROPDOWNLIST) {
    return w->selection >= 0 ? w->items[static_cast<size_t>(w->selection)] : L"";
  }
  return w->text;
}

int CWnd::GetDlgCtrlID() const {
  gui::model::Window* w = Find(m_hWnd);
  return w != nullptr ? w->id : 0;
}

void CWnd::SetDlgItemText(int id, const std::wstring& text) {
  if (CWnd* c = GetDlgItem(id)) c->SetWindowText(text);
}

int CWnd::GetDlgItemText(int id, std::wstring& text) const {
  CWnd* c = GetDlgItem(id);
  text = c != nullptr ? c->GetWindowText() : L"";
  return static_cast<int>(text.size());
}

void CWnd::ScreenToClient(RECT* rect) const {
  POINT a{rect->left, rect->top};
  POINT b{rect->right, rect->bottom};
  ::ScreenToClient(m_hWnd, &a);
  ::ScreenToClient(m_hWnd, &b);
  *rect = RECT{a.x, a.y, b.x, b.y};
}

void CWnd::CenterWindow(CWnd* alternateOwner) {
  gui::model::Window* w = Find(m_hWnd);
  if (w == nullptr || !w->is_dialog()) return;
  RECT area{0, 0, gui::model::kScreenWidth, gui::model::kScreenHeight};
  HWND over = alternateOwner != nullptr ? alternateOwner->m_hWnd : w->owner;
  RECT owner_rect;
  if (::IsWindowVisible(over) && ::GetWindowRect(over, &owner_rect)) area = owner_rect;
  const int cx = w->rect.right - w->rect.left;
  const int cy = w->rect.bottom - w->rect.top;
  int x = area.left + (area.right - area.left - cx) / 2;
  int y = area.top + (area.bottom - area.top - cy) / 2;
  x = std::clamp(x, 0, std::max(0, gui::model::kScreenWidth - cx));
  y = std::clamp(y, 0, std::max(0, gui::model::kScreenHeight - cy));
  ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

void CWnd::SetFont(CFont* font, BOOL redraw) {
  gui::model::Window* w = Find(m_hWnd);
  if (w == nullptr) return;
  w->font = font != nullptr ? font->m_hObject : nullptr;
  if (redraw) UpdateWindow();
}

CFont* CWnd::GetFont() const {
  gui::model::Window* w = Find(m_hWnd);
  if (w == nullptr || w->font == nullptr) return nullptr;
  font_.owned_ = false;
  font_.m_hObject = w->font;
  return &font_;
}

int CWnd::MessageBox(LPCWSTR text, LPCWSTR caption, UINT type) {
  return ::MessageBoxW(m_hWnd, text, caption != nullptr ? caption : AfxGetAppName(), type);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  OnWndMsg(message, wParam, lParam, &result);
  return result;
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM) { return OnCmdMsg(LOWORD(wParam), HIWORD(wParam)); }

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  LRESULT r = 0;
  if (message == WM_COMMAND) {
    if (!OnCommand(wParam, lParam)) return FALSE;
    if (result != nullptr) *result = 0;
    return TRUE;
  }
  const AFX_MSGMAP_ENTRY* e = FindMessageEntry(message);
  if (e == nullptr) return FALSE;
  // Each handler goes back to the type it was stored from: the map macros
  // pair the signature with the handler.
  switch (e->nSig) {
    case AfxSig_vv:
      (this->*afx_detail::FromPmsg<void (CWnd::*)()>(e->pfn))();
      break;
    case AfxSig_vwp:
      (this->*afx_detail::FromPmsg<void (CWnd::*)(UINT, CPoint)>(e->pfn))(static_cast<UINT>(wParam),
                                                                          CPoint(lParam));
      break;
    case AfxSig_bWww:
      r = (this->*afx_detail::FromPmsg<BOOL (CWnd::*)(CWnd*, UINT, UINT)>(e->pfn))(
          FromHandle(reinterpret_cast<HWND>(wParam)), LOWORD(static_cast<std::uintptr_t>(lParam)),
          HIWORD(static_cast<std::uintptr_t>(lParam)));
      break;
    case AfxSig_vW:
      (this->*afx_detail::FromPmsg<void (CWnd::*)(CWnd*)>(e->pfn))(
          FromHandle(reinterpret_cast<HWND>(lParam)));
      break;
    default:
      return FALSE;
  }
  if (result != nullptr) *result = r;
  return TRUE;
}

BOOL AfxRegisterClass(WNDCLASSW* windowClass) {
  if (windowClass == nullptr || windowClass->lpszClassName == nullptr) return FALSE;
  return gui::model::ClassExists(windowClass->lpszClassName) || RegisterClassW(windowClass) != 0;
}

// ---------------------------------------------------------------------------
// The calls that reach a window's object.

BOOL DestroyWindow(HWND window) {
  gui::model::Window* w = Find(window);
  if (w == nullptr) return FALSE;
  std::vector<HWND> going{window};
  for (const auto& c : w->controls) going.push_back(c->handle);
  // Controls first, then the dialog; each object hears WM_DESTROY while its
  // window still exists, and is detached before the window is forgotten.
  std::vector<CWnd*> objects;
  for (auto it = going.rbegin(); it != going.rend(); ++it) {
    gui::Send(*it, WM_DESTROY);
    if (g_capture == *it) g_capture = nullptr;
    if (gui::model::Window* x = Find(*it); x != nullptr && x->object != nullptr) {
      x->object->m_hWnd = nullptr;
      objects.push_back(std::exchange(x->object, nullptr));
    }
    if (auto t = Temporaries().find(*it); t != Temporaries().end()) {
      t->second->m_hWnd = nullptr;
      Temporaries().erase(t);
    }
  }
  if (gui::model::Window* x = Find(window)) gui::model::Remove(*x);
  for (CWnd* object : objects) object->PostNcDestroy();
  return TRUE;
}

BOOL UpdateWindow(HWND window) {
  gui::model::Window* w = Find(window);
  if (w == nullptr) return FALSE;
  if (w->kind == gui::ControlKind::kCustom) gui::Send(window, WM_PAINT);
  return TRUE;
}

HWND SetCapture(HWND window) {
  HWND before = g_capture;
  if (Find(window) == nullptr) return before;
  g_capture = window;
  if (before != nullptr && before != window) {
    gui::Send(before, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(window));
  }
  return before;
}

BOOL ReleaseCapture() {
  HWND before = std::exchange(g_capture, nullptr);
  if (before != nullptr) gui::Send(before, WM_CAPTURECHANGED, 0, 0);
  return TRUE;
}

HWND GetCapture() { return Find(g_capture) != nullptr ? g_capture : nullptr; }
