// The database export in the host runtime: the dialog answered from code,
// the exact statements the database layer receives, the messages on the
// command line and the progress meter; the files are read back with
// libsqlite3.
#include <sqlite3.h>

#include <gtest/gtest.h>

#include "database/database_dialog.h"
#include "database/database_export.h"
#include "platform/ado/ado.h"
#include "platform/console/console.h"
#include "platform/drawing/dxf_drawing.h"
#include "platform/gui/scripted_backend.h"
#include "platform/registry/registry.h"
#include "platform/sds/host.h"
#include "platform/win/text.h"
#include "tests/database/database_fixtures.h"
#include "tests/support/test_support.h"
#include "ui/settings.h"

namespace {

namespace fs = std::filesystem;
using gm::test::TempDir;
using D = CDatabaseDialog;
using Texts = std::vector<std::wstring>;

CSheetform Table(const std::vector<Texts>& rows) { return gm::test::TextTable(rows); }

std::wstring W(const fs::path& p) { return win::Utf8ToWide(p.string()); }

void Sql(const fs::path& file, const std::string& sql) { gm::test::RunSql(file, sql); }

// The rows of a query, each as "a|b|c".
std::vector<std::string> Rows(const fs::path& file, const std::string& sql) {
  std::vector<std::string> rows;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK) {
      while (sqlite3_step(st) == SQLITE_ROW) {
        std::string row;
        for (int i = 0; i < sqlite3_column_count(st); ++i) {
          const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
          row += (i ? "|" : "") + std::string(t ? t : "<null>");
        }
        rows.push_back(row);
      }
    }
    sqlite3_finalize(st);
  }
  sqlite3_close(db);
  return rows;
}

struct Choices {
  bool existing = true;
  std::wstring table = L"T";
  bool overwrite = false;
  bool append = true;
  int fieldRow = -1;  // -1 none, 0 first, 1 last
  bool useTemplate = false;
};

class DatabaseExport : public ::testing::Test {
 protected:
  void SetUp() override {
    sds_host::Reset();
    registry::SetHiveFolder(dir.path());
    SetSettingsRoot(HKEY_CURRENT_USER, L"Orvane");
    sds_host::SetDrawing(
        std::make_shared<gm::drawing::DxfDrawing>(gm::dxf::Drawing{}, W(dir / "plan.dxf")));
    previous_ =
        ado::SetStatementObserver([this](const std::wstring& s) { statements.push_back(s); });
    Sql(database, "");
    Sql(templateFile,
        "CREATE TABLE Tmpl (A TEXT, B TEXT, C TEXT); INSERT INTO Tmpl VALUES "
        "('t1', 't2', 't3');");
  }
  void TearDown() override {
    ado::SetStatementObserver(std::move(previous_));
    SetSettingsRoot(nullptr, L"");
    registry::SetHiveFolder({});
    sds_host::Reset();
  }

  // Answers the dialog with the choices (and Yes to its questions), then exports.
  void Export(CSheetform table, const Choices& c) {
    ui.OnDialog([this, c](gui::DialogDriver& d) {
      if (c.existing) {
        ASSERT_TRUE(d.SetCheck(D::IDC_EXISTING_DATABASE, true));
        ASSERT_TRUE(d.Type(D::IDC_DATABASE, L"db.mdb"));  // beside the drawing
      } else {
        ASSERT_TRUE(d.SetCheck(D::IDC_NEW_DATABASE, true));
      }
      ASSERT_TRUE(d.Type(D::IDC_TABLE, c.table));
      ASSERT_TRUE(d.SetCheck(D::IDC_OVERWRITE, c.overwrite));
      ASSERT_TRUE(d.SetCheck(D::IDC_APPEND, c.append));
      ASSERT_TRUE(d.SetCheck(D::IDC_ROW_FIELDS, c.fieldRow >= 0));
      if (c.fieldRow >= 0) {
        ASSERT_TRUE(d.PickIndex(D::IDC_ROW_FIELDS_OPTION, c.fieldRow));
      }
      ASSERT_TRUE(d.SetCheck(D::IDC_USE_TEMPLATE, c.useTemplate));
      if (c.useTemplate) {
        ASSERT_TRUE(d.Type(D::IDC_TEMPLATE_DATABASE, W(templateFile)));
        ASSERT_TRUE(d.Type(D::IDC_TEMPLATE_TABLE, L"Tmpl"));
      }
      ASSERT_TRUE(d.Press(IDOK)) << win::WideToUtf8(d.problem());
      ASSERT_FALSE(d.IsOpen());
    });
    for (int i = 0; i < 4; ++i) ui.AnswerMessageBox(IDYES);
    statements.clear();
    sds_host::ClearProgressLog();
    console::Capture out;
    ExportTableToDatabase(table);
    printed = out.text();
  }

