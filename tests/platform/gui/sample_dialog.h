// A dialog with one control of every kind, for the framework's tests.
#pragma once

#include <string>
#include <vector>

#include "platform/gui/afxwin.h"

namespace sample {

enum : int {
  kName = 101,
  kPassword = 102,
  kEnable = 103,
  kFirstRadio = 104,
  kSecondRadio = 105,
  kCombo = 106,
  kList = 107,
  kProgress = 108,
  kApply = 109,
  kHiddenBox = 110,
  kDependent = 111,
  kCount = 112,
};

inline const gui::DialogTemplate& Template() {
  using gui::ControlKind;
  static const gui::DialogTemplate t = {
      L"IDD_SAMPLE",
      L"Sample",
      L"MS Sans Serif",
      8,
      200,
      160,
      WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME,
      0,
      {
          {IDC_STATIC, ControlKind::kStatic, L"Details", 7, 7, 40, 8, WS_VISIBLE},
          {IDC_STATIC, ControlKind::kEtchedLine, L"", 50, 10, 140, 1, WS_VISIBLE},
          {IDC_STATIC, ControlKind::kStatic, L"Name:", 7, 22, 40, 8, WS_VISIBLE},
          {kName, ControlKind::kEdit, L"", 50, 20, 100, 14, gui::kVisibleTab | WS_BORDER},
          {IDC_STATIC, ControlKind::kStatic, L"Password:", 7, 40, 40, 8, WS_VISIBLE},
          {kPassword, ControlKind::kEdit, L"", 50, 38, 100, 14,
           gui::kVisibleTab | WS_BORDER | ES_PASSWORD},
          {kEnable, ControlKind::kCheckBox, L"&Enable count:", 7, 56, 60, 10, gui::kVisibleTab},
          {kDependent, ControlKind::kEdit, L"", 70, 55, 40, 14, gui::kVisibleTab | WS_BORDER},
          {kFirstRadio, ControlKind::kRadioButton, L"First", 7, 72, 40, 10,
           gui::kVisibleTab | WS_GROUP},
          {kSecondRadio, ControlKind::kRadioButton, L"Second", 60, 72, 40, 10, gui::kVisibleTab},
          {IDC_STATIC, ControlKind::kStatic, L"Kind:", 7, 88, 30, 8, WS_VISIBLE | WS_GROUP},
          {kCombo, ControlKind::kComboBox, L"", 40, 86, 80, 60,
           gui::kVisibleTab | CBS_DROPDOWNLIST | CBS_SORT},
          {kList, ControlKind::kListView, L"", 130, 86, 60, 40,
           gui::kVisibleTab | LVS_REPORT | WS_BORDER},
          {kProgress, ControlKind::kProgressBar, L"", 7, 104, 100, 10, WS_VISIBLE},
          {kHiddenBox, ControlKind::kCheckBox, L"Hidden", 7, 118, 40, 10, WS_TABSTOP},
          {kCount, ControlKind::kEdit, L"", 50, 118, 30, 14, gui::kVisibleTab | WS_BORDER},
          {kApply, ControlKind::kPushButton, L"Apply", 7, 140, 50, 14, gui::kVisibleTab},
          {IDOK, ControlKind::kDefPushButton, L"OK", 80, 140, 50, 14, gui::kVisibleTab},
          {IDCANCEL, ControlKind::kPushButton, L"Cancel", 140, 140, 50, 14, gui::kVisibleTab},
      },
  };
  return t;
}

class CSampleDialog : public CDialog {
 public:
  explicit CSampleDialog(CWnd* parent = nullptr) : CDialog(Template(), parent) {}

  std::wstring name = L"Ada";
  std::wstring password;
  int enable = 0;
  std::wstring dependent = L"x";
  int radio = 1;
  std::wstring kind = L"beta";
  int count = 3;
  int hidden_box = 1;
  CComboBox combo;
  CListCtrl list;
  CProgressCtrl progress;

  int applies = 0;
  int name_changes = 0;
  int selections = 0;

 protected:
  void DoDataExchange(CDataExchange* dx) override {
    DDX_Control(dx, kCombo, combo);
    DDX_Control(dx, kList, list);
    DDX_Control(dx, kProgress, progress);
    DDX_Text(dx, kName, name);
    DDX_Text(dx, kPassword, password);
    DDX_Check(dx, kEnable, enable);
    DDX_Text(dx, kDependent, dependent);
    DDX_Radio(dx, kFirstRadio, radio);
    DDX_CBString(dx, kCombo, kind);
    DDX_Check(dx, kHiddenBox, hidden_box);
    DDX_Text(dx, kCount, count);
  }

  BOOL OnInitDialog() override {
    // The control objects are bound by the first exchange.
    CDialog::OnInitDialog();
    combo.AddString(L"gamma");
    combo.AddString(L"alpha");
    combo.AddString(L"Beta");
    list.InsertColumn(0, L"A", LVCFMT_CENTER, 80);
    list.InsertColumn(1, L"B", LVCFMT_CENTER, 80);
    list.InsertItem(0, L"a1");
    list.SetItemText(0, 1, L"b1");
    list.InsertItem(1, L"a2");
    list.SetItemText(1, 1, L"b2");
    progress.SetRange32(0, 200);
    progress.SetPos(50);
    UpdateData(FALSE);
    OnEnable();
    return TRUE;
  }

  void OnEnable() {
    UpdateData(TRUE);
    GetDlgItem(kDependent)->EnableWindow(enable);
  }
  void OnApply() { ++applies; }
  void OnNameChange() { ++name_changes; }
  void OnKindChange() { ++selections; }

  DECLARE_MESSAGE_MAP()
};

}  // namespace sample
