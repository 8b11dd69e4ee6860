// Workbooks written by the server, saved as .xlsx and read back by openpyxl,
// a reader nobody here wrote; and saves that fail without harm.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdio.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>

#include "platform/win/text.h"
#include "tests/platform/spreadsheet/excel_drivers.h"
#include "tests/support/test_support.h"

namespace gm::test {
namespace {

namespace fs = std::filesystem;
using namespace spreadsheet;

class XlsxReadBack : public SpreadsheetTest {
 protected:
  // key -> JSON text of the fact, as read_xlsx.py prints them. Empty with
  // skip_ set when the reader cannot run.
  std::map<std::string, std::string> ReadBack(const fs::path& file) {
    std::map<std::string, std::string> facts;
    if (access(SystemPython(), X_OK) != 0) {
      skip_ = std::string(SystemPython()) + " is missing";
      return facts;
    }
    const std::string script = (SourceDir() / "tests/platform/spreadsheet/read_xlsx.py").string();
    const std::string command =
        std::string(SystemPython()) + " '" + script + "' '" + file.string() + "'";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
      ADD_FAILURE() << "cannot run " << command;
      return facts;
    }
    std::string output;
    char buffer[4096];
    size_t n = 0;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
    const int rc = pclose(pipe);
    if (WIFEXITED(rc) && WEXITSTATUS(rc) == 3) {
      skip_ = "openpyxl is not installed for " + std::string(SystemPython());
      return facts;
    }
    EXPECT_EQ(rc, 0) << command;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
      const size_t tab = line.find('\t');
      if (tab != std::string::npos) facts[line.substr(0, tab)] = line.substr(tab + 1);
    }
    return facts;
  }

  static std::string Fact(const std::map<std::string, std::string>& facts, const std::string& key) {
    auto it = facts.find(key);
    return it == facts.end() ? "<absent>" : it->second;
  }

  std::string skip_;
  TempDir dir_;
};

