// The built-in controls' behaviour: what each class does with its messages.
#include <algorithm>
#include <cwctype>

#include "platform/gui/window_internal.h"

namespace gui::internal {

namespace {

int CompareNoCase(const std::wstring& a, const std::wstring& b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    wint_t x = std::towlower(a[i]);
    wint_t y = std::towlower(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool StartsWithNoCase(const std::wstring& text, const std::wstring& prefix) {
  return text.size() >= prefix.size() && CompareNoCase(text.substr(0, prefix.size()), prefix) == 0;
}

const wchar_t* TextArg(LPARAM l) { return l != 0 ? reinterpret_cast<const wchar_t*>(l) : L""; }

LRESULT CopyOut(const std::wstring& text, LPWSTR buffer, size_t size) {
  if (buffer == nullptr || size == 0) return static_cast<LRESULT>(text.size());
  size_t n = std::min(text.size(), size - 1);
  text.copy(buffer, n);
  buffer[n] = L'\0';
  return static_cast<LRESULT>(n);
}

// ---------------------------------------------------------------------------

bool EditProc(Window& w, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  int len = static_cast<int>(w.text.size());
  switch (message) {
    case WM_SETTEXT:
      w.text = TextArg(lParam);
      w.sel_start = w.sel_end = static_cast<int>(w.text.size());
      w.needs_paint = true;
      result = TRUE;
      Notify(w, EN_CHANGE);
      return true;
    case EM_SETSEL: {
      int start = static_cast<int>(wParam);
      int end = static_cast<int>(lParam);
      if (start < 0) {
        start = end = w.sel_end;  // -1 removes the selection
      }
      if (end < 0 || end > len) end = len;
      start = std::clamp(start, 0, len);
      if (start > end) std::swap(start, end);
      w.sel_start = start;
      w.sel_end = end;
      return true;
    }
    case EM_GETSEL:
      result = MAKELPARAM(static_cast<WORD>(w.sel_start), static_cast<WORD>(w.sel_end));
      return true;
    case WM_CHAR:
    case WM_CLEAR: {
      if ((w.style & (ES_READONLY | WS_DISABLED)) != 0) return true;
      int start = std::clamp(w.sel_start, 0, len);
      int end = std::clamp(w.sel_end, start, len);
      if (message == WM_CHAR) {
        auto c = static_cast<wchar_t>(wParam);
        if (c == static_cast<wchar_t>(VK_BACK)) {
          if (start == end && start > 0) --start;
          w.text.erase(static_cast<size_t>(start), static_cast<size_t>(end - start));
        } else if (c >= 0x20 || c == L'\t') {
          if ((w.style & ES_MULTILINE) == 0 && c == L'\t') return true;
          w.text.replace(static_cast<size_t>(start), static_cast<size_t>(end - start), 1, c);
          ++start;
        } else {
          return true;  // Enter and other controls do nothing in a single-line edit
        }
      } else {
        w.text.erase(static_cast<size_t>(start), static_cast<size_t>(end - start));
      }
      w.sel_start = w.sel_end = start;
      w.needs_paint = true;
      Notify(w, EN_CHANGE);
      return true;
    }
    default:
      return false;
  }
}

// The radio buttons of w's group: from the group's first control (WS_GROUP)
// up to the next control with WS_GROUP.
std::vector<Window*> RadioGroup(Window& w) {
  std::vector<Window*> group;
  Window* parent = Find(w.parent);
  if (parent == nullptr) return group;
  auto& c = parent->children;
  auto self = std::find(c.begin(), c.end(), w.handle);
  if (self == c.end()) return group;
  auto first = self;
  while (first != c.begin()) {
    Window* f = Find(*first);
    if (f != nullptr && (f->style & WS_GROUP) != 0) break;
    --first;
  }
  for (auto it = first; it != c.end(); ++it) {
    Window* m = Find(*it);
    if (m == nullptr) continue;
    if (it != first && (m->style & WS_GROUP) != 0) break;
    if (IsRadio(*m)) group.push_back(m);
  }
  return group;
}

void Click(Window& w) {
  if ((w.style & WS_DISABLED) != 0) return;
  switch (w.style & BS_TYPEMASK) {
    case BS_AUTOCHECKBOX:
      w.check = w.check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
      break;
    case BS_AUTO3STATE:
      w.check = (w.check + 1) % 3;
      break;
    case BS_AUTORADIOBUTTON:
      for (Window* other : RadioGroup(w)) {
        if (other != &w && other->check != 0) {
          other->check = 0;
          other->needs_paint = true;
        }
      }
      w.check = BST_CHECKED;
      break;
    default:
      break;
  }
  w.needs_paint = true;
  Notify(w, BN_CLICKED);
}

bool ButtonProc(Window& w, UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
  ControlKind kind = KindOf(w);
  bool checkable = kind == ControlKind::kCheckBox || kind == ControlKind::kRadioButton;
  switch (message) {
    case BM_GETCHECK:
      result = checkable ? w.check : 0;
      return true;
    case BM_SETCHECK:
      if (checkable) {
        int v = static_cast<int>(wParam);
        bool three =
            (w.style & BS_TYPEMASK) == BS_3STATE || (w.style & BS_TYPEMASK) == BS_AUTO3STATE;
        w.check = v == BST_INDETERMINATE ? (three ? v : BST_CHECKED) : (v != 0 ? 1 : 0);
        w.needs_paint = true;
      }
      return true;
    case BM_CLICK:
    case WM_LBUTTONUP:
      if (kind != ControlKind::kGroupBox) Click(w);
      return true;
    default:
      return false;
  }
}

// ---------------------------------------------------------------------------

int FindItem(const Window& w, WPARAM start_arg, const std::wstring& text, bool exact) {
  int count = static_cast<int>(w.items.size());
  if (count == 0) return static_cast<int>(CB_ERR);
  int start = static_cast<int>(start_arg);
  if (start < -1 || start >= count) start = -1;
  for (int k = 1; k <= count; ++k) {
    int i = (start + k) % count;
    const std::wstring& item = w.items[static_cast<size_t>(i)];
    if (exact ? CompareNoCase(item, text) == 0 : StartsWithNoCase(item, text)) return i;
  }
  return static_cast<int>(CB_ERR);
}

void Select(Window& w, int index) {
  w.cursel = index;
  if ((w.style & CBS_TYPEMASK) != CBS_DROPDOWNLIST && index >= 0) {
    w.text = w.items[static_cast<size_t>(index)];
  }
  w.needs_paint = true;
}

bool ComboProc(Window& w, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  int count = static_cast<int>(w.items.size());
  bool list_only = (w.style & CBS_TYPEMASK) == CBS_DROPDOWNLIST;
  switch (message) {
    case CB_ADDSTRING: {
      std::wstring text = TextArg(lParam);
      int index = count;
      if ((w.style & CBS_SORT) != 0) {
        auto it = std::upper_bound(
            w.items.begin(), w.items.end(), text,
            [](const std::wstring& a, const std::wstring& b) { return CompareNoCase(a, b) < 0; });
        index = static_cast<int>(it - w.items.begin());
      }
      w.items.insert(w.items.begin() + index, text);
      if (w.cursel >= index) ++w.cursel;
      result = index;
      return true;
    }
    case CB_INSERTSTRING: {
      int index = static_cast<int>(wParam);
      if (index == -1) index = count;
      if (index < 0 || index > count) {
        result = CB_ERR;
        return true;
      }
      w.items.insert(w.items.begin() + index, TextArg(lParam));
      if (w.cursel >= index) ++w.cursel;
      result = index;
      return true;
    }
    case CB_DELETESTRING: {
      int index = static_cast<int>(wParam);
      if (index < 0 || index >= count) {
        result = CB_ERR;
        return true;
      }
      w.items.erase(w.items.begin() + index);
      if (w.cursel == index) {
        w.cursel = -1;
      } else if (w.cursel > index) {
        --w.cursel;
      }
      result = count - 1;
      return true;
    }
    case CB_RESETCONTENT:
      w.items.clear();
      w.cursel = -1;
      if (!list_only) w.text.clear();
      return true;
    case CB_GETCOUNT:
      result = count;
      return true;
    case CB_GETCURSEL:
      result = w.cursel;
      return true;
    case CB_SETCURSEL: {
      int index = static_cast<int>(wParam);
      if (index < 0 || index >= count) {
        w.cursel = -1;
        result = CB_ERR;
        return true;
      }
      Select(w, index);
      result = index;
      return true;
    }
    case CB_GETLBTEXT:
    case CB_GETLBTEXTLEN: {
      int index = static_cast<int>(wParam);
      if (index < 0 || index >= count) {
        result = CB_ERR;
        return true;
      }
      const std::wstring& item = w.items[static_cast<size_t>(index)];
      if (message == CB_GETLBTEXTLEN) {
        result = static_cast<LRESULT>(item.size());
      } else if (lParam != 0) {
        // The caller's buffer holds CB_GETLBTEXTLEN + 1 characters.
        auto* buffer = reinterpret_cast<LPWSTR>(lParam);
        item.copy(buffer, item.size());
        buffer[item.size()] = L'\0';
        result = static_cast<LRESULT>(item.size());
      } else {
        result = CB_ERR;
      }
      return true;
    }
    case CB_FINDSTRING:
    case CB_FINDSTRINGEXACT:
      result = FindItem(w, wParam, TextArg(lParam), message == CB_FINDSTRINGEXACT);
      return true;
    case CB_SELECTSTRING: {
      int index = FindItem(w, wParam, TextArg(lParam), false);
      if (index >= 0) Select(w, index);
      result = index;
      return true;
    }
    case kPickItem: {
      int index = static_cast<int>(wParam);
      if (index < 0 || index >= count) return true;
      Select(w, index);
      Notify(w, CBN_SELCHANGE);
      return true;
    }
    case WM_SETTEXT:
      // A drop-down list shows only its items; the text cannot be set.
      if (list_only) {
        result = CB_ERR;
        return true;
      }
      return false;
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH:
      if (list_only) {
        std::wstring text = w.cursel >= 0 ? w.items[static_cast<size_t>(w.cursel)] : L"";
        result = message == WM_GETTEXTLENGTH
                     ? static_cast<LRESULT>(text.size())
                     : CopyOut(text, reinterpret_cast<LPWSTR>(lParam), wParam);
        return true;
      }
      return false;
    default:
      return false;
  }
}

// ---------------------------------------------------------------------------

bool ListProc(Window& w, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  int count = static_cast<int>(w.rows.size());
  int columns = static_cast<int>(w.columns.size());
  switch (message) {
    case LVM_INSERTCOLUMNW: {
      const auto* c = reinterpret_cast<const LVCOLUMNW*>(lParam);
      if (c == nullptr) {
        result = -1;
        return true;
      }
      int index = std::clamp(static_cast<int>(wParam), 0, columns);
      ListColumnState column;
      if ((c->mask & LVCF_TEXT) != 0 && c->pszText != nullptr) column.heading = c->pszText;
      if ((c->mask & LVCF_FMT) != 0) column.format = c->fmt;
      column.width = (c->mask & LVCF_WIDTH) != 0 ? c->cx : 50;
      w.columns.insert(w.columns.begin() + index, column);
      for (ListRow& row : w.rows) {
        if (static_cast<int>(row.cells.size()) > index) {
          row.cells.insert(row.cells.begin() + index, std::wstring());
        }
      }
      w.needs_paint = true;
      result = index;
      return true;
    }
    case LVM_DELETECOLUMN: {
      int index = static_cast<int>(wParam);
      if (index < 0 || index >= columns) {
        result = FALSE;
        return true;
      }
      w.columns.erase(w.columns.begin() + index);
      for (ListRow& row : w.rows) {
        if (static_cast<int>(row.cells.size()) > index) row.cells.erase(row.cells.begin() + index);
      }
      w.needs_paint = true;
      result = TRUE;
      return true;
    }
    case LVM_GETCOLUMNW: {
      int index = static_cast<int>(wParam);
      auto* c = reinterpret_cast<LVCOLUMNW*>(lParam);
      if (index < 0 || index >= columns || c == nullptr) {
        result = FALSE;
        return true;
      }
      const ListColumnState& column = w.columns[static_cast<size_t>(index)];
      if ((c->mask & LVCF_FMT) != 0) c->fmt = column.format;
      if ((c->mask & LVCF_WIDTH) != 0) c->cx = column.width;
      if ((c->mask & LVCF_TEXT) != 0 && c->pszText != nullptr && c->cchTextMax > 0) {
        CopyOut(column.heading, c->pszText, static_cast<size_t>(c->cchTextMax));
      }
      result = TRUE;
      return true;
    }
    case LVM_INSERTITEMW: {
      const auto* item = reinterpret_cast<const LVITEMW*>(lParam);
      if (item == nullptr || item->iSubItem != 0) {
        result = -1;
        return true;
      }
      int index = std::clamp(item->iItem, 0, count);
      ListRow row;
      row.cells.emplace_back((item->mask & LVIF_TEXT) != 0 && item->pszText ? item->pszText : L"");
      if ((item->mask & LVIF_STATE) != 0) row.state = item->state & item->stateMask;
      if ((item->mask & LVIF_PARAM) != 0) row.param = item->lParam;
      w.rows.insert(w.rows.begin() + index, row);
      w.needs_paint = true;
      result = index;
      return true;
    }
    case LVM_SETITEMTEXTW: {
      int index = static_cast<int>(wParam);
      const auto* item = reinterpret_cast<const LVITEMW*>(lParam);
      if (index < 0 || index >= count || item == nullptr || item->iSubItem < 0 ||
          item->iSubItem >= std::max(1, columns)) {
        result = FALSE;
        return true;
      }
      auto& cells = w.rows[static_cast<size_t>(index)].cells;
      if (static_cast<int>(cells.size()) <= item->iSubItem) {
        cells.resize(static_cast<size_t>(item->iSubItem) + 1);
      }
      cells[static_cast<size_t>(item->iSubItem)] = item->pszText ? item->pszText : L"";
      w.needs_paint = true;
      result = TRUE;
      return true;
    }
    case LVM_GETITEMTEXTW: {
      int index = static_cast<int>(wParam);
      auto* item = reinterpret_cast<LVITEMW*>(lParam);
      if (item == nullptr) {
        result = 0;
        return true;
      }
      std::wstring text;
      if (index >= 0 && index < count && item->iSubItem >= 0) {
        const auto& cells = w.rows[static_cast<size_t>(index)].cells;
        if (static_cast<size_t>(item->iSubItem) < cells.size()) {
          text = cells[static_cast<size_t>(item->iSubItem)];
        }
      }
      result = item->cchTextMax > 0
                   ? CopyOut(text, item->pszText, static_cast<size_t>(item->cchTextMax))
                   : 0;
      return true;
    }
    case LVM_DELETEITEM: {
      int index = static_cast<int>(wParam);
      if (index < 0 || index >= count) {
        result = FALSE;
        return true;
      }
      w.rows.erase(w.rows.begin() + index);
      w.needs_paint = true;
      result = TRUE;
      return true;
    }
    case LVM_DELETEALLITEMS:
      w.rows.clear();
      w.needs_paint = true;
      result = TRUE;
      return true;
    case LVM_GETITEMCOUNT:
      result = count;
      return true;
    case LVM_SETEXTENDEDLISTVIEWSTYLE: {
      DWORD mask = wParam != 0 ? static_cast<DWORD>(wParam) : 0xFFFFFFFF;
      result = static_cast<LRESULT>(w.list_ex_style);
      w.list_ex_style = (w.list_ex_style & ~mask) | (static_cast<DWORD>(lParam) & mask);
      return true;
    }
    case LVM_GETEXTENDEDLISTVIEWSTYLE:
      result = static_cast<LRESULT>(w.list_ex_style);
      return true;
    case LVM_SETITEMSTATE: {
      int index = static_cast<int>(wParam);
      const auto* item = reinterpret_cast<const LVITEMW*>(lParam);
      if (item == nullptr || index < -1 || index >= count) {
        result = FALSE;
        return true;
      }
      for (int i = 0; i < count; ++i) {
        if (index != -1 && i != index) continue;
        UINT& state = w.rows[static_cast<size_t>(i)].state;
        state = (state & ~item->stateMask) | (item->state & item->stateMask);
      }
      w.needs_paint = true;
      result = TRUE;
      return true;
    }
    case LVM_GETITEMSTATE: {
      int index = static_cast<int>(wParam);
      result = index >= 0 && index < count
                   ? static_cast<LRESULT>(w.rows[static_cast<size_t>(index)].state &
                                          static_cast<UINT>(lParam))
                   : 0;
      return true;
    }
    case LVM_GETNEXTITEM: {
      int start = static_cast<int>(wParam);
      UINT flags = static_cast<UINT>(lParam);
      result = -1;
      for (int i = std::max(0, start + 1); i < count; ++i) {
        if ((flags & LVNI_SELECTED) != 0 &&
            (w.rows[static_cast<size_t>(i)].state & LVIS_SELECTED) == 0) {
          continue;
        }
        result = i;
        break;
      }
      return true;
    }
    case LVM_GETHEADER: {
      if (Find(w.header) == nullptr) {
        CreateParams p;
        p.class_name = L"SysHeader32";
        p.style = WS_CHILD | WS_VISIBLE;
        p.parent = w.handle;
        p.rect = RECT{0, 0, w.rect.right - w.rect.left, 18};
        Window* header = Create(p);
        w.header = header != nullptr ? header->handle : nullptr;
      }
      result = reinterpret_cast<LRESULT>(w.header);
      return true;
    }
    case kPickItem: {
      int index = static_cast<int>(wParam);
      if (index < 0 || index >= count) return true;
      // A click selects that one row.
      for (int i = 0; i < count; ++i) {
        UINT& state = w.rows[static_cast<size_t>(i)].state;
        if (i == index) {
          state |= LVIS_SELECTED | LVIS_FOCUSED;
        } else {
          state &= ~(LVIS_SELECTED | LVIS_FOCUSED);
        }
      }
      w.needs_paint = true;
      return true;
    }
    default:
      return false;
  }
}

bool HeaderProc(Window& w, UINT message, WPARAM, LPARAM, LRESULT& result) {
  if (message != HDM_GETITEMCOUNT) return false;
  Window* list = Find(w.parent);
  result = list != nullptr ? static_cast<LRESULT>(list->columns.size()) : 0;
  return true;
}

// ---------------------------------------------------------------------------

bool ProgressProc(Window& w, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  auto clamp_pos = [&w] {
    w.pos = std::clamp(w.pos, std::min(w.low, w.high), std::max(w.low, w.high));
  };
  switch (message) {
    case PBM_SETRANGE:
    case PBM_SETRANGE32:
      result = MAKELPARAM(static_cast<WORD>(w.low), static_cast<WORD>(w.high));
      if (message == PBM_SETRANGE) {
        // Two unsigned 16-bit values.
        w.low = LOWORD(static_cast<std::uintptr_t>(lParam));
        w.high = HIWORD(static_cast<std::uintptr_t>(lParam));
      } else {
        w.low = static_cast<int>(wParam);
        w.high = static_cast<int>(lParam);
      }
      clamp_pos();
      w.needs_paint = true;
      return true;
    case PBM_GETRANGE: {
      if (auto* r = reinterpret_cast<PBRANGE*>(lParam)) {
        r->iLow = w.low;
        r->iHigh = w.high;
      }
      result = wParam != 0 ? w.low : w.high;
      return true;
    }
    case PBM_SETPOS:
      result = w.pos;
      w.pos = static_cast<int>(wParam);
      clamp_pos();
      w.needs_paint = true;
      return true;
    case PBM_DELTAPOS:
      result = w.pos;
      w.pos += static_cast<int>(wParam);
      clamp_pos();
      w.needs_paint = true;
      return true;
    case PBM_GETPOS:
      result = w.pos;
      return true;
    case PBM_SETSTEP:
      result = w.step;
      w.step = static_cast<int>(wParam);
      return true;
    case PBM_STEPIT:
      result = w.pos;
      w.pos += w.step;
      // Past the end the bar starts over from the beginning.
      if (w.pos > w.high) w.pos = w.low;
      if (w.pos < w.low) w.pos = w.high;
      w.needs_paint = true;
      return true;
    default:
      return false;
  }
}

}  // namespace

bool ControlProc(Window& w, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  const std::wstring& c = w.class_name;
  if (c == L"Edit") return EditProc(w, message, wParam, lParam, result);
  if (c == L"Button") return ButtonProc(w, message, wParam, lParam, result);
  if (c == L"ComboBox") return ComboProc(w, message, wParam, lParam, result);
  if (c == L"SysListView32") return ListProc(w, message, wParam, lParam, result);
  if (c == L"SysHeader32") return HeaderProc(w, message, wParam, lParam, result);
  if (c == L"msctls_progress32") return ProgressProc(w, message, wParam, lParam, result);
  return false;
}

}  // namespace gui::internal
