#include "model/sheetform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <utility>
#include <vector>

#include "platform/afx/archive.h"
#include "tests/capture/afx_throws.h"
#include "tests/model/bytes.h"

namespace {

using gm::test::ArchiveCause;
using gm::test::Bytes;
using gm::test::ThrowsAfx;

std::vector<BYTE> StoreObject(CObject& object) {
  std::vector<BYTE> bytes;
  CArchive ar(bytes, CArchive::store);
  object.Serialize(ar);
  return bytes;
}

void LoadObject(CObject& object, std::vector<BYTE> bytes) {
  CArchive ar(bytes, CArchive::load);
  object.Serialize(ar);
  EXPECT_EQ(ar.GetRemainingLength(), 0u);
}

void ExpectDefaultBorder(const CAutoBorder& border) {
  EXPECT_TRUE(border.LineStyleName.empty());
  EXPECT_EQ(border.Color, -4105);
  EXPECT_EQ(border.LineStyle, 1);
  EXPECT_EQ(border.Weight, 2);
}

// The bytes of a default border, font and fill, as a cell stores them.
Bytes& DefaultFormatting(Bytes& b) {
  for (int slot = 0; slot < 6; ++slot) b.i32(-4105).i32(1).i32(2);
  b.i32(0).i32(0).i32(0).f64(10000.0).i32(-4105).str(L"Arial");
  return b.i32(0).i32(-4142);
}

TEST(Cell, Defaults) {
  CAutoCell cell;
  EXPECT_TRUE(cell.GetAddress().empty());
  EXPECT_TRUE(cell.GetMergeAddress().empty());
  EXPECT_TRUE(cell.GetText().empty());
  EXPECT_TRUE(cell.GetFormula().empty());
  EXPECT_EQ(cell.GetOrientation(), -4128);
  EXPECT_EQ(cell.GetHorizontalAlignment(), -4131);
  EXPECT_EQ(cell.GetVerticalAlignment(), -4107);
  EXPECT_EQ(cell.GetWrapText(), 0);
  for (int slot = 0; slot < CAutoBorders::kSlotCount; ++slot) {
    ExpectDefaultBorder(cell.GetBorders().GetAt(slot));
  }
  EXPECT_EQ(cell.GetFont().Name, L"Arial");
  EXPECT_EQ(cell.GetFont().Size, 10000.0);
  EXPECT_EQ(cell.GetFont().Color, -4105);
  EXPECT_EQ(cell.GetInterior().Color, 0);
  EXPECT_EQ(cell.GetInterior().ColorIndex, -4142);
  EXPECT_TRUE(cell.GetTexts().IsEmpty());
}

TEST(Cell, OrientationKeepsOnlyUpwardAndDownward) {
  CAutoCell cell;
  cell.SetOrientation(-4171);
  EXPECT_EQ(cell.GetOrientation(), -4171);
  cell.SetOrientation(-4170);
  EXPECT_EQ(cell.GetOrientation(), -4170);
  cell.SetOrientation(90);
  EXPECT_EQ(cell.GetOrientation(), -4128);
  cell.SetOrientation(-4170);
  cell.SetOrientation(-4166);
  EXPECT_EQ(cell.GetOrientation(), -4128);
}

// The setter gives only three orientations, but a loaded cell may carry any
// other: it must store back as it came, in copies too, until set again.
TEST(Cell, LoadedOrientationOutsideTheSettersStoresBack) {
  for (std::int32_t orientation : {90, 0, -4166, -4128, -4170}) {
    Bytes bytes;
    DefaultFormatting(bytes).str(L"$A$1").str(L"$A$1").i32(orientation);
    bytes.str(L"").str(L"").str(L"x").i32(0).i32(0);
    bytes.f64(1).f64(2).f64(0).f64(0).f64(0).f64(0).i32(-4131).i32(0).i32(-4107);
    CAutoCell cell;
    LoadObject(cell, bytes.data);
    EXPECT_EQ(cell.GetOrientation(), orientation);
    EXPECT_EQ(StoreObject(cell), bytes.data) << orientation;
    CAutoCell copy = cell;
    EXPECT_EQ(copy.GetOrientation(), orientation);
    EXPECT_EQ(StoreObject(copy), bytes.data) << orientation;
    copy.SetOrientation(-4171);
    EXPECT_EQ(copy.GetOrientation(), -4171);
    copy.SetOrientation(90);
    EXPECT_EQ(copy.GetOrientation(), -4128);
    EXPECT_EQ(cell.GetOrientation(), orientation) << "the copy is its own";
  }
}

// A cell's font, seldom-set fields and working texts share one block: each
// must live and go on its own.
TEST(Cell, FontFieldsAndTextsKeepApart) {
  CAutoCell cell;
  cell.GetFont().Size = 3;
  cell.SetFormula(L"=1");
  ArxDbMText text;
  text.text = L"t";
  cell.GetTexts().Add(text);
  CAutoCell copy = cell;
  copy.ReleaseTexts();
  EXPECT_FALSE(copy.HasTexts());
  EXPECT_EQ(copy.GetFont().Size, 3);
  EXPECT_EQ(copy.GetFormula(), L"=1");
  EXPECT_TRUE(cell.HasTexts()) << "the original keeps its texts";
  copy.GetFont().Size = 4;
  EXPECT_EQ(cell.GetFont().Size, 3);

  // Releasing the texts keeps a font set while they were there.
  CAutoCell working;
  working.GetTexts().Add(text);
  working.GetFont().Color = 0xFF;
  working.ReleaseTexts();
  EXPECT_EQ(std::as_const(working).GetFont().Color, 0xFF);
  EXPECT_TRUE(std::as_const(working).GetTexts().IsEmpty());
}

TEST(Borders, EdgesMapToSlotsAndOtherSlotsAreGuarded) {
  EXPECT_EQ(CAutoBorders::SlotOfEdge(7), 4);
  EXPECT_EQ(CAutoBorders::SlotOfEdge(8), 2);
  EXPECT_EQ(CAutoBorders::SlotOfEdge(9), 3);
  EXPECT_EQ(CAutoBorders::SlotOfEdge(10), 5);
  EXPECT_EQ(CAutoBorders::SlotOfEdge(11), -1);
  CAutoBorders borders;
  EXPECT_TRUE(ThrowsAfx<CInvalidArgException>([&] { borders.GetAt(6); }));
  EXPECT_TRUE(ThrowsAfx<CInvalidArgException>([&] { borders.GetAt(-1); }));
}

TEST(Sheetform, CopiesAreDeep) {
  CSheetform table;
  CSheetformRow row;
  CAutoCell cell;
  cell.SetText(L"before");
  ArxDbMText text;
  text.text = L"t";
  cell.GetTexts().Add(text);
  cell.GetBorders().Change(CAutoBorders::kTop,
                           [](CAutoBorder& b) { b.LineStyleName = L"Continuous"; });
  row.Cells.Add(cell);
  table.Rows.Add(row);

  CSheetform copy = table;
  CAutoCell& copied = copy.Rows[0].Cells[0];
  copied.SetText(L"after");
  copied.GetTexts()[0].text = L"changed";
  copied.GetBorders().Change(CAutoBorders::kTop, [](CAutoBorder& b) { b.LineStyleName.clear(); });
  copy.Rows[0].Cells.Add(CAutoCell());

  const CAutoCell& original = table.Rows[0].Cells[0];
  EXPECT_EQ(original.GetText(), L"before");
  EXPECT_EQ(original.GetTexts()[0].text, L"t");
  EXPECT_EQ(original.GetBorders().GetAt(CAutoBorders::kTop).LineStyleName, L"Continuous");
  EXPECT_EQ(table.GetColumnCount(), 1);
  EXPECT_EQ(copy.GetColumnCount(), 2);

  CSheetform assigned;
  assigned = table;
  table.Rows[0].Cells[0].SetText(L"later");
  EXPECT_EQ(assigned.Rows[0].Cells[0].GetText(), L"before");
}

TEST(Sheetform, CountsAndGuards) {
  CSheetform empty;
  EXPECT_EQ(empty.GetRowCount(), 0);
  EXPECT_EQ(empty.GetColumnCount(), 0);
  EXPECT_TRUE(ThrowsAfx<CInvalidArgException>([&] { (void)empty.Rows[0]; }));
  CSheetform table;
  table.Rows.Add(CSheetformRow());
  EXPECT_EQ(table.GetRowCount(), 1);
  EXPECT_EQ(table.GetColumnCount(), 0);
  EXPECT_TRUE(ThrowsAfx<CInvalidArgException>([&] { (void)table.Rows[0].Cells[0]; }));
  CAutoCell cell;
  EXPECT_TRUE(ThrowsAfx<CInvalidArgException>([&] { (void)cell.GetTexts()[0]; }));
  table.Rows[0].Cells.SetAtGrow(2, CAutoCell());
  EXPECT_EQ(table.GetColumnCount(), 3);
}

TEST(Sheetform, ClassesAreRegisteredForDynamicCreation) {
  for (const char* name : {"CSheetform", "CSheetformRow", "CAutoCell", "CAutoFont", "CAutoInterior",
                           "CAutoBorders", "CAutoBorder"}) {
    const CRuntimeClass* cls = CRuntimeClass::FromName(name);
    ASSERT_NE(cls, nullptr) << name;
    EXPECT_EQ(cls->m_wSchema, 1u);
    std::unique_ptr<CObject> object(cls->CreateObject());
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->GetRuntimeClass(), cls);
    EXPECT_TRUE(object->IsKindOf(RUNTIME_CLASS(CObject)));
  }
  std::unique_ptr<CObject> cell(CRuntimeClass::FromName("CAutoCell")->CreateObject());
  EXPECT_EQ(static_cast<CAutoCell*>(cell.get())->GetOrientation(), -4128);
  EXPECT_EQ(static_cast<CAutoCell*>(cell.get())->GetFont().Name, L"Arial");
}