TEST_F(XlsxReadBack, WrittenWorkbookReadsBack) {
  Start();
  XlRange a1;
  a1.AttachDispatch(Cell(1, 1));
  a1.SetNumberFormatLocal(COleVariant(L"@"));
  a1.SetValue(COleVariant(L"007"));
  Write(2, 1, L"007");
  Write(3, 1, L"two\nlines");
  XlRange a4;
  a4.AttachDispatch(Cell(4, 1));
  a4.SetFormula(COleVariant(L"=SUM(A2:A2)"));
  XlRange a5;
  a5.AttachDispatch(Cell(5, 1));
  a5.SetValue(COleVariant(true));
  Write(6, 1, L"Gr\u00F6\u00DFe \u00D8 20");

  XlRange b1;
  b1.AttachDispatch(Cell(1, 2));
  SetBorder(b1, xlEdgeRight, xlContinuous, xlThin, 0x0000FF);  // red, 0x00BBGGRR
  SetBorder(b1, xlEdgeBottom, xlContinuous, xlMedium, 0);      // black
  SetBorder(b1, xlEdgeLeft, xlDash, xlThin, std::nullopt);
  SetBorder(b1, xlEdgeTop, xlDouble, xlThick, 0xFF0000);  // blue

  Write(3, 3, L"merged");
  XlRange merge = Area(L"$C$3", L"$D$4");
  merge.Merge(OptionalArg());
  Area(L"$D$4", L"$E$5").Merge(OptionalArg());  // overlaps: one area C3:E5
  XlRange e5;
  e5.AttachDispatch(Cell(5, 5));
  SetBorder(e5, xlEdgeRight, xlContinuous, xlThin, std::nullopt);

  XlRange g1;
  g1.AttachDispatch(Cell(1, 7));
  XlInterior fill;
  fill.AttachDispatch(g1.GetInterior());
  fill.SetColor(COleVariant(0xFF0000L));  // blue
  g1.SetValue(COleVariant(L"up"));
  g1.SetHorizontalAlignment(COleVariant(static_cast<long>(xlCenter)));
  g1.SetVerticalAlignment(COleVariant(static_cast<long>(xlTop)));
  g1.SetOrientation(COleVariant(static_cast<long>(xlUpward)));
  XlRange g2;
  g2.AttachDispatch(Cell(2, 7));
  g2.SetValue(COleVariant(L"down"));
  g2.SetOrientation(COleVariant(static_cast<long>(xlDownward)));
  g2.SetHorizontalAlignment(COleVariant(static_cast<long>(xlRight)));

  XlRange used;
  used.AttachDispatch(sheet.GetUsedRange());
  XlRange columns;
  columns.AttachDispatch(used.GetColumns());
  columns.AutoFit();
  XlRange rows;
  rows.AttachDispatch(used.GetRows());
  rows.AutoFit();

  const fs::path file = dir_ / "table.xlsx";
  SaveStatus status = SaveActiveWorkbook(file);
  ASSERT_TRUE(status.ok()) << win::WideToUtf8(status.message());
  auto facts = ReadBack(file);
  if (!skip_.empty()) GTEST_SKIP() << skip_;

  EXPECT_EQ(Fact(facts, "sheets"), "[\"Sheet1\"]");
  EXPECT_EQ(Fact(facts, "A1:value"), "\"007\"");
  EXPECT_EQ(Fact(facts, "A1:type"), "\"s\"");
  EXPECT_EQ(Fact(facts, "A1:format"), "\"@\"");
  EXPECT_EQ(Fact(facts, "A2:value"), "7");
  EXPECT_EQ(Fact(facts, "A2:type"), "\"n\"");
  EXPECT_EQ(Fact(facts, "A3:value"), "\"two\\nlines\"");
  EXPECT_EQ(Fact(facts, "A3:wrap"), "true");
  EXPECT_EQ(Fact(facts, "A4:value"), "\"=SUM(A2:A2)\"");
  EXPECT_EQ(Fact(facts, "A5:value"), "true");
  EXPECT_EQ(Fact(facts, "A6:value"), "\"Gr\\u00f6\\u00dfe \\u00d8 20\"");

  // Colours come back as ARGB with red where it belongs.
  EXPECT_EQ(Fact(facts, "B1:right"), "[\"thin\", \"FFFF0000\"]");
  EXPECT_EQ(Fact(facts, "B1:bottom"), "[\"medium\", \"FF000000\"]");
  EXPECT_EQ(Fact(facts, "B1:left"), "[\"dashed\", null]");
  EXPECT_EQ(Fact(facts, "B1:top"), "[\"double\", \"FF0000FF\"]");
  // The same lines on the neighbours' sides.
  EXPECT_EQ(Fact(facts, "C1:left"), "[\"thin\", \"FFFF0000\"]");
  EXPECT_EQ(Fact(facts, "B2:top"), "[\"medium\", \"FF000000\"]");
  EXPECT_EQ(Fact(facts, "A1:right"), "[\"dashed\", null]");

  EXPECT_EQ(Fact(facts, "merged"), "[\"C3:E5\"]");
  EXPECT_EQ(Fact(facts, "C3:value"), "\"merged\"");
  // A cell of a merged area keeps its own border, not the top-left's look.
  EXPECT_EQ(Fact(facts, "E5:right"), "[\"thin\", null]");

  EXPECT_EQ(Fact(facts, "G1:fill"), "\"FF0000FF\"");
  EXPECT_EQ(Fact(facts, "G1:halign"), "\"center\"");
  EXPECT_EQ(Fact(facts, "G1:valign"), "\"top\"");
  EXPECT_EQ(Fact(facts, "G1:rotation"), "90");
  EXPECT_EQ(Fact(facts, "G2:rotation"), "180");  // the file's form of -90
  EXPECT_EQ(Fact(facts, "G2:halign"), "\"right\"");

  // Fitted sizes: the column of long texts is wider than that of short
  // ones, the two-line row twice the height of one line.
  ASSERT_NE(Fact(facts, "width:A"), "<absent>");
  ASSERT_NE(Fact(facts, "width:G"), "<absent>");
  EXPECT_GT(std::stod(Fact(facts, "width:A")), std::stod(Fact(facts, "width:G")) + 3);
  EXPECT_EQ(Fact(facts, "height:3"), "30.0");
  EXPECT_DOUBLE_EQ(Sheet().RowHeight(3), 30.0);
}

