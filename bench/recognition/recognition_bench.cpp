// Recognition time against table size, for tables whose grid lines are drawn
// as several collinear pieces and that hold a text in every cell. Read the
// growth off the per-cell time and the fitted complexity.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>

#include "bench/recognition/bench_drawing.h"
#include "capture/records.h"
#include "model/sheetform.h"
#include "recognition/table_recogniser.h"
#include "ui/settings.h"

namespace {

constexpr double kCellWidth = 30.0;
constexpr double kCellHeight = 8.0;

using bench::Drawing;
using bench::Line;

// piecesPerLine 0: one piece per cell edge, as an exploded polyline gives.
// Pieces overlap a little, and every fifth line has a second stroke a hair
// away, which the merge folds in. Every spanEvery-th text reaches into the
// next column (0: none).
Drawing MakeTable(int rows, int columns, int piecesPerLine, int spanEvery) {
  Drawing d;
  const double width = columns * kCellWidth;
  const double depth = rows * kCellHeight;
  auto pieces = [&](int cells, double length, auto add) {
    const int n = piecesPerLine == 0 ? cells : std::min(piecesPerLine, cells);
    const double step = length / n;
    for (int p = 0; p < n; ++p) {
      add(p * step, std::min(length, (p + 1) * step + step * 0.05));
    }
  };
  for (int i = 0; i <= rows; ++i) {
    const double y = -i * kCellHeight;
    pieces(columns, width,
           [&](double a, double b) { d.horizontal.AddIfHorizontal(Line(a, y, b, y)); });
    if (i % 5 == 0) d.horizontal.AddIfHorizontal(Line(0, y - 0.001, width, y - 0.001));
  }
  for (int j = 0; j <= columns; ++j) {
    const double x = j * kCellWidth;
    pieces(rows, depth, [&](double a, double b) { d.vertical.AddIfVertical(Line(x, -a, x, -b)); });
    if (j % 5 == 0) d.vertical.AddIfVertical(Line(x + 0.001, 0, x + 0.001, -depth));
  }
  int n = 0;
  for (int i = 0; i < rows; ++i) {
    for (int j = 0; j < columns; ++j, ++n) {
      ArxDbMText text;
      text.text = L"R" + std::to_wstring(i) + L"C" + std::to_wstring(j);
      text.height = 2.5;
      const bool spans = spanEvery > 0 && n % spanEvery == 0 && j + 1 < columns;
      text.boxLeft = j * kCellWidth + 4;
      text.boxWidth = spans ? kCellWidth * 1.5 : 10;
      text.boxTop = -i * kCellHeight - 3;
      text.boxHeight = 1.2;
      text.x = text.boxLeft;
      text.y = text.boxTop - text.boxHeight;
      d.texts.ExtendBounds(text.boxLeft, text.BoxBottom(), text.BoxRight(), text.boxTop);
      d.texts.Add(text);
    }
  }
  return d;
}

void Recognise(benchmark::State& state, int piecesPerLine, int spanEvery) {
  ConversionSettings.FuzzyPercent = 0.0008;
  ConversionSettings.DoubleLineDist = -1.0;
  const int rows = static_cast<int>(state.range(0));
  const int columns = static_cast<int>(state.range(1));
  const Drawing original = MakeTable(rows, columns, piecesPerLine, spanEvery);
  std::size_t lines =
      static_cast<std::size_t>(original.horizontal.GetSize() + original.vertical.GetSize());
  for (auto _ : state) {
    state.PauseTiming();
    Drawing d = original;
    CSheetform table;
    state.ResumeTiming();
    RecogniseTable(d.horizontal, d.vertical, d.texts, table);
    benchmark::DoNotOptimize(table.GetRowCount());
    state.PauseTiming();
    if (table.GetRowCount() != rows || table.GetColumnCount() != columns) {
      state.SkipWithError("unexpected grid");
    }
    { CSheetform gone = std::move(table); }
    state.ResumeTiming();
  }
  const double cells = static_cast<double>(rows) * columns;
  state.SetComplexityN(static_cast<benchmark::IterationCount>(cells));
  state.counters["cells"] = cells;
  state.counters["lines"] = static_cast<double>(lines);
  // Shown as a time: seconds per cell, with an SI prefix.
  state.counters["per_cell"] = benchmark::Counter(
      cells, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void Sizes(benchmark::internal::Benchmark* b) {
  for (auto [r, c] :
       {std::pair{10, 10}, {100, 10}, {100, 100}, {300, 100}, {1000, 10}, {1000, 100}}) {
    b->Args({r, c});
  }
  b->Unit(benchmark::kMillisecond)->Complexity();
}

void BM_FourPiecesPerLine(benchmark::State& state) { Recognise(state, 4, 0); }
void BM_OnePiecePerCell(benchmark::State& state) { Recognise(state, 0, 0); }
void BM_OneTextInTwentySpans(benchmark::State& state) { Recognise(state, 4, 20); }

BENCHMARK(BM_FourPiecesPerLine)->Apply(Sizes);
BENCHMARK(BM_OnePiecePerCell)->Apply(Sizes);
BENCHMARK(BM_OneTextInTwentySpans)->Apply(Sizes);

}  // namespace

BENCHMARK_MAIN();
