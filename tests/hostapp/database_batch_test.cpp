// The database export end to end: the real gridmason program converts
// drawings written by an independent DXF library into SQLite files, which
// are read back with the sqlite3 program.
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;
using gm::test::BinDir;
using gm::test::ReadFile;
using gm::test::TempDir;
using gm::test::WriteFile;

using RunResult = gm::test::ProgramRun;

std::string Quote(const std::string& s) { return gm::test::ShellQuote(s); }

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class DatabaseBatch : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    drawings_ = new TempDir;
    made_ =
        gm::test::RunFixtureScript("tests/hostapp/database_make_drawings.py", drawings_->path());
  }
  static void TearDownTestSuite() {
    delete drawings_;
    drawings_ = nullptr;
  }
  void SetUp() override {
    if (!made_) GTEST_SKIP() << "no drawings: /usr/bin/python3 with ezdxf is needed";
    if (std::system("sqlite3 -version > /dev/null 2>&1") != 0) GTEST_SKIP() << "no sqlite3";
  }

  static std::string Drawing(const std::string& name) {
    return (drawings_->path() / (name + ".dxf")).string();
  }
  std::string Db(const std::string& name = "out.mdb") const { return (dir / name).string(); }

  // gridmason DRAWING --db FILE --table TABLE EXTRA, with its own settings.
  RunResult Export(const std::string& drawing, const std::string& file, const std::string& table,
                   const std::string& extra = "", bool legacy = false) {
    std::string args =
        Quote(Drawing(drawing)) + " --db " + Quote(file) + " --table " + Quote(table) + " " + extra;
    if (legacy) args += " --plugin " + Quote((BinDir() / "OrvaneGridmason.so").string());
    return Gridmason(args);
  }

  RunResult Gridmason(const std::string& args) {
    return gm::test::RunCommand("GM_REGISTRY_DIR=" + Quote(dir.path().string()) + " " +
                                    Quote((BinDir() / "gridmason").string()) + " -q " + args,
                                dir.path());
  }

  // What the sqlite3 program prints for the statements (rows as a|b|c).
  static std::string Sql(const std::string& file, const std::string& sql) {
    const std::string command = "sqlite3 -batch " + Quote(file) + " " + Quote(sql) + " 2>&1";
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
      char buffer[512];
      while (std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
      pclose(pipe);
    }
    return out;
  }
  static std::string Columns(const std::string& file, const std::string& table) {
    return Sql(file, "SELECT group_concat(name, '|') FROM pragma_table_info('" + table + "');");
  }

  TempDir dir;
  static inline TempDir* drawings_ = nullptr;
  static inline bool made_ = false;
};

// ---------------------------------------------------------------------------
// Records and field names.

TEST_F(DatabaseBatch, NewDatabaseTakesTheFirstRowAsFieldsThroughBothBuilds) {
  for (bool legacy : {false, true}) {
    const std::string file = Db(legacy ? "legacy.mdb" : "newer.mdb");
    RunResult r = Export("parts", file, "Parts", "--field-names first", legacy);
    ASSERT_EQ(0, r.status) << r.out << r.err;
    EXPECT_TRUE(Has(r.out, "Save As: " + file)) << "a missing file is made as a new database";
    EXPECT_EQ("Pos|Name|Length\n", Columns(file, "Parts"));
    // The empty row is dropped, feet marks kept, the MTEXT's line feed a blank.
    EXPECT_EQ("1|Bolt|3'\n2|Nut M16|O'Brien's\n", Sql(file, "SELECT * FROM Parts;"));
  }
}

TEST_F(DatabaseBatch, FullStopsAndLineFeedsLeaveTheFieldNames) {
  RunResult r = Export("dotted", Db(), "First", "--field-names first");
  ASSERT_EQ(0, r.status) << r.out << r.err;
  EXPECT_EQ("No|Part name\n", Columns(Db(), "First"));
  EXPECT_EQ("1|Bolt\n2|Nut\n", Sql(Db(), "SELECT * FROM First;"));
  // The last row names them and is not written; the existing file is opened.
  r = Export("dotted_last", Db(), "Last", "--field-names last");
  ASSERT_EQ(0, r.status) << r.out << r.err;
  EXPECT_FALSE(Has(r.out, "Save As:"));
  EXPECT_EQ("No|Part name\n", Columns(Db(), "Last"));
  EXPECT_EQ("1|Bolt\n2|Nut\n", Sql(Db(), "SELECT * FROM Last;"));
}

