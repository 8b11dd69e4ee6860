#include "ui/options_dialog.h"

#include <cmath>
#include <cwctype>

#include "platform/win/text.h"
#include "ui/settings.h"

namespace {

constexpr const wchar_t* kActiveTableStyle = L"*Active Table Style*";
constexpr DWORD kEditStyle = WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL;
constexpr DWORD kCheckStyle = WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX;

}  // namespace

const gui::DialogTemplate& COptionsDialog::Template() {
  using K = gui::ControlKind;
  static const gui::DialogTemplate t = {
      L"IDD_FAA26397_4C4A_4404_9DE7_22236FCCC05A",
      L"Options",
      L"Microsoft Sans Serif",
      8,
      224,
      250,
      WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
      0,
      {
          {IDC_STATIC, K::kStatic, L"Table Analysis", 7, 7, 46, 8},
          {IDC_STATIC, K::kEtchedLine, L"", 61, 10, 156, 1},
          {IDC_STATIC, K::kStatic, L"Text tolerance:", 53, 22, 48, 8},
          {IDC_TEXT_TOL, K::kEdit, L"", 104, 19, 31, 14, kEditStyle},
          {IDC_MERGE_BY_LINES, K::kCheckBox, L"Merge cells where no line divides them", 141, 19, 76,
           20, kCheckStyle},
          {IDC_STATIC, K::kStatic, L"Ortho tolerance factor:", 29, 46, 72, 8},
          {IDC_FUZZY_PERCENT, K::kEdit, L"", 104, 43, 31, 14, kEditStyle},
          {IDC_HAS_DOUBLE_LINE, K::kCheckBox, L"Double line width:", 32, 67, 68, 14, kCheckStyle},
          {IDC_DOUBLE_LINE_DIST, K::kEdit, L"", 104, 67, 31, 14, kEditStyle},
          {IDC_STATIC, K::kStatic, L"Excel", 7, 91, 18, 8},
          {IDC_STATIC, K::kEtchedLine, L"", 33, 94, 183, 1},
          {IDC_NEW_WORKBOOK, K::kRadioButton, L"Create new workbook", 31, 106, 85, 10,
           WS_VISIBLE | WS_TABSTOP | WS_GROUP | BS_AUTORADIOBUTTON},
          {IDC_ACTIVE_WORKBOOK, K::kRadioButton, L"Use active workbook", 127, 107, 83, 10,
           WS_VISIBLE | WS_TABSTOP | BS_AUTORADIOBUTTON},
          // WS_GROUP ends the radio group.
          {IDC_STATIC, K::kStatic, L"Start column:", 31, 127, 42, 8, WS_VISIBLE | WS_GROUP},
          {IDC_START_COL, K::kEdit, L"", 77, 125, 40, 14, kEditStyle},
          {IDC_STATIC, K::kStatic, L"Start row:", 127, 127, 31, 8},
          {IDC_START_ROW, K::kEdit, L"", 161, 125, 40, 14, kEditStyle},
          {IDC_FORCE_TEXT_FORMAT, K::kCheckBox, L"Force cell format as text", 31, 148, 91, 10,
           kCheckStyle},
          {IDC_INCLUDE_FORMULA, K::kCheckBox, L"Include formula", 128, 149, 64, 10, kCheckStyle},
          {IDC_AUTOFIT_COLUMNS, K::kCheckBox, L"Apply autofit to columns", 31, 165, 91, 10,
           kCheckStyle},
          {IDC_AUTOFIT_ROWS, K::kCheckBox, L"Apply autofit to rows", 128, 165, 79, 10, kCheckStyle},
          {IDC_STATIC, K::kStatic, L"AutoCAD Table", 8, 182, 50, 8},
          {IDC_STATIC, K::kEtchedLine, L"", 63, 185, 154, 1},
          {IDC_STATIC, K::kStatic, L"Table style:", 32, 199, 37, 8, WS_VISIBLE | SS_RIGHT},
          {IDC_TABLE_STYLE, K::kComboBox, L"", 73, 197, 128, 63,
           WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST | CBS_SORT},
          {IDC_HAS_TITLE, K::kCheckBox, L"Title:", 44, 212, 27, 10, WS_TABSTOP | BS_AUTOCHECKBOX},
          {IDC_TABLE_TITLE, K::kEdit, L"", 73, 211, 128, 14,
           WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL},
          {IDOK, K::kDefPushButton, L"OK", 34, 229, 50, 14, WS_VISIBLE | WS_TABSTOP},
          {IDCANCEL, K::kPushButton, L"Cancel", 138, 229, 50, 14, WS_VISIBLE | WS_TABSTOP},
      },
  };
  return t;
}

