#include "platform/dxf/reader.h"

#include <gtest/gtest.h>

#include <clocale>
#include <set>
#include <string>

#include "platform/dxf/text_decoder.h"
#include "tests/platform/dxf/dxf_test_util.h"
#include "tests/support/test_support.h"

namespace gm::dxf {
namespace {

using test::Concat;
using test::Line;
using test::Load;
using test::Section;
using test::Tags;
using test::Write;

// An R2000-style drawing with a bit of everything the reader keeps and skips.
std::string FullDrawing(const std::string& acadver = "AC1015",
                        const std::string& codepage = "ANSI_1252") {
  const Tags header = {
      {9, "$ACADVER"}, {1, acadver},   {9, "$DWGCODEPAGE"}, {3, codepage},    {9, "$INSBASE"},
      {10, "1"},       {20, "2"},      {30, "3"},           {9, "$EXTMIN"},   {10, "-5"},
      {20, "-6"},      {30, "0"},      {9, "$EXTMAX"},      {10, "500"},      {20, "400"},
      {30, "0"},       {9, "$UCSORG"}, {10, "10"},          {20, "20"},       {30, "0"},
      {9, "$UCSXDIR"}, {10, "0"},      {20, "1"},           {30, "0"},        {9, "$UCSYDIR"},
      {10, "-1"},      {20, "0"},      {30, "0"},           {9, "$HANDSEED"}, {5, "300"}};
  const Tags classes = {{0, "CLASS"}, {1, "ACDBDICTIONARYWDFLT"}, {90, "0"}};
  const Tags tables = {{0, "TABLE"},
                       {2, "LAYER"},
                       {5, "2"},
                       {70, "2"},
                       {0, "LAYER"},
                       {5, "10"},
                       {2, "0"},
                       {70, "0"},
                       {62, "7"},
                       {6, "CONTINUOUS"},
                       {0, "LAYER"},
                       {5, "11"},
                       {2, "Frame"},
                       {70, "4"},
                       {62, "-3"},
                       {6, "CONTINUOUS"},
                       {0, "ENDTAB"},
                       {0, "TABLE"},
                       {2, "STYLE"},
                       {5, "3"},
                       {0, "STYLE"},
                       {5, "12"},
                       {2, "ArialStyle"},
                       {70, "0"},
                       {40, "2.5"},
                       {41, "0.8"},
                       {50, "15"},
                       {3, "arial.ttf"},
                       {4, ""},
                       {1001, "ACAD"},
                       {1000, "Arial"},
                       {1071, "0"},
                       {0, "ENDTAB"},
                       {0, "TABLE"},
                       {2, "UCS"},
                       {5, "4"},
                       {0, "UCS"},
                       {5, "13"},
                       {2, "Tilted"},
                       {70, "0"},
                       {10, "10"},
                       {20, "20"},
                       {30, "0"},
                       {11, "0"},
                       {21, "1"},
                       {31, "0"},
                       {12, "-1"},
                       {22, "0"},
                       {32, "0"},
                       {0, "ENDTAB"},
                       {0, "TABLE"},
                       {2, "DIMSTYLE"},
                       {5, "5"},
                       {0, "DIMSTYLE"},
                       {105, "14"},
                       {2, "Standard"},
                       {5, "ARROWBLOCK"},
                       {0, "ENDTAB"},
                       {0, "TABLE"},
                       {2, "BLOCK_RECORD"},
                       {5, "6"},
                       {0, "BLOCK_RECORD"},
                       {5, "15"},
                       {2, "*Model_Space"},
                       {0, "BLOCK_RECORD"},
                       {5, "16"},
                       {2, "CELL"},
                       {0, "ENDTAB"}};
  const Tags blocks = {
      {0, "BLOCK"}, {5, "20"}, {330, "16"}, {8, "0"},      {2, "CELL"},   {70, "2"}, {10, "5"},
      {20, "6"},    {30, "0"}, {3, "CELL"}, {0, "LINE"},   {5, "21"},     {8, "0"},  {10, "0"},
      {20, "0"},    {11, "1"}, {21, "0"},   {0, "ATTDEF"}, {5, "22"},     {10, "0"}, {20, "0"},
      {40, "1"},    {1, ""},   {2, "TAG"},  {3, "Prompt"}, {0, "ENDBLK"}, {5, "23"}, {8, "0"}};
  const Tags entities = {{0, "LINE"},
                         {5, "30"},
                         {102, "{ACAD_REACTORS"},
                         {330, "99"},
                         {102, "}"},
                         {330, "1F"},
                         {8, "Frame"},
                         {10, "0"},
                         {20, "0"},
                         {30, "0"},
                         {11, "100"},
                         {21, "0"},
                         {31, "0"},
                         {0, "line"},
                         {5, "31"},
                         {67, "1"},
                         {8, "0"},
                         {10, "1"},
                         {20, "1"},
                         {11, "2"},
                         {21, "2"},
                         {0, "INSERT"},
                         {5, "32"},
                         {66, "1"},
                         {2, "CELL"},
                         {10, "50"},
                         {20, "60"},
                         {0, "ATTRIB"},
                         {5, "33"},
                         {10, "51"},
                         {20, "61"},
                         {40, "1"},
                         {1, "value"},
                         {2, "TAG"},
                         {0, "SEQEND"},
                         {5, "34"},
                         {0, "POLYLINE"},
                         {5, "35"},
                         {66, "1"},
                         {10, "0"},
                         {20, "0"},
                         {30, "0"},
                         {70, "1"},
                         {0, "VERTEX"},
                         {5, "36"},
                         {10, "0"},
                         {20, "0"},
                         {0, "VERTEX"},
                         {5, "37"},
                         {10, "5"},
                         {20, "0"},
                         {0, "SEQEND"},
                         {5, "38"},
                         {0, "ACAD_PROXY_ENTITY"},
                         {5, "39"},
                         {90, "498"},
                         {310, "0A0B0C"},
                         {0, "WHATEVER_THIS_IS"},
                         {5, "3A"},
                         {1, "unknown"}};
  const Tags objects = {{0, "DICTIONARY"}, {5, "C"},   {330, "0"},
                        {0, "XRECORD"},    {5, "400"}, {1, "anything"}};
  const Tags thumbnail = {{90, "3"}, {310, "414243"}};
  return Write(Concat({Section("HEADER", header),
                       Section("CLASSES", classes),
                       Section("TABLES", tables),
                       Section("BLOCKS", blocks),
                       Section("ENTITIES", entities),
                       Section("OBJECTS", objects),
                       Section("THUMBNAILIMAGE", thumbnail),
                       {{0, "EOF"}}}));
}

TEST(DxfReader, HeaderVariables) {
  auto d = Load(FullDrawing());
  ASSERT_TRUE(d.ok()) << d.status().message();
  EXPECT_EQ(d->source, "drawing.dxf");
  EXPECT_EQ(d->AcadVersion(), "AC1015");
  EXPECT_EQ(d->CodePage(), L"ANSI_1252");
  EXPECT_EQ(d->encoding, "CP1252");
  EXPECT_EQ(d->InsBase(), (Point3{1, 2, 3}));
  EXPECT_EQ(d->UcsOrg(), (Point3{10, 20, 0}));
  EXPECT_EQ(d->UcsXDir(), (Point3{0, 1, 0}));
  EXPECT_EQ(d->UcsYDir(), (Point3{-1, 0, 0}));
  ASSERT_TRUE(d->ExtMin().has_value());
  EXPECT_EQ(*d->ExtMin(), (Point3{-5, -6, 0}));
  EXPECT_EQ(*d->ExtMax(), (Point3{500, 400, 0}));
  ASSERT_EQ(d->header.size(), 9u);
  EXPECT_EQ(d->header[0].name, "$ACADVER");
  const HeaderVariable* seed = d->FindHeader("$handseed");
  ASSERT_NE(seed, nullptr);
  ASSERT_EQ(seed->groups.size(), 1u);
  EXPECT_EQ(seed->groups[0].code(), 5);
  EXPECT_EQ(seed->groups[0].text(), L"300");
}

TEST(DxfReader, HeaderDefaultsWhenAbsent) {
  auto d = Load(test::Drawing({}, Line("", 0, 0, 1, 1)));
  ASSERT_TRUE(d.ok()) << d.status().message();
  EXPECT_EQ(d->AcadVersion(), "AC1009");
  EXPECT_EQ(d->CodePage(), L"");
  EXPECT_EQ(d->encoding, "CP1252");
  EXPECT_EQ(d->InsBase(), (Point3{}));
  EXPECT_EQ(d->UcsXDir(), (Point3{1, 0, 0}));
  EXPECT_EQ(d->UcsYDir(), (Point3{0, 1, 0}));
  EXPECT_FALSE(d->ExtMin().has_value());
}

TEST(DxfReader, Tables) {
  auto d = Load(FullDrawing());
  ASSERT_TRUE(d.ok()) << d.status().message();
  ASSERT_EQ(d->tables.size(), 5u);
  EXPECT_EQ(d->tables[0].name, "LAYER");
  EXPECT_EQ(d->tables[0].header.handle, 2u);
  ASSERT_EQ(d->layers.size(), 2u);
  const Layer* frame = d->FindLayer(L"FRAME");
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(frame->name, L"Frame");
  EXPECT_EQ(frame->colour, -3);
  EXPECT_EQ(frame->flags, 4);
  EXPECT_EQ(frame->handle, 0x11u);

  ASSERT_EQ(d->styles.size(), 1u);
  const TextStyle& s = d->styles[0];
  EXPECT_EQ(s.name, L"ArialStyle");
  EXPECT_EQ(s.font_file, L"arial.ttf");
  EXPECT_EQ(s.big_font_file, L"");
  EXPECT_EQ(s.fixed_height, 2.5);
  EXPECT_EQ(s.width_factor, 0.8);
  EXPECT_EQ(s.oblique_angle, 15.0);
  EXPECT_EQ(s.font_family, L"Arial");
  EXPECT_EQ(s.handle, 0x12u);

  ASSERT_EQ(d->ucs_entries.size(), 1u);
  EXPECT_EQ(d->ucs_entries[0].name, L"Tilted");
  EXPECT_EQ(d->ucs_entries[0].origin, (Point3{10, 20, 0}));
  EXPECT_EQ(d->ucs_entries[0].x_axis, (Point3{0, 1, 0}));
  EXPECT_EQ(d->ucs_entries[0].y_axis, (Point3{-1, 0, 0}));

  ASSERT_EQ(d->block_records.size(), 2u);
  EXPECT_EQ(d->block_records[1].name, L"CELL");
  EXPECT_EQ(d->block_records[1].handle, 0x16u);
  ASSERT_NE(d->FindBlockRecord(L"*model_space"), nullptr);

  // A DIMSTYLE's handle is its group 105; its group 5 (an arrow block in R12) stays text.
  const SymbolTable* dimstyles = d->FindTable("DIMSTYLE");
  ASSERT_NE(dimstyles, nullptr);
  ASSERT_EQ(dimstyles->entries.size(), 1u);
  EXPECT_EQ(dimstyles->entries[0].handle, 0x14u);
  EXPECT_EQ(dimstyles->entries[0].Text(5), L"ARROWBLOCK");
}

TEST(DxfReader, Blocks) {
  auto d = Load(FullDrawing());
  ASSERT_TRUE(d.ok()) << d.status().message();
  ASSERT_EQ(d->blocks.size(), 1u);
  const Block* b = d->FindBlock(L"cell");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->name, L"CELL");
  EXPECT_EQ(b->base, (Point3{5, 6, 0}));
  EXPECT_EQ(b->flags, 2);
  EXPECT_EQ(b->handle, 0x20u);
  EXPECT_EQ(b->begin.type, "BLOCK");
  EXPECT_EQ(b->begin.owner, 0x16u);
  EXPECT_EQ(b->end.type, "ENDBLK");
  EXPECT_EQ(b->end.handle, 0x23u);
  ASSERT_EQ(b->entities.size(), 2u);
  EXPECT_EQ(b->entities[0].type, "LINE");
  EXPECT_EQ(b->entities[1].type, "ATTDEF");
  EXPECT_EQ(b->entities[1].Text(2), L"TAG");
}

TEST(DxfReader, EntitiesInFileOrderWithTheirGroups) {
  auto d = Load(FullDrawing());
  ASSERT_TRUE(d.ok()) << d.status().message();
  std::vector<std::string> types;
  for (const Entity& e : d->entities) types.emplace_back(e.type);
  EXPECT_EQ(types, (std::vector<std::string>{"LINE", "LINE", "INSERT", "ATTRIB", "SEQEND",
                                             "POLYLINE", "VERTEX", "VERTEX", "SEQEND",
                                             "ACAD_PROXY_ENTITY", "WHATEVER_THIS_IS"}));
  const Entity& line = d->entities[0];
  EXPECT_EQ(line.handle, 0x30u);
  EXPECT_EQ(line.owner, 0x1Fu);  // not the reactor inside the 102 group
  EXPECT_FALSE(line.paper_space);
  ASSERT_EQ(line.groups.size(), 9u);  // x, y and z are one group
  EXPECT_EQ(line.groups[0].code(), 0);
  EXPECT_EQ(line.groups[0].text(), L"LINE");
  EXPECT_EQ(line.groups[6].code(), 8);
  EXPECT_EQ(line.groups[7].point(), (Point3{0, 0, 0}));
  EXPECT_EQ(line.PointAt(11), (Point3{100, 0, 0}));
  EXPECT_EQ(line.Text(8), L"Frame");

  const Entity& lower = d->entities[1];
  EXPECT_EQ(lower.type, "LINE");               // upper case whatever the file wrote
  EXPECT_EQ(lower.groups[0].text(), L"line");  // the group itself as read
  EXPECT_TRUE(lower.paper_space);

  EXPECT_EQ(d->entities[2].Integer(66), 1);
  EXPECT_EQ(d->entities[3].Text(1), L"value");
  EXPECT_EQ(d->entities[7].PointAt(10), (Point3{5, 0, 0}));
  EXPECT_EQ(d->entities[10].Text(1), L"unknown");
}

TEST(DxfReader, SourceLines) {
  const std::string bytes = FullDrawing();
  auto d = Load(bytes);
  ASSERT_TRUE(d.ok()) << d.status().message();
  // Every entity's line holds its group code 0, and the next line its type.
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < bytes.size()) {
    const std::size_t end = bytes.find('\n', start);
    lines.push_back(bytes.substr(start, end - start));
    start = end + 1;
  }
  for (const Entity& e : d->entities) {
    ASSERT_LT(e.line, lines.size());
    EXPECT_EQ(lines[e.line - 1], "  0");
    EXPECT_EQ(lines[e.line], NarrowPassthrough(e.groups[0].text()));
  }
}

