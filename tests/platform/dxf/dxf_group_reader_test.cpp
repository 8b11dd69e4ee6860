#include "platform/dxf/group_reader.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/dxf/ascii.h"
#include "tests/platform/dxf/dxf_test_util.h"

namespace gm::dxf {
namespace {

using test::Tags;
using test::Write;

struct Read {
  std::vector<Group> groups;
  std::vector<std::size_t> lines;
  Status status;
};

Read ReadGroups(const std::string& bytes) {
  Tokenizer tokenizer(bytes, "g.dxf");
  const TextDecoder decoder = TextDecoder::ForCodePage("ANSI_1252");
  GroupReader reader(tokenizer, decoder, nullptr);
  Read out;
  out.status = tokenizer.Start();
  if (!out.status.ok()) return out;
  Group g;
  std::size_t line = 0;
  while (reader.Next(&g, &line)) {
    out.groups.push_back(g);
    out.lines.push_back(line);
  }
  out.status = reader.status();
  return out;
}

TEST(DxfGroupTypes, TheTableFollowsTheReference) {
  for (int code : {0,   1,   2,   5,   8,   9,   100, 102,  105,  300, 330,
                   369, 390, 410, 430, 470, 481, 999, 1000, 1005, 1009}) {
    EXPECT_EQ(GroupTypeOf(code), GroupType::kString) << code;
  }
  for (int code : {20, 30, 38, 40, 50, 59, 113, 120, 149, 214, 220, 239, 460, 1020, 1040, 1059}) {
    EXPECT_EQ(GroupTypeOf(code), GroupType::kDouble) << code;
  }
  for (int code : {60, 62, 70, 79, 170, 179, 270, 289, 370, 389, 400, 409, 1060, 1070}) {
    EXPECT_EQ(GroupTypeOf(code), GroupType::kInt16) << code;
  }
  for (int code : {90, 99, 420, 429, 440, 449, 450, 459, 1071}) {
    EXPECT_EQ(GroupTypeOf(code), GroupType::kInt32) << code;
  }
  EXPECT_EQ(GroupTypeOf(160), GroupType::kInt64);
  EXPECT_EQ(GroupTypeOf(169), GroupType::kInt64);
  EXPECT_EQ(GroupTypeOf(290), GroupType::kBool);
  EXPECT_EQ(GroupTypeOf(299), GroupType::kBool);
  for (int code : {10, 11, 18, 110, 111, 112, 210, 1010, 1011, 1012, 1013}) {
    EXPECT_TRUE(IsPointCode(code)) << code;
  }
  EXPECT_TRUE(IsHandleCode(5));
  EXPECT_TRUE(IsHandleCode(330));
  EXPECT_TRUE(IsHandleCode(1005));
  EXPECT_FALSE(IsHandleCode(8));
}

TEST(DxfGroupReader, ValuesAreTypedByTheirCode) {
  const Read r = ReadGroups(Write({{0, "  LINE  "},
                                   {8, " Layer 1 "},
                                   {40, " 2.5"},
                                   {62, "     7"},
                                   {90, "-100000"},
                                   {160, "12345678901"},
                                   {290, "1"},
                                   {70, "+3"}}));
  ASSERT_TRUE(r.status.ok()) << r.status.message();
  ASSERT_EQ(r.groups.size(), 8u);
  EXPECT_EQ(r.groups[0].text(), L"LINE");       // the type name is trimmed
  EXPECT_EQ(r.groups[1].text(), L" Layer 1 ");  // other text is not
  EXPECT_EQ(r.groups[2].type(), GroupType::kDouble);
  EXPECT_EQ(r.groups[2].real(), 2.5);
  EXPECT_EQ(r.groups[3].type(), GroupType::kInt16);
  EXPECT_EQ(r.groups[3].integer(), 7);
  EXPECT_EQ(r.groups[4].type(), GroupType::kInt32);
  EXPECT_EQ(r.groups[4].integer(), -100000);
  EXPECT_EQ(r.groups[5].integer(), 12345678901);
  EXPECT_EQ(r.groups[6].type(), GroupType::kBool);
  EXPECT_EQ(r.groups[6].integer(), 1);
  EXPECT_EQ(r.groups[7].integer(), 3);
  EXPECT_EQ(r.lines[7], 15u);
}

TEST(DxfGroupReader, PointsFoldTheirCoordinates) {
  const Read r = ReadGroups(Write({{10, "1"},
                                   {20, "2"},
                                   {30, "3"},
                                   {11, "4"},
                                   {21, "5"},
                                   {40, "9"},
                                   {210, "0"},
                                   {220, "0"},
                                   {230, "1"},
                                   {1010, "7"},
                                   {1020, "8"},
                                   {1030, "9"}}));
  ASSERT_TRUE(r.status.ok()) << r.status.message();
  ASSERT_EQ(r.groups.size(), 5u);
  EXPECT_EQ(r.groups[0].code(), 10);
  EXPECT_EQ(r.groups[0].point(), (Point3{1, 2, 3}));
  EXPECT_EQ(r.groups[1].code(), 11);
  EXPECT_EQ(r.groups[1].point(), (Point3{4, 5, 0}));  // z = 0 when absent
  EXPECT_EQ(r.groups[2].code(), 40);
  EXPECT_EQ(r.groups[3].point(), (Point3{0, 0, 1}));
  EXPECT_EQ(r.groups[4].code(), 1010);
  EXPECT_EQ(r.groups[4].point(), (Point3{7, 8, 9}));
}

TEST(DxfGroupReader, LwpolylineVerticesAreSeparatePoints) {
  const Read r = ReadGroups(Write(
      {{90, "3"}, {10, "0"}, {20, "0"}, {10, "1"}, {20, "0"}, {42, "0.5"}, {10, "1"}, {20, "1"}}));
  ASSERT_TRUE(r.status.ok()) << r.status.message();
  ASSERT_EQ(r.groups.size(), 5u);
  EXPECT_EQ(r.groups[1].point(), (Point3{0, 0, 0}));
  EXPECT_EQ(r.groups[2].point(), (Point3{1, 0, 0}));
  EXPECT_EQ(r.groups[3].code(), 42);
  EXPECT_EQ(r.groups[4].point(), (Point3{1, 1, 0}));
}

TEST(DxfGroupReader, CommentsAreDropped) {
  const Read r =
      ReadGroups(Write({{999, "made by hand"}, {10, "1"}, {20, "2"}, {999, "x"}, {8, "0"}}));
  ASSERT_TRUE(r.status.ok()) << r.status.message();
  ASSERT_EQ(r.groups.size(), 2u);
  EXPECT_EQ(r.groups[0].point(), (Point3{1, 2, 0}));
  EXPECT_EQ(r.groups[1].code(), 8);
}

TEST(DxfGroupReader, NumbersIgnoreTheLocaleNotation) {
  const Read r = ReadGroups(Write({{40, "1e3"}, {41, ".5"}, {42, "-5."}, {43, "1e-400"}}));
  ASSERT_TRUE(r.status.ok()) << r.status.message();
  EXPECT_EQ(r.groups[0].real(), 1000.0);
  EXPECT_EQ(r.groups[1].real(), 0.5);
  EXPECT_EQ(r.groups[2].real(), -5.0);
  EXPECT_EQ(r.groups[3].real(), 0.0);  // underflow reads as zero
}

TEST(DxfGroupReader, WholeRealsAreAcceptedAsIntegers) {
  // Some exporters write flags as reals.
  const Read r = ReadGroups(Write({{70, "1.000000"}, {90, "-2.0"}}));
  ASSERT_TRUE(r.status.ok()) << r.status.message();
  EXPECT_EQ(r.groups[0].integer(), 1);
  EXPECT_EQ(r.groups[1].integer(), -2);
}

// Error paths: each names the line of the offending value.

TEST(DxfGroupReader, RealThatIsNotANumber) {
  const Read r = ReadGroups(Write({{8, "0"}, {40, "abc"}}));
  EXPECT_EQ(r.status.code(), ErrorCode::kBadNumber);
  EXPECT_EQ(r.status.message(), "g.dxf:4: value 'abc' of group 40 is not a number (a real number)");
}

TEST(DxfGroupReader, CommaDecimalIsNotANumber) {
  const Read r = ReadGroups(Write({{40, "1,5"}}));
  EXPECT_EQ(r.status.code(), ErrorCode::kBadNumber);
  EXPECT_EQ(r.status.line(), 2u);
}

TEST(DxfGroupReader, EmptyNumber) {
  const Read r = ReadGroups(Write({{62, ""}}));
  EXPECT_EQ(r.status.code(), ErrorCode::kBadNumber);
  EXPECT_EQ(r.status.line(), 2u);
}

TEST(DxfGroupReader, IntegerThatIsNotAnInteger) {
  Read r = ReadGroups(Write({{70, "1.5"}}));
  EXPECT_EQ(r.status.code(), ErrorCode::kBadNumber);
  EXPECT_EQ(r.status.message(),
            "g.dxf:2: value '1.5' of group 70 is not a number (a 16-bit integer)");
  r = ReadGroups(Write({{70, "70000"}}));
  EXPECT_EQ(r.status.code(), ErrorCode::kBadNumber);
  EXPECT_EQ(r.status.message(),
            "g.dxf:2: value '70000' of group 70 is out of range for a 16-bit integer");
  r = ReadGroups(Write({{90, "99999999999"}}));
  EXPECT_EQ(r.status.code(), ErrorCode::kBadNumber);
  r = ReadGroups(Write({{160, "99999999999999999999"}}));
  EXPECT_EQ(r.status.code(), ErrorCode::kBadNumber);
}

TEST(DxfGroupReader, NanAndInfinityAreNotCoordinates) {
  for (const char* bad : {"nan", "inf", "-infinity", "1e999", "1.#INF", "-1.#IND"}) {
    const Read r = ReadGroups(Write({{8, "0"}, {10, "1"}, {20, bad}}));
    EXPECT_EQ(r.status.code(), ErrorCode::kNotFinite) << bad;
    EXPECT_EQ(r.status.line(), 6u) << bad;
  }
  const Read r = ReadGroups(Write({{40, "NaN"}}));
  EXPECT_EQ(r.status.code(), ErrorCode::kNotFinite);
  EXPECT_EQ(r.status.message(), "g.dxf:2: value 'NaN' of group 40 is not a finite number");
}

TEST(DxfGroupReader, PointWithoutItsY) {
  const Read r = ReadGroups(Write({{8, "0"}, {10, "1"}, {11, "2"}, {21, "3"}}));
  EXPECT_EQ(r.status.code(), ErrorCode::kBadStructure);
  EXPECT_EQ(r.status.message(),
            "g.dxf:3: x coordinate group 10 is not followed by its y coordinate (group 20), but "
            "by group 11");
}

TEST(DxfGroupReader, FileEndsBeforeTheY) {
  const Read r = ReadGroups(Write({{8, "0"}, {10, "1"}}));
  EXPECT_EQ(r.status.code(), ErrorCode::kTruncated);
  EXPECT_EQ(r.status.line(), 3u);
}

TEST(DxfGroupReader, SkipSectionFindsEndsecAndHandles) {
  const std::string bytes = Write({{0, "DICTIONARY"},
                                   {5, "C"},
                                   {10, "oops"},
                                   {0, "LAYOUT"},
                                   {5, "1F0"},
                                   {0, "ENDSEC"},
                                   {0, "EOF"}});
  Tokenizer tokenizer(bytes, "g.dxf");
  const TextDecoder decoder = TextDecoder::Utf8();
  GroupReader reader(tokenizer, decoder, nullptr);
  ASSERT_TRUE(tokenizer.Start().ok());
  std::uint64_t max_handle = 0;
  // Values of skipped sections are not converted: the bad real there does not matter.
  ASSERT_TRUE(reader.SkipSection("OBJECTS", 1, &max_handle)) << reader.status().message();
  EXPECT_EQ(max_handle, 0x1F0u);
  Group g;
  std::size_t line = 0;
  ASSERT_TRUE(reader.Next(&g, &line));
  EXPECT_EQ(g.text(), L"EOF");
}

}  // namespace
}  // namespace gm::dxf

