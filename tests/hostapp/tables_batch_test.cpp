// The real gridmason program on drawings with merged regions and with
// several tables: merged cells read from the drawn lines, every table of a
// drawing in a worksheet or a database table of its own, and the plain-text
// outputs, each read back with a reader of its own (openpyxl, Python's csv
// and json modules, html.parser, sqlite3) and compared with the workbook.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>

#include "tests/support/program_fixture.h"
#include "tests/support/test_support.h"

namespace {

using gm::test::BinDir;
using gm::test::Fact;
using gm::test::ReadFile;
using gm::test::ShellQuote;
using gm::test::SourceDir;
using gm::test::TempDir;
using gm::test::WriteFile;

// "k.A1" -> text, "k.merged" -> "A1:B1 ...", "k.name" -> sheet name.
using Facts = std::map<std::string, std::string>;

class TablesBatch : public gm::test::DrawingsTest<TablesBatch> {
 public:
  static constexpr const char* kScript = "tests/hostapp/tables_make_drawings.py";

 protected:
  // The tables of the files, in order, as read_tables.py reads them.
  Facts Read(const std::vector<std::string>& files) {
    std::vector<std::filesystem::path> paths;
    for (const std::string& f : files) paths.push_back(dir / f);
    Facts facts;
    std::string output;
    EXPECT_EQ(0,
              gm::test::RunReader("tests/hostapp/read_tables.py", paths, dir.path(), facts, output))
        << "cannot read the tables back: " << output;
    return facts;
  }