TEST(Serialize, CellByteLayout) {
  CAutoCell cell;
  cell.GetTexts().Add(ArxDbMText());  // not stored
  cell.SetAddress(L"$B$2");
  cell.SetMergeAddress(L"$A$1:$B$2");
  cell.SetOrientation(-4171);
  cell.SetFormula(L"=1");
  cell.SetText(L"x");
  cell.SetCellHeight(1.5);
  cell.SetCellWidth(2.5);
  cell.SetMergeWidth(3.5);
  cell.SetMergeHeight(4.5);
  cell.SetOffsetX(5.5);
  cell.SetOffsetY(-6.5);
  cell.GetBorders().Change(CAutoBorders::kLeft, [](CAutoBorder& b) {
    b.Color = 0x0000FF;
    b.LineStyleName = L"Continuous";
  });
  cell.GetFont().Size = 2.5;
  cell.GetInterior().Color = 0x00FF00;
  cell.GetInterior().ColorIndex = 4;

  Bytes expected;
  for (int slot = 0; slot < 6; ++slot) expected.i32(slot == 4 ? 0x0000FF : -4105).i32(1).i32(2);
  expected.i32(0).i32(0).i32(0).f64(2.5).i32(-4105).str(L"Arial");
  expected.i32(0x00FF00).i32(4);
  expected.str(L"$B$2").str(L"$A$1:$B$2").i32(-4171).str(L"").str(L"=1").str(L"x");
  expected.i32(0).i32(0).f64(1.5).f64(2.5).f64(3.5).f64(4.5).f64(5.5).f64(-6.5);
  expected.i32(-4131).i32(0).i32(-4107);
  EXPECT_EQ(StoreObject(cell), expected.data);
}

