#include "platform/gui/wnd.h"

#include <algorithm>
#include <cwchar>
#include <map>
#include <memory>
#include <vector>

#include "platform/gui/dialog.h"
#include "platform/gui/window_internal.h"

namespace {

std::map<HWND, std::unique_ptr<CWnd>>& Temporaries() {
  static std::map<HWND, std::unique_ptr<CWnd>> map;
  return map;
}

std::map<HFONT, std::unique_ptr<CFont>>& FontWrappers() {
  static std::map<HFONT, std::unique_ptr<CFont>> map;
  return map;
}

// The message being handled, for Default(). A chain rather than a member,
// because a handler may delete its own object.
thread_local const MSG* g_current_message = nullptr;

}  // namespace

namespace gui::internal {

void ForgetTemporary(HWND handle) {
  auto it = Temporaries().find(handle);
  if (it == Temporaries().end()) return;
  it->second->m_hWnd = nullptr;
  Temporaries().erase(it);
}

void ForgetFontWrapper(HFONT font) {
  auto it = FontWrappers().find(font);
  if (it == FontWrappers().end()) return;
  it->second->m_hObject = nullptr;
  FontWrappers().erase(it);
}

LRESULT CallClassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WNDCLASSW info;
  Window* w = Find(window);
  if (w != nullptr && GetClassInfoW(nullptr, w->class_name.c_str(), &info) &&
      info.lpfnWndProc != nullptr && info.lpfnWndProc != &DefWindowProcW) {
    return info.lpfnWndProc(window, message, wParam, lParam);
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace gui::internal

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
  m_hObject = CreateFontIndirectW(font);
  owned_ = true;
  return m_hObject != nullptr;
}

BOOL CFont::CreatePointFont(int pointSize, LPCWSTR faceName) {
  LOGFONTW lf;
  lf.lfHeight = -((pointSize * 96 + 360) / 720);
  if (faceName != nullptr) std::wcsncpy(lf.lfFaceName, faceName, LF_FACESIZE - 1);
  return CreateFontIndirect(&lf);
}

int CFont::GetLogFont(LOGFONTW* font) const {
  return GetObjectW(m_hObject, static_cast<int>(sizeof(LOGFONTW)), font);
}

BOOL CFont::DeleteObject() {
  if (m_hObject == nullptr) return FALSE;
  HFONT h = m_hObject;
  m_hObject = nullptr;
  return owned_ ? ::DeleteObject(h) : TRUE;
}

CFont* CFont::FromHandle(HFONT font) {
  LOGFONTW info;
  if (font == nullptr || !gui::internal::FontInfo(font, info)) return nullptr;
  auto& map = FontWrappers();
  auto it = map.find(font);
  if (it != map.end()) return it->second.get();
  auto wrapper = std::make_unique<CFont>();
  wrapper->m_hObject = font;
  wrapper->owned_ = false;
  CFont* raw = wrapper.get();
  map.emplace(font, std::move(wrapper));
  return raw;
}

CDC::CDC(CWnd* window)
    : window_(window != nullptr ? window->m_hWnd : nullptr),
      text_color_(GetSysColor(COLOR_WINDOWTEXT)) {}

COLORREF CDC::SetTextColor(COLORREF color) {
  COLORREF before = text_color_;
  text_color_ = color;
  return before;
}

COLORREF CDC::SetBkColor(COLORREF color) {
  COLORREF before = bk_color_;
  bk_color_ = color;
  return before;
}

int CDC::SetBkMode(int mode) {
  int before = bk_mode_;
  bk_mode_ = mode;
  return before;
}

CFont* CDC::SelectObject(CFont* font) {
  CFont* before = font_;
  font_ = font;
  return before;
}

namespace {

LOGFONTW FontOf(HWND window, CFont* selected) {
  LOGFONTW lf;
  HFONT font = selected != nullptr
                   ? selected->m_hObject
                   : reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
  if (!gui::internal::FontInfo(font, lf)) {
    lf = LOGFONTW{};
    lf.lfHeight = -11;
    std::wcsncpy(lf.lfFaceName, L"MS Sans Serif", LF_FACESIZE - 1);
  }
  return lf;
}

}  // namespace

BOOL CDC::TextOut(int x, int y, const std::wstring& text) {
  gui::internal::Window* w = gui::internal::Find(window_);
  if (w == nullptr) return FALSE;
  if (!records_) return TRUE;
  LOGFONTW lf = FontOf(window_, font_);
  gui::TextRun run;
  run.text = text;
  run.x = x;
  run.y = y;
  run.color = text_color_;
  run.background = bk_mode_ == OPAQUE ? bk_color_ : GetSysColor(COLOR_3DFACE);
  run.face = lf.lfFaceName;
  run.underline = lf.lfUnderline != 0;
  w->painted.push_back(run);
  return TRUE;
}

int CDC::DrawText(const std::wstring& text, RECT* rect, UINT) {
  if (rect == nullptr) return 0;
  TextOut(rect->left, rect->top, text);
  return GetTextExtent(text).cy;
}

void CDC::FillSolidRect(const RECT*, COLORREF color) { bk_color_ = color; }

CSize CDC::GetTextExtent(const std::wstring& text) const {
  LOGFONTW lf = FontOf(window_, font_);
  int h = std::max(1, static_cast<int>(lf.lfHeight < 0 ? -lf.lfHeight : lf.lfHeight));
  int avg = std::max(1, (h * 6 + 6) / 11);
  return CSize(static_cast<int>(text.size()) * avg, h + (h + 2) / 4);
}

CPaintDC::CPaintDC(CWnd* window) : CDC(window) {
  records_ = true;
  if (gui::internal::Window* w = gui::internal::Find(window_)) w->painted.clear();
}

CPaintDC::~CPaintDC() {
  if (gui::internal::Window* w = gui::internal::Find(window_)) w->needs_paint = false;
}

// ---------------------------------------------------------------------------
// CWnd.

IMPLEMENT_DYNAMIC(CWnd, CCmdTarget)

BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
END_MESSAGE_MAP()

const CWnd CWnd::wndTop(HWND_TOP);
const CWnd CWnd::wndTopMost(HWND_TOPMOST);
const CWnd CWnd::wndNoTopMost(HWND_NOTOPMOST);

CWnd::~CWnd() {
  gui::internal::Window* w = gui::internal::Find(m_hWnd);
  if (w != nullptr && w->object == this) {
    // Messages of the window's last moments go to the default procedure:
    // this object is already half destroyed.
    w->object = nullptr;
    ::DestroyWindow(m_hWnd);
  }
}

CWnd* CWnd::FromHandle(HWND window) {
  if (window == nullptr) return nullptr;
  if (CWnd* object = FromHandlePermanent(window)) return object;
  auto& map = Temporaries();
  auto it = map.find(window);
  if (it != map.end()) return it->second.get();
  auto wrapper = std::make_unique<CWnd>();
  wrapper->m_hWnd = window;
  CWnd* raw = wrapper.get();
  map.emplace(window, std::move(wrapper));
  return raw;
}

CWnd* CWnd::FromHandlePermanent(HWND window) {
  gui::internal::Window* w = gui::internal::Find(window);
  return w != nullptr ? w->object : nullptr;
}

BOOL CWnd::Attach(HWND window) {
  gui::internal::Window* w = gui::internal::Find(window);
  if (w == nullptr || (w->object != nullptr && w->object != this) || m_hWnd != nullptr) {
    return FALSE;
  }
  w->object = this;
  m_hWnd = window;
  return TRUE;
}

HWND CWnd::Detach() {
  HWND h = m_hWnd;
  gui::internal::Window* w = gui::internal::Find(h);
  if (w != nullptr && w->object == this) w->object = nullptr;
  m_hWnd = nullptr;
  return h;
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent) {
  if (parent == nullptr) return FALSE;
  return Attach(::GetDlgItem(parent->m_hWnd, static_cast<int>(id)));
}

BOOL CWnd::Create(LPCWSTR className, LPCWSTR windowName, DWORD style, const RECT& rect,
                  CWnd* parent, UINT id) {
  return CreateEx(0, className, windowName, style, rect, parent, id);
}

BOOL CWnd::CreateEx(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style,
                    const RECT& rect, CWnd* parent, UINT id) {
  if (m_hWnd != nullptr || className == nullptr) return FALSE;
  gui::internal::CreateParams p;
  p.class_name = className;
  p.text = windowName != nullptr ? windowName : L"";
  p.style = style;
  p.ex_style = exStyle;
  p.rect = rect;
  HWND parent_handle = parent != nullptr ? parent->m_hWnd : nullptr;
  if ((style & WS_CHILD) != 0) {
    p.parent = parent_handle;
    if (p.parent == nullptr || gui::internal::Find(p.parent) == nullptr) return FALSE;
  } else {
    p.owner = parent_handle;
  }
  p.id = static_cast<int>(id);
  p.object = this;
  gui::internal::Window* w = gui::internal::Create(p);
  if (w == nullptr) return FALSE;
  w->needs_paint = (style & WS_VISIBLE) != 0;
  if (SendMessage(WM_CREATE) == -1) {
    DestroyWindow();
    return FALSE;
  }
  return m_hWnd != nullptr;
}

BOOL CWnd::DestroyWindow() {
  if (m_hWnd == nullptr) return FALSE;
  return ::DestroyWindow(m_hWnd);
}

void CWnd::SetWindowText(LPCWSTR text) { ::SetWindowTextW(m_hWnd, text); }

void CWnd::GetWindowText(std::wstring& text) const {
  int n = ::GetWindowTextLengthW(m_hWnd);
  std::vector<wchar_t> buffer(static_cast<size_t>(n) + 1);
  int got = ::GetWindowTextW(m_hWnd, buffer.data(), n + 1);
  text.assign(buffer.data(), static_cast<size_t>(std::max(0, got)));
}

std::wstring CWnd::GetWindowText() const {
  std::wstring text;
  GetWindowText(text);
  return text;
}

int CWnd::GetWindowTextLength() const { return ::GetWindowTextLengthW(m_hWnd); }
BOOL CWnd::EnableWindow(BOOL enable) { return ::EnableWindow(m_hWnd, enable); }
BOOL CWnd::IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
BOOL CWnd::ShowWindow(int command) { return ::ShowWindow(m_hWnd, command); }
BOOL CWnd::IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }

