// The window classes of the framework: command targets with message maps,
// CWnd over a window handle, and the little GDI a control needs to paint
// its text (fonts and a device context that records what was drawn).
#pragma once

#include <string>

#include "platform/afx/afx.h"
#include "platform/gui/winuser.h"

class CWnd;
class CFont;
class CDataExchange;

struct CPoint : POINT {
  CPoint() = default;
  CPoint(int px, int py) {
    x = px;
    y = py;
  }
  explicit CPoint(LPARAM l) : CPoint(GET_X_LPARAM(l), GET_Y_LPARAM(l)) {}
};

struct CSize : SIZE {
  CSize() = default;
  CSize(int w, int h) {
    cx = w;
    cy = h;
  }
};

struct CRect : RECT {
  CRect() = default;
  CRect(int l, int t, int r, int b) {
    left = l;
    top = t;
    right = r;
    bottom = b;
  }
  CRect(const RECT& r) : RECT(r) {}  // NOLINT: converts as the framework's does
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  BOOL PtInRect(POINT p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
  operator RECT*() { return this; }
  operator const RECT*() const { return this; }
};

// ---------------------------------------------------------------------------
// Message maps: a static table per class, chained to the base class's, that
// names the handler of a command (by control id and notification code) or of
// a window message. The handler is stored as a member pointer of the root
// class and cast back to its own signature when called.

class CCmdTarget;
using AFX_PMSG = void (CCmdTarget::*)();

enum AfxSig : UINT {
  AfxSig_end = 0,
  AfxSigCmd_v,  // void OnCommand()
  AfxSig_vv,    // void OnPaint(), void OnDestroy()
  AfxSig_vwp,   // void OnMouseMove(UINT flags, CPoint point)
  AfxSig_bWww,  // BOOL OnSetCursor(CWnd* window, UINT hitTest, UINT message)
  AfxSig_vW,    // void OnCaptureChanged(CWnd* window)
};

// The round trip of a handler through AFX_PMSG, which the language defines
// for member pointers cast back to their own type.
namespace afx_detail {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wcast-function-type"
template <typename F>
AFX_PMSG ToPmsg(F f) {
  return reinterpret_cast<AFX_PMSG>(f);
}
template <typename F>
F FromPmsg(AFX_PMSG f) {
  return reinterpret_cast<F>(f);
}
#pragma GCC diagnostic pop
}  // namespace afx_detail

struct AFX_MSGMAP_ENTRY {
  UINT nMessage;
  UINT nCode;
  UINT nID;
  UINT nLastID;
  UINT nSig;
  AFX_PMSG pfn;
};

struct AFX_MSGMAP {
  const AFX_MSGMAP* (*pfnGetBaseMap)();
  const AFX_MSGMAP_ENTRY* lpEntries;
};

#define DECLARE_MESSAGE_MAP()                   \
 protected:                                     \
  static const AFX_MSGMAP* GetThisMessageMap(); \
  const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                      \
  const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
  const AFX_MSGMAP* theClass::GetThisMessageMap() {                                 \
    using ThisClass [[maybe_unused]] = theClass;                                    \
    using TheBaseClass = baseClass;                                                 \
    static const AFX_MSGMAP_ENTRY kEntries[] = {
#define END_MESSAGE_MAP()                                                          \
  { 0, 0, 0, 0, AfxSig_end, nullptr }                                              \
  }                                                                                \
  ;                                                                                \
  static const AFX_MSGMAP kMap = {&TheBaseClass::GetThisMessageMap, &kEntries[0]}; \
  return &kMap;                                                                    \
  }

#define ON_CONTROL_(code, id, fn)                                                       \
  {WM_COMMAND,  static_cast<UINT>(code),  static_cast<UINT>(id), static_cast<UINT>(id), \
   AfxSigCmd_v, static_cast<AFX_PMSG>(fn)},
#define ON_COMMAND(id, fn) ON_CONTROL_(0, id, fn)
#define ON_BN_CLICKED(id, fn) ON_CONTROL_(BN_CLICKED, id, fn)
#define ON_CBN_SELCHANGE(id, fn) ON_CONTROL_(CBN_SELCHANGE, id, fn)
#define ON_EN_CHANGE(id, fn) ON_CONTROL_(EN_CHANGE, id, fn)

#define ON_WM_MOUSE_(msg, fn) \
  {                           \
      msg,        0,          \
      0,          0,          \
      AfxSig_vwp, afx_detail::ToPmsg(static_cast<void (CWnd::*)(UINT, CPoint)>(&ThisClass::fn))},
#define ON_WM_MOUSEMOVE() ON_WM_MOUSE_(WM_MOUSEMOVE, OnMouseMove)
#define ON_WM_LBUTTONDOWN() ON_WM_MOUSE_(WM_LBUTTONDOWN, OnLButtonDown)
#define ON_WM_LBUTTONUP() ON_WM_MOUSE_(WM_LBUTTONUP, OnLButtonUp)
#define ON_WM_SETCURSOR() \
  {WM_SETCURSOR,          \
   0,                     \
   0,                     \
   0,                     \
   AfxSig_bWww,           \
   afx_detail::ToPmsg(static_cast<BOOL (CWnd::*)(CWnd*, UINT, UINT)>(&ThisClass::OnSetCursor))},
#define ON_WM_PAINT() \
  {                   \
      WM_PAINT,  0,   \
      0,         0,   \
      AfxSig_vv, static_cast<AFX_PMSG>(static_cast<void (CWnd::*)()>(&ThisClass::OnPaint))},
#define ON_WM_DESTROY() \
  {WM_DESTROY, 0,       \
   0,          0,       \
   AfxSig_vv,  static_cast<AFX_PMSG>(static_cast<void (CWnd::*)()>(&ThisClass::OnDestroy))},
#define ON_WM_CAPTURECHANGED() \
  {WM_CAPTURECHANGED,          \
   0,                          \
   0,                          \
   0,                          \
   AfxSig_vW,                  \
   afx_detail::ToPmsg(static_cast<void (CWnd::*)(CWnd*)>(&ThisClass::OnCaptureChanged))},

class CCmdTarget : public CObject {
  DECLARE_DYNAMIC(CCmdTarget)
 public:
  CCmdTarget() = default;
  // Runs the handler the message map names for this command; false when
  // there is none.
  virtual BOOL OnCmdMsg(UINT id, int code);