namespace gm::dxf {
namespace {

TEST(DxfGroup, CopiesShareTheirTextAndOutliveTheGroupTheyCameFrom) {
  Group copy;
  {
    Group text = Group::Text(1, L"a text longer than any inline buffer");
    copy = text;
    EXPECT_EQ(&copy.text(), &text.text());
    Group moved = std::move(text);
    EXPECT_EQ(moved, copy);
  }
  EXPECT_EQ(copy.text(), L"a text longer than any inline buffer");
  copy = Group::Real(40, 2.5);
  EXPECT_EQ(copy.text(), L"");
  EXPECT_EQ(copy.real(), 2.5);
  EXPECT_NE(Group::Text(1, L"x"), Group::Text(2, L"x"));
  EXPECT_EQ(std::get<std::wstring>(Group::Text(1, L"x").value()), L"x");
}

TEST(DxfGroupReader, EqualTextsAreKeptOnceAndHandlesEachTheirOwn) {
  const Read r = ReadGroups(Write({{100, "AcDbEntity"},
                                   {5, "1A"},
                                   {100, "AcDbEntity"},
                                   {5, "1A"},
                                   {8, "caf\xE9"},
                                   {8, "caf\xE9"}}));
  ASSERT_TRUE(r.status.ok()) << r.status.message();
  ASSERT_EQ(r.groups.size(), 6u);
  EXPECT_EQ(&r.groups[0].text(), &r.groups[2].text());
  EXPECT_NE(&r.groups[1].text(), &r.groups[3].text());
  EXPECT_EQ(r.groups[3].text(), L"1A");
  EXPECT_EQ(r.groups[4].text(), L"caf\u00E9");  // decoded, not taken byte for byte
  EXPECT_EQ(&r.groups[4].text(), &r.groups[5].text());
}

// Texts remembered under a code are told apart by every byte, whatever their length, on the
// road of groups and on the packing road alike.
TEST(DxfGroupReader, RememberedTextsDifferingInOneByteStayApart) {
  Tags layers;
  for (std::size_t n = 1; n <= 20; ++n) {
    const std::string base(n, 'L');
    for (std::size_t at = 0; at < n; ++at) {
      std::string other = base;
      other[at] = 'M';
      layers.insert(layers.end(), {{8, base}, {8, other}, {8, base}, {8, other}});
    }
  }
  const Read r = ReadGroups(Write(layers));
  ASSERT_TRUE(r.status.ok()) << r.status.message();
  ASSERT_EQ(r.groups.size(), layers.size());
  Tags entities;
  for (std::size_t i = 0; i < layers.size(); ++i) {
    EXPECT_EQ(r.groups[i].text(), std::wstring(layers[i].second.begin(), layers[i].second.end()));
    entities.insert(entities.end(), {{0, "LINE"}, layers[i]});
  }
  auto d = test::Load(test::Drawing({{9, "$ACADVER"}, {1, "AC1024"}}, entities));
  ASSERT_TRUE(d.ok()) << d.status().message();
  ASSERT_EQ(d->entities.size(), layers.size());
  for (std::size_t i = 0; i < layers.size(); ++i) {
    EXPECT_EQ(d->entities[i].Text(8),
              std::wstring(layers[i].second.begin(), layers[i].second.end()));
  }
}

}  // namespace
}  // namespace gm::dxf

