// Cell texts as a person reads them, end to end: the real gridmason program
// converts drawings written by an independent DXF library, and the
// workbooks are read back with openpyxl (Debian's Python).
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <sstream>
#include <string>

#include "tests/support/program_fixture.h"
#include "tests/support/test_support.h"

namespace {

using gm::test::BinDir;
using gm::test::Fact;
using gm::test::ReadFile;
using gm::test::ShellQuote;
using gm::test::SourceDir;
using gm::test::TempDir;

using RunResult = gm::test::ProgramRun;
// What read_xlsx.py printed: key -> the fact as JSON.
using Facts = std::map<std::string, std::string>;

class CellTexts : public gm::test::DrawingsTest<CellTexts> {
 public:
  static constexpr const char* kScript = "tests/hostapp/cell_texts_make_drawings.py";

 protected:
  // Converts a drawing of the fixtures into NAME.xlsx and reads it back.
  Facts Convert(const std::string& drawing, RunResult* run = nullptr) {
    const std::string book = drawing.substr(0, drawing.rfind('.')) + ".xlsx";
    RunResult r = Gridmason(Drawing(drawing) + " -o " + ShellQuote(book));
    EXPECT_EQ(0, r.status) << drawing << "\n" << r.out << r.err;
    if (run != nullptr) *run = r;
    return ReadWorkbook(book);
  }

