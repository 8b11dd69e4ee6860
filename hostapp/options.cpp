#include "hostapp/options.h"

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "platform/win/strings.h"

namespace hostapp {

namespace {

// "x1,y1,x2,y2" as the prompt's "x1,y1 x2,y2"; empty when it is not four finite numbers.
std::string WindowCorners(const std::string& text) {
  std::vector<std::string> parts;
  std::stringstream in(text);
  for (std::string part; std::getline(in, part, ',');) parts.push_back(part);
  if (parts.size() != 4 || text.back() == ',') return {};
  for (const std::string& part : parts) {
    char* end = nullptr;
    const double v = std::strtod(part.c_str(), &end);
    if (part.empty() || end == part.c_str() || *end != 0 || !std::isfinite(v)) return {};
  }
  return parts[0] + "," + parts[1] + " " + parts[2] + "," + parts[3];
}

bool EndsWithDxf(const std::string& s) {
  if (s.size() < 4) return false;
  return win::ToLowerAscii(std::string_view(s).substr(s.size() - 4)) == ".dxf";
}

}  // namespace

std::optional<Options> ParseArguments(const std::vector<std::string>& args, std::string& error) {
  Options o;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](const char* name) -> std::optional<std::string> {
      if (i + 1 >= args.size() || args[i + 1].empty()) {
        error = std::string(name) + " needs a value";
        return std::nullopt;
      }
      return args[++i];
    };
    if (a == "-h" || a == "--help") {
      o.help = true;
    } else if (a == "--version") {
      o.version = true;
    } else if (a == "-q" || a == "--quiet") {
      o.quiet = true;
    } else if (a == "--plugin") {
      auto v = value("--plugin");
      if (!v) return std::nullopt;
      o.plugin = *v;
    } else if (a == "--script") {
      auto v = value("--script");
      if (!v) return std::nullopt;
      o.script = *v;
    } else if (a == "--registry") {
      auto v = value("--registry");
      if (!v) return std::nullopt;
      o.registry = *v;
    } else if (a == "-o" || a == "--output") {
      auto v = value(a.c_str());
      if (!v) return std::nullopt;
      o.output = *v;
    } else if (a == "--block") {
      auto v = value("--block");
      if (!v) return std::nullopt;
      o.block = *v;
    } else if (a == "--save-dir") {
      auto v = value("--save-dir");
      if (!v) return std::nullopt;
      o.save_dir = *v;
    } else if (a == "--layout") {
      auto v = value("--layout");
      if (!v) return std::nullopt;
      o.layout = *v;
    } else if (a == "--window" || a == "--crossing") {
      auto v = value(a.c_str());
      if (!v) return std::nullopt;
      if (!o.window.empty()) {
        error = "give one --window or --crossing";
        return std::nullopt;
      }
      o.window = WindowCorners(*v);
      o.crossing = a == "--crossing";
      if (o.window.empty()) {
        error = a + " needs four numbers x1,y1,x2,y2, not \"" + *v + "\"";
        return std::nullopt;
      }
    } else if (a == "--no-excel") {
      o.no_excel = true;
    } else if (a == "--merge-by-lines") {
      o.merge_by_lines = true;
    } else if (a == "--all-tables") {
      o.all_tables = true;
    } else if (const ArgumentUse use = ParseDatabaseArgument(args, i, o.database, error);
               use != ArgumentUse::kNotOurs) {
      if (use == ArgumentUse::kFailed) return std::nullopt;
    } else if (a.size() > 1 && a[0] == '-' && a != "-") {
      error = "unknown option " + a;
      return std::nullopt;
    } else if (o.drawing.empty() && o.commands.empty() && EndsWithDxf(a)) {
      o.drawing = a;
    } else {
      o.commands.push_back(a);
    }
  }
  if (!CheckDatabaseOptions(o.database, o.drawing, o.output, error)) return std::nullopt;
  if (!o.output.empty() && o.drawing.empty()) {
    error = "-o needs a drawing to convert";
    return std::nullopt;
  }
  if ((o.merge_by_lines || o.all_tables) && o.output.empty() && !o.database.requested()) {
    error =
        std::string(o.merge_by_lines ? "--merge-by-lines" : "--all-tables") + " needs -o or --db";
    return std::nullopt;
  }
  if (!o.block.empty() && o.output.empty() && !o.database.given) {
    error = "--block needs -o or --db";
    return std::nullopt;
  }
  if (!o.window.empty() && o.output.empty() && !o.database.given) {
    error = std::string(o.crossing ? "--crossing" : "--window") + " needs -o or --db";
    return std::nullopt;
  }
  if (!o.window.empty() && !o.block.empty()) {
    error = "--block selects its block reference; it takes no --window or --crossing";
    return std::nullopt;
  }
  if (!o.layout.empty() && o.drawing.empty()) {
    error = "--layout needs a drawing";
    return std::nullopt;
  }
  return o;
}

