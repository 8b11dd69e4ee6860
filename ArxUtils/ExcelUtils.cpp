#include "ArxUtils/ExcelUtils.h"

#include <algorithm>
#include <vector>

#include "platform/com/comdef.h"
#include "platform/com/objbase.h"
#include "platform/com/winerror.h"
#include "platform/gui/winuser.h"
#include "platform/win/strings.h"
#include "platform/win/text.h"

ExcelContextRecord ExcelContext;
const COleVariant OptionalArg(static_cast<long>(DISP_E_PARAMNOTFOUND), VT_ERROR);

namespace {

#define GM_WIDEN2(x) L##x
#define GM_WIDEN(x) GM_WIDEN2(x)
constexpr const wchar_t* kThisFile = GM_WIDEN(__FILE__);

constexpr const wchar_t* kProgId = L"Excel.Application";

LPDISPATCH GetObject(COleDispatchDriver& driver, DISPID id) {
  LPDISPATCH result = nullptr;
  driver.InvokeHelper(id, DISPATCH_PROPERTYGET, VT_DISPATCH, &result, nullptr);
  return result;
}

void PutVariant(COleDispatchDriver& driver, DISPID id, const VARIANT& value) {
  static const BYTE parms[] = VTS_VARIANT;
  driver.InvokeHelper(id, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, parms, &value);
}

BOOL GetBool(COleDispatchDriver& driver, DISPID id) {
  BOOL result = FALSE;
  driver.InvokeHelper(id, DISPATCH_PROPERTYGET, VT_BOOL, &result, nullptr);
  return result;
}

void PutBool(COleDispatchDriver& driver, DISPID id, BOOL value) {
  static const BYTE parms[] = VTS_BOOL;
  driver.InvokeHelper(id, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, parms, value);
}

// Runs one context operation under its two handlers.
template <typename Body>
int Guarded(Body body) {
  try {
    return body();
  } catch (const _com_error&) {
    return 0;
  } catch (CException* e) {
    ReportOleError(COleException::Process(e));
    e->Delete();
    return 0;
  }
}

// Every host this build serves runs on a system of the version-6 line or later.
constexpr int kSystemMajorVersion = 10;

void BringToFront(long hwnd) {
  // The spreadsheet's window belongs to another program; a refusal is harmless.
  ::SetForegroundWindow(reinterpret_cast<HWND>(static_cast<std::intptr_t>(hwnd)));
}

}  // namespace

// ---------------------------------------------------------------------------
// Wrappers. Dispatch ids are those of the object model's type library.

void XlInterior::SetColor(const VARIANT& value) { PutVariant(*this, 0x63, value); }
void XlInterior::SetColorIndex(const VARIANT& value) { PutVariant(*this, 0x61, value); }

void XlBorder::SetLineStyle(const VARIANT& value) { PutVariant(*this, 0x77, value); }
void XlBorder::SetWeight(const VARIANT& value) { PutVariant(*this, 0x78, value); }
void XlBorder::SetColor(const VARIANT& value) { PutVariant(*this, 0x63, value); }

LPDISPATCH XlBorders::GetItem(long index) {
  LPDISPATCH result = nullptr;
  static const BYTE parms[] = VTS_I4;
  InvokeHelper(0xAA, DISPATCH_PROPERTYGET, VT_DISPATCH, &result, parms, index);
  return result;
}

VARIANT XlRange::GetItem(const VARIANT& rowIndex, const VARIANT& columnIndex) {
  VARIANT result;
  VariantInit(&result);
  static const BYTE parms[] = VTS_VARIANT VTS_VARIANT;
  InvokeHelper(0xAA, DISPATCH_PROPERTYGET, VT_VARIANT, static_cast<void*>(&result), parms,
               &rowIndex, &columnIndex);
  return result;
}

