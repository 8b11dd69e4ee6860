// The host program's command line.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "hostapp/batch_database.h"

namespace hostapp {

struct Options {
  std::string plugin;                 // empty: the newer build beside the program
  std::string script;                 // empty: standard input
  std::string registry;               // empty: the default folder
  std::string drawing;                // empty: no drawing
  std::vector<std::string> commands;  // run in order after the drawing opens
  bool help = false;
  bool version = false;
  bool quiet = false;             // no banner
  std::string output;             // -o: the workbook a batch conversion is saved as
  std::string block;              // --block: the block reference (name or handle) to convert
  std::string save_dir;           // --save-dir: where open workbooks are saved at exit
  std::string layout;             // --layout: the layout made current before anything runs
  std::string window;             // --window/--crossing: "x1,y1 x2,y2", empty for all
  bool crossing = false;          // --crossing rather than --window
  bool no_excel = false;          // --no-excel: the spreadsheet server is not registered
  bool merge_by_lines = false;    // --merge-by-lines: cells no line divides are merged
  bool all_tables = false;        // --all-tables: every table of the drawing on its own
  DatabaseBatchOptions database;  // --db and its companions
};

// Parses argv[1..]. On failure returns nullopt and sets error to a message
// that names the offending argument.
std::optional<Options> ParseArguments(const std::vector<std::string>& args, std::string& error);

// The batch answer at "Select objects:": ALL, or the window or crossing.
std::string SelectionAnswer(const Options& options);

// -o's folder and --save-dir must exist as folders before any work starts, so
// nothing converted is lost for want of a place to save it. False with a message.
bool CheckOutputFolders(const Options& options, std::string& error);

std::string Usage(const std::string& program);

}  // namespace hostapp
