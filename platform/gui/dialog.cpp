#include "platform/gui/dialog.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cwchar>

#include "platform/gui/backend.h"
#include "platform/gui/model.h"
#include "platform/win/strings.h"
#include "platform/win/text.h"

using gui::model::Find;
using gui::model::Window;

IMPLEMENT_DYNAMIC(CUserException, CException)
IMPLEMENT_DYNAMIC(CDialog, CWnd)

BEGIN_MESSAGE_MAP(CDialog, CWnd)
ON_COMMAND(IDOK, &CDialog::OnOK)
ON_COMMAND(IDCANCEL, &CDialog::OnCancel)
END_MESSAGE_MAP()

namespace {

// Rounded as MulDiv rounds.
LONG Scale(LONG value, int numerator, int denominator) {
  const long long n = static_cast<long long>(value) * numerator;
  return static_cast<LONG>(n >= 0 ? (n + denominator / 2) / denominator
                                  : -((-n + denominator / 2) / denominator));
}

// Shows the dialog and tells the backend, once.
void Show(HWND dialog) {
  Window* w = Find(dialog);
  if (w == nullptr || w->ended) return;
  w->visible = true;
  gui::Backend* backend = gui::GetBackend();
  if (!std::exchange(w->announced, true) && backend != nullptr) {
    gui::DialogDriver driver(dialog);
    backend->DialogShown(driver);
  }
}

void AnnounceClosed(HWND dialog, int result) {
  Window* w = Find(dialog);
  gui::Backend* backend = gui::GetBackend();
  if (w != nullptr && std::exchange(w->announced, false) && backend != nullptr) {
    backend->DialogClosed(gui::ReadDialog(dialog), result);
  }
}

template <typename Number>
void ExchangeNumber(CDataExchange* dx, int id, Number& value, const wchar_t* format,
                    const wchar_t* complaint) {
  CWnd* control = dx->PrepareCtrl(id);
  if (!dx->m_bSaveAndValidate) {
    control->SetWindowText(win::Format(format, value));
    return;
  }
  // The whole text, blanks around it allowed, must be the number; anything
  // beyond ASCII becomes bytes no number is made of.
  const std::string s = win::WideToUtf8(win::Trim(control->GetWindowText()));
  Number parsed{};
  auto r = std::from_chars(s.data() + (s.starts_with('+') ? 1 : 0), s.data() + s.size(), parsed);
  if (s.empty() || r.ec != std::errc() || r.ptr != s.data() + s.size()) {
    AfxMessageBox(complaint, MB_OK | MB_ICONEXCLAMATION);
    dx->Fail();
  }
  value = parsed;
}

}  // namespace

CDialog::CDialog(const gui::DialogTemplate& dialogTemplate, CWnd* parent)
    : m_pParentWnd(parent), template_(&dialogTemplate) {}

CDialog::~CDialog() {
  if (Find(m_hWnd) != nullptr) CDialog::DestroyWindow();
}

BOOL CDialog::CreateFromTemplate(bool modal) {
  if (template_ == nullptr || m_hWnd != nullptr) return FALSE;
  const gui::DialogTemplate& t = *template_;
  Window* d = gui::model::NewDialog(t, m_pParentWnd != nullptr ? m_pParentWnd->m_hWnd : nullptr);
  d->modal = modal;
  // The sans-serif dialog fonts measure 6 x 13 pixels at 8 points.
  const int points = t.point_size > 0 ? t.point_size : 8;
  base_x_ = std::max(1, (points * 6 + 4) / 8);
  base_y_ = std::max(1, (points * 13 + 4) / 8);
  LOGFONTW lf;
  lf.lfHeight = -((points * 96 + 36) / 72);
  std::wcsncpy(lf.lfFaceName, t.font_name.c_str(), LF_FACESIZE - 1);
  font_.CreateFontIndirect(&lf);
  d->font = font_.m_hObject;
  d->object = this;
  m_hWnd = d->hwnd;

  const RECT client = MapDialogRect({0, 0, t.cx, t.cy}), b = gui::model::Border(*d);
  d->rect = RECT{0, 0, client.right + b.left + b.right, client.bottom + b.top + b.bottom};
  CenterWindow();

  for (const gui::ControlTemplate& c : t.controls) {
    if (c.kind == gui::ControlKind::kCustom && !gui::model::ClassExists(c.class_name)) {
      // An unknown control class fails the whole dialog, as on the system.
      CWnd::DestroyWindow();
      return FALSE;
    }
    RECT r = MapDialogRect({c.x, c.y, c.x + c.cx, c.y + c.cy});
    // The template's height includes the dropped list; the closed box is
    // one line high.
    if (c.kind == gui::ControlKind::kComboBox)
      r.bottom = std::min(r.bottom, r.top + MapDialogRect({0, 0, 0, 13}).bottom);
    Window* control = gui::model::NewControl(*d, c.id, c.kind, c.text, c.style, r);
    control->class_name = c.class_name;
  }

  BOOL focus = TRUE;
  try {
    focus = OnInitDialog();
  } catch (CException* e) {
    e->ReportError(MB_OK | MB_ICONERROR);
    e->Delete();
  }
  d = Find(m_hWnd);
  if (d == nullptr) return FALSE;
  auto first = std::ranges::find_if(d->controls, [](const auto& c) {
    return (c->style & WS_TABSTOP) != 0 && c->visible && c->enabled;
  });
  if (focus && first != d->controls.end()) gui::model::SetFocus((*first)->hwnd);
  return TRUE;
}

