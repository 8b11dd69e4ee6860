#include "recognition/line_grid.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "ui/settings.h"

namespace {

// Runs of this many lines are sorted alone and then merged, which bounds
// the sorting work any one piece of a large drawing can cost.
constexpr std::size_t kSortRun = 1000;

bool HasAxis(GridAxis axis, const CSimpleLine& line) {
  return axis == GridAxis::kHorizontal ? line.IsHorizontal() : line.IsVertical();
}

// A line's key beside its place in the array: the sort moves these, not the lines with their
// segment arrays, and puts each line in its place once at the end.
struct KeyedLine {
  double key;
  std::uint32_t index;
};

// Strict order by key: exact, so that the run sort and the merges agree.
struct KeyBefore {
  GridAxis axis;
  bool operator()(const KeyedLine& a, const KeyedLine& b) const {
    return axis == GridAxis::kHorizontal ? a.key > b.key : a.key < b.key;
  }
};

// Only the first run moves aside, so the scratch holds at most half the lines; the merged
// lines fill from the front and never overtake the second run's unread ones.
void MergeRuns(std::vector<KeyedLine>& lines, std::size_t begin, std::size_t middle,
               std::size_t end, const KeyBefore& before, std::vector<KeyedLine>& scratch) {
  scratch.assign(lines.begin() + static_cast<std::ptrdiff_t>(begin),
                 lines.begin() + static_cast<std::ptrdiff_t>(middle));
  std::size_t i = 0;
  std::size_t j = middle;
  std::size_t out = begin;
  while (i < scratch.size() && j < end) {
    // On equal keys the second run's line goes first.
    if (before(scratch[i], lines[j])) {
      lines[out++] = scratch[i++];
    } else {
      lines[out++] = lines[j++];
    }
  }
  while (i < scratch.size()) lines[out++] = scratch[i++];
}

// Puts lines[order[k].index] at k for every k, moving each line once.
void Permute(std::vector<CSimpleLine>& lines, std::vector<KeyedLine>& order) {
  constexpr std::uint32_t kPlaced = 0xFFFFFFFFu;
  for (std::size_t start = 0; start < order.size(); ++start) {
    if (order[start].index == kPlaced || order[start].index == start) continue;
    CSimpleLine held = std::move(lines[start]);
    std::size_t at = start;
    for (;;) {
      const std::size_t from = order[at].index;
      order[at].index = kPlaced;
      if (from == start) {
        lines[at] = std::move(held);
        break;
      }
      lines[at] = std::move(lines[from]);
      at = from;
    }
  }
}

template <typename Array>
void SortAndMerge(GridAxis axis, Array& array) {
  std::vector<CSimpleLine>& lines = array.Data();
  SortGridLines(axis, array);
  const std::size_t n = lines.size();
  if (n < 2) return;
  const double gap = GridGap(axis, array);

  // One backward pass finds the groups: each line is compared with the
  // current survivor, which absorbs it or is finished. Each group is one run
  // of the sorted lines, so its survivor's segments can be sized exactly
  // before they are filled, and survivors fill the array from its front.
  const double tolerance = GridLineTolerance(gap);
  auto same = [&](const CSimpleLine& a, const CSimpleLine& b) {
    return HasAxis(axis, a) && HasAxis(axis, b) &&
           !IsGreater(std::fabs(GridKey(axis, a) - GridKey(axis, b)), tolerance);
  };
  std::vector<std::size_t> firsts;  // the first line of each group, last group first
  std::size_t survivor = n - 1;
  for (std::size_t k = n - 1; k >= 1; --k) {
    if (!same(lines[survivor], lines[k - 1])) {
      firsts.push_back(k);
      survivor = k - 1;
    }
  }
  firsts.push_back(0);

  std::size_t out = 0;
  for (std::size_t g = firsts.size(); g-- > 0;) {
    const std::size_t first = firsts[g];
    const std::size_t last = g == 0 ? n - 1 : firsts[g - 1] - 1;
    CSimpleLine current = std::move(lines[last]);
    std::vector<CSimpleLine>& segments = current.Segments.Data();
    segments.reserve(segments.size() + (last - first) + 1);
    for (std::size_t k = last; k-- > first;) segments.push_back(lines[k].Bare());
    segments.push_back(current.Bare());
    lines[out++] = std::move(current);  // out <= first: only read lines are overwritten
  }
  lines.resize(out);
  lines.shrink_to_fit();
}

CSimpleLine VirtualLine(double x1, double y1, double x2, double y2) {
  CSimpleLine line;
  line.SetEndpoints({x1, y1, 0.0}, {x2, y2, 0.0});
  line.IsVirtual = 1;
  return line;
}

}  // namespace

