// The real gridmason program picking tables as a CAD user does: windows and
// crossings by what is drawn, hidden layers left out, layouts, native table
// objects, and the batch checks that run before any work. Drawings come from
// ezdxf; workbooks are read back with openpyxl.
#include <sys/wait.h>

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
using gm::test::SourceDir;
using gm::test::TempDir;
using gm::test::WriteFile;

using RunResult = gm::test::ProgramRun;
using Facts = std::map<std::string, std::string>;

class Selection : public gm::test::DrawingsTest<Selection> {
 public:
  static constexpr const char* kScript = "tests/hostapp/selection_make_drawings.py";

 protected:
  // Every cell value of a workbook ("A1" -> "\"Pos\"").
  Facts Values(const std::string& name) {
    const std::string suffix = ":value";
    Facts values;
    for (const auto& [key, fact] : ReadWorkbook(name)) {
      if (key.size() < suffix.size() ||
          key.compare(key.size() - suffix.size(), suffix.size(), suffix) != 0) {
        continue;
      }
      values[key.substr(0, key.size() - suffix.size())] = fact;
    }
    return values;
  }

  // The 3 x 3 table the fixture draws, from A1.
  static Facts TheTable() {
    return {{"A1", "\"Pos\""}, {"B1", "\"Name\""}, {"C1", "\"Qty\""},
            {"A2", "1"},       {"B2", "\"Bolt\""}, {"C2", "4"},
            {"A3", "2"},       {"B3", "\"Nut\""},  {"C3", "8"}};
  }

  static std::string Show(const Facts& f) {
    std::string s;
    for (const auto& [k, v] : f) s += k + "=" + v + " ";
    return s;
  }
};

TEST_F(Selection, WindowAndCrossingTakeWhatIsDrawn) {
  // Exactly around the table of a reference at the origin: that reference
  // only, not the one at the origin whose block draws far away.
  RunResult r = Gridmason(Drawing("blockref.dxf") + " --window 0,0,60,30 -o w.xlsx");
  ASSERT_EQ(0, r.status) << r.out << r.err;
  EXPECT_NE(std::string::npos, r.out.find("1 found")) << r.out;
  EXPECT_EQ(Show(TheTable()), Show(Values("w.xlsx")));

  // A crossing through the frame's left edge takes the whole reference.
  r = Gridmason(Drawing("blockref.dxf") + " --crossing -5,12,3,14 -o c.xlsx");
  ASSERT_EQ(0, r.status) << r.out << r.err;
  EXPECT_NE(std::string::npos, r.out.find("1 found")) << r.out;
  EXPECT_EQ(Show(TheTable()), Show(Values("c.xlsx")));

  // The same window for a database export.
  r = Gridmason(Drawing("blockref.dxf") + " --window 0,0,60,30 --db t.sqlite --table T");
  ASSERT_EQ(0, r.status) << r.out << r.err;
  EXPECT_NE(std::string::npos, r.out.find("W 0,0 60,30\n1 found")) << r.out;

  // The same window one unit smaller cuts the frame: a window takes nothing of it.
  r = Gridmason(Drawing("blockref.dxf") + " --window 0,0,59,30 -o none.xlsx");
  EXPECT_NE(std::string::npos, r.out.find("0 found")) << r.out;
}

TEST_F(Selection, NothingSelectedSaysSo) {
  // A tiny window at the origin: the references there draw far beyond it.
  RunResult r = Gridmason(Drawing("blockref.dxf") + " --window -1,-1,1,1 -o none.xlsx");
  EXPECT_EQ(5, r.status) << r.out << r.err;
  EXPECT_NE(std::string::npos, r.out.find("0 found")) << r.out;
  EXPECT_NE(std::string::npos, r.out.find("More than two horizonal lines must be selected"))
      << r.out;
  EXPECT_FALSE(std::filesystem::exists(dir / "none.xlsx"));
  // Only a reference on a frozen layer inside the window.
  r = Gridmason(Drawing("blockref.dxf") + " --crossing 190,-10,270,40 -o frozen.xlsx");
  EXPECT_EQ(5, r.status) << r.out << r.err;
  EXPECT_NE(std::string::npos, r.out.find("More than two horizonal lines must be selected"))
      << r.out;
}

TEST_F(Selection, HiddenLayersAreNeitherSelectedNorRead) {
  // ALL: the frozen reference is not taken, and inside the visible one the
  // lines and text on the off and frozen layers split no cell.
  RunResult r = Gridmason(Drawing("blockref.dxf") + " --window -10,-10,70,40 -o all.xlsx");
  ASSERT_EQ(0, r.status) << r.out << r.err;
  Facts f = Values("all.xlsx");
  EXPECT_EQ(Show(TheTable()), Show(f));
  // By handle at the prompt: the frozen reference is not found.
  r = Gridmason(Drawing("blockref.dxf") + " --save-dir .", "LineText2Excel\nALL\n\nquit\n");
  EXPECT_NE(std::string::npos, r.out.find("3 found")) << "two references and a line: " << r.out;
}

TEST_F(Selection, JustifiedTextsAreTakenWhereTheyAreDrawn) {
  RunResult r = Gridmason(Drawing("justified.dxf") + " --window 0,0,60,30 -o j.xlsx");
  ASSERT_EQ(0, r.status) << r.out << r.err;
  EXPECT_EQ(Show(TheTable()), Show(Values("j.xlsx")));
}

