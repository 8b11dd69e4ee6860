// gridmason: the host program. See Usage() for what it does.
#include <langinfo.h>
#include <malloc.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>

#include "hostapp/batch_database.h"
#include "hostapp/batch_excel.h"
#include "hostapp/batch_settings.h"
#include "hostapp/drawing_loader.h"
#include "hostapp/host.h"
#include "hostapp/options.h"
#include "hostapp/report.h"
#include "platform/console/console.h"
#include "platform/gui/backend.h"
#include "platform/registry/registry.h"
#include "platform/win/text.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitCommandFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitPlugin = 3;
constexpr int kExitDrawing = 4;

// Allocations below this come from the heap, not from a mapping of their own. Larger
// thresholds save more faults but let the heap's fragments raise the peak (32 MB: +17 MB on
// a 35 MB drawing's conversion); up to 8 MB the peak stays as it was.
constexpr int kKeptAllocationBytes = 8 << 20;
// Free memory at the heap's top is given back only beyond this.
constexpr int kKeptFreeBytes = 64 << 20;

using hostapp::Fail;

}  // namespace

int main(int argc, char** argv) {
  // A conversion goes through phases (load, capture, recognition, write, save) that each
  // build and drop buffers of a few megabytes. With glibc's defaults those are mapped
  // afresh or given back between phases and the next phase faults the same amount in again
  // (a tenth of a large run's page faults); kept in the heap, they are reused.
  mallopt(M_MMAP_THRESHOLD, kKeptAllocationBytes);
  mallopt(M_TRIM_THRESHOLD, kKeptFreeBytes);
  // Numbers in drawings and settings never follow the user's locale; only
  // the character type does, for the terminal.
  // Characters are UTF-8 even where the environment names no such locale,
  // so that no non-ASCII file name or text is refused.
  if (!std::setlocale(LC_CTYPE, "") || std::strcmp(nl_langinfo(CODESET), "UTF-8") != 0) {
    std::setlocale(LC_CTYPE, "C.UTF-8");
  }
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string error;
  auto options = hostapp::ParseArguments(args, error);
  if (!options) {
    Fail(error);
    std::fprintf(stderr, "Try 'gridmason --help'.\n");
    return kExitUsage;
  }
  if (options->help) {
    std::fputs(hostapp::Usage("gridmason").c_str(), stdout);
    return kExitOk;
  }
  if (options->version) {
    std::puts("gridmason (OrvaneGridmason host) 3.1.0.0");
    return kExitOk;
  }
  if (!hostapp::CheckOutputFolders(*options, error)) {
    Fail(error);
    return kExitUsage;
  }
  if (!options->registry.empty()) registry::SetHiveFolder(options->registry);

  std::ifstream script;
  std::unique_ptr<console::Input> input;
  if (!options->script.empty()) {
    script.open(options->script);
    if (!script) {
      Fail("cannot read the script " + options->script);
      return kExitUsage;
    }
    input = std::make_unique<console::StreamInput>(script);
  } else if (isatty(STDIN_FILENO)) {
    input = std::make_unique<console::TerminalInput>();
  } else {
    input = std::make_unique<console::StreamInput>(std::cin);
  }
  console::SetInput(input.get());
  // Dialogs and message boxes read from the same input as the command line:
  // a person fills them in at the terminal; a script answers them, and the
  // log shows each one as a person would have seen it.
  gui::UseConsoleBackend(input->IsInteractive());

  if (!options->drawing.empty()) {
    std::string why;
    auto drawing = hostapp::OpenDrawing(options->drawing, why);
    if (!drawing) {
      Fail(why);
      return kExitDrawing;
    }
    sds_host::SetDrawing(std::move(drawing));
    std::wstring layoutError;
    if (!options->layout.empty() &&
        !hostapp::SwitchLayout(win::Utf8ToWide(options->layout), layoutError)) {
      Fail(win::WideToUtf8(layoutError));
      return kExitUsage;
    }
  }

  std::string pluginPath = options->plugin.empty() ? hostapp::DefaultPluginPath() : options->plugin;
  auto plugin = hostapp::Plugin::Open(pluginPath, error);
  if (!plugin) {
    Fail(error);
    return kExitPlugin;
  }
  if (!options->quiet && input->IsInteractive()) {
    console::Write(L"Gridmason host 3.1.0.0 with " + win::Utf8ToWide(plugin->path()) +
                   (plugin->legacy() ? L" (link loop)" : L""));
  }
  if (!hostapp::StartSpreadsheet(*options, error)) {
    Fail(error);
    return kExitPlugin;
  }
  hostapp::Host host(std::move(plugin));
  if (!host.Start()) {
    Fail("the plug-in " + pluginPath + " did not register its commands");
    host.Stop();
    return kExitPlugin;
  }
  if (!options->output.empty() || options->database.requested()) {
    int status = 0;
    {
      hostapp::SettingOverrides overrides;
      if ((options->merge_by_lines && !overrides.Set(L"MergeByLines", 1)) ||
          (options->all_tables && !overrides.Set(L"SplitTables", 1))) {
        Fail("cannot set the batch's settings in the registry");
        status = kExitCommandFailed;
      } else if (options->database.requested()) {
        status =
            hostapp::RunDatabaseBatch(host, options->database, options->block,
                                      hostapp::SelectionAnswer(*options), !options->layout.empty());
      } else if (hostapp::IsTextOutput(options->output)) {
        status = hostapp::RunTextBatch(host, *options);
      } else {
        status = hostapp::RunExcelBatch(host, *options);
      }
    }
    host.Stop();
    console::Write(L"\n");
    hostapp::StopSpreadsheet();
    gui::SetBackend(nullptr);
    console::SetInput(nullptr);
    return status;
  }
  bool ended = false;
  for (const std::string& command : options->commands) {
    console::Write(L"\nCommand: " + win::Utf8ToWide(command));
    if (!host.RunLine(win::Utf8ToWide(command))) {
      ended = true;
      break;
    }
  }
  if (!ended) host.RunCommandLine();
  host.Stop();
  const bool saved = hostapp::SaveOpenWorkbooks(*options);
  hostapp::StopSpreadsheet();
  console::Write(L"\n");
  gui::SetBackend(nullptr);
  console::SetInput(nullptr);
  if (!saved) return hostapp::kExitNoWorkbook;
  return host.had_unknown_command() ? kExitCommandFailed : kExitOk;
}