  std::vector<std::wstring> Alerts() const {
    std::vector<std::wstring> alerts;
    for (const auto& m : ui.messages()) {
      if (m.box.caption == L"Gridmason host") alerts.push_back(m.box.text);
    }
    return alerts;
  }

  TempDir dir;
  fs::path database = dir / "db.mdb";
  fs::path templateFile = dir / "template.mdb";
  gui::ScriptedBackend ui;
  Texts statements;
  std::wstring printed;
  CSheetform parts = Table({{L"Pos", L"Name"}, {L"1", L"Bolt"}, {L"2", L"Nut"}});

 private:
  ado::StatementObserver previous_;
};

// ---------------------------------------------------------------------------
// The statements of each way to the filled table.

TEST_F(DatabaseExport, ANewTableIsCreatedEmptiedAndFilled) {
  Export(parts, {.append = false});
  EXPECT_EQ(statements, (Texts{
                            L"CREATE TABLE `T` (`Field1` TEXT NULL, `Field2` TEXT NULL)",
                            L"SELECT TOP 1 * FROM `T`",
                            L"DELETE FROM `T`",
                            L"INSERT INTO `T` (`Field1`, `Field2`) VALUES('Pos', 'Name')",
                            L"INSERT INTO `T` (`Field1`, `Field2`) VALUES('1', 'Bolt')",
                            L"INSERT INTO `T` (`Field1`, `Field2`) VALUES('2', 'Nut')",
                        }));
  EXPECT_EQ(printed, L"") << "silence means every record landed";
  EXPECT_EQ(sds_host::ProgressLog(), (std::vector<int>{-1, 0, 33, 66, -2}));
  EXPECT_EQ(Rows(database, "SELECT * FROM T"),
            (std::vector<std::string>{"Pos|Name", "1|Bolt", "2|Nut"}));
}

TEST_F(DatabaseExport, ANewTableFromATemplate) {
  Export(parts, {.fieldRow = 0, .useTemplate = true});
  EXPECT_EQ(statements, (Texts{
                            L"SELECT * INTO [;DATABASE=" + W(database) + L"].`T` FROM [;DATABASE=" +
                                W(templateFile) + L"].`Tmpl`",
                            L"INSERT INTO `T` (`Pos`, `Name`) VALUES('1', 'Bolt')",
                            L"INSERT INTO `T` (`Pos`, `Name`) VALUES('2', 'Nut')",
                        }));
  // The template's fields do not match the drawn names: both records refused.
  EXPECT_EQ(Alerts().size(), 2u);
  EXPECT_NE(printed.find(L"\n2 of 2 records were not written into T."), std::wstring::npos);
  EXPECT_EQ(Rows(database, "SELECT * FROM T"), (std::vector<std::string>{"t1|t2|t3"}));
}

TEST_F(DatabaseExport, AnExistingTableOverwritten) {
  Sql(database, "CREATE TABLE T (Z TEXT); INSERT INTO T VALUES ('old');");
  Export(parts, {.overwrite = true, .fieldRow = 1});
  EXPECT_EQ(statements, (Texts{
                            L"DROP TABLE `T`",
                            L"CREATE TABLE `T` (`2` TEXT NULL, `Nut` TEXT NULL)",
                            L"INSERT INTO `T` (`2`, `Nut`) VALUES('Pos', 'Name')",
                            L"INSERT INTO `T` (`2`, `Nut`) VALUES('1', 'Bolt')",
                        }));
  EXPECT_EQ(Rows(database, "SELECT * FROM T"), (std::vector<std::string>{"Pos|Name", "1|Bolt"}));
}

