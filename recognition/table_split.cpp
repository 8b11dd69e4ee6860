#include "recognition/table_split.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <queue>
#include <set>

#include "capture/geometry.h"
#include "platform/sds/sds.h"
#include "recognition/line_grid.h"
#include "recognition/table_recogniser.h"

namespace {

class Groups {
 public:
  explicit Groups(std::size_t n) : parent_(n) { std::iota(parent_.begin(), parent_.end(), 0); }
  std::size_t Find(std::size_t a) {
    while (parent_[a] != a) {
      parent_[a] = parent_[parent_[a]];
      a = parent_[a];
    }
    return a;
  }
  void Join(std::size_t a, std::size_t b) {
    a = Find(a);
    b = Find(b);
    if (a != b) parent_[std::max(a, b)] = std::min(a, b);
  }

 private:
  std::vector<std::size_t> parent_;
};

// A line as a key across its axis and a span along it.
struct Stroke {
  double key, low, high;
};

double Tolerance(std::vector<double> keys) {
  std::sort(keys.begin(), keys.end());
  double gap = kTolerance;
  for (std::size_t k = 1; k < keys.size(); ++k) gap = std::max(gap, keys[k] - keys[k - 1]);
  return std::max(kTolerance, GridLineTolerance(gap));
}

// Joins the collinear strokes of one axis that touch or overlap.
void JoinCollinear(const std::vector<Stroke>& strokes, std::size_t offset, double across,
                   double along, Groups& groups) {
  std::vector<std::size_t> order(strokes.size());
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(),
            [&](std::size_t a, std::size_t b) { return strokes[a].key < strokes[b].key; });
  std::size_t begin = 0;
  while (begin < order.size()) {
    std::size_t end = begin + 1;
    while (end < order.size() && strokes[order[end]].key - strokes[order[end - 1]].key <= across) {
      ++end;
    }
    std::sort(order.begin() + static_cast<std::ptrdiff_t>(begin),
              order.begin() + static_cast<std::ptrdiff_t>(end),
              [&](std::size_t a, std::size_t b) { return strokes[a].low < strokes[b].low; });
    double reach = strokes[order[begin]].high;
    for (std::size_t k = begin + 1; k < end; ++k) {
      const Stroke& s = strokes[order[k]];
      if (s.low <= reach + along) groups.Join(offset + order[k - 1], offset + order[k]);
      reach = std::max(reach, s.high);
    }
    begin = end;
  }
}

// Joins every horizontal stroke with the vertical strokes it touches or
// crosses: a sweep downwards keeping the vertical strokes that reach the
// current height, ordered by x.
void JoinCrossings(const std::vector<Stroke>& rows, const std::vector<Stroke>& columns, double tx,
                   double ty, Groups& groups) {
  const std::size_t offset = rows.size();
  std::vector<std::size_t> byTop(columns.size()), byKey(rows.size());
  std::iota(byTop.begin(), byTop.end(), 0);
  std::iota(byKey.begin(), byKey.end(), 0);
  std::sort(byTop.begin(), byTop.end(),
            [&](std::size_t a, std::size_t b) { return columns[a].high > columns[b].high; });
  std::sort(byKey.begin(), byKey.end(),
            [&](std::size_t a, std::size_t b) { return rows[a].key > rows[b].key; });
  std::set<std::pair<double, std::size_t>> active;
  auto lowerEnd = [&](std::size_t a, std::size_t b) { return columns[a].low < columns[b].low; };
  std::priority_queue<std::size_t, std::vector<std::size_t>, decltype(lowerEnd)> ending(lowerEnd);
  std::size_t next = 0;
  for (std::size_t h : byKey) {
    const Stroke& row = rows[h];
    while (next < byTop.size() && columns[byTop[next]].high + ty >= row.key) {
      const std::size_t v = byTop[next++];
      active.emplace(columns[v].key, v);
      ending.push(v);
    }
    while (!ending.empty() && columns[ending.top()].low - ty > row.key) {
      active.erase({columns[ending.top()].key, ending.top()});
      ending.pop();
    }
    for (auto it = active.lower_bound({row.low - tx, 0});
         it != active.end() && it->first <= row.high + tx; ++it) {
      groups.Join(h, offset + it->second);
    }
  }
}

// Extents filed by the buckets of a coarse grid they overlap.
class ExtentBuckets {
 public:
  ExtentBuckets(const std::vector<TableParts>& tables) : tables_(tables) {
    if (tables.empty()) return;
    left_ = tables[0].left;
    bottom_ = tables[0].bottom;
    double right = tables[0].right, top = tables[0].top;
    for (const TableParts& t : tables) {
      left_ = std::min(left_, t.left);
      bottom_ = std::min(bottom_, t.bottom);
      right = std::max(right, t.right);
      top = std::max(top, t.top);
    }
    side_ = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(tables.size()))));
    width_ = std::max(kTolerance, (right - left_) / side_);
    height_ = std::max(kTolerance, (top - bottom_) / side_);
    buckets_.resize(static_cast<std::size_t>(side_ * side_));
    for (std::size_t k = 0; k < tables.size(); ++k) {
      const TableParts& t = tables[k];
      for (int i = Column(t.left); i <= Column(t.right); ++i) {
        for (int j = Row(t.bottom); j <= Row(t.top); ++j) {
          buckets_[static_cast<std::size_t>(j * side_ + i)].push_back(k);
        }
      }
    }
  }

  // The smallest extent holding the point, or -1.
  int Smallest(double x, double y) const {
    if (buckets_.empty()) return -1;
    int best = -1;
    double bestArea = 0;
    for (std::size_t k : buckets_[static_cast<std::size_t>(Row(y) * side_ + Column(x))]) {
      const TableParts& t = tables_[k];
      if (x < t.left || x > t.right || y < t.bottom || y > t.top) continue;
      const double area = (t.right - t.left) * (t.top - t.bottom);
      if (best < 0 || area < bestArea) {
        best = static_cast<int>(k);
        bestArea = area;
      }
    }
    return best;
  }

 private:
  int Clamp(double v) const { return std::clamp(static_cast<int>(std::floor(v)), 0, side_ - 1); }
  int Column(double x) const { return Clamp((x - left_) / width_); }
  int Row(double y) const { return Clamp((y - bottom_) / height_); }

  const std::vector<TableParts>& tables_;
  double left_ = 0, bottom_ = 0, width_ = 1, height_ = 1;
  int side_ = 1;
  std::vector<std::vector<std::size_t>> buckets_;
};

}  // namespace