 protected:
  static const AFX_MSGMAP* GetThisMessageMap();
  virtual const AFX_MSGMAP* GetMessageMap() const;
  // The entry for a window message (not a command), or nullptr.
  const AFX_MSGMAP_ENTRY* FindMessageEntry(UINT message) const;
};

// ---------------------------------------------------------------------------
// Fonts and painting.

class CFont {
 public:
  CFont() = default;
  ~CFont();
  CFont(const CFont&) = delete;
  CFont& operator=(const CFont&) = delete;

  BOOL CreateFontIndirect(const LOGFONTW* font);
  // pointSize is in tenths of a point, as the framework takes it.
  BOOL CreatePointFont(int pointSize, LPCWSTR faceName);
  int GetLogFont(LOGFONTW* font) const;
  BOOL DeleteObject();
  operator HFONT() const { return m_hObject; }
  // A wrapper that does not own the font, valid while the font exists.
  static CFont* FromHandle(HFONT font);

  HFONT m_hObject = nullptr;

 private:
  bool owned_ = true;
};

// Drawing happens into the window's record of painted text, which the
// backends show and tests read (see gui::ControlState::painted).
class CDC {
 public:
  explicit CDC(CWnd* window);
  virtual ~CDC() = default;
  CDC(const CDC&) = delete;
  CDC& operator=(const CDC&) = delete;

  COLORREF SetTextColor(COLORREF color);
  COLORREF SetBkColor(COLORREF color);
  int SetBkMode(int mode);
  // The font selected before (nullptr for the window's own font).
  CFont* SelectObject(CFont* font);
  BOOL TextOut(int x, int y, const std::wstring& text);
  int DrawText(const std::wstring& text, RECT* rect, UINT format);
  void FillSolidRect(const RECT* rect, COLORREF color);
  // Average-width metrics of the selected font: enough to lay a line out.
  CSize GetTextExtent(const std::wstring& text) const;

 protected:
  HWND window_;
  bool records_ = false;
  COLORREF text_color_ = 0;
  COLORREF bk_color_ = 0xFFFFFF;
  int bk_mode_ = OPAQUE;
  CFont* font_ = nullptr;
};

class CPaintDC : public CDC {
 public:
  explicit CPaintDC(CWnd* window);
  ~CPaintDC() override;
};

class CClientDC : public CDC {
 public:
  explicit CClientDC(CWnd* window) : CDC(window) {}
};

// ---------------------------------------------------------------------------

class CWnd : public CCmdTarget {
  DECLARE_DYNAMIC(CWnd)
 public:
  CWnd() = default;
  // Destroys a window that still exists.
  ~CWnd() override;
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;

  HWND m_hWnd = nullptr;
  HWND GetSafeHwnd() const { return m_hWnd; }
  operator HWND() const { return m_hWnd; }

