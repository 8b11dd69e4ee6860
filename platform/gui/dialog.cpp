#include "platform/gui/dialog.h"

#include <charconv>
#include <cstdio>
#include <cwchar>
#include <cwctype>

#include "platform/gui/window_internal.h"
#include "platform/win/text.h"

using gui::internal::Find;
using gui::internal::Window;

IMPLEMENT_DYNAMIC(CUserException, CException)
IMPLEMENT_DYNAMIC(CDialog, CWnd)

BEGIN_MESSAGE_MAP(CDialog, CWnd)
ON_COMMAND(IDOK, &CDialog::OnOK)
ON_COMMAND(IDCANCEL, &CDialog::OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog(const gui::DialogTemplate& dialogTemplate, CWnd* parent)
    : m_pParentWnd(parent), template_(&dialogTemplate) {}

CDialog::~CDialog() {
  if (Find(m_hWnd) != nullptr) {
    HWND h = Detach();
    ::DestroyWindow(h);
  }
}

namespace {

DWORD ControlStyle(const gui::ControlTemplate& c) {
  using gui::ControlKind;
  DWORD style = c.style | WS_CHILD;
  DWORD type = style & BS_TYPEMASK;
  switch (c.kind) {
    case ControlKind::kEtchedLine:
      return (style & ~SS_TYPEMASK) | SS_ETCHEDHORZ;
    case ControlKind::kPushButton:
      return (style & ~BS_TYPEMASK) | BS_PUSHBUTTON;
    case ControlKind::kDefPushButton:
      return (style & ~BS_TYPEMASK) | BS_DEFPUSHBUTTON;
    case ControlKind::kCheckBox:
      if (type != BS_CHECKBOX && type != BS_AUTOCHECKBOX && type != BS_3STATE &&
          type != BS_AUTO3STATE) {
        style = (style & ~BS_TYPEMASK) | BS_AUTOCHECKBOX;
      }
      return style;
    case ControlKind::kRadioButton:
      if (type != BS_RADIOBUTTON && type != BS_AUTORADIOBUTTON) {
        style = (style & ~BS_TYPEMASK) | BS_AUTORADIOBUTTON;
      }
      return style;
    case ControlKind::kGroupBox:
      return (style & ~BS_TYPEMASK) | BS_GROUPBOX;
    case ControlKind::kComboBox:
      if ((style & CBS_TYPEMASK) == 0) style |= CBS_DROPDOWNLIST;
      return style;
    default:
      return style;
  }
}

std::wstring ControlClass(const gui::ControlTemplate& c) {
  using gui::ControlKind;
  switch (c.kind) {
    case ControlKind::kStatic:
    case ControlKind::kEtchedLine:
      return L"Static";
    case ControlKind::kEdit:
      return L"Edit";
    case ControlKind::kComboBox:
      return L"ComboBox";
    case ControlKind::kListView:
      return L"SysListView32";
    case ControlKind::kProgressBar:
      return L"msctls_progress32";
    case ControlKind::kCustom:
      return c.class_name;
    default:
      return L"Button";
  }
}

}  // namespace

BOOL CDialog::CreateWindowFromTemplate(HWND owner, bool modal) {
  if (template_ == nullptr || m_hWnd != nullptr) return FALSE;
  const gui::DialogTemplate& t = *template_;

  gui::internal::CreateParams p;
  p.class_name = L"#32770";
  p.text = t.title;
  p.style = (t.style & ~(WS_VISIBLE | WS_CHILD)) | WS_POPUP;
  p.ex_style = t.ex_style;
  p.owner = owner;
  p.object = this;
  Window* w = gui::internal::Create(p);
  if (w == nullptr) return FALSE;
  HWND self = w->handle;
  w->dialog_template = template_;
  w->modal = modal;
  gui::internal::DialogBaseUnits(t.font_name, t.point_size, w->base_x, w->base_y);

  LOGFONTW lf;
  lf.lfHeight = -((t.point_size * 96 + 36) / 72);
  std::wcsncpy(lf.lfFaceName, t.font_name.c_str(), LF_FACESIZE - 1);
  font_.CreateFontIndirect(&lf);
  w->font = font_.m_hObject;

  RECT client{0, 0, t.cx, t.cy};
  ::MapDialogRect(self, &client);
  SIZE size = gui::internal::WindowSizeForClient(*w, client.right, client.bottom);
  w->rect = RECT{0, 0, size.cx, size.cy};
  CenterWindow();

  for (const gui::ControlTemplate& c : t.controls) {
    gui::internal::CreateParams cp;
    cp.class_name = ControlClass(c);
    cp.text = c.text;
    cp.style = ControlStyle(c);
    cp.ex_style = c.ex_style;
    RECT r{c.x, c.y, c.x + c.cx, c.y + c.cy};
    ::MapDialogRect(self, &r);
    if (c.kind == gui::ControlKind::kComboBox) {
      // The template's height includes the dropped list; the closed box is
      // one line high.
      RECT closed{0, 0, 0, 13};
      ::MapDialogRect(self, &closed);
      r.bottom = std::min(r.bottom, r.top + closed.bottom);
    }
    cp.rect = r;
    cp.parent = self;
    cp.id = c.id;
    Window* control = gui::internal::Create(cp);
    if (control == nullptr) {
      // An unknown control class fails the whole dialog, as on the system.
      HWND h = Detach();
      ::DestroyWindow(h);
      return FALSE;
    }
    control->font = font_.m_hObject;
  }

  BOOL focus = static_cast<BOOL>(SendMessage(WM_INITDIALOG));
  w = Find(self);
  if (w == nullptr) return FALSE;
  if (focus) {
    for (HWND child : w->children) {
      Window* c = Find(child);
      if (c != nullptr && (c->style & WS_TABSTOP) != 0 && (c->style & WS_VISIBLE) != 0 &&
          (c->style & WS_DISABLED) == 0) {
        ::SetFocus(child);
        break;
      }
    }
  }
  return TRUE;
}

INT_PTR CDialog::DoModal() {
  HWND owner = m_pParentWnd != nullptr ? m_pParentWnd->m_hWnd : nullptr;
  modal_result_ = IDCANCEL;
  if (!CreateWindowFromTemplate(owner, true)) return -1;
  HWND self = m_hWnd;
  bool disabled_owner = false;
  if (Find(owner) != nullptr && ::IsWindowEnabled(owner)) {
    ::EnableWindow(owner, FALSE);
    disabled_owner = true;
  }
  Window* w = Find(self);
  if (w != nullptr && !w->ended) ::ShowWindow(self, SW_SHOW);
  gui::internal::PumpPending();

  gui::Backend* backend = gui::internal::CurrentBackend();
  if (backend == nullptr) {
    std::fprintf(stderr, "[%s] no one answers dialogs here; it is cancelled\n",
                 win::WideToUtf8(template_->title).c_str());
  }
  gui::DialogDriver driver(self);
  for (;;) {
    w = Find(self);
    if (w == nullptr || w->ended) break;
    bool more = backend != nullptr && backend->Act(driver);
    gui::internal::PumpPending();
    w = Find(self);
    if (w == nullptr || w->ended) break;
    if (!more) {
      // As closing the window would: the dialog's own cancel handling,
      // and an end in any case.
      gui::internal::Deliver(self, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                             reinterpret_cast<LPARAM>(::GetDlgItem(self, IDCANCEL)));
      gui::internal::PumpPending();
      w = Find(self);
      if (w != nullptr && !w->ended) EndDialog(IDCANCEL);
      break;
    }
  }
  int result = modal_result_;
  if (Find(self) != nullptr) gui::internal::AnnounceClosed(self, result);
  if (disabled_owner) ::EnableWindow(owner, TRUE);
  if (Find(self) != nullptr) DestroyWindow();
  return result;
}

BOOL CDialog::Create(const gui::DialogTemplate& dialogTemplate, CWnd* parent) {
  template_ = &dialogTemplate;
  m_pParentWnd = parent;
  if (!CreateWindowFromTemplate(parent != nullptr ? parent->m_hWnd : nullptr, false)) {
    return FALSE;
  }
  if ((dialogTemplate.style & WS_VISIBLE) != 0 && m_hWnd != nullptr) ::ShowWindow(m_hWnd, SW_SHOW);
  return m_hWnd != nullptr;
}

void CDialog::EndDialog(int result) {
  modal_result_ = result;
  Window* w = Find(m_hWnd);
  if (w == nullptr) return;
  w->ended = true;
  w->result = result;
  ::ShowWindow(m_hWnd, SW_HIDE);
}

BOOL CDialog::OnInitDialog() {
  UpdateData(FALSE);
  return TRUE;
}

void CDialog::OnOK() {
  if (!UpdateData(TRUE)) return;
  EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::MapDialogRect(RECT* rect) const { ::MapDialogRect(m_hWnd, rect); }

LRESULT CDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) return OnInitDialog();
  return CWnd::WindowProc(message, wParam, lParam);
}