TEST(Serialize, TableRoundTrip) {
  CSheetform table;
  for (int r = 1; r <= 2; ++r) {
    CSheetformRow row;
    for (int c = 1; c <= 3; ++c) {
      CAutoCell cell;
      cell.SetAddress(L"$" + std::wstring(1, L'A' + c - 1) + L"$" + std::to_wstring(r));
      cell.SetMergeAddress(cell.GetAddress());
      cell.SetText(L"r" + std::to_wstring(r) + L"c" + std::to_wstring(c) + L" \u00b0");
      cell.SetOffsetY(-r * 1.25);
      cell.GetFont().Color = r * 16 + c;
      row.Cells.Add(cell);
    }
    table.Rows.Add(row);
  }
  const std::vector<BYTE> bytes = StoreObject(table);
  EXPECT_EQ((std::vector<BYTE>(bytes.begin(), bytes.begin() + 4)),
            (std::vector<BYTE>{2, 0, 3, 0}));  // row count, then the first row's cell count

  CSheetform loaded;
  LoadObject(loaded, bytes);
  ASSERT_EQ(loaded.GetRowCount(), 2);
  ASSERT_EQ(loaded.GetColumnCount(), 3);
  EXPECT_EQ(loaded.Rows[1].Cells[2].GetText(), L"r2c3 \u00b0");
  EXPECT_EQ(loaded.Rows[1].Cells[2].GetAddress(), L"$C$2");
  EXPECT_EQ(loaded.Rows[1].Cells[0].GetOffsetY(), -2.5);
  EXPECT_EQ(loaded.Rows[0].Cells[1].GetFont().Color, 18);
  EXPECT_EQ(StoreObject(loaded), bytes);
}

