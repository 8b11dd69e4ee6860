#include <gtest/gtest.h>

#include <filesystem>
#include <utility>
#include <vector>

#include "platform/gui/scripted_backend.h"
#include "platform/win/strings.h"
#include "platform/win/text.h"
#include "tests/platform/gui/sample_dialog.h"
#include "tests/support/test_support.h"

namespace sample {
BEGIN_MESSAGE_MAP(CSampleDialog, CDialog)
ON_BN_CLICKED(kEnable, &CSampleDialog::OnEnable)
ON_BN_CLICKED(kApply, &CSampleDialog::OnApply)
ON_EN_CHANGE(kName, &CSampleDialog::OnNameChange)
ON_CBN_SELCHANGE(kCombo, &CSampleDialog::OnKindChange)
END_MESSAGE_MAP()
}  // namespace sample

namespace {

using sample::CSampleDialog;

TEST(Dialog, InitialisationLoadsTheFieldsIntoTheControls) {
  gui::ScriptedBackend ui;
  CSampleDialog dlg;
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);  // no input: cancelled
  ASSERT_EQ(ui.dialogs().size(), 1u);
  const gui::DialogState& s = ui.dialogs()[0].shown;
  EXPECT_EQ(s.title, L"Sample");
  EXPECT_EQ(s.template_name, L"IDD_SAMPLE");
  EXPECT_TRUE(s.modal);
  EXPECT_EQ(s.Find(sample::kName)->text, L"Ada");
  EXPECT_EQ(s.Find(sample::kName)->label, L"Name:");
  EXPECT_EQ(s.Find(sample::kEnable)->check, 0);
  EXPECT_FALSE(s.Find(sample::kDependent)->enabled);
  EXPECT_EQ(s.Find(sample::kDependent)->label, L"&Enable count:");
  EXPECT_EQ(s.Find(sample::kFirstRadio)->check, 0);
  EXPECT_EQ(s.Find(sample::kSecondRadio)->check, 1);
  EXPECT_EQ(s.Find(sample::kCombo)->text, L"Beta");  // selected by prefix, case ignored
  EXPECT_EQ(s.Find(sample::kCombo)->items,
            (std::vector<std::wstring>{L"alpha", L"Beta", L"gamma"}));
  EXPECT_FALSE(s.Find(sample::kHiddenBox)->visible);
  EXPECT_EQ(s.Find(sample::kHiddenBox)->check, 1);
  EXPECT_EQ(s.Find(sample::kCount)->text, L"3");
  EXPECT_EQ(s.Find(sample::kProgress)->pos, 50);
  EXPECT_EQ(s.Find(sample::kProgress)->range_high, 200);
  EXPECT_EQ(s.Find(sample::kList)->rows,
            (std::vector<std::vector<std::wstring>>{{L"a1", L"b1"}, {L"a2", L"b2"}}));
  // Cancel writes nothing back.
  EXPECT_EQ(dlg.name, L"Ada");
  EXPECT_EQ(gui::ReadDialog(s.hwnd).hwnd, nullptr);
}

TEST(Dialog, PersonInputReachesTheFieldsOnOk) {
  gui::ScriptedBackend ui;
  CSampleDialog dlg;
  int changes_before = 0;
  ui.OnDialog([&](gui::DialogDriver& d) {
    changes_before = dlg.name_changes;  // loading the field changed it too
    EXPECT_TRUE(d.Type(sample::kName, L"Grace Hopper"));
    EXPECT_TRUE(d.Type(sample::kPassword, L"s3cret"));
    EXPECT_TRUE(d.SetCheck(sample::kEnable, true));
    EXPECT_TRUE(d.Enabled(sample::kDependent));  // the click handler ran at once
    EXPECT_TRUE(d.Type(sample::kDependent, L""));
    EXPECT_TRUE(d.SetCheck(sample::kFirstRadio, true));
    EXPECT_EQ(d.State().Find(sample::kSecondRadio)->check, 0);  // one of a group
    EXPECT_TRUE(d.Pick(sample::kCombo, L"GAMMA"));
    EXPECT_TRUE(d.PickIndex(sample::kList, 1));
    EXPECT_TRUE(d.Press(sample::kApply));
    EXPECT_TRUE(d.Press(IDOK));
    EXPECT_FALSE(d.IsOpen());
  });
  EXPECT_EQ(dlg.DoModal(), IDOK);
  EXPECT_EQ(dlg.name, L"Grace Hopper");
  EXPECT_EQ(dlg.password, L"s3cret");
  EXPECT_EQ(dlg.enable, 1);
  EXPECT_EQ(dlg.dependent, L"");
  EXPECT_EQ(dlg.radio, 0);
  EXPECT_EQ(dlg.kind, L"gamma");
  EXPECT_EQ(dlg.applies, 1);
  EXPECT_EQ(dlg.selections, 1);
  // One change for every character typed.
  EXPECT_EQ(dlg.name_changes - changes_before, 12);
  const gui::DialogState& closed = ui.dialogs()[0].closed;
  EXPECT_EQ(closed.Find(sample::kList)->selected_rows, std::vector<int>{1});
  EXPECT_EQ(ui.dialogs()[0].result, IDOK);
}

