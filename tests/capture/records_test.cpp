#include "capture/records.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <vector>

#include "capture/colors.h"
#include "capture/geometry.h"
#include "tests/capture/afx_throws.h"
#include "ui/settings.h"

namespace {

using gm::test::ThrowsAfx;

class CaptureTest : public ::testing::Test {
 protected:
  void SetUp() override { saved_ = ConversionSettings; }
  void TearDown() override { ConversionSettings = saved_; }

  static CSimpleLine Line(double x1, double y1, double x2, double y2) {
    CSimpleLine line;
    line.SetEndpoints({x1, y1, 0}, {x2, y2, 0});
    return line;
  }

 private:
  ConversionSettingsRecord saved_;
};

TEST(Tolerance, ComparisonsUseAnAbsoluteMillionth) {
  EXPECT_TRUE(IsEqual(1.0, 1.0 + 0.9e-6));
  EXPECT_FALSE(IsEqual(0.0, 2e-6));
  EXPECT_FALSE(IsGreater(1.0 + 0.9e-6, 1.0));
  EXPECT_TRUE(IsGreater(1.0 + 2e-6, 1.0));
  EXPECT_TRUE(IsGreaterOrEqual(1.0 - 0.9e-6, 1.0));
  EXPECT_FALSE(IsGreaterOrEqual(1.0 - 2e-6, 1.0));
  EXPECT_TRUE(IsLess(1.0, 1.0 + 2e-6));
  EXPECT_FALSE(IsLess(1.0, 1.0 + 0.9e-6));
  EXPECT_TRUE(IsLessOrEqual(1.0 + 0.9e-6, 1.0));
  EXPECT_FALSE(IsLessOrEqual(1.0 + 2e-6, 1.0));
}

TEST_F(CaptureTest, NearlyLevelLinesSnapByFuzzyPercent) {
  ConversionSettings.FuzzyPercent = 0.0008;
  CSimpleLine snapped = Line(0, 0, 100, 0.05);
  EXPECT_DOUBLE_EQ(snapped.y1, 0.05);
  EXPECT_DOUBLE_EQ(snapped.y2, 0.05);
  EXPECT_DOUBLE_EQ(snapped.x1, 0);
  EXPECT_DOUBLE_EQ(snapped.x2, 100);

  CSimpleLine upright = Line(0.05, 0, 0, 100);
  EXPECT_DOUBLE_EQ(upright.x1, 0);
  EXPECT_DOUBLE_EQ(upright.x2, 0);
  EXPECT_DOUBLE_EQ(upright.y1, 100);  // top end first

  CSimpleLine slanted = Line(0, 0, 100, 0.1);
  EXPECT_FALSE(slanted.IsHorizontal());
  CHorzDbLineArray horizontal;
  CVertDbLineArray vertical;
  EXPECT_EQ(horizontal.AddIfHorizontal(slanted), -1);
  EXPECT_EQ(vertical.AddIfVertical(slanted), -1);
  EXPECT_TRUE(horizontal.IsEmpty());
  EXPECT_TRUE(vertical.IsEmpty());
}

TEST_F(CaptureTest, NoSnappingWithoutAPositiveFuzzyPercent) {
  for (double fuzzy : {0.0, -1.0}) {
    ConversionSettings.FuzzyPercent = fuzzy;
    CSimpleLine line = Line(0, 0, 100, 0.05);
    EXPECT_FALSE(line.IsHorizontal()) << fuzzy;
    EXPECT_DOUBLE_EQ(std::fabs(line.y1 - line.y2), 0.05);
  }
}

TEST_F(CaptureTest, EndpointsAreNormalised) {
  ConversionSettings.FuzzyPercent = 0.0008;
  CSimpleLine leftward = Line(5, 0, 1, 0);
  EXPECT_EQ((std::array{leftward.x1, leftward.y1, leftward.x2, leftward.y2}),
            (std::array{1.0, 0.0, 5.0, 0.0}));
  CSimpleLine upward = Line(2, 1, 2, 9);
  EXPECT_EQ((std::array{upward.x1, upward.y1, upward.x2, upward.y2}),
            (std::array{2.0, 9.0, 2.0, 1.0}));
}

TEST_F(CaptureTest, ArraysTakeBareCopiesOfTheirOrientationOnly) {
  ConversionSettings.FuzzyPercent = 0.0008;
  CHorzDbLineArray horizontal;
  CVertDbLineArray vertical;
  CSimpleLine point = Line(3, 3, 3, 3);
  EXPECT_EQ(horizontal.AddIfHorizontal(point), -1);
  EXPECT_EQ(vertical.AddIfVertical(point), -1);

  CSimpleLine level = Line(0, 1, 10, 1);
  level.color = 0x0000FF;
  level.IsVirtual = 1;
  level.Segments.Add(level.Bare());
  EXPECT_EQ(vertical.AddIfVertical(level), -1);
  EXPECT_EQ(horizontal.AddIfHorizontal(level), 0);
  EXPECT_EQ(horizontal.AddIfHorizontal(level), 1);
  const CSimpleLine& stored = horizontal[1];
  EXPECT_EQ(stored.color, 0x0000FF);
  EXPECT_EQ(stored.IsVirtual, 1);
  EXPECT_TRUE(stored.Segments.IsEmpty());
  EXPECT_EQ(vertical.AddIfVertical(Line(4, 0, 4, 8)), 0);
}

TEST(TextArray, BoundsStartUnsetAndGrowByNormalisedRectangles) {
  CArxDbMTextArray texts;
  EXPECT_FALSE(texts.HasBounds());
  texts.ExtendBounds(5, 4, 1, 2);  // corners in any order
  EXPECT_TRUE(texts.HasBounds());
  EXPECT_EQ(texts.MinX(), 1);
  EXPECT_EQ(texts.MinY(), 2);
  EXPECT_EQ(texts.MaxX(), 5);
  EXPECT_EQ(texts.MaxY(), 4);
  texts.ExtendBounds(2, 3, 3, 3.5);  // inside: no change
  EXPECT_EQ(texts.MinX(), 1);
  EXPECT_EQ(texts.MaxY(), 4);
  texts.ExtendBounds(-1, -2, 8, 9);
  EXPECT_EQ(texts.MinX(), -1);
  EXPECT_EQ(texts.MinY(), -2);
  EXPECT_EQ(texts.MaxX(), 8);
  EXPECT_EQ(texts.MaxY(), 9);
  // A box at negative coordinates only is not mixed with the unset zeros.
  CArxDbMTextArray negative;
  negative.ExtendBounds(-5, -5, -4, -4);
  EXPECT_EQ(negative.MaxX(), -4);
}

TEST(Geometry, MatrixOperationsEditEntriesInPlace) {
  AcGeMatrix3d rotation;
  rotation.SetZRotation(std::numbers::pi / 2);
  EXPECT_NEAR(rotation.entry[0][0], 6.1e-17, 1e-17);
  EXPECT_EQ(rotation.entry[1][0], 1.0);
  EXPECT_EQ(rotation.entry[0][1], -1.0);
  EXPECT_NEAR(rotation.entry[1][1], 6.1e-17, 1e-17);
  EXPECT_EQ(rotation.entry[2][2], 1.0);

  // The block transform: insertion (100, 50), scale (2, 2, 1), base (1, 1).
  AcGeMatrix3d block;
  block.AddTranslation(100, 50, 0);
  block.ScaleDiagonal(2, 2, 1);
  block.AddTranslation(-1 * 2, -1 * 2, 0);
  AcGePoint3d p = block.TransformPoint({3, 1, 7});
  EXPECT_DOUBLE_EQ(p.x, 104);
  EXPECT_DOUBLE_EQ(p.y, 50);
  EXPECT_DOUBLE_EQ(p.z, 7);
}

TEST(Geometry, ExtentsFromAnyTwoCorners) {
  AcDbExtents extents;
  EXPECT_EQ(extents.minPoint().x, 0);
  EXPECT_EQ(extents.maxPoint().z, 0);
  extents.SetFromCorners({4, -1, 2}, {-3, 5, 1});
  EXPECT_EQ(extents.minPoint().x, -3);
  EXPECT_EQ(extents.minPoint().y, -1);
  EXPECT_EQ(extents.minPoint().z, 1);
  EXPECT_EQ(extents.maxPoint().x, 4);
  EXPECT_EQ(extents.maxPoint().y, 5);
  EXPECT_EQ(extents.maxPoint().z, 2);
}

TEST(Colors, ColourNumbersOutsideThePaletteAreAutomatic) {
  EXPECT_EQ(AciToColor(0), kAutomaticColor);    // by block
  EXPECT_EQ(AciToColor(256), kAutomaticColor);  // by layer
  EXPECT_EQ(AciToColor(-3), kAutomaticColor);
  EXPECT_EQ(AciToColor(1), 0x0000FF);  // red in the low byte
  EXPECT_EQ(AciToColor(5), 0xFF0000);
  EXPECT_EQ(AciToColor(7), 0xFFFFFF);
  EXPECT_EQ(AciToColor(255), 0xFCFCFC);
}

TEST(Colors, PaletteValuesAndNames) {
  EXPECT_EQ(AciPalette.GetCount(), 255);
  // The pure hues of the first shade keep a 01 in their empty channels.
  EXPECT_EQ(AciPalette[10].color, 0x0101FF);
  EXPECT_EQ(AciPalette[50].color, 0x01FFFF);
  EXPECT_EQ(AciPalette[90].color, 0x01FF01);
  EXPECT_EQ(AciPalette[130].color, 0xFFFF01);
  EXPECT_EQ(AciPalette[170].color, 0xFF0101);
  EXPECT_EQ(AciPalette[210].color, 0xFF01FF);
  EXPECT_EQ(AciPalette[11].color, 0x7F7FFF);
  EXPECT_EQ(AciPalette[163].color, 0xA56752);
  EXPECT_EQ(AciPalette[249].color, 0x171326);
  EXPECT_EQ(AciPalette[250].color, 0x545454);
  for (int n = 1; n <= 255; ++n) EXPECT_EQ(AciToColor(n), AciPalette[n].color) << n;

  EXPECT_EQ(AciPalette[1].name, L"Red");
  EXPECT_EQ(AciPalette[4].name, L"Cyan");
  EXPECT_EQ(AciPalette[7].name, L"White");
  EXPECT_EQ(AciPalette[8].name, L"8");
  EXPECT_EQ(AciPalette[255].name, L"255");
  EXPECT_TRUE(ThrowsAfx<CInvalidArgException>([] { (void)AciPalette[0]; }));
  EXPECT_TRUE(ThrowsAfx<CInvalidArgException>([] { (void)AciPalette[256]; }));
}

TEST(CheckedArray, IndexesOutsideTheArrayRaiseInvalidArgument) {
  PointList points;
  EXPECT_TRUE(ThrowsAfx<CInvalidArgException>([&] { (void)points[0]; }));
  points.SetAtGrow(2, {1, 2, 3});
  EXPECT_EQ(points.GetSize(), 3);
  EXPECT_EQ(points[0].x, 0);
  EXPECT_EQ(points[2].z, 3);
  EXPECT_TRUE(ThrowsAfx<CInvalidArgException>([&] { (void)points[3]; }));
  EXPECT_TRUE(ThrowsAfx<CInvalidArgException>([&] { (void)points[-1]; }));
  EXPECT_TRUE(ThrowsAfx<CInvalidArgException>([&] { points.SetAtGrow(-1, {}); }));
  EXPECT_TRUE(ThrowsAfx<CInvalidArgException>([&] { points.RemoveAt(2, 2); }));
  EXPECT_TRUE(ThrowsAfx<CInvalidArgException>([&] { points.InsertAt(4, {}); }));
  EXPECT_EQ(points.GetSize(), 3);
}

TEST(CheckedArray, RemoveFlaggedKeepsTheOrderOfTheRest) {
  CCheckedArray<int> numbers;
  for (int i = 0; i < 6; ++i) numbers.Add(i);
  numbers.RemoveFlagged({true, false, false, true, false, true});
  ASSERT_EQ(numbers.GetSize(), 3);
  EXPECT_EQ(numbers[0], 1);
  EXPECT_EQ(numbers[1], 2);
  EXPECT_EQ(numbers[2], 4);
  EXPECT_TRUE(ThrowsAfx<CInvalidArgException>([&] { numbers.RemoveFlagged({true}); }));
}

TEST(RepeatedTexts, OnlyCopiesOnOneSpotGo) {
  auto text = [](const wchar_t* s, double x, double y, double height) {
    ArxDbMText t;
    t.text = s;
    t.x = x;
    t.y = y;
    t.height = height;
    return t;
  };
  CArxDbMTextArray texts;
  texts.Add(text(L"Mass", 10, 20, 2.8));
  texts.Add(text(L"Other", 50, 20, 2.8));
  texts.Add(text(L"Mass", 10.26, 20.06, 2.8));  // a copy a tenth of a height off
  texts.Add(text(L"Mass", 10, 19.95, 2.6));     // another style's height
  texts.Add(text(L"Mass", 10, 17, 2.8));        // the next line of the cell
  texts.Add(text(L"Mass", 11.5, 20, 2.8));      // more than a quarter height away
  texts.Add(text(L"Mass", 10, 20, 2.0));        // much smaller: not a copy
  texts.Add(text(L"mass", 10, 20, 2.8));
  texts.Add(text(L"", 30, 20, 2.8));
  texts.Add(text(L"", 30, 20, 2.8));  // empty texts still count as lines
  texts.RemoveRepeated();
  ASSERT_EQ(8, texts.GetSize());
  EXPECT_EQ(L"Mass", texts[0].text);
  EXPECT_DOUBLE_EQ(20, texts[0].y) << "the first drawn stays";
  EXPECT_EQ(L"Other", texts[1].text);
  EXPECT_DOUBLE_EQ(17, texts[2].y);
  EXPECT_DOUBLE_EQ(11.5, texts[3].x);
  EXPECT_DOUBLE_EQ(2.0, texts[4].height);
  EXPECT_EQ(L"mass", texts[5].text);
}

// Along a row, a text stops looking once the others lie beyond reach: copies drawn last,
// out of order along x, must still be found, with or without a tall text elsewhere.
TEST(RepeatedTexts, CopiesAlongALongRowGoWhereverTheyWereDrawn) {
  for (bool tall : {false, true}) {
    SCOPED_TRACE(tall);
    CArxDbMTextArray texts;
    auto add = [&texts](const wchar_t* s, double x, double y, double height) {
      ArxDbMText t;
      t.text = s;
      t.x = x;
      t.y = y;
      t.height = height;
      texts.Add(std::move(t));
    };
    for (int k = 33; k >= 0; --k) add(L"A", 3.0 * k, 5, 2);
    if (tall) add(L"B", 500, 500, 40);
    add(L"A", 30.2, 5, 2);  // a copy
    add(L"A", 0.3, 5, 2);   // a copy
    add(L"A", 31.0, 5, 2);  // half a height away: its own text
    texts.RemoveRepeated();
    ASSERT_EQ(texts.GetSize(), tall ? 36 : 35);
    std::vector<double> xs;
    for (const ArxDbMText& t : texts) xs.push_back(t.x);
    EXPECT_EQ(std::count(xs.begin(), xs.end(), 30.2), 0);
    EXPECT_EQ(std::count(xs.begin(), xs.end(), 0.3), 0);
    EXPECT_EQ(std::count(xs.begin(), xs.end(), 31.0), 1);
  }
}

}  // namespace