TEST(Serialize, LoadedBorderNamesFollowTheLineStyle) {
  const std::pair<int, const wchar_t*> names[] = {{1, L"CONTINUOUS"}, {-4119, L"Double"},
                                                  {-4118, L"DOT"},    {-4115, L"DASHED"},
                                                  {4, L"DASHDOT"},    {5, L"DIVIDE"}};
  for (const auto& [style, name] : names) {
    CAutoBorder border;
    LoadObject(border, Bytes().i32(0x123456).i32(style).i32(-4138).data);
    EXPECT_EQ(border.LineStyleName, name);
    EXPECT_EQ(border.Color, 0x123456);
    EXPECT_EQ(border.Weight, -4138);
  }
  CAutoBorder border;
  border.LineStyleName = L"Continuous";
  LoadObject(border, Bytes().i32(0).i32(13).i32(2).data);
  EXPECT_EQ(border.LineStyleName, L"Continuous");
  EXPECT_EQ(border.LineStyle, 13);
}

TEST(Serialize, LoadedInteriorWithoutFillOrWhiteHasNoColour) {
  for (int index : {2, -4142}) {
    CAutoInterior interior;
    LoadObject(interior, Bytes().i32(0x00FFFF).i32(index).data);
    EXPECT_EQ(interior.Color, 0);
    EXPECT_EQ(interior.ColorIndex, index);
  }
  CAutoInterior coloured;
  LoadObject(coloured, Bytes().i32(0x00FFFF).i32(6).data);
  EXPECT_EQ(coloured.Color, 0x00FFFF);
}

TEST(Serialize, FontStoresItsNameLast) {
  CAutoFont font;
  font.Name = L"Liberation Sans";
  font.Size = 3.5;
  font.Color = 0xFF;
  EXPECT_EQ(StoreObject(font),
            Bytes().i32(0).i32(0).i32(0).f64(3.5).i32(0xFF).str(L"Liberation Sans").data);
}

TEST(Cell, AddressTextsComeBackAsSet) {
  // Plain references are kept as numbers; everything else must still read
  // back exactly and compare as text.
  const wchar_t* const texts[] = {
      L"$A$1",     L"$XFD$1048576", L"$ZZ$2147483647", L"$b$2",     L"B2",        L"$A$01",
      L"$XFE$1",   L"$AAAA$1",      L"$A$2147483648",  L"$A$1:",    L"$A$1:$B$2", L"$A$1:$B$2x",
      L"$A$1:bad", L"$A$1:$A$1",    L" $A$1",          L"$A$1$B$2", L"\u00c4$1",  L"$"};
  for (const wchar_t* text : texts) {
    CAutoCell cell;
    cell.SetAddress(text);
    cell.SetMergeAddress(text);
    EXPECT_EQ(cell.GetAddress(), text);
    EXPECT_EQ(cell.GetMergeAddress(), text);
    EXPECT_TRUE(cell.IsOwnRange()) << text;
    cell.SetMergeAddress(L"$C$3");
    EXPECT_FALSE(cell.IsOwnRange()) << text;
    CAutoCell copy = cell;
    EXPECT_EQ(StoreObject(copy), StoreObject(cell));

    CAutoCell loaded;
    LoadObject(loaded, StoreObject(cell));
    EXPECT_EQ(loaded.GetAddress(), text);
    EXPECT_EQ(loaded.GetMergeAddress(), L"$C$3");
  }
  CAutoCell cell;
  EXPECT_TRUE(cell.IsOwnRange()) << "both empty";
  cell.SetMergeAddress(L"$A$1");
  EXPECT_FALSE(cell.IsOwnRange());
  cell.SetAddress(L"$a$1");
  EXPECT_FALSE(cell.IsOwnRange()) << "texts differ in case";
  cell.SetAddress(L"$A$1");
  EXPECT_TRUE(cell.IsOwnRange());
  cell.SetAddress(L"");
  EXPECT_TRUE(cell.GetAddress().empty());
}

