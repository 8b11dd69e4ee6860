// The cost of merging cells by their drawn lines and of telling the tables
// of a drawing apart, against the size of the drawing: read the growth off
// the per-cell time and the fitted complexity.
#include <benchmark/benchmark.h>

#include <cmath>
#include <string>

#include "bench/recognition/bench_drawing.h"
#include "capture/records.h"
#include "recognition/table_recogniser.h"
#include "recognition/table_split.h"
#include "ui/settings.h"

namespace {

constexpr double kWidth = 30.0;
constexpr double kHeight = 8.0;

using bench::Drawing;
using bench::Line;

void AddText(Drawing& d, double left, double top, const std::wstring& s) {
  ArxDbMText text;
  text.text = s;
  text.height = 2.5;
  text.boxLeft = left;
  text.boxWidth = 10;
  text.boxTop = top;
  text.boxHeight = 1.2;
  text.x = left;
  text.y = top - text.boxHeight;
  d.texts.ExtendBounds(left, text.BoxBottom(), text.BoxRight(), top);
  d.texts.Add(text);
}

// A table at (x0, y0) whose horizontal lines are drawn one piece per cell
// edge, leaving out every third cell's bottom edge and every fourth cell's
// right edge (in a staggered pattern), with a text in every cell.
void AddTable(Drawing& d, double x0, double y0, int rows, int columns) {
  for (int i = 0; i <= rows; ++i) {
    for (int j = 0; j < columns; ++j) {
      if (i > 0 && i < rows && (i + j) % 3 == 0) continue;
      const double y = y0 - i * kHeight;
      d.horizontal.AddIfHorizontal(Line(x0 + j * kWidth, y, x0 + (j + 1) * kWidth, y));
    }
  }
  for (int j = 0; j <= columns; ++j) {
    for (int i = 0; i < rows; ++i) {
      if (j > 0 && j < columns && (i * 2 + j) % 4 == 0) continue;
      const double x = x0 + j * kWidth;
      d.vertical.AddIfVertical(Line(x, y0 - i * kHeight, x, y0 - (i + 1) * kHeight));
    }
  }
  for (int i = 0; i < rows; ++i) {
    for (int j = 0; j < columns; ++j) {
      AddText(d, x0 + j * kWidth + 4, y0 - i * kHeight - 3, L"T" + std::to_wstring(i * j));
    }
  }
}

void Settings(int byLines) {
  ConversionSettings.FuzzyPercent = 0.0008;
  ConversionSettings.DoubleLineDist = -1.0;
  ConversionSettings.MergeByLines = byLines;
}

void Per(benchmark::State& state, double cells) {
  state.SetComplexityN(static_cast<benchmark::IterationCount>(cells));
  state.counters["cells"] = cells;
  state.counters["per_cell"] = benchmark::Counter(
      cells, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// One table of rows x 20 cells, recognised with merging by lines (and,
// to compare, without).
void Recognise(benchmark::State& state, int byLines) {
  Settings(byLines);
  const int rows = static_cast<int>(state.range(0));
  Drawing original;
  AddTable(original, 0, 0, rows, 20);
  for (auto _ : state) {
    state.PauseTiming();
    Drawing d = original;
    CSheetform table;
    state.ResumeTiming();
    RecogniseTable(d.horizontal, d.vertical, d.texts, table);
    benchmark::DoNotOptimize(table.GetRowCount());
    state.PauseTiming();
    { CSheetform gone = std::move(table); }
    state.ResumeTiming();
  }
  Per(state, rows * 20.0);
  Settings(0);
}

void BM_MergeByLines(benchmark::State& state) { Recognise(state, 1); }
void BM_SameTableUnmerged(benchmark::State& state) { Recognise(state, 0); }

// n sheets side by side in rows, each a frame around two tables (30 x 6 and
// 4 x 4), all in one selection: split, then every table with text recognised.
void BM_SplitTables(benchmark::State& state) {
  Settings(0);
  const int sheets = static_cast<int>(state.range(0));
  const int perRow = static_cast<int>(std::ceil(std::sqrt(sheets)));
  Drawing original;
  for (int s = 0; s < sheets; ++s) {
    const double x = (s % perRow) * 400.0;
    const double y = -(s / perRow) * 300.0;
    original.horizontal.AddIfHorizontal(Line(x, y, x + 380, y));
    original.horizontal.AddIfHorizontal(Line(x, y - 280, x + 380, y - 280));
    original.vertical.AddIfVertical(Line(x, y, x, y - 280));
    original.vertical.AddIfVertical(Line(x + 380, y, x + 380, y - 280));
    AddTable(original, x + 10, y - 10, 30, 6);
    AddTable(original, x + 250, y - 240, 4, 4);
  }
  for (auto _ : state) {
    state.PauseTiming();
    Drawing d = original;
    state.ResumeTiming();
    std::vector<CSheetform> tables = RecogniseTables(d.horizontal, d.vertical, d.texts, true);
    benchmark::DoNotOptimize(tables.size());
    state.PauseTiming();
    // The frames hold no text of their own, so they are left out.
    if (tables.size() != static_cast<std::size_t>(sheets) * 2) {
      state.SkipWithError(("unexpected tables: " + std::to_string(tables.size())).c_str());
      break;
    }
    { std::vector<CSheetform> gone = std::move(tables); }
    state.ResumeTiming();
  }
  Per(state, sheets * (30.0 * 6 + 16));
}

BENCHMARK(BM_MergeByLines)
    ->Arg(10)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();
BENCHMARK(BM_SameTableUnmerged)
    ->Arg(10)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();
BENCHMARK(BM_SplitTables)
    ->Arg(1)
    ->Arg(4)
    ->Arg(16)
    ->Arg(64)
    ->Arg(256)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

}  // namespace

BENCHMARK_MAIN();