LPDISPATCH XlRange::GetRange(const VARIANT& cell1, const VARIANT& cell2) {
  LPDISPATCH result = nullptr;
  static const BYTE parms[] = VTS_VARIANT VTS_VARIANT;
  InvokeHelper(0xC5, DISPATCH_PROPERTYGET, VT_DISPATCH, &result, parms, &cell1, &cell2);
  return result;
}

LPDISPATCH XlRange::GetColumns() { return GetObject(*this, 0xF1); }
LPDISPATCH XlRange::GetRows() { return GetObject(*this, 0x102); }

VARIANT XlRange::AutoFit() {
  VARIANT result;
  VariantInit(&result);
  InvokeHelper(0xED, DISPATCH_METHOD, VT_VARIANT, static_cast<void*>(&result), nullptr);
  return result;
}

void XlRange::Merge(const VARIANT& across) {
  static const BYTE parms[] = VTS_VARIANT;
  InvokeHelper(0x234, DISPATCH_METHOD, VT_EMPTY, nullptr, parms, &across);
}

void XlRange::SetValue(const VARIANT& value) { PutVariant(*this, 0x06, value); }
void XlRange::SetFormula(const VARIANT& value) { PutVariant(*this, 0x105, value); }
void XlRange::SetNumberFormatLocal(const VARIANT& value) { PutVariant(*this, 0x449, value); }
void XlRange::SetHorizontalAlignment(const VARIANT& value) { PutVariant(*this, 0x88, value); }
void XlRange::SetVerticalAlignment(const VARIANT& value) { PutVariant(*this, 0x89, value); }
void XlRange::SetOrientation(const VARIANT& value) { PutVariant(*this, 0x86, value); }
void XlRange::SetWrapText(const VARIANT& value) { PutVariant(*this, 0x114, value); }
LPDISPATCH XlRange::GetFont() { return GetObject(*this, 0x92); }
LPDISPATCH XlRange::GetBorders() { return GetObject(*this, 0x1B3); }
LPDISPATCH XlRange::GetInterior() { return GetObject(*this, 0x81); }

LPDISPATCH XlWorksheet::GetCells() { return GetObject(*this, 0xEE); }
LPDISPATCH XlWorksheet::GetUsedRange() { return GetObject(*this, 0x19C); }

std::wstring XlWorksheet::GetName() {
  std::wstring result;
  InvokeHelper(0x6E, DISPATCH_PROPERTYGET, VT_BSTR, &result, nullptr);
  return result;
}

void XlWorksheet::SetName(const std::wstring& name) {
  static const BYTE parms[] = VTS_BSTR;
  InvokeHelper(0x6E, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, parms, name.c_str());
}

long XlWorksheets::GetCount() {
  long result = 0;
  InvokeHelper(0x76, DISPATCH_PROPERTYGET, VT_I4, &result, nullptr);
  return result;
}

LPDISPATCH XlWorksheets::GetItem(long index) {
  LPDISPATCH result = nullptr;
  static const BYTE parms[] = VTS_I4;
  InvokeHelper(0xAA, DISPATCH_PROPERTYGET, VT_DISPATCH, &result, parms, index);
  return result;
}

LPDISPATCH XlWorksheets::AddAfter(LPDISPATCH after) {
  LPDISPATCH result = nullptr;
  COleVariant sheet;
  sheet.vt = VT_DISPATCH;
  sheet.pdispVal = after;
  if (after != nullptr) after->AddRef();
  static const BYTE parms[] = VTS_VARIANT VTS_VARIANT;
  InvokeHelper(0xB5, DISPATCH_METHOD, VT_DISPATCH, &result, parms, &OptionalArg, &sheet);
  return result;
}

LPDISPATCH XlWorkbook::GetWorksheets() { return GetObject(*this, 0x1EE); }

long XlWorkbooks::GetCount() {
  long result = 0;
  InvokeHelper(0x76, DISPATCH_PROPERTYGET, VT_I4, &result, nullptr);
  return result;
}

