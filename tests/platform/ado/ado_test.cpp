// ADO over the real driver manager and the SQLite ODBC driver, on real
// database files. What the layer writes is read back with libsqlite3 itself
// or the sqlite3 program, never through the layer.
#include <sqlite3.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/ado/ado.h"
#include "platform/ado/adox.h"
#include "platform/ado/connection_text.h"
#include "platform/win/text.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;
using ado::ConnectionPtr;
using ado::RecordsetPtr;
using ado::Variant;
using Rows = std::vector<std::vector<std::string>>;

constexpr HRESULT kErrorsInCommand = static_cast<HRESULT>(0x80040E14);

std::wstring W(const fs::path& path) { return win::Utf8ToWide(path.string()); }
std::string U8(const std::wstring& text) { return win::WideToUtf8(text); }

// Rows of a query run by libsqlite3 on the file; NULL reads as "<null>".
Rows Read(const fs::path& file, const std::string& sql) {
  Rows rows;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    ADD_FAILURE() << "libsqlite3 cannot open " << file;
    sqlite3_close(db);
    return rows;
  }
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
    ADD_FAILURE() << sql << ": " << sqlite3_errmsg(db);
  } else {
    while (sqlite3_step(statement) == SQLITE_ROW) {
      std::vector<std::string> row;
      for (int i = 0; i < sqlite3_column_count(statement); ++i) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, i));
        row.push_back(text ? std::string(text, sqlite3_column_bytes(statement, i)) : "<null>");
      }
      rows.push_back(row);
    }
  }
  sqlite3_finalize(statement);
  sqlite3_close(db);
  return rows;
}

std::string ShellQuote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// The output of the sqlite3 program for one statement.
std::string Cli(const fs::path& file, const std::string& sql) {
  const std::string command =
      "sqlite3 -batch " + ShellQuote(file.string()) + " " + ShellQuote(sql) + " 2>&1";
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
    pclose(pipe);
  }
  return out;
}

template <class F>
_com_error Raised(F&& f) {
  try {
    f();
  } catch (const _com_error& e) {
    return e;
  }
  ADD_FAILURE() << "no _com_error was raised";
  return _com_error(S_OK);
}

class Ado : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!ado::detail::FindSqliteOdbcDriver()) {
      GTEST_SKIP() << "The SQLite ODBC driver libsqlite3odbc.so (Debian package libsqliteodbc) "
                      "is not installed.";
    }
    ado::SetStatementObserver([this](const std::wstring& s) { seen.push_back(s); });
  }
  void TearDown() override { ado::SetStatementObserver(nullptr); }

  fs::path NewDatabase(const fs::path& file) {
    adox::CatalogPtr catalog;
    EXPECT_EQ(S_OK, catalog.CreateInstance());
    catalog->Create(L"Provider=Microsoft.Jet.OLEDB.4.0;data source=" + W(file));
    return file;
  }

  // Opened as the plug-in opens its databases.
  ConnectionPtr Connect(const fs::path& file, const wchar_t* user = L"admin",
                        const wchar_t* password = L"secret") {
    ConnectionPtr connection;
    EXPECT_EQ(S_OK, connection.CreateInstance());
    const std::wstring text =
        win::Format(L"Driver={Microsoft Access Driver (*.mdb)};Dbq=%s;Uid=%s;Pwd=%s;",
                    W(file).c_str(), user, password);
    EXPECT_EQ(S_OK, connection->Open(text, L"", L"", ado::adConnectUnspecified));
    return connection;
  }

  long Run(const ConnectionPtr& connection, const std::wstring& sql) {
    Variant affected;
    EXPECT_FALSE(connection->Execute(sql, &affected, ado::adCmdText | ado::adExecuteNoRecords));
    return static_cast<long>(affected.AsInt64());
  }

  RecordsetPtr Query(const ConnectionPtr& connection, const std::wstring& sql) {
    RecordsetPtr recordset;
    EXPECT_EQ(S_OK, recordset.CreateInstance());
    recordset->PutCursorLocation(ado::adUseClient);
    recordset->Open(sql, connection, ado::adOpenStatic, ado::adLockOptimistic, ado::adCmdText);
    return recordset;
  }

  gm::test::TempDir dir;
  std::vector<std::wstring> seen;
};

// ---------------------------------------------------------------------------
// The catalog

