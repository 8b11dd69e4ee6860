#include "platform/gui/console_backend.h"

#include <gtest/gtest.h>

#include <deque>

#include "platform/console/console.h"
#include "platform/gui/scripted_backend.h"
#include "platform/win/text.h"
#include "tests/platform/gui/sample_dialog.h"
#include "tests/support/test_support.h"

namespace {

using sample::CSampleDialog;

// Installs a console backend for one test.
class WithBackend {
 public:
  explicit WithBackend(bool interactive)
      : backend_(interactive), previous_(gui::SetBackend(&backend_)) {}
  ~WithBackend() { gui::SetBackend(previous_); }

 private:
  gui::ConsoleBackend backend_;
  gui::Backend* previous_;
};

// A person typing: lines given up front, nothing echoed (the terminal does).
class TypedLines : public console::Input {
 public:
  explicit TypedLines(std::deque<std::wstring> lines)
      : lines_(std::move(lines)), previous_(console::SetInput(this)) {}
  ~TypedLines() override { console::SetInput(previous_); }
  bool ReadLine(const std::wstring& prompt, std::wstring& line) override {
    console::Write(prompt);
    if (lines_.empty()) return false;
    line = lines_.front();
    lines_.pop_front();
    console::Write(line + L"\n");
    return true;
  }
  bool IsInteractive() const override { return true; }
  size_t left() const { return lines_.size(); }

