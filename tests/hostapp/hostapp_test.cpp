// The host program's pieces: its command line and the menu files.
#include <gtest/gtest.h>

#include "hostapp/menu.h"
#include "hostapp/options.h"
#include "tests/support/test_support.h"

namespace {

using hostapp::ParseArguments;

TEST(HostOptions, DrawingCommandsAndOptions) {
  std::string error;
  auto o = ParseArguments({"--plugin", "p.so", "Table.DXF", "Gridmason_Test", "QUIT"}, error);
  ASSERT_TRUE(o) << error;
  EXPECT_EQ("p.so", o->plugin);
  EXPECT_EQ("Table.DXF", o->drawing);
  EXPECT_EQ((std::vector<std::string>{"Gridmason_Test", "QUIT"}), o->commands);
  o = ParseArguments({"Gridmason_Test"}, error);
  ASSERT_TRUE(o);
  EXPECT_TRUE(o->drawing.empty()) << "a command word is not a drawing";
}

TEST(HostOptions, BadArgumentsNameWhatIsWrong) {
  std::string error;
  EXPECT_FALSE(ParseArguments({"--frobnicate"}, error));
  EXPECT_NE(std::string::npos, error.find("--frobnicate"));
  EXPECT_FALSE(ParseArguments({"--plugin"}, error));
  EXPECT_NE(std::string::npos, error.find("--plugin needs a value"));
}

TEST(HostMenu, MenuLoadStrings) {
  EXPECT_EQ(L"C:/Tools/Gridmason.cui",
            hostapp::ParseMenuLoad(L"(command \"_.menuload\" \"C:/Tools/Gridmason.cui\")(princ)"));
  EXPECT_EQ(L"/a b/m.mns", hostapp::ParseMenuLoad(L"(command \"menuload\" \"/a b/m.mns\")"));
  EXPECT_FALSE(hostapp::ParseMenuLoad(L"(command \"_.line\" \"0,0\")"));
  EXPECT_FALSE(hostapp::ParseMenuLoad(L"menuload x"));
  EXPECT_EQ(L"m.cui", hostapp::ParseMenuLoad(L"  (COMMAND \"MenuLoad\" \"m.cui\") (PRINC) "));
  EXPECT_FALSE(hostapp::ParseMenuLoad(L"(command\"menuload\" \"m.cui\")"));
  EXPECT_FALSE(hostapp::ParseMenuLoad(L"(command \"menuload\" \"m.cui\")(princ) x"));
  EXPECT_FALSE(hostapp::ParseMenuLoad(L"(command \"menuload\" \"m.cui"));
}

using Pairs = std::vector<std::pair<std::wstring, std::wstring>>;

Pairs Items(const hostapp::Menu& menu) {
  Pairs out;
  for (const auto& item : menu.items) out.emplace_back(item.label, item.command);
  return out;
}

TEST(HostMenu, ItemsAreReadAsWrittenAndLookalikesAreSkipped) {
  gm::test::TempDir dir;
  std::wstring error;
  gm::test::WriteFile(dir / "m.cui",
                      "<MenuGroupX Name=\"No\"/><MenuGroup  Name=\"A&amp;B\">\n"
                      "<MacroGroup><Name>skip</Name><Command>^C^CNo</Command></MacroGroup>\n"
                      "<Macro UID=\"1\">\n  <Name>To &lt;sheet&gt;</Name>\n"
                      "  <Command>^C^CLineText2Excel ;</Command></Macro>\n"
                      "<Macro><Name>broken</Name></Macro>\n"
                      "<Macro><Name>Opts</Name><Command>^c^cGridmason_Options</Command></Macro>\n");
  auto cui = hostapp::LoadMenuFile((dir / "m.cui").wstring(), error);
  ASSERT_TRUE(cui);
  EXPECT_EQ(L"A&B", cui->group);
  EXPECT_EQ(Items(*cui),
            (Pairs{{L"To <sheet>", L"LineText2Excel"}, {L"Opts", L"Gridmason_Options"}}));

  gm::test::WriteFile(dir / "m.mns",
                      "***MENUGROUP=G\r\n  ID_One [To a sheet]^C^CBlock2Excel\r\n"
                      "[Bare]^cGridmason_Help\r\n[No macro]\r\nID Two [x]^C^CNo\r\n");
  auto mns = hostapp::LoadMenuFile((dir / "m.mns").wstring(), error);
  ASSERT_TRUE(mns);
  EXPECT_EQ(L"G", mns->group);
  EXPECT_EQ(Items(*mns), (Pairs{{L"To a sheet", L"Block2Excel"}, {L"Bare", L"Gridmason_Help"}}));
}

TEST(HostMenu, TheProjectsMenuFilesListEveryCommand) {
  for (const char* file : {"Gridmason.cui", "Gridmason.mns"}) {
    std::wstring error;
    std::filesystem::path path = gm::test::SourceDir() / "host" / "menu" / file;
    auto menu = hostapp::LoadMenuFile(path.wstring(), error);
    ASSERT_TRUE(menu) << file << ": " << std::string(error.begin(), error.end());
    EXPECT_EQ(L"GRIDMASON", menu->group);
    std::vector<std::wstring> commands;
    for (const auto& item : menu->items) commands.push_back(item.command);
    for (const wchar_t* c :
         {L"LineText2Excel", L"Block2Excel", L"LineText2Access", L"Block2Access", L"LineText2File",
          L"Block2File", L"Gridmason_Options", L"Gridmason_Help", L"Gridmason_Demo",
          L"Gridmason_Website", L"Gridmason_New", L"Gridmason_Faq", L"Gridmason_Support",
          L"Gridmason_Check_Upd", L"Gridmason_About", L"Gridmason_Test"}) {
      EXPECT_NE(commands.end(), std::find(commands.begin(), commands.end(), c)) << file;
    }
  }
}

TEST(HostMenu, BrokenOrMissingFilesSayWhy) {
  gm::test::TempDir dir;
  std::wstring error;
  EXPECT_FALSE(hostapp::LoadMenuFile((dir / "none.cui").wstring(), error));
  EXPECT_EQ(L"no such file", error);
  gm::test::WriteFile(dir / "bad.cui", "<CustSection></CustSection>");
  EXPECT_FALSE(hostapp::LoadMenuFile((dir / "bad.cui").wstring(), error));
  EXPECT_NE(std::wstring::npos, error.find(L"MenuGroup"));
  gm::test::WriteFile(dir / "bad.mns", "***MENUGROUP=X\nno items\n");
  EXPECT_FALSE(hostapp::LoadMenuFile((dir / "bad.mns").wstring(), error));
}

}  // namespace
