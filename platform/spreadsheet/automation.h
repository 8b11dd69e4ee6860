// The automation objects of the spreadsheet server: Application, Workbooks,
// Workbook, Worksheet, Range, Borders, Border, Font and Interior, each an
// IDispatch answering, by the object model's dispatch ids, the members the
// plug-in calls (ObjectModel lists them) and no others. Properties the
// plug-in only sets are not readable.
//
// Every object refers to the workbook data it works on by shared ownership,
// so an object a client still holds stays usable whatever else goes.
// Ranges are views: a Range names an area of a sheet, and what is set
// through it is set on every cell of the area. An operation over more than
// kMaxCellsPerCall cells is refused with the object model's error, rather
// than filling memory. A rejected value or reference answers
// DISP_E_EXCEPTION with scode 0x800A03EC and a description such as
// "Unable to set the HorizontalAlignment property of the Range class".
#pragma once

#include <memory>
#include <span>
#include <vector>

#include "platform/com/dispatch_object.h"
#include "platform/spreadsheet/workbook.h"

namespace spreadsheet {

inline constexpr long long kMaxCellsPerCall = 1 << 20;

// The application's own state; kept while the application runs.
struct ApplicationModel {
  bool visible = false;
  bool display_alerts = true;
  bool interactive = true;
  bool edit_directly_in_cell = true;
  LONG hwnd = 0;
  std::vector<std::shared_ptr<Workbook>> workbooks;
  std::shared_ptr<Workbook> active_workbook;
  int next_book_number = 1;
};

// A new Application object (one reference, the caller's).
IDispatch* NewApplicationObject(std::shared_ptr<ApplicationModel> model);

// The members each object type answers: the tables the objects dispatch by.
struct ObjectMembers {
  const wchar_t* class_name;
  std::span<const com::MemberInfo> members;
};
std::span<const ObjectMembers> ObjectModel();

}  // namespace spreadsheet