TEST(DxfReader, SectionsReadPastAreNoted) {
  auto d = Load(FullDrawing());
  ASSERT_TRUE(d.ok()) << d.status().message();
  // OBJECTS held handle 400: new handles start above it and above $HANDSEED.
  EXPECT_EQ(d->next_handle, 0x401u);
  EXPECT_TRUE(d->repairs.empty());
}

TEST(DxfReader, EntitiesWithoutHandlesGetUniqueOnes) {
  const Tags entities = Concat(
      {Line("", 0, 0, 1, 0), Line("7", 0, 0, 1, 0), Line("", 0, 0, 1, 0), Line("8", 0, 0, 0, 1)});
  auto d = Load(test::Drawing({{9, "$ACADVER"}, {1, "AC1009"}}, entities));
  ASSERT_TRUE(d.ok()) << d.status().message();
  ASSERT_EQ(d->entities.size(), 4u);
  std::set<std::uint64_t> handles;
  for (const Entity& e : d->entities) {
    EXPECT_NE(e.handle, 0u);
    handles.insert(e.handle);
  }
  EXPECT_EQ(handles.size(), 4u);
  EXPECT_EQ(d->entities[0].handle, 9u);
  EXPECT_EQ(d->entities[2].handle, 10u);
  EXPECT_EQ(d->next_handle, 11u);
  // The groups stay as read: no group 5 was invented.
  EXPECT_FALSE(d->entities[0].Has(5));
  ASSERT_EQ(d->repairs.size(), 1u);
  EXPECT_NE(d->repairs[0].text.find("2 entities"), std::string::npos);
}

