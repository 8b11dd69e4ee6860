// The host program's command line.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace hostapp {

struct Options {
  std::string plugin;                 // empty: the newer build beside the program
  std::string script;                 // empty: standard input
  std::string registry;               // empty: the default folder
  std::string drawing;                // empty: no drawing
  std::vector<std::string> commands;  // run in order after the drawing opens
  bool help = false;
  bool version = false;
  bool quiet = false;  // no banner
};

// Parses argv[1..]. On failure returns nullopt and sets error to a message
// that names the offending argument.
std::optional<Options> ParseArguments(const std::vector<std::string>& args, std::string& error);

std::string Usage(const std::string& program);

}  // namespace hostapp
