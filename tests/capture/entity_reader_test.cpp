// The entity reader through the real host runtime: drawings written by an
// independent DXF library, opened into the host's drawing database, every
// selectable entity read as the pipeline reads it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "capture/entity_reader.h"
#include "capture/shx_map.h"
#include "platform/drawing/dxf_drawing.h"
#include "platform/dxf/reader.h"
#include "platform/registry/registry.h"
#include "tests/support/test_support.h"
#include "ui/settings.h"

namespace {

using gm::test::TempDir;

struct Captured {
  CHorzDbLineArray horizontal;
  CVertDbLineArray vertical;
  CArxDbMTextArray texts;
};

class DrawingFixtures : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = new TempDir;
    made_ = gm::test::RunFixtureScript("tests/capture/make_capture_drawings.py", folder_->path());
  }
  static void TearDownTestSuite() {
    delete folder_;
    folder_ = nullptr;
  }

  void SetUp() override {
    if (!made_) GTEST_SKIP() << "no drawings: /usr/bin/python3 with ezdxf is needed";
    registry::SetHiveFolder(registry_.path());
    SetSettingsRoot(HKEY_CURRENT_USER, L"Orvane");
    LoadConversionSettings();
    map_.LoadShxMap();
  }
  void TearDown() override {
    sds_host::Reset();
    registry::SetHiveFolder({});
  }

  // Opens a drawing and reads every entity a user can select, each with ReadEntity or all
  // with one reader, as a conversion does.
  Captured Read(const std::string& name, bool oneReader = false) {
    auto loaded = gm::dxf::LoadDrawing(folder_->path() / name);
    EXPECT_TRUE(loaded.ok()) << loaded.status().message();
    auto drawing = std::make_shared<gm::drawing::DxfDrawing>(std::move(loaded).value(), L"x.dxf");
    std::vector<sds_host::EntityId> ids = drawing->SelectAll();
    sds_host::SetDrawing(drawing);
    Captured c;
    CEntityReader reader(c.horizontal, c.vertical, c.texts, map_);
    for (sds_host::EntityId id : ids) {
      sds_name name = {id, 1};
      sds_resbuf* list = sds_entget(name);
      if (oneReader) {
        reader.Read(list);
      } else {
        ReadEntity(c.horizontal, c.vertical, c.texts, list, nullptr, map_);
      }
      sds_relrb(list);
    }
    return c;
  }

  static const ArxDbMText* FindText(const Captured& c, const std::wstring& text) {
    for (const ArxDbMText& t : c.texts) {
      if (t.text == text) return &t;
    }
    return nullptr;
  }

  static inline TempDir* folder_ = nullptr;
  static inline bool made_ = false;
  TempDir registry_;
  CShxMap map_;
};

