// Records per second from a recognised table into an SQLite file through
// the whole export: the dialog answered, the table created and 10,000 rows
// inserted in one transaction. Each iteration replaces the table.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "database/database_dialog.h"
#include "database/database_export.h"
#include "platform/console/console.h"
#include "platform/gui/scripted_backend.h"
#include "platform/registry/registry.h"
#include "platform/win/text.h"
#include "ui/settings.h"

namespace {

namespace fs = std::filesystem;
using D = CDatabaseDialog;

// A header row and rows of five cells, some with apostrophes and line feeds,
// as the recogniser leaves them.
CSheetform MakeTable(int rows) {
  CSheetform t;
  for (int r = 0; r <= rows; ++r) {
    CSheetformRow row;
    for (int c = 0; c < 5; ++c) {
      CAutoCell cell;
      cell.SetText(r == 0 ? L"Column " + std::to_wstring(c + 1)
                          : (c == 4 ? L"O'Brien\nLtd " : L"r") + std::to_wstring(r));
      row.Cells.Add(cell);
    }
    t.Rows.Add(row);
  }
  return t;
}

void BM_ExportRows(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  const fs::path dir = fs::temp_directory_path() / ("gm-db-bench-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  registry::SetHiveFolder(dir);
  SetSettingsRoot(HKEY_CURRENT_USER, L"Orvane");
  const fs::path file = dir / "bench.mdb";
  const CSheetform table = MakeTable(rows);
  console::Capture quiet;
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove(file);
    gui::ScriptedBackend ui;
    ui.AnswerFile(win::Utf8ToWide(file.string()));
    ui.OnDialog([](gui::DialogDriver& d) {
      d.SetCheck(D::IDC_NEW_DATABASE, true);
      d.Type(D::IDC_TABLE, L"Bench");
      d.SetCheck(D::IDC_ROW_FIELDS, true);
      d.Press(IDOK);
    });
    CSheetform copy = table;
    state.ResumeTiming();
    ExportTableToDatabase(copy);
  }
  if (!quiet.text().empty()) state.SkipWithError(win::WideToUtf8(quiet.text()).c_str());
  state.SetItemsProcessed(state.iterations() * rows);
  SetSettingsRoot(nullptr, L"");
  registry::SetHiveFolder({});
  fs::remove_all(dir);
}
BENCHMARK(BM_ExportRows)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
