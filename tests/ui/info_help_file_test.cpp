// The help file the build puts beside the plug-ins: a real compiled help
// file that holds the pages, read back with chmlib's own tools.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/win/text.h"
#include "tests/support/test_support.h"
#include "ui/info_commands.h"

namespace {

namespace fs = std::filesystem;
using gm::test::BinDir;
using gm::test::ReadFile;

const char* const kPages[] = {"index.html",       "commands.html", "converting.html",
                              "recognition.html", "options.html",  "excel.html",
                              "database.html",    "host.html",     "support.html"};

TEST(HelpFile, IsACompiledHelpFileBesideThePlugins) {
  fs::path chm = BinDir() / "Gridmason.chm";
  ASSERT_TRUE(fs::exists(chm)) << chm << " was not built";
  EXPECT_TRUE(fs::exists(BinDir() / "OrvaneGridmason2017.so"));
  std::string bytes = ReadFile(chm);
  ASSERT_GE(bytes.size(), 4u);
  EXPECT_EQ(bytes.substr(0, 4), "ITSF");
  // The directory of the file names every page, the contents and the index.
  for (const char* page : kPages) {
    EXPECT_NE(bytes.find(std::string("/") + page), std::string::npos) << page;
  }
  EXPECT_NE(bytes.find("/Gridmason.hhc"), std::string::npos);
  EXPECT_NE(bytes.find("/Gridmason.hhk"), std::string::npos);

  // Where the help command looks for it.
  auto module = reinterpret_cast<HMODULE>(0x7170);
  win::RegisterModuleFileName(
      module, win::Utf8ToWide((BinDir() / "OrvaneGridmason2017.so").string()).c_str());
  EXPECT_EQ(fs::path(win::WideToUtf8(HelpFilePath(module))), BinDir() / "Gridmason.chm");
  win::UnregisterModuleFileName(module);
}

TEST(HelpFile, PagesReadBackWithTheirContent) {
  if (std::system("command -v extract_chmLib > /dev/null 2>&1") != 0) {
    GTEST_SKIP() << "extract_chmLib (Debian: libchm-bin) is not installed";
  }
  gm::test::TempDir out;
  std::string cmd = "extract_chmLib '" + (BinDir() / "Gridmason.chm").string() + "' '" +
                    out.path().string() + "' > /dev/null 2>&1";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  for (const char* page : kPages) {
    ASSERT_TRUE(fs::exists(out / page)) << page;
  }
  // The facts a user comes for.
  struct Fact {
    const char* page;
    const char* text;
  };
  for (const Fact& f :
       {Fact{"commands.html", "LineText2Excel"}, Fact{"commands.html", "Gridmason_Check_Upd"},
        Fact{"options.html", "Ortho tolerance factor"}, Fact{"options.html", "Double line width"},
        Fact{"options.html", "RemoveMiniLine"}, Fact{"recognition.html", "merged cell"},
        Fact{"converting.html", "Select a block reference:"},
        Fact{"database.html", "Row Contains Field Names"}, Fact{"host.html", "--registry DIR"},
        Fact{"support.html", "Sheetform version is current and up-to-date."}}) {
    EXPECT_NE(ReadFile(out / f.page).find(f.text), std::string::npos) << f.page << ": " << f.text;
  }
  std::string contents = ReadFile(out / "Gridmason.hhc");
  for (const char* page : kPages) {
    EXPECT_NE(contents.find(page), std::string::npos) << "contents lack " << page;
  }
}

}  // namespace