TEST_F(Ado, CatalogMakesAnEmptyDatabaseWhateverTheExtension) {
  for (const char* name : {"new.mdb", "new.accdb"}) {
    const fs::path file = NewDatabase(dir / name);
    EXPECT_EQ("SQLite format 3", gm::test::ReadFile(file).substr(0, 15));
    EXPECT_EQ("ok\n", Cli(file, "PRAGMA integrity_check"));
    EXPECT_EQ("0\n", Cli(file, "SELECT count(*) FROM sqlite_master"));
  }
  adox::CatalogPtr catalog;
  catalog.CreateInstance();
  catalog->Create(L"Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + W(dir / "ace.accdb"));
  EXPECT_EQ("ok\n", Cli(dir / "ace.accdb", "PRAGMA integrity_check"));
}

TEST_F(Ado, CatalogRefusesAnExistingFileAndLeavesIt) {
  gm::test::WriteFile(dir / "old.mdb", "keep me");
  adox::CatalogPtr catalog;
  catalog.CreateInstance();
  const _com_error e = Raised([&] {
    catalog->Create(L"Provider=Microsoft.Jet.OLEDB.4.0;data source=" + W(dir / "old.mdb"));
  });
  EXPECT_EQ(static_cast<HRESULT>(0x80040E17), e.Error());
  EXPECT_EQ(L"Database already exists.", e.Description());
  EXPECT_EQ("keep me", gm::test::ReadFile(dir / "old.mdb"));

  const _com_error missing = Raised([&] {
    catalog->Create(L"Provider=Microsoft.Jet.OLEDB.4.0;data source=" + W(dir / "no" / "x.mdb"));
  });
  EXPECT_NE(std::wstring::npos, missing.Description().find(L"No such file"));
  EXPECT_FALSE(fs::exists(dir / "no"));
  EXPECT_EQ(ado::AdoError(ado::adErrProviderNotFound),
            Raised([&] { catalog->Create(L"Provider=SQLOLEDB;Data Source=x"); }).Error());
}

// ---------------------------------------------------------------------------
// Connections

TEST_F(Ado, TheAccessTextOpensAndCloses) {
  const fs::path file = NewDatabase(dir / "db.mdb");
  ConnectionPtr connection;
  connection.CreateInstance();
  EXPECT_EQ(15, connection->GetConnectionTimeout());
  EXPECT_EQ(ado::adStateClosed, connection->GetState());
  const std::wstring text =
      L"Driver={Microsoft Access Driver (*.mdb)};Dbq=" + W(file) + L";Uid=admin;Pwd=x;";
  connection->PutConnectionString(text);
  EXPECT_EQ(S_OK, connection->Open(L"", L"", L""));  // the stored text
  EXPECT_EQ(ado::adStateOpen, connection->GetState());
  EXPECT_EQ(text, connection->GetConnectionString());
  EXPECT_EQ(ado::AdoError(ado::adErrObjectOpen), Raised([&] { connection->Open(text); }).Error());
  EXPECT_EQ(S_OK, connection->Close());
  EXPECT_EQ(ado::adStateClosed, connection->GetState());
  EXPECT_EQ(ado::AdoError(ado::adErrObjectClosed), Raised([&] { connection->Close(); }).Error());
  EXPECT_EQ(ado::AdoError(ado::adErrObjectClosed),
            Raised([&] { Run(connection, L"DELETE FROM x"); }).Error());
}

TEST_F(Ado, AMissingOrForeignFileDoesNotOpen) {
  ConnectionPtr connection;
  connection.CreateInstance();
  const fs::path missing = dir / "missing.mdb";
  const _com_error e = Raised([&] {
    connection->Open(L"Driver={Microsoft Access Driver (*.mdb)};Dbq=" + W(missing) + L";");
  });
  EXPECT_EQ(L"Could not find file '" + W(missing) + L"'.", e.Description());
  EXPECT_FALSE(fs::exists(missing));
  EXPECT_EQ(ado::adStateClosed, connection->GetState());

  gm::test::WriteFile(dir / "text.mdb", std::string(4096, 'x'));
  const _com_error foreign = Raised([&] {
    connection->Open(L"Driver={Microsoft Access Driver (*.mdb)};Dbq=" + W(dir / "text.mdb"));
  });
  EXPECT_NE(std::wstring::npos, foreign.Description().find(L"not a database"));
  EXPECT_EQ(ado::adStateClosed, connection->GetState());
}

// ---------------------------------------------------------------------------
// Statements

TEST_F(Ado, CreateTableWithJetTypesAndNamesWithStopsAndBlanks) {
  const fs::path file = NewDatabase(dir / "db.mdb");
  ConnectionPtr connection = Connect(file);
  const std::wstring create =
      L"CREATE TABLE `Sheet 1.a` (`Field.1` TEXT NULL, `Long Name` TEXT(50), `M` MEMO, `N` LONG, "
      L"`D` DOUBLE, `Y` YESNO, `T` DATETIME, `Big` BIGINT, `C` COUNTER)";
  Run(connection, create);
  EXPECT_EQ(create, seen.back());  // as sent, before it was rewritten

  EXPECT_EQ((Rows{{"Field.1", "VARCHAR(255)", "0"},
                  {"Long Name", "VARCHAR(50)", "0"},
                  {"M", "TEXT", "0"},
                  {"N", "INTEGER", "0"},
                  {"D", "DOUBLE", "0"},
                  {"Y", "BIT", "0"},
                  {"T", "TIMESTAMP", "0"},
                  {"Big", "BIGINT", "0"},
                  {"C", "INTEGER", "1"}}),
            Read(file, "SELECT name, type, pk FROM pragma_table_info('Sheet 1.a')"));

  EXPECT_EQ(1, Run(connection,
                   L"INSERT INTO `Sheet 1.a` (`Field.1`, `N`, `D`, `Y`, `T`, `Big`) "
                   L"VALUES('a', -5, 2.5, 1, '2021-03-04 05:06:07', 12345678901)"));
  RecordsetPtr rs = Query(connection, L"SELECT * FROM `Sheet 1.a`");
  ado::FieldsPtr fields = rs->GetFields();
  ASSERT_EQ(9, fields->GetCount());
  struct Expected {
    const wchar_t* name;
    ado::DataTypeEnum type;
    long definedSize;
  };
  const Expected expected[] = {{L"Field.1", ado::adVarWChar, 255},
                               {L"Long Name", ado::adVarWChar, 50},
                               {L"M", ado::adLongVarWChar, 65536},
                               {L"N", ado::adInteger, 4},
                               {L"D", ado::adDouble, 8},
                               {L"Y", ado::adBoolean, 2},
                               {L"T", ado::adDate, 8},
                               {L"Big", ado::adBigInt, 8},
                               {L"C", ado::adInteger, 4}};
  for (long i = 0; i < 9; ++i) {
    ado::FieldPtr field = fields->GetItem(i);
    EXPECT_EQ(expected[i].name, field->GetName());
    EXPECT_EQ(expected[i].type, field->GetType()) << i;
    EXPECT_EQ(expected[i].definedSize, field->GetDefinedSize()) << i;
  }
  EXPECT_TRUE(fields->GetItem(L"m")->GetAttributes() & ado::adFldLong);
  EXPECT_TRUE(fields->GetItem(L"n")->GetAttributes() & ado::adFldFixed);
  EXPECT_EQ(Variant::Text(L"a"), fields->GetItem(L"FIELD.1")->GetValue());
  EXPECT_EQ(1, fields->GetItem(L"field.1")->GetActualSize());
  EXPECT_TRUE(fields->GetItem(L"Long Name")->GetValue().IsNull());
  EXPECT_EQ(0, fields->GetItem(L"Long Name")->GetActualSize());
  EXPECT_EQ(Variant::I4(-5), fields->GetItem(L"N")->GetValue());
  EXPECT_EQ(Variant::R8(2.5), fields->GetItem(L"D")->GetValue());
  EXPECT_EQ(Variant::Bool(true), fields->GetItem(L"Y")->GetValue());
  EXPECT_EQ(Variant::Date(ado::ToOleDate({2021, 3, 4, 5, 6, 7, 0})),
            fields->GetItem(L"T")->GetValue());
  EXPECT_EQ(Variant::I8(12345678901), fields->GetItem(L"Big")->GetValue());
  EXPECT_EQ(Variant::I4(1), fields->GetItem(L"C")->GetValue());  // numbered by the engine
}

TEST_F(Ado, ValuesOfAnotherKindThanTheirColumnStayText) {
  const fs::path file = NewDatabase(dir / "db.mdb");
  ConnectionPtr connection = Connect(file);
  Run(connection, L"CREATE TABLE t (n LONG, d DATETIME)");
  Run(connection, L"INSERT INTO t VALUES('twelve', 'next week')");
  RecordsetPtr rs = Query(connection, L"SELECT * FROM t");
  EXPECT_EQ(Variant::Text(L"twelve"), rs->GetFields()->GetItem(L"n")->GetValue());
  EXPECT_EQ(Variant::Text(L"next week"), rs->GetFields()->GetItem(L"d")->GetValue());
}

TEST_F(Ado, TextsKeepApostrophesLineFeedsAndEveryCharacter) {
  const fs::path folder = dir / "Ordner Ø 𝔸";
  fs::create_directory(folder);
  const fs::path file = NewDatabase(folder / "Daten ±.mdb");
  ConnectionPtr connection = Connect(file);
  Run(connection, L"CREATE TABLE `Tabelle Ø` (`Spalte 𝔸` TEXT NULL, `n` LONG)");

  const std::wstring cell = L"𝔸𝔹 Ø ± ° ' \" \n5' 3\" end";
  std::wstring quoted;
  for (wchar_t c : cell) quoted += c == L'\'' ? std::wstring(L"''") : std::wstring(1, c);
  EXPECT_EQ(1, Run(connection,
                   L"INSERT INTO `Tabelle Ø` (`Spalte 𝔸`, `n`) VALUES('" + quoted + L"', 1)"));
  const std::wstring longText(100000, L'𝔸');
  Run(connection, L"INSERT INTO `Tabelle Ø` (`Spalte 𝔸`, `n`) VALUES('" + longText + L"', 2)");

  EXPECT_EQ((Rows{{U8(cell)}, {U8(longText)}}),
            Read(file, U8(L"SELECT `Spalte 𝔸` FROM `Tabelle Ø` ORDER BY n")));
  RecordsetPtr rs = Query(connection, L"SELECT * FROM `Tabelle Ø` ORDER BY n");
  ado::FieldPtr field = rs->GetFields()->GetItem(0L);
  EXPECT_EQ(L"Spalte 𝔸", field->GetName());
  EXPECT_EQ(Variant::Text(cell), field->GetValue());
  EXPECT_EQ(static_cast<long>(win::WideToUtf16(cell).size()), field->GetActualSize());
  rs->MoveNext();
  EXPECT_EQ(Variant::Text(longText), field->GetValue());
}

TEST_F(Ado, SelectTopReadsTheFirstRecords) {
  const fs::path file = NewDatabase(dir / "db.mdb");
  ConnectionPtr connection = Connect(file);
  Run(connection, L"CREATE TABLE `t` (`a` TEXT NULL, `b` LONG)");
  for (int i = 1; i <= 3; ++i) {
    Run(connection, L"INSERT INTO `t` (`a`, `b`) VALUES('r" + std::to_wstring(i) + L"', " +
                        std::to_wstring(i) + L")");
  }
  RecordsetPtr rs = Query(connection, L"SELECT TOP 1 * FROM `t`");
  EXPECT_EQ(L"SELECT TOP 1 * FROM `t`", seen.back());
  EXPECT_EQ(2, rs->GetFields()->GetCount());
  EXPECT_EQ(1, rs->GetRecordCount());
  EXPECT_EQ(L"a", rs->GetFields()->GetItem(0L)->GetName());

  rs->Close();
  rs->Open(L"  select top 2 `a` FROM `t` ORDER BY `b` DESC", connection, ado::adOpenStatic,
           ado::adLockOptimistic, ado::adCmdUnknown);
  std::vector<std::wstring> got;
  for (rs->MoveFirst(); !rs->IsEOF(); rs->MoveNext()) {
    got.push_back(rs->GetFields()->GetItem(L"a")->GetValue().AsText());
  }
  EXPECT_EQ((std::vector<std::wstring>{L"r3", L"r2"}), got);

  // Fields of the same name from two tables keep their table, as in Jet.
  Run(connection, L"CREATE TABLE `u.v` (`a` TEXT NULL, `c.d` TEXT NULL)");
  rs = Query(connection, L"SELECT * FROM `t`, `u.v`");
  std::vector<std::wstring> names;
  for (long i = 0; i < rs->GetFields()->GetCount(); ++i) {
    names.push_back(rs->GetFields()->GetItem(i)->GetName());
  }
  EXPECT_EQ((std::vector<std::wstring>{L"t.a", L"b", L"u.v.a", L"c.d"}), names);
}

TEST_F(Ado, SelectIntoCopiesATemplateTableIntoAnotherFile) {
  const fs::path templ = NewDatabase(dir / "template.mdb");
  const fs::path target = NewDatabase(dir / "target Ø.accdb");
  {
    ConnectionPtr t = Connect(templ);
    Run(t, L"CREATE TABLE `Tmpl` (`Name` TEXT(40) NOT NULL, `Qty` LONG, `Note` MEMO)");
    Run(t, L"INSERT INTO `Tmpl` VALUES('Bolt 𝔸', 5, 'it''s')");
    Run(t, L"INSERT INTO `Tmpl` VALUES('Nut', NULL, NULL)");
  }
  ConnectionPtr connection = Connect(templ, L"", L"");
  const std::wstring copy =
      L"SELECT * INTO [;DATABASE=" + W(target) + L"].`Parts list` FROM `Tmpl`";
  EXPECT_EQ(2, Run(connection, copy));
  EXPECT_EQ(copy, seen.back());

  EXPECT_EQ((Rows{{"Name", "VARCHAR(40)"}, {"Qty", "INTEGER"}, {"Note", "TEXT"}}),
            Read(target, "SELECT name, type FROM pragma_table_info('Parts list')"));
  EXPECT_EQ((Rows{{U8(L"Bolt 𝔸"), "5", "it's"}, {"Nut", "<null>", "<null>"}}),
            Read(target, "SELECT * FROM `Parts list` ORDER BY rowid"));
  EXPECT_EQ((Rows{{"2"}}), Read(templ, "SELECT count(*) FROM Tmpl"));
  // The other file is let go again.
  RecordsetPtr attached = Query(connection, L"PRAGMA database_list");
  EXPECT_EQ(1, attached->GetRecordCount());

  // Again: the table exists now, and nothing is copied twice.
  const _com_error again = Raised([&] { Run(connection, copy); });
  EXPECT_NE(std::wstring::npos, again.Description().find(L"already exists"));
  EXPECT_EQ((Rows{{"2"}}), Read(target, "SELECT count(*) FROM `Parts list`"));

  const fs::path nowhere = dir / "nowhere.mdb";
  const _com_error missing = Raised(
      [&] { Run(connection, L"SELECT * INTO [;DATABASE=" + W(nowhere) + L"].`x` FROM `Tmpl`"); });
  EXPECT_EQ(L"Could not find file '" + W(nowhere) + L"'.", missing.Description());
  EXPECT_FALSE(fs::exists(nowhere));
}

TEST_F(Ado, TablesSchemaListsTablesViewsAndSystemTables) {
  const fs::path file = NewDatabase(dir / "db.mdb");
  ConnectionPtr connection = Connect(file);
  // A new database still has its catalogue, so the first record is there.
  RecordsetPtr rs = connection->OpenSchema(ado::adSchemaTables);
  rs->MoveFirst();
  EXPECT_EQ(Variant::Text(L"sqlite_master"), rs->GetFields()->GetItem(L"TABLE_NAME")->GetValue());

  Run(connection, L"CREATE TABLE `Parts` (`id` COUNTER, `n` TEXT)");
  Run(connection, L"CREATE TABLE `b c` (`x` TEXT)");
  Run(connection, L"CREATE VIEW `V` AS SELECT * FROM `b c`");
  std::vector<std::pair<std::wstring, std::wstring>> tables;
  rs = connection->OpenSchema(ado::adSchemaTables, {}, {});
  for (rs->MoveFirst(); !rs->IsEOF(); rs->MoveNext()) {
    tables.emplace_back(rs->GetFields()->GetItem(L"table_type")->GetValue().AsText(),
                        rs->GetFields()->GetItem(L"table_name")->GetValue().AsText());
  }
  EXPECT_EQ(
      (std::vector<std::pair<std::wstring, std::wstring>>{{L"SYSTEM TABLE", L"sqlite_master"},
                                                          {L"SYSTEM TABLE", L"sqlite_sequence"},
                                                          {L"TABLE", L"b c"},
                                                          {L"TABLE", L"Parts"},
                                                          {L"VIEW", L"V"}}),
      tables);
  rs = connection->OpenSchema(ado::adSchemaTables,
                              {Variant(), Variant(), Variant(), Variant::Text(L"VIEW")});
  EXPECT_EQ(1, rs->GetRecordCount());
  EXPECT_EQ(ado::AdoError(ado::adErrFeatureNotAvailable),
            Raised([&] { connection->OpenSchema(static_cast<ado::SchemaEnum>(4)); }).Error());
}

// ---------------------------------------------------------------------------
// Transactions

TEST_F(Ado, TransactionsCommitRollBackAndRollBackOnClose) {
  const fs::path file = NewDatabase(dir / "db.mdb");
  ConnectionPtr connection = Connect(file);
  Run(connection, L"CREATE TABLE t (a TEXT)");

  EXPECT_EQ(1, connection->BeginTrans());
  Run(connection, L"INSERT INTO t VALUES('kept')");
  EXPECT_EQ(Rows{}, Read(file, "SELECT a FROM t"));  // not seen before the commit
  connection->CommitTrans();
  EXPECT_EQ((Rows{{"kept"}}), Read(file, "SELECT a FROM t"));

  connection->BeginTrans();
  Run(connection, L"INSERT INTO t VALUES('undone')");
  RecordsetPtr inside = Query(connection, L"SELECT a FROM t");
  EXPECT_EQ(2, inside->GetRecordCount());
  connection->RollbackTrans();
  EXPECT_EQ((Rows{{"kept"}}), Read(file, "SELECT a FROM t"));
  EXPECT_EQ(2, inside->GetRecordCount());  // a snapshot outlives the transaction

  connection->BeginTrans();
  EXPECT_EQ(static_cast<HRESULT>(0x8004D013), Raised([&] { connection->BeginTrans(); }).Error());
  Run(connection, L"INSERT INTO t VALUES('never committed')");
  connection->Close();
  EXPECT_EQ(ado::adStateClosed, inside->GetState());  // closed with its connection
  EXPECT_EQ((Rows{{"kept"}}), Read(file, "SELECT a FROM t"));

  connection = Connect(file);
  EXPECT_EQ(static_cast<HRESULT>(0x8004D00E), Raised([&] { connection->CommitTrans(); }).Error());
  EXPECT_EQ(static_cast<HRESULT>(0x8004D00E), Raised([&] { connection->RollbackTrans(); }).Error());
}

TEST_F(Ado, DropAndCreateInsideATransactionRollBackWhole) {
  const fs::path file = NewDatabase(dir / "db.mdb");
  ConnectionPtr connection = Connect(file);
  Run(connection, L"CREATE TABLE `t` (`a` TEXT)");
  Run(connection, L"INSERT INTO `t` (`a`) VALUES('old')");
  connection->BeginTrans();
  Run(connection, L"DROP TABLE `t`");
  Run(connection, L"CREATE TABLE `t` (`b` TEXT, `a` TEXT)");
  Run(connection, L"INSERT INTO `t` (`a`) VALUES('new')");
  connection->RollbackTrans();
  EXPECT_EQ((Rows{{"a", "old"}}), Read(file, "SELECT 'a', a FROM t"));
}

// A copy from another file joins the transaction of a DROP: undone with it,
// or kept with it, and the other file is let go when the transaction ends.
TEST_F(Ado, ACopyFromAnotherFileInsideATransaction) {
  const fs::path templ = NewDatabase(dir / "template.mdb");
  const fs::path file = NewDatabase(dir / "db.mdb");
  Run(Connect(templ), L"CREATE TABLE `Tmpl` (`n` TEXT(8))");
  Run(Connect(templ), L"INSERT INTO `Tmpl` VALUES('tpl')");
  ConnectionPtr connection = Connect(file);
  Run(connection, L"CREATE TABLE `t` (`a` TEXT)");
  Run(connection, L"INSERT INTO `t` (`a`) VALUES('old')");
  const std::wstring copy =
      L"SELECT * INTO [;DATABASE=" + W(file) + L"].`t` FROM [;DATABASE=" + W(templ) + L"].`Tmpl`";
  for (const bool commit : {false, true}) {
    connection->BeginTrans();
    Run(connection, L"DROP TABLE `t`");
    EXPECT_EQ(1, Run(connection, copy));
    Run(connection, L"INSERT INTO `t` VALUES('new')");
    EXPECT_EQ(2, Query(connection, L"PRAGMA database_list")->GetRecordCount());
    commit ? connection->CommitTrans() : connection->RollbackTrans();
    const Rows columns = commit ? Rows{{"n", "VARCHAR(8)"}} : Rows{{"a", "VARCHAR(255)"}};
    const Rows records = commit ? Rows{{"tpl"}, {"new"}} : Rows{{"old"}};
    EXPECT_EQ(columns, Read(file, "SELECT name, type FROM pragma_table_info('t')"));
    EXPECT_EQ(records, Read(file, "SELECT * FROM t ORDER BY rowid"));
    EXPECT_EQ(1, Query(connection, L"PRAGMA database_list")->GetRecordCount());
  }
}

// One INSERT text repeated is prepared once; the statement still follows
// the table when it is dropped and made again with other columns.
TEST_F(Ado, ARepeatedStatementFollowsTheTableItNames) {
  const fs::path file = NewDatabase(dir / "db.mdb");
  ConnectionPtr connection = Connect(file);
  const std::wstring insert = L"INSERT INTO `t` (`a`, `b`) VALUES('1', 'x?')";
  Run(connection, L"CREATE TABLE `t` (`a` TEXT, `b` TEXT)");
  connection->BeginTrans();
  for (int i = 0; i < 3; ++i) EXPECT_EQ(1, Run(connection, insert));
  connection->CommitTrans();
  Run(connection, L"DROP TABLE `t`");
  Run(connection, L"CREATE TABLE `t` (`b` TEXT, `c` TEXT, `a` TEXT)");
  EXPECT_EQ(1, Run(connection, insert));
  EXPECT_EQ((Rows{{"x?", "<null>", "1"}}), Read(file, "SELECT b, c, a FROM t"));
}

// Names and texts that the driver's own scan once read as escapes, markers
// or statement ends, in names and in values.
TEST_F(Ado, NoNameOrTextReachesTheDriverAsStatementText) {
  const fs::path file = NewDatabase(dir / "db.mdb");
  ConnectionPtr connection = Connect(file);
  const std::vector<std::wstring> names = {L"B'", L"q?", L"s;t", L"x{fn y}z", L"d\"q", L"[b]"};
  const std::vector<std::wstring> texts = {
      L"{x", L", (SELECT group_concat(name) FROM sqlite_master),}", L") --", L"x {fn y} z", L"Why?",
      L"a;b"};
  std::wstring fields, list, values;
  for (const std::wstring& n : names) {
    fields += (fields.empty() ? L"`" : L", `") + n + L"` TEXT";
    list += (list.empty() ? L"`" : L", `") + n + L"`";
  }
  for (const std::wstring& t : texts) values += (values.empty() ? L"'" : L", '") + t + L"'";
  Run(connection, L"CREATE TABLE `B'` (" + fields + L")");
  EXPECT_EQ(1, Run(connection, L"INSERT INTO `B'` (" + list + L") VALUES(" + values + L")"));
  Rows expected(1);
  for (const std::wstring& t : texts) expected[0].push_back(U8(t));
  EXPECT_EQ(expected, Read(file, "SELECT * FROM \"B'\""));
  Rows columns;
  for (const std::wstring& n : names) columns.push_back({U8(n)});
  EXPECT_EQ(columns, Read(file, "SELECT name FROM pragma_table_info('B''')"));
  EXPECT_EQ((Rows{{"B'"}}), Read(file, "SELECT name FROM sqlite_master"));
}

TEST_F(Ado, FileNamesWithSeparatorsBracesAndLettersOpen) {
  const fs::path folder = dir / "a;b {c}} \u00fc%20?#";
  fs::create_directories(folder);
  const fs::path file = folder / "x;{y}.mdb";
  std::wstring dbq = L"{";
  for (wchar_t c : W(file)) dbq += c == L'}' ? std::wstring(L"}}") : std::wstring(1, c);
  dbq += L"}";
  adox::CatalogPtr catalog;
  ASSERT_EQ(S_OK, catalog.CreateInstance());
  catalog->Create(L"Provider=Microsoft.Jet.OLEDB.4.0;data source=" + dbq);
  ASSERT_TRUE(fs::exists(file));
  ConnectionPtr connection;
  ASSERT_EQ(S_OK, connection.CreateInstance());
  connection->Open(L"Driver={Microsoft Access Driver (*.mdb)};Dbq=" + dbq + L";Uid={u;};Pwd={p}}};",
                   L"", L"", ado::adConnectUnspecified);
  Run(connection, L"CREATE TABLE t (a TEXT)");
  EXPECT_EQ((Rows{{"t"}}), Read(file, "SELECT name FROM sqlite_master"));
  connection->Close();
  // A missing file of such a name is refused, not made.
  const fs::path missing = folder / "no;{such}.mdb";
  ConnectionPtr other;
  ASSERT_EQ(S_OK, other.CreateInstance());
  EXPECT_THROW(other->Open(L"Driver={Microsoft Access Driver (*.mdb)};Dbq={" + W(missing) + L"};",
                           L"", L"", ado::adConnectUnspecified),
               _com_error);
  EXPECT_FALSE(fs::exists(missing));
}

// ---------------------------------------------------------------------------
// Failures

TEST_F(Ado, ARefusedStatementCarriesSqlitesMessage) {
  const fs::path file = NewDatabase(dir / "db.mdb");
  ConnectionPtr connection = Connect(file);
  const _com_error syntax = Raised([&] { Run(connection, L"CREATE TABLE (broken"); });
  EXPECT_EQ(kErrorsInCommand, syntax.Error());
  EXPECT_STREQ(L"IDispatch error #3092", syntax.ErrorMessage());
  EXPECT_EQ(L"Microsoft OLE DB Provider for ODBC Drivers", syntax.Source());
  EXPECT_NE(std::wstring::npos, syntax.Description().find(L"syntax error")) << syntax.Description();
  EXPECT_EQ(L"HY000", syntax.SqlState());

  const _com_error table = Raised([&] { Query(connection, L"SELECT TOP 1 * FROM `nope Ø`"); });
  EXPECT_EQ(static_cast<HRESULT>(0x80040E37), table.Error());
  EXPECT_NE(std::wstring::npos, table.Description().find(L"no such table: nope Ø"));

  Run(connection, L"CREATE TABLE t (a TEXT(5))");
  EXPECT_EQ(
      L"Characters found after end of SQL statement.",
      Raised([&] { Run(connection, L"INSERT INTO t VALUES('x'); DROP TABLE t"); }).Description());
  EXPECT_EQ(Rows{}, Read(file, "SELECT * FROM t"));  // neither half ran
  EXPECT_EQ(1, Run(connection, L"INSERT INTO t VALUES('fine')"));
}

TEST_F(Ado, ALockedDatabaseRaisesAfterTheCommandTimeout) {
  const fs::path file = NewDatabase(dir / "db.mdb");
  ConnectionPtr connection;
  connection.CreateInstance();
  connection->PutCommandTimeout(1);
  connection->Open(L"Driver={Microsoft Access Driver (*.mdb)};Dbq=" + W(file) + L";");
  Run(connection, L"CREATE TABLE t (a TEXT)");

  sqlite3* other = nullptr;
  ASSERT_EQ(SQLITE_OK, sqlite3_open(file.c_str(), &other));
  ASSERT_EQ(SQLITE_OK, sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr));
  const _com_error e = Raised([&] { Run(connection, L"INSERT INTO t VALUES('x')"); });
  EXPECT_NE(std::wstring::npos, e.Description().find(L"locked")) << e.Description();
  sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  EXPECT_EQ(1, Run(connection, L"INSERT INTO t VALUES('x')"));
}

