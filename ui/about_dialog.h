// The about box: the product, its version and the maker's notice.
#pragma once

#include "platform/gui/afxwin.h"

class CAboutDlg : public CDialog {
  DECLARE_DYNAMIC(CAboutDlg)

 public:
  enum : int {
    IDC_VERSION_TEXT = 1101,
    IDC_NOTICE_FIRST = 1102,  // the notice lines, one control each
  };
  static const gui::DialogTemplate& Template();

  explicit CAboutDlg(CWnd* parent = nullptr);

 protected:
  BOOL OnInitDialog() override;
};
