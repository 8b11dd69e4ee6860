#include "platform/fonts/font_resolver.h"

#include <gtest/gtest.h>

#include "tests/platform/fonts/fonts_test_util.h"

namespace gm::fonts {
namespace {

FontSpec File(const wchar_t* file) {
  FontSpec font_spec;
  font_spec.file = file;
  return font_spec;
}

FontSpec Family(const wchar_t* family) {
  FontSpec font_spec;
  font_spec.family = family;
  return font_spec;
}

TEST(FontResolver, ClassifiesByExtension) {
  EXPECT_EQ(FontKind::kTrueType, ClassifyFont(File(L"arial.ttf")));
  EXPECT_EQ(FontKind::kTrueType, ClassifyFont(File(L"ARIAL.TTF")));
  EXPECT_EQ(FontKind::kTrueType, ClassifyFont(File(L"C:\\Windows\\Fonts\\times.ttf")));
  EXPECT_EQ(FontKind::kTrueType, ClassifyFont(File(L"simsun.ttc")));
  EXPECT_EQ(FontKind::kShx, ClassifyFont(File(L"simplex.shx")));
  EXPECT_EQ(FontKind::kShx, ClassifyFont(File(L"ROMANS.SHX")));
  EXPECT_EQ(FontKind::kShx, ClassifyFont(File(L"txt")));
  EXPECT_EQ(FontKind::kShx, ClassifyFont(File(L"")));
  // A directory with a dot must not lend the name an extension.
  EXPECT_EQ(FontKind::kShx, ClassifyFont(File(L"C:\\fonts.v2\\isocp")));
}

TEST(FontResolver, FamilyInExtendedDataMakesTrueType) {
  FontSpec font_spec = Family(L"Arial");
  EXPECT_EQ(FontKind::kTrueType, ClassifyFont(font_spec));
  font_spec.file = L"arial";
  EXPECT_EQ(FontKind::kTrueType, ClassifyFont(font_spec));
  // ...but a file that says .shx is drawn by the SHX font whatever else is named.
  font_spec.file = L"simplex.shx";
  EXPECT_EQ(FontKind::kShx, ClassifyFont(font_spec));
}

TEST(FontResolver, FamilyOfWindowsFontFiles) {
  FileFamily arial = FamilyForFontFile(L"ARIAL.TTF");
  EXPECT_EQ("Arial", arial.family);
  EXPECT_FALSE(arial.bold);
  FileFamily bold_italic = FamilyForFontFile(L"arialbi.ttf");
  EXPECT_EQ("Arial", bold_italic.family);
  EXPECT_TRUE(bold_italic.bold);
  EXPECT_TRUE(bold_italic.italic);
  EXPECT_EQ("Times New Roman", FamilyForFontFile(L"times.ttf").family);
  EXPECT_EQ("Courier New", FamilyForFontFile(L"D:/fonts/cour.ttf").family);
  EXPECT_EQ("Frutiger", FamilyForFontFile(L"Frutiger.otf").family);
}

TEST(FontResolver, ArialFileAndFamilyGiveTheSameFace) {
  GM_REQUIRE_LIBERATION();
  ResolvedFont by_file = ResolveFont(File(L"arial.ttf"));
  ResolvedFont by_upper = ResolveFont(File(L"ARIAL.TTF"));
  ResolvedFont by_family = ResolveFont(Family(L"Arial"));
  ASSERT_TRUE(by_file.has_face());
  EXPECT_EQ("Liberation Sans", by_file.family);
  EXPECT_EQ("Arial", by_file.requested_family);
  EXPECT_EQ(by_file.path, by_upper.path);
  EXPECT_EQ(by_file.path, by_family.path);
  EXPECT_EQ(by_file.face_index, by_family.face_index);
}

TEST(FontResolver, MetricCompatibleSubstitutes) {
  GM_REQUIRE_LIBERATION();
  EXPECT_EQ("Liberation Serif", ResolveFont(File(L"times.ttf")).family);
  EXPECT_EQ("Liberation Mono", ResolveFont(File(L"cour.ttf")).family);
  ResolvedFont bold = ResolveFont(File(L"arialbd.ttf"));
  EXPECT_TRUE(bold.bold);
  EXPECT_NE(bold.path, ResolveFont(File(L"arial.ttf")).path);
}

TEST(FontResolver, UnknownFamilyFallsBackToASans) {
  ResolvedFont font = ResolveFont(File(L"no-such-font-anywhere.ttf"));
  EXPECT_EQ(FontKind::kTrueType, font.kind);
  if (!font.has_face()) GTEST_SKIP() << "no fonts installed at all";
  EXPECT_EQ(std::string::npos, font.family.find("Serif"));
  EXPECT_EQ(std::string::npos, font.family.find("Mono"));
}

TEST(FontResolver, ShxFontsStandInWithTheSans) {
  ResolvedFont shx = ResolveFont(File(L"simplex.shx"));
  EXPECT_EQ(FontKind::kShx, shx.kind);
  EXPECT_EQ("Liberation Sans", shx.requested_family);
  // The sans is opened only when asked for, but a resolution still names it.
  EXPECT_EQ("Liberation Sans", shx.family);
  EXPECT_FALSE(shx.path.empty());
}

}  // namespace
}  // namespace gm::fonts
