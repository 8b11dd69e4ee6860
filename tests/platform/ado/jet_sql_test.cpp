// The Jet statements rewritten for SQLite, checked on their texts: what is
// changed, and that nothing inside strings and names is.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ado/jet_sql.h"
#include "platform/com/comdef.h"
#include "platform/win/wintypes.h"

namespace {

using ado::jet::Plan;
using ado::jet::Translate;

// Blanks collapsed, so that tests state the statement, not its spacing.
std::wstring Squeeze(const std::wstring& s) {
  std::wstring out;
  for (wchar_t c : s) {
    if (c == L' ' && (out.empty() || out.back() == L' ')) continue;
    out += c;
  }
  while (!out.empty() && out.back() == L' ') out.pop_back();
  return out;
}

std::wstring Sql(const std::wstring& jet) {
  const Plan plan = Translate(jet, [](const std::wstring& path) -> std::wstring {
    ADD_FAILURE() << "no database file expected";
    return L"main";
  });
  EXPECT_FALSE(plan.into.has_value());
  return Squeeze(plan.sql);
}

std::wstring Refusal(const std::wstring& jet) {
  try {
    Translate(jet, [](const std::wstring&) { return std::wstring(L"main"); });
  } catch (const _com_error& e) {
    EXPECT_EQ(static_cast<HRESULT>(0x80040E14), e.Error());
    return e.Description();
  }
  ADD_FAILURE() << "not refused";
  return {};
}

TEST(JetSql, TopBecomesLimitWhereItsSelectEnds) {
  EXPECT_EQ(L"SELECT * FROM \"t\" LIMIT 1", Sql(L"SELECT TOP 1 * FROM `t`"));
  EXPECT_EQ(L"select distinct a FROM t ORDER BY a DESC LIMIT 3",
            Sql(L"select distinct top 3 a FROM t ORDER BY a DESC"));
  EXPECT_EQ(L"SELECT a FROM t WHERE b IN (SELECT c FROM u ORDER BY c LIMIT 2) AND d = 1",
            Sql(L"SELECT a FROM t WHERE b IN (SELECT TOP 2 c FROM u ORDER BY c) AND d = 1"));
  EXPECT_EQ(L"SELECT * FROM (SELECT x FROM t LIMIT 5) LIMIT 1",
            Sql(L"SELECT TOP 1 * FROM (SELECT TOP 5 x FROM t)"));
  EXPECT_EQ(L"SELECT * FROM \"t\" LIMIT 1", Sql(L"SELECT TOP 1 * FROM `t`;"));
}

TEST(JetSql, NamesLeaveDoubleQuotedAndStringsAsMarkers) {
  const auto none = [](const std::wstring&) { return std::wstring(L"main"); };
  Plan plan = Translate(
      L"SELECT 'SELECT TOP 1 ;x', `TOP 2`, [a;b], `q\"?{fn x}` /* TOP 3 */ FROM `t` -- TOP 4",
      none);
  EXPECT_EQ(L"SELECT ?, \"TOP 2\", \"a;b\", \"q\"\"?{fn x}\" /* TOP 3 */ FROM \"t\" -- TOP 4",
            Squeeze(plan.sql));
  EXPECT_EQ(std::vector<std::wstring>{L"SELECT TOP 1 ;x"}, plan.params);

  plan =
      Translate(L"INSERT INTO `t` (`a.b c`, `x``y`) VALUES('It''s 5'' 3\" ; TEXT(5)', '')", none);
  EXPECT_EQ(L"INSERT INTO \"t\" (\"a.b c\", \"x`y\") VALUES(?, ?)", plan.sql);
  EXPECT_EQ((std::vector<std::wstring>{L"It's 5' 3\" ; TEXT(5)", L""}), plan.params);

  EXPECT_NE(std::wstring::npos, Refusal(L"INSERT INTO t VALUES('open").find(L"never closed"));
  EXPECT_NE(std::wstring::npos, Refusal(L"SELECT * FROM `open").find(L"never closed"));
  EXPECT_NE(std::wstring::npos, Refusal(std::wstring(L"SELECT * FROM `a\0b`", 19)).find(L"U+0000"));
}

TEST(JetSql, FormsWithoutARewriteAreRefused) {
  EXPECT_NE(std::wstring::npos, Refusal(L"SELECT TOP 10 PERCENT * FROM t").find(L"PERCENT"));
  EXPECT_NE(std::wstring::npos,
            Refusal(L"SELECT TOP 1 a FROM t UNION SELECT b FROM u").find(L"compound"));
  EXPECT_NE(std::wstring::npos, Refusal(L"SELECT TOP x * FROM t").find(L"whole number"));
  EXPECT_EQ(L"Characters found after end of SQL statement.",
            Refusal(L"DELETE FROM t; DROP TABLE u"));
}

TEST(JetSql, CreateTableTakesSqliteTypesForJetTypes) {
  EXPECT_EQ(
      L"CREATE TABLE \"x.y z\" (\"Field1\" VARCHAR(255) NULL, \"b\" VARCHAR(50), \"c\" TEXT, "
      L"\"d\" INTEGER, \"e\" INTEGER, \"f\" SMALLINT, \"g\" TINYINT, \"h\" DOUBLE, \"i\" REAL, "
      L"\"j\" BIT, \"k\" TIMESTAMP, \"l\" NUMERIC(19,4), \"m\" NUMERIC(10,2), \"n\" BLOB, "
      L"\"o\" CHAR(38), \"p\" INTEGER PRIMARY KEY AUTOINCREMENT)",
      Sql(L"CREATE TABLE `x.y z` (`Field1` TEXT NULL, `b` TEXT(50), `c` MEMO, `d` LONG, "
          L"`e` INTEGER, `f` SHORT, `g` BYTE, `h` DOUBLE, `i` SINGLE, `j` YESNO, `k` DATETIME, "
          L"`l` CURRENCY, `m` DECIMAL(10,2), `n` LONGBINARY, `o` GUID, `p` COUNTER)"));
  // With a key of its own the table keeps it; the counter is then a plain integer.
  EXPECT_EQ(L"CREATE TABLE t (id INTEGER, name VARCHAR(10) NOT NULL, PRIMARY KEY (name))",
            Sql(L"CREATE TABLE t (id COUNTER(1,1), name TEXT(10) WITH COMPRESSION NOT NULL, "
                L"PRIMARY KEY (name))"));
  EXPECT_EQ(L"CREATE TABLE t (a VARCHAR(5) DEFAULT 'MEMO', CONSTRAINT u UNIQUE (a))",
            Sql(L"CREATE TABLE t (a TEXT(5) DEFAULT 'MEMO', CONSTRAINT u UNIQUE (a))"));
}

TEST(JetSql, SelectIntoAnotherDatabaseFile) {
  std::vector<std::wstring> paths;
  const auto schemaFor = [&](const std::wstring& path) {
    paths.push_back(path);
    return std::wstring(L"ext1");
  };
  Plan plan = Translate(L"SELECT * INTO [;DATABASE=/tmp/a b;c.mdb].`New` FROM `Tmpl`", schemaFor);
  ASSERT_TRUE(plan.into.has_value());
  // No file of either name: ';' ends the path, as in Jet.
  EXPECT_EQ(std::vector<std::wstring>{L"/tmp/a b"}, paths);
  EXPECT_EQ(L"ext1", plan.into->targetSchema);
  EXPECT_EQ(L"New", plan.into->targetTable);
  EXPECT_EQ(L"SELECT * FROM \"Tmpl\"", plan.into->select);
  EXPECT_EQ(L"main", plan.into->sourceSchema);
  EXPECT_EQ(L"Tmpl", plan.into->sourceTable);

  paths.clear();
  plan =
      Translate(L"SELECT TOP 2 * INTO `N``ew` IN '/x/it''s.mdb' FROM [T 1] WHERE a > 1", schemaFor);
  ASSERT_TRUE(plan.into.has_value());
  EXPECT_EQ(std::vector<std::wstring>{L"/x/it's.mdb"}, paths);
  EXPECT_EQ(L"N`ew", plan.into->targetTable);
  EXPECT_EQ(L"T 1", plan.into->sourceTable);
  EXPECT_EQ(L"SELECT * FROM \"T 1\" WHERE a > 1 LIMIT 2", Squeeze(plan.into->select));

  // Chosen columns have no declared types to copy.
  plan = Translate(L"SELECT a, b INTO t2 FROM t", schemaFor);
  ASSERT_TRUE(plan.into.has_value());
  EXPECT_EQ(L"main", plan.into->targetSchema);
  EXPECT_TRUE(plan.into->sourceTable.empty());
  EXPECT_EQ(L"SELECT a, b FROM t", plan.into->select);

  EXPECT_THROW(Translate(L"SELECT * INTO [;PWD=x].t FROM s", schemaFor), _com_error);
}

TEST(JetSql, QuotingDoublesTheQuote) { EXPECT_EQ(L"\"a\"\"b`\"", ado::jet::QuoteName(L"a\"b`")); }

}  // namespace
