#include "database/database_dialog.h"

#include <filesystem>

#include "database/drawing_path.h"
#include "platform/win/text.h"
#include "ui/settings.h"

namespace {

constexpr const wchar_t* kCaption = L"Brellick OrvaneGridmason";
constexpr const wchar_t* kDatabaseFilter =
    L"Microsoft Office Access Databases (*.mdb)|*.mdb|Microsoft Office Access 2007 Databases "
    L"(*.accdb)|*.accdb|All Files (*.*)|*.*||";
constexpr DWORD kEditStyle = WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL;
constexpr DWORD kCheckStyle = WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX;
constexpr DWORD kButtonStyle = WS_VISIBLE | WS_TABSTOP;
// The collapsed dialog keeps this share of its full width: the options
// without the preview.
constexpr double kCollapsedWidth = 0.43;

}  // namespace

const gui::DialogTemplate& CDatabaseDialog::Template() {
  using K = gui::ControlKind;
  static const gui::DialogTemplate t = {
      L"IDD_F2921BEA_FA7A_45E9_B388_9A3CA6E92BCC",
      L"Database",
      L"Microsoft Sans Serif",
      8,
      568,
      265,
      WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
      0,
      {
          {IDC_STATIC, K::kStatic, L"Database", 9, 7, 32, 8},
          {IDC_STATIC, K::kEtchedLine, L"", 46, 11, 181, 1},
          {IDC_NEW_DATABASE, K::kRadioButton, L"New Database", 35, 21, 63, 10,
           WS_VISIBLE | WS_TABSTOP | WS_GROUP | BS_AUTORADIOBUTTON},
          {IDC_EXISTING_DATABASE, K::kRadioButton, L"Existing Database", 130, 21, 73, 10,
           WS_VISIBLE | WS_TABSTOP | BS_AUTORADIOBUTTON},
          // WS_GROUP ends the radio group.
          {IDC_STATIC, K::kStatic, L"Database:", 24, 40, 34, 8, WS_VISIBLE | WS_GROUP},
          {IDC_DATABASE, K::kEdit, L"", 59, 37, 139, 14, kEditStyle},
          {IDC_BROWSE_DATABASE, K::kPushButton, L"...", 203, 37, 16, 14, kButtonStyle},
          {IDC_STATIC, K::kStatic, L"User:", 40, 62, 18, 8},
          {IDC_USER, K::kEdit, L"", 59, 59, 40, 14, kEditStyle},
          {IDC_STATIC, K::kStatic, L"Password:", 121, 62, 34, 8},
          {IDC_PASSWORD, K::kEdit, L"", 158, 59, 40, 14, kEditStyle | ES_PASSWORD},
          {IDC_STATIC, K::kStatic, L"Table", 9, 78, 19, 8},
          {IDC_STATIC, K::kEtchedLine, L"", 34, 82, 190, 1},
          {IDC_STATIC, K::kStatic, L"Table:", 21, 95, 21, 8},
          {IDC_TABLE, K::kEdit, L"", 47, 92, 114, 14, kEditStyle},
          {IDC_OVERWRITE, K::kCheckBox, L"Overwrite the existing table ", 20, 117, 103, 10,
           kCheckStyle},
          {IDC_ROW_FIELDS, K::kCheckBox, L"Row Contains Field Names", 20, 134, 101, 10,
           kCheckStyle},
          {IDC_ROW_FIELDS_OPTION, K::kComboBox, L"", 124, 133, 58, 67,
           WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST | CBS_SORT},
          {IDC_APPEND, K::kCheckBox, L"Append the data", 20, 151, 69, 10, kCheckStyle},
          {IDC_USE_TEMPLATE, K::kCheckBox, L"Table Template", 20, 168, 65, 10, kCheckStyle},
          {IDC_STATIC, K::kEtchedLine, L"", 86, 173, 112, 1},
          {IDC_STATIC, K::kStatic, L"Database:", 31, 189, 34, 8},
          {IDC_TEMPLATE_DATABASE, K::kEdit, L"", 68, 185, 109, 14, kEditStyle},
          {IDC_BROWSE_TEMPLATE, K::kPushButton, L"...", 183, 185, 16, 14, kButtonStyle},
          {IDC_STATIC, K::kStatic, L"Table:", 44, 210, 21, 8},
          {IDC_TEMPLATE_TABLE, K::kEdit, L"", 68, 207, 96, 14, kEditStyle},
          {IDC_STATIC, K::kStatic, L"Preview:", 241, 7, 28, 8},
          {IDC_PREVIEW, K::kListView, L"", 241, 24, 318, 226,
           WS_VISIBLE | WS_TABSTOP | WS_BORDER | LVS_REPORT},
          {IDOK, K::kDefPushButton, L"OK", 9, 237, 50, 14, kButtonStyle},
          {IDCANCEL, K::kPushButton, L"Cancel", 95, 237, 50, 14, kButtonStyle},
          {IDC_PREVIEW_TOGGLE, K::kPushButton, L"Preview <<", 177, 237, 50, 14, kButtonStyle},
      },
  };
  return t;
}

