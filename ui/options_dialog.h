// The options dialog: the settings of table recognition and of the Excel
// output, shown from the registry and written back on OK. Nothing it writes
// takes effect before the next conversion reloads the settings.
#pragma once

#include <string>

#include "platform/gui/afxwin.h"

class COptionsDialog : public CDialog {
  DECLARE_DYNAMIC(COptionsDialog)

 public:
  enum : int {
    IDC_FUZZY_PERCENT = 200,
    IDC_HAS_TITLE = 205,
    IDC_TABLE_STYLE = 206,
    IDC_TABLE_TITLE = 207,
    IDC_NEW_WORKBOOK = 208,
    IDC_ACTIVE_WORKBOOK = 209,
    IDC_START_ROW = 210,
    IDC_START_COL = 211,
    IDC_TEXT_TOL = 212,
    IDC_DOUBLE_LINE_DIST = 213,
    IDC_FORCE_TEXT_FORMAT = 214,
    IDC_HAS_DOUBLE_LINE = 215,
    IDC_INCLUDE_FORMULA = 219,
    IDC_AUTOFIT_COLUMNS = 220,
    IDC_AUTOFIT_ROWS = 221,
    IDC_MERGE_BY_LINES = 222,
  };
  static const gui::DialogTemplate& Template();

  explicit COptionsDialog(CWnd* parent = nullptr);
  ~COptionsDialog() override;

  // load: reads every value with the field as its default, then fills the
  // controls. Otherwise corrects StartCol, StartRow and TextTol and writes
  // every value.
  void LoadOrSave(bool load);

  CComboBox m_TableStyleCombo;
  std::wstring m_TableStyle = L"*Active Table Style*";
  int m_HasTitle = 0;
  std::wstring m_TableTitle;
  int m_WorkbookOpt = 0;
  std::wstring m_StartRow = L"1";
  std::wstring m_StartCol = L"A";
  int m_ForceTextFormat = 0;
  int m_IncludeFormula = 1;
  int m_AutofitColumns = 1;
  int m_AutofitRows = 1;
  int m_HasDoubleLine = 0;
  int m_MergeByLines = 0;
  std::wstring m_TextTol;
  std::wstring m_FuzzyPercent = L"0.0008";
  std::wstring m_DoubleLineDist;

 protected:
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  void OnOK() override;

  void OnClickedHasDoubleLine();
  void OnClickedHasTitle();

  DECLARE_MESSAGE_MAP()
};

// The options command: the dialog, modal, over the given window.
void ShowOptionsDialog(HWND parent);