double GridKey(GridAxis axis, const CSimpleLine& line) {
  return axis == GridAxis::kHorizontal ? line.y1 : line.x1;
}

void SortGridLines(GridAxis axis, CCheckedArray<CSimpleLine>& array) {
  std::vector<CSimpleLine>& lines = array.Data();
  const KeyBefore before{axis};
  const std::size_t n = lines.size();
  std::vector<KeyedLine> order(n);
  for (std::size_t k = 0; k < n; ++k) {
    order[k] = {GridKey(axis, lines[k]), static_cast<std::uint32_t>(k)};
  }
  for (std::size_t begin = 0; begin < n; begin += kSortRun) {
    const std::size_t end = std::min(begin + kSortRun, n);
    std::stable_sort(order.begin() + static_cast<std::ptrdiff_t>(begin),
                     order.begin() + static_cast<std::ptrdiff_t>(end), before);
  }
  std::vector<KeyedLine> scratch;
  for (std::size_t width = kSortRun; width < n; width *= 2) {
    for (std::size_t begin = 0; begin + width < n; begin += 2 * width) {
      MergeRuns(order, begin, begin + width, std::min(begin + 2 * width, n), before, scratch);
    }
  }
  Permute(lines, order);
}

double GridGap(GridAxis axis, const CCheckedArray<CSimpleLine>& lines) {
  double gap = kTolerance;
  for (int i = 1; i < lines.GetSize(); ++i) {
    gap = std::max(gap, std::fabs(GridKey(axis, lines[i]) - GridKey(axis, lines[i - 1])));
  }
  return gap;
}

double GridLineTolerance(double gap) {
  const double distance = ConversionSettings.DoubleLineDist;
  if (IsGreater(distance, 0.0)) return distance;
  if (IsLess(distance, 0.0)) return gap * 0.001;
  return 0.0;
}

bool IsSameGridLine(GridAxis axis, CSimpleLine& a, const CSimpleLine& b, double gap) {
  const double tolerance = GridLineTolerance(gap);
  if (!HasAxis(axis, a) || !HasAxis(axis, b)) return false;
  if (IsGreater(std::fabs(GridKey(axis, a) - GridKey(axis, b)), tolerance)) return false;
  a.Segments.Add(b.Bare());
  return true;
}

void SortAndMergeLines(CHorzDbLineArray& lines) { SortAndMerge(GridAxis::kHorizontal, lines); }
void SortAndMergeLines(CVertDbLineArray& lines) { SortAndMerge(GridAxis::kVertical, lines); }

void ExtendGridToTexts(CHorzDbLineArray& horizontal, CVertDbLineArray& vertical,
                       const CArxDbMTextArray& texts) {
  const double minX = texts.MinX();
  const double minY = texts.MinY();
  const double maxX = texts.MaxX();
  const double maxY = texts.MaxY();
  // Only the keys of these lines matter; their one-unit length does not.
  if (GridKey(GridAxis::kVertical, vertical[0]) > minX) {
    vertical.InsertAt(0, VirtualLine(minX, minY, minX, minY + 1));
  }
  if (GridKey(GridAxis::kHorizontal, horizontal[horizontal.GetUpperBound()]) > minY) {
    horizontal.Add(VirtualLine(minX + 1, minY, minX, minY));
  }
  if (maxX > GridKey(GridAxis::kVertical, vertical[vertical.GetUpperBound()])) {
    vertical.Add(VirtualLine(maxX, maxY, maxX, maxY + 1));
  }
  if (maxY > GridKey(GridAxis::kHorizontal, horizontal[0])) {
    horizontal.InsertAt(0, VirtualLine(maxX + 1, maxY, maxX, maxY));
  }
}

void SortTexts(CArxDbMTextArray& texts, int first, int last, TextSortKey key) {
  if (texts.IsEmpty()) return;
  if (first > last) std::swap(first, last);
  first = std::max(first, 0);
  last = std::min(last, texts.GetUpperBound());
  if (first >= last) return;
  // The keys are sorted with their places, and each text then moves once:
  // a text is large, and sorting texts themselves moves each many times.
  std::vector<ArxDbMText>& items = texts.Data();
  const auto begin = items.begin() + first;
  const std::size_t count = static_cast<std::size_t>(last - first) + 1;
  std::vector<std::pair<double, std::size_t>> order(count);
  for (std::size_t i = 0; i < count; ++i) {
    order[i] = {key == TextSortKey::kY ? begin[i].y : begin[i].x, i};
  }
  std::stable_sort(order.begin(), order.end(),
                   [](const auto& a, const auto& b) { return a.first > b.first; });
  std::vector<ArxDbMText> sorted;
  sorted.reserve(count);
  for (const auto& entry : order) sorted.push_back(std::move(begin[entry.second]));
  std::move(sorted.begin(), sorted.end(), begin);
}