IMPLEMENT_DYNAMIC(CDatabaseDialog, CDialog)

BEGIN_MESSAGE_MAP(CDatabaseDialog, CDialog)
ON_BN_CLICKED(IDC_USE_TEMPLATE, &CDatabaseDialog::OnClickedUseTemplate)
ON_BN_CLICKED(IDC_NEW_DATABASE, &CDatabaseDialog::OnClickedDatabaseOption)
ON_BN_CLICKED(IDC_EXISTING_DATABASE, &CDatabaseDialog::OnClickedDatabaseOption)
ON_BN_CLICKED(IDC_ROW_FIELDS, &CDatabaseDialog::OnClickedRowFields)
ON_BN_CLICKED(IDC_PREVIEW_TOGGLE, &CDatabaseDialog::OnClickedPreviewToggle)
ON_BN_CLICKED(IDC_BROWSE_DATABASE, &CDatabaseDialog::OnBrowseDatabase)
ON_BN_CLICKED(IDC_BROWSE_TEMPLATE, &CDatabaseDialog::OnBrowseTemplate)
ON_CBN_SELCHANGE(IDC_ROW_FIELDS_OPTION, &CDatabaseDialog::OnRowFieldsOptionChanged)
END_MESSAGE_MAP()

CDatabaseDialog::CDatabaseDialog(const CSheetform* table, CWnd* parent)
    : CDialog(Template(), parent), m_pTable(table) {}

CDatabaseDialog::~CDatabaseDialog() = default;

void CDatabaseDialog::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Radio(dx, IDC_NEW_DATABASE, m_nDatabaseOption);
  DDX_Text(dx, IDC_DATABASE, m_strExistingDatabase);
  DDX_Text(dx, IDC_TABLE, m_strTable);
  DDX_Check(dx, IDC_USE_TEMPLATE, m_bUseTableTemplate);
  DDX_Text(dx, IDC_TEMPLATE_DATABASE, m_strDatabaseTemplate);
  DDX_Text(dx, IDC_TEMPLATE_TABLE, m_strTableTemplate);
  DDX_Check(dx, IDC_APPEND, m_bAppendData);
  DDX_Check(dx, IDC_ROW_FIELDS, m_bEnableRowFields);
  DDX_Control(dx, IDC_PREVIEW, m_ctlPreview);
  DDX_Text(dx, IDC_USER, m_strUser);
  DDX_Text(dx, IDC_PASSWORD, m_strPassword);
  DDX_Check(dx, IDC_OVERWRITE, m_bOverwriteTable);
  DDX_Control(dx, IDC_ROW_FIELDS_OPTION, m_ctlRowFieldsCombo);
}

