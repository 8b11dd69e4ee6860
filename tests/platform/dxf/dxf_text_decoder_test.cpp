#include "platform/dxf/text_decoder.h"

#include <gtest/gtest.h>

namespace gm::dxf {
namespace {

TEST(DxfTextDecoder, Ansi1252Bytes) {
  const TextDecoder d = TextDecoder::ForCodePage("ANSI_1252");
  EXPECT_EQ(d.name(), "CP1252");
  // Ø ± ö ß and the euro sign, which Latin-1 lacks.
  EXPECT_EQ(d.Decode("\xD8 20 \xB1"
                     "0.1 Gr\xF6\xDF"
                     "e \x80"),
            L"\u00D8 20 \u00B1"
            L"0.1 Gr\u00F6\u00DF"
            L"e \u20AC");
}

TEST(DxfTextDecoder, Ansi1251Bytes) {
  const TextDecoder d = TextDecoder::ForCodePage("ansi_1251");
  EXPECT_EQ(d.name(), "CP1251");
  EXPECT_EQ(d.Decode("\xD2\xE0\xE1\xEB\xE8\xF6\xE0"),
            L"\u0422\u0430\u0431\u043B\u0438\u0446\u0430");
}

TEST(DxfTextDecoder, OtherSingleByteCodePages) {
  EXPECT_EQ(TextDecoder::ForCodePage("ANSI_1250").Decode("\x8A"), L"\u0160");
  EXPECT_EQ(TextDecoder::ForCodePage("ANSI_1253").Decode("\xC1"), L"\u0391");
  EXPECT_EQ(TextDecoder::ForCodePage("ANSI_874").Decode("\xA1"), L"\u0E01");
  EXPECT_EQ(TextDecoder::ForCodePage("DOS866").Decode("\x80"), L"\u0410");
}

TEST(DxfTextDecoder, UndefinedBytesKeepTheirNumber) {
  // 0x81 is undefined in code page 1252; Windows maps it to U+0081.
  EXPECT_EQ(TextDecoder::ForCodePage("ANSI_1252").Decode("\x81"), L"\u0081");
}

TEST(DxfTextDecoder, DoubleByteCodePage) {
  const TextDecoder d = TextDecoder::ForCodePage("ANSI_932");
  EXPECT_EQ(d.name(), "CP932");
  // 0x5C is the second byte of this character, not a backslash.
  EXPECT_EQ(d.Decode("\x93\x5C A"), L"\u8CBC A");
  bool replaced = false;
  EXPECT_EQ(d.Decode("\x93", &replaced), L"\uFFFD");
  EXPECT_TRUE(replaced);
}

TEST(DxfTextDecoder, UnknownCodePageFallsBackTo1252) {
  bool known = true;
  const TextDecoder d = TextDecoder::ForCodePage("KLINGON", &known);
  EXPECT_FALSE(known);
  EXPECT_EQ(d.name(), "CP1252");
  known = false;
  EXPECT_EQ(TextDecoder::ForCodePage("", &known).name(), "CP1252");
  EXPECT_TRUE(known);
}

TEST(DxfTextDecoder, TheEncodingDecision) {
  EXPECT_EQ(TextDecoder::ForDrawing("AC1021", "ANSI_1251", false).name(), "UTF-8");
  EXPECT_EQ(TextDecoder::ForDrawing("AC1032", "", false).name(), "UTF-8");
  EXPECT_EQ(TextDecoder::ForDrawing("AC1018", "ANSI_1251", false).name(), "CP1251");
  EXPECT_EQ(TextDecoder::ForDrawing("AC1009", "", false).name(), "CP1252");
  EXPECT_EQ(TextDecoder::ForDrawing("", "", false).name(), "CP1252");
  EXPECT_EQ(TextDecoder::ForDrawing("AC1015", "ANSI_1252", true).name(), "UTF-8");
}

TEST(DxfTextDecoder, Utf8) {
  const TextDecoder d = TextDecoder::Utf8();
  EXPECT_EQ(d.Decode("\xC3\x98 \xD0\x96 \xE2\x82\xAC \xF0\x9F\x98\x80"),
            L"\u00D8 \u0416 \u20AC \U0001F600");
  bool replaced = false;
  // A lone continuation byte, an overlong slash, a surrogate, a cut-off sequence.
  EXPECT_EQ(d.Decode("a\x80"
                     "b\xC0\xAF"
                     "c\xED\xA0\x80"
                     "d\xE2\x82",
                     &replaced),
            L"a\uFFFDb\uFFFD\uFFFDc\uFFFD\uFFFD\uFFFDd\uFFFD\uFFFD");
  EXPECT_TRUE(replaced);
}

TEST(DxfTextDecoder, UnicodeEscapes) {
  const TextDecoder d = TextDecoder::ForCodePage("ANSI_1252");
  EXPECT_EQ(d.Decode("\\U+0422\\U+0430\\U+0431 \\U+041c\\u+00d8"),
            L"\u0422\u0430\u0431 \u041C\u00D8");
  // A surrogate pair written as two escapes makes one character.
  EXPECT_EQ(d.Decode("\\U+D83D\\U+DE00"), L"\U0001F600");
  // In a UTF-8 drawing too.
  EXPECT_EQ(TextDecoder::Utf8().Decode("90\\U+00B0"), L"90\u00B0");
}

TEST(DxfTextDecoder, BadUnicodeEscapesStayAsWritten) {
  const TextDecoder d = TextDecoder::ForCodePage("ANSI_1252");
  EXPECT_EQ(d.Decode("\\U+12"), L"\\U+12");
  EXPECT_EQ(d.Decode("\\U+12G4"), L"\\U+12G4");
  EXPECT_EQ(d.Decode("\\U+0000"), L"\\U+0000");
  EXPECT_EQ(d.Decode("\\U+D83D alone"), L"\\U+D83D alone");
  EXPECT_EQ(d.Decode("\\U+DE00"), L"\\U+DE00");
  EXPECT_EQ(d.Decode("\\P\\~ \\"), L"\\P\\~ \\");
}

TEST(DxfTextDecoder, MbcsEscapesOfEveryCodePage) {
  const TextDecoder d = TextDecoder::ForCodePage("ANSI_1252");
  EXPECT_EQ(d.Decode("\\M+193FA"), L"\u65E5");  // Japanese, 932
  EXPECT_EQ(d.Decode("\\M+2A4A4"), L"\u4E2D");  // Big5, 950
  EXPECT_EQ(d.Decode("\\M+3C7D1"), L"\uD55C");  // Korean Wansung, 949
  EXPECT_EQ(d.Decode("\\M+4D065"), L"\uD55C");  // Johab, 1361
  EXPECT_EQ(d.Decode("\\M+5D6D0"), L"\u4E2D");  // Chinese GB, 936
  EXPECT_EQ(d.Decode("x\\M+193FAy\\M+193FA"), L"x\u65E5y\u65E5");
}

TEST(DxfTextDecoder, BadMbcsEscapesStayAsWritten) {
  const TextDecoder d = TextDecoder::ForCodePage("ANSI_1252");
  EXPECT_EQ(d.Decode("\\M+693FA"), L"\\M+693FA");  // no code page 6
  EXPECT_EQ(d.Decode("\\M+1FFFF"), L"\\M+1FFFF");  // no such character
  EXPECT_EQ(d.Decode("\\M+193F"), L"\\M+193F");    // too short
  EXPECT_EQ(d.Decode("\\M+10000"), L"\\M+10000");
}

TEST(DxfTextDecoder, PassthroughIsLossless) {
  const TextDecoder d = TextDecoder::Passthrough();
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  const std::wstring wide = d.Decode(all + "\\U+0041");
  EXPECT_EQ(NarrowPassthrough(wide), all + "\\U+0041");
}

}  // namespace
}  // namespace gm::dxf