DWORD CWnd::GetStyle() const {
  gui::internal::Window* w = gui::internal::Find(m_hWnd);
  return w != nullptr ? w->style : 0;
}

DWORD CWnd::GetExStyle() const {
  gui::internal::Window* w = gui::internal::Find(m_hWnd);
  return w != nullptr ? w->ex_style : 0;
}

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add, UINT) {
  gui::internal::Window* w = gui::internal::Find(m_hWnd);
  if (w == nullptr) return FALSE;
  DWORD style = (w->style & ~remove) | add;
  if (style == w->style) return FALSE;
  w->style = style;
  w->needs_paint = true;
  return TRUE;
}

int CWnd::GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
CWnd* CWnd::GetDlgItem(int id) const { return FromHandle(::GetDlgItem(m_hWnd, id)); }
CWnd* CWnd::GetParent() const { return FromHandle(::GetParent(m_hWnd)); }

void CWnd::SetDlgItemText(int id, LPCWSTR text) {
  ::SetWindowTextW(::GetDlgItem(m_hWnd, id), text);
}

int CWnd::GetDlgItemText(int id, std::wstring& text) const {
  text.clear();
  HWND item = ::GetDlgItem(m_hWnd, id);
  if (item == nullptr) return 0;
  FromHandle(item)->GetWindowText(text);
  return static_cast<int>(text.size());
}