TEST_F(DatabaseExport, AnExistingTableOverwrittenFromATemplate) {
  Sql(database, "CREATE TABLE t (Z TEXT);");
  Export(parts, {.overwrite = true, .append = false, .useTemplate = true});
  EXPECT_EQ(statements, (Texts{
                            L"DROP TABLE `T`",
                            L"SELECT * INTO [;DATABASE=" + W(database) + L"].`T` FROM [;DATABASE=" +
                                W(templateFile) + L"].`Tmpl`",
                            L"SELECT TOP 1 * FROM `T`",
                            L"DELETE FROM `T`",
                            L"INSERT INTO `T` (`A`, `B`) VALUES('Pos', 'Name')",
                            L"INSERT INTO `T` (`A`, `B`) VALUES('1', 'Bolt')",
                            L"INSERT INTO `T` (`A`, `B`) VALUES('2', 'Nut')",
                        }));
  EXPECT_EQ(printed, L"");
  EXPECT_EQ(Rows(database, "SELECT * FROM T"),
            (std::vector<std::string>{"Pos|Name|<null>", "1|Bolt|<null>", "2|Nut|<null>"}));
}

// The copy runs in the transaction of the DROP: a template table that is not
// there leaves the old table, records included.
TEST_F(DatabaseExport, AFailedTemplateCopyKeepsTheOldTable) {
  Sql(database, "CREATE TABLE T (Z TEXT); INSERT INTO T VALUES ('old');");
  Sql(templateFile, "DROP TABLE Tmpl;");
  Export(parts, {.overwrite = true, .useTemplate = true});
  EXPECT_EQ(statements.size(), 2u);
  EXPECT_EQ(Alerts().size(), 1u);
  EXPECT_EQ(printed, L"\nFailed to duplicate the table template.");
  EXPECT_EQ(Rows(database, "SELECT * FROM T"), (std::vector<std::string>{"old"}));
  // The template's file is let go with the transaction.
  EXPECT_EQ(Rows(database, "PRAGMA database_list").size(), 1u);
}

TEST_F(DatabaseExport, AnExistingTableKeptTakesItsOwnFields) {
  Sql(database, "CREATE TABLE T (Only TEXT); INSERT INTO T VALUES ('old');");
  Export(parts, {});
  EXPECT_EQ(statements, (Texts{
                            L"SELECT TOP 1 * FROM `T`",
                            L"INSERT INTO `T` (`Only`) VALUES('Pos')",
                            L"INSERT INTO `T` (`Only`) VALUES('1')",
                            L"INSERT INTO `T` (`Only`) VALUES('2')",
                        }));
  EXPECT_EQ(Rows(database, "SELECT * FROM T"), (std::vector<std::string>{"old", "Pos", "1", "2"}));
}

TEST_F(DatabaseExport, AnExistingTableIsNoTemplateTarget) {
  Sql(database, "CREATE TABLE T (Only TEXT);");
  Export(parts, {.useTemplate = true});
  EXPECT_TRUE(statements.empty());
  EXPECT_EQ(printed, L"\nThe table already exists. Failed to apply the table template.");
}

// ---------------------------------------------------------------------------
// Names and values.

TEST_F(DatabaseExport, NamesLoseFullStopsAndLineFeedsValuesKeepApostrophes) {
  Export(Table({{L"No.", L"Part\nname"}, {L"3'", L"O'Brien\nLtd."}}), {.fieldRow = 0});
  EXPECT_EQ(statements, (Texts{
                            L"CREATE TABLE `T` (`No` TEXT NULL, `Part name` TEXT NULL)",
                            L"INSERT INTO `T` (`No`, `Part name`) VALUES('3''', 'O''Brien Ltd.')",
                        }));
  EXPECT_EQ(Rows(database, "SELECT * FROM T"), (std::vector<std::string>{"3'|O'Brien Ltd."}));
}

TEST_F(DatabaseExport, BackQuotesInNamesAreDoubled) {
  Export(Table({{L"a`b"}, {L"v"}}), {.table = L"x` (y) --", .fieldRow = 0});
  EXPECT_EQ(statements, (Texts{
                            L"CREATE TABLE `x`` (y) --` (`a``b` TEXT NULL)",
                            L"INSERT INTO `x`` (y) --` (`a``b`) VALUES('v')",
                        }));
  EXPECT_EQ(Rows(database, "SELECT `a``b` FROM `x`` (y) --`"), (std::vector<std::string>{"v"}));
}

