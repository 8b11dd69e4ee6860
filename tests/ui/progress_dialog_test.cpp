// The progress window on the GUI stand-in, with input given as a person gives
// it (keys and clicks queued for the window's own message pump).
#include <gtest/gtest.h>

#include "platform/gui/scripted_backend.h"
#include "ui/progress_dialog.h"

namespace {

std::wstring Percent() {
  CProgressDlg* d = CurrentProgressDialog();
  if (d == nullptr) return L"(none)";
  return gui::ReadDialog(d->m_hWnd).Find(IDC_PROGRESS_PERCENT)->text;
}

const gui::ControlState& Bar() {
  static gui::DialogState state;
  state = gui::ReadDialog(CurrentProgressDialog()->m_hWnd);
  return *state.Find(IDC_PROGRESS_BAR);
}

class Progress : public ::testing::Test {
 protected:
  void TearDown() override { ProgressClose(); }

  // Queues one key or click for the window, delivered at the next pump.
  void Queue(std::function<void(gui::DialogDriver&)> input) {
    ui.OnIdle([this, input] {
      ui.OnIdle(nullptr);
      gui::DialogDriver d(CurrentProgressDialog()->m_hWnd);
      input(d);
    });
  }

  gui::ScriptedBackend ui;
};

TEST_F(Progress, OpensAsTheModelessTopmostWindowOfItsTemplate) {
  ProgressOpen(nullptr);
  ASSERT_NE(nullptr, CurrentProgressDialog());
  ASSERT_EQ(1u, ui.dialogs().size());
  const gui::DialogState& s = ui.dialogs()[0].shown;
  EXPECT_EQ(L"IDD_77235380_B9EA_4C6E_821D_3DE1629934ED", s.template_name);
  EXPECT_EQ(L"OrvaneGridmason", s.title);
  EXPECT_FALSE(s.modal);
  EXPECT_TRUE(s.visible);
  EXPECT_EQ(L" 0 %", s.Find(IDC_PROGRESS_PERCENT)->text);
  EXPECT_EQ(L"Cancel", s.Find(IDCANCEL)->text);
  EXPECT_TRUE(gui::ReadDialog(CurrentProgressDialog()->m_hWnd).topmost);

  // A second open only shows it again: what it shows stays.
  ProgressSetText(L"Table Size: 2 rows X 3 columns");
  ProgressSetRange(0, 6);
  ProgressSetPos(3);
  CProgressDlg* first = CurrentProgressDialog();
  ProgressOpen(nullptr);
  EXPECT_EQ(first, CurrentProgressDialog());
  EXPECT_EQ(1u, ui.dialogs().size());
  gui::DialogState now = gui::ReadDialog(first->m_hWnd);
  EXPECT_EQ(L"Table Size: 2 rows X 3 columns", now.Find(IDC_PROGRESS_STATUS)->text);
  EXPECT_EQ(3, now.Find(IDC_PROGRESS_BAR)->pos);
  EXPECT_EQ(L"50%", Percent());
}

TEST_F(Progress, PercentageFollowsThePositionAndStartsOverPastTheEnd) {
  ProgressOpen(nullptr);
  ProgressSetRange(0, 200);
  EXPECT_EQ(0, ProgressSetPos(50));
  EXPECT_EQ(L"25%", Percent());
  EXPECT_EQ(50, ProgressSetPos(200));
  EXPECT_EQ(L"100%", Percent());
  ProgressSetPos(250);
  EXPECT_EQ(L"25%", Percent()) << "125 per cent reads 25";

  // Stepping reports the position before the step.
  ProgressSetPos(0);
  EXPECT_EQ(10, ProgressSetStep(20)) << "the constructor's step";
  EXPECT_EQ(0, ProgressStepIt());
  EXPECT_EQ(20, ProgressStepIt());
  EXPECT_EQ(L"20%", Percent());

  // An empty range leaves the text as it was.
  ProgressSetRange(5, 5);
  ProgressSetPos(5);
  EXPECT_EQ(L"20%", Percent());

  EXPECT_EQ(L"25%", CProgressDlg::PercentText(-50, -100, 100));
  EXPECT_EQ(L"0%", CProgressDlg::PercentText(400, 0, 200));
}

TEST_F(Progress, RangesBeyondSixteenBitsKeepTheirFullSize) {
  ProgressOpen(nullptr);
  ProgressSetRange(0, 100000);
  ProgressSetPos(50000);
  EXPECT_EQ(100000, Bar().range_high);
  EXPECT_EQ(50000, Bar().pos);
  EXPECT_EQ(L"50%", Percent());
  ProgressSetStep(1);
  for (int i = 0; i < 3; ++i) ProgressStepIt();
  EXPECT_EQ(50003, Bar().pos);
}

TEST_F(Progress, EnterDoesNothingAndEachCancelIsReportedOnce) {
  ProgressOpen(nullptr);
  EXPECT_FALSE(ProgressCancelled());

  Queue([](gui::DialogDriver& d) { EXPECT_TRUE(d.PressEnter()); });
  EXPECT_FALSE(ProgressCancelled());
  EXPECT_NE(nullptr, CurrentProgressDialog());
  EXPECT_TRUE(CurrentProgressDialog()->IsWindowVisible());

  Queue([](gui::DialogDriver& d) { EXPECT_TRUE(d.PressEscape()); });
  EXPECT_TRUE(ProgressCancelled());
  EXPECT_FALSE(ProgressCancelled()) << "the flag is cleared by reading it";
  EXPECT_TRUE(CurrentProgressDialog()->IsWindowVisible()) << "Cancel leaves it open";

  Queue([](gui::DialogDriver& d) { EXPECT_TRUE(d.Press(IDCANCEL)); });
  ProgressStepIt();  // a step pumps too: the click is taken, the flag waits
  EXPECT_TRUE(ProgressCancelled());
  EXPECT_FALSE(ProgressCancelled());
}

TEST_F(Progress, EverythingIsHarmlessWithoutAWindow) {
  ProgressOpen(nullptr);
  ProgressClose();
  EXPECT_EQ(nullptr, CurrentProgressDialog());
  ASSERT_EQ(1u, ui.dialogs().size());
  EXPECT_TRUE(ui.dialogs()[0].has_closed);
  ProgressClose();
  ProgressSetText(L"gone");
  ProgressSetRange(0, 10);
  EXPECT_EQ(-1, ProgressSetPos(3));
  EXPECT_EQ(-1, ProgressSetStep(1));
  EXPECT_EQ(-1, ProgressStepIt());
  EXPECT_TRUE(ProgressCancelled()) << "a caller that polls stops";
}

TEST_F(Progress, AWindowThatCannotBeCreatedBehavesAsNone) {
  gui::DialogTemplate broken = ProgressDialogTemplate();
  broken.controls.push_back(gui::ControlTemplate{9, gui::ControlKind::kCustom, L"", 0, 0, 1, 1,
                                                 WS_VISIBLE, 0, L"NoSuchWindowClass"});
  const gui::DialogTemplate* before = SetProgressDialogTemplate(&broken);
  ProgressOpen(nullptr);
  SetProgressDialogTemplate(before);
  EXPECT_EQ(nullptr, CurrentProgressDialog());
  EXPECT_TRUE(ui.dialogs().empty());
  EXPECT_EQ(-1, ProgressSetPos(0));
  EXPECT_TRUE(ProgressCancelled());
}

}  // namespace
