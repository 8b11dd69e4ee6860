// The spreadsheet automation server, registered as "Excel.Application".
//
// RegisterServer puts the ProgID and its class id under HKEY_CLASSES_ROOT
// and serves the class in-process; the host calls it at start-up (a host
// that does not makes the spreadsheet "not installed"). The first object
// created starts the one Application, which registers itself in the running
// object table and lives until QuitApplication, UnregisterServer or the end
// of the program: later creations get that same Application, and
// GetActiveObject finds it, so a second conversion writes into the sheet the
// first one left active. Like the real application it starts invisible,
// with no workbook open.
//
// Everything here runs on the host's command thread.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "platform/com/guid.h"
#include "platform/spreadsheet/workbook.h"
#include "platform/spreadsheet/xlsx_writer.h"

namespace spreadsheet {

inline constexpr wchar_t kProgId[] = L"Excel.Application";
// The class id the object model publishes for its Application.
inline constexpr CLSID kApplicationClsid = {
    0x00024500, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// S_OK, or the registry's failure as an HRESULT.
[[nodiscard]] HRESULT RegisterServer();
// Removes the registration and ends the running Application.
void UnregisterServer();
// Ends the running Application: it leaves the running object table and its
// workbooks are dropped (objects clients still hold stay usable, detached).
void QuitApplication();
bool IsApplicationRunning();

// Inspection without saving. The running Application's state, or nullopt.
struct ApplicationState {
  bool visible;
  bool display_alerts;
  bool interactive;
  bool edit_directly_in_cell;
};
std::optional<ApplicationState> RunningApplicationState();
// The open workbooks, oldest first; empty when nothing runs.
std::vector<std::shared_ptr<const Workbook>> OpenWorkbooks();
// nullptr when nothing runs or no workbook is open.
std::shared_ptr<const Workbook> ActiveWorkbook();
std::shared_ptr<const Worksheet> ActiveSheet();

// Saves the active workbook as path (see xlsx_writer.h); an error when no
// workbook is open.
SaveStatus SaveActiveWorkbook(const std::filesystem::path& path);
// Saves every open workbook as folder/<name>.xlsx ("Book1.xlsx"); each file
// atomically. The first failure is reported after the others were tried.
SaveStatus SaveAll(const std::filesystem::path& folder);

}  // namespace spreadsheet
