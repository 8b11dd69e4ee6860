// The build for the older host: the database layer raises CADOException
// where the newer one shows an alert, and the export's handlers take over.
#include <sqlite3.h>

#include <gtest/gtest.h>

#include "database/ado_database.h"
#include "database/database_dialog.h"
#include "database/database_export.h"
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

std::wstring W(const fs::path& p) { return win::Utf8ToWide(p.string()); }

int Count(const fs::path& file, const char* table) {
  sqlite3* db = nullptr;
  int n = -1;
  if (sqlite3_open(file.c_str(), &db) == SQLITE_OK) {
    sqlite3_stmt* st = nullptr;
    const std::string sql = std::string("SELECT count(*) FROM ") + table;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW) {
      n = sqlite3_column_int(st, 0);
    }
    sqlite3_finalize(st);
  }
  sqlite3_close(db);
  return n;
}

class LegacyDatabase : public ::testing::Test {
 protected:
  void SetUp() override {
    sds_host::Reset();
    registry::SetHiveFolder(dir.path());
    SetSettingsRoot(HKEY_CURRENT_USER, L"Orvane");
    sds_host::SetDrawing(
        std::make_shared<gm::drawing::DxfDrawing>(gm::dxf::Drawing{}, W(dir / "plan.dxf")));
    sqlite3* db = nullptr;
    sqlite3_open(file.c_str(), &db);
    sqlite3_exec(db, "CREATE TABLE C (A TEXT, B TEXT CHECK (B <> 'Bolt'));", nullptr, nullptr,
                 nullptr);
    sqlite3_close(db);
  }
  void TearDown() override {
    SetSettingsRoot(nullptr, L"");
    registry::SetHiveFolder({});
    sds_host::Reset();
  }

  std::wstring Export(std::vector<std::vector<std::wstring>> rows, const std::wstring& table,
                      bool fieldRow) {
    CSheetform t = gm::test::TextTable(rows);
    ui.OnDialog([&](gui::DialogDriver& d) {
      d.SetCheck(D::IDC_EXISTING_DATABASE, true);
      d.Type(D::IDC_DATABASE, W(file));
      d.Type(D::IDC_TABLE, table);
      d.SetCheck(D::IDC_ROW_FIELDS, fieldRow);
      d.Press(IDOK);
    });
    console::Capture out;
    ExportTableToDatabase(t);
    return out.text();
  }

  TempDir dir;
  fs::path file = dir / "legacy.mdb";
  gui::ScriptedBackend ui;
};

TEST_F(LegacyDatabase, TheLayerRaisesWhatItWouldHaveShown) {
  CADODatabase db;
  ASSERT_TRUE(db.Open(L"Driver={Microsoft Access Driver (*.mdb)};Dbq=" + W(file) + L";"));
  try {
    db.Execute(L"INSERT INTO nowhere VALUES (1)");
    FAIL() << "no exception";
  } catch (const CADOException& e) {
    EXPECT_EQ(e.GetErrorMessage(), db.GetErrorDescription());
    EXPECT_NE(e.GetErrorMessage().find(L"no such table"), std::wstring::npos);
    EXPECT_EQ(e.GetError(), db.GetLastError());
  }
  EXPECT_EQ(db.GetLastErrorString().rfind(L"Connection String = ", 0), 0u);
  CADORecordset rs(&db);
  EXPECT_THROW(rs.Open(L"SELECT * FROM nowhere"), CADOException);
  EXPECT_EQ(rs.GetLastErrorString().rfind(L"Query = SELECT * FROM nowhere\n", 0), 0u);
  EXPECT_TRUE(ui.messages().empty()) << "nothing is shown";
}

TEST_F(LegacyDatabase, ARefusedCreateEndsThroughTheGeneralHandler) {
  const std::wstring out = Export({{L"N", L"N"}, {L"1", L"2"}}, L"Twins", true);
  EXPECT_EQ(out.rfind(L"\nSQL: CREATE TABLE `Twins` (`N` TEXT NULL, `N` TEXT NULL)"
                      L"\nFailed to execute the SQL. ",
                      0),
            0u)
      << win::WideToUtf8(out);
  EXPECT_NE(out.find(L"duplicate column name"), std::wstring::npos);
  EXPECT_EQ(out.find(L"Failed to create the table"), std::wstring::npos);
}

TEST_F(LegacyDatabase, ARefusedRecordRollsEveryRecordBack) {
  sds_host::ClearProgressLog();
  const std::wstring out = Export({{L"1", L"Nut"}, {L"2", L"Bolt"}, {L"3", L"Pin"}}, L"C", false);
  EXPECT_EQ(out.rfind(L"\nSQL: INSERT INTO `C` (`A`, `B`) VALUES('2', 'Bolt')"
                      L"\nFailed to insert the data into C. ",
                      0),
            0u)
      << win::WideToUtf8(out);
  EXPECT_NE(out.find(L"CHECK constraint failed"), std::wstring::npos);
  EXPECT_EQ(Count(file, "C"), 0);
  EXPECT_EQ(sds_host::ProgressLog(), (std::vector<int>{-1, 0, -2}));
}

}  // namespace