// Rows of blanks, numbers and plain texts are written by the writer's row
// stream directly, the others through libxlsxwriter's calls: texts that need
// escaping, numbers of every form and rows of both kinds in turn come back
// whole and in order.
TEST_F(XlsxReadBack, RowsOfEveryKindReadBackInOrder) {
  Start();
  Write(1, 1, L"a < b & c > d");
  Write(1, 2, L"  padded  ");
  Write(1, 3, L"-12.5");
  Write(1, 4, L"1E+20");
  Write(1, 5, L"0.000123");
  XlRange a2;
  a2.AttachDispatch(Cell(2, 1));
  a2.SetFormula(COleVariant(L"=1+2"));
  XlRange b2;
  b2.AttachDispatch(Cell(2, 2));
  SetBorder(b2, xlEdgeBottom, xlContinuous, xlThin, std::nullopt);
  Write(3, 1, L"tab\there");
  Write(3, 3, L"carriage\rreturn");
  XlRange d4;
  d4.AttachDispatch(Cell(4, 4));
  SetBorder(d4, xlEdgeLeft, xlContinuous, xlMedium, std::nullopt);
  XlRange a5;
  a5.AttachDispatch(Cell(5, 1));
  a5.SetValue(COleVariant(false));
  Write(6, 2, L"\u20AC last");

  const fs::path file = dir_ / "rows.xlsx";
  SaveStatus status = SaveActiveWorkbook(file);
  ASSERT_TRUE(status.ok()) << win::WideToUtf8(status.message());
  auto facts = ReadBack(file);
  if (!skip_.empty()) GTEST_SKIP() << skip_;

  EXPECT_EQ(Fact(facts, "A1:value"), "\"a < b & c > d\"");
  EXPECT_EQ(Fact(facts, "B1:value"), "\"  padded  \"");
  EXPECT_EQ(Fact(facts, "C1:value"), "-12.5");
  EXPECT_EQ(Fact(facts, "D1:value"), "1e+20");
  EXPECT_EQ(Fact(facts, "E1:value"), "0.000123");
  EXPECT_EQ(Fact(facts, "A2:value"), "\"=1+2\"");
  EXPECT_EQ(Fact(facts, "B2:bottom"), "[\"thin\", null]");
  EXPECT_EQ(Fact(facts, "B3:top"), "[\"thin\", null]");
  EXPECT_EQ(Fact(facts, "A3:value"), "\"tab\\there\"");
  // A control character takes the file format's escape, which spreadsheet
  // programs decode and openpyxl leaves as it is.
  EXPECT_EQ(Fact(facts, "C3:value"), "\"carriage_x000D_return\"");
  EXPECT_EQ(Fact(facts, "C4:right"), "[\"medium\", null]");
  EXPECT_EQ(Fact(facts, "D4:left"), "[\"medium\", null]");
  EXPECT_EQ(Fact(facts, "A5:value"), "false");
  EXPECT_EQ(Fact(facts, "B6:value"), "\"\\u20ac last\"");
}

TEST_F(XlsxReadBack, EveryOpenWorkbookIsSaved) {
  Start();
  Write(1, 1, L"first");
  XlWorkbooks books;
  books.AttachDispatch(app.GetWorkbooks());
  XlWorksheet second;
  second.AttachDispatch(books.Add(OptionalArg()));
  sheet.AttachDispatch(app.GetActiveSheet());
  cells.AttachDispatch(sheet.GetCells());
  Write(1, 1, L"second");
  SaveStatus status = SaveAll(dir_.path());
  ASSERT_TRUE(status.ok()) << win::WideToUtf8(status.message());
  auto first = ReadBack(dir_ / "Book1.xlsx");
  if (!skip_.empty()) GTEST_SKIP() << skip_;
  EXPECT_EQ(Fact(first, "A1:value"), "\"first\"");
  EXPECT_EQ(Fact(ReadBack(dir_ / "Book2.xlsx"), "A1:value"), "\"second\"");
}

