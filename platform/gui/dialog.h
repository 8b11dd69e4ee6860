// Dialogs: CDialog over a template held as data, run modally (DoModal) or
// modelessly (Create / ShowWindow / DestroyWindow); dialog data exchange;
// the open and save file dialogs.
//
// A modal dialog's loop asks the installed backend for input one round at a
// time until a handler calls EndDialog; with no more input (or no backend)
// it is cancelled as closing its window would, so nothing is confirmed
// unseen and no dialog waits forever. A modeless one gets input when the
// program pumps (PeekMessageW).
#pragma once

#include <string>
#include <vector>

#include "platform/gui/controls.h"
#include "platform/gui/template.h"
#include "platform/gui/wnd.h"

// Thrown by CDataExchange::Fail after the user has been told what is wrong;
// UpdateData catches it and answers false.
class CUserException : public CException {
  DECLARE_DYNAMIC(CUserException)
};

class CDialog : public CWnd {
  DECLARE_DYNAMIC(CDialog)
 public:
  // For modeless use: Create names the template.
  CDialog() = default;
  // The template must outlive the dialog (templates are static data).
  explicit CDialog(const gui::DialogTemplate& dialogTemplate, CWnd* parent = nullptr);
  ~CDialog() override;

  // IDOK, IDCANCEL or the value given to EndDialog; -1 when the dialog could
  // not be created.
  virtual INT_PTR DoModal();
  // Creates a modeless dialog; shown when its template has WS_VISIBLE.
  BOOL Create(const gui::DialogTemplate& dialogTemplate, CWnd* parent = nullptr);
  void EndDialog(int result);
  // Dialog units in pixels of this dialog's font.
  RECT MapDialogRect(RECT r) const;

  // Loads the controls from the fields; true lets the framework set the
  // focus to the first control.
  virtual BOOL OnInitDialog();
  // Saves and validates the fields, then ends with IDOK.
  virtual void OnOK();
  virtual void OnCancel();

  // A shown modeless dialog is announced to the backend as closed first.
  BOOL DestroyWindow() override;

 protected:
  CWnd* m_pParentWnd = nullptr;

  DECLARE_MESSAGE_MAP()

 private:
  BOOL CreateFromTemplate(bool modal);
  const gui::DialogTemplate* template_ = nullptr;
  CFont font_;
  int base_x_ = 6, base_y_ = 13;  // dialog base units of the font
  int modal_result_ = IDCANCEL;
};

class CDataExchange {
 public:
  CDataExchange(CWnd* dialog, BOOL saveAndValidate)
      : m_bSaveAndValidate(saveAndValidate), m_pDlgWnd(dialog) {}

  BOOL m_bSaveAndValidate;
  CWnd* m_pDlgWnd;

  // The control's window. A missing control is a fault of the dialog's
  // code and raises CNotSupportedException.
  CWnd* PrepareCtrl(int id);
  // Puts the focus on the last prepared control and throws CUserException.
  [[noreturn]] void Fail();

 private:
  HWND last_control_ = nullptr;
};

void DDX_Text(CDataExchange* dx, int id, std::wstring& value);
// Numbers are written with %d / %g and read in the C locale; text that is
// not a number tells the user and fails the exchange.
void DDX_Text(CDataExchange* dx, int id, int& value);
void DDX_Text(CDataExchange* dx, int id, double& value);
// 0 unchecked, 1 checked, 2 indeterminate; loading a value outside 0..2
// sets the field to 0 and clears the box.
void DDX_Check(CDataExchange* dx, int id, int& value);
// firstId is the group's first radio button (WS_GROUP); the group runs up
// to the next control with WS_GROUP. The value is the checked button's
// index among the group's radio buttons, -1 for none.
void DDX_Radio(CDataExchange* dx, int firstId, int& value);
// Saving takes the selected item's text (empty without a selection);
// loading selects the first item that begins with the value, if any.
void DDX_CBString(CDataExchange* dx, int id, std::wstring& value);
// Attaches the control object to the dialog's control (once).
void DDX_Control(CDataExchange* dx, int id, CWnd& control);

struct OPENFILENAMEW {
  DWORD Flags = 0;
  std::wstring lpstrInitialDir;
};

class CFileDialog {
 public:
  // filter: "Description|pattern[;pattern]|…||". Flags as OFN_*.
  explicit CFileDialog(BOOL openFileDialog, LPCWSTR defaultExt = nullptr,
                       LPCWSTR fileName = nullptr,
                       DWORD flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                       LPCWSTR filter = nullptr, CWnd* parent = nullptr);
  CFileDialog(const CFileDialog&) = delete;
  CFileDialog& operator=(const CFileDialog&) = delete;

  // IDOK with a chosen file, IDCANCEL otherwise. A relative name is taken in
  // the initial folder (else the working folder); a name without an
  // extension gets the default one. A file that must exist but does not,
  // and a refused overwrite, are told and the user is asked again.
  INT_PTR DoModal();

  std::wstring GetPathName() const { return path_; }
  BOOL GetReadOnlyPref() const { return (m_ofn.Flags & OFN_READONLY) != 0; }

  OPENFILENAMEW m_ofn;

 private:
  bool open_;
  std::wstring default_ext_;
  std::wstring initial_name_;
  std::vector<std::pair<std::wstring, std::wstring>> filters_;
  CWnd* parent_;
  std::wstring path_;
};