std::vector<TableParts> SplitIntoTables(const CHorzDbLineArray& horizontal,
                                        const CVertDbLineArray& vertical,
                                        const CArxDbMTextArray& texts, int& outside) {
  outside = 0;
  std::vector<Stroke> rows, columns;
  std::vector<double> rowKeys, columnKeys;
  for (const CSimpleLine& l : horizontal) {
    rows.push_back({l.y1, std::min(l.x1, l.x2), std::max(l.x1, l.x2)});
    rowKeys.push_back(l.y1);
  }
  for (const CSimpleLine& l : vertical) {
    columns.push_back({l.x1, std::min(l.y1, l.y2), std::max(l.y1, l.y2)});
    columnKeys.push_back(l.x1);
  }
  const double ty = Tolerance(rowKeys);
  const double tx = Tolerance(columnKeys);

  Groups groups(rows.size() + columns.size());
  JoinCollinear(rows, 0, ty, tx, groups);
  JoinCollinear(columns, rows.size(), tx, ty, groups);
  JoinCrossings(rows, columns, tx, ty, groups);

  struct Group {
    std::vector<std::size_t> rows, columns;
  };
  std::vector<Group> byRoot(rows.size() + columns.size());
  for (std::size_t k = 0; k < rows.size(); ++k) byRoot[groups.Find(k)].rows.push_back(k);
  for (std::size_t k = 0; k < columns.size(); ++k) {
    byRoot[groups.Find(rows.size() + k)].columns.push_back(k);
  }

  auto spread = [](const std::vector<Stroke>& strokes, const std::vector<std::size_t>& members) {
    double low = strokes[members[0]].key, high = low;
    for (std::size_t k : members) {
      low = std::min(low, strokes[k].key);
      high = std::max(high, strokes[k].key);
    }
    return high - low;
  };
  std::vector<TableParts> tables;
  for (const Group& g : byRoot) {
    if (g.rows.size() < 2 || g.columns.size() < 2) continue;
    if (spread(rows, g.rows) <= ty || spread(columns, g.columns) <= tx) continue;
    TableParts t;
    t.left = t.right = rows[g.rows[0]].low;
    t.top = t.bottom = rows[g.rows[0]].key;
    for (std::size_t k : g.rows) {
      t.horizontal.Add(horizontal[static_cast<int>(k)]);
      t.left = std::min(t.left, rows[k].low);
      t.right = std::max(t.right, rows[k].high);
      t.top = std::max(t.top, rows[k].key);
      t.bottom = std::min(t.bottom, rows[k].key);
    }
    for (std::size_t k : g.columns) {
      t.vertical.Add(vertical[static_cast<int>(k)]);
      t.left = std::min(t.left, columns[k].key);
      t.right = std::max(t.right, columns[k].key);
      t.top = std::max(t.top, columns[k].high);
      t.bottom = std::min(t.bottom, columns[k].low);
    }
    tables.push_back(std::move(t));
  }
  std::stable_sort(tables.begin(), tables.end(), [](const TableParts& a, const TableParts& b) {
    if (a.top != b.top) return a.top > b.top;
    return a.left < b.left;
  });

  const ExtentBuckets buckets(tables);
  for (const ArxDbMText& text : texts) {
    const int k =
        buckets.Smallest(text.boxLeft + text.boxWidth / 2, text.boxTop - text.boxHeight / 2);
    if (k < 0) {
      ++outside;
      continue;
    }
    CArxDbMTextArray& into = tables[static_cast<std::size_t>(k)].texts;
    into.ExtendBounds(text.boxLeft, text.boxTop - text.boxHeight, text.boxLeft + text.boxWidth,
                      text.boxTop);
    into.Add(text);
  }
  return tables;
}

std::vector<CSheetform> RecogniseTables(CHorzDbLineArray& horizontal, CVertDbLineArray& vertical,
                                        CArxDbMTextArray& texts, bool split) {
  std::vector<CSheetform> result;
  if (split) {
    int outside = 0;
    std::vector<TableParts> parts = SplitIntoTables(horizontal, vertical, texts, outside);
    // A grid with no text in it (a bare frame, a hatch of boxes) holds no
    // data; it is left out unless nothing else is there.
    const bool anyText = std::any_of(parts.begin(), parts.end(),
                                     [](const TableParts& t) { return !t.texts.IsEmpty(); });
    if (anyText) {
      std::erase_if(parts, [](const TableParts& t) { return t.texts.IsEmpty(); });
    }
    if (!parts.empty()) {
      if (outside > 0) {
        sds_printf(L"\n%d text(s) lie outside every table and were left out.", outside);
      }
      for (TableParts& t : parts) {
        RecogniseTable(t.horizontal, t.vertical, t.texts, result.emplace_back());
      }
      return result;
    }
  }
  RecogniseTable(horizontal, vertical, texts, result.emplace_back());
  return result;
}