TEST(Cell, NumericAddressesReadAsTheirTexts) {
  CAutoCell cell;
  cell.SetOwnAddress(7, 28);
  EXPECT_EQ(cell.GetAddress(), L"$AB$7");
  EXPECT_EQ(cell.GetMergeAddress(), L"$AB$7");
  EXPECT_TRUE(cell.IsOwnRange());
  int r1 = 0, c1 = 0, r2 = 0, c2 = 0;
  EXPECT_FALSE(cell.GetMergeRange(r1, c1, r2, c2)) << "one cell is no range";

  cell.SetMergeRange(6, 27, 8, 16384);
  EXPECT_EQ(cell.GetMergeAddress(), L"$AA$6:$XFD$8");
  EXPECT_FALSE(cell.IsOwnRange());
  ASSERT_TRUE(cell.GetMergeRange(r1, c1, r2, c2));
  EXPECT_EQ((std::vector<int>{r1, c1, r2, c2}), (std::vector<int>{6, 27, 8, 16384}));
  cell.SetMergeAddress(L"$A$1:bad");
  EXPECT_FALSE(cell.GetMergeRange(r1, c1, r2, c2));
  EXPECT_EQ(cell.GetMergeAddress(), L"$A$1:bad");

  EXPECT_TRUE(ThrowsAfx<CInvalidArgException>([&] { cell.SetOwnAddress(1, 16385); }));
  EXPECT_TRUE(ThrowsAfx<CInvalidArgException>([&] { cell.SetOwnAddress(0, 1); }));
  EXPECT_TRUE(ThrowsAfx<CInvalidArgException>([&] { cell.SetMergeRange(1, 1, 1, 0); }));
}

// A cell's own merge address is kept with its address: it must not follow
// the address when that changes afterwards.
TEST(Cell, OwnMergeAddressStaysWhenTheAddressMoves) {
  for (const wchar_t* moved : {L"$D$9", L"", L"B2", L"$C$2"}) {
    CAutoCell cell;
    cell.SetOwnAddress(2, 3);
    cell.SetAddress(moved);
    EXPECT_EQ(cell.GetAddress(), moved);
    EXPECT_EQ(cell.GetMergeAddress(), L"$C$2") << moved;
    EXPECT_EQ(cell.IsOwnRange(), std::wstring(moved) == L"$C$2") << moved;
    CAutoCell loaded;
    LoadObject(loaded, StoreObject(cell));
    EXPECT_EQ(loaded.GetMergeAddress(), L"$C$2") << moved;
    EXPECT_EQ(StoreObject(loaded), StoreObject(cell)) << moved;
  }
  CAutoCell cell;
  cell.SetAddress(L"$C$2");
  cell.SetMergeAddress(L"$C$2");
  EXPECT_TRUE(cell.IsOwnRange());
  cell.SetOwnAddress(5, 5);
  EXPECT_EQ(cell.GetMergeAddress(), L"$E$5");
  int r1 = 0, c1 = 0, r2 = 0, c2 = 0;
  EXPECT_FALSE(cell.GetMergeRange(r1, c1, r2, c2));
}

