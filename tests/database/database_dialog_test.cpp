// The database dialog driven as a user would, with the settings read back:
// what a new user sees, the enable rules, the preview, the collapse toggle,
// and every check on OK.
#include <gtest/gtest.h>

#include "database/database_dialog.h"
#include "platform/drawing/dxf_drawing.h"
#include "platform/gui/scripted_backend.h"
#include "platform/registry/registry.h"
#include "platform/sds/host.h"
#include "platform/win/text.h"
#include "tests/database/database_fixtures.h"
#include "tests/support/test_support.h"
#include "ui/settings.h"

namespace {

using gm::test::ReadFile;
using gm::test::TempDir;
using D = CDatabaseDialog;
using Rows = std::vector<std::vector<std::wstring>>;

CSheetform Table(const Rows& rows) { return gm::test::TextTable(rows); }

class DatabaseDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sds_host::Reset();
    registry::SetHiveFolder(dir.path());
    SetSettingsRoot(HKEY_CURRENT_USER, L"Orvane");
    // The current drawing lies in the scratch folder.
    sds_host::SetDrawing(std::make_shared<gm::drawing::DxfDrawing>(
        gm::dxf::Drawing{}, win::Utf8ToWide((dir / "plan.dxf").string())));
  }
  void TearDown() override {
    SetSettingsRoot(nullptr, L"");
    registry::SetHiveFolder({});
    sds_host::Reset();
  }

  // Runs the dialog with one round of input per step; returns its result.
  int Run(std::vector<gui::ScriptedBackend::Step> steps) {
    for (auto& step : steps) ui.OnDialog(std::move(step));
    D dialog(&table, nullptr);
    return static_cast<int>(dialog.DoModal());
  }
  const gui::DialogState& Shown(size_t i = 0) const { return ui.dialogs().at(i).shown; }
  std::vector<std::wstring> Messages() const {
    std::vector<std::wstring> texts;
    for (const auto& m : ui.messages()) texts.push_back(m.box.text);
    return texts;
  }
  static int Int(const wchar_t* name) { return ReadSettingInt(kSettingsSection, name, -99); }
  static std::wstring Text(const wchar_t* name) {
    return ReadSettingString(kSettingsSection, name, L"<absent>");
  }

  TempDir dir;
  gui::ScriptedBackend ui;
  CSheetform table = Table({{L"No", L"Name"}, {L"1", L"Bolt"}, {L"2", L"Nut"}});
};

TEST_F(DatabaseDialogTest, ANewUserSeesTheDefaults) {
  EXPECT_EQ(IDCANCEL, Run({[](gui::DialogDriver& d) { d.Press(IDCANCEL); }}));
  const gui::DialogState& s = Shown();
  EXPECT_EQ(s.title, L"Database");
  EXPECT_EQ(s.template_name, L"IDD_F2921BEA_FA7A_45E9_B388_9A3CA6E92BCC");
  EXPECT_EQ(s.Find(D::IDC_NEW_DATABASE)->check, 1);
  EXPECT_EQ(s.Find(D::IDC_EXISTING_DATABASE)->check, 0);
  EXPECT_EQ(s.Find(D::IDC_DATABASE)->text, L"");
  EXPECT_EQ(s.Find(D::IDC_TABLE)->text, L"");
  EXPECT_EQ(s.Find(D::IDC_APPEND)->check, 1);
  for (int id : {D::IDC_OVERWRITE, D::IDC_ROW_FIELDS, D::IDC_USE_TEMPLATE}) {
    EXPECT_EQ(s.Find(id)->check, 0) << id;
  }
  EXPECT_EQ(s.Find(D::IDC_ROW_FIELDS_OPTION)->items,
            (std::vector<std::wstring>{L"First Row", L"Last Row"}));
  EXPECT_EQ(s.Find(D::IDC_ROW_FIELDS_OPTION)->text, L"First Row");
  EXPECT_EQ(s.Find(D::IDC_PREVIEW_TOGGLE)->text, L"Preview <<");
  EXPECT_TRUE(s.Find(D::IDC_PREVIEW)->in_view);
  EXPECT_EQ(s.Find(D::IDC_PASSWORD)->style & ES_PASSWORD, static_cast<DWORD>(ES_PASSWORD));
  // Disabled while "New Database" is chosen, and without a template or field row.
  for (int id : {D::IDC_DATABASE, D::IDC_BROWSE_DATABASE, D::IDC_USER, D::IDC_PASSWORD,
                 D::IDC_TEMPLATE_DATABASE, D::IDC_BROWSE_TEMPLATE, D::IDC_TEMPLATE_TABLE,
                 D::IDC_ROW_FIELDS_OPTION}) {
    EXPECT_FALSE(s.Find(id)->enabled) << id;
  }
  const gui::ControlState& preview = *s.Find(D::IDC_PREVIEW);
  ASSERT_EQ(preview.columns.size(), 2u);
  EXPECT_EQ(preview.columns[0].heading, L"Field 1");
  EXPECT_EQ(preview.columns[1].heading, L"Field 2");
  EXPECT_EQ(preview.columns[0].format, LVCFMT_CENTER);
  EXPECT_EQ(preview.columns[0].width, 80);
  EXPECT_EQ(preview.list_ex_style, static_cast<DWORD>(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT));
  EXPECT_EQ(preview.rows, (Rows{{L"No", L"Name"}, {L"1", L"Bolt"}, {L"2", L"Nut"}}));
  // Cancel writes nothing.
  EXPECT_EQ(Text(L"DB Table"), L"<absent>");
}