IMPLEMENT_DYNAMIC(COptionsDialog, CDialog)

BEGIN_MESSAGE_MAP(COptionsDialog, CDialog)
ON_BN_CLICKED(IDC_HAS_DOUBLE_LINE, &COptionsDialog::OnClickedHasDoubleLine)
ON_BN_CLICKED(IDC_HAS_TITLE, &COptionsDialog::OnClickedHasTitle)
END_MESSAGE_MAP()

COptionsDialog::COptionsDialog(CWnd* parent) : CDialog(Template(), parent) {}

COptionsDialog::~COptionsDialog() = default;

void COptionsDialog::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Control(dx, IDC_TABLE_STYLE, m_TableStyleCombo);
  DDX_CBString(dx, IDC_TABLE_STYLE, m_TableStyle);
  DDX_Check(dx, IDC_HAS_TITLE, m_HasTitle);
  DDX_Text(dx, IDC_TABLE_TITLE, m_TableTitle);
  DDX_Radio(dx, IDC_NEW_WORKBOOK, m_WorkbookOpt);
  DDX_Text(dx, IDC_START_ROW, m_StartRow);
  DDX_Text(dx, IDC_START_COL, m_StartCol);
  DDX_Check(dx, IDC_FORCE_TEXT_FORMAT, m_ForceTextFormat);
  DDX_Check(dx, IDC_INCLUDE_FORMULA, m_IncludeFormula);
  DDX_Check(dx, IDC_AUTOFIT_COLUMNS, m_AutofitColumns);
  DDX_Check(dx, IDC_AUTOFIT_ROWS, m_AutofitRows);
  DDX_Check(dx, IDC_HAS_DOUBLE_LINE, m_HasDoubleLine);
  DDX_Check(dx, IDC_MERGE_BY_LINES, m_MergeByLines);
  DDX_Text(dx, IDC_TEXT_TOL, m_TextTol);
  DDX_Text(dx, IDC_FUZZY_PERCENT, m_FuzzyPercent);
  DDX_Text(dx, IDC_DOUBLE_LINE_DIST, m_DoubleLineDist);
}

BOOL COptionsDialog::OnInitDialog() {
  CDialog::OnInitDialog();
  // No table styles are offered: the list stays empty and disabled.
  m_TableStyleCombo.EnableWindow(FALSE);
  m_DoubleLineDist = win::Format(L"%g", ConversionSettings.DoubleLineDist);
  m_TextTol = win::Format(L"%g", ConversionSettings.TextTol);
  LoadOrSave(true);
  OnClickedHasDoubleLine();
  OnClickedHasTitle();
  return TRUE;
}

namespace {

constexpr double kLastRow = 1048576;
constexpr double kLastColumn = 16384;  // XFD

// A start column past the sheet's last: its letters (all of them) or its number.
bool BeyondLastColumn(const std::wstring& text) {
  size_t b = text.find_first_not_of(L" \t");
  if (b == std::wstring::npos) return false;
  if (std::iswalpha(text[b])) {
    double column = 0;
    for (size_t i = b; i < text.size() && std::iswalpha(text[i]); ++i) {
      column = column * 26 + (std::towupper(text[i]) - L'A' + 1);
      if (column > kLastColumn) return true;
    }
    return false;
  }
  return win::WcsToD(text) > kLastColumn;
}

}  // namespace

