// A hyperlink control: underlined text over the dialog's face, blue, red
// while the pointer is over it, that opens its address with the shell when
// clicked. It takes the place of a placeholder control of the dialog.
#pragma once

#include <string>

#include "platform/gui/afxwin.h"

class CHyperlink : public CWnd {
 public:
  static constexpr const wchar_t* kClassName = L"HyperlinkWnd";
  static constexpr UINT kControlId = 3000;
  static constexpr COLORREF kNormalColor = 0xFF0000;  // blue
  static constexpr COLORREF kHotColor = 255;          // red

  CHyperlink() = default;

  // Registers the window class and creates the link as a visible child of
  // the placeholder's parent, with id 3000, over the placeholder's
  // rectangle and in its font, underlined; the placeholder is hidden.
  // text: what it shows (empty: the address itself).
  BOOL Create(CWnd* placeholder, const std::wstring& url, const std::wstring& text = L"");

  const std::wstring& GetURL() const { return url_; }
  void SetURL(const std::wstring& url) { url_ = url; }
  bool IsHot() const { return hot_; }

 protected:
  void OnPaint();
  void OnMouseMove(UINT flags, CPoint point);
  void OnLButtonUp(UINT flags, CPoint point);
  BOOL OnSetCursor(CWnd* window, UINT hitTest, UINT message);
  void OnCaptureChanged(CWnd* window);

  DECLARE_MESSAGE_MAP()

 private:
  void SetHot(bool hot);

  std::wstring url_;
  CFont font_;
  HCURSOR cursor_ = nullptr;
  bool hot_ = false;
};
