#include "platform/afx/archive.h"

#include <gtest/gtest.h>

#include <limits>

#include "tests/capture/afx_throws.h"
#include "tests/model/bytes.h"
#include "tests/support/test_support.h"

namespace {

using gm::test::ArchiveCause;
using gm::test::Bytes;

std::vector<BYTE> Store(const std::function<void(CArchive&)>& write) {
  std::vector<BYTE> buffer;
  CArchive ar(buffer, CArchive::store);
  write(ar);
  return buffer;
}

std::wstring LoadString(std::vector<BYTE> bytes) {
  CArchive ar(bytes, CArchive::load);
  std::wstring text;
  ar >> text;
  EXPECT_EQ(ar.GetRemainingLength(), 0u);
  return text;
}

TEST(Archive, NumbersAreLittleEndian) {
  auto bytes = Store([](CArchive& ar) { ar << -2 << 1.5 << WORD{0x1234} << BYTE{7}; });
  EXPECT_EQ(bytes, Bytes().i32(-2).f64(1.5).u16(0x1234).u8(7).data);
  EXPECT_EQ(bytes[0], 0xFE);
  EXPECT_EQ(bytes[4 + 7], 0x3F);  // the sign and exponent byte of 1.5 comes last

  CArchive ar(bytes, CArchive::load);
  int i = 0;
  double d = 0;
  WORD w = 0;
  BYTE b = 0;
  ar >> i >> d >> w >> b;
  EXPECT_EQ(i, -2);
  EXPECT_EQ(d, 1.5);
  EXPECT_EQ(w, 0x1234);
  EXPECT_EQ(b, 7);
}

TEST(Archive, StringLengthForms) {
  EXPECT_EQ(Store([](CArchive& ar) { ar << std::wstring(L"$A$1"); }), Bytes().str(L"$A$1").data);
  EXPECT_EQ(Store([](CArchive& ar) { ar << std::wstring(); }),
            (std::vector<BYTE>{0xFF, 0xFE, 0xFF, 0x00}));

  const std::wstring s254(254, L'x');
  const std::wstring s255(255, L'y');
  auto short254 = Store([&](CArchive& ar) { ar << s254; });
  EXPECT_EQ(short254[3], 254);
  EXPECT_EQ(short254.size(), 4u + 2 * 254);
  auto long255 = Store([&](CArchive& ar) { ar << s255; });
  EXPECT_EQ((std::vector<BYTE>(long255.begin(), long255.begin() + 6)),
            (std::vector<BYTE>{0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0x00}));

  const std::wstring big(0xFFFE, L'z');
  auto huge = Store([&](CArchive& ar) { ar << big; });
  EXPECT_EQ((std::vector<BYTE>(huge.begin(), huge.begin() + 10)),
            (std::vector<BYTE>{0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}));
  EXPECT_EQ(LoadString(huge), big);
  EXPECT_EQ(LoadString(long255), s255);
  EXPECT_EQ(LoadString(short254), s254);
}

TEST(Archive, StringsTravelAsUtf16) {
  const std::wstring text = L"\u00d8 20\u00b0 \U0001F600";
  auto bytes = Store([&](CArchive& ar) { ar << text; });
  EXPECT_EQ(bytes[3], 8);  // the emoji takes two UTF-16 code units
  EXPECT_EQ(bytes[4], 0xD8);
  EXPECT_EQ(bytes[5], 0x00);
  EXPECT_EQ(LoadString(bytes), text);
}

TEST(Archive, StringsWithoutTheMarkerAreEightBit) {
  EXPECT_EQ(LoadString({3, 'a', 'b', 0xE9}), L"ab\u00e9");
  // 0xFF with a WORD length that is not the marker: still 8-bit.
  std::vector<BYTE> wordLength{0xFF, 0x02, 0x00, 'o', 'k'};
  EXPECT_EQ(LoadString(wordLength), L"ok");
}

TEST(Archive, CountForms) {
  EXPECT_EQ(Store([](CArchive& ar) { ar.WriteCount(0xFFFE); }), Bytes().u16(0xFFFE).data);
  EXPECT_EQ(Store([](CArchive& ar) { ar.WriteCount(0xFFFF); }),
            Bytes().u16(0xFFFF).i32(0xFFFF).data);
  auto bytes = Store([](CArchive& ar) {
    ar.WriteCount(3);
    ar.WriteCount(70000);
  });
  CArchive ar(bytes, CArchive::load);
  EXPECT_EQ(ar.ReadCount(), 3u);
  EXPECT_EQ(ar.ReadCount(), 70000u);
}

TEST(ArchiveErrors, ReadingPastTheEndRaisesEndOfFile) {
  std::vector<BYTE> three{1, 2, 3};
  EXPECT_EQ(ArchiveCause([&] {
              CArchive ar(three, CArchive::load);
              int i;
              ar >> i;
            }),
            CArchiveException::endOfFile);
  std::vector<BYTE> empty;
  EXPECT_EQ(ArchiveCause([&] {
              CArchive ar(empty, CArchive::load);
              (void)ar.ReadCount();
            }),
            CArchiveException::endOfFile);
  // A string whose stated length runs past the end, even a huge one, fails
  // before anything is allocated for it.
  std::vector<BYTE> truncated = Bytes().u8(0xFF).u16(0xFFFE).u8(5).u16('a').data;
  EXPECT_EQ(ArchiveCause([&] { LoadString(truncated); }), CArchiveException::endOfFile);
  std::vector<BYTE> damaged = Bytes().u8(0xFF).u16(0xFFFE).u8(0xFF).u16(0xFFFF).i32(-2).data;
  EXPECT_EQ(ArchiveCause([&] { LoadString(damaged); }), CArchiveException::endOfFile);
}

TEST(ArchiveErrors, DirectionIsFixed) {
  std::vector<BYTE> buffer;
  EXPECT_EQ(ArchiveCause([&] {
              CArchive ar(buffer, CArchive::store);
              int i;
              ar >> i;
            }),
            CArchiveException::writeOnly);
  EXPECT_EQ(ArchiveCause([&] {
              CArchive ar(buffer, CArchive::load);
              ar << 1;
            }),
            CArchiveException::readOnly);
}

TEST(ArchiveFile, StoresAtCloseAndLoadsBack) {
  gm::test::TempDir dir;
  const std::wstring path = (dir / "table.bin").wstring();
  {
    CArchive ar(path, CArchive::store);
    ar << 42 << std::wstring(L"Zelle");
    ar.Close();
  }
  EXPECT_EQ(gm::test::ReadFile(dir / "table.bin").size(), 4u + 4 + 10);
  CArchive ar(path, CArchive::load);
  int i = 0;
  std::wstring s;
  ar >> i >> s;
  EXPECT_EQ(i, 42);
  EXPECT_EQ(s, L"Zelle");

  EXPECT_EQ(ArchiveCause([&] { CArchive missing((dir / "none.bin").wstring(), CArchive::load); }),
            CArchiveException::genericException);
  EXPECT_EQ(ArchiveCause([&] {
              CArchive unwritable((dir / "no" / "such" / "dir.bin").wstring(), CArchive::store);
              unwritable << 1;
              unwritable.Close();
            }),
            CArchiveException::genericException);
}

}  // namespace