TEST_F(DatabaseDialogTest, EnableRulesFollowTheChoices) {
  Run({[](gui::DialogDriver& d) {
    ASSERT_TRUE(d.SetCheck(D::IDC_EXISTING_DATABASE, true));
    for (int id : {D::IDC_DATABASE, D::IDC_BROWSE_DATABASE, D::IDC_USER, D::IDC_PASSWORD}) {
      EXPECT_TRUE(d.Enabled(id)) << id;
    }
    ASSERT_TRUE(d.SetCheck(D::IDC_NEW_DATABASE, true));
    EXPECT_FALSE(d.Enabled(D::IDC_USER));
    ASSERT_TRUE(d.SetCheck(D::IDC_USE_TEMPLATE, true));
    for (int id : {D::IDC_TEMPLATE_DATABASE, D::IDC_BROWSE_TEMPLATE, D::IDC_TEMPLATE_TABLE}) {
      EXPECT_TRUE(d.Enabled(id)) << id;
    }
    ASSERT_TRUE(d.SetCheck(D::IDC_USE_TEMPLATE, false));
    EXPECT_FALSE(d.Enabled(D::IDC_TEMPLATE_TABLE));
    ASSERT_TRUE(d.SetCheck(D::IDC_ROW_FIELDS, true));
    EXPECT_TRUE(d.Enabled(D::IDC_ROW_FIELDS_OPTION));
    d.Press(IDCANCEL);
  }});
}

TEST_F(DatabaseDialogTest, FieldRowsShapeThePreview) {
  Run({[](gui::DialogDriver& d) {
    ASSERT_TRUE(d.SetCheck(D::IDC_ROW_FIELDS, true));
    gui::ControlState preview = *d.State().Find(D::IDC_PREVIEW);
    EXPECT_EQ(preview.columns[1].heading, L"Name");
    EXPECT_EQ(preview.rows, (Rows{{L"1", L"Bolt"}, {L"2", L"Nut"}}));
    ASSERT_TRUE(d.Pick(D::IDC_ROW_FIELDS_OPTION, L"Last Row"));
    preview = *d.State().Find(D::IDC_PREVIEW);
    EXPECT_EQ(preview.columns[0].heading, L"2");
    EXPECT_EQ(preview.columns[1].heading, L"Nut");
    EXPECT_EQ(preview.rows, (Rows{{L"No", L"Name"}, {L"1", L"Bolt"}}));
    ASSERT_TRUE(d.Type(D::IDC_TABLE, L"Parts"));
    ASSERT_TRUE(d.Press(IDOK));
  }});
  EXPECT_EQ(Int(L"Enable Row Fields"), 1);
  EXPECT_EQ(Int(L"Row Fields Option"), 1);
  // The next dialog starts with the last row chosen.
  Run({[](gui::DialogDriver& d) { d.Press(IDCANCEL); }});
  const gui::ControlState& preview = *Shown(1).Find(D::IDC_PREVIEW);
  EXPECT_EQ(Shown(1).Find(D::IDC_ROW_FIELDS_OPTION)->text, L"Last Row");
  EXPECT_EQ(preview.rows.size(), 2u);
}

TEST_F(DatabaseDialogTest, WithoutATableThePreviewIsEmpty) {
  ui.OnDialog([](gui::DialogDriver& d) { d.Press(IDCANCEL); });
  D dialog(nullptr, nullptr);
  dialog.DoModal();
  EXPECT_TRUE(Shown().Find(D::IDC_PREVIEW)->columns.empty());
}

