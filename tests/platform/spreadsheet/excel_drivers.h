// Dispatch drivers as the plug-in's automation layer writes them, and a
// fixture that starts each test with the server registered and nothing
// running.
#pragma once

#include <gtest/gtest.h>

#include <optional>

#include "platform/com/afxdisp.h"
#include "platform/registry/registry.h"
#include "platform/spreadsheet/constants.h"
#include "platform/spreadsheet/server.h"

namespace gm::test {

inline const COleVariant& OptionalArg() {
  static const COleVariant missing(static_cast<long>(DISP_E_PARAMNOTFOUND), VT_ERROR);
  return missing;
}

class XlBorder : public COleDispatchDriver {
 public:
  void SetLineStyle(const VARIANT& v) { Put(0x77, v); }
  void SetWeight(const VARIANT& v) { Put(0x78, v); }
  void SetColor(const VARIANT& v) { Put(0x63, v); }

 private:
  void Put(DISPID id, const VARIANT& v) {
    static BYTE parms[] = VTS_VARIANT;
    InvokeHelper(id, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, parms, &v);
  }
};

class XlBorders : public COleDispatchDriver {
 public:
  LPDISPATCH GetItem(long index) {
    LPDISPATCH result = nullptr;
    static BYTE parms[] = VTS_I4;
    InvokeHelper(0xAA, DISPATCH_PROPERTYGET, VT_DISPATCH, (void*)&result, parms, index);
    return result;
  }
};

class XlInterior : public COleDispatchDriver {
 public:
  void SetColor(const VARIANT& v) { Put(0x63, v); }
  void SetColorIndex(const VARIANT& v) { Put(0x61, v); }

 private:
  void Put(DISPID id, const VARIANT& v) {
    static BYTE parms[] = VTS_VARIANT;
    InvokeHelper(id, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, parms, &v);
  }
};

class XlRange : public COleDispatchDriver {
 public:
  LPDISPATCH GetItem(const VARIANT& row, const VARIANT& column) {
    VARIANT result;
    VariantInit(&result);
    static BYTE parms[] = VTS_VARIANT VTS_VARIANT;
    InvokeHelper(0xAA, DISPATCH_PROPERTYGET, VT_VARIANT, (void*)&result, parms, &row, &column);
    EXPECT_EQ(result.vt, VT_DISPATCH);
    return result.vt == VT_DISPATCH ? result.pdispVal : nullptr;
  }
  LPDISPATCH GetRange(const VARIANT& cell1, const VARIANT& cell2) {
    LPDISPATCH result = nullptr;
    static BYTE parms[] = VTS_VARIANT VTS_VARIANT;
    InvokeHelper(0xC5, DISPATCH_PROPERTYGET, VT_DISPATCH, (void*)&result, parms, &cell1, &cell2);
    return result;
  }
  LPDISPATCH GetColumns() { return GetObject(0xF1); }
  LPDISPATCH GetRows() { return GetObject(0x102); }
  LPDISPATCH GetFont() { return GetObject(0x92); }
  LPDISPATCH GetBorders() { return GetObject(0x1B3); }
  LPDISPATCH GetInterior() { return GetObject(0x81); }
  VARIANT AutoFit() {
    VARIANT result;
    VariantInit(&result);
    InvokeHelper(0xED, DISPATCH_METHOD, VT_VARIANT, (void*)&result, nullptr);
    return result;
  }
  void Merge(const VARIANT& across) {
    static BYTE parms[] = VTS_VARIANT;
    InvokeHelper(0x234, DISPATCH_METHOD, VT_EMPTY, nullptr, parms, &across);
  }
  void SetValue(const VARIANT& v) { Put(0x06, v); }
  void SetFormula(const VARIANT& v) { Put(0x105, v); }
  void SetNumberFormatLocal(const VARIANT& v) { Put(0x449, v); }
  void SetHorizontalAlignment(const VARIANT& v) { Put(0x88, v); }
  void SetVerticalAlignment(const VARIANT& v) { Put(0x89, v); }
  void SetOrientation(const VARIANT& v) { Put(0x86, v); }
  void SetWrapText(const VARIANT& v) { Put(0x114, v); }
  std::wstring GetAddress() {
    std::wstring result;
    InvokeHelper(0xEC, DISPATCH_PROPERTYGET, VT_BSTR, (void*)&result, nullptr);
    return result;
  }

 private:
  LPDISPATCH GetObject(DISPID id) {
    LPDISPATCH result = nullptr;
    InvokeHelper(id, DISPATCH_PROPERTYGET, VT_DISPATCH, (void*)&result, nullptr);
    return result;
  }
  void Put(DISPID id, const VARIANT& v) {
    static BYTE parms[] = VTS_VARIANT;
    InvokeHelper(id, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, parms, &v);
  }
};

class XlWorksheet : public COleDispatchDriver {
 public:
  LPDISPATCH GetCells() { return GetObject(0xEE); }
  LPDISPATCH GetUsedRange() { return GetObject(0x19C); }

