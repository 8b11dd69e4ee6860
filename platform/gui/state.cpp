// Reading a dialog's state, and its text form.
#include <algorithm>

#include "platform/gui/model.h"
#include "platform/gui/wnd.h"
#include "platform/win/text.h"

namespace gui {

using model::Find;
using model::Window;

const ControlState* DialogState::Find(int id) const {
  for (const ControlState& c : controls) {
    if (c.id == id) return &c;
  }
  return nullptr;
}

namespace {

// Accelerator marks are for keyboards; the form shows the plain text.
std::wstring Plain(const std::wstring& text) {
  std::wstring out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'&') {
      if (i + 1 < text.size() && text[i + 1] == L'&') {
        out.push_back(L'&');
        ++i;
      }
      continue;
    }
    out.push_back(text[i] == L'\n' ? L' ' : text[i]);
  }
  return out;
}

std::wstring Flags(const ControlState& c) {
  std::wstring s;
  if (!c.visible) s += L" (hidden)";
  if (!c.enabled) s += L" (disabled)";
  if (c.visible && !c.in_view) s += L" (outside the window)";
  return s;
}

std::wstring Id(const ControlState& c) { return win::Format(L"  [%d] ", c.id); }

std::wstring Labelled(const ControlState& c) {
  return c.label.empty() ? std::wstring() : Plain(c.label) + L" ";
}

void RenderList(const ControlState& c, std::vector<std::wstring>& out) {
  std::wstring head = Id(c) + Labelled(c) +
                      win::Format(L"list of %d rows", static_cast<int>(c.rows.size())) + Flags(c);
  out.push_back(head);
  if (c.columns.empty()) return;
  std::wstring columns = L"        |";
  for (const ListColumnState& col : c.columns) columns += L" " + Plain(col.heading) + L" |";
  out.push_back(columns);
  for (size_t i = 0; i < c.rows.size(); ++i) {
    bool selected = std::find(c.selected_rows.begin(), c.selected_rows.end(),
                              static_cast<int>(i)) != c.selected_rows.end();
    std::wstring row = win::Format(L"   %c%3d |", selected ? L'>' : L' ', static_cast<int>(i) + 1);
    for (const std::wstring& cell : c.rows[i]) row += L" " + Plain(cell) + L" |";
    out.push_back(row);
  }
}

}  // namespace

std::wstring Bar(const ControlState& c, int width) {
  const long long span = static_cast<long long>(c.range_high) - c.range_low;
  const long long filled =
      span > 0 ? std::clamp((static_cast<long long>(c.pos) - c.range_low) * width / span, 0LL,
                            static_cast<long long>(width))
               : 0;
  return L"[" + std::wstring(static_cast<size_t>(filled), L'#') +
         std::wstring(static_cast<size_t>(width - filled), L'.') + L"]";
}

DialogState ReadDialog(HWND dialog) {
  DialogState s;
  Window* d = Find(dialog);
  if (d == nullptr || !d->is_dialog()) return s;
  // What a person sees of a custom control is what it painted.
  for (const auto& c : d->controls) {
    if (c->kind == ControlKind::kCustom) gui::Send(c->hwnd, WM_PAINT);
  }
  if ((d = Find(dialog)) == nullptr) return s;
  s = DialogState{dialog,
                  d->text,
                  d->dialog_template->name,
                  d->rect,
                  model::ClientRect(*d),
                  d->visible,
                  d->topmost,
                  d->modal,
                  {}};
  const Window* previous = nullptr;
  for (const auto& w : d->controls) {
    ControlState c = *w;
    const LONG cx = (c.rect.left + c.rect.right) / 2, cy = (c.rect.top + c.rect.bottom) / 2;
    c.in_view = cx >= 0 && cy >= 0 && cx < s.client_rect.right && cy < s.client_rect.bottom;
    // A static text, check box or radio button labels the edit, list or bar
    // after it; a hidden label labels only a control hidden with it.
    const bool takes = c.kind == ControlKind::kEdit || c.kind == ControlKind::kComboBox ||
                       c.kind == ControlKind::kListView || c.kind == ControlKind::kProgressBar;
    if (takes && previous != nullptr && (previous->visible || !c.visible) &&
        (previous->kind == ControlKind::kStatic
             ? !previous->text.empty()
             : previous->kind == ControlKind::kCheckBox ||
                   previous->kind == ControlKind::kRadioButton)) {
      c.label = previous->text;
    }
    if (c.kind == ControlKind::kComboBox) {
      c.text = c.selection >= 0 ? c.items[static_cast<size_t>(c.selection)] : L"";
    } else if (c.kind == ControlKind::kListView) {
      for (auto& cells : c.rows) {
        cells.resize(std::max(cells.size(), c.columns.size()));
        c.items.push_back(cells.empty() ? L"" : cells[0]);
      }
      std::ranges::sort(c.selected_rows);
      c.selection = c.selected_rows.empty() ? -1 : c.selected_rows.front();
    }
    s.controls.push_back(std::move(c));
    previous = w.get();
  }
  return s;
}