BOOL CDatabaseDialog::OnInitDialog() {
  CDialog::OnInitDialog();
  const std::wstring s = kSettingsSection;
  m_nDatabaseOption = ReadSettingInt(s, L"Database Option", m_nDatabaseOption);
  m_strExistingDatabase = ReadSettingString(s, L"Existing Database", m_strExistingDatabase);
  m_strTable = ReadSettingString(s, L"DB Table", m_strTable);
  m_bUseTableTemplate = ReadSettingInt(s, L"Use Table Template", m_bUseTableTemplate);
  m_strDatabaseTemplate = ReadSettingString(s, L"Database Template", m_strDatabaseTemplate);
  m_strTableTemplate = ReadSettingString(s, L"Table Template", m_strTableTemplate);
  m_bAppendData = ReadSettingInt(s, L"Append Data", m_bAppendData);
  m_bEnableRowFields = ReadSettingInt(s, L"Enable Row Fields", m_bEnableRowFields);
  m_nRowFieldsOption = ReadSettingInt(s, L"Row Fields Option", m_nRowFieldsOption);
  m_bExpandPreview = ReadSettingInt(s, L"Expand DB Preview", m_bExpandPreview);
  m_bOverwriteTable = ReadSettingInt(s, L"Overwrite Table", m_bOverwriteTable);
  m_strUser = ReadSettingString(s, L"DB User", m_strUser);
  m_strPassword = ReadSettingString(s, L"DB Password", m_strPassword);
  UpdateData(FALSE);

  GetWindowRect(&m_rcFullWindow);
  ApplyRowFieldsRule();
  ApplyDatabaseRule();
  ApplyTemplateRule();

  m_ctlRowFieldsCombo.AddString(L"First Row");
  m_ctlRowFieldsCombo.AddString(L"Last Row");
  m_ctlRowFieldsCombo.SetCurSel(m_nRowFieldsOption);
  m_ctlPreview.SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
  RefreshPreview();

  if (m_bExpandPreview == 0) {
    SetWindowPos(nullptr, 0, 0, static_cast<int>(m_rcFullWindow.Width() * kCollapsedWidth),
                 m_rcFullWindow.Height(), SWP_NOMOVE | SWP_NOZORDER);
    SetDlgItemText(IDC_PREVIEW_TOGGLE, L"Preview >>");
  }
  return TRUE;
}

void CDatabaseDialog::ApplyTemplateRule() {
  for (int id : {IDC_TEMPLATE_DATABASE, IDC_BROWSE_TEMPLATE, IDC_TEMPLATE_TABLE}) {
    GetDlgItem(id)->EnableWindow(m_bUseTableTemplate != 0);
  }
}

void CDatabaseDialog::ApplyDatabaseRule() {
  for (int id : {IDC_DATABASE, IDC_BROWSE_DATABASE, IDC_USER, IDC_PASSWORD}) {
    GetDlgItem(id)->EnableWindow(m_nDatabaseOption == 1);
  }
}

void CDatabaseDialog::ApplyRowFieldsRule() {
  m_ctlRowFieldsCombo.EnableWindow(m_bEnableRowFields != 0);
}

void CDatabaseDialog::OnClickedUseTemplate() {
  UpdateData(TRUE);
  ApplyTemplateRule();
}

void CDatabaseDialog::OnClickedDatabaseOption() {
  UpdateData(TRUE);
  ApplyDatabaseRule();
}

void CDatabaseDialog::OnClickedRowFields() {
  UpdateData(TRUE);
  ApplyRowFieldsRule();
  RefreshPreview();
}

void CDatabaseDialog::OnRowFieldsOptionChanged() {
  m_nRowFieldsOption = m_ctlRowFieldsCombo.GetCurSel();
  RefreshPreview();
}

void CDatabaseDialog::OnClickedPreviewToggle() {
  if (m_bExpandPreview != 0) {
    SetDlgItemText(IDC_PREVIEW_TOGGLE, L"Preview >>");
    SetWindowPos(nullptr, 0, 0, static_cast<int>(m_rcFullWindow.Width() * kCollapsedWidth),
                 m_rcFullWindow.Height(), SWP_NOMOVE | SWP_NOZORDER);
  } else {
    SetDlgItemText(IDC_PREVIEW_TOGGLE, L"Preview <<");
    SetWindowPos(nullptr, 0, 0, m_rcFullWindow.Width(), m_rcFullWindow.Height(),
                 SWP_NOMOVE | SWP_NOZORDER);
  }
  m_bExpandPreview = m_bExpandPreview != 0 ? 0 : 1;
}

void CDatabaseDialog::Browse(std::wstring& field) {
  UpdateData(TRUE);
  CFileDialog dlg(TRUE, L"mdb", nullptr, OFN_HIDEREADONLY, kDatabaseFilter, this);
  if (dlg.DoModal() != IDOK) return;
  field = dlg.GetPathName();
  UpdateData(FALSE);
}

void CDatabaseDialog::OnBrowseDatabase() { Browse(m_strExistingDatabase); }
void CDatabaseDialog::OnBrowseTemplate() { Browse(m_strDatabaseTemplate); }

