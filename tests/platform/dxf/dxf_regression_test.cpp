// Pinned faults: each test is named after what broke, and fails on the code before its fix.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "platform/dxf/reader.h"
#include "tests/platform/dxf/dxf_test_util.h"
#include "tests/support/test_support.h"

namespace gm::dxf {
namespace {

using test::Concat;
using test::Line;
using test::Section;
using test::Write;

using ChunkSource = test::TrickleSource;

Result<Drawing> LoadChunked(const std::string& bytes, std::size_t step) {
  return LoadDrawingFromSource(std::make_unique<ChunkSource>(bytes, step), "drawing.dxf", 64);
}

// A skipped section whose ENDSEC came right behind its SECTION record (THUMBNAILIMAGE holds only
// groups there, an empty OBJECTS section nothing) left the record reader without a next record:
// the EOF behind it was never read, and the file was called truncated.
TEST(DxfRegression, SkippedSectionEndingRightAfterItsName) {
  for (const auto& skipped :
       {Section("OBJECTS", {}), Section("THUMBNAILIMAGE", {{90, "3"}, {310, "414243"}})}) {
    auto d = test::Load(Write(Concat({Section("ENTITIES", Line("1", 0, 0, 1, 1)),
                                      skipped,
                                      Section("ENTITIES", Line("2", 0, 0, 1, 1)),
                                      {{0, "EOF"}}})));
    ASSERT_TRUE(d.ok()) << d.status().message();
    EXPECT_EQ(d->entities.size(), 2u);
  }
}

// A skipped section followed by another section: the reader took the first group behind the
// skipped ENDSEC for the end of the input.
TEST(DxfRegression, SectionAfterASkippedSection) {
  auto d = test::Load(Write(Concat({Section("CLASSES", {{0, "CLASS"}, {1, "X"}}),
                                    Section("ENTITIES", Line("1", 0, 0, 1, 1)),
                                    {{0, "EOF"}}})));
  ASSERT_TRUE(d.ok()) << d.status().message();
  EXPECT_EQ(d->entities.size(), 1u);
}

// The EOF record read on past EOF, into the DOS end-of-file byte some writers leave there.
TEST(DxfRegression, JunkBehindEof) {
  auto d = test::Load(Write(Concat({Section("ENTITIES", Line("1", 0, 0, 1, 1)), {{0, "EOF"}}})) +
                      "\x1A");
  ASSERT_TRUE(d.ok()) << d.status().message();
}

// A file of nothing but blanks was "empty" in memory but a bad group code when read in chunks,
// as the emptiness check only looked at the first chunk.
TEST(DxfRegression, BlankFileIsEmptyInEveryReading) {
  const std::string blanks(5000, '\n');
  EXPECT_EQ(test::Load(blanks).status().code(), ErrorCode::kEmpty);
  EXPECT_EQ(LoadChunked(blanks, 7).status().code(), ErrorCode::kEmpty);
  const std::string padded = "\n \n" + Write({{0, "EOF"}});
  EXPECT_EQ(test::Load(padded).status().message(),
            "drawing.dxf:1: empty line where a group code belongs");
  EXPECT_EQ(LoadChunked(padded, 3).status().message(),
            "drawing.dxf:1: empty line where a group code belongs");
}

// Leading blank lines were first skipped by recursion, one stack frame a line.
TEST(DxfRegression, MillionsOfLeadingBlankLines) {
  const std::string bytes = std::string(3'000'000, '\n') + Write({{0, "EOF"}});
  auto d = test::Load(bytes);
  EXPECT_EQ(d.status().code(), ErrorCode::kBadGroupCode);
  EXPECT_EQ(d.status().line(), 1u);
}

// A file using handle FFFFFFFFFFFFFFFF made the next new handle overflow to 0, the mark of an
// entity without one.
TEST(DxfRegression, HandleSpaceUsedUp) {
  auto d = test::Load(Write(Concat(
      {Section("ENTITIES", Concat({Line("", 0, 0, 1, 1), Line("FFFFFFFFFFFFFFFF", 0, 0, 1, 1),
                                   Line("1", 0, 0, 1, 1), Line("", 0, 0, 1, 1)})),
       {{0, "EOF"}}})));
  ASSERT_TRUE(d.ok()) << d.status().message();
  EXPECT_EQ(d->entities[0].handle, 2u);
  EXPECT_EQ(d->entities[3].handle, 3u);
  EXPECT_EQ(d->next_handle, 0xFFFFFFFFFFFFFFFFu);
}

// The chunked reading (files) and the reading from memory must give the same drawing.
TEST(DxfRegression, ChunkedReadingAgreesWithMemory) {
  std::vector<std::string> inputs;
  if (!gm::test::CorpusDir().empty()) {
    for (const char* name :
         {"qcad_flange.dxf", "ACadSharp_sample_AC1009_ascii.dxf", "LibreCAD_a3.dxf"}) {
      const auto path = gm::test::CorpusDir() / name;
      if (std::filesystem::exists(path)) inputs.push_back(gm::test::ReadFile(path));
    }
  }
  inputs.push_back(
      Write(Concat({Section("ENTITIES", Line("1", 0, 0, 1, 1)), {{0, "EOF"}}}), "\r\n"));
  for (const std::string& bytes : inputs) {
    auto memory = test::Load(bytes);
    ASSERT_TRUE(memory.ok()) << memory.status().message();
    for (std::size_t step : {5u, 61u, 4096u}) {
      auto chunked = LoadChunked(bytes, step);
      ASSERT_TRUE(chunked.ok()) << chunked.status().message();
      ASSERT_EQ(chunked->entities.size(), memory->entities.size());
      for (std::size_t i = 0; i < memory->entities.size(); ++i) {
        ASSERT_EQ(chunked->entities[i].groups, memory->entities[i].groups);
        ASSERT_EQ(chunked->entities[i].line, memory->entities[i].line);
      }
      EXPECT_EQ(chunked->blocks.size(), memory->blocks.size());
    }
  }
}

}  // namespace
}  // namespace gm::dxf
