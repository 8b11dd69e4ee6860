// Tables written as plain text and read back by readers nobody here wrote
// (Python's csv and json modules, html.parser, the Markdown pipe form):
// texts that each format must escape survive, merged ranges come back,
// several tables give numbered files, and a failed write keeps the old file.
#include "textout/text_export.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <sstream>

#include "ArxUtils/CellReference.h"
#include "tests/support/test_support.h"
#include "textout/table_text.h"

namespace {

using gm::test::ReadFile;
using gm::test::ShellQuote;
using gm::test::TempDir;
using gm::test::WriteFile;

// rows x columns cells with the given texts; `merge` (like "$A$1:$B$1")
// set on the cells it covers, whose text other than the first's is empty.
CSheetform Table(const std::vector<std::vector<std::wstring>>& texts,
                 const std::wstring& merge = L"") {
  CSheetform table;
  int r1 = 0, c1 = 0, r2 = 0, c2 = 0;
  if (!merge.empty()) {
    ParseRangeStart(merge, r1, c1);
    ParseRangeEnd(merge, r2, c2);
  }
  for (std::size_t r = 0; r < texts.size(); ++r) {
    CSheetformRow row;
    for (std::size_t c = 0; c < texts[r].size(); ++c) {
      CAutoCell cell;
      const int rr = static_cast<int>(r) + 1, cc = static_cast<int>(c) + 1;
      cell.SetAddress(FormatCellAddress(rr, cc));
      const bool inside = rr >= r1 && rr <= r2 && cc >= c1 && cc <= c2;
      cell.SetMergeAddress(inside ? merge : cell.GetAddress());
      cell.SetText(texts[r][c]);
      row.Cells.Add(cell);
    }
    table.Rows.Add(row);
  }
  return table;
}

std::map<std::string, std::string> ReadBack(const std::vector<std::filesystem::path>& files) {
  TempDir out;
  std::string cmd = std::string(gm::test::SystemPython()) + " " +
                    ShellQuote((gm::test::SourceDir() / "tests/hostapp/read_tables.py").string());
  for (const auto& f : files) cmd += " " + ShellQuote(f.string());
  cmd += " > " + ShellQuote((out / "facts.txt").string()) + " 2>&1";
  const int raw = std::system(cmd.c_str());
  const std::string text = ReadFile(out / "facts.txt");
  EXPECT_EQ(0, raw) << text;
  std::map<std::string, std::string> facts;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    const size_t tab = line.find('\t');
    if (tab != std::string::npos) facts[line.substr(0, tab)] = line.substr(tab + 1);
  }
  return facts;
}

TEST(TextExport, TextsEachFormatMustEscapeComeBackUnchanged) {
  const std::vector<std::vector<std::wstring>> texts = {
      {L"a, \"b\"", L"", L"x|y \\ z"},
      {L"<b>&amp;</b>", L"line 1\nline 2", L"\u00e9\u4e2d \U0001F600"},
      {L"=1+1", L"\ttab", L" lead"},
  };
  const CSheetform table = Table(texts, L"$A$1:$B$1");
  TempDir dir;
  std::map<std::string, std::string> expected;
  expected["1.A1"] = "a, \"b\"";
  expected["1.C1"] = "x|y \\ z";
  expected["1.A2"] = "<b>&amp;</b>";
  expected["1.B2"] = "line 1\\nline 2";
  expected["1.C2"] = "\xc3\xa9\xe4\xb8\xad \xf0\x9f\x98\x80";
  expected["1.A3"] = "=1+1";
  expected["1.B3"] = "\ttab";
  expected["1.C3"] = " lead";
  for (const char* name : {"t.csv", "t.json", "t.html", "t.md"}) {
    SCOPED_TRACE(name);
    std::wstring error;
    const auto files = ExportTablesToText({table}, (dir / name).wstring(), error);
    ASSERT_EQ(files.size(), 1u) << std::string(error.begin(), error.end());
    auto facts = ReadBack({dir / name});
    const std::string csv = name;
    if (csv != "t.csv") {
      EXPECT_EQ("A1:B1", facts["1.merged"]);
      facts.erase("1.merged");
    }
    if (csv == "t.md") {
      // The pipe form trims cells, so leading white space cannot survive.
      EXPECT_EQ("tab", facts["1.B3"]);
      EXPECT_EQ("lead", facts["1.C3"]);
      facts["1.B3"] = "\ttab";
      facts["1.C3"] = " lead";
    }
    EXPECT_EQ(expected, facts);
  }
}

TEST(TextExport, SeveralTablesAndTheFailures) {
  TempDir dir;
  const CSheetform one = Table({{L"1"}}), two = Table({{L"2", L"3"}}), empty;
  std::wstring error;
  auto files = ExportTablesToText({one, empty, two}, (dir / "t.md").wstring(), error);
  ASSERT_EQ(files.size(), 2u) << "tables without cells are left out";
  EXPECT_EQ(files[1], (dir / "t-2.md").wstring());
  EXPECT_EQ("3", ReadBack({dir / "t.md", dir / "t-2.md"})["2.B1"]);
  files = ExportTablesToText({one, two}, (dir / "t.JSON").wstring(), error);
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ("2", ReadBack({dir / "t.JSON"})["2.A1"]);

  EXPECT_TRUE(ExportTablesToText({one}, (dir / "t.txt").wstring(), error).empty());
  EXPECT_NE(error.find(L"Cannot tell the format"), std::wstring::npos);
  EXPECT_TRUE(ExportTablesToText({empty}, (dir / "e.csv").wstring(), error).empty());
  EXPECT_NE(error.find(L"No table was recognised"), std::wstring::npos);
  EXPECT_FALSE(std::filesystem::exists(dir / "e.csv"));

  // A file that cannot be replaced stays as it was, with no leftovers.
  std::filesystem::create_directory(dir / "busy.csv");
  WriteFile(dir / "busy.csv" / "inside", "kept");
  EXPECT_TRUE(ExportTablesToText({one}, (dir / "busy.csv").wstring(), error).empty());
  EXPECT_NE(error.find(L"Cannot write"), std::wstring::npos);
  EXPECT_EQ("kept", ReadFile(dir / "busy.csv" / "inside"));
  EXPECT_FALSE(std::filesystem::exists(dir / "busy.csv.part"));

  // When the second of several files cannot be written, the first is not
  // replaced either: no run reports a whole that is half new.
  WriteFile(dir / "p.csv", "old");
  std::filesystem::create_directory(dir / "p-2.csv");
  EXPECT_TRUE(ExportTablesToText({one, two}, (dir / "p.csv").wstring(), error).empty());
  EXPECT_EQ("old", ReadFile(dir / "p.csv"));
  EXPECT_FALSE(std::filesystem::exists(dir / "p.csv.part"));
}

}  // namespace