std::vector<std::wstring> RenderDialog(const DialogState& s) {
  std::vector<std::wstring> out;
  out.push_back(L"== " + Plain(s.title) + L" ==");
  const auto& cs = s.controls;
  for (size_t i = 0; i < cs.size(); ++i) {
    const ControlState& c = cs[i];
    const ControlState* next = i + 1 < cs.size() ? &cs[i + 1] : nullptr;
    switch (c.kind) {
      case ControlKind::kStatic:
        if (next != nullptr && next->kind == ControlKind::kEtchedLine) {
          out.push_back(L"-- " + Plain(c.text) + L" " + std::wstring(20, L'-') + Flags(c));
          ++i;
        } else if (next != nullptr && !next->label.empty() && next->label == c.text) {
          // Shown with the control it labels.
        } else if (!c.text.empty()) {
          out.push_back(L"  " + Plain(c.text) + Flags(c));
        }
        break;
      case ControlKind::kEtchedLine:
        out.push_back(L"  " + std::wstring(24, L'-'));
        break;
      case ControlKind::kGroupBox:
        out.push_back(L"-- " + Plain(c.text) + L" " + std::wstring(20, L'-') + Flags(c));
        break;
      case ControlKind::kEdit: {
        std::wstring value =
            (c.style & ES_PASSWORD) != 0 ? std::wstring(c.text.size(), L'*') : c.text;
        out.push_back(Id(c) + Labelled(c) + L"[" + value + L"]" + Flags(c));
        break;
      }
      case ControlKind::kCheckBox: {
        const wchar_t* box = c.check == BST_CHECKED         ? L"[x] "
                             : c.check == BST_INDETERMINATE ? L"[?] "
                                                            : L"[ ] ";
        out.push_back(Id(c) + box + Plain(c.text) + Flags(c));
        break;
      }
      case ControlKind::kRadioButton:
        out.push_back(Id(c) + (c.check != 0 ? L"(*) " : L"( ) ") + Plain(c.text) + Flags(c));
        break;
      case ControlKind::kPushButton:
      case ControlKind::kDefPushButton:
        out.push_back(Id(c) + L"< " + Plain(c.text) + L" >" +
                      (c.kind == ControlKind::kDefPushButton ? L" (default)" : L"") + Flags(c));
        break;
      case ControlKind::kComboBox: {
        std::wstring line = Id(c) + Labelled(c) + L"{" + Plain(c.text) + L"}";
        if (c.items.empty()) {
          line += L" no choices";
        } else {
          line += L" choices:";
          for (size_t k = 0; k < c.items.size(); ++k) {
            line += win::Format(L" %d %s", static_cast<int>(k) + 1, Plain(c.items[k]).c_str());
            if (k + 1 < c.items.size()) line += L",";
          }
        }
        out.push_back(line + Flags(c));
        break;
      }
      case ControlKind::kListView:
        RenderList(c, out);
        break;
      case ControlKind::kProgressBar:
        out.push_back(Id(c) + Labelled(c) + Bar(c, 20) +
                      win::Format(L" %d of %d..%d", c.pos, c.range_low, c.range_high) + Flags(c));
        break;
      case ControlKind::kCustom: {
        std::wstring shown;
        bool link = false;
        for (const TextRun& run : c.painted) {
          shown += run.text;
          link = link || run.underline;
        }
        if (shown.empty()) shown = c.text;
        out.push_back(Id(c) + Plain(shown) + (link ? L" (link)" : L"") + Flags(c));
        break;
      }
    }
  }
  return out;
}

std::vector<HWND> OpenDialogs() {
  std::vector<HWND> out;
  for (Window* d : model::Dialogs()) {
    if (d->visible) out.push_back(d->hwnd);
  }
  return out;
}

HWND FindDialog(const std::wstring& title) {
  std::vector<HWND> open = OpenDialogs();
  for (auto it = open.rbegin(); it != open.rend(); ++it) {
    if (Find(*it)->text == title) return *it;
  }
  return nullptr;
}

}  // namespace gui