TEST_F(DatabaseBatch, WithoutAFieldRowTheColumnsAreNumbered) {
  RunResult r = Export("parts", Db(), "T");
  ASSERT_EQ(0, r.status) << r.out << r.err;
  EXPECT_EQ("Field1|Field2|Field3\n", Columns(Db(), "T"));
  EXPECT_EQ("Pos|Name|Length\n1|Bolt|3'\n2|Nut M16|O'Brien's\n", Sql(Db(), "SELECT * FROM T;"));
}

TEST_F(DatabaseBatch, NamesWithBackQuotesCannotBreakTheStatements) {
  RunResult r = Export("quotes", Db(), "q`t", "--field-names first");
  ASSERT_EQ(0, r.status) << r.out << r.err;
  EXPECT_EQ("a`b|c\n", Columns(Db(), "q`t"));
  EXPECT_EQ("x'); DROP TABLE t; --|y\n", Sql(Db(), "SELECT * FROM `q``t`;"));
}

TEST_F(DatabaseBatch, ABlockReferenceByItsBlockName) {
  RunResult r = Export("block", Db(), "Schedule", "--block schedule --field-names first");
  ASSERT_EQ(0, r.status) << r.out << r.err;
  EXPECT_TRUE(Has(r.out, "Command: Block2Access"));
  EXPECT_EQ("A|4\nB|7\n", Sql(Db(), "SELECT Tag, Qty FROM Schedule;"));
  r = Export("block", Db(), "Schedule", "--block NOSUCH");
  EXPECT_EQ(6, r.status);
  EXPECT_TRUE(Has(r.err, "no block reference NOSUCH"));
}

// ---------------------------------------------------------------------------
// The ways to the filled table.

TEST_F(DatabaseBatch, ExistingTableIsFilledThroughItsOwnFields) {
  Sql(Db(), "CREATE TABLE Old (A TEXT, B TEXT); INSERT INTO Old VALUES ('kept', 'too');");
  // Three drawn columns, two fields: the leftmost two values of each row.
  RunResult r = Export("parts", Db(), "Old");
  ASSERT_EQ(0, r.status) << r.out << r.err;
  EXPECT_EQ("A|B\n", Columns(Db(), "Old"));
  EXPECT_EQ("kept|too\nPos|Name\n1|Bolt\n2|Nut M16\n", Sql(Db(), "SELECT * FROM Old;"));
  // Append off deletes the records first.
  r = Export("dotted", Db(), "Old", "--no-append");
  ASSERT_EQ(0, r.status) << r.out << r.err;
  EXPECT_TRUE(Has(r.out, "the old data in table Old will be lost")) << "the question was asked";
  EXPECT_EQ("No.|Part name\n1|Bolt\n2|Nut\n", Sql(Db(), "SELECT * FROM Old;"));
}

TEST_F(DatabaseBatch, OverwriteDropsAndCreatesTheTableAgain) {
  Sql(Db(), "CREATE TABLE T (Other INTEGER); INSERT INTO T VALUES (7);");
  RunResult r = Export("parts", Db(), "T", "--overwrite --field-names first");
  ASSERT_EQ(0, r.status) << r.out << r.err;
  EXPECT_TRUE(Has(r.out, "If you overwrite the existing table"));
  EXPECT_EQ("Pos|Name|Length\n", Columns(Db(), "T"));
  EXPECT_EQ("1|Bolt|3'\n2|Nut M16|O'Brien's\n", Sql(Db(), "SELECT * FROM T;"));
}

class DatabaseTemplate : public DatabaseBatch {
 protected:
  void SetUp() override {
    DatabaseBatch::SetUp();
    if (IsSkipped()) return;
    Sql(Db("template.mdb"),
        "CREATE TABLE Tmpl (Pos TEXT, Name TEXT, Length TEXT, Note TEXT);"
        "INSERT INTO Tmpl VALUES ('0', 'From the template', '', 'x');");
  }
  std::string Template() const { return "--template " + Quote(Db("template.mdb") + ":Tmpl"); }
};

TEST_F(DatabaseTemplate, ANewTableIsACopyOfTheTemplateWithItsRecords) {
  RunResult r = Export("parts", Db(), "Copy", Template() + " --field-names first");
  ASSERT_EQ(0, r.status) << r.out << r.err;
  EXPECT_EQ("Pos|Name|Length|Note\n", Columns(Db(), "Copy"));
  EXPECT_EQ("0|From the template||x\n1|Bolt|3'|\n2|Nut M16|O'Brien's|\n",
            Sql(Db(), "SELECT * FROM Copy;"));
  // The template itself is untouched.
  EXPECT_EQ("1\n", Sql(Db("template.mdb"), "SELECT count(*) FROM Tmpl;"));
}