  // The object attached to the window, else a plain CWnd wrapper that the
  // framework keeps for as long as the window exists (also for foreign
  // windows such as the host's main window); nullptr for no window.
  static CWnd* FromHandle(HWND window);
  // The attached object only.
  static CWnd* FromHandlePermanent(HWND window);
  BOOL Attach(HWND window);
  HWND Detach();
  // Attaches this object to the dialog's control, which then sends its
  // messages through this object's message map.
  BOOL SubclassDlgItem(UINT id, CWnd* parent);

  virtual BOOL Create(LPCWSTR className, LPCWSTR windowName, DWORD style, const RECT& rect,
                      CWnd* parent, UINT id);
  // className must be a built-in control class or one registered with
  // RegisterClassW / AfxRegisterClass.
  virtual BOOL CreateEx(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style,
                        const RECT& rect, CWnd* parent, UINT id);
  virtual BOOL DestroyWindow();

  void SetWindowText(LPCWSTR text);
  void SetWindowText(const std::wstring& text) { SetWindowText(text.c_str()); }
  void GetWindowText(std::wstring& text) const;
  std::wstring GetWindowText() const;
  int GetWindowTextLength() const;
  BOOL EnableWindow(BOOL enable = TRUE);
  BOOL IsWindowEnabled() const;
  BOOL ShowWindow(int command);
  BOOL IsWindowVisible() const;
  DWORD GetStyle() const;
  DWORD GetExStyle() const;
  BOOL ModifyStyle(DWORD remove, DWORD add, UINT flags = 0);
  int GetDlgCtrlID() const;
  CWnd* GetDlgItem(int id) const;
  CWnd* GetParent() const;

  void SetDlgItemText(int id, LPCWSTR text);
  void SetDlgItemText(int id, const std::wstring& text) { SetDlgItemText(id, text.c_str()); }
  int GetDlgItemText(int id, std::wstring& text) const;
  void CheckDlgButton(int id, UINT check);
  UINT IsDlgButtonChecked(int id) const;
  // Checks `check` and clears every other button from first to last.
  void CheckRadioButton(int first, int last, int check);
  // The id of the checked button from first to last, or 0.
  int GetCheckedRadioButton(int first, int last) const;

  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
  BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
  LRESULT SendDlgItemMessage(int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;

  void GetWindowRect(RECT* rect) const;
  void GetClientRect(RECT* rect) const;
  void ScreenToClient(RECT* rect) const;
  void ScreenToClient(POINT* point) const;
  void ClientToScreen(RECT* rect) const;
  void ClientToScreen(POINT* point) const;
  void MoveWindow(int x, int y, int width, int height, BOOL repaint = TRUE);
  void MoveWindow(const RECT* rect, BOOL repaint = TRUE);
  BOOL SetWindowPos(const CWnd* insertAfter, int x, int y, int cx, int cy, UINT flags);
  // Over the owner (or alternateOwner) when it is one of ours and visible,
  // else over the screen; kept on the screen.
  void CenterWindow(CWnd* alternateOwner = nullptr);
  static const CWnd wndTop;
  static const CWnd wndTopMost;
  static const CWnd wndNoTopMost;

  void SetFont(CFont* font, BOOL redraw = TRUE);
  CFont* GetFont() const;
  void Invalidate(BOOL erase = TRUE);
  void UpdateWindow();
  CWnd* SetCapture();
  static CWnd* GetCapture();
  CWnd* SetFocus();
  static CWnd* GetFocus();

  int MessageBox(LPCWSTR text, LPCWSTR caption = nullptr, UINT type = MB_OK);

  // Moves data between the controls and the fields (saveAndValidate: from
  // the controls); false when a field's check failed.
  BOOL UpdateData(BOOL saveAndValidate = TRUE);
  virtual void DoDataExchange(CDataExchange* dx);

  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
  virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
  virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  // Called after the window is gone; the object is detached by then.
  virtual void PostNcDestroy() {}

 protected:
  // The default handling of the message being processed.
  LRESULT Default();

  void OnMouseMove(UINT flags, CPoint point);
  void OnLButtonDown(UINT flags, CPoint point);
  void OnLButtonUp(UINT flags, CPoint point);
  BOOL OnSetCursor(CWnd* window, UINT hitTest, UINT message);
  void OnPaint();
  void OnDestroy();
  void OnCaptureChanged(CWnd* window);

  DECLARE_MESSAGE_MAP()

 private:
  explicit CWnd(HWND special) : m_hWnd(special) {}
  const MSG* current_ = nullptr;
};

// Registers a window class for CWnd::CreateEx; true also when a class of
// that name is registered already.
BOOL AfxRegisterClass(WNDCLASSW* windowClass);