  Facts Read(const std::string& name) { return ReadWorkbook(name); }
};

TEST_F(CellTexts, MultilineCodesLeaveOnlyTheText) {
  Facts f = Convert("codes.dxf");
  EXPECT_EQ("\"Datum\"", Fact(f, "A1:value")) << "a height switch";
  EXPECT_EQ("\"Mitte\"", Fact(f, "B1:value")) << "a relative height and paragraph switch";
  EXPECT_EQ("\"scale 1 : 1\"", Fact(f, "A2:value")) << "non-breaking spaces";
  EXPECT_EQ("\"Dia 1 1/2 in\"", Fact(f, "B2:value")) << "a stacked fraction after a number";
  EXPECT_EQ("\"+0.1/-0.2\"", Fact(f, "A3:value")) << "a tolerance stack";
  EXPECT_EQ("\"Col\\nTwo\"", Fact(f, "B3:value")) << "a column break";
  EXPECT_EQ("\"Item\\nNext\"", Fact(f, "A4:value")) << "an indent switch and a paragraph";
  EXPECT_EQ("\"Bold\"", Fact(f, "B4:value"));
  EXPECT_EQ("[]", Fact(f, "merged"));
}

TEST_F(CellTexts, ALongMultilineTextKeepsEveryChunk) {
  std::string expected;
  for (int i = 0; i < 62; ++i) {
    char part[16];
    std::snprintf(part, sizeof part, "%04d-", i);
    expected += part;
  }
  Facts f = Convert("long.dxf");
  EXPECT_EQ("\"" + expected + "\"", Fact(f, "A1:value"));
}

TEST_F(CellTexts, MultilineTextsTurnedByAngleOrDirection) {
  Facts f = Convert("turned.dxf");
  EXPECT_EQ("\"Angle\"", Fact(f, "A1:value"));
  EXPECT_EQ("90", Fact(f, "A1:rotation")) << "an angle in degrees";
  EXPECT_EQ("\"Vector\"", Fact(f, "B1:value"));
  EXPECT_EQ("90", Fact(f, "B1:rotation")) << "a direction vector and no angle";
  EXPECT_EQ("90", Fact(f, "C1:rotation")) << "a single-line text";
  EXPECT_EQ("\"Down\"", Fact(f, "D1:value"));
  EXPECT_EQ("180", Fact(f, "D1:rotation")) << "turned downward";
}

TEST_F(CellTexts, TurnedLinesStayLinesInReadingOrder) {
  Facts f = Convert("turned_lines.dxf");
  EXPECT_EQ("\"alpha beta\\nsecond\\nthird\"", Fact(f, "A1:value")) << "turned upward";
  EXPECT_EQ("\"theta delta\\nfourth\\nfifth\"", Fact(f, "B1:value")) << "turned downward";
}

TEST_F(CellTexts, WordsOnOneBaselineShareALine) {
  Facts f = Convert("baselines.dxf");
  EXPECT_EQ("\"gamma delta\"", Fact(f, "A1:value")) << "no tall letters at all";
  EXPECT_EQ("\"Bolt saw ease\"", Fact(f, "B1:value")) << "beside capitals, centred";
  EXPECT_EQ("\"mass\\nBolt\"", Fact(f, "A2:value")) << "lines one text height apart";
  EXPECT_EQ("\"Bolt\\nsaw\"", Fact(f, "B2:value"));
}

// The same table level in the world, in a block reference scaled and turned
// every way inside a user system turned with it, and drawn turned on a
// portrait sheet: one workbook.
TEST_F(CellTexts, ATableReadsTheSameHoweverItIsPlaced) {
  Facts level = Convert("level.dxf");
  ASSERT_EQ("[\"A1:C1\"]", Fact(level, "merged")) << "the title spans the columns";
  EXPECT_EQ("\"BILL OF MATERIALS FOR THE ASSEMBLY\\nSheet 1\"", Fact(level, "A1:value"));
  EXPECT_EQ("\"Pos.\"", Fact(level, "A2:value"));
  EXPECT_EQ("90", Fact(level, "A2:rotation")) << "the header standing upward";
  EXPECT_EQ("\"Designation\"", Fact(level, "B2:value"));
  EXPECT_EQ("\"Bolt M16x40\"", Fact(level, "B3:value"));
  EXPECT_EQ("12", Fact(level, "C5:value"));
  EXPECT_EQ("[\"thin\", null]", Fact(level, "C5:bottom"));
  EXPECT_EQ("(none)", Fact(level, "B1:left")) << "inside the merged title";

  auto withoutSizes = [](Facts f) {
    // Column widths and row heights follow the drawn size, which is the one
    // thing a scale changes.
    for (auto it = f.begin(); it != f.end();) {
      const bool size = it->first.rfind("width:", 0) == 0 || it->first.rfind("height:", 0) == 0;
      it = size ? f.erase(it) : std::next(it);
    }
    return f;
  };
  const Facts expected = withoutSizes(level);
  for (const char* drawing :
       {"block_0.5_90.dxf", "block_0.5_180.dxf", "block_0.5_270.dxf", "block_2_90.dxf",
        "block_2_180.dxf", "block_2_270.dxf", "portrait.dxf"}) {
    const Facts placed = withoutSizes(Convert(drawing));
    EXPECT_EQ(expected, placed) << drawing;
  }
}

TEST_F(CellTexts, AClosedPolylineKeepsItsClosingEdge) {
  Facts f = Convert("closed.dxf");
  EXPECT_EQ("\"left\"", Fact(f, "A1:value"));
  EXPECT_EQ("\"right\"", Fact(f, "B1:value"));
  // The polyline runs up the left side last: that edge closes it.
  EXPECT_EQ("[\"thin\", null]", Fact(f, "A1:left"));
  EXPECT_EQ("[\"thin\", null]", Fact(f, "A1:bottom"));
  EXPECT_EQ("[\"thin\", null]", Fact(f, "B1:right"));
}

TEST_F(CellTexts, ATextDrawnTwiceOnOneSpotReadsOnce) {
  Facts f = Convert("twice.dxf");
  EXPECT_EQ("\"\\u041c\\u0430\\u0441\\u0441\\u0430\"", Fact(f, "A1:value")) << "Масса";
  EXPECT_EQ("\"x\\nx\"", Fact(f, "B1:value")) << "two lines of one cell are no repeat";
}

TEST_F(CellTexts, RangesThatCutIntoEachOtherAreUnited) {
  Facts f = Convert("cut.dxf");
  EXPECT_EQ("[\"A1:C2\"]", Fact(f, "merged"));
  EXPECT_EQ("\"High\\ntext\\nWide text across\\nthe whole row\"", Fact(f, "A1:value"))
      << "both texts in the first cell of the united range";
  EXPECT_EQ("(none)", Fact(f, "B1:value"));
  EXPECT_EQ("\"kept\"", Fact(f, "A3:value"));
}

TEST_F(CellTexts, TextsStayAsDrawnAndPlainNumbersStayNumbers) {
  Facts f = Convert("numbers.dxf");
  const std::map<std::string, std::string> texts = {
      {"A1", "\"01\""},   {"B1", "\"0.500000\""}, {"C1", "\"1.10\""},
      {"D1", "\"+5\""},   {"E1", "\"1e3\""},      {"F1", "\"1-2\""},
      {"G1", "\"TRUE\""}, {"H1", "\"=A1\""},      {"M1", "\"12345678901234\""},
      {"N1", "\".5\""}};
  for (const auto& [cell, value] : texts) {
    EXPECT_EQ(value, Fact(f, cell + ":value")) << cell;
    EXPECT_EQ("\"s\"", Fact(f, cell + ":type")) << cell;
    EXPECT_EQ("\"@\"", Fact(f, cell + ":format")) << cell;
  }
  const std::map<std::string, std::string> numbers = {
      {"I1", "12"}, {"J1", "3.5"}, {"K1", "-7"}, {"L1", "0.25"}};
  for (const auto& [cell, value] : numbers) {
    EXPECT_EQ(value, Fact(f, cell + ":value")) << cell;
    EXPECT_EQ("\"n\"", Fact(f, cell + ":type")) << cell;
  }
}

// Too long for a cell: cut with one message; the database keeps it whole.
TEST_F(CellTexts, ATextTooLongForACellIsCutAndTheOthersAreWritten) {
  RunResult run;
  Facts f = Convert("huge.dxf", &run);
  EXPECT_EQ("\"before\"", Fact(f, "A1:value"));
  EXPECT_EQ("\"after\"", Fact(f, "C1:value"));
  const std::string cut = Fact(f, "B1:value");
  ASSERT_EQ(32767u + 2, cut.size());
  EXPECT_EQ("\"lorem ipsum dolor", cut.substr(0, 18));
  const std::string said = run.out + run.err;
  const size_t message = said.find("cell $B$1");
  EXPECT_NE(std::string::npos, message) << said;
  EXPECT_EQ(std::string::npos, said.find("cell $", message + 1)) << "one message";
  EXPECT_EQ(std::string::npos, said.find("Unable to set")) << said;

  if (std::system("sqlite3 -version > /dev/null 2>&1") != 0) GTEST_SKIP() << "no sqlite3";
  const std::string db = (dir / "huge.db").string();
  RunResult r = Gridmason(ShellQuote((drawings_->path() / "huge.dxf").string()) + " --db " +
                          ShellQuote(db) + " --table T");
  ASSERT_EQ(0, r.status) << r.out << r.err;
  RunResult q = gm::test::RunCommand(
      "sqlite3 -batch " + ShellQuote(db) + " 'SELECT length(Field2), Field1, Field3 FROM T;'",
      dir.path());
  EXPECT_EQ("100000|before|after\n", q.out) << q.err;
}

}  // namespace
