// The host drawing's selection and walks on small hand-written drawings:
// nested, turned and scaled references measured by what they draw, a block
// that inserts itself, the user system, hidden layers inside blocks, and
// layouts read from the OBJECTS section.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/drawing/dxf_drawing.h"
#include "platform/dxf/reader.h"

namespace {

using gm::drawing::DxfDrawing;
using sds_host::EntityId;

std::string Groups(std::initializer_list<std::pair<int, std::string>> groups) {
  std::string out;
  for (const auto& [code, value] : groups) out += std::to_string(code) + "\n" + value + "\n";
  return out;
}

std::string Line(const std::string& handle, double x1, double y1, double x2, double y2,
                 const std::string& layer = "0") {
  return Groups({{0, "LINE"},
                 {5, handle},
                 {8, layer},
                 {10, std::to_string(x1)},
                 {20, std::to_string(y1)},
                 {11, std::to_string(x2)},
                 {21, std::to_string(y2)}});
}

std::string Insert(const std::string& handle, const std::string& block, double x, double y,
                   double angle = 0, double scale = 1, const std::string& layer = "0") {
  return Groups({{0, "INSERT"},
                 {5, handle},
                 {8, layer},
                 {2, block},
                 {10, std::to_string(x)},
                 {20, std::to_string(y)},
                 {41, std::to_string(scale)},
                 {42, std::to_string(scale)},
                 {50, std::to_string(angle)}});
}

std::string Block(const std::string& handle, const std::string& name, const std::string& body) {
  return Groups({{0, "BLOCK"}, {5, handle}, {8, "0"}, {2, name}, {70, "0"}, {10, "0"}, {20, "0"}}) +
         body + Groups({{0, "ENDBLK"}, {5, handle + "0"}});
}

std::string Layer(const std::string& name, int colour, int flags) {
  return Groups(
      {{0, "LAYER"}, {2, name}, {70, std::to_string(flags)}, {62, std::to_string(colour)}});
}

std::string Section(const std::string& name, const std::string& body) {
  return Groups({{0, "SECTION"}, {2, name}}) + body + Groups({{0, "ENDSEC"}});
}

std::unique_ptr<DxfDrawing> Load(const std::string& header, const std::string& tables,
                                 const std::string& blocks, const std::string& entities,
                                 const std::string& objects = "") {
  std::string text =
      Section("HEADER", header) +
      Section("TABLES", Groups({{0, "TABLE"}, {2, "LAYER"}}) + tables + Groups({{0, "ENDTAB"}})) +
      Section("BLOCKS", blocks) + Section("ENTITIES", entities) +
      (objects.empty() ? "" : Section("OBJECTS", objects)) + Groups({{0, "EOF"}});
  auto loaded = gm::dxf::LoadDrawingFromBuffer(text, "t.dxf");
  EXPECT_TRUE(loaded.ok()) << loaded.status().message();
  if (!loaded.ok()) return nullptr;
  return std::make_unique<DxfDrawing>(std::move(loaded).value(), L"t.dxf");
}

std::vector<EntityId> Window(const DxfDrawing& d, double x1, double y1, double x2, double y2,
                             bool crossing = false) {
  auto found = d.SelectWindow({x1, y1, 0}, {x2, y2, 0}, crossing);
  std::sort(found.begin(), found.end());
  return found;
}

TEST(DrawnExtents, NestedTurnedAndScaledReferencesCountByWhatTheyDraw) {
  // INNER draws 0..10 x 0..5; OUTER holds it at 100,0 turned by 90 degrees
  // and scaled by 2, so it draws 90..100 x 0..20; OUTER is placed at the origin.
  auto d = Load("", "",
                Block("A0", "INNER", Line("A1", 0, 0, 10, 5)) +
                    Block("B0", "OUTER", Insert("B1", "INNER", 100, 0, 90, 2)) +
                    Block("C0", "SELF", Line("C1", 0, 0, 1, 1) + Insert("C2", "SELF", 5, 5)),
                Insert("10", "OUTER", 0, 0) + Insert("11", "SELF", 50, 50));
  ASSERT_TRUE(d);
  EXPECT_EQ(std::vector<EntityId>{0x10}, Window(*d, 89.9, -0.1, 100.1, 20.1));
  EXPECT_TRUE(Window(*d, 89.9, -0.1, 100.1, 19.9).empty()) << "cut by the window's top";
  EXPECT_TRUE(Window(*d, -1, -1, 1, 1).empty()) << "nothing is drawn at the insertion point";
  EXPECT_EQ(std::vector<EntityId>{0x10}, Window(*d, 95, 19, 96, 30, true)) << "crossing its top";
  EXPECT_TRUE(Window(*d, 95, 21, 96, 30, true).empty());
  // A block that inserts itself is measured once: its own line.
  EXPECT_EQ(std::vector<EntityId>{0x11}, Window(*d, 49, 49, 52, 52));
  EXPECT_EQ(0x10, d->PickAt({95, 10, 0})) << "a pick inside the drawn reference";
}

TEST(DrawnExtents, WindowsAreInTheCurrentUserSystem) {
  // The user system is turned by 90 degrees about 10,0.
  auto d = Load(Groups({{9, "$UCSORG"},
                        {10, "10"},
                        {20, "0"},
                        {30, "0"},
                        {9, "$UCSXDIR"},
                        {10, "0"},
                        {20, "1"},
                        {30, "0"},
                        {9, "$UCSYDIR"},
                        {10, "-1"},
                        {20, "0"},
                        {30, "0"}}),
                "", Block("A0", "B", Line("A1", 0, 0, 4, 0)), Insert("10", "B", 10, 2));
  ASSERT_TRUE(d);
  // World 10,2..14,2 is 2,0..2,-4 in the user system.
  EXPECT_EQ(std::vector<EntityId>{0x10}, Window(*d, 1.9, -4.1, 2.1, 0.1));
  EXPECT_TRUE(Window(*d, 9, 1, 15, 3).empty()) << "world corners mean nothing here";
}

TEST(HiddenLayers, LeftOutOfSelectionsWalksAndExtents) {
  auto d = Load("", Layer("OFF", -1, 0) + Layer("FROZEN", 7, 1) + Layer("0", 7, 0),
                Block("A0", "T",
                      Line("A1", 0, 0, 10, 0) + Line("A2", 0, 0, 500, 500, "OFF") +
                          Insert("A3", "T2", 0, 0, 0, 1, "FROZEN") +
                          Groups({{0, "ATTRIB"}, {5, "A4"}, {8, "0"}, {1, "x"}, {40, "1"}}) +
                          Groups({{0, "SEQEND"}, {5, "A5"}, {8, "0"}}) + Line("A6", 0, 1, 10, 1)) +
                    Block("B0", "T2", Line("B1", 0, 0, 1, 1)),
                Insert("10", "T", 0, 0) + Line("11", 0, 0, 1, 1, "OFF") +
                    Insert("12", "T", 0, 0, 0, 1, "FROZEN"));
  ASSERT_TRUE(d);
  EXPECT_EQ(std::vector<EntityId>{0x10}, d->SelectAll());
  EXPECT_EQ(std::vector<EntityId>{0x10}, Window(*d, -1, -1, 11, 2)) << "the off line is not drawn";
  EXPECT_EQ(0, d->SelectHandle(L"11"));
  EXPECT_EQ(0x10, d->SelectHandle(L"10"));
  // A walk through the block passes over the off line and the frozen
  // reference with its attributes; layer 0 follows the reference.
  EntityId header = d->FindTableObject(L"BLOCK", L"T");
  std::vector<EntityId> walk;
  for (EntityId id = d->NextEntity(header); id != 0; id = d->NextEntity(id)) walk.push_back(id);
  EXPECT_EQ((std::vector<EntityId>{0xA1, 0xA6}), walk);
}

// Runs of entities on one layer, its name in any case, and a layer name that looks like a
// handle: each entity is judged by its own layer, whatever came before it.
TEST(HiddenLayers, JudgedPerEntityInRunsOfOneLayer) {
  auto d =
      Load("", Layer("OFF", -1, 0) + Layer("0", 7, 0) + Layer("1F", 7, 1), "",
           Line("20", 0, 0, 1, 1, "off") + Line("21", 0, 0, 1, 1, "off") + Line("22", 0, 0, 1, 1) +
               Line("23", 0, 0, 1, 1) + Line("24", 0, 0, 1, 1, "Off") +
               Line("25", 0, 0, 1, 1, "1F") + Line("26", 0, 0, 1, 1, "1f") +
               Line("27", 0, 0, 1, 1, "OTHER") + Line("28", 0, 0, 1, 1, "OFF"));
  ASSERT_TRUE(d);
  EXPECT_EQ((std::vector<EntityId>{0x22, 0x23, 0x27}), d->SelectAll());
}

// With no layer off or frozen, every entity counts, on a listed layer, one the table lacks or
// none; one hidden layer anywhere in the table brings the per-entity judgement back.
TEST(HiddenLayers, NoneHiddenSelectsEverything) {
  const std::string entities =
      Line("30", 0, 0, 1, 1, "WALLS") + Line("31", 0, 0, 1, 1, "NOWHERE") +
      Groups({{0, "LINE"}, {5, "32"}, {10, "0"}, {20, "0"}, {11, "1"}, {21, "1"}});
  auto shown = Load("", Layer("0", 7, 0) + Layer("WALLS", 3, 0), "", entities);
  ASSERT_TRUE(shown);
  EXPECT_EQ((std::vector<EntityId>{0x30, 0x31, 0x32}), shown->SelectAll());
  auto hidden = Load("", Layer("0", 7, 0) + Layer("WALLS", -3, 0), "", entities);
  ASSERT_TRUE(hidden);
  EXPECT_EQ((std::vector<EntityId>{0x31, 0x32}), hidden->SelectAll());
}

// Entities are found by handle whether their handles ascend without gaps, with gaps, or in no
// order, and from inside blocks.
TEST(Handles, FoundInAnyOrderAndWithGaps) {
  for (const std::vector<std::string>& handles : {std::vector<std::string>{"20", "21", "22", "23"},
                                                  {"20", "2A", "2B", "FFFFFFFF0"},
                                                  {"2B", "20", "FFFFFFFF0", "2A"}}) {
    std::string lines;
    for (const std::string& h : handles) lines += Line(h, 0, 0, 1, 1);
    auto d = Load("", Layer("0", 7, 0), Block("A0", "T", Line("A1", 0, 0, 1, 1)), lines);
    ASSERT_TRUE(d);
    for (const std::string& h : handles) {
      const std::wstring wide(h.begin(), h.end());
      EXPECT_EQ(d->FindByHandle(wide), d->SelectHandle(wide)) << h;
      EXPECT_NE(d->FindByHandle(wide), 0) << h;
      std::wstring type;
      d->ReadEntityType(d->FindByHandle(wide), type);
      EXPECT_EQ(type, L"LINE") << h;
    }
    EXPECT_EQ(d->FindByHandle(L"A1"), 0xA1);
    EXPECT_EQ(d->FindByHandle(L"24"), 0);
    EXPECT_EQ(d->FindByHandle(L"1F"), 0);
    EXPECT_EQ(d->FindByHandle(L"FFFFFFFF1"), 0);
    // A reused text takes the next type whole, and no entity leaves it empty.
    std::wstring type = L"LWPOLYLINE";
    d->ReadEntityType(d->FindByHandle(L"A1"), type);
    EXPECT_EQ(type, L"LINE");
    d->ReadEntityType(0x24, type);
    EXPECT_EQ(type, L"");
  }
}

TEST(Layouts, ReadFromTheObjectsSectionAndMadeCurrent) {
  const std::string layout = Groups({{0, "LAYOUT"},
                                     {5, "50"},
                                     {100, "AcDbPlotSettings"},
                                     {1, "page setup"},
                                     {100, "AcDbLayout"},
                                     {1, "Sheet"},
                                     {71, "1"},
                                     {330, "60"}});
  std::string tables = Groups({{0, "ENDTAB"}, {0, "TABLE"}, {2, "BLOCK_RECORD"}}) +
                       Groups({{0, "BLOCK_RECORD"}, {5, "60"}, {2, "*Paper_Space0"}});
  auto d = Load(
      "", tables,
      Block("A0", "*Paper_Space0", Line("A1", 0, 0, 10, 0)) +
          Block("C0", "X", Line("C1", 0, 0, 1, 0)),
      Line("10", 0, 0, 10, 0) +
          Groups({{0, "LINE"}, {5, "11"}, {67, "1"}, {10, "0"}, {20, "0"}, {11, "1"}, {21, "0"}}),
      layout + Groups({{0, "DICTIONARY"}, {5, "FFF0"}}));
  ASSERT_TRUE(d);
  EXPECT_EQ((std::vector<std::wstring>{L"Model", L"Sheet"}), d->Layouts());
  EXPECT_EQ(std::vector<EntityId>{0x10}, d->SelectAll());
  ASSERT_TRUE(d->SetLayout(L"sheet"));
  EXPECT_EQ(L"Sheet", d->CurrentLayout());
  EXPECT_EQ(std::vector<EntityId>{0xA1}, d->SelectAll());
  EXPECT_EQ(std::vector<EntityId>{0xA1}, Window(*d, -1, -1, 11, 1));
  EXPECT_EQ(0xA1, d->NextEntity(0)) << "a walk starts in the current layout";
  EXPECT_EQ(0, d->SelectHandle(L"10")) << "model space is not on this tab";
  EXPECT_FALSE(d->SetLayout(L"Nowhere"));
  EXPECT_EQ(L"Sheet", d->CurrentLayout());
  ASSERT_TRUE(d->SetLayout(L"MODEL"));
  EXPECT_EQ(0x10, d->NextEntity(0));
}

}  // namespace