namespace gm::dxf {
namespace {

// Plain decimals take a shorter road than other numbers; both must give the same double.
TEST(DxfGroupReaderNumbers, PlainDecimalsReadAsAFullParseReadsThem) {
  std::mt19937_64 random(13);
  std::vector<std::string> texts = {"0",
                                    "-0",
                                    "0.0",
                                    "-0.0",
                                    "5.",
                                    ".5",
                                    "-.5",
                                    "1e3",
                                    "00012",
                                    "0.1",
                                    "0.3",
                                    "2.675",
                                    "1.0000000000000002",
                                    "999999999999999",
                                    "9999999999999999",
                                    "123456789012345.6",
                                    "0.000000000000001",
                                    "-5.25",
                                    "  20.0  ",
                                    "+7.125",
                                    "4503599627370497.5"};
  for (int i = 0; i < 20000; ++i) {
    const int digits = 1 + static_cast<int>(random() % 17);
    std::string t = random() % 2 ? "-" : "";
    for (int d = 0; d < digits; ++d) t += static_cast<char>('0' + random() % 10);
    const std::size_t point = random() % (t.size() + 1);
    if (point > (t[0] == '-' ? 1u : 0u) && point < t.size()) t.insert(point, ".");
    texts.push_back(t);
  }
  Tags tags;
  for (const std::string& t : texts) tags.push_back({40, t});
  const Read r = ReadGroups(Write(tags));
  ASSERT_TRUE(r.status.ok()) << r.status.message();
  ASSERT_EQ(r.groups.size(), texts.size());
  for (std::size_t i = 0; i < texts.size(); ++i) {
    std::string_view t = TrimBlanks(texts[i]);
    if (!t.empty() && t[0] == '+') t.remove_prefix(1);
    double want = 0;
    std::from_chars(t.data(), t.data() + t.size(), want);
    double got = r.groups[i].real();
    EXPECT_EQ(std::memcmp(&want, &got, sizeof want), 0) << texts[i] << " read as " << got;
  }
}

}  // namespace
}  // namespace gm::dxf

