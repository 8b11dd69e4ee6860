#include "capture/records.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "ui/settings.h"

void CSimpleLine::SetEndpoints(const AcGePoint3d& p1, const AcGePoint3d& p2) {
  x1 = p1.x;
  y1 = p1.y;
  x2 = p2.x;
  y2 = p2.y;
  const double length = std::sqrt((x1 - x2) * (x1 - x2) + (y1 - y2) * (y1 - y2));
  const double fuzzy = ConversionSettings.FuzzyPercent;
  if (IsGreater(fuzzy, 0.0) && !IsEqual(length, 0.0)) {
    if (IsLess(std::fabs(x1 - x2) / length, fuzzy)) x1 = x2;
    if (IsLess(std::fabs(y1 - y2) / length, fuzzy)) y1 = y2;
  }
  if (IsLess(x2, x1) || IsGreater(y2, y1)) {
    std::swap(x1, x2);
    std::swap(y1, y2);
  }
}

CSimpleLine CSimpleLine::Bare() const {
  CSimpleLine copy;
  copy.x1 = x1;
  copy.y1 = y1;
  copy.x2 = x2;
  copy.y2 = y2;
  copy.color = color;
  copy.IsVirtual = IsVirtual;
  return copy;
}

int CHorzDbLineArray::AddIfHorizontal(const CSimpleLine& line) {
  if (line.IsPoint() || !line.IsHorizontal()) return -1;
  return Add(line.Bare());
}

int CVertDbLineArray::AddIfVertical(const CSimpleLine& line) {
  if (line.IsPoint() || !line.IsVertical()) return -1;
  return Add(line.Bare());
}

void CArxDbMTextArray::ExtendBounds(double left, double bottom, double right, double top) {
  const double lowX = std::min(left, right);
  const double highX = std::max(left, right);
  const double lowY = std::min(bottom, top);
  const double highY = std::max(bottom, top);
  if (!hasBounds_) {
    minX_ = lowX;
    minY_ = lowY;
    maxX_ = highX;
    maxY_ = highY;
    hasBounds_ = true;
    return;
  }
  minX_ = std::min(minX_, lowX);
  minY_ = std::min(minY_, lowY);
  maxX_ = std::max(maxX_, highX);
  maxY_ = std::max(maxY_, highY);
}

namespace {

// Copies of one text that lie this close, in text heights, overlap so far
// that a reader sees one text; the lines of a cell lie a height or more
// apart. Heights may differ a little where a copy carries another style.
constexpr double kRepeatReach = 0.25;
constexpr double kRepeatHeightRatio = 0.9;

}  // namespace

void CArxDbMTextArray::RemoveRepeated() {
  const std::vector<ArxDbMText>& items = Data();
  // A row's texts share one y: walked along x as well, a text stops comparing within its row
  // once the next lies farther along x than any pair may. Only plain numbers keep that order.
  double tallest = 0.0;
  bool plain = true;
  for (const ArxDbMText& t : items) {
    tallest = std::max(tallest, t.height);
    plain = plain && !std::isnan(t.x) && !std::isnan(t.y) && !std::isnan(t.height);
  }
  // Repeats lie close in y, so a walk along y compares only near neighbours. The sort and the
  // walk read places from keys side by side: through indices into the records they missed the
  // cache for nearly every text of a big drawing. A key is no bigger than the index, the run
  // end and the merge buffer a stable sort of indices took.
  struct Key {
    double y, x;
    std::uint32_t index;  // the array's size is an int
    std::uint32_t rowEnd;
  };
  std::vector<Key> byY(items.size());
  for (std::size_t i = 0; i < items.size(); ++i) {
    byY[i] = {items[i].y, items[i].x, static_cast<std::uint32_t>(i), 0};
  }
  if (plain) {
    // The index last gives the stable order by y, then x, without a merge buffer.
    std::sort(byY.begin(), byY.end(), [](const Key& p, const Key& q) {
      if (p.y != q.y) return p.y < q.y;
      if (p.x != q.x) return p.x < q.x;
      return p.index < q.index;
    });
  } else {
    std::stable_sort(byY.begin(), byY.end(), [](const Key& p, const Key& q) { return p.y < q.y; });
  }
  // Where each text's run of equal y ends in that order.
  for (std::size_t k = byY.size(); k-- > 0;) {
    byY[k].rowEnd = k + 1 < byY.size() && byY[k + 1].y == byY[k].y
                        ? byY[k + 1].rowEnd
                        : static_cast<std::uint32_t>(k + 1);
  }
  const double rowReach = kRepeatReach * tallest;
  std::vector<bool> repeated(items.size(), false);
  for (std::size_t i = 0; i < byY.size(); ++i) {
    const Key& a = byY[i];
    const ArxDbMText& first = items[a.index];
    if (first.text.empty()) continue;  // shows nothing to repeat
    const double farthest = kRepeatReach * first.height / kRepeatHeightRatio;
    for (std::size_t j = i + 1; j < byY.size() && byY[j].y - a.y < farthest; ++j) {
      const Key& b = byY[j];
      if (plain && b.y == a.y && b.x - a.x >= rowReach) {
        j = b.rowEnd - 1;
        continue;
      }
      const ArxDbMText& second = items[b.index];
      const double low = std::min(first.height, second.height);
      const double high = std::max(first.height, second.height);
      // The cheap test of distance along x rules most out first.
      if (std::fabs(b.x - a.x) >= kRepeatReach * high) continue;
      if (second.text != first.text || !(low >= kRepeatHeightRatio * high)) continue;
      if (std::hypot(b.x - a.x, b.y - a.y) >= kRepeatReach * high) continue;
      repeated[std::max(a.index, b.index)] = true;
    }
  }
  RemoveFlagged(repeated);
}