TEST_F(DrawingFixtures, FrameLinesTextsAndColours) {
  Captured c = Read("frame.dxf");
  // The closed polyline gives four lines, the two grid lines one each; the
  // slanted line none.
  ASSERT_EQ(3, c.horizontal.GetSize());
  ASSERT_EQ(3, c.vertical.GetSize());
  int red = 0, green = 0;
  for (const CSimpleLine& l : c.horizontal) {
    EXPECT_LE(l.x1, l.x2) << "horizontal lines run left to right";
    if (l.color == 0x0000FF) ++red;
    if (l.color == 0x00FF00) ++green;
  }
  EXPECT_EQ(2, red);
  EXPECT_EQ(1, green);
  for (const CSimpleLine& l : c.vertical) EXPECT_GE(l.y1, l.y2) << "vertical lines run downwards";

  const ArxDbMText* ab = FindText(c, L"AB");
  ASSERT_NE(nullptr, ab);
  EXPECT_DOUBLE_EQ(2.0, ab->x);
  EXPECT_DOUBLE_EQ(13.0, ab->y);
  EXPECT_EQ(kAutomaticColor, ab->color);
  // The core is the middle fifth of a box from the baseline to the cap height.
  EXPECT_NEAR(13.0 + 2.5 * 0.6, ab->boxTop, 0.05);
  EXPECT_NEAR(2.5 * 0.2, ab->boxHeight, 0.05);

  // A middle-centred text lies around its alignment point, and %%D is the
  // degree sign itself.
  const ArxDbMText* degrees = FindText(c, L"90\u00B0");
  ASSERT_NE(nullptr, degrees);
  EXPECT_NEAR(30.0, degrees->boxLeft + degrees->boxWidth / 2, 0.1);
  EXPECT_NEAR(15.0, degrees->boxTop - degrees->boxHeight / 2, 0.3);

  // MTEXT: formatting removed, extents computed by the host (the file has none).
  const ArxDbMText* mtext = FindText(c, L"Total\nSum");
  ASSERT_NE(nullptr, mtext);
  EXPECT_EQ(L"{\\fArial|b1;Total}\\PSum", mtext->source);
  EXPECT_GT(mtext->boxWidth, 0.0);
  EXPECT_LT(mtext->boxTop, 8.0);
  EXPECT_GT(mtext->boxTop - mtext->boxHeight, 8.0 - 2.0 - 2.0 * 5.0 / 3.0);

  EXPECT_EQ(nullptr, FindText(c, L"")) << "a text of only %%U adds nothing";
  EXPECT_EQ(3, c.texts.GetSize());
}

TEST_F(DrawingFixtures, LinesAreReadInTheCurrentUserSystem) {
  Captured c = Read("ucs.dxf");
  // World lines along y are user lines along x: horizontal for the reader.
  ASSERT_EQ(2, c.horizontal.GetSize());
  EXPECT_EQ(0, c.vertical.GetSize());
  std::vector<double> ys;
  for (const CSimpleLine& l : c.horizontal) {
    EXPECT_NEAR(0.0, l.x1, 1e-9);
    EXPECT_NEAR(30.0, l.x2, 1e-9);
    ys.push_back(l.y1);
  }
  std::sort(ys.begin(), ys.end());
  EXPECT_NEAR(0.0, ys[0], 1e-9);
  EXPECT_NEAR(10.0, ys[1], 1e-9);
}

// One reader learns the user system once; in the world system it turns no point at all.
TEST_F(DrawingFixtures, OneReaderForAllEntitiesReadsAsEachEntityAlone) {
  for (const char* name : {"frame.dxf", "ucs.dxf", "block.dxf"}) {
    SCOPED_TRACE(name);
    const Captured alone = Read(name), together = Read(name, true);
    auto same = [](const auto& a, const auto& b) {
      ASSERT_EQ(a.GetSize(), b.GetSize());
      for (int i = 0; i < a.GetSize(); ++i) {
        EXPECT_EQ(a[i].x1, b[i].x1);
        EXPECT_EQ(a[i].y1, b[i].y1);
        EXPECT_EQ(a[i].x2, b[i].x2);
        EXPECT_EQ(a[i].y2, b[i].y2);
        EXPECT_EQ(a[i].color, b[i].color);
      }
    };
    same(alone.horizontal, together.horizontal);
    same(alone.vertical, together.vertical);
    ASSERT_EQ(alone.texts.GetSize(), together.texts.GetSize());
    for (int i = 0; i < alone.texts.GetSize(); ++i) {
      const ArxDbMText &a = alone.texts[i], &b = together.texts[i];
      EXPECT_EQ(a.text, b.text);
      EXPECT_EQ(a.source, b.source);
      EXPECT_EQ(a.x, b.x);
      EXPECT_EQ(a.y, b.y);
      EXPECT_EQ(a.rotation, b.rotation);
      EXPECT_EQ(a.boxLeft, b.boxLeft);
      EXPECT_EQ(a.boxTop, b.boxTop);
      EXPECT_EQ(a.boxWidth, b.boxWidth);
      EXPECT_EQ(a.boxHeight, b.boxHeight);
    }
  }
}

