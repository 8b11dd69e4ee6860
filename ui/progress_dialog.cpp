#include "ui/progress_dialog.h"

namespace {

CProgressDlg* g_progress = nullptr;
const gui::DialogTemplate* g_template = nullptr;

// A handler that keeps posting to itself must not hold the caller forever.
constexpr int kMaxMessagesPerPump = 10000;

gui::DialogTemplate MakeTemplate() {
  using gui::ControlKind;
  using gui::ControlTemplate;
  gui::DialogTemplate t;
  t.name = L"IDD_77235380_B9EA_4C6E_821D_3DE1629934ED";
  t.font_name = L"MS Sans Serif";
  t.point_size = 8;
  t.cx = 186;
  t.cy = 63;
  t.style = WS_POPUP | DS_MODALFRAME | WS_VISIBLE;
  t.controls = {
      ControlTemplate{IDC_PROGRESS_STATUS, ControlKind::kStatic, L"", 7, 7, 150, 8},
      ControlTemplate{IDC_PROGRESS_PERCENT, ControlKind::kStatic, L" 0 %", 158, 7, 18, 8},
      ControlTemplate{IDC_PROGRESS_BAR, ControlKind::kProgressBar, L"", 7, 18, 172, 13},
      ControlTemplate{IDCANCEL, ControlKind::kDefPushButton, L"Cancel", 67, 42, 50, 14,
                      gui::kVisibleTab},
  };
  return t;
}

}  // namespace

const gui::DialogTemplate& ProgressDialogTemplate() {
  static const gui::DialogTemplate t = MakeTemplate();
  return t;
}

const gui::DialogTemplate* SetProgressDialogTemplate(const gui::DialogTemplate* dialogTemplate) {
  const gui::DialogTemplate* previous = g_template;
  g_template = dialogTemplate;
  return previous;
}

CProgressDlg::CProgressDlg() = default;

CProgressDlg::~CProgressDlg() {
  if (m_hWnd != nullptr) DestroyWindow();
}

BOOL CProgressDlg::Create(CWnd* parent) {
  return CDialog::Create(g_template != nullptr ? *g_template : ProgressDialogTemplate(), parent);
}

BOOL CProgressDlg::DestroyWindow() { return CDialog::DestroyWindow(); }

void CProgressDlg::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Control(dx, IDC_PROGRESS_BAR, m_Progress);
}

BOOL CProgressDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  m_Progress.SetRange32(m_nLower, m_nUpper);
  m_Progress.SetStep(m_nStep);
  m_Progress.SetPos(m_nLower);
  SetWindowText(L"OrvaneGridmason");
  CenterWindow();
  return TRUE;
}

// Enter must not close the window while the writer works.
void CProgressDlg::OnOK() {}

// Only the flag: the writer closes the window itself at its next poll.
void CProgressDlg::OnCancel() { m_bCancel = 1; }

void CProgressDlg::SetRange(int lower, int upper) {
  m_nLower = lower;
  m_nUpper = upper;
  m_Progress.SetRange32(lower, upper);
}

int CProgressDlg::SetPos(int pos) {
  PumpMessages();
  const int previous = m_Progress.SetPos(pos);
  UpdatePercent(pos);
  return previous;
}

int CProgressDlg::SetStep(int step) {
  m_nStep = step;
  return m_Progress.SetStep(step);
}

int CProgressDlg::StepIt() {
  PumpMessages();
  const int previous = m_Progress.StepIt();
  UpdatePercent(previous + m_nStep);
  return previous;
}

bool CProgressDlg::TakeCancel() {
  PumpMessages();
  const bool cancelled = m_bCancel != 0;
  m_bCancel = 0;
  return cancelled;
}

void CProgressDlg::PumpMessages() {
  MSG msg;
  for (int n = 0; n < kMaxMessagesPerPump && ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++n) {
    if (m_hWnd != nullptr && ::IsDialogMessageW(m_hWnd, &msg)) continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

namespace {
// -1 for an empty range, which shows no figure.
int PercentOf(int pos, int lower, int upper) {
  const long long span = static_cast<long long>(upper) - lower;
  if (span == 0) return -1;
  long long percent = (static_cast<long long>(pos) - lower) * 100 / span;
  if (percent != 100) percent %= 100;
  return static_cast<int>(percent);
}
}  // namespace

std::wstring CProgressDlg::PercentText(int pos, int lower, int upper) {
  const int percent = PercentOf(pos, lower, upper);
  if (percent < 0) return {};
  return std::to_wstring(percent) + L'%';
}

// Called once per cell written: the label changes at most a hundred times, so
// the text is made and set only when the figure moves.
void CProgressDlg::UpdatePercent(int pos) {
  const int percent = PercentOf(pos, m_nLower, m_nUpper);
  if (percent < 0 || percent == m_nShownPercent) return;
  m_nShownPercent = percent;
  SetDlgItemText(IDC_PROGRESS_PERCENT, PercentText(pos, m_nLower, m_nUpper));
}

// ---------------------------------------------------------------------------

CProgressDlg* CurrentProgressDialog() { return g_progress; }

void ProgressOpen(CWnd* parent) {
  if (g_progress != nullptr) {
    g_progress->ShowWindow(SW_SHOW);
    return;
  }
  auto* dialog = new CProgressDlg;
  if (!dialog->Create(parent)) {
    delete dialog;
    return;
  }
  g_progress = dialog;
  dialog->UpdateWindow();
  dialog->SetWindowPos(&CWnd::wndTopMost, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

void ProgressSetText(const std::wstring& text) {
  if (g_progress != nullptr) g_progress->SetDlgItemText(IDC_PROGRESS_STATUS, text);
}

void ProgressSetRange(int lower, int upper) {
  if (g_progress != nullptr) g_progress->SetRange(lower, upper);
}

int ProgressSetPos(int pos) { return g_progress != nullptr ? g_progress->SetPos(pos) : -1; }

int ProgressSetStep(int step) { return g_progress != nullptr ? g_progress->SetStep(step) : -1; }

int ProgressStepIt() { return g_progress != nullptr ? g_progress->StepIt() : -1; }

bool ProgressCancelled() { return g_progress == nullptr || g_progress->TakeCancel(); }

void ProgressClose() {
  CProgressDlg* dialog = g_progress;
  g_progress = nullptr;
  if (dialog == nullptr) return;
  dialog->DestroyWindow();
  delete dialog;
}