TEST(DxfReader, AnsiCodePagesInDrawings) {
  const Tags text = {{0, "TEXT"}, {8, "0"}, {10, "0"}, {20, "0"}, {40, "1"}, {1, "\xD8 \xB1\xDF"}};
  auto d = Load(
      test::Drawing({{9, "$ACADVER"}, {1, "AC1015"}, {9, "$DWGCODEPAGE"}, {3, "ANSI_1252"}}, text));
  ASSERT_TRUE(d.ok()) << d.status().message();
  EXPECT_EQ(d->entities[0].Text(1), L"\u00D8 \u00B1\u00DF");

  const Tags cyrillic = {{0, "TEXT"}, {8, "\xD1\xEB\xEE\xE9"},
                         {10, "0"},   {20, "0"},
                         {40, "1"},   {1, "\xD2\xE0\xE1\xEB\xE8\xF6\xE0"}};
  // The header's own text, read before the code page is known, is decoded too.
  d = Load(test::Drawing({{9, "$ACADVER"},
                          {1, "AC1015"},
                          {9, "$PROJECTNAME"},
                          {1, "\xCF\xF0\xEE\xE5\xEA\xF2"},
                          {9, "$DWGCODEPAGE"},
                          {3, "ANSI_1251"}},
                         cyrillic));
  ASSERT_TRUE(d.ok()) << d.status().message();
  EXPECT_EQ(d->encoding, "CP1251");
  EXPECT_EQ(d->entities[0].Text(1), L"\u0422\u0430\u0431\u043B\u0438\u0446\u0430");
  EXPECT_EQ(d->entities[0].Text(8), L"\u0421\u043B\u043E\u0439");
  EXPECT_EQ(d->HeaderValue("$PROJECTNAME")->text(), L"\u041F\u0440\u043E\u0435\u043A\u0442");
}

