// The spreadsheet server driven through IDispatch as the plug-in drives it,
// checked against the in-memory workbook.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "platform/com/objbase.h"
#include "platform/spreadsheet/automation.h"
#include "platform/spreadsheet/workbook.h"
#include "tests/platform/spreadsheet/excel_drivers.h"

namespace gm::test {
namespace {

using namespace spreadsheet;

constexpr SCODE kExcelError = static_cast<SCODE>(0x800A03EC);

// ---------------------------------------------------------------------------
// Registration, creation and the running application.

TEST(SpreadsheetServer, NotInstalledUntilRegistered) {
  registry::ClearClassesRoot();
  ASSERT_EQ(S_OK, CoInitialize(nullptr));
  CLSID clsid{};
  EXPECT_EQ(CO_E_CLASSSTRING, CLSIDFromProgID(L"Excel.Application", &clsid));
  XlApplication app;
  COleException error;
  EXPECT_FALSE(app.CreateDispatch(L"Excel.Application", &error));
  EXPECT_EQ(error.m_sc, CO_E_CLASSSTRING);
  std::wstring message;
  error.GetErrorMessage(message);
  EXPECT_EQ(message, L"Invalid class string");

  ASSERT_EQ(S_OK, RegisterServer());
  ASSERT_EQ(S_OK, CLSIDFromProgID(L"Excel.Application", &clsid));
  EXPECT_EQ(clsid, kApplicationClsid);
  UnregisterServer();
  EXPECT_EQ(CO_E_CLASSSTRING, CLSIDFromProgID(L"Excel.Application", &clsid));
  // The ProgID left behind without its class: the class is not registered.
  HKEY key = nullptr;
  RegCreateKeyExW(HKEY_CLASSES_ROOT, L"Excel.Application\\CLSID", 0, nullptr, 0, KEY_WRITE, nullptr,
                  &key, nullptr);
  const std::wstring text = com::GuidToString(kApplicationClsid);
  RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  EXPECT_FALSE(app.CreateDispatch(L"Excel.Application", &error));
  EXPECT_EQ(error.m_sc, REGDB_E_CLASSNOTREG);
  CoUninitialize();
  registry::ClearClassesRoot();
}

TEST_F(SpreadsheetTest, OneApplicationOutlivesItsClients) {
  IUnknown* unknown = nullptr;
  EXPECT_EQ(MK_E_UNAVAILABLE, GetActiveObject(kApplicationClsid, nullptr, &unknown));
  EXPECT_FALSE(IsApplicationRunning());
  Start();
  Write(1, 1, L"first");
  cells.ReleaseDispatch();
  sheet.ReleaseDispatch();
  app.ReleaseDispatch();

  // A second conversion attaches to the same application and sheet.
  ASSERT_EQ(S_OK, GetActiveObject(kApplicationClsid, nullptr, &unknown));
  void* dispatch = nullptr;
  ASSERT_EQ(S_OK, unknown->QueryInterface(IID_IDispatch, &dispatch));
  unknown->Release();
  app.AttachDispatch(static_cast<LPDISPATCH>(dispatch));
  XlWorkbooks books;
  books.AttachDispatch(app.GetWorkbooks());
  EXPECT_EQ(books.GetCount(), 1);
  sheet.AttachDispatch(app.GetActiveSheet());
  cells.AttachDispatch(sheet.GetCells());
  Write(2, 1, L"second");
  EXPECT_EQ(std::get<std::wstring>(Sheet().Find(1, 1)->value), L"first");
  EXPECT_EQ(std::get<std::wstring>(Sheet().Find(2, 1)->value), L"second");

  // Creating the class again gives the running application too.
  XlApplication again;
  ASSERT_TRUE(again.CreateDispatch(L"Excel.Application"));
  XlWorkbooks books2;
  books2.AttachDispatch(again.GetWorkbooks());
  EXPECT_EQ(books2.GetCount(), 1);

  QuitApplication();
  EXPECT_EQ(MK_E_UNAVAILABLE, GetActiveObject(kApplicationClsid, nullptr, &unknown));
  // What a client still holds keeps working, detached.
  Write(3, 1, L"detached");
  EXPECT_EQ(ActiveSheet(), nullptr);
}

TEST_F(SpreadsheetTest, ApplicationState) {
  ASSERT_TRUE(app.CreateDispatch(L"Excel.Application"));
  EXPECT_FALSE(app.GetVisible());
  EXPECT_EQ(app.GetVersion(), L"16.0");
  EXPECT_NE(app.GetHwnd(), 0);
  // No workbook yet: the active objects are nothing.
  EXPECT_EQ(app.GetActiveSheet(), nullptr);
  EXPECT_EQ(app.GetActiveWorkbook(), nullptr);

  app.SetVisible(TRUE);
  app.SetDisplayAlerts(FALSE);
  app.SetEditDirectlyInCell(FALSE);
  app.SetInteractive(FALSE);
  EXPECT_TRUE(app.GetVisible());
  EXPECT_FALSE(app.GetDisplayAlerts());
  EXPECT_FALSE(app.GetEditDirectlyInCell());
  auto state = RunningApplicationState();
  ASSERT_TRUE(state);
  EXPECT_TRUE(state->visible);
  EXPECT_FALSE(state->display_alerts);
  EXPECT_FALSE(state->interactive);
  EXPECT_FALSE(state->edit_directly_in_cell);

  XlWorkbooks books;
  books.AttachDispatch(app.GetWorkbooks());
  EXPECT_EQ(books.GetCount(), 0);
  XlWorksheet book;
  book.AttachDispatch(books.Add(OptionalArg()));
  EXPECT_NE(book.m_lpDispatch, nullptr);
  EXPECT_EQ(books.GetCount(), 1);
  // A template file cannot be opened.
  EXPECT_EQ(kExcelError, DispatchFailure([&] { books.Add(COleVariant(L"/tmp/x.xltx")); }));
  EXPECT_EQ(books.GetCount(), 1);
  ASSERT_NE(ActiveWorkbook(), nullptr);
  EXPECT_EQ(ActiveWorkbook()->name(), L"Book1");
}

// ---------------------------------------------------------------------------
// Status codes of malformed calls, through raw Invoke.

TEST_F(SpreadsheetTest, MalformedCallsGetTheirStatus) {
  Start();
  IDispatch* range = Cell(1, 1);
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  VARIANT result;
  VariantInit(&result);
  // Not a member of a range; a get-only member put; a put-only read of Application.
  EXPECT_EQ(DISP_E_MEMBERNOTFOUND, range->Invoke(0x22E, IID_NULL, 0, DISPATCH_PROPERTYGET, &none,
                                                 &result, nullptr, nullptr));
  COleVariant value(L"1");
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS put{&value, &named, 1, 1};
  EXPECT_EQ(DISP_E_MEMBERNOTFOUND, range->Invoke(0x92, IID_NULL, 0, DISPATCH_PROPERTYPUT, &put,
                                                 nullptr, nullptr, nullptr));
  EXPECT_EQ(DISP_E_MEMBERNOTFOUND,
            app.m_lpDispatch->Invoke(0x188, IID_NULL, 0, DISPATCH_PROPERTYPUT, &put, nullptr,
                                     nullptr, nullptr));
  // Item needs one or two arguments.
  EXPECT_EQ(DISP_E_BADPARAMCOUNT, range->Invoke(0xAA, IID_NULL, 0, DISPATCH_PROPERTYGET, &none,
                                                &result, nullptr, nullptr));
  // An alignment that is no number.
  COleVariant word(L"left");
  DISPPARAMS bad{&word, &named, 1, 1};
  UINT argErr = 9;
  EXPECT_EQ(DISP_E_TYPEMISMATCH, range->Invoke(0x88, IID_NULL, 0, DISPATCH_PROPERTYPUT, &bad,
                                               nullptr, nullptr, &argErr));
  EXPECT_EQ(argErr, 0u);
  // A known constant of the wrong property is the object model's error.
  COleVariant top(static_cast<long>(xlTop));
  DISPPARAMS wrong{&top, &named, 1, 1};
  EXCEPINFO info{};
  EXPECT_EQ(DISP_E_EXCEPTION, range->Invoke(0x88, IID_NULL, 0, DISPATCH_PROPERTYPUT, &wrong,
                                            nullptr, &info, nullptr));
  EXPECT_EQ(info.scode, kExcelError);
  EXPECT_STREQ(info.bstrDescription,
               L"Unable to set the HorizontalAlignment property of the Range class");
  EXPECT_STREQ(info.bstrSource, L"Microsoft Excel");
  SysFreeString(info.bstrDescription);
  SysFreeString(info.bstrSource);

  wchar_t name[] = L"horizontalALIGNMENT";
  LPOLESTR names[] = {name};
  DISPID id = 0;
  EXPECT_EQ(S_OK, range->GetIDsOfNames(IID_NULL, names, 1, 0, &id));
  EXPECT_EQ(id, 0x88);
  range->Release();
}

// Every object type answers through its table: each name maps to its id,
// each id in the table is found (the lookup relies on the order), ids
// beside them are not members, and a put reaches only members that take one.
TEST_F(SpreadsheetTest, EachObjectAnswersByItsMemberTable) {
  Start();
  XlRange range;
  range.AttachDispatch(Cell(2, 2));
  XlBorders borders;
  borders.AttachDispatch(range.GetBorders());
  std::map<std::wstring, COleDispatchDriver> objects;
  objects[L"Application"] = app;
  objects[L"Workbooks"].AttachDispatch(app.GetWorkbooks());
  objects[L"Workbook"].AttachDispatch(app.GetActiveWorkbook());
  LPDISPATCH sheets = nullptr;
  objects[L"Workbook"].InvokeHelper(0x1EE, DISPATCH_PROPERTYGET, VT_DISPATCH, &sheets, nullptr);
  objects[L"Sheets"].AttachDispatch(sheets);
  objects[L"Worksheet"] = sheet;
  objects[L"Range"] = range;
  objects[L"Borders"] = borders;
  objects[L"Border"].AttachDispatch(borders.GetItem(xlEdgeTop));
  objects[L"Font"].AttachDispatch(range.GetFont());
  objects[L"Interior"].AttachDispatch(range.GetInterior());

  for (const ObjectMembers& type : ObjectModel()) {
    SCOPED_TRACE(type.class_name);
    ASSERT_TRUE(objects.count(type.class_name));
    IDispatch* object = objects[type.class_name].m_lpDispatch;
    EXPECT_TRUE(com::SortedById(type.members));
    auto listed = [&](DISPID id) {
      for (const com::MemberInfo& m : type.members) {
        if (m.id == id) return true;
      }
      return false;
    };
    for (const com::MemberInfo& m : type.members) {
      SCOPED_TRACE(m.name);
      std::wstring name = m.name;
      LPOLESTR names[] = {name.data()};
      DISPID id = DISPID_UNKNOWN;
      EXPECT_EQ(S_OK, object->GetIDsOfNames(IID_NULL, names, 1, 0, &id));
      EXPECT_EQ(id, m.id);
      // A put of nothing: refused as no member unless the member takes puts.
      VARIANT empty;
      VariantInit(&empty);
      DISPID named = DISPID_PROPERTYPUT;
      DISPPARAMS put{&empty, &named, 1, 1};
      const HRESULT hr =
          object->Invoke(m.id, IID_NULL, 0, DISPATCH_PROPERTYPUT, &put, nullptr, nullptr, nullptr);
      if (m.kinds & DISPATCH_PROPERTYPUT) {
        EXPECT_NE(DISP_E_MEMBERNOTFOUND, hr);
      } else {
        EXPECT_EQ(DISP_E_MEMBERNOTFOUND, hr);
      }
      for (DISPID beside : {m.id - 1, m.id + 1}) {
        if (listed(beside)) continue;
        DISPPARAMS none{nullptr, nullptr, 0, 0};
        VARIANT result;
        VariantInit(&result);
        EXPECT_EQ(DISP_E_MEMBERNOTFOUND, object->Invoke(beside, IID_NULL, 0, DISPATCH_PROPERTYGET,
                                                        &none, &result, nullptr, nullptr));
        VariantClear(&result);
      }
    }
  }
}

// Cells written out of order, lines on the sheet's first row and column, and
// areas read back: the rows stay sorted and nothing is lost or doubled.
TEST(WorksheetCells, OutOfOrderCellsAndEdgeLines) {
  Worksheet sheet(L"Sheet1");
  for (int column : {5, 2, 9, 2, 1}) sheet.EnterText(3, column, L"c" + std::to_wstring(column));
  sheet.EnterText(1, 4, L"x");
  const BorderLine thin{xlContinuous, xlThin, std::nullopt};
  sheet.SetBorder(1, 1, kEdgeTop, thin);
  sheet.SetBorder(1, 1, kEdgeLeft, thin);
  sheet.SetBorder(3, 9, kEdgeRight, thin);
  sheet.SetBorder(3, 9, kEdgeRight, BorderLine{});

  std::vector<Worksheet::CellKey> keys;
  for (const auto& [key, cell] : sheet.cells()) keys.push_back(key);
  const std::vector<Worksheet::CellKey> expected = {{1, 1}, {1, 4}, {3, 1}, {3, 2}, {3, 5}, {3, 9}};
  EXPECT_EQ(keys, expected);
  EXPECT_EQ(sheet.cells().size(), 6u);
  EXPECT_EQ(std::get<std::wstring>(sheet.Find(3, 2)->value), L"c2");
  EXPECT_FALSE(sheet.Find(2, 2).has_value());
  EXPECT_TRUE(sheet.Border(1, 1, kEdgeTop).visible());
  EXPECT_TRUE(sheet.Border(1, 1, kEdgeLeft).visible());
  EXPECT_FALSE(sheet.Border(3, 10, kEdgeLeft).visible()) << "the removed line";
  Worksheet::RowBuffer row;
  for (int r = 1; r <= sheet.last_row(); ++r) {
    sheet.RowCells(r, row);
    for (const auto& entry : row.entries) {
      EXPECT_NE(entry.data, nullptr)
          << "lines off the sheet touch no cell: " << r << "," << entry.column;
    }
  }
  EXPECT_EQ(sheet.UsedRange(), (CellRect{1, 1, 3, 9}));

  keys.clear();
  for (const auto& [key, cell] : sheet.cells({2, 2, 3, 5})) keys.push_back(key);
  EXPECT_EQ(keys, (std::vector<Worksheet::CellKey>{{3, 2}, {3, 5}}));
  EXPECT_TRUE(sheet.cells({4, 1, 9, 9}).empty());
  // A first row with nothing inside the columns, then a row ending inside them.
  keys.clear();
  for (const auto& [key, cell] : sheet.cells({1, 5, 3, 8})) keys.push_back(key);
  EXPECT_EQ(keys, (std::vector<Worksheet::CellKey>{{3, 5}}));
  EXPECT_EQ(sheet.cells({1, 4, 1, 4}).size(), 1u);

  // Lines with gaps between their columns, set out of order, then one
  // removed: each edge finds its own line and no other.
  for (int column : {6, 2, 5, 3}) sheet.SetBorder(5, column, kEdgeBottom, thin);
  EXPECT_FALSE(sheet.Border(5, 4, kEdgeBottom).visible());
  EXPECT_TRUE(sheet.Border(6, 5, kEdgeTop).visible());
  sheet.ChangeBorder(6, 5, kEdgeTop, [](BorderLine& line) { line = BorderLine{}; });
  EXPECT_FALSE(sheet.Border(5, 5, kEdgeBottom).visible());
  for (int column : {2, 3, 6}) EXPECT_TRUE(sheet.Border(5, column, kEdgeBottom).visible());
}

// The save walks each row once: every stored cell, and every cell a line
// touches, with the lines of its four edges.
TEST(WorksheetCells, RowsToWriteCarryTheirCellsAndEdges) {
  Worksheet sheet(L"Sheet1");
  const BorderLine thin{xlContinuous, xlThin, std::nullopt};
  const BorderLine red{xlDash, xlMedium, 0x0000FFu};
  sheet.EnterText(2, 2, L"x");
  sheet.SetBorder(2, 2, kEdgeRight, thin);  // C2 shares it
  sheet.SetBorder(2, 2, kEdgeBottom, red);  // B3 shares it
  sheet.SetBorder(2, 2, kEdgeTop, thin);    // B1 shares it
  sheet.SetValue(2, 5, 2.5);

  auto row_of = [&](int r) {
    Worksheet::RowBuffer buffer;
    sheet.RowCells(r, buffer);
    std::vector<std::pair<int, std::array<BorderLine, 4>>> out;
    for (const auto& e : buffer.entries) {
      std::array<BorderLine, 4> lines;
      for (int k = 0; k < 4; ++k) lines[k] = sheet.line(e.lines[k]);
      out.emplace_back(e.column, lines);
    }
    return std::make_pair(out, buffer);
  };
  const BorderLine none{};
  auto [first, b1] = row_of(1);
  ASSERT_EQ(first.size(), 1u);
  EXPECT_EQ(first[0].first, 2);
  EXPECT_EQ(b1.entries[0].data, nullptr) << "B1 holds nothing but its bottom line";
  EXPECT_EQ(first[0].second[kEdgeBottom], thin);

  auto [second, b2] = row_of(2);
  ASSERT_EQ(second.size(), 3u);
  EXPECT_EQ(second[0].first, 2);
  ASSERT_NE(b2.entries[0].data, nullptr);
  EXPECT_EQ(b2.entries[0].data->text, L"x");
  EXPECT_EQ(second[0].second, (std::array<BorderLine, 4>{none, thin, red, thin}));
  EXPECT_EQ(second[1].first, 3);
  EXPECT_EQ(b2.entries[1].data, nullptr);
  EXPECT_EQ(second[1].second, (std::array<BorderLine, 4>{thin, none, none, none}));
  EXPECT_EQ(second[2].first, 5);
  EXPECT_EQ(b2.entries[2].data->number, 2.5);

  auto [third, b3] = row_of(3);
  ASSERT_EQ(third.size(), 1u);
  EXPECT_EQ(third[0].first, 2);
  EXPECT_EQ(third[0].second[kEdgeTop], red);
  EXPECT_EQ(sheet.last_row(), 3) << "the row below the last one holds B3";
}

// Values are kept compactly: each kind comes back as it went in, and
// overwriting, clearing and merging neither lose nor mix up texts.
TEST(WorksheetCells, ValuesRoundTripThroughTheCompactStore) {
  Worksheet sheet(L"Sheet1");
  const std::vector<CellValue> values = {
      std::monostate{},
      0.1,
      -0.0,
      1e308,
      std::wstring(L"text"),
      std::wstring(L""),
      true,
      false,
      Formula{L"=A1"},
      std::wstring(L"a longer text that needs its own heap block")};
  for (size_t k = 0; k < values.size(); ++k) sheet.SetValue(1, static_cast<int>(k) + 1, values[k]);
  for (size_t k = 0; k < values.size(); ++k) {
    EXPECT_EQ(sheet.Find(1, static_cast<int>(k) + 1)->value, values[k]) << k;
  }
  // A text over a text, a number over a text, a text into a freed place.
  sheet.SetValue(1, 5, std::wstring(L"other"));
  sheet.SetValue(1, 10, 4.0);
  sheet.SetValue(2, 1, std::wstring(L"reused"));
  EXPECT_EQ(std::get<std::wstring>(sheet.Find(1, 5)->value), L"other");
  EXPECT_EQ(std::get<double>(sheet.Find(1, 10)->value), 4.0);
  EXPECT_EQ(std::get<std::wstring>(sheet.Find(2, 1)->value), L"reused");
  EXPECT_EQ(std::get<Formula>(sheet.Find(1, 9)->value).text, L"=A1");

  // The first value in reading order moves to the corner with its text.
  sheet.SetValue(3, 2, std::wstring(L"second"));
  sheet.SetValue(4, 1, std::wstring(L"third"));
  sheet.Merge({3, 1, 4, 2});
  EXPECT_EQ(std::get<std::wstring>(sheet.Find(3, 1)->value), L"second");
  EXPECT_TRUE(std::holds_alternative<std::monostate>(sheet.Find(3, 2)->value));
  EXPECT_TRUE(std::holds_alternative<std::monostate>(sheet.Find(4, 1)->value));
  sheet.SetValue(5, 1, std::wstring(L"fourth"));
  EXPECT_EQ(std::get<std::wstring>(sheet.Find(3, 1)->value), L"second");
  EXPECT_EQ(std::get<std::wstring>(sheet.Find(5, 1)->value), L"fourth");
}

// A cell's column, format and value share one word: none of them reaches
// into another at the sheet's last column or with many formats, and a
// number's place is reused only once its cell gave it up.
TEST(WorksheetCells, NumbersFormatsAndColumnsStayApart) {
  Worksheet sheet(L"Sheet1");
  for (int k = 0; k < 300; ++k) {
    const int column = k == 0 ? kMaxColumns : k;
    sheet.SetValue(1, column, CellValue{k + 0.5});
    sheet.ChangeFormat(CellRect::Cell(1, column), [k](CellFormat& f) { f.fill = 0x10000u + k; });
  }
  sheet.SetValue(2, kMaxColumns, true);
  for (int k = 0; k < 300; ++k) {
    const int column = k == 0 ? kMaxColumns : k;
    const auto cell = sheet.Find(1, column);
    ASSERT_TRUE(cell.has_value()) << column;
    EXPECT_EQ(std::get<double>(cell->value), k + 0.5) << column;
    EXPECT_EQ(cell->format.fill, 0x10000u + k) << column;
  }
  EXPECT_EQ(std::get<bool>(sheet.Find(2, kMaxColumns)->value), true);
  EXPECT_EQ(sheet.UsedRange(), (CellRect{1, 1, 2, kMaxColumns}));
  std::vector<Worksheet::CellKey> keys;
  for (const auto& [key, cell] : sheet.cells({1, 299, 2, kMaxColumns})) keys.push_back(key);
  EXPECT_EQ(keys, (std::vector<Worksheet::CellKey>{{1, 299}, {1, kMaxColumns}, {2, kMaxColumns}}));

  // A freed number's place goes to the next number, not back to its cell.
  sheet.SetValue(1, 1, CellValue{});
  sheet.SetValue(3, 1, 7.0);
  sheet.SetValue(1, 2, std::wstring(L"was a number"));
  sheet.SetValue(3, 2, 8.0);
  sheet.SetValue(1, 3, 9.0);
  EXPECT_TRUE(std::holds_alternative<std::monostate>(sheet.Find(1, 1)->value));
  EXPECT_EQ(std::get<double>(sheet.Find(3, 1)->value), 7.0);
  EXPECT_EQ(std::get<std::wstring>(sheet.Find(1, 2)->value), L"was a number");
  EXPECT_EQ(std::get<double>(sheet.Find(3, 2)->value), 8.0);
  EXPECT_EQ(std::get<double>(sheet.Find(1, 3)->value), 9.0);

  // A number moved to a merged area's corner keeps its value there alone.
  sheet.SetValue(5, 2, 42.0);
  sheet.Merge({4, 1, 5, 2});
  sheet.SetValue(6, 1, 43.0);
  EXPECT_EQ(std::get<double>(sheet.Find(4, 1)->value), 42.0);
  EXPECT_TRUE(std::holds_alternative<std::monostate>(sheet.Find(5, 2)->value));
  EXPECT_EQ(std::get<double>(sheet.Find(6, 1)->value), 43.0);
}

// Texts share blocks: a text rewritten shorter, longer or from a cell's own
// text, texts cleared and their places reused, and the blocks rewritten once
// most of them is left behind, all leave every other text as it was.
TEST(WorksheetCells, TextsSharingBlocksSurviveRewrites) {
  Worksheet sheet(L"Sheet1");
  // Before any block exists, and again over itself.
  sheet.SetValue(1, 1, std::wstring());
  sheet.EnterText(1, 1, L"");
  EXPECT_EQ(std::get<std::wstring>(sheet.Find(1, 1)->value), L"");
  std::map<Worksheet::CellKey, std::wstring> expected;
  for (int row = 2; row <= 41; ++row) {
    for (int column = 1; column <= 5; ++column) {
      std::wstring text = L"r" + std::to_wstring(row) + L"c" + std::to_wstring(column);
      if (column == 5) text.append(3000, L'x');  // longer than the first blocks
      sheet.SetValue(row, column, text);
      expected[{row, column}] = text;
    }
  }
  auto own_text = [&](int row, int column) {
    return std::wstring_view(sheet.cells(CellRect::Cell(row, column)).begin().data().text);
  };
  // Shorter into its own place, and a cell's own text, or a part of it,
  // written back over it.
  sheet.EnterText(2, 1, own_text(2, 1).substr(1));
  expected[{2, 1}] = L"2c1";
  sheet.EnterText(3, 5, own_text(3, 5));
  sheet.EnterText(4, 2, own_text(4, 5));
  expected[{4, 2}] = expected[{4, 5}];
  // Long texts rewritten and cleared over and over: far more is left
  // behind than is in use, so the blocks are rewritten on the way.
  for (int round = 0; round < 30; ++round) {
    for (int row = 5; row <= 9; ++row) {
      std::wstring text(1000 * round + row, static_cast<wchar_t>(L'a' + round % 26));
      sheet.SetValue(row, 5, text);
      expected[{row, 5}] = text;
    }
    sheet.SetValue(
        10, 5, round % 2 ? CellValue{1.0 * round} : CellValue{L"back " + std::to_wstring(round)});
  }
  expected.erase({10, 5});
  sheet.SetValue(11, 5, CellValue{});
  expected.erase({11, 5});
  sheet.SetValue(12, 6, std::wstring(L"into a freed place"));
  expected[{12, 6}] = L"into a freed place";

  EXPECT_EQ(std::get<double>(sheet.Find(10, 5)->value), 29.0);
  for (const auto& [key, text] : expected) {
    const auto cell = sheet.Find(key.first, key.second);
    ASSERT_TRUE(cell.has_value());
    ASSERT_TRUE(std::holds_alternative<std::wstring>(cell->value))
        << key.first << "," << key.second;
    EXPECT_TRUE(std::get<std::wstring>(cell->value) == text) << key.first << "," << key.second;
  }
}

// Rows are sized from the row above and give back unused room as later rows
// start: a narrow row after a wide one, and cells and lines added later to
// rows already given back, all stay where they were put.
TEST(WorksheetCells, RowsOfChangingWidthKeepEveryCellAndLine) {
  Worksheet sheet(L"Sheet1");
  const BorderLine thin{xlContinuous, xlThin, std::nullopt};
  const BorderLine red{xlContinuous, xlMedium, 0x0000FFu};
  auto put_row = [&](int row, int columns) {
    for (int column = 1; column <= columns; ++column) {
      sheet.SetValue(row, column, CellValue{row * 1000.0 + column});
      sheet.SetBorder(row, column, kEdgeTop, thin);
      sheet.SetBorder(row, column, kEdgeRight, thin);
      sheet.SetBorder(row, column, kEdgeBottom, thin);
    }
  };
  put_row(1, 70);
  put_row(2, 3);
  put_row(3, 40);
  put_row(4, 1);
  // Later puts into rows already given back, in and out of column order.
  sheet.SetValue(1, 80, CellValue{1080.0});
  sheet.SetValue(2, 20, CellValue{2020.0});
  sheet.SetBorder(2, 20, kEdgeBottom, red);
  sheet.SetBorder(3, 45, kEdgeTop, red);
  sheet.SetBorder(1, 75, kEdgeLeft, red);
  // A new row whose first change is the line above it.
  sheet.ChangeBorder(6, 2, kEdgeTop, [&](BorderLine& line) { line = red; });

  std::map<Worksheet::CellKey, double> seen;
  for (const auto& [key, cell] : sheet.cells()) {
    if (const auto* number = std::get_if<double>(&cell.value)) seen[key] = *number;
  }
  EXPECT_EQ(seen.size(), 70u + 3 + 40 + 1 + 2);
  for (const auto& [key, number] : seen) {
    EXPECT_EQ(number, key.first * 1000.0 + key.second) << key.first << "," << key.second;
  }
  EXPECT_EQ(sheet.Border(3, 20, kEdgeTop), red);
  EXPECT_EQ(sheet.Border(2, 45, kEdgeBottom), red);
  EXPECT_EQ(sheet.Border(1, 74, kEdgeRight), red);
  EXPECT_EQ(sheet.Border(5, 2, kEdgeBottom), red);
  EXPECT_EQ(sheet.Border(1, 70, kEdgeRight), thin);
  EXPECT_EQ(sheet.Border(2, 40, kEdgeBottom), thin) << "row 3's top edges";
  EXPECT_FALSE(sheet.Border(2, 41, kEdgeBottom).visible());
  EXPECT_EQ(sheet.Border(3, 40, kEdgeBottom), thin);
  EXPECT_FALSE(sheet.Border(4, 41, kEdgeTop).visible());
  EXPECT_EQ(sheet.UsedRange(), (CellRect{1, 1, 6, 80}));
}

// Merging many areas side by side stays correct where they meet: an area
// overlapping several takes them all in, and the rest stay apart.
TEST(WorksheetCells, ManyMergesKeepApartOrJoin) {
  Worksheet sheet(L"Sheet1");
  for (int row = 1; row <= 200; row += 2) {
    for (int column = 1; column <= 40; column += 2) sheet.Merge({row, column, row + 1, column + 1});
  }
  EXPECT_EQ(sheet.merged_areas().size(), 2000u);
  sheet.Merge({4, 4, 7, 5});  // touches (3,3)-(4,4), (3,5)-(4,6), (5,3)-(6,4) ... (7,5)-(8,6)
  EXPECT_EQ(sheet.merged_areas().size(), 2000u - 6u + 1u);
  EXPECT_EQ(sheet.MergeAreaAt(4, 4), (CellRect{3, 3, 8, 6}));
  EXPECT_EQ(sheet.MergeAreaAt(2, 2), (CellRect{1, 1, 2, 2}));
  EXPECT_EQ(sheet.MergeAreaAt(199, 39), (CellRect{199, 39, 200, 40}));
  EXPECT_FALSE(sheet.MergeAreaAt(201, 1).has_value());
  for (size_t i = 0; i < sheet.merged_areas().size(); ++i) {
    for (size_t j = i + 1; j < sheet.merged_areas().size(); j += 97) {
      ASSERT_FALSE(sheet.merged_areas()[i].Overlaps(sheet.merged_areas()[j]));
    }
  }
}

// ---------------------------------------------------------------------------
// Cells and references.

TEST_F(SpreadsheetTest, ItemAndRangeAddressing) {
  Start();
  XlRange far;
  far.AttachDispatch(Cell(kMaxRows, kMaxColumns));
  EXPECT_EQ(far.GetAddress(), L"$XFD$1048576");
  EXPECT_EQ(kExcelError, DispatchFailure([&] { Cell(kMaxRows + 1, 1); }));
  EXPECT_EQ(kExcelError, DispatchFailure([&] { Cell(1, kMaxColumns + 1); }));
  EXPECT_EQ(kExcelError, DispatchFailure([&] { Cell(0, 1); }));
  // Column letters are accepted for the column.
  XlRange lettered;
  lettered.AttachDispatch(cells.GetItem(COleVariant(3L), COleVariant(L"AB")));
  EXPECT_EQ(lettered.GetAddress(), L"$AB$3");

  XlRange block = Area(L"$C$3", L"$A$1");
  EXPECT_EQ(block.GetAddress(), L"$A$1:$C$3");
  XlRange three = Area(L"$XFD$2", L"B1");
  EXPECT_EQ(three.GetAddress(), L"$B$1:$XFD$2");
  for (const wchar_t* bad : {L"$A$0", L"$XFE$1", L"AAAA1", L"1A", L"$A$1048577", L"", L"A1:"}) {
    EXPECT_EQ(kExcelError, DispatchFailure([&] { Area(bad, L"A1"); })) << bad;
  }
  // Item of a block counts from the block's corner.
  XlRange inner;
  inner.AttachDispatch(block.GetItem(COleVariant(2L), COleVariant(2L)));
  EXPECT_EQ(inner.GetAddress(), L"$B$2");
}

// Objects made per cell are kept for reuse once released: one still held
// is never handed out again, and a reused one works on its new cell.
TEST_F(SpreadsheetTest, ReusedObjectsNeverChangeUnderTheirHolder) {
  Start();
  XlRange held;
  held.AttachDispatch(Cell(2, 3));
  XlBorders heldBorders;
  heldBorders.AttachDispatch(held.GetBorders());
  for (long row = 1; row <= 40; ++row) {
    XlRange other;
    other.AttachDispatch(Cell(row, 1));
    ASSERT_NE(static_cast<LPDISPATCH>(other), static_cast<LPDISPATCH>(held));
    XlBorders borders;
    borders.AttachDispatch(other.GetBorders());
    ASSERT_NE(static_cast<LPDISPATCH>(borders), static_cast<LPDISPATCH>(heldBorders));
    XlBorder top;
    top.AttachDispatch(borders.GetItem(xlEdgeTop));
    top.SetLineStyle(COleVariant(static_cast<long>(xlContinuous)));
  }
  EXPECT_EQ(held.GetAddress(), L"$C$2");
  XlBorder right;
  right.AttachDispatch(heldBorders.GetItem(xlEdgeRight));
  right.SetLineStyle(COleVariant(static_cast<long>(xlDash)));
  EXPECT_EQ(Sheet().Border(2, 4, kEdgeLeft).line_style, xlDash) << "the held object's own cell";
  EXPECT_FALSE(Sheet().Border(40, 1, kEdgeRight).visible());
  EXPECT_TRUE(Sheet().Border(40, 1, kEdgeTop).visible());

  // A released range comes back for another cell and answers for that one.
  const LPDISPATCH old = held;
  heldBorders.ReleaseDispatch();
  held.ReleaseDispatch();
  XlRange next;
  next.AttachDispatch(Cell(7, 5));
  EXPECT_EQ(static_cast<LPDISPATCH>(next), old) << "the released object is reused";
  EXPECT_EQ(next.GetAddress(), L"$E$7");
}

TEST_F(SpreadsheetTest, TextsNumbersAndTheTextFormat) {
  Start();
  XlRange forced;
  forced.AttachDispatch(Cell(1, 1));
  forced.SetNumberFormatLocal(COleVariant(L"@"));
  forced.SetValue(COleVariant(L"007"));
  Write(2, 1, L"007");
  Write(3, 1, L"-1.5e3");
  Write(4, 1, L"12345678901234567890");  // more digits than a number keeps
  Write(5, 1, L" 12");
  Write(6, 1, L"1,000");
  Write(7, 1, L"=1+2");  // a value never becomes a formula

  EXPECT_EQ(std::get<std::wstring>(Sheet().Find(1, 1)->value), L"007");
  EXPECT_EQ(Sheet().Find(1, 1)->format.number_format, L"@");
  EXPECT_EQ(std::get<double>(Sheet().Find(2, 1)->value), 7.0);
  EXPECT_EQ(std::get<double>(Sheet().Find(3, 1)->value), -1500.0);
  EXPECT_EQ(std::get<std::wstring>(Sheet().Find(4, 1)->value), L"12345678901234567890");
  EXPECT_EQ(std::get<std::wstring>(Sheet().Find(5, 1)->value), L" 12");
  EXPECT_EQ(std::get<std::wstring>(Sheet().Find(6, 1)->value), L"1,000");
  EXPECT_EQ(std::get<std::wstring>(Sheet().Find(7, 1)->value), L"=1+2");

  // Typed values and clearing.
  XlRange typed;
  typed.AttachDispatch(Cell(8, 1));
  typed.SetValue(COleVariant(42L));
  EXPECT_EQ(std::get<double>(Sheet().Find(8, 1)->value), 42.0);
  typed.SetValue(COleVariant(true));
  EXPECT_EQ(std::get<bool>(Sheet().Find(8, 1)->value), true);
  typed.SetValue(COleVariant());
  EXPECT_TRUE(std::holds_alternative<std::monostate>(Sheet().Find(8, 1)->value));

  // A line feed turns wrapping on.
  Write(9, 1, L"two\nlines");
  EXPECT_TRUE(Sheet().Find(9, 1)->format.wrap_text);
  // Longer than a cell holds.
  EXPECT_EQ(kExcelError,
            DispatchFailure([&] { Write(10, 1, std::wstring(kMaxTextLength + 1, L'x').c_str()); }));
}

TEST_F(SpreadsheetTest, Formulas) {
  Start();
  XlRange r;
  r.AttachDispatch(Cell(1, 2));
  r.SetFormula(COleVariant(L"=SUM(A1:A3)"));
  EXPECT_EQ(std::get<Formula>(Sheet().Find(1, 2)->value).text, L"=SUM(A1:A3)");
  EXPECT_EQ(kExcelError, DispatchFailure([&] { r.SetFormula(COleVariant(L"=SUM(A1")); }));
  EXPECT_EQ(std::get<Formula>(Sheet().Find(1, 2)->value).text, L"=SUM(A1:A3)");
  // A formula not starting with "=" is a constant; in a text cell any is text.
  r.SetFormula(COleVariant(L"12"));
  EXPECT_EQ(std::get<double>(Sheet().Find(1, 2)->value), 12.0);
  r.SetNumberFormatLocal(COleVariant(L"@"));
  r.SetFormula(COleVariant(L"=1+"));
  EXPECT_EQ(std::get<std::wstring>(Sheet().Find(1, 2)->value), L"=1+");
}

TEST_F(SpreadsheetTest, AlignmentOrientationAndWrap) {
  Start();
  XlRange r;
  r.AttachDispatch(Cell(1, 1));
  r.SetHorizontalAlignment(COleVariant(static_cast<long>(xlCenter)));
  r.SetVerticalAlignment(COleVariant(static_cast<long>(xlTop)));
  r.SetOrientation(COleVariant(static_cast<long>(xlUpward)));
  r.SetWrapText(COleVariant(1L));
  const CellFormat f = Sheet().Find(1, 1)->format;
  EXPECT_EQ(f.horizontal_alignment, xlCenter);
  EXPECT_EQ(f.vertical_alignment, xlTop);
  EXPECT_EQ(f.orientation, 90);
  EXPECT_TRUE(f.wrap_text);
  r.SetOrientation(COleVariant(static_cast<long>(xlDownward)));
  EXPECT_EQ(Sheet().Find(1, 1)->format.orientation, -90);
  r.SetOrientation(COleVariant(45L));
  EXPECT_EQ(Sheet().Find(1, 1)->format.orientation, 45);
  EXPECT_EQ(kExcelError, DispatchFailure([&] { r.SetOrientation(COleVariant(91L)); }));
  EXPECT_EQ(kExcelError, DispatchFailure([&] {
              r.SetVerticalAlignment(COleVariant(static_cast<long>(xlLeft)));
            }));
  EXPECT_EQ(Sheet().Find(1, 1)->format.vertical_alignment, xlTop);
}

// ---------------------------------------------------------------------------
// Merges.

TEST_F(SpreadsheetTest, OverlappingMergesBecomeOne) {
  Start();
  Write(2, 2, L"kept");
  Write(3, 3, L"dropped");
  Area(L"$A$1", L"$B$2").Merge(OptionalArg());
  ASSERT_EQ(Sheet().merged_areas().size(), 1u);
  // B2:C3 overlaps A1:B2: one area A1:C3.
  Area(L"$B$2", L"$C$3").Merge(OptionalArg());
  ASSERT_EQ(Sheet().merged_areas().size(), 1u);
  EXPECT_EQ(Sheet().merged_areas()[0], (CellRect{1, 1, 3, 3}));
  // The first value in reading order moved to the top-left; the rest cleared.
  EXPECT_EQ(std::get<std::wstring>(Sheet().Find(1, 1)->value), L"kept");
  EXPECT_TRUE(std::holds_alternative<std::monostate>(Sheet().Find(2, 2)->value));
  EXPECT_TRUE(std::holds_alternative<std::monostate>(Sheet().Find(3, 3)->value));

  // Merging the same block again, as the writer does per covered cell.
  for (int i = 0; i < 4; ++i) Area(L"$A$1", L"$C$3").Merge(OptionalArg());
  EXPECT_EQ(Sheet().merged_areas().size(), 1u);

  // A chain: D1:E1 apart, then C1:D1 joins both areas into A1:E3.
  Area(L"$D$1", L"$E$1").Merge(OptionalArg());
  EXPECT_EQ(Sheet().merged_areas().size(), 2u);
  Area(L"$C$1", L"$D$1").Merge(OptionalArg());
  ASSERT_EQ(Sheet().merged_areas().size(), 1u);
  EXPECT_EQ(Sheet().merged_areas()[0], (CellRect{1, 1, 3, 5}));

  // One cell merges nothing; Across merges row by row.
  Area(L"$G$1", L"$G$1").Merge(OptionalArg());
  EXPECT_EQ(Sheet().merged_areas().size(), 1u);
  Area(L"$G$5", L"$H$6").Merge(COleVariant(true));
  EXPECT_EQ(Sheet().merged_areas().size(), 3u);
  EXPECT_TRUE(Sheet().MergeAreaAt(6, 8).has_value());
  EXPECT_EQ(*Sheet().MergeAreaAt(6, 8), (CellRect{6, 7, 6, 8}));
}

// ---------------------------------------------------------------------------
// Borders and fills.

TEST_F(SpreadsheetTest, BordersAreSharedBetweenNeighbours) {
  Start();
  XlRange b2;
  b2.AttachDispatch(Cell(2, 2));
  SetBorder(b2, xlEdgeRight, xlContinuous, xlThin, 0x0000FF);
  SetBorder(b2, xlEdgeBottom, xlDash, xlMedium, std::nullopt);
  const BorderLine right = Sheet().Border(2, 2, kEdgeRight);
  EXPECT_EQ(right.line_style, xlContinuous);
  EXPECT_EQ(right.weight, xlThin);
  EXPECT_EQ(right.color, 0x0000FFu);
  EXPECT_EQ(Sheet().Border(2, 3, kEdgeLeft), right);
  EXPECT_EQ(Sheet().Border(3, 2, kEdgeTop).line_style, xlDash);
  EXPECT_FALSE(Sheet().Border(3, 2, kEdgeTop).color.has_value());

  // Taking the line away on the neighbour takes it from both.
  XlRange c2;
  c2.AttachDispatch(Cell(2, 3));
  XlBorders borders;
  borders.AttachDispatch(c2.GetBorders());
  XlBorder left;
  left.AttachDispatch(borders.GetItem(xlEdgeLeft));
  left.SetLineStyle(COleVariant(static_cast<long>(xlLineStyleNone)));
  EXPECT_FALSE(Sheet().Border(2, 2, kEdgeRight).visible());

  // A weight alone draws a continuous line.
  XlBorder top;
  top.AttachDispatch(borders.GetItem(xlEdgeTop));
  top.SetWeight(COleVariant(static_cast<long>(xlThick)));
  EXPECT_EQ(Sheet().Border(2, 3, kEdgeTop).line_style, xlContinuous);
  EXPECT_EQ(Sheet().Border(1, 3, kEdgeBottom).weight, xlThick);

  EXPECT_EQ(kExcelError, DispatchFailure([&] { top.SetLineStyle(COleVariant(3L)); }));
  EXPECT_EQ(kExcelError, DispatchFailure([&] { top.SetWeight(COleVariant(3L)); }));
  EXPECT_EQ(kExcelError, DispatchFailure([&] { top.SetColor(COleVariant(0x1000000L)); }));
  EXPECT_EQ(kExcelError, DispatchFailure([&] { borders.GetItem(3); }));

  // A block's outer edge is the edge of its cells on that side only.
  XlRange block = Area(L"$E$1", L"$F$3");
  SetBorder(block, xlEdgeLeft, xlContinuous, xlThin, std::nullopt);
  for (int row = 1; row <= 3; ++row) {
    EXPECT_TRUE(Sheet().Border(row, 5, kEdgeLeft).visible());
    EXPECT_FALSE(Sheet().Border(row, 6, kEdgeLeft).visible());
  }
}

// The same change made to cells of different formats gives each its own
// result, however often it repeats.
TEST_F(SpreadsheetTest, RepeatedFormatChangesKeepEachCellsOtherFields) {
  Start();
  for (long row = 1; row <= 3; ++row) {
    XlRange r;
    r.AttachDispatch(Cell(row, 1));
    if (row != 2) r.SetNumberFormatLocal(COleVariant(L"@"));
    r.SetHorizontalAlignment(COleVariant(static_cast<long>(xlCenter)));
    XlInterior interior;
    interior.AttachDispatch(r.GetInterior());
    interior.SetColor(COleVariant(row == 1 ? 0x00FF00L : 0x0000FFL));
  }
  XlRange third;
  third.AttachDispatch(Cell(3, 1));
  third.SetHorizontalAlignment(COleVariant(static_cast<long>(xlLeft)));
  third.SetNumberFormatLocal(COleVariant(L"General"));
  XlRange second;
  second.AttachDispatch(Cell(2, 1));
  second.SetHorizontalAlignment(COleVariant(static_cast<long>(xlCenter)));

  const CellFormat a1 = Sheet().Find(1, 1)->format;
  const CellFormat a2 = Sheet().Find(2, 1)->format;
  const CellFormat a3 = Sheet().Find(3, 1)->format;
  EXPECT_TRUE(a1.is_text());
  EXPECT_EQ(a1.horizontal_alignment, xlCenter);
  EXPECT_EQ(a1.fill, 0x00FF00u);
  EXPECT_FALSE(a2.is_text());
  EXPECT_EQ(a2.horizontal_alignment, xlCenter);
  EXPECT_EQ(a2.fill, 0x0000FFu);
  EXPECT_TRUE(a3.number_format.empty());
  EXPECT_EQ(a3.horizontal_alignment, xlLeft);
  EXPECT_EQ(a3.fill, 0x0000FFu);
}

TEST_F(SpreadsheetTest, InteriorColours) {
  Start();
  XlRange r;
  r.AttachDispatch(Cell(1, 1));
  XlInterior interior;
  interior.AttachDispatch(r.GetInterior());
  interior.SetColor(COleVariant(0x00FF00L));
  EXPECT_EQ(Sheet().Find(1, 1)->format.fill, 0x00FF00u);
  interior.SetColorIndex(COleVariant(static_cast<long>(xlNone)));
  EXPECT_FALSE(Sheet().Find(1, 1)->format.fill.has_value());
  interior.SetColorIndex(COleVariant(3L));  // red in the default palette
  EXPECT_EQ(Sheet().Find(1, 1)->format.fill, 0x0000FFu);
  EXPECT_EQ(kExcelError, DispatchFailure([&] { interior.SetColorIndex(COleVariant(57L)); }));
  EXPECT_EQ(kExcelError, DispatchFailure([&] { interior.SetColor(COleVariant(-1L)); }));
}

// ---------------------------------------------------------------------------
// AutoFit.

TEST_F(SpreadsheetTest, AutoFitFollowsTheTexts) {
  Start();
  Write(1, 1, L"short");
  Write(2, 1, L"a rather longer text in the first column");
  Write(1, 2, L"x");
  Write(1, 3, L"one\ntwo\nthree");
  Write(3, 4, L"merged cells take no room at all here");
  Area(L"$D$3", L"$E$3").Merge(OptionalArg());

  XlRange used;
  used.AttachDispatch(sheet.GetUsedRange());
  EXPECT_EQ(used.GetAddress(), L"$A$1:$E$3");
  XlRange columns;
  columns.AttachDispatch(used.GetColumns());
  columns.AutoFit();
  XlRange rows;
  rows.AttachDispatch(used.GetRows());
  rows.AutoFit();

  const Worksheet& s = Sheet();
  EXPECT_GT(s.ColumnWidth(1), 25.0);
  EXPECT_LT(s.ColumnWidth(1), 60.0);
  EXPECT_LT(s.ColumnWidth(2), 3.0);
  EXPECT_GT(s.ColumnWidth(1), s.ColumnWidth(3));
  EXPECT_DOUBLE_EQ(s.ColumnWidth(4), kDefaultColumnWidth);
  EXPECT_DOUBLE_EQ(s.RowHeight(1), 45.0);  // three lines of 15 points
  EXPECT_DOUBLE_EQ(s.RowHeight(2), 15.0);
  EXPECT_DOUBLE_EQ(s.RowHeight(3), kDefaultRowHeight);

  // Only whole columns or rows fit themselves.
  EXPECT_EQ(kExcelError, DispatchFailure([&] { used.AutoFit(); }));
}

TEST_F(SpreadsheetTest, OversizedOperationsAreRefused) {
  Start();
  // Every cell of the sheet at once would fill memory.
  EXPECT_EQ(kExcelError, DispatchFailure([&] { cells.SetValue(COleVariant(L"x")); }));
  EXPECT_TRUE(Sheet().cells().empty());
}

}  // namespace
}  // namespace gm::test
