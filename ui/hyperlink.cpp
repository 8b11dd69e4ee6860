#include "ui/hyperlink.h"

#include "platform/shell/shellapi.h"

BEGIN_MESSAGE_MAP(CHyperlink, CWnd)
ON_WM_PAINT()
ON_WM_MOUSEMOVE()
ON_WM_LBUTTONUP()
ON_WM_SETCURSOR()
ON_WM_CAPTURECHANGED()
END_MESSAGE_MAP()

BOOL CHyperlink::Create(CWnd* placeholder, const std::wstring& url, const std::wstring& text) {
  if (placeholder == nullptr || placeholder->GetParent() == nullptr) return FALSE;
  url_ = url;
  cursor_ = LoadCursorW(nullptr, IDC_HAND);
  WNDCLASSW wc;
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = DefWindowProcW;
  wc.hCursor = cursor_;
  wc.lpszClassName = kClassName;
  if (!AfxRegisterClass(&wc)) return FALSE;

  CWnd* parent = placeholder->GetParent();
  CRect rect;
  placeholder->GetWindowRect(&rect);
  parent->ScreenToClient(&rect);
  if (!CreateEx(0, kClassName, text.empty() ? url.c_str() : text.c_str(), WS_CHILD | WS_VISIBLE,
                rect, parent, kControlId)) {
    return FALSE;
  }
  LOGFONTW lf;
  CFont* font = placeholder->GetFont();
  if (font != nullptr && font->GetLogFont(&lf) != 0) {
    lf.lfUnderline = TRUE;
    if (font_.CreateFontIndirect(&lf)) SetFont(&font_);
  }
  placeholder->ShowWindow(SW_HIDE);
  return TRUE;
}

void CHyperlink::OnPaint() {
  CPaintDC dc(this);
  CRect client;
  GetClientRect(&client);
  COLORREF face = GetSysColor(COLOR_3DFACE);
  dc.FillSolidRect(&client, face);
  dc.SetBkColor(face);
  dc.SetTextColor(hot_ ? kHotColor : kNormalColor);
  CFont* old = dc.SelectObject(font_.m_hObject != nullptr ? &font_ : GetFont());
  dc.TextOut(0, 0, GetWindowText());
  dc.SelectObject(old);
}

void CHyperlink::SetHot(bool hot) {
  if (hot == hot_) return;
  hot_ = hot;
  Invalidate();
}

void CHyperlink::OnMouseMove(UINT, CPoint point) {
  CRect client;
  GetClientRect(&client);
  if (client.PtInRect(point)) {
    // Holding the capture is how the link learns that the pointer left.
    if (GetCapture() != this) SetCapture();
    SetHot(true);
  } else {
    SetHot(false);
    if (GetCapture() == this) ReleaseCapture();
  }
}

void CHyperlink::OnLButtonUp(UINT, CPoint point) {
  CRect client;
  GetClientRect(&client);
  if (!client.PtInRect(point)) return;
  ShellExecuteW(nullptr, L"open", url_.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

BOOL CHyperlink::OnSetCursor(CWnd*, UINT, UINT) {
  ::SetCursor(cursor_);
  return TRUE;
}

void CHyperlink::OnCaptureChanged(CWnd* window) {
  if (window != this) SetHot(false);
}
