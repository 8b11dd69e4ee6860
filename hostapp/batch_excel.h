// The host's side of the spreadsheet: COM for the command thread and the
// spreadsheet server registered at start-up (as a Windows CAD host runs with
// COM initialised and the spreadsheet installed), the batch conversion of
// -o OUT.xlsx, and the workbooks saved when a session ends, so that nothing
// written is lost.
#pragma once

#include <string>

#include "hostapp/host.h"
#include "hostapp/options.h"

namespace hostapp {

inline constexpr int kExitNoWorkbook = 5;

// Initialises COM for this thread and, unless options.no_excel, registers the
// spreadsheet server. False with a message when registering fails.
bool StartSpreadsheet(const Options& options, std::string& error);
// Ends the spreadsheet application and COM.
void StopSpreadsheet();

// Runs LineText2Excel on every entity of the drawing (or Block2Excel on the
// block reference options.block names: a handle, or the name of its block)
// and saves the active workbook as options.output. Returns 0, or
// kExitNoWorkbook when nothing was written, a message box was shown, the
// block reference was not found, or saving failed (what was written is saved
// whenever there is any).
int RunExcelBatch(Host& host, const Options& options);

// True when the output's extension asks for plain text (.csv, .json,
// .html, .htm, .md), which RunTextBatch writes instead of a workbook.
bool IsTextOutput(const std::string& output);

// Runs LineText2File (or Block2File on the block reference of --block)
// naming options.output as its file. Returns 0 when the file was written
// and no message box was shown, else kExitNoWorkbook.
int RunTextBatch(Host& host, const Options& options);

// Saves every open workbook that holds cells into options.save_dir (the
// working folder when empty) as <name>.xlsx, never over an existing file (a
// number is added to the name), and says where. False when a save failed.
bool SaveOpenWorkbooks(const Options& options);

}  // namespace hostapp