void COptionsDialog::LoadOrSave(bool load) {
  const std::wstring s = kSettingsSection;
  if (load) {
    m_TextTol = ReadSettingString(s, L"TextTol", m_TextTol);
    m_FuzzyPercent = ReadSettingString(s, L"FuzzyPercent", m_FuzzyPercent);
    m_HasDoubleLine = ReadSettingInt(s, L"HasDoubleLine", m_HasDoubleLine);
    m_DoubleLineDist = ReadSettingString(s, L"DoubleLineDist", m_DoubleLineDist);
    m_TableStyle = ReadSettingString(s, L"TableStyle", m_TableStyle);
    m_HasTitle = ReadSettingInt(s, L"HasTitle", m_HasTitle);
    m_TableTitle = ReadSettingString(s, L"TableTitle", m_TableTitle);
    m_StartRow = ReadSettingString(s, L"StartRow", m_StartRow);
    m_StartCol = ReadSettingString(s, L"StartCol", m_StartCol);
    m_ForceTextFormat = ReadSettingInt(s, L"ForceTextFormat", m_ForceTextFormat);
    m_IncludeFormula = ReadSettingInt(s, L"IncludeFormula", m_IncludeFormula);
    m_AutofitColumns = ReadSettingInt(s, L"AutofitColumns", m_AutofitColumns);
    m_AutofitRows = ReadSettingInt(s, L"AutofitRows", m_AutofitRows);
    m_WorkbookOpt = ReadSettingInt(s, L"WorkbookOpt", m_WorkbookOpt);
    m_MergeByLines = ReadSettingInt(s, L"MergeByLines", m_MergeByLines);
    if (m_TableStyleCombo.FindStringExact(-1, m_TableStyle) == CB_ERR) {
      m_TableStyle = kActiveTableStyle;
    }
    UpdateData(FALSE);
    return;
  }
  if (ParseColumnNumber(m_StartCol) <= 0 || BeyondLastColumn(m_StartCol)) m_StartCol = L"A";
  if (win::WToI(m_StartRow) <= 0 || win::WcsToD(m_StartRow) > kLastRow) m_StartRow = L"1";
  if (!std::isfinite(win::WcsToD(m_TextTol))) m_TextTol = L"0.15";
  if (win::WcsToD(m_TextTol) < -1e-6) m_TextTol = L"0";
  WriteSettingString(s, L"TextTol", m_TextTol);
  WriteSettingString(s, L"FuzzyPercent", m_FuzzyPercent);
  WriteSettingInt(s, L"HasDoubleLine", m_HasDoubleLine);
  WriteSettingString(s, L"DoubleLineDist", m_DoubleLineDist);
  WriteSettingString(s, L"TableStyle", m_TableStyle);
  WriteSettingInt(s, L"HasTitle", m_HasTitle);
  WriteSettingString(s, L"TableTitle", m_TableTitle);
  WriteSettingInt(s, L"WorkbookOpt", m_WorkbookOpt);
  WriteSettingString(s, L"StartRow", m_StartRow);
  WriteSettingString(s, L"StartCol", m_StartCol);
  WriteSettingInt(s, L"IncludeFormula", m_IncludeFormula);
  WriteSettingInt(s, L"ForceTextFormat", m_ForceTextFormat);
  WriteSettingInt(s, L"AutofitRows", m_AutofitRows);
  WriteSettingInt(s, L"AutofitColumns", m_AutofitColumns);
  WriteSettingInt(s, L"MergeByLines", m_MergeByLines);
}

void COptionsDialog::OnOK() {
  if (!UpdateData(TRUE)) return;
  LoadOrSave(false);
  EndDialog(IDOK);
}

void COptionsDialog::OnClickedHasDoubleLine() {
  UpdateData(TRUE);
  GetDlgItem(IDC_DOUBLE_LINE_DIST)->EnableWindow(m_HasDoubleLine != 0);
}

void COptionsDialog::OnClickedHasTitle() {
  UpdateData(TRUE);
  GetDlgItem(IDC_TABLE_TITLE)->EnableWindow(m_HasTitle != 0);
}

void ShowOptionsDialog(HWND parent) {
  COptionsDialog dialog(CWnd::FromHandle(parent));
  dialog.DoModal();
}