TEST_F(Ado, AFullDatabaseRaisesAndKeepsWhatWasWritten) {
  const fs::path file = NewDatabase(dir / "db.mdb");
  ConnectionPtr connection = Connect(file);
  Run(connection, L"CREATE TABLE t (a MEMO)");
  RecordsetPtr pages = Query(connection, L"PRAGMA page_count");
  const long used = static_cast<long>(pages->GetFields()->GetItem(0L)->GetValue().AsInt64());
  // The engine's page limit stands in for a full disk: SQLite fails the same way.
  RecordsetPtr limit = Query(connection, L"PRAGMA max_page_count = " + std::to_wstring(used + 3));
  const std::wstring big(3000, L'x');
  int written = 0;
  _com_error full(S_OK);
  for (; written < 50; ++written) {
    try {
      Run(connection, L"INSERT INTO t VALUES('" + big + L"')");
    } catch (const _com_error& e) {
      full = e;
      break;
    }
  }
  ASSERT_LT(written, 50) << "the database never filled";
  EXPECT_NE(std::wstring::npos, full.Description().find(L"full")) << full.Description();
  connection->Close();
  EXPECT_EQ("ok\n", Cli(file, "PRAGMA integrity_check"));
  EXPECT_EQ(std::to_string(written) + "\n", Cli(file, "SELECT count(*) FROM t"));
}

