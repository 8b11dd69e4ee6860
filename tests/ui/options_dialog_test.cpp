// The options dialog driven as a user would, with the settings file read
// back afterwards: what a new user sees, the corrections made on OK, the
// double-line enable rule, and what Cancel and the hidden controls leave.
#include <gtest/gtest.h>

#include "platform/gui/scripted_backend.h"
#include "platform/registry/registry.h"
#include "tests/support/test_support.h"
#include "ui/options_dialog.h"
#include "ui/settings.h"

namespace {

using gm::test::ReadFile;
using gm::test::TempDir;
using D = COptionsDialog;

class OptionsDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    registry::SetHiveFolder(dir.path());
    SetSettingsRoot(HKEY_CURRENT_USER, L"Orvane");
    ConversionSettings = ConversionSettingsRecord();
  }
  void TearDown() override {
    SetSettingsRoot(nullptr, L"");
    registry::SetHiveFolder({});
  }

  // Runs the dialog once; `step` is the user's input in its first round.
  gui::ScriptedBackend::DialogRecord Run(gui::ScriptedBackend::Step step) {
    gui::ScriptedBackend ui;
    ui.OnDialog(std::move(step));
    D dialog;
    dialog.DoModal();
    EXPECT_EQ(ui.dialogs().size(), 1u);
    return ui.dialogs().at(0);
  }

  // Types the texts and presses OK; returns what was stored.
  void TypeAndOk(int id, const std::wstring& text) {
    Run([&](gui::DialogDriver& d) {
      ASSERT_TRUE(d.Type(id, text)) << d.problem();
      ASSERT_TRUE(d.Press(IDOK)) << d.problem();
    });
  }

  std::wstring Stored(const wchar_t* name) {
    return ReadSettingString(kSettingsSection, name, L"<absent>");
  }

  std::string HiveText() { return ReadFile(dir / "HKEY_CURRENT_USER.reg"); }

  TempDir dir;
};

TEST_F(OptionsDialogTest, NewUserSeesTheDefaults) {
  auto record = Run([](gui::DialogDriver& d) { d.Press(IDCANCEL); });
  const gui::DialogState& s = record.shown;
  EXPECT_EQ(s.title, L"Options");
  EXPECT_EQ(s.template_name, L"IDD_FAA26397_4C4A_4404_9DE7_22236FCCC05A");
  EXPECT_EQ(s.Find(D::IDC_TEXT_TOL)->text, L"0.15");
  EXPECT_EQ(s.Find(D::IDC_TEXT_TOL)->label, L"Text tolerance:");
  EXPECT_EQ(s.Find(D::IDC_FUZZY_PERCENT)->text, L"0.0008");
  EXPECT_EQ(s.Find(D::IDC_HAS_DOUBLE_LINE)->check, 0);
  EXPECT_EQ(s.Find(D::IDC_DOUBLE_LINE_DIST)->text, L"-1");
  EXPECT_FALSE(s.Find(D::IDC_DOUBLE_LINE_DIST)->enabled);
  EXPECT_EQ(s.Find(D::IDC_NEW_WORKBOOK)->check, 1);
  EXPECT_EQ(s.Find(D::IDC_ACTIVE_WORKBOOK)->check, 0);
  EXPECT_EQ(s.Find(D::IDC_START_COL)->text, L"A");
  EXPECT_EQ(s.Find(D::IDC_START_ROW)->text, L"1");
  EXPECT_EQ(s.Find(D::IDC_FORCE_TEXT_FORMAT)->check, 0);
  EXPECT_EQ(s.Find(D::IDC_INCLUDE_FORMULA)->check, 1);
  EXPECT_EQ(s.Find(D::IDC_AUTOFIT_COLUMNS)->check, 1);
  EXPECT_EQ(s.Find(D::IDC_AUTOFIT_ROWS)->check, 1);
  EXPECT_TRUE(s.Find(D::IDC_TABLE_STYLE)->items.empty());
  EXPECT_FALSE(s.Find(D::IDC_TABLE_STYLE)->enabled);
  EXPECT_FALSE(s.Find(D::IDC_HAS_TITLE)->visible);
  EXPECT_FALSE(s.Find(D::IDC_TABLE_TITLE)->visible);
}

TEST_F(OptionsDialogTest, CancelWritesNothing) {
  auto record = Run([](gui::DialogDriver& d) {
    d.Type(D::IDC_TEXT_TOL, L"0.4");
    d.SetCheck(D::IDC_HAS_DOUBLE_LINE, true);
    d.Press(IDCANCEL);
  });
  EXPECT_EQ(record.result, IDCANCEL);
  EXPECT_EQ(Stored(L"TextTol"), L"<absent>");
  EXPECT_EQ(HiveText().find("TextTol"), std::string::npos);
}