TEST_F(DatabaseTemplate, AnExistingTableIsNotReplacedByATemplateUnlessOverwritten) {
  Sql(Db(), "CREATE TABLE Copy (A TEXT); INSERT INTO Copy VALUES ('mine');");
  RunResult r = Export("parts", Db(), "Copy", Template());
  EXPECT_EQ(6, r.status);
  EXPECT_TRUE(Has(r.out, "\nThe table already exists. Failed to apply the table template."));
  EXPECT_EQ("mine\n", Sql(Db(), "SELECT * FROM Copy;"));

  // Overwritten: copied again, and with append off its records go first.
  r = Export("parts", Db(), "Copy", Template() + " --overwrite --no-append");
  ASSERT_EQ(0, r.status) << r.out << r.err;
  EXPECT_EQ("Pos|Name|Length|Note\n", Columns(Db(), "Copy"));
  EXPECT_EQ("Pos|Name|Length|\n1|Bolt|3'|\n2|Nut M16|O'Brien's|\n",
            Sql(Db(), "SELECT * FROM Copy;"));
}

// ---------------------------------------------------------------------------
// Refused exports.

TEST_F(DatabaseBatch, ATableOfEmptyRowsIsRefusedBeforeTheDialog) {
  RunResult r = Export("blank", Db(), "T");
  EXPECT_EQ(6, r.status);
  EXPECT_TRUE(Has(r.out, "\nThe table is invalid."));
  EXPECT_FALSE(fs::exists(Db())) << "no database is made";
}

TEST_F(DatabaseBatch, EqualHeaderTextsMakeCreateFailWithBothMessages) {
  RunResult r = Export("twins", Db(), "Twins", "--field-names first");
  EXPECT_EQ(6, r.status);
  EXPECT_TRUE(Has(r.out, "Connection String = Driver={Microsoft Access Driver (*.mdb)};Dbq="))
      << r.out;
  EXPECT_TRUE(Has(r.out, "CADODataBase Error\n\tCode = 80040e14"));
  EXPECT_TRUE(Has(r.out, "\nFailed to create the table Twins."));
  EXPECT_EQ("", Sql(Db(), "SELECT name FROM sqlite_master;"));

  // The older build raises instead: the statement and the engine's words.
  r = Export("twins", Db(), "Twins", "--field-names first", true);
  EXPECT_EQ(6, r.status);
  EXPECT_TRUE(Has(r.out, "\nSQL: CREATE TABLE `Twins` (`Name` TEXT NULL, `Name` TEXT NULL)"))
      << r.out;
  EXPECT_TRUE(Has(r.out, "\nFailed to execute the SQL. "));
  EXPECT_FALSE(Has(r.out, "Failed to create the table"));
}

TEST_F(DatabaseBatch, ARefusedRecordIsNeverReportedAsWritten) {
  Sql(Db(), "CREATE TABLE T (A TEXT, B TEXT CHECK (B <> 'Bolt'));");
  RunResult r = Export("parts", Db(), "T");
  EXPECT_EQ(6, r.status);
  EXPECT_TRUE(Has(r.out, "CHECK constraint failed")) << r.out;
  EXPECT_TRUE(Has(r.out, "\n1 of 3 records were not written into T."));
  EXPECT_EQ("Pos|Name\n2|Nut M16\n", Sql(Db(), "SELECT * FROM T;"));

  // The older build rolls the whole transaction back.
  Sql(Db(), "DELETE FROM T;");
  r = Export("parts", Db(), "T", "", true);
  EXPECT_EQ(6, r.status);
  EXPECT_TRUE(Has(r.out, "\nSQL: INSERT INTO `T` (`A`, `B`) VALUES('1', 'Bolt')")) << r.out;
  EXPECT_TRUE(Has(r.out, "\nFailed to insert the data into T. "));
  EXPECT_EQ("0\n", Sql(Db(), "SELECT count(*) FROM T;"));
}

