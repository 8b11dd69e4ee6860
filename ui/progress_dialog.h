// The progress window of the worksheet writer: a modeless dialog with a
// status line, a percentage, a bar and a Cancel button, reached through the
// Progress* functions, which all act on the one window that exists (or do
// nothing, or report a neutral value, when there is none). Each position
// change and each poll pumps the thread's pending messages, so the window
// stays responsive while the caller works without a thread of its own.
#pragma once

#include <string>

#include "platform/gui/afxwin.h"
#include "platform/gui/dialog.h"

inline constexpr int IDC_PROGRESS_BAR = 1003;
inline constexpr int IDC_PROGRESS_PERCENT = 1004;
inline constexpr int IDC_PROGRESS_STATUS = 1005;

class CProgressDlg : public CDialog {
 public:
  CProgressDlg();
  ~CProgressDlg() override;

  // Creates the modeless window from the progress template.
  BOOL Create(CWnd* parent);
  BOOL DestroyWindow() override;

  // The bar's range is kept as full 32-bit values, so tables of more than
  // 32,767 cells show their real progress.
  void SetRange(int lower, int upper);
  int SetPos(int pos);
  int SetStep(int step);
  int StepIt();
  // The cancel flag, cleared by reading it.
  bool TakeCancel();
  void PumpMessages();
  // "25%" for position 50 of 0..200; beyond the range the count starts over.
  static std::wstring PercentText(int pos, int lower, int upper);

  CProgressCtrl m_Progress;
  int m_nLower = 0;
  int m_nUpper = 100;
  int m_nStep = 10;
  int m_bCancel = 0;

 protected:
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;

 private:
  void UpdatePercent(int pos);
  int m_nShownPercent = -1;
};

// The progress window's layout.
const gui::DialogTemplate& ProgressDialogTemplate();
// Replaces the template the next ProgressOpen creates the window from
// (nullptr: the standard one); returns the one before. For tests of a
// window that cannot be created.
const gui::DialogTemplate* SetProgressDialogTemplate(const gui::DialogTemplate* dialogTemplate);

// The window shown now, or nullptr.
CProgressDlg* CurrentProgressDialog();

void ProgressOpen(CWnd* parent);
void ProgressSetText(const std::wstring& text);
void ProgressSetRange(int lower, int upper);
// The previous position, or -1 without a window.
int ProgressSetPos(int pos);
// The previous step, or -1 without a window.
int ProgressSetStep(int step);
// The previous position, or -1 without a window.
int ProgressStepIt();
// True once per Cancel; always true without a window, so a caller that
// polls stops at its first check.
bool ProgressCancelled();
void ProgressClose();