TEST_F(DrawingFixtures, BlockReferencesWithAttributesRotationAndCycles) {
  Captured c = Read("block.dxf");
  // Scaled reference: base (1, 1), scale 2, at (100, 50).
  bool scaled = false, rotated = false;
  for (const CSimpleLine& l : c.horizontal) {
    if (std::fabs(l.y1 - 50) < 1e-9 && std::fabs(l.x1 - 100) < 1e-9 &&
        std::fabs(l.x2 - 104) < 1e-9) {
      scaled = true;
    }
  }
  // Rotated by 90 degrees about the base point at the origin: the block's
  // horizontal line (1,1)-(3,1) becomes vertical from (0,0) to (0,2).
  for (const CSimpleLine& l : c.vertical) {
    if (std::fabs(l.x1) < 1e-9 && std::fabs(l.y1 - 2) < 1e-9 && std::fabs(l.y2) < 1e-9) {
      rotated = true;
    }
  }
  EXPECT_TRUE(scaled);
  EXPECT_TRUE(rotated) << "a rotated reference turns the base-point offset too";

  const ArxDbMText* attribute = FindText(c, L"\u00D8 20 Gr\u00F6\u00DFe");
  ASSERT_NE(nullptr, attribute) << "the attribute is read as a text at its own position";
  EXPECT_DOUBLE_EQ(103.0, attribute->x);
  EXPECT_DOUBLE_EQ(53.0, attribute->y);
  // Each of the two TITLE references has one attribute definition (not read)
  // and only the first carries an attribute.
  EXPECT_EQ(1, c.texts.GetSize());

  // The self-inserting block is read once: its line at y = -20.
  int loopLines = 0;
  for (const CSimpleLine& l : c.horizontal) {
    if (std::fabs(l.y1 + 20) < 1e-9 || std::fabs(l.y1 + 19) < 1e-9) ++loopLines;
  }
  EXPECT_EQ(1, loopLines);
}

// Real drawings by other people: every selectable entity goes through the
// reader without a fault, and drawings with tables yield lines and texts.
TEST(CorpusCapture, EveryDrawingReads) {
  std::filesystem::path corpus = gm::test::CorpusDir();
  if (corpus.empty()) GTEST_SKIP() << "../shared/corpus is absent";
  TempDir registry;
  registry::SetHiveFolder(registry.path());
  SetSettingsRoot(HKEY_CURRENT_USER, L"Orvane");
  LoadConversionSettings();
  CShxMap map;
  map.LoadShxMap();
  int drawings = 0;
  for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
    if (entry.path().extension() != ".dxf") continue;
    auto loaded = gm::dxf::LoadDrawing(entry.path());
    if (!loaded.ok()) continue;  // the reader's own tests judge the files
    auto drawing = std::make_shared<gm::drawing::DxfDrawing>(std::move(loaded).value(), L"c.dxf");
    std::vector<sds_host::EntityId> ids = drawing->SelectAll();
    sds_host::SetDrawing(drawing);
    Captured c;
    for (sds_host::EntityId id : ids) {
      sds_name name = {id, 1};
      sds_resbuf* list = sds_entget(name);
      ReadEntity(c.horizontal, c.vertical, c.texts, list, nullptr, map);
      sds_relrb(list);
    }
    ++drawings;
    const std::string file = entry.path().filename().string();
    for (const ArxDbMText& t : c.texts) {
      EXPECT_TRUE(std::isfinite(t.boxLeft) && std::isfinite(t.boxTop)) << file;
      EXPECT_GE(t.boxWidth, 0.0) << file;
    }
    if (file.find("title_block") != std::string::npos ||
        file.find("Plankopf") != std::string::npos) {
      EXPECT_GT(c.horizontal.GetSize(), 1) << file;
      EXPECT_GT(c.vertical.GetSize(), 1) << file;
    }
  }
  sds_host::Reset();
  registry::SetHiveFolder({});
  EXPECT_GT(drawings, 5);
}

