#include "platform/dxf/tokenizer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "tests/platform/dxf/dxf_test_util.h"

namespace gm::dxf {
namespace {

struct Pair {
  int code;
  std::string value;
  std::size_t line;
};

using test::TrickleSource;

std::vector<Pair> ReadAll(Tokenizer& t, Status* status) {
  std::vector<Pair> out;
  *status = t.Start();
  if (!status->ok()) return out;
  RawTag tag;
  while (t.Next(&tag)) out.push_back({tag.code, std::string(tag.value), tag.line});
  *status = t.status();
  return out;
}

std::vector<Pair> ReadAll(const std::string& bytes, Status* status) {
  Tokenizer t(bytes, "t.dxf");
  return ReadAll(t, status);
}

TEST(DxfTokenizer, PairsWithPaddedCodesAndLineNumbers) {
  Status s;
  const auto pairs = ReadAll("  0\nSECTION\n  2\nHEADER\n999\ncomment\n", &s);
  ASSERT_TRUE(s.ok()) << s.message();
  ASSERT_EQ(pairs.size(), 3u);
  EXPECT_EQ(pairs[0].code, 0);
  EXPECT_EQ(pairs[0].value, "SECTION");
  EXPECT_EQ(pairs[0].line, 1u);
  EXPECT_EQ(pairs[1].code, 2);
  EXPECT_EQ(pairs[1].line, 3u);
  EXPECT_EQ(pairs[2].code, 999);
  EXPECT_EQ(pairs[2].line, 5u);
}

TEST(DxfTokenizer, CrLfAndTrailingBlanksOnCodeLines) {
  Status s;
  const auto pairs = ReadAll("  0  \r\nLINE\r\n 10\t \r\n1.5\r\n  1\r\n text  \r\n", &s);
  ASSERT_TRUE(s.ok()) << s.message();
  ASSERT_EQ(pairs.size(), 3u);
  EXPECT_EQ(pairs[0].value, "LINE");
  EXPECT_EQ(pairs[1].code, 10);
  EXPECT_EQ(pairs[1].value, "1.5");
  // Value lines keep their blanks: they may be part of a text.
  EXPECT_EQ(pairs[2].value, " text  ");
}

TEST(DxfTokenizer, ByteOrderMarkIsSkippedAndNoted) {
  Tokenizer t(std::string("\xEF\xBB\xBF  0\nEOF\n"), "t.dxf");
  Status s;
  const auto pairs = ReadAll(t, &s);
  ASSERT_TRUE(s.ok()) << s.message();
  EXPECT_TRUE(t.has_bom());
  ASSERT_EQ(pairs.size(), 1u);
  EXPECT_EQ(pairs[0].code, 0);
  EXPECT_EQ(pairs[0].value, "EOF");
}

TEST(DxfTokenizer, LastLineWithoutLineEnd) {
  Status s;
  const auto pairs = ReadAll("  0\nEOF", &s);
  ASSERT_TRUE(s.ok()) << s.message();
  ASSERT_EQ(pairs.size(), 1u);
  EXPECT_EQ(pairs[0].value, "EOF");
}

TEST(DxfTokenizer, ChunkBoundariesAnywhere) {
  std::string bytes;
  for (int i = 0; i < 200; ++i) bytes += " 10\r\n" + std::to_string(i) + ".25\r\n";
  for (std::size_t step : {1u, 2u, 3u, 7u, 64u}) {
    Tokenizer t(std::make_unique<TrickleSource>(bytes, step), "t.dxf", 64);
    Status s;
    const auto pairs = ReadAll(t, &s);
    ASSERT_TRUE(s.ok()) << s.message();
    ASSERT_EQ(pairs.size(), 200u) << "step " << step;
    EXPECT_EQ(pairs[199].value, "199.25");
    EXPECT_EQ(pairs[199].line, 399u);
  }
}

// Code lines of every shape, each read where whole words of it and its value are at hand and
// again where the buffer ends amid them: the same pairs either way.
TEST(DxfTokenizer, EveryCodeLineShapeReadsTheSameWhereverItLies) {
  const std::vector<std::pair<std::string, int>> codes = {
      {"  0", 0}, {" 10", 10},    {"330", 330}, {"1001", 1001}, {"   8", 8},  {"5", 5},
      {" 5 ", 5}, {"\t62", 62},   {"  0\r", 0}, {" 10 \r", 10}, {"07", 7},    {"0010", 10},
      {"+5", 5},  {"1071", 1071}, {"9 ", 9},    {" 1", 1},      {"100", 100}, {"  5\t", 5}};
  const std::vector<std::string> values = {"",     "x",      "0.0", "12345678", "123456789abcdef0",
                                           "a\tb", "tail\r", "\r"};
  std::string bytes;
  std::vector<Pair> want;
  std::size_t line = 1;
  for (const auto& [code_line, code] : codes) {
    for (const std::string& value : values) {
      bytes += code_line + "\n" + value + "\n";
      std::string kept = value;
      while (!kept.empty() && kept.back() == '\r') kept.pop_back();
      want.push_back({code, kept, line});
      line += 2;
    }
  }
  auto expect_same = [&want](const std::vector<Pair>& got, const std::string& how) {
    ASSERT_EQ(got.size(), want.size()) << how;
    for (std::size_t i = 0; i < want.size(); ++i) {
      EXPECT_EQ(got[i].code, want[i].code) << how << ", pair " << i;
      EXPECT_EQ(got[i].value, want[i].value) << how << ", pair " << i;
      EXPECT_EQ(got[i].line, want[i].line) << how << ", pair " << i;
    }
  };
  Status s;
  expect_same(ReadAll(bytes, &s), "whole");
  ASSERT_TRUE(s.ok()) << s.message();
  for (std::size_t step : {1u, 5u, 13u, 64u}) {
    Tokenizer t(std::make_unique<TrickleSource>(bytes, step), "t.dxf", 64);
    expect_same(ReadAll(t, &s), "step " + std::to_string(step));
    ASSERT_TRUE(s.ok()) << s.message();
  }
  // A code line whose blanks follow its digit is no padded code of three.
  EXPECT_TRUE(ReadAll(std::string("5  \nvalue line long enough\n") + bytes, &s).size() > 1);
  ASSERT_TRUE(s.ok()) << s.message();
  ReadAll("  0\nSECTION\n5 5\nvalue line long enough\n", &s);
  EXPECT_EQ(s.code(), ErrorCode::kBadGroupCode);
  EXPECT_EQ(s.line(), 3u);
}

TEST(DxfTokenizer, LinesLongerThanTheChunkGrowTheBuffer) {
  const std::string text(10000, 'x');
  Tokenizer t(std::make_unique<TrickleSource>("  1\n" + text + "\n  0\nEOF\n", 4096), "t.dxf", 64);
  Status s;
  const auto pairs = ReadAll(t, &s);
  ASSERT_TRUE(s.ok()) << s.message();
  ASSERT_EQ(pairs.size(), 2u);
  EXPECT_EQ(pairs[0].value, text);
}

// Error paths.

TEST(DxfTokenizer, CodeThatIsNotANumber) {
  Status s;
  ReadAll("  0\nLINE\nabc\nvalue\n", &s);
  EXPECT_EQ(s.code(), ErrorCode::kBadGroupCode);
  EXPECT_EQ(s.message(), "t.dxf:3: group code 'abc' is not a number");
}

TEST(DxfTokenizer, CodeOutOfRange) {
  Status s;
  ReadAll("  0\nLINE\n2000\nvalue\n", &s);
  EXPECT_EQ(s.code(), ErrorCode::kBadGroupCode);
  EXPECT_EQ(s.line(), 3u);
  ReadAll("  0\nLINE\n -1\nvalue\n", &s);
  EXPECT_EQ(s.code(), ErrorCode::kBadGroupCode);
}

TEST(DxfTokenizer, EmptyCodeLine) {
  Status s;
  ReadAll("  0\nLINE\n\nvalue\n", &s);
  EXPECT_EQ(s.code(), ErrorCode::kBadGroupCode);
  EXPECT_EQ(s.line(), 3u);
}

TEST(DxfTokenizer, FileEndsWhereAValueBelongs) {
  Status s;
  ReadAll("  0\nLINE\n  8\n", &s);
  EXPECT_EQ(s.code(), ErrorCode::kTruncated);
  EXPECT_EQ(s.message(), "t.dxf:3: the file ends after group code '8', where its value belongs");
}

TEST(DxfTokenizer, EmptyInput) {
  Status s;
  ReadAll("", &s);
  EXPECT_EQ(s.code(), ErrorCode::kEmpty);
  EXPECT_EQ(s.message(), "t.dxf: the file is empty");
  ReadAll(" \r\n\n", &s);
  EXPECT_EQ(s.code(), ErrorCode::kEmpty);
}

TEST(DxfTokenizer, BinaryDxfSentinel) {
  Status s;
  ReadAll(std::string("AutoCAD Binary DXF\r\n\x1a\0\0\0SECTION", 29), &s);
  EXPECT_EQ(s.code(), ErrorCode::kBinaryDxf);
  EXPECT_NE(s.message().find("binary DXF"), std::string::npos);
}

TEST(DxfTokenizer, ControlBytesAreBinaryData) {
  Status s;
  ReadAll(std::string("  0\nLINE\n  8\nla\0yer\n", 20), &s);
  EXPECT_EQ(s.code(), ErrorCode::kBinaryData);
  EXPECT_EQ(s.message(), "t.dxf:4: control byte 0x00 in a text line: binary data");
}

// Value lines are scanned several bytes at a time: a tab, a CR or a control byte is found
// wherever it stands in a long line, and high bytes are no control bytes.
TEST(DxfTokenizer, EveryPlaceInALongValueLine) {
  const std::string plain = "abcdefghij\xC3\xA9klmnopqrstuvwxyz";
  for (std::size_t at = 0; at <= plain.size(); ++at) {
    for (const char c : {'\t', '\r'}) {
      std::string value = plain;
      value.insert(at, 1, c);
      Status s;
      const auto pairs = ReadAll("  1\n" + value + "\n  1\nnext\n", &s);
      ASSERT_TRUE(s.ok()) << s.message();
      ASSERT_EQ(pairs.size(), 2u);
      // A CR at the end is the line end's; anywhere else it stays.
      EXPECT_EQ(pairs[0].value, c == '\r' && at == plain.size() ? plain : value) << at;
      EXPECT_EQ(pairs[1].value, "next");
    }
    std::string bad = plain;
    bad.insert(at, 1, '\x01');
    Status s;
    ReadAll("  0\nLINE\n  1\n" + bad + "\n", &s);
    EXPECT_EQ(s.message(), "t.dxf:4: control byte 0x01 in a text line: binary data") << at;
  }
}

TEST(DxfTokenizer, GiantLine) {
  Status s;
  ReadAll("  1\n" + std::string(Tokenizer::kMaxLine + 1, 'x') + "\n", &s);
  EXPECT_EQ(s.code(), ErrorCode::kLineTooLong);
  EXPECT_EQ(s.line(), 2u);
}

TEST(DxfTokenizer, UnreadableFile) {
  std::unique_ptr<ByteSource> source;
  const Status s = OpenFileSource("/nonexistent/plan.dxf", &source);
  EXPECT_EQ(s.code(), ErrorCode::kUnreadable);
  EXPECT_EQ(s.message(), "/nonexistent/plan.dxf: cannot open the file: No such file or directory");
}

}  // namespace
}  // namespace gm::dxf