TEST(Borders, SlotsKeepWhatIsSetWhetherItPacksOrNot) {
  const std::wstring names[] = {L"",       L"Continuous", L"CONTINUOUS", L"Double",  L"DOT",
                                L"DASHED", L"DASHDOT",    L"DIVIDE",     L"Hairline"};
  const std::int32_t styles[] = {1, -4119, -4118, -4115, 4, 5, -4142, 13};
  const std::int32_t weights[] = {2, 1, -4138, 4};
  for (const std::wstring& name : names) {
    for (std::int32_t style : styles) {
      for (std::int32_t weight : weights) {
        for (int slot = 0; slot < CAutoBorders::kSlotCount; ++slot) {
          CAutoBorders borders;
          borders.Change(CAutoBorders::kTop, [](CAutoBorder& b) { b.Color = 0x0000FF; });
          CAutoBorder border;
          border.LineStyleName = name;
          border.LineStyle = style;
          border.Weight = weight;
          border.Color = 0x123456;
          borders.SetAt(slot, border);
          const CAutoBorder back = borders.GetAt(slot);
          EXPECT_EQ(back.LineStyleName, name);
          EXPECT_EQ(back.LineStyle, style);
          EXPECT_EQ(back.Weight, weight);
          EXPECT_EQ(back.Color, 0x123456);
          EXPECT_EQ(borders.HasLine(slot), !name.empty());
          if (slot != CAutoBorders::kBottom) {
            EXPECT_FALSE(borders.HasLine(CAutoBorders::kBottom));
          }
          if (slot != CAutoBorders::kTop) {
            EXPECT_EQ(borders.GetAt(CAutoBorders::kTop).Color, 0x0000FF) << "others stay";
          }
          CAutoBorders copy = borders;
          EXPECT_EQ(StoreObject(copy), StoreObject(borders));
        }
      }
    }
  }
}

// The edges share one colour slot while they can: every change of an edge's
// colour, in any order, must read back with the others untouched.
TEST(Borders, EdgeColoursReadBackThroughEveryChange) {
  const std::int32_t colours[] = {xl::kAutomatic, 0x0000FF, 0x00FF00, 0};
  const int edges[] = {CAutoBorders::kTop, CAutoBorders::kBottom, CAutoBorders::kLeft,
                       CAutoBorders::kRight};
  CAutoBorders borders;
  std::int32_t expected[CAutoBorders::kSlotCount] = {xl::kAutomatic, xl::kAutomatic,
                                                     xl::kAutomatic, xl::kAutomatic,
                                                     xl::kAutomatic, xl::kAutomatic};
  unsigned step = 7;
  for (int n = 0; n < 200; ++n) {
    step = step * 1103515245u + 12345u;
    const int slot = edges[(step >> 8) % 4];
    const std::int32_t colour = colours[(step >> 16) % 4];
    borders.Change(slot, [colour](CAutoBorder& b) {
      b.LineStyleName.SetKnown(BorderStyleNames::kContinuous);
      b.Color = colour;
    });
    expected[slot] = colour;
    for (int s = 0; s < CAutoBorders::kSlotCount; ++s) {
      ASSERT_EQ(borders.GetAt(s).Color, expected[s]) << "step " << n << " slot " << s;
    }
    CAutoBorders copy = borders;
    ASSERT_EQ(StoreObject(copy), StoreObject(borders));
  }
}

// Every field away from its default, in forms that must survive the compact
// keeping: texts that are no plain references, a negative zero, reserved
// fields, a border that does not pack, a font name of its own.
Bytes EveryFieldSet() {
  Bytes b;
  b.i32(7).i32(13).i32(-4138);  // slot 0
  b.i32(-4105).i32(1).i32(2);
  b.i32(0xFF).i32(-4115).i32(2);
  b.i32(0x00FF00).i32(1).i32(2);
  b.i32(0x0000FF).i32(5).i32(4);
  b.i32(-4105).i32(-4119).i32(2);
  b.i32(1).i32(2).i32(3).f64(2.5).i32(0x00FFFF).str(L"Liberation Sans");
  b.i32(0x00FF00).i32(6);
  b.str(L"$b$2").str(L"$A$1:$B$2").i32(-4171).str(L"kept").str(L"=A1*2").str(L"x\ny");
  b.i32(-1).i32(1).f64(1.5).f64(2.5).f64(-0.0).f64(4.5).f64(5.5).f64(-6.5);
  return b.i32(-4108).i32(99).i32(-4160);
}

