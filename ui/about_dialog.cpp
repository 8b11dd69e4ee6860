#include "ui/about_dialog.h"

#include "platform/win/text.h"
#include "ui/product.h"

IMPLEMENT_DYNAMIC(CAboutDlg, CDialog)

const gui::DialogTemplate& CAboutDlg::Template() {
  using K = gui::ControlKind;
  static const gui::DialogTemplate t = {
      L"IDD_ABOUTBOX",
      L"About",
      L"MS Shell Dlg",
      8,
      236,
      92,
      WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
      0,
      {
          {IDC_VERSION_TEXT, K::kStatic, L"", 14, 12, 208, 8, WS_VISIBLE | SS_NOTIFY},
          {IDC_NOTICE_FIRST, K::kStatic, L"Copyright (C) 2026 Orvane. All rights reserved.", 14, 28,
           208, 8},
          {IDC_NOTICE_FIRST + 1, K::kStatic,
           L"Turns tables drawn with lines and texts into workbooks and databases.", 14, 40, 208,
           8},
          {IDC_NOTICE_FIRST + 2, K::kStatic, L"", 14, 52, 208, 8},
          {IDOK, K::kDefPushButton, L"OK", 93, 70, 50, 14, WS_VISIBLE | WS_TABSTOP | WS_GROUP},
      },
  };
  return t;
}

CAboutDlg::CAboutDlg(CWnd* parent) : CDialog(Template(), parent) {}

BOOL CAboutDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SetWindowText(win::Format(L"About %s %s", kProductName, kProductVersion));
  SetDlgItemText(IDC_VERSION_TEXT, win::Format(L"%s version %s", kProductName, kProductVersion));
  SetDlgItemText(IDC_NOTICE_FIRST + 2, g_CompanySite);
  return TRUE;
}