// Entity data lists built by hand: type names in any case are read, and each text takes its own
// style's symbol records and width even when styles alternate.
TEST(HandBuiltLists, TypeNamesInAnyCaseAndStylesInTurn) {
  TempDir registry;
  registry::SetHiveFolder(registry.path());
  SetSettingsRoot(HKEY_CURRENT_USER, L"Orvane");
  LoadConversionSettings();
  auto loaded = gm::dxf::LoadDrawingFromBuffer(
      "0\nSECTION\n2\nTABLES\n0\nTABLE\n2\nSTYLE\n"
      "0\nSTYLE\n2\nNarrow\n70\n0\n40\n0\n41\n0.5\n3\ntxt\n0\nENDTAB\n0\nENDSEC\n"
      "0\nSECTION\n2\nENTITIES\n0\nENDSEC\n0\nEOF\n",
      "h.dxf");
  ASSERT_TRUE(loaded.ok()) << loaded.status().message();
  sds_host::SetDrawing(
      std::make_shared<gm::drawing::DxfDrawing>(std::move(loaded).value(), L"h.dxf"));
  CShxMap map;
  map.SetShxRecord(L"#", L"narrow", L"No.");
  Captured c;
  auto read = [&](sds_resbuf* list) {
    list->restype = 0;  // entity data carries the type as group 0, filters as RTDXF0
    ReadEntity(c.horizontal, c.vertical, c.texts, list, nullptr, map);
    sds_relrb(list);
  };
  const sds_real a[3] = {0, 0, 0}, b[3] = {10, 0, 0}, up[3] = {0, 10, 0};
  read(sds_buildlist(RTDXF0, L"line", 10, a, 11, b, 0));
  read(sds_buildlist(RTDXF0, L"Line", 10, a, 11, up, 0));
  for (int round = 0; round < 2; ++round) {
    read(sds_buildlist(RTDXF0, L"text", 7, L"Narrow", 10, a, 40, 2.5, 50, 0.0, 1, L"#1", 0));
    read(sds_buildlist(RTDXF0, L"TEXT", 7, L"Standard", 10, a, 40, 2.5, 50, 0.0, 1, L"#1", 0));
  }
  EXPECT_EQ(c.horizontal.GetSize(), 1);
  EXPECT_EQ(c.vertical.GetSize(), 1);
  ASSERT_EQ(c.texts.GetSize(), 4);
  for (int i = 0; i < 4; i += 2) {
    EXPECT_EQ(c.texts[i].text, L"No.1");
    EXPECT_EQ(c.texts[i + 1].text, L"#1");
    EXPECT_NEAR(c.texts[i].boxWidth * 2, c.texts[i + 1].boxWidth, 1e-9) << "half as wide";
  }
  // A record added later applies to the next text.
  map.SetShxRecord(L"1", L"*All*", L"one");
  read(sds_buildlist(RTDXF0, L"TEXT", 7, L"Standard", 10, a, 40, 2.5, 50, 0.0, 1, L"#1", 0));
  EXPECT_EQ(c.texts[4].text, L"#one");
  // Under- and overline toggles go, a doubled percent sign halves, blanks at the ends go;
  // a text of blanks only is no text.
  read(sds_buildlist(RTDXF0, L"TEXT", 10, a, 40, 2.5, 50, 0.0, 1, L" \t%%uA%%U b%%O%%%\r ", 0));
  read(sds_buildlist(RTDXF0, L"TEXT", 10, a, 40, 2.5, 50, 0.0, 1, L" %%U \t", 0));
  ASSERT_EQ(c.texts.GetSize(), 6);
  EXPECT_EQ(c.texts[5].text, L"%%uA b%");
  sds_host::Reset();
  registry::SetHiveFolder({});
}

}  // namespace
