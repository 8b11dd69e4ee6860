#include "recognition/text_placement.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

#include "capture/entity_reader.h"
#include "recognition/line_grid.h"

bool HoldsCoreBox(const CellBox& box, const ArxDbMText& text) {
  return box.left <= text.boxLeft && text.boxLeft + text.boxWidth <= box.left + box.width &&
         box.top - box.height <= text.boxTop - text.boxHeight && text.boxTop <= box.top;
}

int PlaceTextInCell(const ArxDbMText& text, CSheetform& table, const CGridBoxes& boxes) {
  if (table.Rows.IsEmpty() || table.Rows[0].Cells.IsEmpty()) return 0;
  const double top = text.boxTop;
  const double bottom = text.boxTop - text.boxHeight;
  for (int r = 0; r < table.Rows.GetSize(); ++r) {
    CCheckedArray<CAutoCell>& cells = table.Rows[r].Cells;
    const CellBox first = boxes.At(r, 0);
    // Rows run top down: once a row lies wholly below the text, none holds it.
    if (bottom > first.top) return 0;
    if (first.top - first.height > top) continue;
    for (int c = 0; c < cells.GetSize(); ++c) {
      if (HoldsCoreBox(boxes.At(r, c), text)) {
        AddTextToCell(text, cells[c]);
        return 1;
      }
    }
  }
  return 0;
}

void AddTextToCell(const ArxDbMText& text, CAutoCell& cell) {
  AddTextToCell(ArxDbMText(text), cell);
}

void AddTextToCell(ArxDbMText&& text, CAutoCell& cell) {
  const double rotation = text.rotation;
  cell.GetTexts().Add(std::move(text));
  if (IsEqual(rotation, kHalfPi)) {
    cell.SetOrientation(xl::kUpward);
  } else if (IsEqual(rotation, kThreeHalfPi)) {
    cell.SetOrientation(xl::kDownward);
  }
}

namespace {

// Texts standing at 90 or 270 degrees stack their lines across x: turning them
// level first lets lines and word order be found as for level texts.
// True when every text now reads level, turned or not.
bool TurnLevel(std::vector<ArxDbMText>& texts) {
  const double r = texts.front().rotation;
  const bool upward = IsEqual(r, kHalfPi);
  bool same = true;
  for (const ArxDbMText& t : texts) same = same && IsEqual(t.rotation, r);
  if (!same) return false;
  if (!upward && !IsEqual(r, kThreeHalfPi)) return IsEqual(r, 0.0);
  for (ArxDbMText& t : texts) {
    const double left = t.boxLeft, top = t.boxTop, w = t.boxWidth, h = t.boxHeight;
    const double x = t.x, y = t.y;
    t.x = upward ? y : -y;
    t.y = upward ? -x : x;
    t.boxLeft = upward ? top - h : -top;
    t.boxTop = upward ? -left : left + w;
    t.boxWidth = h;
    t.boxHeight = w;
  }
  return true;
}

// A one-line text's core box is the middle of its glyph box, whose bottom is
// the baseline: words without tall letters have a lower core than their
// neighbours, but the same baseline. Nothing for multiline or boxless texts.
std::optional<double> Baseline(const ArxDbMText& t) {
  if (t.boxHeight <= 0 || t.text.find(L'\n') != std::wstring::npos) return std::nullopt;
  return t.BoxBottom() - t.boxHeight * TextCoreFactor / (1 - 2 * TextCoreFactor);
}

// Lines of writing lie at least about a text height apart; words of one line
// differ in baseline by far less.
bool OnOneBaseline(const ArxDbMText& a, const ArxDbMText& b) {
  const std::optional<double> ba = Baseline(a), bb = Baseline(b);
  if (!ba || !bb) return false;
  return std::abs(*ba - *bb) < std::min(a.height, b.height) / 3;
}

}  // namespace

std::wstring AssembleCellText(CArxDbMTextArray& texts) {
  if (texts.IsEmpty()) return std::wstring();
  if (texts.GetSize() == 1) {
    // A lone text is its own line and word, wherever it lies.
    std::wstring only = std::move(texts[0].text);
    texts.Data().clear();
    return only;
  }
  const bool level = TurnLevel(texts.Data());
  SortTexts(texts, 0, texts.GetUpperBound());
  std::wstring result;
  std::vector<ArxDbMText>& rest = texts.Data();
  while (!rest.empty()) {
    // Lines are found from the bottom up, each seeded by the lowest text left.
    CArxDbMTextArray line;
    line.Add(std::move(rest.back()));
    rest.pop_back();
    double lineTop = line[0].boxTop;
    double lineBottom = line[0].BoxBottom();
    std::vector<bool> joined(rest.size(), false);
    for (std::size_t i = rest.size(); i-- > 0;) {
      const ArxDbMText& t = rest[i];
      const bool overlaps = t.boxTop > lineBottom && lineTop > t.BoxBottom();
      const bool besides =
          level && std::any_of(line.Data().begin(), line.Data().end(),
                               [&t](const ArxDbMText& m) { return OnOneBaseline(m, t); });
      if (overlaps || besides) {
        lineTop = std::max(lineTop, t.boxTop);
        lineBottom = std::min(lineBottom, t.BoxBottom());
        line.Add(t);
        joined[i] = true;
      }
    }
    texts.RemoveFlagged(joined);

    SortTexts(line, 0, line.GetUpperBound(), TextSortKey::kX);
    std::wstring words;
    for (int i = line.GetUpperBound(); i >= 0; --i) {
      const std::wstring& word = line[i].text;
      if (word.empty()) continue;
      if (!words.empty()) words += L' ';
      words += word;
    }
    result = result.empty() ? words : words + L"\n" + result;
  }
  return result;
}

void FinishCellText(CAutoCell& cell) {
  if (!cell.HasTexts()) return;
  CArxDbMTextArray& texts = cell.GetTexts();
  const ArxDbMText& last = texts[texts.GetUpperBound()];
  CAutoFont& font = cell.GetFont();
  font.Size = last.height;
  font.Color = last.color;
  cell.SetText(AssembleCellText(texts));
  cell.ReleaseTexts();
}
