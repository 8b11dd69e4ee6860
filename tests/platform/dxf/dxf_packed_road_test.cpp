// Entities packed straight from the file hold exactly what packing their read groups gives.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/dxf/group_list.h"
#include "platform/dxf/group_reader.h"
#include "platform/dxf/record_reader.h"
#include "platform/dxf/text_decoder.h"
#include "platform/dxf/tokenizer.h"
#include "tests/platform/dxf/dxf_test_util.h"

namespace gm::dxf {
namespace {

using test::Concat;
using test::Tags;

std::uint64_t Bits(double d) {
  std::uint64_t b = 0;
  std::memcpy(&b, &d, sizeof b);
  return b;
}

// Every record of bytes by the line of its group 0, each packed from its groups as read one by
// one, with the text decoded as decoder says.
std::map<std::size_t, GroupList> RecordsAsRead(const std::string& bytes,
                                               const TextDecoder& decoder) {
  Tokenizer tokenizer(bytes, "reference");
  EXPECT_TRUE(tokenizer.Start().ok());
  GroupReader groups(tokenizer, decoder, nullptr);
  RecordReader records(groups);
  auto store = std::make_shared<GroupStore>();
  std::map<std::size_t, GroupList> out;
  Record record;
  while (records.Next(&record)) out[record.line] = GroupList(record.groups, store);
  EXPECT_TRUE(records.status().ok()) << records.status().message();
  return out;
}

void ExpectSameLists(const GroupList& want, const GroupList& got, std::size_t line) {
  ASSERT_EQ(want.size(), got.size()) << "entity at line " << line;
  GroupList::Cursor a(want);
  GroupList::Cursor b(got);
  GroupView w;
  GroupView g;
  while (a.Next(&w) && b.Next(&g)) {
    SCOPED_TRACE("entity at line " + std::to_string(line) + ", group " + std::to_string(w.code));
    EXPECT_EQ(w.code, g.code);
    EXPECT_EQ(w.type, g.type);
    EXPECT_EQ(w.is_handle, g.is_handle);
    EXPECT_EQ(w.handle, g.handle);
    EXPECT_EQ(w.text, g.text);
    EXPECT_EQ(Bits(w.real), Bits(g.real));
    EXPECT_EQ(w.integer, g.integer);
    EXPECT_EQ(Bits(w.point.x), Bits(g.point.x));
    EXPECT_EQ(Bits(w.point.y), Bits(g.point.y));
    EXPECT_EQ(Bits(w.point.z), Bits(g.point.z));
  }
}

// Groups of every type and form, as a reader meets them in entities.
Tags EveryKind(const std::string& handle, const std::string& owner) {
  return {{0, "MTEXT"},
          {5, handle},
          {102, "{ACAD_REACTORS"},
          {330, "FF"},  // inside a 102 group: no owner
          {102, "}"},
          {330, owner},
          {100, "AcDbEntity"},
          {67, "1"},
          {8, "Walls"},
          {8, ""},
          {999, "a comment, never kept"},
          {62, "-32768"},
          {70, "65535"},
          {71, "1.0"},  // a flag written as a real
          {90, "4294967295"},
          {160, "-9223372036854775808"},
          {290, "7"},  // any non-zero boolean is true
          {10, "-0.0"},
          {20, "1e-320"},  // denormal
          {30, "-0.0"},
          {11, "0.1"},
          {21, "+2.5"},  // no z: a flat point
          {40, "-0.0"},
          {41, "1.7976931348623157e308"},
          {42, "123456789012345678901234567890"},
          {1,
           "Gr\xC3\xB6\xC3\x9F"
           "e and a \\P break"},
          {1, ""},
          {3, "more contents"},
          {340, " 1f "},  // a reference kept as written
          {1005, "100000000"},
          {1001, "ACAD"},
          {1000, "Walls"},
          {1070, "3"},
          {1071, "-2147483648"},
          {1010, "1"},
          {1020, "2"},
          {1030, "3"},
          {1040, "0.25"}};
}

Tags BlockTags(const std::string& handle, const Tags& entities) {
  return Concat({{{0, "BLOCK"},
                  {5, handle},
                  {8, "0"},
                  {2, "CELL"},
                  {70, "0"},
                  {10, "0"},
                  {20, "0"},
                  {30, "0"}},
                 entities,
                 {{0, "ENDBLK"}, {5, handle + "0"}, {8, "0"}}});
}

// Loads bytes and checks each of its objects against its record packed as read.
void ExpectSameAsRead(const std::string& bytes, const TextDecoder& decoder) {
  auto d = test::Load(bytes);
  ASSERT_TRUE(d.ok()) << d.status().message();
  const auto reference = RecordsAsRead(bytes, decoder);
  std::size_t checked = 0;
  auto check = [&](const Entity& e) {
    ASSERT_TRUE(reference.count(e.line)) << e.line;
    ExpectSameLists(reference.at(e.line), e.groups, e.line);
    ++checked;
  };
  for (const Block& b : d->blocks) {
    check(b.begin);
    for (const Entity& e : b.entities) check(e);
    check(b.end);
  }
  for (const Entity& e : d->entities) check(e);
  EXPECT_EQ(checked, 2 * d->blocks.size() + 4u);
}

TEST(DxfPackedRoad, EntitiesAreWhatTheirReadGroupsPackTo) {
  const Tags blocks =
      Concat({BlockTags("A0", Concat({EveryKind("A1", "A0"), EveryKind("a2", "A0")}))});
  const Tags entities = Concat({EveryKind("B1", "1F"), EveryKind("B2", "1F")});
  const std::string r2010 =
      test::Write(Concat({test::Section("HEADER", {{9, "$ACADVER"}, {1, "AC1024"}}),
                          test::Section("BLOCKS", blocks),
                          test::Section("ENTITIES", entities),
                          {{0, "EOF"}}}));
  ExpectSameAsRead(r2010, TextDecoder::Utf8());

  // R12: no handles or owners, and text in the drawing's code page.
  auto strip = [](Tags tags) {
    Tags out;
    for (const auto& [code, value] : tags) {
      if (code != 5 && code != 330 && code != 100 && code != 102) out.push_back({code, value});
    }
    for (auto& [code, value] : out) {
      if (code == 1 && !value.empty()) value = "\xD8 \xB1\xDF \\P";
    }
    return out;
  };
  const std::string r12 = test::Write(Concat(
      {test::Section("HEADER",
                     {{9, "$ACADVER"}, {1, "AC1009"}, {9, "$DWGCODEPAGE"}, {3, "ANSI_1252"}}),
       test::Section("BLOCKS", strip(blocks)),
       test::Section("ENTITIES", strip(entities)),
       {{0, "EOF"}}}));
  ExpectSameAsRead(r12, TextDecoder::ForCodePage("ANSI_1252"));
}

TEST(DxfPackedRoad, HandlesOwnersAndSpaceAreNotedOnTheWay) {
  const Tags entities = Concat({EveryKind("B1", "1F"),
                                EveryKind("a2", " 2e "),
                                {{0, "LINE"}, {5, "FFFFFFFFFFFFFFFF"}, {330, "1F"}, {8, "0"}}});
  auto d = test::Load(test::Drawing({{9, "$ACADVER"}, {1, "AC1024"}}, entities));
  ASSERT_TRUE(d.ok()) << d.status().message();
  ASSERT_EQ(d->entities.size(), 3u);
  EXPECT_EQ(d->entities[0].handle, 0xB1u);
  EXPECT_EQ(d->entities[0].owner, 0x1Fu);  // not the FF inside the 102 group
  EXPECT_TRUE(d->entities[0].paper_space);
  EXPECT_EQ(d->entities[1].handle, 0xA2u);  // lower case, kept as text in the groups
  EXPECT_EQ(d->entities[1].Text(5), L"a2");
  EXPECT_EQ(d->entities[1].owner, 0x2Eu);
  EXPECT_EQ(d->entities[2].handle, 0xFFFFFFFFFFFFFFFFu);
  EXPECT_FALSE(d->entities[2].paper_space);
  EXPECT_EQ(d->entities[2].type, "LINE");
}

// What one entity's groups said of it is gone when the next begins: a fault, its space, and a
// 102 group it left open.
TEST(DxfPackedRoad, EachEntityStartsWithAFreshHead) {
  const Tags entities = {{0, "LINE"}, {5, "10"}, {330, "zz"}, {67, "1"}, {102, "{ACAD_XDICTIONARY"},
                         {0, "LINE"}, {5, "11"}, {330, "1F"}, {8, "0"},  {0, "LINE"},
                         {8, "0"}};
  auto d = test::Load(test::Drawing({{9, "$ACADVER"}, {1, "AC1024"}}, entities));
  ASSERT_TRUE(d.ok()) << d.status().message();
  ASSERT_EQ(d->entities.size(), 3u);
  EXPECT_TRUE(d->entities[0].paper_space);
  EXPECT_EQ(d->entities[0].owner, 0u);
  EXPECT_FALSE(d->entities[1].paper_space);
  EXPECT_EQ(d->entities[1].owner, 0x1Fu);  // no longer inside the first one's 102 group
  EXPECT_EQ(d->entities[2].owner, 0u);
  EXPECT_NE(d->entities[2].handle, 0x11u);  // a new one, not the last entity's
  std::size_t owner_repairs = 0;
  for (const Repair& r : d->repairs) owner_repairs += r.text.find("owner handle") == 0 ? 1 : 0;
  EXPECT_EQ(owner_repairs, 1u);
}

// Faults found while packing keep their lines, and come in the order a reader meets them: what
// reading an entity's groups finds before what the entity as a whole lacks.
TEST(DxfPackedRoad, FaultsKeepTheirLinesAndOrder) {
  const Tags bad_owner = {{0, "LINE"}, {5, "10"}, {330, "zz"}, {8, "0"}, {1, "\xFF"}, {1, "\xFF"}};
  auto d = test::Load(test::Drawing({{9, "$ACADVER"}, {1, "AC1024"}}, bad_owner));
  ASSERT_TRUE(d.ok()) << d.status().message();
  ASSERT_EQ(d->repairs.size(), 3u);
  EXPECT_EQ(d->repairs[0].line, 24u);  // each bad text, every time it comes
  EXPECT_EQ(d->repairs[1].line, 26u);
  EXPECT_EQ(d->repairs[2].line, 20u);
  EXPECT_EQ(d->repairs[2].text, "owner handle 'zz' is not hexadecimal: ignored");
  EXPECT_EQ(d->entities[0].owner, 0u);

  auto error = [](const Tags& entities) {
    auto r = test::Load(test::Drawing({}, entities));
    return r.ok() ? std::string("loaded") : r.status().message();
  };
  EXPECT_EQ(error({{0, "LINE"}, {5, "XYZ"}, {8, "0"}, {40, "abc"}}),
            "drawing.dxf:12: value 'abc' of group 40 is not a number (a real number)");
  EXPECT_EQ(error({{0, "LINE"}, {5, "1"}, {0, "TEXT"}, {5, "X"}, {10, "1"}, {20, "1e999"}}),
            "drawing.dxf:16: value '1e999' of group 20 is not a finite coordinate");
  EXPECT_EQ(error({{0, "LINE"}, {5, "1"}, {0, "TEXT"}, {8, "0"}, {5, "G1"}}),
            "drawing.dxf:14: handle 'G1' (group 5) of TEXT is not a hexadecimal number");
  EXPECT_EQ(error({{0, "LINE"}, {10, "1"}, {30, "1"}}),
            "drawing.dxf:7: x coordinate group 10 is not followed by its y coordinate (group 20), "
            "but by group 30");
  EXPECT_EQ(error({{0, "LINE"}, {70, "70000"}}),
            "drawing.dxf:8: value '70000' of group 70 is out of range for a 16-bit integer");
}

// An entity's type is its own record's however the types before it ran: repeated, alternating,
// spelled in lower case, behind frames that are no entity, and in records read alternately
// into two records or into a fresh one.
TEST(DxfPackedRoad, EachEntityKeepsItsOwnType) {
  const Tags inner = {{0, "LINE"}, {8, "0"}, {0, "TEXT"}, {8, "0"}, {0, "TEXT"}, {8, "0"}};
  const Tags entities = {{0, "TEXT"}, {8, "0"},    {0, "LINE"}, {8, "0"},    {0, "line"},
                         {8, "0"},    {0, "LINE"}, {8, "0"},    {0, "TEXT"}, {8, "0"}};
  const std::string bytes = test::Write(Concat({test::Section("BLOCKS", BlockTags("A0", inner)),
                                                test::Section("ENTITIES", entities),
                                                {{0, "EOF"}}}));
  auto d = test::Load(bytes);
  ASSERT_TRUE(d.ok()) << d.status().message();
  ASSERT_EQ(d->blocks.size(), 1u);
  EXPECT_EQ(d->blocks[0].begin.type, "BLOCK");
  std::vector<std::string> block_types;
  for (const Entity& e : d->blocks[0].entities) block_types.emplace_back(e.type);
  EXPECT_EQ(block_types, (std::vector<std::string>{"LINE", "TEXT", "TEXT"}));
  EXPECT_EQ(d->blocks[0].end.type, "ENDBLK");
  std::vector<std::string> types;
  for (const Entity& e : d->entities) types.emplace_back(e.type);
  EXPECT_EQ(types, (std::vector<std::string>{"TEXT", "LINE", "LINE", "LINE", "TEXT"}));

  const std::string records_bytes = test::Write(Concat({entities, {{0, "EOF"}}}));
  Tokenizer tokenizer(records_bytes, "two records");
  ASSERT_TRUE(tokenizer.Start().ok());
  GroupReader groups(tokenizer, TextDecoder::Utf8(), nullptr);
  RecordReader records(groups);
  Record a;
  Record b;
  std::vector<std::string> read;
  for (int i = 0; records.Next(i % 3 == 2 ? &b : &a); ++i)
    read.push_back((i % 3 == 2 ? b : a).type);
  Record fresh;
  EXPECT_FALSE(records.Next(&fresh));
  EXPECT_EQ(read, (std::vector<std::string>{"TEXT", "LINE", "LINE", "LINE", "TEXT", "EOF"}));
}

}  // namespace
}  // namespace gm::dxf