// ---------------------------------------------------------------------------
// Recordsets, commands

TEST_F(Ado, RecordsetNavigationAndItsErrors) {
  const fs::path file = NewDatabase(dir / "db.mdb");
  ConnectionPtr connection = Connect(file);
  Run(connection, L"CREATE TABLE t (a TEXT)");
  RecordsetPtr rs = Query(connection, L"SELECT * FROM t");
  EXPECT_TRUE(rs->IsEOF());
  EXPECT_TRUE(rs->GetBOF());
  const HRESULT noRecord = ado::AdoError(ado::adErrNoCurrentRecord);
  EXPECT_EQ(noRecord, Raised([&] { rs->MoveFirst(); }).Error());
  EXPECT_EQ(noRecord, Raised([&] { rs->GetFields()->GetItem(L"a")->GetValue(); }).Error());
  EXPECT_EQ(ado::AdoError(ado::adErrItemNotFound),
            Raised([&] { rs->GetFields()->GetItem(L"b"); }).Error());
  EXPECT_EQ(ado::AdoError(ado::adErrItemNotFound),
            Raised([&] { rs->GetFields()->GetItem(1L); }).Error());
  EXPECT_EQ(ado::AdoError(ado::adErrObjectOpen),
            Raised([&] { rs->Open(L"SELECT 1", connection); }).Error());

  Run(connection, L"INSERT INTO t VALUES('one')");
  rs->Close();
  rs->Open(L"t", connection, ado::adOpenKeyset, ado::adLockOptimistic, ado::adCmdTable);
  EXPECT_EQ(L"t", rs->GetSource());
  EXPECT_EQ(L"t", seen.back());
  EXPECT_EQ(ado::adOpenStatic, rs->GetCursorType());
  ado::FieldPtr field = rs->GetFields()->GetItem(L"A");
  EXPECT_EQ(Variant::Text(L"one"), field->GetValue());
  EXPECT_EQ(S_OK, rs->CancelUpdate());
  rs->MoveNext();
  EXPECT_TRUE(rs->IsEOF());
  EXPECT_EQ(noRecord, Raised([&] { rs->MoveNext(); }).Error());
  rs->Close();
  EXPECT_EQ(ado::adStateClosed, rs->GetState());
  EXPECT_EQ(ado::AdoError(ado::adErrObjectClosed), Raised([&] { field->GetValue(); }).Error());
  EXPECT_EQ(ado::AdoError(ado::adErrObjectClosed), Raised([&] { rs->IsEOF(); }).Error());

  // A statement without rows runs and leaves the recordset closed.
  rs->Open(L"DELETE FROM t", connection, ado::adOpenStatic, ado::adLockOptimistic, ado::adCmdText);
  EXPECT_EQ(ado::adStateClosed, rs->GetState());
  EXPECT_EQ(Rows{}, Read(file, "SELECT * FROM t"));

  RecordsetPtr orphan;
  orphan.CreateInstance();
  EXPECT_EQ(ado::AdoError(ado::adErrInvalidConnection),
            Raised([&] { orphan->Open(L"SELECT 1", nullptr); }).Error());
}