 private:
  std::deque<std::wstring> lines_;
  console::Input* previous_;
};

bool Has(const std::wstring& text, const std::wstring& part) {
  return text.find(part) != std::wstring::npos;
}

TEST(ConsoleAction, ParsesTheScriptSyntax) {
  using A = gui::ConsoleAction;
  EXPECT_EQ(gui::ParseConsoleAction(L"set 212 0.2").kind, A::kSet);
  EXPECT_EQ(gui::ParseConsoleAction(L"set 212 0.2").text, L"0.2");
  EXPECT_EQ(gui::ParseConsoleAction(L"SET 212   two  words").text, L"  two  words");
  EXPECT_EQ(gui::ParseConsoleAction(L"set 212 \" padded \"").text, L" padded ");
  EXPECT_EQ(gui::ParseConsoleAction(L"set 207").text, L"");
  EXPECT_EQ(gui::ParseConsoleAction(L"check 215").id, 215);
  EXPECT_EQ(gui::ParseConsoleAction(L"uncheck 215").kind, A::kUncheck);
  EXPECT_EQ(gui::ParseConsoleAction(L"pick 126 Last Row").text, L"Last Row");
  EXPECT_EQ(gui::ParseConsoleAction(L"press 1").kind, A::kPress);
  EXPECT_EQ(gui::ParseConsoleAction(L"  Ok ").kind, A::kOk);
  EXPECT_EQ(gui::ParseConsoleAction(L"cancel").kind, A::kCancel);
  // Not actions: commands of the host, missing or bad ids, extra words.
  EXPECT_EQ(gui::ParseConsoleAction(L"LineText2Excel").kind, A::kNone);
  EXPECT_EQ(gui::ParseConsoleAction(L"check").kind, A::kNone);
  EXPECT_EQ(gui::ParseConsoleAction(L"check 2x").kind, A::kNone);
  EXPECT_EQ(gui::ParseConsoleAction(L"press 1 2").kind, A::kNone);
  EXPECT_EQ(gui::ParseConsoleAction(L"pick 126").kind, A::kNone);
  EXPECT_EQ(gui::ParseConsoleAction(L"ok now").kind, A::kNone);
  EXPECT_EQ(gui::ParseConsoleAction(L"set 99999999999 x").kind, A::kNone);
}

TEST(ConsoleBackend, ScriptFillsTheFormAndTheLogShowsIt) {
  WithBackend backend(false);
  console::Capture out;
  console::ScriptedLines lines(
      "set 101 Grace\n"
      "check 103\n"
      "set 111 \" spaced \"\n"
      "set 102 hunter2\n"
      "pick 106 #1\n"
      "pick 107 a2\n"
      "check 110\n"
      "press 1\n"
      "NextCommand\n");
  CSampleDialog dlg;
  EXPECT_EQ(dlg.DoModal(), IDOK);
  EXPECT_EQ(dlg.name, L"Grace");
  EXPECT_EQ(dlg.enable, 1);
  EXPECT_EQ(dlg.dependent, L" spaced ");
  EXPECT_EQ(dlg.kind, L"alpha");
  const std::wstring& log = out.text();
  // The form as a person sees it.
  EXPECT_TRUE(Has(log, L"== Sample ==")) << log;
  EXPECT_TRUE(Has(log, L"-- Details ")) << log;
  EXPECT_TRUE(Has(log, L"  [101] Name: [Ada]\n")) << log;
  EXPECT_TRUE(Has(log, L"  [103] [ ] Enable count:\n")) << log;
  EXPECT_TRUE(Has(log, L"  [111] Enable count: [x] (disabled)\n")) << log;
  EXPECT_TRUE(Has(log, L"  [105] (*) Second\n")) << log;
  EXPECT_TRUE(Has(log, L"  [106] Kind: {Beta} choices: 1 alpha, 2 Beta, 3 gamma\n")) << log;
  EXPECT_TRUE(Has(log, L"  [110] [x] Hidden (hidden)\n")) << log;
  EXPECT_TRUE(Has(log, L"  [1] < OK > (default)\n")) << log;
  EXPECT_TRUE(Has(log, L"   >  2 | a2 | b2 |")) << log;
  // Each answer echoed with its prompt, then what changed.
  EXPECT_TRUE(
      Has(log, L"Sample> check 103\n  [103] [x] Enable count:\n  [111] Enable count: [x]\n"))
      << log;
  // Passwords are not shown.
  EXPECT_TRUE(Has(log, L"[102] Password: [*******]")) << log;
  EXPECT_FALSE(Has(log, L"[hunter2]")) << log;
  EXPECT_TRUE(Has(log, L"  Control 110 is hidden.\n")) << log;
  EXPECT_TRUE(Has(log, L"== Sample closed with OK ==")) << log;
  // The line after the dialog is left for the host.
  std::wstring next;
  ASSERT_TRUE(console::ReadLine(L"Command: ", next));
  EXPECT_EQ(next, L"NextCommand");
}

TEST(ConsoleBackend, ScriptLineThatIsNoActionCancelsTheDialogOnly) {
  WithBackend backend(false);
  console::Capture out;
  console::ScriptedLines lines("set 101 Lost\nLineText2Excel\nZoom\n");
  CSampleDialog dlg;
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_EQ(dlg.name, L"Ada");
  EXPECT_TRUE(Has(out.text(), L"Not a dialog action: LineText2Excel; Sample is cancelled."));
  std::wstring next;
  ASSERT_TRUE(console::ReadLine(L"", next));
  EXPECT_EQ(next, L"Zoom");
}

TEST(ConsoleBackend, EndOfInputCancelsDialogsAndBoxes) {
  WithBackend backend(false);
  console::Capture out;
  console::ScriptedLines lines("");
  CSampleDialog dlg;
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_EQ(MessageBoxW(nullptr, L"Replace?", L"Brellick OrvaneGridmason", MB_YESNO), IDNO);
  EXPECT_TRUE(Has(out.text(), L"(end of input: Sample is cancelled)"));
  EXPECT_TRUE(Has(out.text(), L"  -> No (end of input)"));
}

TEST(ConsoleBackend, MessageBoxesInAScript) {
  WithBackend backend(false);
  console::Capture out;
  console::ScriptedLines lines("yes\nmaybe\nok\n");
  // Only OK: nothing to decide, no line read.
  EXPECT_EQ(MessageBoxW(nullptr, L"More than two vertical lines must be selected.",
                        L"Brellick OrvaneGridmason", MB_OK | MB_ICONINFORMATION),
            IDOK);
  EXPECT_EQ(MessageBoxW(nullptr, L"First line\nSecond line", L"Cap", MB_YESNO | MB_ICONQUESTION),
            IDYES);
  EXPECT_EQ(MessageBoxW(nullptr, L"Go?", L"Cap", MB_OKCANCEL), IDCANCEL);  // "maybe"
  std::wstring next;
  ASSERT_TRUE(console::ReadLine(L"", next));
  EXPECT_EQ(next, L"ok");
  const std::wstring& log = out.text();
  EXPECT_TRUE(Has(log,
                  L"*** Brellick OrvaneGridmason (information) ***\n"
                  L"  More than two vertical lines must be selected.\n  [ OK ]\n  -> OK\n"))
      << log;
  EXPECT_TRUE(Has(log, L"  First line\n  Second line\n  [ Yes ] [ No ]\nyes or no? yes\n  -> Yes"))
      << log;
  EXPECT_TRUE(Has(log, L"Not an answer to this box: maybe; it is answered Cancel.")) << log;
}

TEST(ConsoleBackend, AtTheTerminalWrongInputIsAskedAgain) {
  WithBackend backend(true);
  console::Capture out;
  TypedLines typed(
      {L"frobnicate", L"set 111 7", L"", L"help", L"set 101 Linus", L"ok", L"perhaps", L""});
  CSampleDialog dlg;
  EXPECT_EQ(dlg.DoModal(), IDOK);
  EXPECT_EQ(dlg.name, L"Linus");
  EXPECT_EQ(dlg.dependent, L"x");
  // An OK box waits for Enter at the terminal.
  EXPECT_EQ(MessageBoxW(nullptr, L"Done.", L"Cap", MB_OK), IDOK);
  EXPECT_EQ(typed.left(), 0u);
  const std::wstring& log = out.text();
  EXPECT_TRUE(Has(log, L"Not understood: frobnicate")) << log;
  EXPECT_TRUE(Has(log, L"Control 111 is disabled.")) << log;
  EXPECT_TRUE(Has(log, L"  press ID       press button ID")) << log;
  EXPECT_TRUE(Has(log, L"Answer with one of the buttons.")) << log;
}

TEST(ConsoleBackend, FileDialogsAreAnsweredWithANameOrCancel) {
  gm::test::TempDir dir;
  gm::test::WriteFile(dir / "old.mdb", "x");
  WithBackend backend(false);
  console::Capture out;
  std::string script = "readonly old\nno\n  \"new\"  \ncancel\n";
  console::ScriptedLines lines(script);
  CFileDialog save(FALSE, L"mdb", nullptr, OFN_OVERWRITEPROMPT,
                   L"Access Databases (*.mdb)|*.mdb|All Files (*.*)|*.*||");
  save.m_ofn.lpstrInitialDir = win::Utf8ToWide(dir.path().string());
  ASSERT_EQ(save.DoModal(), IDOK);
  EXPECT_EQ(save.GetPathName(), win::Utf8ToWide((dir / "new.mdb").string()));
  EXPECT_FALSE(save.GetReadOnlyPref());  // the answer taken did not tick it
  CFileDialog open(TRUE, L"mdb");
  EXPECT_EQ(open.DoModal(), IDCANCEL);
  const std::wstring& log = out.text();
  EXPECT_TRUE(Has(log, L"*** Save As ***")) << log;
  EXPECT_TRUE(Has(log, L"Files of type: Access Databases (*.mdb) | All Files (*.*)")) << log;
  EXPECT_TRUE(Has(log, L"old.mdb already exists.")) << log;
}

}  // namespace