TEST(DxfReader, R2007AndLaterAreUtf8WhateverTheCodePage) {
  const Tags text = {{0, "TEXT"}, {8, "0"},  {10, "0"},
                     {20, "0"},   {40, "1"}, {1, "\xD0\xA2\xD0\xB0 \xC3\x98"}};
  auto d = Load(
      test::Drawing({{9, "$ACADVER"}, {1, "AC1021"}, {9, "$DWGCODEPAGE"}, {3, "ANSI_1251"}}, text));
  ASSERT_TRUE(d.ok()) << d.status().message();
  EXPECT_EQ(d->encoding, "UTF-8");
  EXPECT_EQ(d->entities[0].Text(1), L"\u0422\u0430 \u00D8");
}

TEST(DxfReader, BadUtf8IsReplacedAndNoted) {
  const Tags text = {{0, "TEXT"},
                     {8, "0"},
                     {10, "0"},
                     {20, "0"},
                     {40, "1"},
                     {1,
                      "Gr\xF6\xDF"
                      "e"}};
  auto d = Load(test::Drawing({{9, "$ACADVER"}, {1, "AC1032"}}, text));
  ASSERT_TRUE(d.ok()) << d.status().message();
  EXPECT_EQ(d->entities[0].Text(1), L"Gr\uFFFD\uFFFDe");
  ASSERT_EQ(d->repairs.size(), 2u);  // the replacement and the missing handle
  EXPECT_EQ(d->repairs[0].line, 26u);
  EXPECT_EQ(d->repairs[0].text, "bytes that are not UTF-8 text were replaced by U+FFFD");
}