TEST_F(Ado, SortOrdersTheRecordsOnTheClientSide) {
  const fs::path file = NewDatabase(dir / "db.mdb");
  ConnectionPtr connection = Connect(file);
  Run(connection, L"CREATE TABLE t (`Part name` TEXT, qty LONG)");
  Run(connection, L"INSERT INTO t VALUES('bolt', 2)");
  Run(connection, L"INSERT INTO t VALUES('Anchor', 1)");
  Run(connection, L"INSERT INTO t VALUES('bolt', 9)");
  Run(connection, L"INSERT INTO t VALUES(NULL, 10)");
  RecordsetPtr rs = Query(connection, L"SELECT * FROM t");
  const auto order = [&] {
    std::vector<long long> qty;
    for (rs->MoveFirst(); !rs->IsEOF(); rs->MoveNext()) {
      qty.push_back(rs->GetFields()->GetItem(L"qty")->GetValue().AsInt64());
    }
    return qty;
  };
  rs->PutSort(L"[Part name] ASC, QTY DESC");
  EXPECT_EQ((std::vector<long long>{10, 1, 9, 2}), order());
  rs->PutSort(L"qty desc");
  EXPECT_EQ((std::vector<long long>{10, 9, 2, 1}), order());
  rs->PutSort(L"");
  EXPECT_EQ((std::vector<long long>{2, 1, 9, 10}), order());
  EXPECT_EQ(ado::AdoError(ado::adErrItemNotFound), Raised([&] { rs->PutSort(L"weight"); }).Error());

  RecordsetPtr server = connection->Execute(L"SELECT * FROM t", nullptr, ado::adCmdText);
  EXPECT_EQ(ado::adOpenForwardOnly, server->GetCursorType());
  EXPECT_EQ(ado::adUnknown, server->GetRecordCount());
  EXPECT_EQ(ado::AdoError(ado::adErrFeatureNotAvailable),
            Raised([&] { server->PutSort(L"qty"); }).Error());
  server->PutSort(L"");  // as a recordset's closing does
}