TEST_F(OptionsDialogTest, OkWritesEveryValueWithItsType) {
  auto record = Run([](gui::DialogDriver& d) {
    d.Type(D::IDC_FUZZY_PERCENT, L"abc");  // not a number: written as typed
    d.SetCheck(D::IDC_ACTIVE_WORKBOOK, true);
    d.SetCheck(D::IDC_FORCE_TEXT_FORMAT, true);
    d.SetCheck(D::IDC_AUTOFIT_ROWS, false);
    d.Press(IDOK);
  });
  EXPECT_EQ(record.result, IDOK);
  EXPECT_EQ(Stored(L"TextTol"), L"0.15");
  EXPECT_EQ(Stored(L"FuzzyPercent"), L"abc");
  EXPECT_EQ(Stored(L"DoubleLineDist"), L"-1");
  EXPECT_EQ(Stored(L"StartCol"), L"A");
  EXPECT_EQ(Stored(L"StartRow"), L"1");
  // The list has no entries, so nothing is selected and an empty text is stored.
  EXPECT_EQ(Stored(L"TableStyle"), L"");
  EXPECT_EQ(ReadSettingInt(kSettingsSection, L"WorkbookOpt", -1), 1);
  EXPECT_EQ(ReadSettingInt(kSettingsSection, L"ForceTextFormat", -1), 1);
  EXPECT_EQ(ReadSettingInt(kSettingsSection, L"AutofitRows", -1), 0);
  EXPECT_EQ(ReadSettingInt(kSettingsSection, L"AutofitColumns", -1), 1);
  const std::string hive = HiveText();
  EXPECT_NE(hive.find("\"WorkbookOpt\"=dword:00000001"), std::string::npos) << hive;
  EXPECT_NE(hive.find("\"FuzzyPercent\"=\"abc\""), std::string::npos) << hive;

  // The next run shows the stored values, and the table style field again.
  auto again = Run([](gui::DialogDriver& d) { d.Press(IDCANCEL); });
  EXPECT_EQ(again.shown.Find(D::IDC_ACTIVE_WORKBOOK)->check, 1);
  EXPECT_EQ(again.shown.Find(D::IDC_FUZZY_PERCENT)->text, L"abc");
  EXPECT_EQ(again.shown.Find(D::IDC_AUTOFIT_ROWS)->check, 0);
}

TEST_F(OptionsDialogTest, StartColumnIsCorrectedToA) {
  // Past the sheet's last column XFD, by letters or number.
  for (const wchar_t* typed : {L"0", L"-5", L"#", L"XFE", L"AAAA", L"16385", L"1e10"}) {
    TypeAndOk(D::IDC_START_COL, typed);
    EXPECT_EQ(Stored(L"StartCol"), L"A") << typed;
  }
  TypeAndOk(D::IDC_START_COL, L"xfd");
  EXPECT_EQ(Stored(L"StartCol"), L"xfd") << "the last column itself";
  TypeAndOk(D::IDC_START_COL, L"16384");
  EXPECT_EQ(Stored(L"StartCol"), L"16384");
  TypeAndOk(D::IDC_START_COL, L"AB");
  EXPECT_EQ(Stored(L"StartCol"), L"AB");
  TypeAndOk(D::IDC_START_COL, L"30");
  EXPECT_EQ(Stored(L"StartCol"), L"30");
  LoadConversionSettings();
  EXPECT_EQ(ConversionSettings.StartCol, 30);
}

TEST_F(OptionsDialogTest, StartRowIsCorrectedToOne) {
  for (const wchar_t* typed : {L"-2", L"abc", L"0", L"1048577", L"99999999999"}) {
    TypeAndOk(D::IDC_START_ROW, typed);
    EXPECT_EQ(Stored(L"StartRow"), L"1") << typed;
  }
  TypeAndOk(D::IDC_START_ROW, L"1048576");
  EXPECT_EQ(Stored(L"StartRow"), L"1048576") << "the last row itself";
  TypeAndOk(D::IDC_START_ROW, L"12");
  EXPECT_EQ(Stored(L"StartRow"), L"12");
}

TEST_F(OptionsDialogTest, NegativeTextToleranceBecomesZero) {
  TypeAndOk(D::IDC_TEXT_TOL, L"-0.5");
  EXPECT_EQ(Stored(L"TextTol"), L"0");
  TypeAndOk(D::IDC_TEXT_TOL, L"-0.0000001");  // within 1e-6 of 0: kept
  EXPECT_EQ(Stored(L"TextTol"), L"-0.0000001");
  for (const wchar_t* typed : {L"nan", L"1e309", L"-inf"}) {
    TypeAndOk(D::IDC_TEXT_TOL, typed);
    EXPECT_EQ(Stored(L"TextTol"), L"0.15") << typed;
  }
  TypeAndOk(D::IDC_TEXT_TOL, L"0.25");
  EXPECT_EQ(Stored(L"TextTol"), L"0.25");
  LoadConversionSettings();
  EXPECT_DOUBLE_EQ(ConversionSettings.TextTol, 0.25);
}

