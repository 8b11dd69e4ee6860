#include "platform/drawing/dxf_drawing.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/console/console.h"
#include "platform/dxf/reader.h"
#include "platform/sds/sds.h"

namespace {

// A LINE (handle 10), a TEXT (11) and a LINE (12) in model space.
constexpr char kDrawing[] =
    "0\nSECTION\n2\nENTITIES\n"
    "0\nLINE\n5\n10\n8\n0\n10\n0\n20\n0\n11\n10\n21\n0\n"
    "0\nTEXT\n5\n11\n8\n0\n10\n1\n20\n1\n40\n2.5\n1\nA1\n290\n1\n"
    "0\nLINE\n5\n12\n8\n0\n10\n0\n20\n5\n11\n10\n21\n5\n"
    "0\nENDSEC\n0\nEOF\n";

class DrawingSelection : public ::testing::Test {
 protected:
  void SetUp() override {
    auto loaded = gm::dxf::LoadDrawingFromBuffer(kDrawing, "t.dxf");
    ASSERT_TRUE(loaded.ok()) << loaded.status().message();
    sds_host::SetDrawing(
        std::make_shared<gm::drawing::DxfDrawing>(std::move(loaded).value(), L"t.dxf"));
    sink_ = console::SetSink([](const std::wstring&) {});
  }
  void TearDown() override {
    console::SetInput(previous_);
    console::SetSink(sink_);
    sds_host::Reset();
  }

  // Runs sds_ssget with the answers typed at its prompt; the handles selected, in order.
  std::vector<long long> Select(const std::string& answers, const sds_resbuf* filter) {
    std::istringstream in(answers);
    console::StreamInput input(in);
    previous_ = console::SetInput(&input);
    std::vector<long long> ids;
    sds_name set;
    if (sds_ssget(nullptr, nullptr, nullptr, filter, set) == RTNORM) {
      long n = 0;
      sds_sslength(set, &n);
      for (long i = 0; i < n; ++i) {
        sds_name e;
        sds_ssname(set, i, e);
        ids.push_back(e[0]);
      }
      sds_ssfree(set);
    }
    console::SetInput(previous_);
    return ids;
  }