// ---------------------------------------------------------------------------
// Data exchange.

HWND CDataExchange::PrepareCtrl(int id) {
  HWND control = ::GetDlgItem(m_pDlgWnd != nullptr ? m_pDlgWnd->m_hWnd : nullptr, id);
  if (control == nullptr) AfxThrowNotSupportedException();
  last_control_ = control;
  return control;
}

HWND CDataExchange::PrepareEditCtrl(int id) { return PrepareCtrl(id); }

void CDataExchange::Fail() {
  if (last_control_ != nullptr) {
    ::SetFocus(last_control_);
    ::SendMessageW(last_control_, EM_SETSEL, 0, -1);
  }
  throw new CUserException;
}

namespace {

std::wstring TextOf(HWND control) {
  CWnd* w = CWnd::FromHandle(control);
  return w != nullptr ? w->GetWindowText() : std::wstring();
}

// The whole text, blanks around it allowed, must be the number.
std::string NumberText(const std::wstring& text, bool& ok) {
  size_t a = 0;
  size_t b = text.size();
  while (a < b && std::iswspace(text[a])) ++a;
  while (b > a && std::iswspace(text[b - 1])) --b;
  std::string s;
  ok = a < b;
  for (size_t i = a; i < b; ++i) {
    if (text[i] >= 0x80) ok = false;
    s.push_back(static_cast<char>(text[i]));
  }
  return s;
}

}  // namespace