TEST_F(OptionsDialogTest, DoubleLineBoxFollowsItsCheckBox) {
  bool enabledAfterTick = false, enabledAfterClear = true;
  auto record = Run([&](gui::DialogDriver& d) {
    ASSERT_TRUE(d.SetCheck(D::IDC_HAS_DOUBLE_LINE, true));
    enabledAfterTick = d.Enabled(D::IDC_DOUBLE_LINE_DIST);
    ASSERT_TRUE(d.Type(D::IDC_DOUBLE_LINE_DIST, L"0.5")) << d.problem();
    ASSERT_TRUE(d.SetCheck(D::IDC_HAS_DOUBLE_LINE, false));
    enabledAfterClear = d.Enabled(D::IDC_DOUBLE_LINE_DIST);
    // A disabled box takes no typing.
    EXPECT_FALSE(d.Type(D::IDC_DOUBLE_LINE_DIST, L"9"));
    d.Press(IDOK);
  });
  EXPECT_TRUE(enabledAfterTick);
  EXPECT_FALSE(enabledAfterClear);
  // The cleared box's text is still written.
  EXPECT_EQ(Stored(L"DoubleLineDist"), L"0.5");
  EXPECT_EQ(ReadSettingInt(kSettingsSection, L"HasDoubleLine", -1), 0);

  WriteSettingInt(kSettingsSection, L"HasDoubleLine", 1);
  auto ticked = Run([](gui::DialogDriver& d) { d.Press(IDCANCEL); });
  EXPECT_TRUE(ticked.shown.Find(D::IDC_DOUBLE_LINE_DIST)->enabled);
  EXPECT_EQ(ticked.shown.Find(D::IDC_DOUBLE_LINE_DIST)->text, L"0.5");
}

TEST_F(OptionsDialogTest, MergeByLinesIsShownStoredAndReadByTheNextConversion) {
  auto first = Run([](gui::DialogDriver& d) {
    ASSERT_TRUE(d.SetCheck(D::IDC_MERGE_BY_LINES, true)) << d.problem();
    d.Press(IDOK);
  });
  const gui::ControlState* box = first.shown.Find(D::IDC_MERGE_BY_LINES);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->text, L"Merge cells where no line divides them");
  EXPECT_EQ(box->check, 0) << "off for a settings file without the value";
  EXPECT_NE(HiveText().find("\"MergeByLines\"=dword:00000001"), std::string::npos) << HiveText();
  LoadConversionSettings();
  EXPECT_EQ(ConversionSettings.MergeByLines, 1);

  auto again = Run([](gui::DialogDriver& d) {
    d.SetCheck(D::IDC_MERGE_BY_LINES, false);
    d.Press(IDOK);
  });
  EXPECT_EQ(again.shown.Find(D::IDC_MERGE_BY_LINES)->check, 1);
  LoadConversionSettings();
  EXPECT_EQ(ConversionSettings.MergeByLines, 0);
}

TEST_F(OptionsDialogTest, HiddenTitleValuesSurviveUnchanged) {
  WriteSettingInt(kSettingsSection, L"HasTitle", 1);
  WriteSettingString(kSettingsSection, L"TableTitle", L"Bill of materials \u00e9\u4e2d");
  WriteSettingString(kSettingsSection, L"TableStyle", L"Standard");
  Run([](gui::DialogDriver& d) {
    EXPECT_FALSE(d.Type(D::IDC_TABLE_TITLE, L"x"));  // hidden: a person cannot
    d.Press(IDOK);
  });
  EXPECT_EQ(ReadSettingInt(kSettingsSection, L"HasTitle", -1), 1);
  EXPECT_EQ(Stored(L"TableTitle"), L"Bill of materials \u00e9\u4e2d");
  // "Standard" is no entry of the empty list: the field fell back, and the
  // empty selection is what is stored.
  EXPECT_EQ(Stored(L"TableStyle"), L"");
}

TEST_F(OptionsDialogTest, ToleranceShownFromTheLoadedSettingsWhenNoneIsStored) {
  ConversionSettings.TextTol = 0.3;
  ConversionSettings.DoubleLineDist = 1.25;
  auto record = Run([](gui::DialogDriver& d) { d.Press(IDCANCEL); });
  EXPECT_EQ(record.shown.Find(D::IDC_TEXT_TOL)->text, L"0.3");
  EXPECT_EQ(record.shown.Find(D::IDC_DOUBLE_LINE_DIST)->text, L"1.25");
}

}  // namespace