  console::Input* previous_ = nullptr;
  console::Sink sink_;
};

TEST_F(DrawingSelection, RepeatedPicksKeepEachEntityOnceInTheOrderFirstPicked) {
  EXPECT_EQ(Select("12\nALL\n11\n12\n\n", nullptr), (std::vector<long long>{0x12, 0x10, 0x11}));
  // Picks already in ascending order, repeats side by side.
  EXPECT_EQ(Select("10\n10\n11\n12\n12\n\n", nullptr), (std::vector<long long>{0x10, 0x11, 0x12}));
}

TEST_F(DrawingSelection, TheFilterJudgesEveryEntityByItsType) {
  sds_resbuf* lines = sds_buildlist(RTDXF0, L"line", 0);
  EXPECT_EQ(Select("ALL\nALL\n\n", lines), (std::vector<long long>{0x10, 0x12}));
  sds_relrb(lines);
  sds_resbuf* either = sds_buildlist(-4, L"<OR", RTDXF0, L"TEXT", RTDXF0, L"ARC", -4, L"OR>", 0);
  EXPECT_EQ(Select("ALL\n\n", either), (std::vector<long long>{0x11}));
  sds_relrb(either);
}

TEST(GroupCodeTypes, TheReaderAndTheResultBuffersReadEveryCodeAlike) {
  using gm::dxf::GroupType;
  for (int code = 0; code <= 1071; ++code) {
    const SdsValueKind kind = SdsKindOfCode(code);
    if (!gm::dxf::IsListedCode(code)) {
      EXPECT_EQ(kind, SdsValueKind::kNone) << code;
      continue;
    }
    switch (gm::dxf::GroupTypeOf(code)) {
      case GroupType::kString:
        EXPECT_EQ(kind, gm::dxf::IsReferenceCode(code) ? SdsValueKind::kName : SdsValueKind::kText)
            << code;
        break;
      case GroupType::kDouble:
        EXPECT_EQ(kind, SdsValueKind::kReal) << code;
        break;
      case GroupType::kInt16:
      case GroupType::kBool:
        EXPECT_EQ(kind, SdsValueKind::kShort) << code;
        break;
      case GroupType::kInt32:
      case GroupType::kInt64:
        EXPECT_EQ(kind, SdsValueKind::kLong) << code;
        break;
      case GroupType::kPoint:
        EXPECT_EQ(kind, SdsValueKind::kPoint) << code;
        break;
    }
  }
}

TEST_F(DrawingSelection, EntityDataCarryTextsAndFlagsByTheirCodesType) {
  sds_name text = {0x11, 1};
  sds_resbuf* list = sds_entget(text);
  ASSERT_NE(list, nullptr);
  int seen = 0;
  for (const sds_resbuf* rb = list; rb != nullptr; rb = rb->rbnext) {
    if (rb->restype == 1) {
      EXPECT_STREQ(rb->resval.rstring, L"A1");
      ++seen;
    } else if (rb->restype == 290) {
      EXPECT_EQ(rb->resval.rint, 1);
      ++seen;
    } else if (rb->restype == 0) {
      EXPECT_STREQ(rb->resval.rstring, L"TEXT");
      ++seen;
    }
  }
  EXPECT_EQ(seen, 3);
  sds_relrb(list);
}

// Two centred TEXTs alike but for the order of their groups, in a style half as wide.
constexpr char kJustified[] =
    "0\nSECTION\n2\nTABLES\n0\nTABLE\n2\nSTYLE\n"
    "0\nSTYLE\n2\nNarrow\n70\n0\n40\n0\n41\n0.5\n3\ntxt\n0\nENDTAB\n0\nENDSEC\n"
    "0\nSECTION\n2\nENTITIES\n"
    "0\nTEXT\n5\n2A\n8\n0\n7\nNarrow\n10\n0\n20\n0\n40\n2.5\n1\nWide text\n72\n1\n11\n5\n21\n5\n"
    "73\n2\n"
    "0\nTEXT\n5\n2B\n8\n0\n11\n5\n21\n5\n73\n2\n7\nNarrow\n10\n0\n20\n0\n40\n2.5\n1\nWide text\n"
    "72\n1\n"
    "0\nENDSEC\n0\nEOF\n";

TEST(EntityData, JustifiedTextsAndStyleDefaultsDoNotDependOnGroupOrder) {
  auto loaded = gm::dxf::LoadDrawingFromBuffer(kJustified, "j.dxf");
  ASSERT_TRUE(loaded.ok()) << loaded.status().message();
  gm::drawing::DxfDrawing drawing(std::move(loaded).value(), L"j.dxf");
  struct Read {
    std::wstring handle;
    double x = -1, y = -1, widthFactor = -1;
  };
  auto read = [&drawing](long long id) {
    Read r;
    sds_resbuf* list = drawing.EntGet(id);
    for (const sds_resbuf* rb = list; rb != nullptr; rb = rb->rbnext) {
      if (rb->restype == 5) r.handle = rb->resval.rstring;
      if (rb->restype == 10) r.x = rb->resval.rpoint[0], r.y = rb->resval.rpoint[1];
      if (rb->restype == 41) r.widthFactor = rb->resval.rreal;
    }
    sds_relrb(list);
    return r;
  };
  const Read a = read(0x2A), b = read(0x2B);
  // A box measured in another style between two reads must not change the default.
  sds_resbuf* standard = sds_buildlist(RTDXF0, L"TEXT", 40, 2.5, 1, L"AB", 0);
  sds_host::Point ll, ur;
  EXPECT_TRUE(drawing.TextBox(standard, ll, ur));
  sds_relrb(standard);
  EXPECT_DOUBLE_EQ(read(0x2A).widthFactor, 0.5);
  EXPECT_EQ(a.handle, L"2A");
  EXPECT_EQ(b.handle, L"2B");
  EXPECT_DOUBLE_EQ(a.widthFactor, 0.5);
  EXPECT_DOUBLE_EQ(b.widthFactor, 0.5);
  // The first alignment point lies left of the centre the file gives, half the height below.
  EXPECT_LT(a.x, 5.0);
  EXPECT_DOUBLE_EQ(a.y, 3.75);
  EXPECT_DOUBLE_EQ(a.x, b.x);
  EXPECT_DOUBLE_EQ(a.y, b.y);
}

// A TEXT that gives every group a host would add, with a comment among them, and a LINE.
constexpr char kFullText[] =
    "0\nSECTION\n2\nENTITIES\n"
    "0\nTEXT\n5\n3A\n8\n0\n999\nnote\n7\nStandard\n10\n1\n20\n2\n40\n2.5\n1\nAB\n"
    "50\n0\n41\n1\n51\n0\n71\n0\n72\n0\n11\n0\n21\n0\n"
    "0\nLINE\n5\n3B\n8\n0\n10\n0\n20\n0\n11\n1\n21\n0\n"
    "0\nENDSEC\n0\nEOF\n";

std::vector<int> Codes(const sds_resbuf* list) {
  std::vector<int> codes;
  for (; list != nullptr; list = list->rbnext) codes.push_back(list->restype);
  return codes;
}

// Nodes are taken for the defaults a text may need; a list that needs none, or skips a
// comment, must still end at its last group, and its nodes stay the caller's across reads.
TEST(EntityData, ListsEndAtTheirLastGroupAndStayWholeAcrossReads) {
  auto loaded = gm::dxf::LoadDrawingFromBuffer(kFullText, "f.dxf");
  ASSERT_TRUE(loaded.ok()) << loaded.status().message();
  gm::drawing::DxfDrawing drawing(std::move(loaded).value(), L"f.dxf");
  const std::vector<int> textCodes = {-1, 0, 5, 8, 7, 10, 40, 1, 50, 41, 51, 71, 72, 11};
  const std::vector<int> lineCodes = {-1, 0, 5, 8, 10, 11};
  sds_resbuf* text = drawing.EntGet(0x3A);
  EXPECT_EQ(Codes(text), textCodes);
  // Part of the text's list is freed, the rest kept while other lists come and go.
  sds_resbuf* cut = text;
  for (int i = 1; i < 8; ++i) cut = cut->rbnext;
  sds_resbuf* tail = cut->rbnext;
  cut->rbnext = nullptr;
  sds_relrb(tail);
  for (int round = 0; round < 3; ++round) {
    sds_resbuf* line = drawing.EntGet(0x3B);
    EXPECT_EQ(Codes(line), lineCodes);
    sds_relrb(line);
    sds_resbuf* again = drawing.EntGet(0x3A);
    EXPECT_EQ(Codes(again), textCodes);
    sds_relrb(again);
  }
  EXPECT_EQ(Codes(text), std::vector<int>(textCodes.begin(), textCodes.begin() + 8));
  EXPECT_STREQ(text->rbnext->resval.rstring, L"TEXT");
  EXPECT_STREQ(text->rbnext->rbnext->resval.rstring, L"3A");
  EXPECT_STREQ(cut->resval.rstring, L"AB");
  sds_relrb(text);
}

// Model-space handles ascend (20..22); block entities lie below, between and above them.
constexpr char kBlockHandles[] =
    "0\nSECTION\n2\nBLOCKS\n"
    "0\nBLOCK\n5\n8\n2\nB\n70\n0\n10\n0\n20\n0\n"
    "0\nLINE\n5\n9\n8\n0\n10\n0\n20\n0\n11\n1\n21\n0\n"
    "0\nLINE\n5\n30\n8\n0\n10\n0\n20\n0\n11\n1\n21\n0\n0\nENDBLK\n5\n2F\n"
    "0\nBLOCK\n5\n1A\n2\nC\n70\n0\n10\n0\n20\n0\n"
    "0\nLINE\n5\n21\n8\n0\n10\n0\n20\n0\n11\n1\n21\n0\n0\nENDBLK\n5\n1B\n"
    "0\nENDSEC\n0\nSECTION\n2\nENTITIES\n"
    "0\nLINE\n5\n20\n8\n0\n10\n0\n20\n0\n11\n1\n21\n0\n"
    "0\nLINE\n5\n22\n8\n0\n10\n0\n20\n0\n11\n1\n21\n0\n"
    "0\nENDSEC\n0\nEOF\n";

TEST(EntityData, BlockAndModelEntitiesAreFoundByHandleWhereverTheirHandlesLie) {
  auto loaded = gm::dxf::LoadDrawingFromBuffer(kBlockHandles, "b.dxf");
  ASSERT_TRUE(loaded.ok()) << loaded.status().message();
  gm::drawing::DxfDrawing drawing(std::move(loaded).value(), L"b.dxf");
  auto handleOf = [&drawing](long long id) {
    std::wstring handle = L"(none)";
    sds_resbuf* list = drawing.EntGet(id);
    for (const sds_resbuf* rb = list; rb != nullptr; rb = rb->rbnext) {
      if (rb->restype == 5) handle = rb->resval.rstring;
    }
    sds_relrb(list);
    return handle;
  };
  EXPECT_EQ(handleOf(0x9), L"9");
  EXPECT_EQ(handleOf(0x20), L"20");
  EXPECT_EQ(handleOf(0x21), L"21");
  EXPECT_EQ(handleOf(0x22), L"22");
  EXPECT_EQ(handleOf(0x30), L"30");
  // Between the indexed handles, and beyond all of them, nothing is found.
  EXPECT_EQ(handleOf(0x10), L"(none)");
  EXPECT_EQ(handleOf(0x7), L"(none)");
  EXPECT_EQ(handleOf(0x40), L"(none)");
}

// Two SHX styles, one half as wide; texts measured in turn must each get their own style's
// font and width, and what one list sets (width, slant, mirroring) must not reach the next.
constexpr char kTwoStyles[] =
    "0\nSECTION\n2\nTABLES\n0\nTABLE\n2\nSTYLE\n"
    "0\nSTYLE\n2\nStandard\n70\n0\n40\n0\n41\n1\n3\ntxt\n"
    "0\nSTYLE\n2\nNarrow\n70\n0\n40\n0\n41\n0.5\n3\ntxt\n0\nENDTAB\n0\nENDSEC\n"
    "0\nSECTION\n2\nENTITIES\n0\nENDSEC\n0\nEOF\n";

TEST(TextBoxes, EachListIsMeasuredInItsOwnStyleAndGroups) {
  auto loaded = gm::dxf::LoadDrawingFromBuffer(kTwoStyles, "s.dxf");
  ASSERT_TRUE(loaded.ok()) << loaded.status().message();
  gm::drawing::DxfDrawing drawing(std::move(loaded).value(), L"s.dxf");
  struct Box {
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool ok = false;
  };
  auto measure = [&drawing](sds_resbuf* list) {
    sds_host::Point ll, ur;
    Box b;
    b.ok = drawing.TextBox(list, ll, ur);
    b.x0 = ll.x, b.y0 = ll.y, b.x1 = ur.x, b.y1 = ur.y;
    sds_relrb(list);
    return b;
  };
  auto plain = [&](const wchar_t* style) {
    return measure(sds_buildlist(RTDXF0, L"TEXT", 7, style, 40, 2.5, 1, L"AB", 0));
  };
  const Box standard = plain(L"Standard");
  ASSERT_TRUE(standard.ok);
  ASSERT_GT(standard.x1, 0);
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    const Box narrow = plain(L"Narrow");
    EXPECT_DOUBLE_EQ(narrow.x1, standard.x1 / 2);
    EXPECT_DOUBLE_EQ(plain(L"Standard").x1, standard.x1);
    // Style names are matched without regard to case, as the table does.
    EXPECT_DOUBLE_EQ(plain(L"NARROW").x1, narrow.x1);
    EXPECT_DOUBLE_EQ(measure(sds_buildlist(RTDXF0, L"TEXT", 40, 2.5, 1, L"AB", 0)).x1, standard.x1)
        << "no style group reads as Standard";
  }
  // A list's own width factor, slant and mirroring hold for that list only.
  const Box wide =
      measure(sds_buildlist(RTDXF0, L"TEXT", 7, L"Narrow", 40, 2.5, 41, 2.0, 1, L"AB", 0));
  EXPECT_DOUBLE_EQ(wide.x1, standard.x1 * 2);
  const Box mirrored =
      measure(sds_buildlist(RTDXF0, L"TEXT", 7, L"Narrow", 40, 2.5, 51, 0.3, 71, 6, 1, L"AB", 0));
  EXPECT_LT(mirrored.x0, 0);
  EXPECT_LT(mirrored.y0, 0);
  const Box after = plain(L"Narrow");
  EXPECT_DOUBLE_EQ(after.x0, 0);
  EXPECT_DOUBLE_EQ(after.y0, 0);
  EXPECT_DOUBLE_EQ(after.x1, standard.x1 / 2);
  // The first of a repeated group counts, as everywhere else in a list.
  EXPECT_DOUBLE_EQ(measure(sds_buildlist(RTDXF0, L"TEXT", 7, L"Narrow", 7, L"Standard", 40, 2.5, 1,
                                         L"AB", 1, L"ABCD", 0))
                       .x1,
                   standard.x1 / 2);
  EXPECT_FALSE(measure(sds_buildlist(RTDXF0, L"TEXT", 7, L"Narrow", 1, L"AB", 0)).ok)
      << "a text without a height has no box";
}

}  // namespace