TEST_F(DatabaseDialogTest, TheCollapsedPreviewIsRemembered) {
  int full = 0;
  Run({[&](gui::DialogDriver& d) {
    const RECT before = d.State().window_rect;
    full = before.right - before.left;
    ASSERT_TRUE(d.Press(D::IDC_PREVIEW_TOGGLE));
    const gui::DialogState s = d.State();
    EXPECT_EQ(s.window_rect.right - s.window_rect.left, static_cast<int>(full * 0.43));
    EXPECT_EQ(s.window_rect.left, before.left) << "the dialog keeps its place";
    EXPECT_EQ(s.window_rect.bottom - s.window_rect.top, before.bottom - before.top);
    EXPECT_EQ(s.Find(D::IDC_PREVIEW_TOGGLE)->text, L"Preview >>");
    EXPECT_FALSE(s.Find(D::IDC_PREVIEW)->in_view);
    ASSERT_TRUE(d.Type(D::IDC_TABLE, L"T"));
    ASSERT_TRUE(d.Press(IDOK));
  }});
  EXPECT_EQ(Int(L"Expand DB Preview"), 0);
  Run({[&](gui::DialogDriver& d) {
    ASSERT_TRUE(d.Press(D::IDC_PREVIEW_TOGGLE));
    const gui::DialogState s = d.State();
    EXPECT_EQ(s.window_rect.right - s.window_rect.left, full);
    EXPECT_EQ(s.Find(D::IDC_PREVIEW_TOGGLE)->text, L"Preview <<");
    d.Press(IDCANCEL);
  }});
  const gui::DialogState& reopened = Shown(1);
  EXPECT_EQ(reopened.window_rect.right - reopened.window_rect.left, static_cast<int>(full * 0.43));
  EXPECT_EQ(reopened.Find(D::IDC_PREVIEW_TOGGLE)->text, L"Preview >>");
  EXPECT_EQ(Int(L"Expand DB Preview"), 0) << "Cancel stores nothing";
}

TEST_F(DatabaseDialogTest, OkChecksEachChoiceAndKeepsTheDialogOpen) {
  gm::test::WriteFile(dir / "parts.mdb", "x");
  gm::test::WriteFile(dir / "template.mdb", "x");
  // Every box takes the next answer, the notes (OK) included.
  for (int answer :
       {IDOK, IDOK, IDOK, IDNO, IDYES, IDOK, IDYES, IDOK, IDYES, IDOK, IDYES, IDNO, IDYES, IDYES}) {
    ui.AnswerMessageBox(answer);
  }
  auto ok = [](gui::DialogDriver& d) {
    ASSERT_TRUE(d.Press(IDOK));
    ASSERT_TRUE(d.IsOpen());
  };
  const int result = Run({
      [&](gui::DialogDriver& d) {
        ASSERT_TRUE(d.SetCheck(D::IDC_EXISTING_DATABASE, true));
        ok(d);  // no database
      },
      [&](gui::DialogDriver& d) {
        ASSERT_TRUE(d.Type(D::IDC_DATABASE, L"missing.mdb"));
        ok(d);  // no table
      },
      [&](gui::DialogDriver& d) {
        ASSERT_TRUE(d.Type(D::IDC_TABLE, L"Parts"));
        ok(d);  // missing.mdb is not beside the drawing
      },
      [&](gui::DialogDriver& d) {
        // A bare name is found beside the drawing, not in the working folder.
        ASSERT_TRUE(d.Type(D::IDC_DATABASE, L"parts.mdb"));
        ASSERT_TRUE(d.SetCheck(D::IDC_OVERWRITE, true));
        ok(d);  // overwrite? No
      },
      [&](gui::DialogDriver& d) {
        ASSERT_TRUE(d.SetCheck(D::IDC_USE_TEMPLATE, true));
        ok(d);  // overwrite? Yes; no template database
      },
      [&](gui::DialogDriver& d) {
        ASSERT_TRUE(d.Type(D::IDC_TEMPLATE_DATABASE, L"/no/such/template.mdb"));
        ok(d);  // Yes again; no template table
      },
      [&](gui::DialogDriver& d) {
        ASSERT_TRUE(d.Type(D::IDC_TEMPLATE_TABLE, L"Tmpl"));
        ok(d);  // Yes; the template database is missing
      },
      [&](gui::DialogDriver& d) {
        ASSERT_TRUE(
            d.Type(D::IDC_TEMPLATE_DATABASE, win::Utf8ToWide((dir / "template.mdb").string())));
        ASSERT_TRUE(d.SetCheck(D::IDC_APPEND, false));
        ok(d);  // Yes; append off? No
      },
      [&](gui::DialogDriver& d) { ASSERT_TRUE(d.Press(IDOK)); },  // Yes and Yes
  });
  EXPECT_EQ(result, IDOK);
  const std::wstring overwrite =
      L"If you overwrite the existing table, the data in the old table will be lost. Do you want "
      L"to continue?";
  const std::wstring append =
      L"If you don't want to append the data, the old data in table Parts will be lost. Do you "
      L"want to continue?";
  EXPECT_EQ(Messages(), (std::vector<std::wstring>{
                            L"Database cannot be empty.",
                            L"Table Name cannot be empty.",
                            L"Failed to find missing.mdb.",
                            overwrite,
                            overwrite,
                            L"The database template cannot be empty.",
                            overwrite,
                            L"The table template cannot be empty.",
                            overwrite,
                            L"Failed to find /no/such/template.mdb.",
                            overwrite,
                            append,
                            overwrite,
                            append,
                        }));
  for (const auto& m : ui.messages()) {
    EXPECT_EQ(m.box.caption, L"Brellick OrvaneGridmason");
    EXPECT_EQ(m.box.type & MB_ICONINFORMATION, static_cast<UINT>(MB_ICONINFORMATION));
  }
  EXPECT_EQ(ui.messages()[3].box.type & MB_TYPEMASK, static_cast<UINT>(MB_YESNO));
  EXPECT_EQ(Int(L"Database Option"), 1);
  EXPECT_EQ(Text(L"Existing Database"), L"parts.mdb") << "kept as typed";
  EXPECT_EQ(Int(L"Append Data"), 0);
  EXPECT_EQ(Text(L"Table Template"), L"Tmpl");
}