TEST(DxfReader, UnknownCodePageIsNoted) {
  auto d = Load(test::Drawing({{9, "$DWGCODEPAGE"}, {3, "EBCDIC-42"}}, Line("1", 0, 0, 1, 1)));
  ASSERT_TRUE(d.ok()) << d.status().message();
  EXPECT_EQ(d->encoding, "CP1252");
  ASSERT_EQ(d->repairs.size(), 1u);
  EXPECT_NE(d->repairs[0].text.find("EBCDIC-42"), std::string::npos);
}

TEST(DxfReader, EscapesInEveryText) {
  const Tags entities = {{0, "TEXT"},
                         {5, "1"},
                         {8, "\\U+0421\\U+043B"},
                         {10, "0"},
                         {20, "0"},
                         {40, "1"},
                         {1, "90\\U+00B0 \\M+193FA \\M+5D6D0 \\U+zzzz"}};
  auto d = Load(test::Drawing({{9, "$ACADVER"}, {1, "AC1015"}}, entities));
  ASSERT_TRUE(d.ok()) << d.status().message();
  EXPECT_EQ(d->entities[0].Text(1), L"90\u00B0 \u65E5 \u4E2D \\U+zzzz");
  EXPECT_EQ(d->entities[0].Text(8), L"\u0421\u043B");
}

