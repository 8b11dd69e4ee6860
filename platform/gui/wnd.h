// The window classes of the framework: command targets with message maps,
// CWnd over a window of the model (platform/gui/model.h), and the little GDI
// a custom control needs to paint its text (fonts, and a paint context that
// records what was drawn for the backends to show).
#pragma once

#include <string>
#include <utility>

#include "platform/afx/afx.h"
#include "platform/gui/winuser.h"

class CWnd;
class CDataExchange;

struct CPoint : POINT {
  CPoint() = default;
  CPoint(int px, int py) : POINT{px, py} {}
};

struct CRect : RECT {
  CRect() = default;
  CRect(int l, int t, int r, int b) : RECT{l, t, r, b} {}
  CRect(const RECT& r) : RECT(r) {}  // NOLINT: converts as the framework's does
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  BOOL PtInRect(POINT p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
};

// Message maps: each class's table names the handler of a command (by
// control id and notification code) or of a window message; what it does
// not name goes to its base class's. The macros write each entry's call,
// typed for the class, so nothing is cast.

struct AFX_MSGMAP_ENTRY {
  UINT nMessage;
  UINT nCode;
  UINT nID;
  // point: the pointer's position for mouse messages; other: the other
  // window for WM_SETCURSOR and WM_CAPTURECHANGED.
  void (*pfn)(CWnd* target, CPoint point, CWnd* other);
};

#define DECLARE_MESSAGE_MAP() \
 protected:                   \
  BOOL Handle(UINT message, UINT code, UINT id, CPoint point, CWnd* other) override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                         \
  BOOL theClass::Handle(UINT message, UINT code, UINT id, CPoint point, CWnd* other) { \
    using ThisClass [[maybe_unused]] = theClass;                                       \
    using TheBaseClass = baseClass;                                                    \
    static const AFX_MSGMAP_ENTRY kEntries[] = {
#define END_MESSAGE_MAP()                                                                          \
  { 0, 0, 0, nullptr }                                                                             \
  }                                                                                                \
  ;                                                                                                \
  for (const AFX_MSGMAP_ENTRY* e = kEntries; e->pfn != nullptr; ++e) {                             \
    if (e->nMessage == message && (message != WM_COMMAND || (e->nCode == code && e->nID == id))) { \
      e->pfn(this, point, other);                                                                  \
      return TRUE;                                                                                 \
    }                                                                                              \
  }                                                                                                \
  return TheBaseClass::Handle(message, code, id, point, other);                                    \
  }

#define ON_CONTROL_(code, id, fn)                              \
  {WM_COMMAND, static_cast<UINT>(code), static_cast<UINT>(id), \
   [](CWnd* t, CPoint, CWnd*) { (static_cast<ThisClass*>(t)->*(fn))(); }},
#define ON_COMMAND(id, fn) ON_CONTROL_(0, id, fn)
#define ON_BN_CLICKED(id, fn) ON_CONTROL_(BN_CLICKED, id, fn)
#define ON_CBN_SELCHANGE(id, fn) ON_CONTROL_(CBN_SELCHANGE, id, fn)
#define ON_EN_CHANGE(id, fn) ON_CONTROL_(EN_CHANGE, id, fn)

#define ON_WM_(msg, call)                                                        \
  {msg, 0, 0, [](CWnd* t, [[maybe_unused]] CPoint p, [[maybe_unused]] CWnd* o) { \
     static_cast<ThisClass*>(t)->call;                                           \
   }},
#define ON_WM_MOUSEMOVE() ON_WM_(WM_MOUSEMOVE, OnMouseMove(0, p))
#define ON_WM_LBUTTONUP() ON_WM_(WM_LBUTTONUP, OnLButtonUp(0, p))
#define ON_WM_SETCURSOR() ON_WM_(WM_SETCURSOR, OnSetCursor(o, 1, WM_MOUSEMOVE))
#define ON_WM_PAINT() ON_WM_(WM_PAINT, OnPaint())
#define ON_WM_CAPTURECHANGED() ON_WM_(WM_CAPTURECHANGED, OnCaptureChanged(o))

class CFont {
 public:
  CFont() = default;
  CFont(const CFont&) = delete;
  CFont& operator=(const CFont&) = delete;

  BOOL CreateFontIndirect(const LOGFONTW* font);
  int GetLogFont(LOGFONTW* font) const;
  operator HFONT() const { return m_hObject; }