TEST_F(DatabaseDialogTest, OkStoresEverySettingInItsOrder) {
  Run({[](gui::DialogDriver& d) {
    ASSERT_TRUE(d.Type(D::IDC_TABLE, L"T"));
    ASSERT_TRUE(d.Press(IDOK));
  }});
  // A fresh hive keeps the values in the order they were first written.
  const std::string hive = ReadFile(dir / "HKEY_CURRENT_USER.reg");
  size_t at = 0;
  for (const char* name :
       {"Database Option", "Existing Database", "DB Table", "Overwrite Table", "Use Table Template",
        "Database Template", "Table Template", "Append Data", "Enable Row Fields",
        "Row Fields Option", "DB User", "DB Password", "Expand DB Preview"}) {
    const size_t found = hive.find(std::string("\"") + name + "\"", at);
    ASSERT_NE(found, std::string::npos) << name << " missing or out of order in\n" << hive;
    at = found;
  }
  EXPECT_EQ(Text(L"DB Password"), L"");
}

TEST_F(DatabaseDialogTest, SettingsFillTheNextDialog) {
  WriteSettingInt(kSettingsSection, L"Database Option", 1);
  WriteSettingString(kSettingsSection, L"Existing Database", L"old.mdb");
  WriteSettingString(kSettingsSection, L"DB User", L"ada");
  WriteSettingInt(kSettingsSection, L"Use Table Template", 1);
  WriteSettingInt(kSettingsSection, L"Append Data", 0);
  Run({[](gui::DialogDriver& d) { d.Press(IDCANCEL); }});
  const gui::DialogState& s = Shown();
  EXPECT_EQ(s.Find(D::IDC_EXISTING_DATABASE)->check, 1);
  EXPECT_EQ(s.Find(D::IDC_DATABASE)->text, L"old.mdb");
  EXPECT_TRUE(s.Find(D::IDC_DATABASE)->enabled);
  EXPECT_EQ(s.Find(D::IDC_USER)->text, L"ada");
  EXPECT_TRUE(s.Find(D::IDC_TEMPLATE_TABLE)->enabled);
  EXPECT_EQ(s.Find(D::IDC_APPEND)->check, 0);
}

TEST_F(DatabaseDialogTest, BrowsingFillsThePath) {
  gm::test::WriteFile(dir / "found.accdb", "x");
  const std::wstring path = win::Utf8ToWide((dir / "found.accdb").string());
  ui.AnswerFile(path);
  Run({[&](gui::DialogDriver& d) {
    ASSERT_TRUE(d.SetCheck(D::IDC_EXISTING_DATABASE, true));
    ASSERT_TRUE(d.Press(D::IDC_BROWSE_DATABASE));
    EXPECT_EQ(d.Text(D::IDC_DATABASE), path);
    d.Press(IDCANCEL);
  }});
  ASSERT_EQ(ui.file_requests().size(), 1u);
  const gui::FileDialogRequest& r = ui.file_requests()[0];
  EXPECT_TRUE(r.open);
  EXPECT_EQ(r.default_ext, L"mdb");
  ASSERT_EQ(r.filters.size(), 3u);
  EXPECT_EQ(r.filters[0].first, L"Microsoft Office Access Databases (*.mdb)");
  EXPECT_EQ(r.filters[1].second, L"*.accdb");
  EXPECT_NE(r.flags & OFN_HIDEREADONLY, 0u);
}

}  // namespace