TEST(Serialize, EveryFieldComesBackByteForByte) {
  const std::vector<BYTE> bytes = EveryFieldSet().data;
  CAutoCell cell;
  LoadObject(cell, bytes);
  EXPECT_EQ(StoreObject(cell), bytes);
  CAutoCell copy = cell;
  EXPECT_EQ(StoreObject(copy), bytes);
  CAutoCell moved = std::move(copy);
  EXPECT_EQ(StoreObject(moved), bytes);

  EXPECT_EQ(cell.GetAddress(), L"$b$2");
  EXPECT_EQ(cell.GetMergeAddress(), L"$A$1:$B$2");
  EXPECT_EQ(cell.GetFormula(), L"=A1*2");
  EXPECT_EQ(cell.GetText(), L"x\ny");
  EXPECT_EQ(cell.GetWrapText(), 1);
  EXPECT_EQ(cell.GetHorizontalAlignment(), -4108);
  EXPECT_EQ(cell.GetVerticalAlignment(), -4160);
  EXPECT_TRUE(std::signbit(cell.GetMergeWidth()));
  EXPECT_EQ(cell.GetFont().Name, L"Liberation Sans");
  EXPECT_EQ(cell.GetBorders().GetAt(0).LineStyle, 13);
  EXPECT_EQ(cell.GetBorders().GetAt(4).LineStyleName, L"DIVIDE");
  EXPECT_EQ(cell.GetInterior().ColorIndex, 6);

  // Loading defaults over a full cell gives the defaults back.
  Bytes defaults;
  DefaultFormatting(defaults).str(L"").str(L"").i32(-4128).str(L"").str(L"").str(L"");
  defaults.i32(0).i32(0).f64(0).f64(0).f64(0).f64(0).f64(0).f64(0).i32(-4131).i32(0).i32(-4107);
  LoadObject(cell, defaults.data);
  EXPECT_EQ(StoreObject(cell), defaults.data);
}

TEST(Cell, ConstReadsMakeNothingAndReleasedTextsAreGone) {
  CAutoCell cell;
  const CAutoCell& reader = cell;
  EXPECT_EQ(reader.GetFont().Name, L"Arial");
  EXPECT_EQ(reader.GetInterior().ColorIndex, -4142);
  EXPECT_TRUE(reader.GetTexts().IsEmpty());
  EXPECT_FALSE(cell.HasTexts());

  cell.GetFont().Size = 4;
  cell.GetInterior().Color = 0x0000FF;
  CAutoCell other;
  EXPECT_EQ(other.GetFont().Size, 10000.0) << "the shared default is untouched";
  EXPECT_EQ(std::as_const(other).GetInterior().Color, 0);

  ArxDbMText text;
  text.text = L"t";
  cell.GetTexts().Add(text);
  EXPECT_TRUE(cell.HasTexts());
  cell.ReleaseTexts();
  EXPECT_FALSE(cell.HasTexts());
  EXPECT_TRUE(cell.GetTexts().IsEmpty());
}

TEST(SerializeErrors, TruncatedTablesRaiseEndOfFile) {
  CSheetform table;
  table.Rows.Add(CSheetformRow());
  table.Rows[0].Cells.Add(CAutoCell());
  std::vector<BYTE> bytes = StoreObject(table);
  bytes.resize(bytes.size() - 1);
  CSheetform loaded;
  EXPECT_EQ(ArchiveCause([&] { LoadObject(loaded, bytes); }), CArchiveException::endOfFile);

  // A damaged count larger than the bytes left fails before sizing the rows.
  CSheetform damaged;
  EXPECT_EQ(ArchiveCause([&] { LoadObject(damaged, Bytes().u16(0xFFFF).i32(-1).data); }),
            CArchiveException::endOfFile);
  EXPECT_EQ(damaged.GetRowCount(), 0);

  Bytes oneCell;
  oneCell.u16(1);
  DefaultFormatting(oneCell);
  CSheetformRow row;
  EXPECT_EQ(ArchiveCause([&] { LoadObject(row, oneCell.data); }), CArchiveException::endOfFile);
}

}  // namespace