void CWnd::CheckDlgButton(int id, UINT check) { ::CheckDlgButton(m_hWnd, id, check); }
UINT CWnd::IsDlgButtonChecked(int id) const { return ::IsDlgButtonChecked(m_hWnd, id); }

void CWnd::CheckRadioButton(int first, int last, int check) {
  for (int id = first; id <= last; ++id) {
    ::CheckDlgButton(m_hWnd, id, id == check ? BST_CHECKED : BST_UNCHECKED);
  }
}

int CWnd::GetCheckedRadioButton(int first, int last) const {
  for (int id = first; id <= last; ++id) {
    if (::IsDlgButtonChecked(m_hWnd, id) != 0) return id;
  }
  return 0;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
  return ::SendMessageW(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
  return ::PostMessageW(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::SendDlgItemMessage(int id, UINT message, WPARAM wParam, LPARAM lParam) const {
  return ::SendDlgItemMessageW(m_hWnd, id, message, wParam, lParam);
}

void CWnd::GetWindowRect(RECT* rect) const { ::GetWindowRect(m_hWnd, rect); }
void CWnd::GetClientRect(RECT* rect) const { ::GetClientRect(m_hWnd, rect); }

void CWnd::ScreenToClient(RECT* rect) const {
  if (rect == nullptr) return;
  POINT a{rect->left, rect->top};
  POINT b{rect->right, rect->bottom};
  ::ScreenToClient(m_hWnd, &a);
  ::ScreenToClient(m_hWnd, &b);
  *rect = RECT{a.x, a.y, b.x, b.y};
}

void CWnd::ScreenToClient(POINT* point) const { ::ScreenToClient(m_hWnd, point); }

void CWnd::ClientToScreen(RECT* rect) const {
  if (rect == nullptr) return;
  POINT a{rect->left, rect->top};
  POINT b{rect->right, rect->bottom};
  ::ClientToScreen(m_hWnd, &a);
  ::ClientToScreen(m_hWnd, &b);
  *rect = RECT{a.x, a.y, b.x, b.y};
}

void CWnd::ClientToScreen(POINT* point) const { ::ClientToScreen(m_hWnd, point); }

void CWnd::MoveWindow(int x, int y, int width, int height, BOOL repaint) {
  ::MoveWindow(m_hWnd, x, y, width, height, repaint);
}

void CWnd::MoveWindow(const RECT* rect, BOOL repaint) {
  if (rect != nullptr) {
    ::MoveWindow(m_hWnd, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top,
                 repaint);
  }
}

BOOL CWnd::SetWindowPos(const CWnd* insertAfter, int x, int y, int cx, int cy, UINT flags) {
  return ::SetWindowPos(m_hWnd, insertAfter != nullptr ? insertAfter->m_hWnd : nullptr, x, y, cx,
                        cy, flags);
}

void CWnd::CenterWindow(CWnd* alternateOwner) {
  gui::internal::Window* w = gui::internal::Find(m_hWnd);
  if (w == nullptr) return;
  RECT area{0, 0, gui::internal::kScreenWidth, gui::internal::kScreenHeight};
  RECT mine;
  ::GetWindowRect(m_hWnd, &mine);
  if (w->parent != nullptr) {
    // A child centres in its parent's client area.
    RECT client;
    ::GetClientRect(w->parent, &client);
    int cx = mine.right - mine.left;
    int cy = mine.bottom - mine.top;
    ::SetWindowPos(m_hWnd, nullptr, (client.right - cx) / 2, (client.bottom - cy) / 2, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER);
    return;
  }
  HWND over = alternateOwner != nullptr ? alternateOwner->m_hWnd : w->owner;
  RECT owner_rect;
  if (over != nullptr && ::IsWindowVisible(over) && ::GetWindowRect(over, &owner_rect)) {
    area = owner_rect;
  }
  int cx = mine.right - mine.left;
  int cy = mine.bottom - mine.top;
  int x = area.left + (area.right - area.left - cx) / 2;
  int y = area.top + (area.bottom - area.top - cy) / 2;
  x = std::clamp(x, 0, std::max(0, gui::internal::kScreenWidth - cx));
  y = std::clamp(y, 0, std::max(0, gui::internal::kScreenHeight - cy));
  ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

void CWnd::SetFont(CFont* font, BOOL redraw) {
  SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font != nullptr ? font->m_hObject : nullptr),
              redraw);
}

CFont* CWnd::GetFont() const {
  return CFont::FromHandle(reinterpret_cast<HFONT>(SendMessage(WM_GETFONT)));
}

void CWnd::Invalidate(BOOL erase) { ::InvalidateRect(m_hWnd, nullptr, erase); }
void CWnd::UpdateWindow() { ::UpdateWindow(m_hWnd); }
CWnd* CWnd::SetCapture() { return FromHandle(::SetCapture(m_hWnd)); }
CWnd* CWnd::GetCapture() { return FromHandle(::GetCapture()); }
CWnd* CWnd::SetFocus() { return FromHandle(::SetFocus(m_hWnd)); }
CWnd* CWnd::GetFocus() { return FromHandle(::GetFocus()); }

int CWnd::MessageBox(LPCWSTR text, LPCWSTR caption, UINT type) {
  return ::MessageBoxW(m_hWnd, text, caption != nullptr ? caption : AfxGetAppName(), type);
}

BOOL CWnd::UpdateData(BOOL saveAndValidate) {
  CDataExchange dx(this, saveAndValidate);
  try {
    DoDataExchange(&dx);
    return TRUE;
  } catch (CUserException* e) {
    e->Delete();
    return FALSE;
  } catch (CException* e) {
    e->ReportError(MB_OK | MB_ICONERROR);
    e->Delete();
    return FALSE;
  }
}

void CWnd::DoDataExchange(CDataExchange*) {}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  MSG current;
  current.hwnd = m_hWnd;
  current.message = message;
  current.wParam = wParam;
  current.lParam = lParam;
  const MSG* previous = g_current_message;
  g_current_message = &current;
  struct Restore {
    const MSG* previous;
    ~Restore() { g_current_message = previous; }
  } restore{previous};
  LRESULT result = 0;
  if (!OnWndMsg(message, wParam, lParam, &result)) result = DefWindowProc(message, wParam, lParam);
  return result;
}

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
      (this->*static_cast<void (CWnd::*)()>(e->pfn))();
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

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM) { return OnCmdMsg(LOWORD(wParam), HIWORD(wParam)); }

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (m_hWnd == nullptr) return 0;
  return gui::internal::CallClassProc(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default() {
  const MSG* m = g_current_message;
  if (m == nullptr) return 0;
  return DefWindowProc(m->message, m->wParam, m->lParam);
}

void CWnd::OnMouseMove(UINT, CPoint) { Default(); }
void CWnd::OnLButtonDown(UINT, CPoint) { Default(); }
void CWnd::OnLButtonUp(UINT, CPoint) { Default(); }
BOOL CWnd::OnSetCursor(CWnd*, UINT, UINT) { return static_cast<BOOL>(Default()); }
void CWnd::OnPaint() { Default(); }
void CWnd::OnDestroy() { Default(); }
void CWnd::OnCaptureChanged(CWnd*) { Default(); }

BOOL AfxRegisterClass(WNDCLASSW* windowClass) {
  if (windowClass == nullptr || windowClass->lpszClassName == nullptr) return FALSE;
  WNDCLASSW existing;
  if (GetClassInfoW(windowClass->hInstance, windowClass->lpszClassName, &existing)) return TRUE;
  return RegisterClassW(windowClass) != 0;
}