TEST(DxfReader, ByteOrderMarkCrLfAndJunkAfterEof) {
  std::string bytes =
      "\xEF\xBB\xBF" +
      Write(Concat({Section("ENTITIES", Line("1", 0, 0, 1, 1)), {{0, "EOF"}}}), "\r\n");
  bytes += "\x1A\x00\x01 whatever";
  auto d = Load(bytes);
  ASSERT_TRUE(d.ok()) << d.status().message();
  EXPECT_EQ(d->encoding, "UTF-8");
  ASSERT_EQ(d->entities.size(), 1u);
  EXPECT_EQ(d->entities[0].PointAt(11), (Point3{1, 1, 0}));
  EXPECT_EQ(d->entities[0].line, 5u);
}

TEST(DxfReader, FromFileAndFromBufferAgree) {
  gm::test::TempDir dir;
  const std::string bytes = FullDrawing();
  gm::test::WriteFile(dir / "full.dxf", bytes);
  auto from_file = LoadDrawing(dir / "full.dxf");
  auto from_buffer = Load(bytes, (dir / "full.dxf").string());
  ASSERT_TRUE(from_file.ok()) << from_file.status().message();
  ASSERT_TRUE(from_buffer.ok());
  EXPECT_EQ(from_file->source, (dir / "full.dxf").string());
  ASSERT_EQ(from_file->entities.size(), from_buffer->entities.size());
  for (std::size_t i = 0; i < from_file->entities.size(); ++i) {
    EXPECT_EQ(from_file->entities[i].groups, from_buffer->entities[i].groups);
    EXPECT_EQ(from_file->entities[i].line, from_buffer->entities[i].line);
  }
}

TEST(DxfReader, DxflibEndsecAmidTheHeaderIsRepaired) {
  const Tags all = Concat({{{0, "SECTION"},
                            {2, "HEADER"},
                            {9, "$ACADVER"},
                            {1, "AC1015"},
                            {9, "$HANDSEED"},
                            {5, "FFFF"},
                            {0, "ENDSEC"},
                            {9, "$EXTMIN"},
                            {10, "1"},
                            {20, "2"},
                            {30, "0"},
                            {0, "ENDSEC"}},
                           Section("ENTITIES", Line("1", 0, 0, 1, 1)),
                           {{0, "EOF"}}});
  auto d = Load(Write(all));
  ASSERT_TRUE(d.ok()) << d.status().message();
  EXPECT_EQ(*d->ExtMin(), (Point3{1, 2, 0}));
  ASSERT_EQ(d->repairs.size(), 1u);
  EXPECT_EQ(d->repairs[0].line, 13u);
}

TEST(DxfReader, NumbersDoNotFollowTheLocale) {
  const char* names[] = {"de_DE.UTF-8", "de_DE.utf8", "de_DE"};
  const char* set = nullptr;
  for (const char* name : names) {
    if ((set = std::setlocale(LC_ALL, name)) != nullptr) break;
  }
  if (set == nullptr) GTEST_SKIP() << "no German locale installed";
  auto d = Load(test::Drawing({}, Line("1", 1.5, 2.25, 3, 4)));
  std::setlocale(LC_ALL, "C");
  ASSERT_TRUE(d.ok()) << d.status().message();
  EXPECT_EQ(d->entities[0].PointAt(10), (Point3{1.5, 2.25, 0}));
}

// Error paths. Every message names the file and the line.

std::string ErrorOf(const std::string& bytes) {
  auto d = Load(bytes);
  return d.ok() ? "loaded" : d.status().message();
}

ErrorCode CodeOf(const std::string& bytes) {
  auto d = Load(bytes);
  return d.ok() ? ErrorCode::kOk : d.status().code();
}

std::string Entities(const Tags& body) {
  return Write(Concat({Section("ENTITIES", body), {{0, "EOF"}}}));
}

TEST(DxfReaderErrors, GroupCodeNotANumber) {
  std::string bytes = Entities(Line("1", 0, 0, 1, 1));
  bytes.replace(bytes.find(" 10\n"), 3, "abc");
  EXPECT_EQ(ErrorOf(bytes), "drawing.dxf:11: group code 'abc' is not a number");
  EXPECT_EQ(CodeOf(bytes), ErrorCode::kBadGroupCode);
}

TEST(DxfReaderErrors, ValueNotANumber) {
  std::string bytes = Entities(Concat({Line("1", 0, 0, 1, 1), {{0, "CIRCLE"}, {40, "ten"}}}));
  EXPECT_EQ(ErrorOf(bytes),
            "drawing.dxf:26: value 'ten' of group 40 is not a number (a real number)");
}

