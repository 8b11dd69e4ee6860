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
  bool no_excel = false;          // --no-excel: the spreadsheet server is not registered
  bool merge_by_lines = false;    // --merge-by-lines: cells no line divides are merged
  bool all_tables = false;        // --all-tables: every table of the drawing on its own
  DatabaseBatchOptions database;  // --db and its companions
};

// Parses argv[1..]. On failure returns nullopt and sets error to a message
// that names the offending argument.
std::optional<Options> ParseArguments(const std::vector<std::string>& args, std::string& error);

std::string Usage(const std::string& program);

}  // namespace hostapp
