// The spreadsheet module: the automation layer that drives the spreadsheet
// application, and the cell references both the recogniser and the
// worksheet writer use.
#pragma once

// ---------------------------------------------------------------------------
// Cell references: pure functions, no spreadsheet needed.
#include "ArxUtils/CellReference.h"

// ---------------------------------------------------------------------------
// Automation layer.
//
// The spreadsheet is driven late bound through IDispatch, one wrapper per
// object type of its published object model. A wrapper holds one dispatch
// pointer; a property that yields an object returns a new reference for the
// caller to attach to a wrapper of the matching type. A wrapper that holds
// nothing makes every call a no-op (its result is then the default value).
// Calls throw the framework's exceptions (COleException*,
// COleDispatchException*), deleted by whoever handles them.
#include <string>

#include "platform/com/afxdisp.h"

class XlFont : public COleDispatchDriver {
 public:
  using COleDispatchDriver::COleDispatchDriver;
};

class XlInterior : public COleDispatchDriver {
 public:
  using COleDispatchDriver::COleDispatchDriver;
  void SetColor(const VARIANT& value);
  void SetColorIndex(const VARIANT& value);
};

class XlBorder : public COleDispatchDriver {
 public:
  using COleDispatchDriver::COleDispatchDriver;
  void SetLineStyle(const VARIANT& value);
  void SetWeight(const VARIANT& value);
  void SetColor(const VARIANT& value);
};

class XlBorders : public COleDispatchDriver {
 public:
  using COleDispatchDriver::COleDispatchDriver;
  // The border of one edge (xlEdgeLeft ...).
  LPDISPATCH GetItem(long index);
};

class XlRange : public COleDispatchDriver {
 public:
  using COleDispatchDriver::COleDispatchDriver;
  // A variant holding the one-cell range (VT_DISPATCH), for the caller to
  // clear or take over.
  VARIANT GetItem(const VARIANT& rowIndex, const VARIANT& columnIndex);
  LPDISPATCH GetRange(const VARIANT& cell1, const VARIANT& cell2);
  LPDISPATCH GetColumns();
  LPDISPATCH GetRows();
  VARIANT AutoFit();
  void Merge(const VARIANT& across);
  void SetValue(const VARIANT& value);
  void SetFormula(const VARIANT& value);
  void SetNumberFormatLocal(const VARIANT& value);
  void SetHorizontalAlignment(const VARIANT& value);
  void SetVerticalAlignment(const VARIANT& value);
  void SetOrientation(const VARIANT& value);
  void SetWrapText(const VARIANT& value);
  LPDISPATCH GetFont();
  LPDISPATCH GetBorders();
  LPDISPATCH GetInterior();
};

class XlWorksheet : public COleDispatchDriver {
 public:
  using COleDispatchDriver::COleDispatchDriver;
  LPDISPATCH GetCells();
  LPDISPATCH GetUsedRange();
  std::wstring GetName();
  void SetName(const std::wstring& name);
};

class XlWorksheets : public COleDispatchDriver {
 public:
  using COleDispatchDriver::COleDispatchDriver;
  long GetCount();
  LPDISPATCH GetItem(long index);
  // A new sheet after the given one; it becomes the active sheet.
  LPDISPATCH AddAfter(LPDISPATCH after);
};

class XlWorkbook : public COleDispatchDriver {
 public:
  using COleDispatchDriver::COleDispatchDriver;
  LPDISPATCH GetWorksheets();
};

class XlWorkbooks : public COleDispatchDriver {
 public:
  using COleDispatchDriver::COleDispatchDriver;
  long GetCount();
  LPDISPATCH Add(const VARIANT& templ);
};

class XlApplication : public COleDispatchDriver {
 public:
  using COleDispatchDriver::COleDispatchDriver;
  LPDISPATCH GetActiveSheet();
  LPDISPATCH GetActiveWorkbook();
  BOOL GetDisplayAlerts();
  void SetDisplayAlerts(BOOL value);
  void SetInteractive(BOOL value);
  std::wstring GetVersion();
  BOOL GetVisible();
  void SetVisible(BOOL value);
  LPDISPATCH GetWorkbooks();
  BOOL GetEditDirectlyInCell();
  void SetEditDirectlyInCell(BOOL value);
  long GetHwnd();
};

// The one attached spreadsheet application and what is current in it.
struct ExcelContextRecord {
  XlApplication application;  // empty when none is attached
  XlWorkbook workbook;        // empty when none is current
  XlWorksheet worksheet;      // empty when none is current
  int majorVersion = 0;       // 16 for "16.0"; 0 when none is attached
};
extern ExcelContextRecord ExcelContext;

// The omitted optional argument: VT_ERROR holding DISP_E_PARAMNOTFOUND.
extern const COleVariant OptionalArg;

// Context operations: 1 for success, 0 for failure. An automation failure
// ends an operation with 0; a framework exception is first shown through
// ReportOleError, a _com_error is not shown.

// Attaches to the spreadsheet application that is running (0, silently, when
// none is); its active workbook and sheet become current when it has any.
int AttachRunningExcel(BOOL makeVisible);
// Starts a new application and attaches to it; a failure to start shows the
// status code's message.
int StartExcel(BOOL makeVisible);
// Adds a workbook and makes it the current one.
int AddWorkbook();
// Makes sure a current workbook and worksheet exist, adding a workbook when
// the application has none. No application: a message and 0.
int EnsureWorkbookAndSheet();
// Adds a worksheet after the current one in the current workbook and makes
// it the current (and active) sheet.
int AddWorksheetAfterCurrent();
// Names the current worksheet `wanted` when the spreadsheet takes it and no
// other sheet of the workbook bears it (case ignored), else `fallback` on
// the same terms; else the name stays. 1 when a name was given.
int NameCurrentWorksheet(const std::wstring& wanted, const std::wstring& fallback);
// Autofit the columns (rows) of the current worksheet's used range.
int AutofitUsedColumns();
int AutofitUsedRows();
// Drops every reference of the context; the application stays open.
void ReleaseExcelContext();
// Shows the system's text for an OLE status code, or a text naming it.
void ReportOleError(SCODE statusCode);