TEST(DxfReaderErrors, NotFiniteCoordinate) {
  std::string bytes = Entities({{0, "POINT"}, {10, "1"}, {20, "nan"}});
  EXPECT_EQ(ErrorOf(bytes), "drawing.dxf:10: value 'nan' of group 20 is not a finite coordinate");
  EXPECT_EQ(CodeOf(bytes), ErrorCode::kNotFinite);
}

TEST(DxfReaderErrors, Truncated) {
  std::string bytes = Entities(Line("1", 0, 0, 1, 1));
  bytes.resize(bytes.find(" 21\n") + 4);  // cut behind group code 21
  EXPECT_EQ(CodeOf(bytes), ErrorCode::kTruncated);
  EXPECT_EQ(ErrorOf(bytes),
            "drawing.dxf:19: the file ends after group code '21', where its value belongs");
}

TEST(DxfReaderErrors, MissingEof) {
  std::string bytes = Write(Section("ENTITIES", Line("1", 0, 0, 1, 1)));
  EXPECT_EQ(CodeOf(bytes), ErrorCode::kMissingEof);
  EXPECT_EQ(ErrorOf(bytes), "drawing.dxf:24: the file ends without the EOF group: it is truncated");
}

TEST(DxfReaderErrors, TruncatedInsideASection) {
  std::string bytes = Write(Concat({{{0, "SECTION"}, {2, "ENTITIES"}}, Line("1", 0, 0, 1, 1)}));
  EXPECT_EQ(CodeOf(bytes), ErrorCode::kMissingEof);
  EXPECT_EQ(ErrorOf(bytes),
            "drawing.dxf:22: the file ends inside section ENTITIES (line 1) without ENDSEC and "
            "EOF: it is truncated");
  bytes = Write({{0, "SECTION"}, {2, "OBJECTS"}, {0, "DICTIONARY"}, {5, "A"}});
  EXPECT_EQ(CodeOf(bytes), ErrorCode::kMissingEof);
  EXPECT_NE(ErrorOf(bytes).find("drawing.dxf:8: the file ends inside section OBJECTS (line 1)"),
            std::string::npos);
}

TEST(DxfReaderErrors, MissingEndsec) {
  std::string bytes =
      Write(Concat({{{0, "SECTION"}, {2, "ENTITIES"}}, Line("1", 0, 0, 1, 1), {{0, "EOF"}}}));
  EXPECT_EQ(ErrorOf(bytes),
            "drawing.dxf:23: 'EOF' inside section ENTITIES (line 1), which has no ENDSEC");
  bytes = Write({{0, "SECTION"}, {2, "CLASSES"}, {0, "CLASS"}, {0, "SECTION"}, {2, "ENTITIES"}});
  EXPECT_EQ(ErrorOf(bytes),
            "drawing.dxf:7: SECTION inside section CLASSES (line 1), which has no ENDSEC");
}

TEST(DxfReaderErrors, MissingEndblk) {
  std::string bytes = Write(Concat({{{0, "SECTION"}, {2, "BLOCKS"}, {0, "BLOCK"}, {2, "B1"}},
                                    Line("1", 0, 0, 1, 1),
                                    {{0, "ENDSEC"}, {0, "EOF"}}}));
  EXPECT_EQ(CodeOf(bytes), ErrorCode::kBadStructure);
  EXPECT_EQ(ErrorOf(bytes),
            "drawing.dxf:27: 'ENDSEC' inside block 'B1' (line 5), which has no ENDBLK");
}

TEST(DxfReaderErrors, MissingEndtab) {
  std::string bytes = Write({{0, "SECTION"},
                             {2, "TABLES"},
                             {0, "TABLE"},
                             {2, "LAYER"},
                             {0, "LAYER"},
                             {2, "0"},
                             {0, "ENDSEC"},
                             {0, "EOF"}});
  EXPECT_EQ(ErrorOf(bytes),
            "drawing.dxf:13: 'ENDSEC' inside table LAYER (line 5), which has no ENDTAB");
}

TEST(DxfReaderErrors, EntityOutsideABlock) {
  std::string bytes = Write(Concat(
      {{{0, "SECTION"}, {2, "BLOCKS"}}, Line("1", 0, 0, 1, 1), {{0, "ENDSEC"}, {0, "EOF"}}}));
  EXPECT_EQ(ErrorOf(bytes), "drawing.dxf:5: 'LINE' in the BLOCKS section is outside any BLOCK");
}