std::string SelectionAnswer(const Options& options) {
  if (options.window.empty()) return "ALL";
  return (options.crossing ? "C " : "W ") + options.window;
}

bool CheckOutputFolders(const Options& options, std::string& error) {
  namespace fs = std::filesystem;
  auto writableFolder = [&](const fs::path& folder, const std::string& what) {
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
      error = what + ": the folder " + folder.string() +
              (fs::exists(folder, ec) ? " is not a folder" : " does not exist");
      return false;
    }
    if (access(folder.c_str(), W_OK | X_OK) != 0) {
      error = what + ": the folder " + folder.string() + " cannot be written to";
      return false;
    }
    return true;
  };
  if (!options.output.empty()) {
    const fs::path out(options.output);
    std::error_code ec;
    if (fs::is_directory(out, ec)) {
      error = "-o " + options.output + " is a folder; give the workbook's file name";
      return false;
    }
    const fs::path folder = out.has_parent_path() ? out.parent_path() : fs::path(".");
    if (!writableFolder(folder, "-o " + options.output)) return false;
  }
  if (!options.save_dir.empty() &&
      !writableFolder(fs::path(options.save_dir), "--save-dir " + options.save_dir)) {
    return false;
  }
  return true;
}

std::string Usage(const std::string& program) {
  return "Usage: " + program +
         " [options] [DRAWING.dxf] [COMMAND ...]\n"
         "\n"
         "A CAD host for the OrvaneGridmason plug-in: opens a DXF drawing, loads the plug-in\n"
         "and runs its commands as a CAD program's command line does. Commands given after\n"
         "the drawing run in order; then further command lines are read from the script or\n"
         "from standard input (a \"Command:\" prompt when a person is at the terminal).\n"
         "Prompts and dialogs read their answers from the same lines.\n"
         "\n"
         "Options:\n"
         "  --plugin PATH    plug-in build to load (default: OrvaneGridmason2017.so beside\n"
         "                   this program; OrvaneGridmason.so is the build for the older\n"
         "                   host, served through its link loop)\n"
         "  --script FILE    read command lines and answers from FILE\n"
         "  --registry DIR   keep the settings (HKEY_CURRENT_USER.reg) in DIR; default\n"
         "                   $GM_REGISTRY_DIR, else ~/.config/gridmason\n"
         "  -o, --output OUT.xlsx\n"
         "                   batch: convert the drawing's table (every entity, or the\n"
         "                   block reference of --block) into the spreadsheet and save\n"
         "                   the active workbook as OUT.xlsx, then end\n"
         "  -o OUT.csv|OUT.json|OUT.html|OUT.md\n"
         "                   batch: write the recognised table as plain text instead\n"
         "                   (no spreadsheet); several tables give OUT-2.csv ... or\n"
         "                   one JSON array\n"
         "  --merge-by-lines merge the cells no drawn line divides (batch only)\n"
         "  --all-tables     recognise every table of the drawing on its own: one\n"
         "                   worksheet, database table or text file each (batch only)\n"
         "  --block NAME|HANDLE\n"
         "                   the block reference to convert: its entity handle, or the\n"
         "                   name of its block (the first reference of it; a handle is\n"
         "                   found in any layout)\n"
         "  --layout NAME    make a paper-space layout (or Model) current first, as a\n"
         "                   user clicks its tab; selection, picks and --block then work\n"
         "                   in it. The command LAYOUT lists the layouts, LAYOUT NAME\n"
         "                   switches\n"
         "  --window X1,Y1,X2,Y2, --crossing X1,Y1,X2,Y2\n"
         "                   batch: select for -o or --db by a window (what lies wholly\n"
         "                   inside) or a crossing (what lies inside or crosses it)\n"
         "                   instead of every entity\n"
         "  --save-dir DIR   where the workbooks still open at the end of a session are\n"
         "                   saved (Book1.xlsx ...; an existing file is never replaced,\n"
         "                   the name gets a number); default the working folder\n"
         "  --no-excel       start without the spreadsheet application installed (its\n"
         "                   server is not registered), as on a system without it\n" +
         DatabaseUsage() +
         "  -q, --quiet      no banner\n"
         "  -h, --help       show this help and exit\n"
         "      --version    show the version and exit\n"
         "\n"
         "Commands: type a command word without \"C:\", in any case (for example\n"
         "Gridmason_Test or linetext2excel). HELP lists the commands; QUIT ends.\n"
         "\n"
         "Exit status: 0 success; 1 a command failed; 2 bad usage; 3 the plug-in cannot be\n"
         "loaded; 4 the drawing cannot be opened; 5 a batch conversion (-o) wrote no\n"
         "workbook or text file, showed an error, or the workbook could not be saved; 6 a\n"
         "batch export\n"
         "(--db) ended early or showed an error.\n";
}

}  // namespace hostapp