// ---------------------------------------------------------------------------
// Saves that fail.

std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST_F(XlsxReadBack, FullDiskLeavesTheOldFileIntact) {
  Start();
  Write(1, 1, L"old");
  const fs::path file = dir_ / "table.xlsx";
  ASSERT_TRUE(SaveActiveWorkbook(file).ok());
  const std::string before = ReadFile(file);
  for (int row = 2; row < 400; ++row) Write(row, 1, L"a much larger workbook than before");

  // A file size limit stands in for a full disk: writes beyond it fail.
  struct rlimit old_limit {};
  ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &old_limit));
  auto old_handler = signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old_limit;
  small.rlim_cur = 2048;
  ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &small));
  SaveStatus status = SaveActiveWorkbook(file);
  setrlimit(RLIMIT_FSIZE, &old_limit);
  signal(SIGXFSZ, old_handler);

  EXPECT_FALSE(status.ok());
  EXPECT_NE(status.message().find(L"table.xlsx"), std::wstring::npos)
      << win::WideToUtf8(status.message());
  EXPECT_EQ(ReadFile(file), before);
  EXPECT_EQ(Names(dir_.path()), std::vector<std::string>{"table.xlsx"});
  // With room again the save succeeds.
  ASSERT_TRUE(SaveActiveWorkbook(file).ok());
  EXPECT_NE(ReadFile(file), before);
}

TEST_F(XlsxReadBack, BadTargetsAreReported) {
  SaveStatus none = SaveActiveWorkbook(dir_ / "x.xlsx");
  EXPECT_FALSE(none.ok());
  EXPECT_EQ(none.message(), L"No workbook is open to be saved.");
  Start();
  Write(1, 1, L"x");
  SaveStatus missing = SaveActiveWorkbook(dir_ / "no-such-folder" / "x.xlsx");
  EXPECT_FALSE(missing.ok());
  EXPECT_NE(missing.message().find(L"the folder does not exist"), std::wstring::npos);
  fs::create_directory(dir_ / "taken.xlsx");
  EXPECT_FALSE(SaveActiveWorkbook(dir_ / "taken.xlsx").ok());
  EXPECT_TRUE(fs::is_directory(dir_ / "taken.xlsx"));
  EXPECT_EQ(Names(dir_.path()), std::vector<std::string>{"taken.xlsx"});
}

TEST_F(XlsxReadBack, UnwritableFolderLeavesTheOldFileIntact) {
  Start();
  Write(1, 1, L"old");
  const fs::path folder = dir_ / "locked";
  fs::create_directory(folder);
  ASSERT_TRUE(SaveActiveWorkbook(folder / "t.xlsx").ok());
  const std::string before = ReadFile(folder / "t.xlsx");
  Write(1, 1, L"new");
  chmod(dir_.path().c_str(), 0755);
  chmod(folder.c_str(), 0555);
  bool failed = false;
  if (geteuid() == 0) {
    // Permissions do not bind the superuser: save as an ordinary user.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      if (setuid(65534) != 0) _exit(2);
      SaveStatus status = SaveActiveWorkbook(folder / "t.xlsx");
      _exit(status.ok() ? 0 : 1);
    }
    int rc = 0;
    waitpid(child, &rc, 0);
    ASSERT_TRUE(WIFEXITED(rc));
    ASSERT_NE(WEXITSTATUS(rc), 2) << "cannot become an ordinary user";
    failed = WEXITSTATUS(rc) == 1;
  } else {
    SaveStatus status = SaveActiveWorkbook(folder / "t.xlsx");
    failed = !status.ok();
    EXPECT_NE(status.message().find(L"no file can be made"), std::wstring::npos);
  }
  chmod(folder.c_str(), 0700);
  EXPECT_TRUE(failed);
  EXPECT_EQ(ReadFile(folder / "t.xlsx"), before);
  EXPECT_EQ(Names(folder), std::vector<std::string>{"t.xlsx"});
}

}  // namespace
}  // namespace gm::test