void CDatabaseDialog::RefreshPreview() {
  m_ctlPreview.DeleteAllItems();
  while (m_ctlPreview.DeleteColumn(0)) {
  }
  if (!UpdateData(TRUE) || m_pTable == nullptr) return;
  const CSheetform& table = *m_pTable;
  const int columns = table.GetColumnCount();
  const int rows = table.GetRowCount();
  if (columns < 1 || rows < 1) return;

  const int selection = m_ctlRowFieldsCombo.GetCurSel();
  const bool rowFields = m_bEnableRowFields != 0;
  const int nameRow = selection != 0 ? rows - 1 : 0;
  for (int c = 0; c < columns; ++c) {
    const std::wstring heading =
        rowFields ? CellText(table, nameRow, c) : win::Format(L"Field %d", c + 1);
    m_ctlPreview.InsertColumn(c, heading, LVCFMT_CENTER, 80);
  }
  const int first = rowFields && selection == 0 ? 1 : 0;
  const int end = rowFields && selection == 1 ? rows - 1 : rows;
  for (int r = first; r < end; ++r) {
    const int item = m_ctlPreview.InsertItem(m_ctlPreview.GetItemCount(), CellText(table, r, 0));
    for (int c = 1; c < columns; ++c) m_ctlPreview.SetItemText(item, c, CellText(table, r, c));
  }
}

int CDatabaseDialog::Tell(const std::wstring& text, UINT type) {
  return MessageBox(text.c_str(), kCaption, type | MB_ICONINFORMATION);
}

void CDatabaseDialog::OnOK() {
  if (!UpdateData(TRUE)) return;
  if (m_nDatabaseOption == 1 && m_strExistingDatabase.empty()) {
    Tell(L"Database cannot be empty.");
    return;
  }
  if (m_strTable.empty()) {
    Tell(L"Table Name cannot be empty.");
    return;
  }
  if (m_nDatabaseOption == 1 &&
      !FileExists(ResolveRelativePath(GetDrawingPath(), m_strExistingDatabase))) {
    Tell(win::Format(L"Failed to find %s.", m_strExistingDatabase.c_str()));
    return;
  }
  if (m_bOverwriteTable != 0 &&
      Tell(L"If you overwrite the existing table, the data in the old table will be lost. Do you "
           L"want to continue?",
           MB_YESNO) != IDYES) {
    return;
  }
  if (m_bUseTableTemplate != 0) {
    if (m_strDatabaseTemplate.empty()) {
      Tell(L"The database template cannot be empty.");
      return;
    }
    if (m_strTableTemplate.empty()) {
      Tell(L"The table template cannot be empty.");
      return;
    }
    if (!FileExists(m_strDatabaseTemplate)) {
      Tell(win::Format(L"Failed to find %s.", m_strDatabaseTemplate.c_str()));
      return;
    }
  }
  if (m_bAppendData == 0 &&
      Tell(win::Format(L"If you don't want to append the data, the old data in table %s will be "
                       L"lost. Do you want to continue?",
                       m_strTable.c_str()),
           MB_YESNO) != IDYES) {
    return;
  }
  m_nRowFieldsOption = m_ctlRowFieldsCombo.GetCurSel();

  const std::wstring s = kSettingsSection;
  WriteSettingInt(s, L"Database Option", m_nDatabaseOption);
  WriteSettingString(s, L"Existing Database", m_strExistingDatabase);
  WriteSettingString(s, L"DB Table", m_strTable);
  WriteSettingInt(s, L"Overwrite Table", m_bOverwriteTable);
  WriteSettingInt(s, L"Use Table Template", m_bUseTableTemplate);
  WriteSettingString(s, L"Database Template", m_strDatabaseTemplate);
  WriteSettingString(s, L"Table Template", m_strTableTemplate);
  WriteSettingInt(s, L"Append Data", m_bAppendData);
  WriteSettingInt(s, L"Enable Row Fields", m_bEnableRowFields);
  WriteSettingInt(s, L"Row Fields Option", m_nRowFieldsOption);
  WriteSettingString(s, L"DB User", m_strUser);
  WriteSettingString(s, L"DB Password", m_strPassword);
  WriteSettingInt(s, L"Expand DB Preview", m_bExpandPreview);
  EndDialog(IDOK);
}

std::wstring CellText(const CSheetform& table, int row, int column) {
  const CSheetformRow& r = table.Rows[row];
  return column < r.Cells.GetSize() ? r.Cells[column].GetText() : std::wstring();
}
