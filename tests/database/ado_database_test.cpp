// The database layer over the real ADO stand-in and SQLite files: what the
// wrappers send, the text they make of values, and how failures are told.
#include <sqlite3.h>

#include <gtest/gtest.h>

#include "database/ado_database.h"
#include "database/database_export.h"
#include "platform/gui/scripted_backend.h"
#include "platform/win/text.h"
#include "tests/database/database_fixtures.h"
#include "tests/support/test_support.h"

namespace {

using gm::test::TempDir;

using gm::test::RunSql;

class AdoLayer : public ::testing::Test {
 protected:
  void SetUp() override {
    RunSql(file,
           "CREATE TABLE t (i INTEGER, s SMALLINT, b BOOLEAN, r REAL, x TEXT, n TEXT);"
           "INSERT INTO t VALUES (70000, 12, 1, 2.5, 'it''s', NULL);"
           "INSERT INTO t VALUES (-3, -4, 0, 0.125, '', NULL);"
           "CREATE VIEW v AS SELECT * FROM t;");
    connection = win::Format(L"Driver={Microsoft Access Driver (*.mdb)};Dbq=%s;Uid=;Pwd=;",
                             win::Utf8ToWide(file.string()).c_str());
  }

  TempDir dir;
  std::filesystem::path file = dir / "layer.mdb";
  std::wstring connection;
  gui::ScriptedBackend ui;  // answers the alerts and records them
};

TEST_F(AdoLayer, OpenUsesTheStoredTextUnlessGivenOne) {
  CADODatabase db;
  EXPECT_FALSE(db.IsOpen());
  db.SetConnectionString(connection);
  ASSERT_TRUE(db.Open());
  EXPECT_TRUE(db.IsOpen());
  db.SetConnectionString(L"Driver={Microsoft Access Driver (*.mdb)};Dbq=/no/such.mdb;");
  ASSERT_TRUE(db.Open(connection));  // the argument wins and is kept
  EXPECT_EQ(db.GetConnectionString(), connection);
  db.Close();
  EXPECT_FALSE(db.IsOpen());
  EXPECT_TRUE(ui.messages().empty());
}

TEST_F(AdoLayer, ValuesReadAsTextByTheirKind) {
  CADODatabase db;
  ASSERT_TRUE(db.Open(connection));
  CADORecordset rs(&db);
  // Leading blanks and a lower-case keyword still make a selection.
  ASSERT_TRUE(rs.Open(L"  select * from t", CADORecordset::openUnknown));
  EXPECT_EQ(rs.GetQuery(), L"select * from t");
  EXPECT_EQ(rs.GetFieldCount(), 6);
  rs.MoveFirst();
  std::wstring v;
  auto value = [&](const wchar_t* name) {
    EXPECT_TRUE(rs.GetFieldValue(name, v)) << name;
    return v;
  };
  EXPECT_EQ(value(L"i"), L"70000");
  EXPECT_EQ(value(L"s"), L"12");
  EXPECT_EQ(value(L"b"), L"T");
  EXPECT_EQ(value(L"r"), L"2.5");
  EXPECT_EQ(value(L"x"), L"it's");
  EXPECT_EQ(value(L"n"), L"");
  rs.MoveNext();
  EXPECT_EQ(value(L"i"), L"-3");
  EXPECT_EQ(value(L"s"), L"-4");
  EXPECT_EQ(value(L"b"), L"F");
  EXPECT_EQ(value(L"r"), L"0.125");
  rs.MoveNext();
  EXPECT_TRUE(rs.IsEof());

  CADOFieldDesc desc;
  ASSERT_TRUE(rs.GetFieldInfo(4, &desc));
  EXPECT_STREQ(desc.m_strName, L"x");
  EXPECT_EQ(desc.m_lSize, 0) << "left alone at the end";
  EXPECT_THROW(rs.GetFieldInfo(9, &desc), _com_error);
  EXPECT_TRUE(ui.messages().empty());
}

TEST_F(AdoLayer, OpenModes) {
  CADODatabase db;
  ASSERT_TRUE(db.Open(connection));
  CADORecordset rs(&db);
  EXPECT_TRUE(rs.Open(L"t", CADORecordset::openTable));
  EXPECT_EQ(rs.GetFieldCount(), 6);
  EXPECT_TRUE(rs.Open(L"SELECT i FROM t", CADORecordset::openQuery));
  EXPECT_EQ(rs.GetFieldCount(), 1);
  EXPECT_FALSE(rs.Open(L"SELECT i FROM t", 5));
  EXPECT_TRUE(ui.messages().empty()) << "an unknown mode is no error to report";
}

TEST_F(AdoLayer, DatesFollowTheFormat) {
  RunSql(file, "CREATE TABLE d (w DATETIME); INSERT INTO d VALUES ('2024-02-29 13:05:09');");
  CADODatabase db;
  ASSERT_TRUE(db.Open(connection));
  CADORecordset rs(&db);
  ASSERT_TRUE(rs.Open(L"SELECT w FROM d"));
  std::wstring v;
  ASSERT_TRUE(rs.GetFieldValue(L"w", v));
  EXPECT_EQ(v, L"2024-02-29 13:05:09");
  ASSERT_TRUE(rs.GetFieldValue(L"w", v, L"%d.%m.%Y"));
  EXPECT_EQ(v, L"29.02.2024");
}

TEST_F(AdoLayer, ARefusedStatementIsToldOnceAndReturnsFalse) {
  CADODatabase db;
  db.SetConnectionString(connection);
  ASSERT_TRUE(db.Open());
  EXPECT_TRUE(db.Execute(L"INSERT INTO t (x) VALUES ('new')"));
  EXPECT_EQ(db.GetRecordsAffected(), 1);
  EXPECT_FALSE(db.Execute(L"INSERT INTO nowhere VALUES (1)"));
  ASSERT_EQ(ui.messages().size(), 1u);
  const std::wstring& alert = ui.messages()[0].box.text;
  EXPECT_EQ(alert, db.GetLastErrorString());
  EXPECT_EQ(
      alert.rfind(L"Connection String = " + connection + L"\nCADODataBase Error\n\tCode = ", 0), 0u)
      << win::WideToUtf8(alert);
  EXPECT_NE(alert.find(L"\n\tCode meaning = "), std::wstring::npos);
  EXPECT_NE(alert.find(L"\n\tDescription = " + db.GetErrorDescription() + L"\n"),
            std::wstring::npos);
  EXPECT_NE(db.GetErrorDescription().find(L"no such table"), std::wstring::npos);
  EXPECT_EQ(win::Format(L"%08lx", static_cast<unsigned long>(db.GetLastError())),
            alert.substr(alert.find(L"Code = ") + 7, 8));
  // The connection goes on.
  EXPECT_TRUE(db.Execute(L"DELETE FROM t WHERE x = 'new'"));
  EXPECT_EQ(ui.messages().size(), 1u);
}

TEST_F(AdoLayer, RecordsetErrorsNameTheQuery) {
  CADODatabase db;
  ASSERT_TRUE(db.Open(connection));
  CADORecordset rs(&db);
  EXPECT_FALSE(rs.Open(L"SELECT * FROM missing"));
  ASSERT_EQ(ui.messages().size(), 1u);
  EXPECT_EQ(ui.messages()[0].box.text.rfind(
                L"Query = SELECT * FROM missing\nCADORecordset Error\n\tCode = ", 0),
            0u);
  std::wstring v;
  EXPECT_FALSE(rs.GetFieldValue(L"x", v));  // nothing open: told again
  EXPECT_EQ(ui.messages().size(), 2u);
}

TEST_F(AdoLayer, AFailedOpenIsToldWithTheConnectionText) {
  CADODatabase db;
  const std::wstring missing =
      L"Driver={Microsoft Access Driver (*.mdb)};Dbq=/no/such.mdb;Uid=u;Pwd=p;";
  EXPECT_FALSE(db.Open(missing));
  ASSERT_EQ(ui.messages().size(), 1u);
  EXPECT_EQ(ui.messages()[0].box.text.rfind(L"Connection String = " + missing + L"\n", 0), 0u);
  EXPECT_FALSE(db.IsOpen());
}

TEST_F(AdoLayer, TableExistsSeesTablesOnlyWhateverTheirCase) {
  CADODatabase db;
  ASSERT_TRUE(db.Open(connection));
  EXPECT_TRUE(TableExists(db, L"T"));
  EXPECT_FALSE(TableExists(db, L"v")) << "a view is no table";
  EXPECT_FALSE(TableExists(db, L"missing"));
}

TEST_F(AdoLayer, TransactionsRaiseInsteadOfTelling) {
  CADODatabase db;
  ASSERT_TRUE(db.Open(connection));
  db.BeginTransaction();
  EXPECT_TRUE(db.Execute(L"DELETE FROM t"));
  db.RollbackTransaction();
  EXPECT_THROW(db.CommitTransaction(), _com_error);
  CADORecordset rs(&db);
  ASSERT_TRUE(rs.Open(L"SELECT count(*) AS c FROM t"));
  std::wstring c;
  ASSERT_TRUE(rs.GetFieldValue(L"c", c));
  EXPECT_EQ(c, L"2");
  EXPECT_TRUE(ui.messages().empty());
}

}  // namespace
