// The real gridmason program converting drawings into .xlsx workbooks, read
// back with openpyxl (Debian's Python): batch conversions with -o, settings
// from the registry file, block references, a session with two conversions,
// and the paths where no workbook can be written.
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <sstream>

#include "tests/support/program_fixture.h"
#include "tests/support/test_support.h"

namespace {

using gm::test::BinDir;
using gm::test::Fact;
using gm::test::ReadFile;
using gm::test::SourceDir;
using gm::test::TempDir;
using gm::test::WriteFile;

using RunResult = gm::test::ProgramRun;

// What read_xlsx.py printed: key -> the fact as JSON.
using Facts = std::map<std::string, std::string>;

class ExcelBatch : public gm::test::DrawingsTest<ExcelBatch> {
 public:
  static constexpr const char* kScript = "tests/hostapp/excel_make_drawings.py";

 protected:
  void Settings(const std::string& values) {
    WriteFile(dir / "HKEY_CURRENT_USER.reg",
              "Windows Registry Editor Version 5.00\n\n"
              "[HKEY_CURRENT_USER\\software\\Orvane\\OrvaneGridmason]\n" +
                  values);
  }

  Facts Read(const std::string& name) { return ReadWorkbook(name); }
};

TEST_F(ExcelBatch, DrawnTableBecomesAWorkbook) {
  RunResult r = Gridmason(Drawing("table.dxf") + " -o out.xlsx");
  ASSERT_EQ(0, r.status) << r.out << r.err;
  EXPECT_NE(std::string::npos, r.out.find("Workbook saved as out.xlsx."));
  Facts f = Read("out.xlsx");
  EXPECT_EQ("[\"Sheet1\"]", Fact(f, "sheets"));
  EXPECT_EQ("[\"A1:B1\"]", Fact(f, "merged")) << "the title spans two columns";
  EXPECT_EQ("\"TITLE\"", Fact(f, "A1:value"));
  EXPECT_EQ("\"Corner\"", Fact(f, "C1:value"));
  EXPECT_EQ("\"Bolt\\nM16\"", Fact(f, "B3:value")) << "the line feed of a two-line text";
  EXPECT_EQ("true", Fact(f, "B3:wrap"));
  EXPECT_EQ("\"007\"", Fact(f, "A3:value")) << "even without the forced text format";
  EXPECT_EQ("90", Fact(f, "C3:rotation")) << "a text turned upward";
  EXPECT_EQ("\"left\"", Fact(f, "A2:halign"));

  // Thin continuous borders on the drawn edges; red where the line is red,
  // no colour for white or layer-coloured lines; none where nothing is drawn.
  EXPECT_EQ("[\"thin\", \"FFFF0000\"]", Fact(f, "A1:bottom"));
  EXPECT_EQ("[\"thin\", \"FFFF0000\"]", Fact(f, "C2:top"));
  EXPECT_EQ("[\"thin\", null]", Fact(f, "A2:bottom")) << "a white line";
  EXPECT_EQ("[\"thin\", null]", Fact(f, "A1:left"));
  EXPECT_EQ("[\"thin\", null]", Fact(f, "B4:bottom"));
  EXPECT_EQ("(none)", Fact(f, "C4:bottom")) << "the bottom line stops short of this cell";
  EXPECT_EQ("(none)", Fact(f, "C4:right"));
  EXPECT_EQ("(none)", Fact(f, "B1:left")) << "inside the merged title";

  // Autofit: widths for the used columns, a taller row for two lines.
  EXPECT_NE("(none)", Fact(f, "width:A"));
  EXPECT_NE("(none)", Fact(f, "width:C"));
  EXPECT_NE("(none)", Fact(f, "height:3"));
}

TEST_F(ExcelBatch, SettingsMoveAndFormatTheTable) {
  Settings(
      "\"StartRow\"=\"3\"\n\"StartCol\"=\"B\"\n\"ForceTextFormat\"=dword:00000001\n"
      "\"ApplyBorderColor\"=dword:00000000\n\"AutofitColumns\"=dword:00000000\n"
      "\"AutofitRows\"=dword:00000000\n");
  RunResult r = Gridmason(Drawing("table.dxf") + " -o moved.xlsx");
  ASSERT_EQ(0, r.status) << r.out << r.err;
  Facts f = Read("moved.xlsx");
  EXPECT_EQ("[\"B3:C3\"]", Fact(f, "merged")) << "shifted to the start cell";
  EXPECT_EQ("\"TITLE\"", Fact(f, "B3:value"));
  EXPECT_EQ("(none)", Fact(f, "A1:value"));
  EXPECT_EQ("\"007\"", Fact(f, "B5:value")) << "text stays text";
  EXPECT_EQ("\"s\"", Fact(f, "B5:type"));
  EXPECT_EQ("\"@\"", Fact(f, "B5:format"));
  EXPECT_EQ("[\"thin\", null]", Fact(f, "B3:bottom")) << "border colours off";
  EXPECT_EQ("(none)", Fact(f, "width:B")) << "no autofit";
  EXPECT_EQ("(none)", Fact(f, "height:5"));
}

TEST_F(ExcelBatch, BlockReferenceByNameOrHandle) {
  RunResult r = Gridmason(Drawing("blocks.dxf") + " --block legend -o legend.xlsx");
  ASSERT_EQ(0, r.status) << r.out << r.err;
  Facts f = Read("legend.xlsx");
  EXPECT_EQ("\"only\"", Fact(f, "A1:value"));
  EXPECT_EQ("(none)", Fact(f, "B1:value"));

  const std::string handle = ReadFile(drawings_->path() / "legend_handle.txt");
  r = Gridmason(Drawing("blocks.dxf") + " --block " + handle + " -o by_handle.xlsx");
  ASSERT_EQ(0, r.status) << r.out << r.err;
  EXPECT_EQ("\"only\"", Fact(Read("by_handle.xlsx"), "A1:value"));

  r = Gridmason(Drawing("blocks.dxf") + " --block BOM -o bom.xlsx");
  ASSERT_EQ(0, r.status) << r.out << r.err;
  f = Read("bom.xlsx");
  EXPECT_EQ("\"A\"", Fact(f, "A1:value"));
  EXPECT_EQ("\"B\"", Fact(f, "B1:value"));
  EXPECT_EQ("\"C\"", Fact(f, "A2:value"));

  r = Gridmason(Drawing("blocks.dxf") + " --block NOSUCH -o none.xlsx");
  EXPECT_EQ(5, r.status);
  EXPECT_NE(std::string::npos, r.err.find("the drawing has no block reference NOSUCH")) << r.err;
  EXPECT_FALSE(std::filesystem::exists(dir / "none.xlsx"));
}

TEST_F(ExcelBatch, TwoConversionsOfOneSessionShareTheSheet) {
  // The right table (2 x 2) goes over the left one (3 x 3) written first.
  std::filesystem::create_directory(dir / "saved");
  WriteFile(dir / "saved" / "Book1.xlsx", "someone's own file");
  RunResult r =
      Gridmason(Drawing("two.dxf") + " --save-dir saved",
                "LineText2Excel\nW -1,-1 31,31\n\nLineText2Excel\nW 99,-1 121,21\n\nquit\n");
  ASSERT_EQ(0, r.status) << r.out << r.err;
  EXPECT_EQ("someone's own file", ReadFile(dir / "saved" / "Book1.xlsx")) << "never replaced";
  EXPECT_NE(std::string::npos, r.out.find("Book1-2.xlsx")) << r.out;
  EXPECT_FALSE(std::filesystem::exists(dir / "saved" / "Book2.xlsx")) << "one workbook";
  Facts f = Read("saved/Book1-2.xlsx");
  EXPECT_EQ("[\"Sheet1\"]", Fact(f, "sheets"));
  EXPECT_EQ("\"R00\"", Fact(f, "A1:value"));
  EXPECT_EQ("\"R11\"", Fact(f, "B2:value"));
  EXPECT_EQ("\"L02\"", Fact(f, "C1:value")) << "the first table's cells beyond the second";
  EXPECT_EQ("\"L22\"", Fact(f, "C3:value"));
}

TEST_F(ExcelBatch, NoSpreadsheetInstalled) {
  RunResult r = Gridmason("--no-excel " + Drawing("table.dxf") + " -o out.xlsx");
  EXPECT_EQ(5, r.status);
  EXPECT_NE(std::string::npos, r.out.find("Invalid class string")) << r.out;
  EXPECT_NE(std::string::npos, r.out.find("Failed to get an instance of Excel!")) << r.out;
  EXPECT_NE(std::string::npos, r.err.find("no workbook was written for out.xlsx")) << r.err;
  EXPECT_FALSE(std::filesystem::exists(dir / "out.xlsx"));
}

TEST_F(ExcelBatch, NoTableNoWorkbook) {
  RunResult r = Gridmason(Drawing("few.dxf") + " -o few.xlsx");
  EXPECT_EQ(5, r.status);
  EXPECT_NE(std::string::npos, r.out.find("horizonal lines must be selected")) << r.out;
  EXPECT_FALSE(std::filesystem::exists(dir / "few.xlsx"));

  RunResult u = Gridmason("-o");
  EXPECT_EQ(2, u.status);
  EXPECT_NE(std::string::npos, u.err.find("-o needs a value"));
  u = Gridmason("-o out.xlsx");
  EXPECT_EQ(2, u.status);
  EXPECT_NE(std::string::npos, u.err.find("-o needs a drawing to convert"));
  u = Gridmason(Drawing("blocks.dxf") + " --block BOM");
  EXPECT_EQ(2, u.status);
  EXPECT_NE(std::string::npos, u.err.find("--block needs -o or --db"));
}

TEST_F(ExcelBatch, OlderBuildWritesTheSameWorkbook) {
  RunResult r = Gridmason("--plugin '" + (BinDir() / "OrvaneGridmason.so").string() + "' " +
                          Drawing("table.dxf") + " -o old.xlsx");
  ASSERT_EQ(0, r.status) << r.out << r.err;
  Facts f = Read("old.xlsx");
  EXPECT_EQ("[\"A1:B1\"]", Fact(f, "merged"));
  EXPECT_EQ("\"Bolt\\nM16\"", Fact(f, "B3:value"));
}

// At a terminal the progress window is one live line; Esc and Ctrl-C cancel
// the write, which keeps the cells written so far, and the session goes on.
TEST_F(ExcelBatch, ProgressLineAtTheTerminalIsCancelledByAKey) {
  for (const char* key : {"esc", "ctrl-c"}) {
    SCOPED_TRACE(key);
    TempDir session;
    const std::string cmd = std::string(gm::test::SystemPython()) + " '" +
                            (SourceDir() / "tests/hostapp/excel_live_progress.py").string() +
                            "' '" + (BinDir() / "gridmason").string() + "' '" +
                            session.path().string() + "' " + key + " > '" +
                            (dir / "terminal.txt").string() + "' 2>&1";
    int raw = std::system(cmd.c_str());
    const std::string shown = ReadFile(dir / "terminal.txt");
    ASSERT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << shown;
    EXPECT_NE(std::string::npos, shown.find("(Esc or Ctrl-C cancels)"));
    EXPECT_NE(std::string::npos, shown.find("\rTable Size: 150 rows X 40 columns ["));
    EXPECT_NE(std::string::npos, shown.find("%\x1b[K")) << "redrawn in place";
    EXPECT_NE(std::string::npos, shown.find("== OrvaneGridmason closed =="));
    EXPECT_NE(std::string::npos, shown.find("Book1.xlsx")) << "the program went on and saved";

    std::filesystem::copy_file(session.path() / "Book1.xlsx", dir / "cancelled.xlsx",
                               std::filesystem::copy_options::overwrite_existing);
    Facts f = Read("cancelled.xlsx");
    int values = 0;
    for (const auto& [name, fact] : f) {
      if (name.size() > 6 && name.compare(name.size() - 6, 6, ":value") == 0) ++values;
    }
    EXPECT_GT(values, 0);
    EXPECT_LT(values, 150 * 40) << "cancelled before the end";
  }
}

}  // namespace