INT_PTR CDialog::DoModal() {
  modal_result_ = IDCANCEL;
  if (!CreateFromTemplate(true)) return -1;
  const HWND self = m_hWnd;
  const HWND owner = m_pParentWnd != nullptr ? m_pParentWnd->m_hWnd : nullptr;
  // The owner waits for the dialog, as a person sees it greyed.
  Window* o = Find(owner);
  const bool disabled_owner = o != nullptr && std::exchange(o->enabled, false);
  Show(self);
  gui::Backend* backend = gui::GetBackend();
  if (backend == nullptr) {
    std::fprintf(stderr, "[%s] no one answers dialogs here; it is cancelled\n",
                 win::WideToUtf8(template_->title).c_str());
  }
  gui::DialogDriver driver(self);
  while (driver.IsOpen()) {
    const bool more = backend != nullptr && backend->Act(driver);
    if (!driver.IsOpen() || more) continue;
    // As closing the window would: the dialog's own cancel handling, and an
    // end in any case.
    gui::Command(self, IDCANCEL, BN_CLICKED);
    if (driver.IsOpen()) EndDialog(IDCANCEL);
  }
  const int result = modal_result_;
  AnnounceClosed(self, result);
  if (disabled_owner && (o = Find(owner)) != nullptr) o->enabled = true;
  if (Find(self) != nullptr) CWnd::DestroyWindow();
  return result;
}

RECT CDialog::MapDialogRect(RECT r) const {
  if (Find(m_hWnd) == nullptr) return r;
  return RECT{Scale(r.left, base_x_, 4), Scale(r.top, base_y_, 8), Scale(r.right, base_x_, 4),
              Scale(r.bottom, base_y_, 8)};
}

BOOL CDialog::Create(const gui::DialogTemplate& dialogTemplate, CWnd* parent) {
  template_ = &dialogTemplate;
  m_pParentWnd = parent;
  if (!CreateFromTemplate(false)) return FALSE;
  if ((dialogTemplate.style & WS_VISIBLE) != 0) Show(m_hWnd);
  return m_hWnd != nullptr;
}

BOOL CDialog::DestroyWindow() {
  if (Find(m_hWnd) == nullptr) return FALSE;
  AnnounceClosed(m_hWnd, modal_result_);
  return CWnd::DestroyWindow();
}

void CDialog::EndDialog(int result) {
  modal_result_ = result;
  Window* w = Find(m_hWnd);
  if (w == nullptr) return;
  w->ended = true;
  w->visible = false;
}

BOOL CDialog::OnInitDialog() {
  UpdateData(FALSE);
  return TRUE;
}

void CDialog::OnOK() {
  if (UpdateData(TRUE)) EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

BOOL CWnd::UpdateData(BOOL saveAndValidate) {
  CDataExchange dx(this, saveAndValidate);
  try {
    DoDataExchange(&dx);
    return TRUE;
  } catch (CUserException* e) {
    e->Delete();
    return FALSE;
  } catch (CException* e) {
    e->ReportError(MB_OK | MB_ICONERROR);
    e->Delete();
    return FALSE;
  }
}

CWnd* CDataExchange::PrepareCtrl(int id) {
  CWnd* control = m_pDlgWnd != nullptr ? m_pDlgWnd->GetDlgItem(id) : nullptr;
  if (control == nullptr) AfxThrowNotSupportedException();
  last_control_ = control->m_hWnd;
  return control;
}

void CDataExchange::Fail() {
  gui::model::SetFocus(last_control_);
  throw new CUserException;
}

void DDX_Text(CDataExchange* dx, int id, std::wstring& value) {
  CWnd* control = dx->PrepareCtrl(id);
  if (dx->m_bSaveAndValidate) {
    value = control->GetWindowText();
  } else {
    control->SetWindowText(value);
  }
}

void DDX_Text(CDataExchange* dx, int id, int& value) {
  ExchangeNumber(dx, id, value, L"%d", L"Please enter an integer.");
}

void DDX_Text(CDataExchange* dx, int id, double& value) {
  ExchangeNumber(dx, id, value, L"%.15g", L"Please enter a number.");
}

void DDX_Check(CDataExchange* dx, int id, int& value) {
  Window* w = Find(dx->PrepareCtrl(id)->m_hWnd);
  if (dx->m_bSaveAndValidate) {
    value = w->check;
  } else {
    if (value < 0 || value > 2) value = 0;
    w->check = value;
  }
}

void DDX_Radio(CDataExchange* dx, int firstId, int& value) {
  Window* first = Find(dx->PrepareCtrl(firstId)->m_hWnd);
  if (dx->m_bSaveAndValidate) value = -1;
  int index = 0;
  for (Window* c : gui::model::Group(*first)) {
    if (c->kind != gui::ControlKind::kRadioButton) continue;
    if (dx->m_bSaveAndValidate) {
      if (c->check != 0) value = index;
    } else {
      c->check = index == value ? BST_CHECKED : BST_UNCHECKED;
    }
    ++index;
  }
}

void DDX_CBString(CDataExchange* dx, int id, std::wstring& value) {
  CWnd* control = dx->PrepareCtrl(id);
  if (dx->m_bSaveAndValidate) {
    value = control->GetWindowText();
    return;
  }
  Window* w = Find(control->m_hWnd);
  auto it = std::ranges::find_if(
      w->items, [&](const std::wstring& item) { return win::StartsWithNoCase(item, value); });
  if (it != w->items.end()) w->selection = static_cast<int>(it - w->items.begin());
}

void DDX_Control(CDataExchange* dx, int id, CWnd& control) {
  if (control.m_hWnd != nullptr) return;
  Window* w = Find(dx->PrepareCtrl(id)->m_hWnd);
  // The control's notifications and messages now go through its map.
  if (w->object != nullptr) AfxThrowNotSupportedException();
  w->object = &control;
  control.m_hWnd = w->hwnd;
}
