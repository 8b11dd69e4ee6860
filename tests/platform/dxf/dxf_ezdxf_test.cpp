// Drawings written by ezdxf, an independent DXF library, read back by our reader.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <optional>
#include <set>
#include <string>

#include "platform/dxf/reader.h"
#include "tests/support/test_support.h"

namespace gm::dxf {
namespace {

const std::wstring kDiameter =
    L"\u00D8 20 \u00B1"
    L"0.1 Gr\u00F6\u00DF"
    L"e";
const std::wstring kCyrillic =
    L"\u0422\u0430\u0431\u043B\u0438\u0446\u0430 \u0440\u0430\u0437\u043C\u0435\u0440\u043E\u0432";
const std::wstring kAttribValue = L"\u0418\u0432\u0430\u043D\u043E\u0432 \u0418.\u0418.";

class DxfEzdxf : public ::testing::TestWithParam<const char*> {
 protected:
  static void SetUpTestSuite() {
    dir_ = new gm::test::TempDir();
    if (access(gm::test::SystemPython(), X_OK) != 0) {
      skip_ = std::string(gm::test::SystemPython()) + " is missing";
      return;
    }
    const std::string script =
        (gm::test::SourceDir() / "tests/platform/dxf/make_ezdxf_drawings.py").string();
    const std::string command =
        std::string(gm::test::SystemPython()) + " '" + script + "' '" + dir_->path().string() + "'";
    const int rc = system(command.c_str());
    if (WIFEXITED(rc) && WEXITSTATUS(rc) == 3) {
      skip_ = "ezdxf is not installed for " + std::string(gm::test::SystemPython());
    } else if (rc != 0) {
      failure_ = "the fixture script failed: " + command;
    }
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  void SetUp() override {
    if (!skip_.empty()) GTEST_SKIP() << skip_;
    ASSERT_TRUE(failure_.empty()) << failure_;
  }

  static Drawing LoadVersion(const std::string& name) {
    auto d = LoadDrawing(dir_->path() / (name + ".dxf"));
    EXPECT_TRUE(d.ok()) << d.status().message();
    return d.ok() ? std::move(d).value() : Drawing();
  }

  static const Entity* FindText(const std::vector<Entity>& entities, const std::wstring& text) {
    for (const Entity& e : entities) {
      if ((e.type == "TEXT" || e.type == "MTEXT") && e.Text(1).find(text) != std::wstring::npos) {
        return &e;
      }
    }
    return nullptr;
  }

  static inline gm::test::TempDir* dir_ = nullptr;
  static inline std::string skip_;
  static inline std::string failure_;
};

TEST_P(DxfEzdxf, HeaderAndEncoding) {
  const std::string version = GetParam();
  const Drawing d = LoadVersion(version);
  const std::string expected_version = version == "R12"     ? "AC1009"
                                       : version == "R2007" ? "AC1021"
                                       : version == "R2018" ? "AC1032"
                                                            : "AC1015";
  EXPECT_EQ(d.AcadVersion(), expected_version);
  if (version == "R2007" || version == "R2018") {
    EXPECT_EQ(d.encoding, "UTF-8");
  } else if (version == "R2000_1251") {
    EXPECT_EQ(d.CodePage(), L"ANSI_1251");
    EXPECT_EQ(d.encoding, "CP1251");
  } else {
    EXPECT_EQ(d.encoding, "CP1252");
  }
  EXPECT_EQ(d.InsBase(), (Point3{1.5, 2.5, 0}));
  EXPECT_TRUE(d.repairs.empty() || version == "R12");
}

TEST_P(DxfEzdxf, LineAndClosedPolyline) {
  const std::string version = GetParam();
  const Drawing d = LoadVersion(version);
  const Entity* line = nullptr;
  for (const Entity& e : d.entities) {
    if (e.type == "LINE" && !e.paper_space) line = &e;
  }
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(line->PointAt(10), (Point3{0, 0, 0}));
  EXPECT_EQ(line->PointAt(11), (Point3{100, 0, 0}));
  EXPECT_EQ(line->Text(8), L"TABLE");
  EXPECT_EQ(line->Integer(62), 1);
  EXPECT_NE(line->handle, 0u);

  std::vector<Point3> corners;
  if (version == "R12") {
    // POLYLINE, its VERTEXes and SEQEND, one after the other.
    std::size_t i = 0;
    while (i < d.entities.size() && d.entities[i].type != "POLYLINE") ++i;
    ASSERT_LT(i, d.entities.size());
    EXPECT_EQ(d.entities[i].Integer(70) & 1, 1);
    for (++i; i < d.entities.size() && d.entities[i].type == "VERTEX"; ++i) {
      corners.push_back(d.entities[i].PointAt(10));
    }
    ASSERT_LT(i, d.entities.size());
    EXPECT_EQ(d.entities[i].type, "SEQEND");
  } else {
    const Entity* poly = nullptr;
    for (const Entity& e : d.entities) {
      if (e.type == "LWPOLYLINE") poly = &e;
    }
    ASSERT_NE(poly, nullptr);
    EXPECT_EQ(poly->Integer(70) & 1, 1);
    EXPECT_EQ(poly->Integer(90), 4);
    for (const Group& g : poly->groups) {
      if (g.code() == 10) corners.push_back(g.point());
    }
  }
  EXPECT_EQ(corners, (std::vector<Point3>{{0, 0, 0}, {100, 0, 0}, {100, 50, 0}, {0, 50, 0}}));
}

TEST_P(DxfEzdxf, TextsWithJustificationAndNonAsciiCharacters) {
  const std::string version = GetParam();
  const Drawing d = LoadVersion(version);
  // ezdxf writes a character below U+0100 that code page 1251 lacks as "\\xNN", its own
  // notation and no DXF escape: it stays as written. The 1251 byte of '±' decodes.
  const std::wstring expected = version == "R2000_1251" ? L"\\xd8 20 \u00B1"
                                                          L"0.1 Gr\\xf6\\xdf"
                                                          L"e"
                                                        : kDiameter;
  const Entity* diameter = FindText(d.entities, expected);
  ASSERT_NE(diameter, nullptr);
  EXPECT_EQ(diameter->Text(1), expected);
  EXPECT_EQ(diameter->Text(7), L"ARIALTTF");
  EXPECT_EQ(diameter->Real(40), 2.5);
  EXPECT_EQ(diameter->Integer(72), 1);  // centre
  EXPECT_EQ(d.entities.size() > 0, true);
  // Middle-centre: group 73 (vertical alignment) 2, the alignment point 11 where it was placed.
  std::optional<Group> valign;
  for (const Group& g : diameter->groups) {
    if (g.code() == 73) valign = g;
  }
  ASSERT_TRUE(valign.has_value());
  EXPECT_EQ(valign->integer(), 2);
  EXPECT_EQ(diameter->PointAt(11), (Point3{50, 25, 0}));

  const Entity* cyrillic = FindText(d.entities, kCyrillic);
  ASSERT_NE(cyrillic, nullptr);
  EXPECT_EQ(cyrillic->Text(1), kCyrillic);
  EXPECT_EQ(cyrillic->PointAt(10), (Point3{10, 40, 0}));

  if (version != "R12") {
    const Entity* mtext = FindText(d.entities, L"Line one");
    ASSERT_NE(mtext, nullptr);
    EXPECT_EQ(mtext->type, "MTEXT");
    EXPECT_EQ(mtext->Text(1), L"Line one\\PLine two " + kCyrillic);
    EXPECT_EQ(mtext->PointAt(10), (Point3{10, 45, 0}));
    EXPECT_EQ(mtext->Real(40), 2.0);
    EXPECT_EQ(mtext->Real(41), 60.0);
  }
}

TEST_P(DxfEzdxf, InsertWithAttribsAndItsBlock) {
  const Drawing d = LoadVersion(GetParam());
  std::size_t i = 0;
  while (i < d.entities.size() && d.entities[i].type != "INSERT") ++i;
  ASSERT_LT(i + 2, d.entities.size());
  const Entity& insert = d.entities[i];
  EXPECT_EQ(insert.Text(2), L"TITLE");
  EXPECT_EQ(insert.PointAt(10), (Point3{200, 100, 0}));
  EXPECT_EQ(insert.Integer(66), 1);
  EXPECT_EQ(d.entities[i + 1].type, "ATTRIB");
  EXPECT_EQ(d.entities[i + 1].Text(2), L"NAME");
  EXPECT_EQ(d.entities[i + 1].Text(1), kAttribValue);
  EXPECT_EQ(d.entities[i + 2].type, "SEQEND");

  const Block* block = d.FindBlock(L"TITLE");
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(block->base, (Point3{5, 6, 0}));
  std::vector<std::string> types;
  for (const Entity& e : block->entities) types.emplace_back(e.type);
  EXPECT_EQ(types, (std::vector<std::string>{"LINE", "LINE", "TEXT", "ATTDEF"}));
  EXPECT_EQ(block->entities[3].Text(2), L"NAME");
  EXPECT_NE(block->handle, 0u);
  if (std::string(GetParam()) != "R12") {
    const BlockRecord* record = d.FindBlockRecord(L"TITLE");
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(block->begin.owner, record->handle);
  }
}

TEST_P(DxfEzdxf, StyleLayerAndUcs) {
  const std::string version = GetParam();
  const Drawing d = LoadVersion(version);
  const TextStyle* style = d.FindStyle(L"ARIALTTF");
  ASSERT_NE(style, nullptr);
  EXPECT_EQ(style->font_file, L"arial.ttf");
  EXPECT_EQ(style->width_factor, 0.8);
  EXPECT_EQ(style->oblique_angle, 15.0);
  EXPECT_EQ(style->font_family, version == "R12" ? L"" : L"Arial");

  const Layer* layer = d.FindLayer(L"TABLE");
  ASSERT_NE(layer, nullptr);
  EXPECT_EQ(layer->colour, 3);

  const UcsEntry* ucs = d.FindUcs(L"TILTED");
  ASSERT_NE(ucs, nullptr);
  EXPECT_EQ(ucs->origin, (Point3{10, 20, 0}));
  EXPECT_EQ(ucs->x_axis, (Point3{0, 1, 0}));
  EXPECT_EQ(ucs->y_axis, (Point3{-1, 0, 0}));
}

TEST_P(DxfEzdxf, PaperSpaceAndUniqueHandles) {
  const Drawing d = LoadVersion(GetParam());
  std::size_t paper = 0;
  for (const Entity& e : d.entities) paper += e.paper_space ? 1 : 0;
  // R12 keeps paper space in ENTITIES; later versions put the active layout's entities there
  // too, other layouts in their blocks.
  std::set<std::uint64_t> handles;
  std::size_t count = 0;
  auto add = [&](const Entity& e) {
    EXPECT_NE(e.handle, 0u);
    handles.insert(e.handle);
    ++count;
  };
  for (const Entity& e : d.entities) add(e);
  for (const Block& b : d.blocks) {
    add(b.begin);
    for (const Entity& e : b.entities) {
      add(e);
      paper += e.paper_space ? 1 : 0;
    }
    add(b.end);
  }
  EXPECT_EQ(paper, 1u);
  EXPECT_EQ(handles.size(), count);
  EXPECT_GT(d.next_handle, *handles.rbegin());
}

INSTANTIATE_TEST_SUITE_P(Versions, DxfEzdxf,
                         ::testing::Values("R12", "R2000", "R2000_1251", "R2007", "R2018"));

}  // namespace
}  // namespace gm::dxf