TEST(Dialog, RefusesWhatAPersonCannotDo) {
  gui::ScriptedBackend ui;
  CSampleDialog dlg;
  ui.OnDialog([](gui::DialogDriver& d) {
    EXPECT_FALSE(d.Type(sample::kDependent, L"9"));
    EXPECT_EQ(d.problem(), L"Control 111 is disabled.");
    EXPECT_FALSE(d.SetCheck(sample::kHiddenBox, false));
    EXPECT_EQ(d.problem(), L"Control 110 is hidden.");
    EXPECT_FALSE(d.Type(999, L"x"));
    EXPECT_EQ(d.problem(), L"There is no control 999.");
    EXPECT_FALSE(d.Type(sample::kEnable, L"x"));
    EXPECT_FALSE(d.SetCheck(sample::kSecondRadio, false));
    EXPECT_FALSE(d.Pick(sample::kCombo, L"delta"));
    EXPECT_EQ(d.problem(), L"Control 106 has no item \"delta\".");
    EXPECT_FALSE(d.Press(sample::kName));
    // Shrinking the window cuts the right-hand controls off.
    RECT r;
    CWnd* w = CWnd::FromHandle(d.hwnd());
    w->GetWindowRect(&r);
    w->SetWindowPos(nullptr, 0, 0, 120, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_FALSE(d.Press(IDCANCEL));
    EXPECT_EQ(d.problem(), L"Control 2 is outside the window.");
    EXPECT_TRUE(d.PressEscape());
  });
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_EQ(dlg.dependent, L"x");
}

TEST(Dialog, FailedExchangeKeepsTheDialogOpen) {
  gui::ScriptedBackend ui;
  CSampleDialog dlg;
  ui.OnDialog([](gui::DialogDriver& d) {
    d.Type(sample::kCount, L"12a");
    d.PressEnter();
    EXPECT_TRUE(d.IsOpen());
    EXPECT_EQ(CWnd::GetFocus(), CWnd::FromHandle(d.hwnd())->GetDlgItem(sample::kCount));
  });
  ui.OnDialog([](gui::DialogDriver& d) {
    d.Type(sample::kCount, L" -7 ");
    d.PressEnter();
  });
  EXPECT_EQ(dlg.DoModal(), IDOK);
  EXPECT_EQ(dlg.count, -7);
  ASSERT_EQ(ui.messages().size(), 1u);
  EXPECT_EQ(ui.messages()[0].box.text, L"Please enter an integer.");
  EXPECT_EQ(ui.messages()[0].box.caption, AfxGetAppName());
  EXPECT_FALSE(ui.messages()[0].scripted);
}

TEST(Dialog, OutOfRangeValuesLoadAsTheFrameworkLoadsThem) {
  gui::ScriptedBackend ui;
  CSampleDialog dlg;
  dlg.enable = 5;  // not 0..2: the box is cleared and the field becomes 0
  dlg.radio = 7;   // no such button: none is checked, and saving gives -1
  ui.OnDialog([](gui::DialogDriver& d) { d.PressEnter(); });
  EXPECT_EQ(dlg.DoModal(), IDOK);
  EXPECT_EQ(dlg.enable, 0);
  EXPECT_EQ(dlg.radio, -1);
  EXPECT_EQ(ui.dialogs()[0].shown.Find(sample::kFirstRadio)->check, 0);
}

TEST(Dialog, WithoutABackendADialogIsCancelled) {
  ASSERT_EQ(gui::GetBackend(), nullptr);
  CSampleDialog dlg;
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_TRUE(gui::OpenDialogs().empty());
}

TEST(Dialog, GeometryFollowsTheDialogUnits) {
  gui::ScriptedBackend ui;
  CSampleDialog dlg;
  ui.OnDialog([&dlg](gui::DialogDriver& d) {
    RECT r = dlg.MapDialogRect({0, 0, 200, 160});
    EXPECT_EQ(r.right, 300);  // 8 points: 6 x 13 base units
    EXPECT_EQ(r.bottom, 260);
    RECT client;
    dlg.GetClientRect(&client);
    EXPECT_EQ(client.right, 300);
    EXPECT_EQ(client.bottom, 260);
    RECT window;
    dlg.GetWindowRect(&window);
    EXPECT_EQ(window.right - window.left, 306);  // frames
    EXPECT_EQ(window.bottom - window.top, 288);  // frames and caption
    // Centred on the screen, as it has no owner of ours.
    EXPECT_EQ(window.left, (1920 - 306) / 2);
    RECT edit;
    dlg.GetDlgItem(sample::kName)->GetWindowRect(&edit);
    dlg.ScreenToClient(&edit);
    EXPECT_EQ(edit.left, 75);
    EXPECT_EQ(edit.top, 33);  // 20 du x 13 / 8, rounded
    // Moving the dialog moves its controls.
    dlg.SetWindowPos(nullptr, 10, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    dlg.GetDlgItem(sample::kName)->GetWindowRect(&edit);
    EXPECT_EQ(edit.left, 10 + 3 + 75);
    EXPECT_EQ(edit.top, 20 + 3 + 22 + 33);
    CWnd::FromHandle(d.hwnd())->SetWindowPos(&CWnd::wndTopMost, 0, 0, 0, 0,
                                             SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_TRUE(d.State().topmost);
    d.PressEscape();
  });
  dlg.DoModal();
}

TEST(Dialog, ControlsBehaveAsTheirClassesDo) {
  gui::ScriptedBackend ui;
  CSampleDialog dlg;
  ui.OnDialog([&dlg](gui::DialogDriver& d) {
    CComboBox& combo = dlg.combo;
    EXPECT_EQ(combo.AddString(L"ALPHA"), 1);  // sorted after its equal
    EXPECT_EQ(combo.FindStringExact(-1, L"alpha"), 0);
    EXPECT_EQ(combo.FindStringExact(0, L"alpha"), 1);  // searches after the start
    EXPECT_EQ(combo.FindStringExact(1, L"alpha"), 0);  // and wraps around
    EXPECT_EQ(combo.FindStringExact(-1, L"alp"), CB_ERR);
    EXPECT_EQ(combo.SetCurSel(-1), CB_ERR);
    EXPECT_EQ(combo.GetCurSel(), CB_ERR);
    EXPECT_EQ(combo.GetWindowText(), L"");  // a drop-down list has no own text
    combo.SetWindowText(L"free text");
    EXPECT_EQ(combo.GetWindowText(), L"");
    EXPECT_EQ(d.State().Find(sample::kCombo)->items,
              (std::vector<std::wstring>{L"alpha", L"ALPHA", L"Beta", L"gamma"}));

    CListCtrl& list = dlg.list;
    EXPECT_EQ(d.State().Find(sample::kList)->columns.size(), 2u);
    list.SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    EXPECT_EQ(list.SetExtendedStyle(0), LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    EXPECT_TRUE(list.SetItemText(1, 3, L"d2"));  // the row grows to the column
    EXPECT_EQ(d.State().Find(sample::kList)->rows[1],
              (std::vector<std::wstring>{L"a2", L"b2", L"", L"d2"}));
    EXPECT_FALSE(list.SetItemText(7, 0, L"x"));
    EXPECT_TRUE(d.State().Find(sample::kList)->selected_rows.empty());
    d.Pick(sample::kList, L"A2");
    EXPECT_EQ(d.State().Find(sample::kList)->selected_rows, std::vector<int>{1});
    list.DeleteAllItems();
    while (list.DeleteColumn(0)) {
    }
    EXPECT_TRUE(d.State().Find(sample::kList)->columns.empty());
    EXPECT_EQ(list.GetItemCount(), 0);

    CProgressCtrl& bar = dlg.progress;
    auto pos = [&d] { return d.State().Find(sample::kProgress)->pos; };
    EXPECT_EQ(bar.SetPos(250), 50);
    EXPECT_EQ(pos(), 200);  // kept in the range
    bar.SetRange32(10, 20);
    EXPECT_EQ(pos(), 20);
    EXPECT_EQ(bar.SetStep(4), 10);
    EXPECT_EQ(bar.StepIt(), 20);
    EXPECT_EQ(pos(), 10);  // past the end it starts over
    d.PressEscape();
  });
  dlg.DoModal();
}

// ---------------------------------------------------------------------------
// Modeless windows and the pump.

const gui::DialogTemplate& WorkTemplate() {
  static const gui::DialogTemplate t = {
      L"IDD_WORK",
      L"Working",
      L"MS Sans Serif",
      8,
      186,
      63,
      WS_POPUP | DS_MODALFRAME | WS_VISIBLE,
      0,
      {
          {1005, gui::ControlKind::kStatic, L"", 7, 7, 150, 8, WS_VISIBLE},
          {IDCANCEL, gui::ControlKind::kDefPushButton, L"Cancel", 67, 42, 50, 14, gui::kVisibleTab},
      },
  };
  return t;
}

class CWorkDialog : public CDialog {
 public:
  int cancels = 0;
  int oks = 0;

 protected:
  void OnOK() override { ++oks; }
  void OnCancel() override { ++cancels; }
};

// The loop a long operation runs between two steps.
void Pump(HWND dialog) {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (!IsDialogMessageW(dialog, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
}

TEST(Modeless, CancelReachesTheWindowOnlyThroughThePump) {
  gui::ScriptedBackend ui;
  CWorkDialog dlg;
  ASSERT_TRUE(dlg.Create(WorkTemplate()));
  ASSERT_EQ(ui.dialogs().size(), 1u);  // shown on creation
  EXPECT_FALSE(ui.dialogs()[0].shown.modal);
  HWND h = dlg.m_hWnd;
  EXPECT_EQ(gui::FindDialog(L"Working"), h);
  bool person_acts = false;
  ui.OnIdle([&] {
    if (!person_acts) return;
    person_acts = false;
    gui::DialogDriver d(h);
    d.Press(IDCANCEL);
    d.PressEnter();
    d.PressEscape();
  });
  Pump(h);
  person_acts = true;
  EXPECT_EQ(dlg.cancels, 0);  // nothing reaches the window between pumps
  Pump(h);
  EXPECT_EQ(dlg.cancels, 2);  // the button and Esc
  EXPECT_EQ(dlg.oks, 1);      // Enter, which this window ignores
  EXPECT_TRUE(dlg.IsWindowVisible());
  dlg.SetDlgItemText(1005, L"Merging the cells...");
  dlg.DestroyWindow();
  ASSERT_TRUE(ui.dialogs()[0].has_closed);
  EXPECT_EQ(ui.dialogs()[0].closed.Find(1005)->text, L"Merging the cells...");
  EXPECT_EQ(gui::FindDialog(L"Working"), nullptr);
  // A stale handle finds nothing.
  EXPECT_EQ(gui::ReadDialog(h).hwnd, nullptr);
  EXPECT_FALSE(gui::DialogDriver(h).PressEscape());
}

TEST(Modeless, InputForAGoneWindowIsRefused) {
  gui::ScriptedBackend ui;
  auto dlg = std::make_unique<CWorkDialog>();
  ASSERT_TRUE(dlg->Create(WorkTemplate()));
  HWND h = dlg->m_hWnd;
  dlg.reset();  // the destructor destroys the window
  gui::DialogDriver d(h);
  EXPECT_FALSE(d.PressEscape());
  EXPECT_EQ(d.problem(), L"The dialog has closed.");
  EXPECT_FALSE(d.Press(IDCANCEL));
  EXPECT_TRUE(gui::OpenDialogs().empty());
}

// ---------------------------------------------------------------------------
// A control of a registered class over a placeholder.

class CBlink : public CWnd {
 public:
  bool hot = false;
  int clicks = 0;

 protected:
  void OnPaint() {
    CPaintDC dc(this);
    dc.SetTextColor(hot ? RGB(255, 0, 0) : RGB(0, 0, 255));
    dc.TextOut(0, 0, GetWindowText());
  }
  void OnMouseMove(UINT, CPoint p) {
    CRect r;
    GetClientRect(&r);
    bool inside = r.PtInRect(p) != 0;
    if (inside && !hot) {
      hot = true;
      SetCapture();
      Invalidate();
    } else if (!inside && hot) {
      hot = false;
      ReleaseCapture();
      Invalidate();
    }
  }
  void OnLButtonUp(UINT, CPoint) { ++clicks; }
  BOOL OnSetCursor(CWnd*, UINT, UINT) {
    ::SetCursor(LoadCursorW(nullptr, IDC_HAND));
    return TRUE;
  }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CBlink, CWnd)
ON_WM_PAINT()
ON_WM_MOUSEMOVE()
ON_WM_LBUTTONUP()
ON_WM_SETCURSOR()
END_MESSAGE_MAP()

TEST(CustomControl, PaintsTracksThePointerAndTakesClicks) {
  gui::ScriptedBackend ui;
  CSampleDialog dlg;
  CBlink blink;
  ui.OnDialog([&](gui::DialogDriver& d) {
    WNDCLASSW wc;
    wc.lpszClassName = L"BlinkWnd";
    wc.lpfnWndProc = DefWindowProcW;
    ASSERT_TRUE(AfxRegisterClass(&wc));
    ASSERT_TRUE(AfxRegisterClass(&wc));  // twice is fine
    CWnd* placeholder = dlg.GetDlgItem(sample::kApply);
    CRect r;
    placeholder->GetWindowRect(&r);
    dlg.ScreenToClient(&r);
    ASSERT_TRUE(blink.CreateEx(0, L"BlinkWnd", L"go there", WS_CHILD | WS_VISIBLE, r, &dlg, 3000));
    placeholder->ShowWindow(SW_HIDE);
    EXPECT_FALSE(CWnd().CreateEx(0, L"NoSuchClass", L"", WS_CHILD, r, &dlg, 3001));

    const gui::ControlState* c = d.State().Find(3000);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->kind, gui::ControlKind::kCustom);
    ASSERT_EQ(c->painted.size(), 1u);
    EXPECT_EQ(c->painted[0].color, RGB(0, 0, 255));
    EXPECT_TRUE(d.Hover(3000));
    EXPECT_EQ(GetCapture(), blink.m_hWnd);
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND));
    EXPECT_EQ(d.State().Find(3000)->painted[0].color, RGB(255, 0, 0));
    EXPECT_TRUE(d.MoveMouseAway());
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(d.State().Find(3000)->painted[0].color, RGB(0, 0, 255));
    EXPECT_TRUE(d.Press(3000));
    EXPECT_EQ(blink.clicks, 1);
    d.PressEscape();
  });
  dlg.DoModal();
  EXPECT_EQ(blink.m_hWnd, nullptr);  // went with its dialog
}

// ---------------------------------------------------------------------------
// Message boxes.

TEST(MessageBox, AnswersAreRecordedAndCheckedAgainstTheButtons) {
  HWND owner = reinterpret_cast<HWND>(0x1234);  // a foreign window
  {
    gui::ScriptedBackend ui;
    ui.AnswerMessageBox(IDYES).AnswerMessageBox(IDYES);
    EXPECT_EQ(MessageBoxW(owner, L"Go on?", L"Caption", MB_YESNO | MB_ICONINFORMATION), IDYES);
    // Yes is no button of an OK box.
    EXPECT_EQ(MessageBoxW(owner, L"Done.", L"Caption", MB_OK), IDOK);
    EXPECT_EQ(MessageBoxW(owner, L"Really?", L"Caption", MB_YESNO), IDNO);  // unanswered
    ASSERT_EQ(ui.messages().size(), 3u);
    EXPECT_EQ(ui.messages()[0].box.owner, owner);
    EXPECT_EQ(ui.messages()[0].box.type, MB_YESNO | MB_ICONINFORMATION);
    EXPECT_FALSE(ui.messages()[2].scripted);
  }
  // The default handler comes back: safest answers, nothing confirmed.
  EXPECT_EQ(MessageBoxW(owner, L"Overwrite?", L"Caption", MB_OKCANCEL), IDCANCEL);
}

// ---------------------------------------------------------------------------
// File dialogs.

std::wstring W(const std::filesystem::path& p) { return win::Utf8ToWide(p.string()); }

TEST(FileDialog, CompletesTheNameAndAsksAgainWhereItMust) {
  gm::test::TempDir dir;
  gm::test::WriteFile(dir / "kept.accdb", "x");
  gm::test::WriteFile(dir / "data.mdb", "x");
  gui::ScriptedBackend ui;
  ui.AnswerFile(L"missing")             // no such file: told, asked again
      .AnswerFile(W(dir.path()))        // a folder
      .AnswerFile(L"kept.accdb", true)  // has its own extension
      .AnswerFile(L"data");             // for the second dialog
  CFileDialog open(TRUE, L"mdb", nullptr, OFN_FILEMUSTEXIST,
                   L"Microsoft Office Access Databases (*.mdb)|*.mdb|"
                   L"Microsoft Office Access 2007 Databases (*.accdb)|*.accdb|"
                   L"All Files (*.*)|*.*||");
  open.m_ofn.lpstrInitialDir = W(dir.path());
  ASSERT_EQ(open.DoModal(), IDOK);
  EXPECT_EQ(open.GetPathName(), W(dir / "kept.accdb"));
  EXPECT_TRUE(open.GetReadOnlyPref());  // the box is shown (no OFN_HIDEREADONLY)
  ASSERT_EQ(ui.file_requests().size(), 3u);
  const gui::FileDialogRequest& r = ui.file_requests()[0];
  EXPECT_TRUE(r.open);
  EXPECT_EQ(r.title, L"Open");
  EXPECT_EQ(r.default_ext, L"mdb");
  ASSERT_EQ(r.filters.size(), 3u);
  EXPECT_EQ(r.filters[1].second, L"*.accdb");
  ASSERT_EQ(ui.messages().size(), 2u);
  EXPECT_EQ(ui.messages()[0].box.text,
            W(dir / "missing.mdb") + L"\nFile not found.\nCheck the file name and try again.");

  CFileDialog hidden(TRUE, L"mdb", nullptr, OFN_HIDEREADONLY);
  hidden.m_ofn.lpstrInitialDir = W(dir.path());
  ASSERT_EQ(hidden.DoModal(), IDOK);
  EXPECT_EQ(hidden.GetPathName(), W(dir / "data.mdb"));
  EXPECT_FALSE(hidden.GetReadOnlyPref());
  // Out of answers: cancelled.
  EXPECT_EQ(hidden.DoModal(), IDCANCEL);
}

TEST(FileDialog, SavingOverAFileNeedsAYes) {
  gm::test::TempDir dir;
  gm::test::WriteFile(dir / "out.mdb", "x");
  gui::ScriptedBackend ui;
  ui.AnswerFile(W(dir / "out")).AnswerFile(W(dir / "out")).AnswerFile(W(dir / "no/such/out"));
  ui.AnswerMessageBox(IDNO).AnswerMessageBox(IDYES);
  CFileDialog save(FALSE, L".mdb");
  ASSERT_EQ(save.DoModal(), IDOK);
  EXPECT_EQ(save.GetPathName(), W(dir / "out.mdb"));
  ASSERT_EQ(ui.messages().size(), 2u);
  EXPECT_EQ(ui.messages()[0].box.type, MB_YESNO | MB_ICONWARNING);
  EXPECT_EQ(ui.file_requests()[0].title, L"Save As");
  // A folder that is not there cannot take the file.
  ui.CancelFile();
  EXPECT_EQ(save.DoModal(), IDCANCEL);
  EXPECT_EQ(ui.messages().back().box.text,
            W(dir / "no/such/out.mdb") + L"\nPath does not exist.\nCheck the path and try again.");
}

// The filter string pairs descriptions with patterns up to an empty
// description; an unpaired tail or a missing last bar is no filter.
TEST(FileDialog, FilterPairsStopAtAnEmptyDescriptionOrAnUnpairedTail) {
  const struct {
    const wchar_t* filter;
    std::vector<std::pair<std::wstring, std::wstring>> pairs;
  } cases[] = {
      {L"A|*.a|B|*.b;*.c||", {{L"A", L"*.a"}, {L"B", L"*.b;*.c"}}},
      {L"A|*.a|B|*.b", {{L"A", L"*.a"}, {L"B", L"*.b"}}},
      {L"A|*.a||C|*.c||", {{L"A", L"*.a"}}},
      {L"A|*.a|B", {{L"A", L"*.a"}}},
      {L"A||B|*.b|", {{L"A", L""}, {L"B", L"*.b"}}},
      {L"A", {}},
      {L"|*.a|", {}},
  };
  for (const auto& c : cases) {
    gui::ScriptedBackend ui;
    CFileDialog open(TRUE, nullptr, nullptr, OFN_HIDEREADONLY, c.filter);
    EXPECT_EQ(open.DoModal(), IDCANCEL);
    ASSERT_EQ(ui.file_requests().size(), 1u);
    EXPECT_EQ(ui.file_requests()[0].filters, c.pairs) << win::WideToUtf8(c.filter);
  }
}

}  // namespace