LPDISPATCH XlWorkbooks::Add(const VARIANT& templ) {
  LPDISPATCH result = nullptr;
  static const BYTE parms[] = VTS_VARIANT;
  InvokeHelper(0xB5, DISPATCH_METHOD, VT_DISPATCH, &result, parms, &templ);
  return result;
}

LPDISPATCH XlApplication::GetActiveSheet() { return GetObject(*this, 0x133); }
LPDISPATCH XlApplication::GetActiveWorkbook() { return GetObject(*this, 0x134); }
BOOL XlApplication::GetDisplayAlerts() { return GetBool(*this, 0x157); }
void XlApplication::SetDisplayAlerts(BOOL value) { PutBool(*this, 0x157, value); }
void XlApplication::SetInteractive(BOOL value) { PutBool(*this, 0x169, value); }

std::wstring XlApplication::GetVersion() {
  std::wstring result;
  InvokeHelper(0x188, DISPATCH_PROPERTYGET, VT_BSTR, &result, nullptr);
  return result;
}

BOOL XlApplication::GetVisible() { return GetBool(*this, 0x22E); }
void XlApplication::SetVisible(BOOL value) { PutBool(*this, 0x22E, value); }
LPDISPATCH XlApplication::GetWorkbooks() { return GetObject(*this, 0x23C); }
BOOL XlApplication::GetEditDirectlyInCell() { return GetBool(*this, 0x3A1); }
void XlApplication::SetEditDirectlyInCell(BOOL value) { PutBool(*this, 0x3A1, value); }

long XlApplication::GetHwnd() {
  LONG result = 0;
  InvokeHelper(0x79E, DISPATCH_PROPERTYGET, VT_I4, &result, nullptr);
  return result;
}

// ---------------------------------------------------------------------------
// Context operations.

int AttachRunningExcel(BOOL makeVisible) {
  return Guarded([&] {
    CLSID clsid{};
    const HRESULT found = CLSIDFromProgID(kProgId, &clsid);
    ReleaseExcelContext();
    if (FAILED(found)) return 0;
    IUnknown* unknown = nullptr;
    void* dispatch = nullptr;
    if (SUCCEEDED(GetActiveObject(clsid, nullptr, &unknown)) && unknown != nullptr) {
      if (FAILED(unknown->QueryInterface(IID_IDispatch, &dispatch))) dispatch = nullptr;
      unknown->Release();
    }
    if (dispatch == nullptr) return 0;
    XlApplication& app = ExcelContext.application;
    app.AttachDispatch(static_cast<LPDISPATCH>(dispatch));
    if (makeVisible && !app.GetVisible()) app.SetVisible(TRUE);
    ExcelContext.majorVersion = win::WToI(app.GetVersion());
    XlWorkbooks books;
    books.AttachDispatch(app.GetWorkbooks());
    if (books.GetCount() > 0) {
      ExcelContext.workbook.AttachDispatch(app.GetActiveWorkbook());
      ExcelContext.worksheet.AttachDispatch(app.GetActiveSheet());
    }
    books.ReleaseDispatch();
    return 1;
  });
}

int StartExcel(BOOL makeVisible) {
  return Guarded([&] {
    ReleaseExcelContext();
    XlApplication& app = ExcelContext.application;
    COleException error;
    if (!app.CreateDispatch(kProgId, &error)) throw new COleException(error.m_sc);
    if (makeVisible && !app.GetVisible()) {
      app.SetVisible(TRUE);
      try {
        ExcelContext.majorVersion = win::WToI(app.GetVersion());
        if (ExcelContext.majorVersion >= 12 && kSystemMajorVersion >= 6) {
          const long hwnd = app.GetHwnd();
          if (hwnd != 0) BringToFront(hwnd);
        }
      } catch (CException* e) {
        e->Delete();
      } catch (const _com_error&) {
      }
    }
    return 1;
  });
}