  // Points at the LOGFONTW the font was made from: its own, or the one of
  // the window GetFont asked.
  HFONT m_hObject = nullptr;

 private:
  LOGFONTW font_;
};

// Painting starts the window's record of painted text afresh; the backends
// show it and tests read it (see gui::ControlState::painted).
class CPaintDC {
 public:
  explicit CPaintDC(CWnd* window);

  COLORREF SetTextColor(COLORREF color) { return std::exchange(text_color_, color); }
  COLORREF SetBkColor(COLORREF color) { return std::exchange(bk_color_, color); }
  // The font selected before (nullptr for the window's own font).
  CFont* SelectObject(CFont* font) { return std::exchange(font_, font); }
  BOOL TextOut(int x, int y, const std::wstring& text);
  void FillSolidRect(const RECT*, COLORREF color) { bk_color_ = color; }

 private:
  HWND window_;
  COLORREF text_color_;
  COLORREF bk_color_ = 0xFFFFFF;
  CFont* font_ = nullptr;
};

class CWnd : public CObject {
  DECLARE_DYNAMIC(CWnd)
 public:
  CWnd() = default;
  // Destroys a window that still exists.
  ~CWnd() override;
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;

  HWND m_hWnd = nullptr;
  operator HWND() const { return m_hWnd; }

  // The object attached to the window, else a plain CWnd wrapper that the
  // framework keeps for as long as the window exists (also for foreign
  // windows such as the host's main window); nullptr for no window.
  static CWnd* FromHandle(HWND window);

  // A custom control in the parent dialog; className must be registered with
  // AfxRegisterClass.
  BOOL CreateEx(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, const RECT& rect,
                CWnd* parent, UINT id);
  virtual BOOL DestroyWindow();

  void SetWindowText(const std::wstring& text);
  std::wstring GetWindowText() const;
  // Both give the state before: true when it was disabled, or visible.
  BOOL EnableWindow(BOOL enable = TRUE);
  BOOL ShowWindow(int command);
  // Also false for a control of a hidden dialog.
  BOOL IsWindowVisible() const;
  CWnd* GetDlgItem(int id) const;
  // A control's dialog, or a dialog's owner.
  CWnd* GetParent() const;
  void SetDlgItemText(int id, const std::wstring& text);

  // Screen pixels; a control moves with its dialog.
  void GetWindowRect(RECT* rect) const;
  void GetClientRect(RECT* rect) const;
  void ScreenToClient(RECT* rect) const;
  BOOL SetWindowPos(const CWnd* insertAfter, int x, int y, int cx, int cy, UINT flags);
  // Over the owner when it is one of ours and visible, else over the
  // screen; kept on the screen.
  void CenterWindow();
  static const CWnd wndTopMost;

  void SetFont(CFont* font);
  CFont* GetFont() const;
  // Painting is done at once: nothing waits for a pump.
  void Invalidate() { UpdateWindow(); }
  void UpdateWindow();
  CWnd* SetCapture();
  static CWnd* GetCapture() { return FromHandle(::GetCapture()); }
  static CWnd* GetFocus();

  int MessageBox(LPCWSTR text, LPCWSTR caption = nullptr, UINT type = MB_OK);

  // Moves data between the controls and the fields (saveAndValidate: from
  // the controls); false when a field's check failed.
  BOOL UpdateData(BOOL saveAndValidate = TRUE);
  virtual void DoDataExchange(CDataExchange* dx) {}

  // What the message map does; false when it names no handler.
  virtual BOOL Handle(UINT message, UINT code, UINT id, CPoint point, CWnd* other) { return FALSE; }

 private:
  explicit CWnd(HWND special) : m_hWnd(special) {}
  mutable CFont font_;  // GetFont's answer, not owning
};

namespace gui {
// A window message, or a command (a control's notification) to a dialog,
// handed to the object's message map. A CException that escapes the handler
// is reported in a message box and deleted, as the framework's own dispatch
// does.
void Send(HWND window, UINT message, CPoint point = {}, HWND other = nullptr, UINT code = 0,
          UINT id = 0);
inline void Command(HWND dialog, int id, WORD code) {
  Send(dialog, WM_COMMAND, {}, nullptr, code, static_cast<WORD>(id));
}
}  // namespace gui

// Registers a window class for CWnd::CreateEx; true also when a class of
// that name is registered already.
BOOL AfxRegisterClass(WNDCLASSW* windowClass);