TEST_F(Ado, ExecuteAndCommand) {
  const fs::path file = NewDatabase(dir / "db.mdb");
  ConnectionPtr connection = Connect(file);
  Variant affected;
  RecordsetPtr none = connection->Execute(L"CREATE TABLE t (a TEXT)", &affected, ado::adCmdText);
  ASSERT_TRUE(none);
  EXPECT_EQ(ado::adStateClosed, none->GetState());
  connection->Execute(L"INSERT INTO t VALUES('a')", &affected, ado::adCmdText);
  EXPECT_EQ(Variant::I4(1), affected);
  EXPECT_FALSE(connection->Execute(L"SELECT * FROM t", &affected, ado::adExecuteNoRecords));
  RecordsetPtr rows = connection->Execute(L"SELECT * FROM t", &affected, ado::adCmdText);
  EXPECT_EQ(ado::adStateOpen, rows->GetState());
  EXPECT_EQ(Variant::I4(-1), affected);

  ado::CommandPtr command;
  command.CreateInstance();
  EXPECT_EQ(ado::AdoError(ado::adErrInvalidConnection),
            Raised([&] { command->Execute(); }).Error());
  command->PutActiveConnection(connection);
  command->PutCommandText(L"UPDATE t SET a = 'b'");
  command->PutCommandType(ado::adCmdStoredProc);
  EXPECT_EQ(ado::AdoError(ado::adErrFeatureNotAvailable),
            Raised([&] { command->Execute(nullptr, nullptr, ado::adOptionUnspecified); }).Error());
  command->Execute(&affected, nullptr, ado::adCmdText);  // the option's type wins
  EXPECT_EQ(Variant::I4(1), affected);
  EXPECT_EQ((Rows{{"b"}}), Read(file, "SELECT a FROM t"));
  EXPECT_EQ(L"UPDATE t SET a = 'b'", seen.back());
}

// ---------------------------------------------------------------------------
// Other drivers

TEST_F(Ado, OtherDriversGetTheTextAsWritten) {
  const std::wstring driver = W(*ado::detail::FindSqliteOdbcDriver());
  const fs::path file = dir / "plain.db";
  ConnectionPtr connection;
  connection.CreateInstance();
  // Not an Access text: the driver is asked as written and makes the file.
  connection->Open(L"Driver=" + driver + L";Database=" + W(file) + L";");
  EXPECT_TRUE(fs::exists(file));
  Run(connection, L"CREATE TABLE t (a TEXT)");
  Run(connection, L"INSERT INTO t VALUES('𝔸')");
  EXPECT_EQ((Rows{{U8(L"𝔸")}}), Read(file, "SELECT a FROM t"));
  // Nor are its statements rewritten.
  EXPECT_EQ(kErrorsInCommand, Raised([&] { Query(connection, L"SELECT TOP 1 * FROM t"); }).Error());
  connection->Close();

  const _com_error unknown =
      Raised([&] { connection->Open(L"Driver={Gridmason No Such Driver};Database=x;"); });
  EXPECT_NE(std::wstring::npos, unknown.Description().find(L"[unixODBC]")) << unknown.Description();
}

}  // namespace