// Real drawings: the records are the rows the spreadsheet writer shows for the
// same recognised table, cell for cell, with line feeds as blanks.
TEST_F(DatabaseBatch, CorpusDrawingsAgreeWithTheWorkbook) {
  const fs::path corpus = gm::test::CorpusDir();
  if (corpus.empty()) GTEST_SKIP() << "no corpus";
  int compared = 0;
  for (const auto& entry : fs::directory_iterator(corpus)) {
    if (entry.path().extension() != ".dxf") continue;
    const std::string drawing = entry.path().string();
    fs::remove(Db());
    RunResult db = Gridmason(Quote(drawing) + " --db " + Quote(Db()) + " --table T");
    if (db.status != 0) {
      // Only a table that could not be recognised may stop the export.
      EXPECT_TRUE(Has(db.out, "The table is invalid.") || !Has(db.out, "Save As:"))
          << drawing << "\n"
          << db.out;
      continue;
    }
    RunResult book = Gridmason(Quote(drawing) + " -o " + Quote(Db("t.xlsx")));
    ASSERT_EQ(0, book.status) << drawing << book.err;
    // The workbook holds numbers where the text reads as one ("01" is 1 there),
    // and nothing in the cells a merge covers after its first.
    const std::string script =
        "import sqlite3, sys, openpyxl\n"
        "ws = openpyxl.load_workbook(sys.argv[2]).active\n"
        "covered = {(r, c) for m in ws.merged_cells.ranges\n"
        "           for r in range(m.min_row, m.max_row + 1)\n"
        "           for c in range(m.min_col, m.max_col + 1)\n"
        "           if (r, c) != (m.min_row, m.min_col)}\n"
        "cell = lambda v: '' if v is None else str(v).replace('\\n', ' ')\n"
        "book = [(n, list(r)) for n, r in enumerate(ws.iter_rows(values_only=True), 1)\n"
        "        if any(v not in (None, '') for v in r)]\n"
        "db = [list(r) for r in sqlite3.connect(sys.argv[1]).execute('SELECT * FROM T')]\n"
        "def same(n, j, b, d):\n"
        "    if b is None and (n, j + 1) in covered: return True\n"
        "    if isinstance(b, (int, float)) and not isinstance(b, bool):\n"
        "        try: return float(d) == b\n"
        "        except ValueError: return False\n"
        "    return cell(b) == cell(d)\n"
        "bad = [(n, j, b, d) for (n, rb), rd in zip(book, db)\n"
        "       for j, (b, d) in enumerate(zip(rb + [None] * len(rd), rd)) if not same(n, j, b, "
        "d)]\n"
        "print('same' if len(book) == len(db) and not bad else\n"
        "      'differ: %d rows in the workbook, %d records; %r' % (len(book), len(db), "
        "bad[:5]))\n";
    WriteFile(dir / "compare.py", script);
    const std::string command = std::string(gm::test::SystemPython()) + " " +
                                Quote((dir / "compare.py").string()) + " " + Quote(Db()) + " " +
                                Quote(Db("t.xlsx")) + " 2>&1";
    std::string said;
    if (FILE* pipe = popen(command.c_str(), "r")) {
      char buffer[4096];
      while (std::fgets(buffer, sizeof buffer, pipe)) said += buffer;
      pclose(pipe);
    }
    EXPECT_EQ("same\n", said) << drawing;
    ++compared;
  }
  EXPECT_GT(compared, 0) << "no corpus drawing held a table";
}

TEST_F(DatabaseBatch, BadOptionsAreRefusedBeforeAnythingRuns) {
  RunResult r = Gridmason(Quote(Drawing("parts")) + " --db " + Quote(Db()));
  EXPECT_EQ(2, r.status);
  EXPECT_TRUE(Has(r.err, "--db needs --table NAME"));
  r = Gridmason(Quote(Drawing("parts")) + " --db x.mdb --table T --field-names middle");
  EXPECT_EQ(2, r.status);
  EXPECT_TRUE(Has(r.err, "--field-names takes first or last, not middle"));
  r = Gridmason("--db x.mdb --table T");
  EXPECT_EQ(2, r.status);
  EXPECT_TRUE(Has(r.err, "--db needs a drawing"));
  r = Gridmason(Quote(Drawing("parts")) + " --db x.mdb --table T --template nocolon");
  EXPECT_EQ(2, r.status);
  EXPECT_FALSE(fs::exists(Db()));
  r = Gridmason("--help");
  EXPECT_EQ(0, r.status);
  EXPECT_TRUE(Has(r.out, "--db FILE") && Has(r.out, "--template DBFILE:TABLE"));
}

}  // namespace