namespace gm::dxf {
namespace {

// Coordinates take the plain-decimal road first; texts just off it must still read as a full
// parse reads them, or fail naming the coordinate and its line, whichever axis they are on.
TEST(DxfGroupReaderNumbers, CoordinatesJustOffThePlainDecimalRoad) {
  const std::vector<std::string> good = {" 1.5",
                                         "1.5 ",
                                         "+2",
                                         "5.",
                                         ".5",
                                         "-.25",
                                         "1e2",
                                         "-0",
                                         "1234567890123456",
                                         "0.1234567890123456",
                                         "007.50"};
  const std::vector<std::string> bad = {"1.2.3", "1..2", "-", ".", "--1", "1-", "1 2", "0x10"};
  for (int axis = 0; axis < 3; ++axis) {
    for (const std::string& text : good) {
      Tags tags = {{10, "1"}, {20, "2"}, {30, "3"}};
      tags[axis].second = text;
      const Read r = ReadGroups(Write(tags));
      ASSERT_TRUE(r.status.ok()) << text << ": " << r.status.message();
      ASSERT_EQ(r.groups.size(), 1u);
      std::string_view t = TrimBlanks(text);
      if (t[0] == '+') t.remove_prefix(1);
      double want = 0;
      std::from_chars(t.data(), t.data() + t.size(), want);
      const Point3 p = r.groups[0].point();
      const double got = axis == 0 ? p.x : axis == 1 ? p.y : p.z;
      EXPECT_EQ(std::memcmp(&want, &got, sizeof want), 0) << text << " on axis " << axis;
    }
    for (const std::string& text : bad) {
      Tags tags = {{8, "0"}, {10, "1"}, {20, "2"}, {30, "3"}};
      tags[axis + 1].second = text;
      const Read r = ReadGroups(Write(tags));
      EXPECT_EQ(r.status.code(), ErrorCode::kBadNumber) << text;
      EXPECT_EQ(r.status.message(), "g.dxf:" + std::to_string(4 + 2 * axis) + ": value '" +
                                        std::string(TrimBlanks(text)) + "' of group " +
                                        std::to_string(10 * (axis + 1)) +
                                        " is not a number (a coordinate)")
          << text;
    }
  }
}

}  // namespace
}  // namespace gm::dxf