TEST_F(DatabaseExport, EmptyRowsAreDroppedAndAnAllEmptyTableRefused) {
  Export(Table({{L"", L""}, {L"a", L""}, {L"", L""}, {L"", L"b"}, {L"", L""}}), {});
  EXPECT_EQ(statements.size(), 4u);  // create, field names, two records
  EXPECT_EQ(Rows(database, "SELECT * FROM T"), (std::vector<std::string>{"a|", "|b"}));

  ui.OnDialog([](gui::DialogDriver& d) { ADD_FAILURE() << "no dialog for an empty table"; });
  CSheetform empty = Table({{L"", L""}, {L""}});
  console::Capture out;
  ExportTableToDatabase(empty);
  EXPECT_EQ(out.text(), L"\nThe table is invalid.");
  EXPECT_EQ(empty.GetRowCount(), 0);
  EXPECT_EQ(ui.dialogs().size(), 1u);
}

TEST_F(DatabaseExport, AnEmptyFieldNameEndsBeforeTheDatabaseIsOpened) {
  Export(Table({{L"A", L""}, {L"1", L"2"}}), {.fieldRow = 0});
  EXPECT_EQ(printed, L"\nThe field name cannot be empty.");
  EXPECT_TRUE(statements.empty());
}

TEST_F(DatabaseExport, EqualFieldNamesMakeCreateFail) {
  Export(Table({{L"N", L"N"}, {L"1", L"2"}}), {.fieldRow = 0});
  EXPECT_EQ(statements, (Texts{L"CREATE TABLE `T` (`N` TEXT NULL, `N` TEXT NULL)"}));
  ASSERT_EQ(Alerts().size(), 1u);
  EXPECT_NE(Alerts()[0].find(L"duplicate column name"), std::wstring::npos);
  EXPECT_EQ(printed, L"\nFailed to create the table T.");
}

// ---------------------------------------------------------------------------
// New database files.

TEST_F(DatabaseExport, ANewDatabaseComesFromTheSaveDialog) {
  const fs::path made = dir / "new.accdb";
  ui.AnswerFile(W(made));
  Export(parts, {.existing = false, .fieldRow = 0});
  ASSERT_EQ(ui.file_requests().size(), 1u);
  const gui::FileDialogRequest& r = ui.file_requests()[0];
  EXPECT_FALSE(r.open);
  EXPECT_EQ(r.default_ext, L"mdb");
  EXPECT_EQ(r.flags & (OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT),
            static_cast<DWORD>(OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT));
  ASSERT_EQ(r.filters.size(), 3u);
  EXPECT_EQ(r.filters[1].first, L"Microsoft Office Access 2007 Databases (*.accdb)");
  EXPECT_EQ(printed, L"");
  // Whatever the extension, an engine file under that very name.
  EXPECT_EQ(Rows(made, "SELECT * FROM T"), (std::vector<std::string>{"1|Bolt", "2|Nut"}));
}

TEST_F(DatabaseExport, AReplacedFileStartsEmpty) {
  Sql(database, "CREATE TABLE Other (x TEXT);");
  ui.AnswerFile(W(database));  // the dialog asks to replace it: Yes
  Export(parts, {.existing = false});
  EXPECT_EQ(printed, L"");
  EXPECT_EQ(Rows(database, "SELECT name FROM sqlite_master WHERE type = 'table'"),
            (std::vector<std::string>{"T"}));
}

TEST_F(DatabaseExport, CancellingEndsSilently) {
  ui.CancelFile();
  Export(parts, {.existing = false});
  EXPECT_EQ(printed, L"");
  EXPECT_TRUE(statements.empty());

  ui.OnDialog([](gui::DialogDriver& d) { d.Press(IDCANCEL); });
  console::Capture out;
  ExportTableToDatabase(parts);
  EXPECT_EQ(out.text(), L"");
  EXPECT_TRUE(statements.empty());
}

}  // namespace