void DDX_Text(CDataExchange* dx, int id, std::wstring& value) {
  HWND control = dx->PrepareEditCtrl(id);
  if (dx->m_bSaveAndValidate) {
    value = TextOf(control);
  } else {
    ::SetWindowTextW(control, value.c_str());
  }
}

void DDX_Text(CDataExchange* dx, int id, int& value) {
  HWND control = dx->PrepareEditCtrl(id);
  if (!dx->m_bSaveAndValidate) {
    ::SetWindowTextW(control, win::Format(L"%d", value).c_str());
    return;
  }
  bool ok = false;
  std::string s = NumberText(TextOf(control), ok);
  const char* first = s.data();
  if (!s.empty() && s[0] == '+') ++first;
  int parsed = 0;
  auto r = std::from_chars(first, s.data() + s.size(), parsed);
  if (!ok || r.ec != std::errc() || r.ptr != s.data() + s.size()) {
    AfxMessageBox(L"Please enter an integer.", MB_OK | MB_ICONEXCLAMATION);
    dx->Fail();
  }
  value = parsed;
}

void DDX_Text(CDataExchange* dx, int id, double& value) {
  HWND control = dx->PrepareEditCtrl(id);
  if (!dx->m_bSaveAndValidate) {
    ::SetWindowTextW(control, win::Format(L"%.15g", value).c_str());
    return;
  }
  bool ok = false;
  std::string s = NumberText(TextOf(control), ok);
  const char* first = s.data();
  if (!s.empty() && s[0] == '+') ++first;
  double parsed = 0;
  auto r = std::from_chars(first, s.data() + s.size(), parsed);
  if (!ok || r.ec != std::errc() || r.ptr != s.data() + s.size()) {
    AfxMessageBox(L"Please enter a number.", MB_OK | MB_ICONEXCLAMATION);
    dx->Fail();
  }
  value = parsed;
}

void DDX_Check(CDataExchange* dx, int id, int& value) {
  HWND control = dx->PrepareCtrl(id);
  if (dx->m_bSaveAndValidate) {
    value = static_cast<int>(::SendMessageW(control, BM_GETCHECK, 0, 0));
  } else {
    if (value < 0 || value > 2) value = 0;
    ::SendMessageW(control, BM_SETCHECK, static_cast<WPARAM>(value), 0);
  }
}

void DDX_Radio(CDataExchange* dx, int firstId, int& value) {
  HWND first = dx->PrepareCtrl(firstId);
  Window* d = Find(dx->m_pDlgWnd->m_hWnd);
  if (d == nullptr) return;
  if (dx->m_bSaveAndValidate) value = -1;
  int index = 0;
  bool started = false;
  for (HWND child : d->children) {
    Window* c = Find(child);
    if (c == nullptr) continue;
    if (!started) {
      if (child != first) continue;
      started = true;
    } else if ((c->style & WS_GROUP) != 0) {
      break;
    }
    if (!gui::internal::IsRadio(*c)) continue;
    if (dx->m_bSaveAndValidate) {
      if (::SendMessageW(child, BM_GETCHECK, 0, 0) != 0) value = index;
    } else {
      ::SendMessageW(child, BM_SETCHECK, index == value ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    ++index;
  }
}

void DDX_CBString(CDataExchange* dx, int id, std::wstring& value) {
  HWND control = dx->PrepareCtrl(id);
  if (dx->m_bSaveAndValidate) {
    value = TextOf(control);
    return;
  }
  if (::SendMessageW(control, CB_SELECTSTRING, static_cast<WPARAM>(-1),
                     reinterpret_cast<LPARAM>(value.c_str())) == CB_ERR) {
    // Ignored by a drop-down list, which shows only its items.
    ::SetWindowTextW(control, value.c_str());
  }
}

void DDX_CBIndex(CDataExchange* dx, int id, int& index) {
  HWND control = dx->PrepareCtrl(id);
  if (dx->m_bSaveAndValidate) {
    index = static_cast<int>(::SendMessageW(control, CB_GETCURSEL, 0, 0));
  } else {
    ::SendMessageW(control, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  }
}

void DDX_Control(CDataExchange* dx, int id, CWnd& control) {
  if (control.m_hWnd != nullptr) return;
  dx->PrepareCtrl(id);
  if (!control.SubclassDlgItem(static_cast<UINT>(id), dx->m_pDlgWnd)) {
    AfxThrowNotSupportedException();
  }
}