int AddWorkbook() {
  return Guarded([] {
    XlWorkbooks books;
    books.AttachDispatch(ExcelContext.application.GetWorkbooks());
    ExcelContext.workbook.AttachDispatch(books.Add(OptionalArg));
    books.ReleaseDispatch();
    return 1;
  });
}

int EnsureWorkbookAndSheet() {
  return Guarded([] {
    XlApplication& app = ExcelContext.application;
    if (app.m_lpDispatch == nullptr) {
      AfxMessageBox(L"Failed to get an instance of Excel!", MB_OK);
      return 0;
    }
    XlWorkbooks books;
    books.AttachDispatch(app.GetWorkbooks());
    if (books.GetCount() < 1) {
      XlWorkbook added;
      added.AttachDispatch(books.Add(OptionalArg));
    }
    if (ExcelContext.workbook.m_lpDispatch == nullptr) {
      ExcelContext.workbook.AttachDispatch(app.GetActiveWorkbook());
    }
    ExcelContext.worksheet.AttachDispatch(app.GetActiveSheet());
    books.ReleaseDispatch();
    return 1;
  });
}

int AddWorksheetAfterCurrent() {
  return Guarded([] {
    XlWorksheets sheets;
    sheets.AttachDispatch(ExcelContext.workbook.GetWorksheets());
    ExcelContext.worksheet.AttachDispatch(sheets.AddAfter(ExcelContext.worksheet.m_lpDispatch));
    sheets.ReleaseDispatch();
    return 1;
  });
}

int NameCurrentWorksheet(const std::wstring& wanted, const std::wstring& fallback) {
  return Guarded([&] {
    XlWorksheets sheets;
    sheets.AttachDispatch(ExcelContext.workbook.GetWorksheets());
    std::vector<std::wstring> taken;
    const std::wstring own = ExcelContext.worksheet.GetName();
    for (long k = 1, n = sheets.GetCount(); k <= n; ++k) {
      XlWorksheet sheet;
      sheet.AttachDispatch(sheets.GetItem(k));
      std::wstring name = sheet.GetName();
      if (name != own) taken.push_back(win::ToLower(name));
    }
    sheets.ReleaseDispatch();
    for (const std::wstring& name : {wanted, fallback}) {
      if (name.empty()) continue;
      if (std::find(taken.begin(), taken.end(), win::ToLower(name)) != taken.end()) continue;
      try {
        ExcelContext.worksheet.SetName(name);
        return 1;
      } catch (CException* e) {
        // Not a name the spreadsheet takes: try the next.
        e->Delete();
      } catch (const _com_error&) {
      }
    }
    return 0;
  });
}

namespace {

int AutofitUsed(bool columns) {
  return Guarded([columns] {
    XlRange used;
    used.AttachDispatch(ExcelContext.worksheet.GetUsedRange());
    XlRange lines;
    lines.AttachDispatch(columns ? used.GetColumns() : used.GetRows());
    VARIANT ignored = lines.AutoFit();
    VariantClear(&ignored);
    lines.ReleaseDispatch();
    used.ReleaseDispatch();
    return 1;
  });
}

}  // namespace

int AutofitUsedColumns() { return AutofitUsed(true); }
int AutofitUsedRows() { return AutofitUsed(false); }

void ReleaseExcelContext() {
  ExcelContext.worksheet.ReleaseDispatch();
  ExcelContext.workbook.ReleaseDispatch();
  ExcelContext.majorVersion = 0;
  ExcelContext.application.ReleaseDispatch();
}

void ReportOleError(SCODE statusCode) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(statusCode), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
      reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
  if (length > 0 && buffer != nullptr) {
    AfxMessageBox(buffer, MB_ICONINFORMATION);
  } else {
    AfxMessageBox(win::Format(L"\n%s(%d): OLE Execption caught: SCODE = %x", kThisFile, __LINE__,
                              static_cast<unsigned>(statusCode)),
                  MB_ICONINFORMATION);
  }
  if (buffer != nullptr) LocalFree(buffer);
}
