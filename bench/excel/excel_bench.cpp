// Cells per second from a DXF drawing to a saved workbook, and where the time
// goes: reading the drawing, capture and recognition, the automation layer
// (the worksheet writer driving the spreadsheet server cell by cell), and
// saving the .xlsx. Each size runs in a fresh spreadsheet application.
//
//   gm_bench_excel [ROWSxCOLUMNS ...]   (default 10x10 100x10 100x100 1000x100)
//   gm_bench_excel --dxf PATH ROWSxCOLUMNS   only writes the drawing
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "excel/worksheet_writer.h"
#include "host/conversion.h"
#include "platform/com/objbase.h"
#include "platform/console/console.h"
#include "platform/drawing/dxf_drawing.h"
#include "platform/dxf/reader.h"
#include "platform/registry/registry.h"
#include "platform/spreadsheet/server.h"
#include "ui/settings.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from) {
  return std::chrono::duration<double>(Clock::now() - from).count();
}

// An R12 drawing: the grid as one line per grid line, a text in every cell.
void WriteTable(const fs::path& path, int rows, int columns) {
  std::ofstream out(path);
  out << "0\nSECTION\n2\nENTITIES\n";
  const double w = 20, h = 8;
  auto line = [&](double x1, double y1, double x2, double y2) {
    out << "0\nLINE\n8\n0\n10\n"
        << x1 << "\n20\n"
        << y1 << "\n30\n0\n11\n"
        << x2 << "\n21\n"
        << y2 << "\n31\n0\n";
  };
  for (int r = 0; r <= rows; ++r) line(0, -h * r, w * columns, -h * r);
  for (int c = 0; c <= columns; ++c) line(w * c, 0, w * c, -h * rows);
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < columns; ++c) {
      out << "0\nTEXT\n8\n0\n10\n"
          << w * c + 2 << "\n20\n"
          << -h * r - 6 << "\n30\n0\n40\n2.5\n1\n"
          << r << "." << c << "\n";
    }
  }
  out << "0\nENDSEC\n0\nEOF\n";
}

struct Timing {
  double load = 0, convert = 0, automation = 0, save = 0;
  double total() const { return load + convert + save; }
};

bool Run(const fs::path& folder, int rows, int columns, Timing& t) {
  const fs::path dxf = folder / "bench.dxf";
  WriteTable(dxf, rows, columns);

  auto start = Clock::now();
  auto loaded = gm::dxf::LoadDrawing(dxf);
  if (!loaded.ok()) {
    std::fprintf(stderr, "cannot read the drawing\n");
    return false;
  }
  sds_host::SetDrawing(
      std::make_shared<gm::drawing::DxfDrawing>(std::move(loaded).value(), L"bench.dxf"));
  t.load = Seconds(start);

  int written = 0;
  TableWriter previous = SetTableWriter(kTargetSpreadsheet, [&](const CSheetform& table) {
    auto begin = Clock::now();
    written = ExportTableToExcel(table);
    t.automation = Seconds(begin);
    return written;
  });
  start = Clock::now();
  {
    console::ScriptedLines answers("ALL\n\n");
    ConvertSelection(kTargetSpreadsheet);
  }
  t.convert = Seconds(start);
  SetTableWriter(kTargetSpreadsheet, previous);
  if (written != 1) {
    std::fprintf(stderr, "the table was not written\n");
    return false;
  }

  start = Clock::now();
  spreadsheet::SaveStatus saved = spreadsheet::SaveActiveWorkbook(folder / "bench.xlsx");
  t.save = Seconds(start);
  if (!saved.ok()) {
    std::fprintf(stderr, "saving failed\n");
    return false;
  }
  spreadsheet::QuitApplication();
  sds_host::Reset();
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  // --dxf PATH ROWSxCOLUMNS: only write the drawing (for timing the program).
  if (argc == 4 && std::string(argv[1]) == "--dxf") {
    int r = 0, c = 0;
    if (std::sscanf(argv[3], "%dx%d", &r, &c) != 2 || r <= 0 || c <= 0) return 2;
    WriteTable(argv[2], r, c);
    return 0;
  }
  std::vector<std::pair<int, int>> sizes;
  for (int i = 1; i < argc; ++i) {
    int r = 0, c = 0;
    if (std::sscanf(argv[i], "%dx%d", &r, &c) == 2 && r > 0 && c > 0) sizes.emplace_back(r, c);
  }
  if (sizes.empty()) sizes = {{10, 10}, {100, 10}, {100, 100}, {1000, 100}};

  const fs::path folder =
      fs::temp_directory_path() / ("gm-excel-bench-" + std::to_string(getpid()));
  fs::create_directories(folder);
  registry::SetHiveFolder(folder);
  SetSettingsRoot(HKEY_CURRENT_USER, L"Orvane");
  CoInitialize(nullptr);
  if (FAILED(spreadsheet::RegisterServer())) return 1;
  console::SetSink([](const std::wstring&) {});

  std::printf("%-10s %8s %9s %9s %9s %9s %9s %11s %8s %8s\n", "table", "cells", "load s", "conv s",
              "writer s", "save s", "total s", "cells/s", "writer%", "save%");
  int status = 0;
  for (auto [rows, columns] : sizes) {
    Timing t;
    if (!Run(folder, rows, columns, t)) {
      status = 1;
      continue;
    }
    const double cells = static_cast<double>(rows) * columns;
    std::printf("%4dx%-5d %8.0f %9.3f %9.3f %9.3f %9.3f %9.3f %11.0f %7.1f%% %7.1f%%\n", rows,
                columns, cells, t.load, t.convert, t.automation, t.save, t.total(),
                cells / t.total(), 100 * t.automation / t.total(), 100 * t.save / t.total());
    std::fflush(stdout);
  }
  spreadsheet::UnregisterServer();
  CoUninitialize();
  std::error_code ec;
  fs::remove_all(folder, ec);
  return status;
}