TEST(DxfReaderErrors, BadHandle) {
  std::string bytes = Entities(Line("XYZ", 0, 0, 1, 1));
  EXPECT_EQ(CodeOf(bytes), ErrorCode::kBadHandle);
  EXPECT_EQ(ErrorOf(bytes),
            "drawing.dxf:8: handle 'XYZ' (group 5) of LINE is not a hexadecimal number");
}

TEST(DxfReaderErrors, NotStartingWithASection) {
  EXPECT_EQ(ErrorOf(Write({{9, "$ACADVER"}, {1, "AC1009"}})),
            "drawing.dxf:1: group 9 where a group 0 (SECTION or EOF) belongs");
  EXPECT_EQ(ErrorOf(Write({{0, "LINE"}, {0, "EOF"}})),
            "drawing.dxf:1: expected SECTION or EOF, found 'LINE'");
  EXPECT_EQ(ErrorOf(Write({{0, "SECTION"}, {0, "EOF"}})),
            "drawing.dxf:1: SECTION without its name (group 2)");
}

TEST(DxfReaderErrors, GroupsOutsideAnySection) {
  std::string bytes = Write(Concat({Section("ENTITIES", {}), {{8, "0"}, {0, "EOF"}}}));
  EXPECT_EQ(ErrorOf(bytes), "drawing.dxf:7: group 8 after ENDSEC is outside any section");
  bytes = Write({{0, "SECTION"}, {2, "HEADER"}, {1, "AC1009"}, {0, "ENDSEC"}, {0, "EOF"}});
  EXPECT_EQ(
      ErrorOf(bytes),
      "drawing.dxf:5: group 1 in the HEADER section does not follow a variable name (group 9)");
}

TEST(DxfReaderErrors, BinaryJunk) {
  std::string bytes = Entities(Line("1", 0, 0, 1, 1));
  bytes.insert(bytes.find("LINE") + 2, std::string("\x00\x01\xFF", 3));
  EXPECT_EQ(CodeOf(bytes), ErrorCode::kBinaryData);
  EXPECT_EQ(ErrorOf(bytes), "drawing.dxf:6: control byte 0x00 in a text line: binary data");
}

TEST(DxfReaderErrors, BinaryDxf) {
  const char sentinel[] = "AutoCAD Binary DXF\r\n\x1a\0\0\0SECTION";
  EXPECT_EQ(ErrorOf(std::string(sentinel, sizeof sentinel - 1)),
            "drawing.dxf: this is a binary DXF file; only ASCII DXF is supported");
}

TEST(DxfReaderErrors, EmptyFile) {
  EXPECT_EQ(ErrorOf(""), "drawing.dxf: the file is empty");
  EXPECT_EQ(CodeOf("\n\n"), ErrorCode::kEmpty);
}

TEST(DxfReaderErrors, UnreadableFiles) {
  auto d = LoadDrawing("/nonexistent/dir/plan.dxf");
  ASSERT_FALSE(d.ok());
  EXPECT_EQ(d.status().code(), ErrorCode::kUnreadable);
  EXPECT_EQ(d.status().message(),
            "/nonexistent/dir/plan.dxf: cannot open the file: No such file or directory");
  gm::test::TempDir dir;
  d = LoadDrawing(dir.path());
  ASSERT_FALSE(d.ok());
  EXPECT_EQ(d.status().code(), ErrorCode::kUnreadable);
  gm::test::WriteFile(dir / "empty.dxf", "");
  d = LoadDrawing(dir / "empty.dxf");
  ASSERT_FALSE(d.ok());
  EXPECT_EQ(d.status().message(), (dir / "empty.dxf").string() + ": the file is empty");
}

TEST(DxfReaderErrors, EveryTruncationFails) {
  const std::string bytes = FullDrawing();
  const std::size_t eof = bytes.rfind("EOF");
  for (std::size_t n = 0; n < eof + 3; ++n) {
    auto d = Load(bytes.substr(0, n));
    EXPECT_FALSE(d.ok()) << "a file cut to " << n << " bytes loaded";
    if (!d.ok()) {
      EXPECT_EQ(d.status().file(), "drawing.dxf");
    }
  }
  EXPECT_TRUE(Load(bytes.substr(0, eof + 3)).ok());
}

}  // namespace
}  // namespace gm::dxf
