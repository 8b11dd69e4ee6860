// Real drawings by other people (../shared/corpus) load whole.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "platform/dxf/reader.h"
#include "tests/support/test_support.h"

namespace gm::dxf {
namespace {

std::filesystem::path Corpus(const std::string& name) { return gm::test::CorpusDir() / name; }

std::size_t CountType(const std::vector<Entity>& entities, const std::string& type) {
  std::size_t n = 0;
  for (const Entity& e : entities) n += e.type == type ? 1 : 0;
  return n;
}

TEST(DxfCorpus, EveryDrawingLoads) {
  if (gm::test::CorpusDir().empty()) GTEST_SKIP() << "no shared corpus";
  std::size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(gm::test::CorpusDir())) {
    if (entry.path().extension() != ".dxf") continue;
    ++files;
    auto d = LoadDrawing(entry.path());
    ASSERT_TRUE(d.ok()) << d.status().message();
    std::size_t in_blocks = 0;
    for (const Block& b : d->blocks) in_blocks += b.entities.size();
    EXPECT_GT(d->entities.size() + in_blocks, 0u) << entry.path();
    EXPECT_FALSE(d->layers.empty()) << entry.path();
    EXPECT_FALSE(d->styles.empty()) << entry.path();
    for (const Entity& e : d->entities) ASSERT_NE(e.handle, 0u) << entry.path();
  }
  EXPECT_GE(files, 1u);
}

// Counts from the corpus' own description, for a few drawings of each kind.
TEST(DxfCorpus, CountsOfKnownDrawings) {
  if (gm::test::CorpusDir().empty()) GTEST_SKIP() << "no shared corpus";
  struct Expect {
    const char* file;
    const char* version;
    const char* encoding;
    std::size_t lines, mtexts, texts, inserts;
  };
  for (const Expect& x : {
           Expect{"qcad_flange.dxf", "AC1027", "UTF-8", 153, 1, 0, 0},
           Expect{"qcad_tehnoloski_list.dxf", "AC1015", "CP1252", 87, 17, 0, 0},
           Expect{"qcad_DIN7200.dxf", "AC1015", "CP1252", 1404, 1034, 589, 0},
           Expect{"ACadSharp_sample_AC1009_ascii.dxf", "AC1009", "CP1252", 28, 0, 29, 45},
           Expect{"zcad_unsupported_entities_convert_to_polylines.dxf", "AC1015", "CP1251", 2554,
                  483, 318, 234},
           Expect{"three-dxf_api-cw750-details.dxf", "AC1027", "UTF-8", 540, 30, 2, 132},
       }) {
    if (!std::filesystem::exists(Corpus(x.file))) continue;
    auto d = LoadDrawing(Corpus(x.file));
    ASSERT_TRUE(d.ok()) << d.status().message();
    EXPECT_EQ(d->AcadVersion(), x.version) << x.file;
    EXPECT_EQ(d->encoding, x.encoding) << x.file;
    EXPECT_EQ(CountType(d->entities, "LINE"), x.lines) << x.file;
    EXPECT_EQ(CountType(d->entities, "MTEXT"), x.mtexts) << x.file;
    EXPECT_EQ(CountType(d->entities, "TEXT"), x.texts) << x.file;
    EXPECT_EQ(CountType(d->entities, "INSERT"), x.inserts) << x.file;
  }
}

TEST(DxfCorpus, BlocksOnlyDrawing) {
  if (!std::filesystem::exists(Corpus("zcad__table.dxf"))) GTEST_SKIP() << "not in the corpus";
  auto d = LoadDrawing(Corpus("zcad__table.dxf"));
  ASSERT_TRUE(d.ok()) << d.status().message();
  EXPECT_TRUE(d->entities.empty());
  std::size_t lines = 0;
  for (const Block& b : d->blocks) lines += CountType(b.entities, "LINE");
  EXPECT_EQ(lines, 1865u);
  EXPECT_EQ(d->blocks.size(), 102u);
}

TEST(DxfCorpus, TextEncodings) {
  if (gm::test::CorpusDir().empty()) GTEST_SKIP() << "no shared corpus";
  auto contains = [](const Drawing& d, const std::wstring& needle) {
    auto in = [&](const std::vector<Entity>& entities) {
      for (const Entity& e : entities) {
        if (e.Text(1).find(needle) != std::wstring::npos) return true;
      }
      return false;
    };
    if (in(d.entities)) return true;
    for (const Block& b : d.blocks) {
      if (in(b.entities)) return true;
    }
    return false;
  };
  // \U+0161 (š) in a Slovenian sheet, \U+00c4 (Ä) in German title blocks, lower-case \U+041c
  // (М) from LibreCAD, code page 1251 bytes from zcad.
  const std::map<std::string, std::wstring> samples = {
      {"qcad_tehnoloski_list.dxf", L"\u0161"},
      {"qcad_DIN7200.dxf", L"\u00C4"},
      {"LibreCAD_A4_1_draw.dxf", L"\u041C"},
      {"zcad__spds.dxf", L"\u0438"},
  };
  for (const auto& [file, text] : samples) {
    if (!std::filesystem::exists(Corpus(file))) continue;
    auto d = LoadDrawing(Corpus(file));
    ASSERT_TRUE(d.ok()) << d.status().message();
    EXPECT_TRUE(contains(*d, text)) << file;
  }
}

// dxflib 2.0.1.3 wrote "0 ENDSEC" amid the HEADER and went on with variables; the reader keeps
// them and notes the repair.
TEST(DxfCorpus, DxflibHeaderIsRepaired) {
  if (!std::filesystem::exists(Corpus("LibreCAD_a3.dxf"))) GTEST_SKIP() << "not in the corpus";
  auto d = LoadDrawing(Corpus("LibreCAD_a3.dxf"));
  ASSERT_TRUE(d.ok()) << d.status().message();
  ASSERT_EQ(d->repairs.size(), 1u);
  EXPECT_EQ(d->repairs[0].line, 15u);
  EXPECT_TRUE(d->ExtMin().has_value());
}

}  // namespace
}  // namespace gm::dxf