  // The facts without those of one kind (".merged", ".name").
  static Facts Without(Facts f, const std::string& kind) {
    std::erase_if(f, [&](const auto& item) {
      return item.first.size() >= kind.size() &&
             item.first.compare(item.first.size() - kind.size(), kind.size(), kind) == 0;
    });
    return f;
  }
};

TEST_F(TablesBatch, TitleBlockMergesAsDrawnOnlyWhenAsked) {
  auto off = Gridmason(Drawing("titleblock.dxf") + " -o off.xlsx");
  ASSERT_EQ(0, off.status) << off.out << off.err;
  Facts f = Read({"off.xlsx"});
  EXPECT_EQ("", Fact(f, "1.merged")) << "without the setting only texts merge";
  EXPECT_EQ("Logo", Fact(f, "1.D1"));
  EXPECT_EQ("Rev", Fact(f, "1.D2"));

  auto on = Gridmason(Drawing("titleblock.dxf") + " --merge-by-lines -o on.xlsx");
  ASSERT_EQ(0, on.status) << on.out << on.err;
  f = Read({"on.xlsx"});
  // Over columns, over rows, and the L of A2, A3:C3 split widest first.
  EXPECT_EQ("A1:B1 A3:C3 D1:D2", Fact(f, "1.merged"));
  EXPECT_EQ("Title", Fact(f, "1.A1"));
  EXPECT_EQ("Logo\\nRev", Fact(f, "1.D1")) << "a text in a range goes to its first cell";
  EXPECT_EQ("(none)", Fact(f, "1.D2"));
  EXPECT_EQ("Drawn", Fact(f, "1.A2")) << "the narrow arm of the L stays a cell";
  EXPECT_EQ("Notes", Fact(f, "1.A3"));

  // The batch's setting lasts for its run only; the settings file lets it be.
  EXPECT_EQ(std::string::npos, ReadFile(dir / "HKEY_CURRENT_USER.reg").find("MergeByLines"));
  auto again = Gridmason(Drawing("titleblock.dxf") + " -o again.xlsx");
  ASSERT_EQ(0, again.status) << again.out << again.err;
  EXPECT_EQ("", Fact(Read({"again.xlsx"}), "1.merged"));
}

TEST_F(TablesBatch, StoredSettingMergesAndAnOldFileDoesNot) {
  const std::string key = "[HKEY_CURRENT_USER\\software\\Orvane\\OrvaneGridmason]\n";
  WriteFile(dir / "HKEY_CURRENT_USER.reg",
            "Windows Registry Editor Version 5.00\n\n" + key + "\"StartRow\"=\"1\"\n");
  auto old = Gridmason(Drawing("titleblock.dxf") + " -o old.xlsx");
  ASSERT_EQ(0, old.status) << old.out << old.err;
  EXPECT_EQ("", Fact(Read({"old.xlsx"}), "1.merged"));

  WriteFile(dir / "HKEY_CURRENT_USER.reg",
            "Windows Registry Editor Version 5.00\n\n" + key + "\"MergeByLines\"=dword:00000001\n");
  auto stored = Gridmason(Drawing("titleblock.dxf") + " -o stored.xlsx");
  ASSERT_EQ(0, stored.status) << stored.out << stored.err;
  EXPECT_EQ("A1:B1 A3:C3 D1:D2", Fact(Read({"stored.xlsx"}), "1.merged"));
}

TEST_F(TablesBatch, FrameWithTwoTablesGivesThreeWorksheets) {
  auto fused = Gridmason(Drawing("frame.dxf") + " -o fused.xlsx");
  ASSERT_EQ(0, fused.status) << fused.out << fused.err;
  EXPECT_EQ("(none)", Fact(Read({"fused.xlsx"}), "2.name")) << "one sheet without the setting";

  auto r = Gridmason(Drawing("frame.dxf") + " --all-tables -o all.xlsx");
  ASSERT_EQ(0, r.status) << r.out << r.err;
  Facts f = Read({"all.xlsx"});
  // Top first: the frame, the parts list, the title block, whose first text
  // is no sheet name.
  EXPECT_EQ("Frame note", Fact(f, "1.name"));
  EXPECT_EQ("Frame note", Fact(f, "1.A1"));
  EXPECT_EQ("(none)", Fact(f, "1.B1"));
  EXPECT_EQ("Pos", Fact(f, "2.name"));
  EXPECT_EQ("Nut", Fact(f, "2.B3"));
  EXPECT_EQ("(none)", Fact(f, "2.D1")) << "the parts list keeps its own three columns";
  EXPECT_EQ("Table 3", Fact(f, "3.name"));
  EXPECT_EQ("Rev: 2", Fact(f, "3.A1"));
  EXPECT_EQ("Ann", Fact(f, "3.B2"));
  EXPECT_EQ("(none)", Fact(f, "4.name"));
}

TEST_F(TablesBatch, ATakenSheetNameFallsBackToTheTableNumber) {
  auto r = Gridmason(Drawing("twins.dxf") + " --all-tables -o twins.xlsx");
  ASSERT_EQ(0, r.status) << r.out << r.err;
  Facts f = Read({"twins.xlsx"});
  EXPECT_EQ("Parts", Fact(f, "1.name"));
  EXPECT_EQ("0", Fact(f, "1.A2"));
  EXPECT_EQ("Table 2", Fact(f, "2.name")) << "names are compared without regard to case";
  EXPECT_EQ("100", Fact(f, "2.A2"));
}

TEST_F(TablesBatch, FrameWithTwoTablesGivesThreeDatabaseTables) {
  if (std::system("sqlite3 -version > /dev/null 2>&1") != 0) GTEST_SKIP() << "no sqlite3";
  auto r = Gridmason(Drawing("frame.dxf") + " --all-tables --db parts.mdb --table Parts");
  ASSERT_EQ(0, r.status) << r.out << r.err;
  const std::string cmd =
      "sqlite3 -batch " + ShellQuote((dir / "parts.mdb").string()) +
      " \"SELECT name FROM sqlite_master WHERE type='table' ORDER BY name;"
      " SELECT * FROM Parts; SELECT * FROM Parts_2; SELECT * FROM Parts_3;\" > " +
      ShellQuote((dir / "sql.txt").string()) + " 2>&1";
  ASSERT_EQ(0, std::system(cmd.c_str()));
  EXPECT_EQ(
      "Parts\nParts_2\nParts_3\n"
      "Frame note\n"
      "Pos|Part|Qty\n1|Bolt|4\n2|Nut|8\n"
      "Rev: 2|Sheet\nDrawn|Ann\n",
      ReadFile(dir / "sql.txt"));
}

// At the dialog a person names a new file once; the later tables of the
// conversion go into it, not into a second new file of the same name.
TEST_F(TablesBatch, TablesOfOneConversionShareTheNewDatabase) {
  if (std::system("sqlite3 -version > /dev/null 2>&1") != 0) GTEST_SKIP() << "no sqlite3";
  gm::test::WriteFile(dir / "HKEY_CURRENT_USER.reg",
                      "Windows Registry Editor Version 5.00\n\n"
                      "[HKEY_CURRENT_USER\\software\\Orvane\\OrvaneGridmason]\n"
                      "\"SplitTables\"=dword:00000001\n");
  const std::string file = (dir / "parts.mdb").string();
  auto r =
      Gridmason(Drawing("frame.dxf"), "LineText2Access\nALL\n\ncheck 100\nset 106 Parts\nok\n" +
                                          file + "\nok\nok\nquit\n");
  ASSERT_EQ(0, r.status) << r.out << r.err;
  size_t saves = 0;
  for (size_t at = r.out.find("Save As"); at != std::string::npos;
       at = r.out.find("Save As", at + 1)) {
    ++saves;
  }
  EXPECT_EQ(1u, saves) << r.out;
  const std::string cmd =
      "sqlite3 -batch " + ShellQuote(file) +
      " \"SELECT name FROM sqlite_master WHERE type='table' ORDER BY name;\" > " +
      ShellQuote((dir / "sql.txt").string()) + " 2>&1";
  ASSERT_EQ(0, std::system(cmd.c_str()));
  EXPECT_EQ("Parts\nParts_2\nParts_3\n", ReadFile(dir / "sql.txt"));
}

TEST_F(TablesBatch, PlainTextOutputsEqualTheWorkbook) {
  auto book = Gridmason(Drawing("titleblock.dxf") + " --merge-by-lines -o book.xlsx");
  ASSERT_EQ(0, book.status) << book.out << book.err;
  const Facts expected = Without(Read({"book.xlsx"}), ".name");
  ASSERT_EQ("Ann, \"A\"", Fact(expected, "1.B2")) << "a text that CSV must quote";

  for (const std::string file : {"t.csv", "t.json", "t.html", "t.md"}) {
    SCOPED_TRACE(file);
    auto r = Gridmason(Drawing("titleblock.dxf") + " --merge-by-lines -o " + file);
    ASSERT_EQ(0, r.status) << r.out << r.err;
    const Facts got = Read({file});
    if (file == "t.csv") {
      EXPECT_EQ(Without(expected, ".merged"), got) << "CSV keeps no ranges";
      EXPECT_NE(std::string::npos, ReadFile(dir / file).find("\r\n")) << "RFC 4180 line ends";
    } else {
      EXPECT_EQ(expected, got);
    }
  }
  EXPECT_NE(std::string::npos, ReadFile(dir / "t.html").find("border-top:1px solid"));
  const std::string json = ReadFile(dir / "t.json");
  EXPECT_NE(std::string::npos, json.find("\"orientation\": \"horizontal\""));
  EXPECT_NE(std::string::npos, json.find("\"bottom\": null")) << "an undrawn edge";
}

TEST_F(TablesBatch, SeveralTablesGiveNumberedFilesOrOneJsonArray) {
  auto book = Gridmason(Drawing("frame.dxf") + " --all-tables -o book.xlsx");
  ASSERT_EQ(0, book.status) << book.out << book.err;
  const Facts expected = Without(Read({"book.xlsx"}), ".name");

  auto csv = Gridmason(Drawing("frame.dxf") + " --all-tables -o t.csv");
  ASSERT_EQ(0, csv.status) << csv.out << csv.err;
  EXPECT_EQ(Without(expected, ".merged"), Read({"t.csv", "t-2.csv", "t-3.csv"}));
  auto json = Gridmason(Drawing("frame.dxf") + " --all-tables -o t.json");
  ASSERT_EQ(0, json.status) << json.out << json.err;
  EXPECT_EQ(expected, Read({"t.json"}));
  EXPECT_EQ('[', ReadFile(dir / "t.json").front());
}

TEST_F(TablesBatch, TextOutputThatCannotBeWrittenFails) {
  // The named file can be written; the second table's cannot.
  std::filesystem::create_directory(dir / "t-2.csv");
  auto r = Gridmason(Drawing("frame.dxf") + " --all-tables -o t.csv");
  EXPECT_EQ(5, r.status) << r.out << r.err;
  EXPECT_NE(std::string::npos, r.out.find("Cannot write")) << r.out;
  auto flags = Gridmason(Drawing("titleblock.dxf") + " --merge-by-lines");
  EXPECT_EQ(2, flags.status) << "the flag belongs to a batch run";
}

}  // namespace