TEST_F(Selection, LayoutsHoldTitleBlocks) {
  // The active layout's reference, with its attribute, by --layout and --block.
  RunResult r = Gridmason(Drawing("layouts.dxf") + " --layout layout1 --block TITLE -o a.xlsx");
  ASSERT_EQ(0, r.status) << r.out << r.err;
  Facts f = Values("a.xlsx");
  EXPECT_EQ("\"Pos\"", f["A1"]) << Show(f);
  EXPECT_EQ("\"Nut\"", f["B3"]) << Show(f);
  EXPECT_NE(std::string::npos, Show(f).find("Alpha")) << "the attribute: " << Show(f);
  // Another layout's own block, selected by a window there.
  r = Gridmason(Drawing("layouts.dxf") + " --layout Sheet --window 300,300,360,330 -o s.xlsx");
  ASSERT_EQ(0, r.status) << r.out << r.err;
  EXPECT_EQ(Show(TheTable()), Show(Values("s.xlsx")));
  // Model space has no title block; without --layout the one on a tab is found.
  r = Gridmason(Drawing("layouts.dxf") + " --layout Model --block TITLE -o m.xlsx");
  EXPECT_EQ(5, r.status) << r.out << r.err;
  EXPECT_NE(std::string::npos, r.err.find("no block reference TITLE")) << r.err;
  r = Gridmason(Drawing("layouts.dxf") + " --block TITLE -o any.xlsx");
  ASSERT_EQ(0, r.status) << r.out << r.err;
  EXPECT_NE(std::string::npos, r.out.find("is in layout Layout1")) << r.out;
  r = Gridmason(Drawing("layouts.dxf") + " --layout Nowhere --block TITLE -o x.xlsx");
  EXPECT_EQ(2, r.status) << r.out << r.err;
  EXPECT_NE(std::string::npos, r.err.find("no layout \"Nowhere\"")) << r.err;

  // At the command line: LAYOUT lists the tabs, LAYOUT NAME switches, and the
  // prompt's W alone asks for the corners one by one.
  r = Gridmason(Drawing("layouts.dxf") + " --save-dir .",
                "LAYOUT\nLAYOUT Sheet\nLineText2Excel\nW\n300,300\n360,330\n\nquit\n");
  ASSERT_EQ(0, r.status) << r.out << r.err;
  EXPECT_NE(std::string::npos, r.out.find("Layouts:\n  Model (current)\n  Layout1\n  Sheet"))
      << r.out;
  EXPECT_NE(std::string::npos, r.out.find("Current layout: Sheet.")) << r.out;
  EXPECT_NE(std::string::npos, r.out.find("Specify first corner:")) << r.out;
  EXPECT_NE(std::string::npos, r.out.find("Specify opposite corner:")) << r.out;
  EXPECT_EQ(Show(TheTable()), Show(Values("Book1.xlsx")));
}

TEST_F(Selection, NativeTableConvertsAsItsDrawnTwin) {
  RunResult drawn = Gridmason(Drawing("drawn_table.dxf") + " -o drawn.xlsx");
  ASSERT_EQ(0, drawn.status) << drawn.out << drawn.err;
  RunResult native = Gridmason(Drawing("acad_table.dxf") + " --window 90,40,170,90 -o native.xlsx");
  ASSERT_EQ(0, native.status) << native.out << native.err;
  EXPECT_NE(std::string::npos, native.out.find("1 found")) << native.out;
  EXPECT_EQ(Show(TheTable()), Show(Values("drawn.xlsx")));
  EXPECT_EQ(Show(Values("drawn.xlsx")), Show(Values("native.xlsx")));
}

TEST_F(Selection, OutputFoldersAreCheckedBeforeAnyWork) {
  RunResult r = Gridmason(Drawing("blockref.dxf") + " -o missing/out.xlsx");
  EXPECT_EQ(2, r.status) << r.out << r.err;
  EXPECT_NE(std::string::npos, r.err.find("missing does not exist")) << r.err;
  EXPECT_EQ(std::string::npos, r.out.find("Command:")) << "nothing ran: " << r.out;
  r = Gridmason(Drawing("blockref.dxf") + " --save-dir nowhere", "quit\n");
  EXPECT_EQ(2, r.status) << r.out << r.err;
  EXPECT_NE(std::string::npos, r.err.find("nowhere does not exist")) << r.err;
  WriteFile(dir / "file", "x");
  r = Gridmason(Drawing("blockref.dxf") + " --save-dir file", "quit\n");
  EXPECT_EQ(2, r.status) << r.out << r.err;
  EXPECT_NE(std::string::npos, r.err.find("is not a folder")) << r.err;
  r = Gridmason(Drawing("blockref.dxf") + " --window 1,2,3 -o o.xlsx");
  EXPECT_EQ(2, r.status) << r.out << r.err;
  EXPECT_NE(std::string::npos, r.err.find("four numbers")) << r.err;
}

TEST_F(Selection, SettingsSavedByTheRegistryEditorAreRead) {
  const std::string text =
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_CURRENT_USER\\software\\Orvane\\OrvaneGridmason]\r\n"
      "\"StartRow\"=\"3\"\r\n\"StartCol\"=\"B\"\r\n";
  std::string bytes = "\xFF\xFE";
  for (char c : text) {
    bytes.push_back(c);
    bytes.push_back('\0');
  }
  WriteFile(dir / "HKEY_CURRENT_USER.reg", bytes);
  RunResult r = Gridmason(Drawing("drawn_table.dxf") + " -o moved.xlsx");
  ASSERT_EQ(0, r.status) << r.out << r.err;
  Facts f = Values("moved.xlsx");
  EXPECT_EQ("\"Pos\"", f["B3"]) << Show(f);
  EXPECT_EQ("8", f["D5"]) << Show(f);
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    EXPECT_EQ(std::string::npos, entry.path().filename().string().find("damaged"))
        << "the file was not moved aside: " << entry.path();
  }
}

}  // namespace
