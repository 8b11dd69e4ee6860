// The database dialog: new or existing database, the target table, whether
// an existing table is overwritten and the data appended, which row of the
// drawn table names the fields, and a template table. A list previews the
// records as they will be written. Every choice is kept in the settings, so
// the next export starts from it; Cancel writes nothing.
#pragma once

#include <string>

#include "model/sheetform.h"
#include "platform/gui/afxwin.h"

class CDatabaseDialog : public CDialog {
  DECLARE_DYNAMIC(CDatabaseDialog)

 public:
  enum : int {
    IDC_NEW_DATABASE = 100,
    IDC_EXISTING_DATABASE = 101,
    IDC_DATABASE = 102,
    IDC_BROWSE_DATABASE = 103,
    IDC_TABLE = 106,
    IDC_USE_TEMPLATE = 111,
    IDC_TEMPLATE_DATABASE = 112,
    IDC_BROWSE_TEMPLATE = 113,
    IDC_TEMPLATE_TABLE = 114,
    IDC_APPEND = 116,
    IDC_ROW_FIELDS = 117,
    IDC_PREVIEW_TOGGLE = 118,
    IDC_PREVIEW = 122,
    IDC_USER = 124,
    IDC_PASSWORD = 125,
    IDC_ROW_FIELDS_OPTION = 126,
    IDC_OVERWRITE = 127,
  };
  static const gui::DialogTemplate& Template();

  // table: previewed only, never changed; may be nullptr.
  explicit CDatabaseDialog(const CSheetform* table, CWnd* parent = nullptr);
  ~CDatabaseDialog() override;

  int m_nDatabaseOption = 0;  // 0 new database, 1 existing database
  std::wstring m_strExistingDatabase;
  std::wstring m_strTable;
  int m_bUseTableTemplate = 0;
  std::wstring m_strDatabaseTemplate;
  std::wstring m_strTableTemplate;
  int m_bAppendData = 1;
  int m_bEnableRowFields = 0;
  CListCtrl m_ctlPreview;
  std::wstring m_strUser;
  std::wstring m_strPassword;
  int m_bOverwriteTable = 0;
  CComboBox m_ctlRowFieldsCombo;
  int m_nRowFieldsOption = 0;  // 0 first row, 1 last row
  int m_bExpandPreview = 1;
  CRect m_rcFullWindow{0, 0, 0, 0};
  const CSheetform* m_pTable;

 protected:
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  void OnOK() override;

  void OnClickedUseTemplate();
  void OnClickedDatabaseOption();
  void OnClickedRowFields();
  void OnClickedPreviewToggle();
  void OnBrowseDatabase();
  void OnBrowseTemplate();
  void OnRowFieldsOptionChanged();

  DECLARE_MESSAGE_MAP()

 private:
  void ApplyTemplateRule();
  void ApplyDatabaseRule();
  void ApplyRowFieldsRule();
  void RefreshPreview();
  // Opens a database file into field; the controls are refreshed on OK.
  void Browse(std::wstring& field);
  int Tell(const std::wstring& text, UINT type = MB_OK);
};

// A cell's text; empty for a cell missing from a short row.
std::wstring CellText(const CSheetform& table, int row, int column);
