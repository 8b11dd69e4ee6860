#include "platform/gui/controls.h"

#include <algorithm>

#include "platform/gui/model.h"
#include "platform/win/strings.h"

using gui::model::Window;

namespace {

Window* Of(const CWnd& c) { return gui::model::Find(c.m_hWnd); }

int Count(const Window* w) {
  if (w == nullptr) return 0;
  return static_cast<int>(w->kind == gui::ControlKind::kListView ? w->rows.size()
                                                                 : w->items.size());
}

bool Has(const Window* w, int index) { return index >= 0 && index < Count(w); }

void Clamp(Window& w) {
  w.pos =
      std::clamp(w.pos, std::min(w.range_low, w.range_high), std::max(w.range_low, w.range_high));
}

}  // namespace

int CComboBox::AddString(const std::wstring& text) {
  Window* w = Of(*this);
  if (w == nullptr) return CB_ERR;
  auto at = w->items.end();
  if ((w->style & CBS_SORT) != 0) {
    at = std::upper_bound(
        w->items.begin(), w->items.end(), text,
        [](const std::wstring& a, const std::wstring& b) { return win::CompareNoCase(a, b) < 0; });
  }
  const int index = static_cast<int>(at - w->items.begin());
  w->items.insert(at, text);
  if (w->selection >= index) ++w->selection;
  return index;
}

int CComboBox::GetCurSel() const {
  Window* w = Of(*this);
  return w != nullptr ? w->selection : CB_ERR;
}

int CComboBox::SetCurSel(int index) {
  Window* w = Of(*this);
  if (w == nullptr) return CB_ERR;
  return w->selection = Has(w, index) ? index : -1;
}

int CComboBox::FindStringExact(int start, const std::wstring& text) const {
  const Window* w = Of(*this);
  const int n = Count(w);
  const int first = start < 0 || start >= n ? 0 : start + 1;
  for (int k = 0; k < n; ++k) {
    const int i = (first + k) % n;
    if (win::EqualsNoCase(w->items[static_cast<size_t>(i)], text)) return i;
  }
  return CB_ERR;
}

int CListCtrl::InsertColumn(int column, const std::wstring& heading, int format, int width) {
  Window* w = Of(*this);
  if (w == nullptr || column < 0) return -1;
  column = std::min(column, static_cast<int>(w->columns.size()));
  w->columns.insert(w->columns.begin() + column, gui::ListColumnState{heading, format, width});
  for (auto& cells : w->rows) {
    if (static_cast<int>(cells.size()) > column) cells.insert(cells.begin() + column, L"");
  }
  return column;
}

BOOL CListCtrl::DeleteColumn(int column) {
  Window* w = Of(*this);
  if (w == nullptr || column < 0 || column >= static_cast<int>(w->columns.size())) return FALSE;
  w->columns.erase(w->columns.begin() + column);
  for (auto& cells : w->rows) {
    if (static_cast<int>(cells.size()) > column) cells.erase(cells.begin() + column);
  }
  return TRUE;
}

int CListCtrl::InsertItem(int item, const std::wstring& text) {
  Window* w = Of(*this);
  if (w == nullptr || item < 0) return -1;
  item = std::min(item, Count(w));
  w->rows.insert(w->rows.begin() + item, {text});
  for (int& row : w->selected_rows) row += row >= item ? 1 : 0;
  return item;
}

BOOL CListCtrl::SetItemText(int item, int subItem, const std::wstring& text) {
  Window* w = Of(*this);
  if (!Has(w, item) || subItem < 0) return FALSE;
  auto& cells = w->rows[static_cast<size_t>(item)];
  if (static_cast<int>(cells.size()) <= subItem) cells.resize(static_cast<size_t>(subItem) + 1);
  cells[static_cast<size_t>(subItem)] = text;
  return TRUE;
}

BOOL CListCtrl::DeleteAllItems() {
  Window* w = Of(*this);
  if (w == nullptr) return FALSE;
  w->rows.clear();
  w->selected_rows.clear();
  return TRUE;
}

int CListCtrl::GetItemCount() const { return Count(Of(*this)); }

DWORD CListCtrl::SetExtendedStyle(DWORD style) {
  Window* w = Of(*this);
  return w != nullptr ? std::exchange(w->list_ex_style, style) : 0;
}

void CProgressCtrl::SetRange32(int lower, int upper) {
  Window* w = Of(*this);
  if (w == nullptr) return;
  w->range_low = lower;
  w->range_high = upper;
  Clamp(*w);
}

int CProgressCtrl::SetPos(int pos) {
  Window* w = Of(*this);
  if (w == nullptr) return 0;
  const int before = std::exchange(w->pos, pos);
  Clamp(*w);
  return before;
}

int CProgressCtrl::SetStep(int step) {
  Window* w = Of(*this);
  return w != nullptr ? std::exchange(w->step, step) : 0;
}

int CProgressCtrl::StepIt() {
  Window* w = Of(*this);
  if (w == nullptr) return 0;
  const int before = w->pos;
  w->pos += w->step;
  if (w->pos > w->range_high) w->pos = w->range_low;
  if (w->pos < w->range_low) w->pos = w->range_high;
  return before;
}