 private:
  LPDISPATCH GetObject(DISPID id) {
    LPDISPATCH result = nullptr;
    InvokeHelper(id, DISPATCH_PROPERTYGET, VT_DISPATCH, (void*)&result, nullptr);
    return result;
  }
};

class XlWorkbooks : public COleDispatchDriver {
 public:
  long GetCount() {
    long result = 0;
    InvokeHelper(0x76, DISPATCH_PROPERTYGET, VT_I4, &result, nullptr);
    return result;
  }
  LPDISPATCH Add(const VARIANT& templ) {
    LPDISPATCH result = nullptr;
    static BYTE parms[] = VTS_VARIANT;
    InvokeHelper(0xB5, DISPATCH_METHOD, VT_DISPATCH, (void*)&result, parms, &templ);
    return result;
  }
};

class XlApplication : public COleDispatchDriver {
 public:
  LPDISPATCH GetActiveSheet() { return GetObject(0x133); }
  LPDISPATCH GetActiveWorkbook() { return GetObject(0x134); }
  LPDISPATCH GetWorkbooks() { return GetObject(0x23C); }
  BOOL GetVisible() { return GetBool(0x22E); }
  void SetVisible(BOOL v) { PutBool(0x22E, v); }
  BOOL GetDisplayAlerts() { return GetBool(0x157); }
  void SetDisplayAlerts(BOOL v) { PutBool(0x157, v); }
  BOOL GetEditDirectlyInCell() { return GetBool(0x3A1); }
  void SetEditDirectlyInCell(BOOL v) { PutBool(0x3A1, v); }
  void SetInteractive(BOOL v) { PutBool(0x169, v); }
  std::wstring GetVersion() {
    std::wstring result;
    InvokeHelper(0x188, DISPATCH_PROPERTYGET, VT_BSTR, (void*)&result, nullptr);
    return result;
  }
  LONG GetHwnd() {
    LONG result = 0;
    InvokeHelper(0x79E, DISPATCH_PROPERTYGET, VT_I4, (void*)&result, nullptr);
    return result;
  }

 private:
  LPDISPATCH GetObject(DISPID id) {
    LPDISPATCH result = nullptr;
    InvokeHelper(id, DISPATCH_PROPERTYGET, VT_DISPATCH, (void*)&result, nullptr);
    return result;
  }
  BOOL GetBool(DISPID id) {
    BOOL result = FALSE;
    InvokeHelper(id, DISPATCH_PROPERTYGET, VT_BOOL, (void*)&result, nullptr);
    return result;
  }
  void PutBool(DISPID id, BOOL v) {
    static BYTE parms[] = VTS_BOOL;
    InvokeHelper(id, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, parms, v);
  }
};

class SpreadsheetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    registry::ClearClassesRoot();
    ASSERT_EQ(S_OK, CoInitialize(nullptr));
    ASSERT_EQ(S_OK, spreadsheet::RegisterServer());
  }
  void TearDown() override {
    cells.ReleaseDispatch();
    sheet.ReleaseDispatch();
    app.ReleaseDispatch();
    spreadsheet::UnregisterServer();
    CoUninitialize();
    registry::ClearClassesRoot();
  }

  // Starts the application with one workbook, as the writer does.
  void Start() {
    COleException error;
    ASSERT_TRUE(app.CreateDispatch(L"Excel.Application", &error)) << std::hex << error.m_sc;
    XlWorkbooks books;
    books.AttachDispatch(app.GetWorkbooks());
    XlWorksheet unused;
    unused.AttachDispatch(books.Add(OptionalArg()));
    sheet.AttachDispatch(app.GetActiveSheet());
    cells.AttachDispatch(sheet.GetCells());
  }

  LPDISPATCH Cell(long row, long column) {
    return cells.GetItem(COleVariant(row), COleVariant(column));
  }
  void Write(long row, long column, const wchar_t* text) {
    XlRange r;
    r.AttachDispatch(Cell(row, column));
    r.SetValue(COleVariant(text));
  }
  XlRange Area(const wchar_t* from, const wchar_t* to) {
    XlRange r;
    r.AttachDispatch(cells.GetRange(COleVariant(from), COleVariant(to)));
    return r;
  }
  static const spreadsheet::Worksheet& Sheet() { return *spreadsheet::ActiveSheet(); }

  XlApplication app;
  XlWorksheet sheet;
  XlRange cells;
};

// Sets one edge of the range's borders; no colour leaves the automatic one.
inline void SetBorder(XlRange& range, long edge, long style, long weight,
                      std::optional<long> color) {
  XlBorders borders;
  borders.AttachDispatch(range.GetBorders());
  XlBorder border;
  border.AttachDispatch(borders.GetItem(edge));
  border.SetLineStyle(COleVariant(style));
  border.SetWeight(COleVariant(weight));
  if (color) border.SetColor(COleVariant(*color));
}

// Runs call and returns the scode of the COleDispatchException it throws
// (0 when it throws none, 1 for any other exception).
template <typename Fn>
SCODE DispatchFailure(Fn call) {
  try {
    call();
  } catch (COleDispatchException* e) {
    const SCODE sc = e->m_scError;
    e->Delete();
    return sc;
  } catch (CException* e) {
    e->Delete();
    return 1;
  }
  return 0;
}

// The same for a COleException's status.
template <typename Fn>
SCODE OleFailure(Fn call) {
  try {
    call();
  } catch (COleException* e) {
    const SCODE sc = e->m_sc;
    e->Delete();
    return sc;
  } catch (CException* e) {
    e->Delete();
    return 1;
  }
  return 0;
}

}  // namespace gm::test
