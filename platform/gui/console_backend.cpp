#include "platform/gui/console_backend.h"

#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "platform/console/console.h"
#include "platform/gui/model.h"
#include "platform/win/text.h"

namespace gui {

namespace {

// Accelerator marks are for keyboards; the form shows the plain text.
std::wstring Plain(const std::wstring& text) {
  std::wstring out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'&') {
      if (i + 1 == text.size() || text[i + 1] != L'&') continue;
      ++i;
    }
    out.push_back(text[i] == L'\n' ? L' ' : text[i]);
  }
  return out;
}

std::wstring Flags(const ControlState& c) {
  return std::wstring(c.visible ? L"" : L" (hidden)") + (c.enabled ? L"" : L" (disabled)") +
         (c.visible && !c.in_view ? L" (outside the window)" : L"");
}

// The id and the label a value follows.
std::wstring Head(const ControlState& c) {
  return win::Format(L"  [%d] ", c.id) + (c.label.empty() ? L"" : Plain(c.label) + L" ");
}

std::wstring Bar(const ControlState& c, int width) {
  const long long span = static_cast<long long>(c.range_high) - c.range_low;
  const long long filled =
      span > 0 ? std::clamp((static_cast<long long>(c.pos) - c.range_low) * width / span, 0LL,
                            static_cast<long long>(width))
               : 0;
  return L"[" + std::wstring(static_cast<size_t>(filled), L'#') +
         std::wstring(static_cast<size_t>(width - filled), L'.') + L"]";
}

void RenderList(const ControlState& c, std::vector<std::wstring>& out) {
  out.push_back(Head(c) + win::Format(L"list of %d rows", static_cast<int>(c.rows.size())) +
                Flags(c));
  if (c.columns.empty()) return;
  std::wstring columns = L"        |";
  for (const ListColumnState& col : c.columns) columns += L" " + Plain(col.heading) + L" |";
  out.push_back(columns);
  for (size_t i = 0; i < c.rows.size(); ++i) {
    const bool selected = std::ranges::count(c.selected_rows, static_cast<int>(i)) != 0;
    std::wstring row = win::Format(L"   %c%3d |", selected ? L'>' : L' ', static_cast<int>(i) + 1);
    for (const std::wstring& cell : c.rows[i]) row += L" " + Plain(cell) + L" |";
    out.push_back(row);
  }
}

// What follows the id and label of a control shown in one line.
std::wstring Value(const ControlState& c) {
  switch (c.kind) {
    case ControlKind::kEdit:
      return L"[" + ((c.style & ES_PASSWORD) != 0 ? std::wstring(c.text.size(), L'*') : c.text) +
             L"]";
    case ControlKind::kCheckBox:
      return (c.check == BST_CHECKED         ? L"[x] "
              : c.check == BST_INDETERMINATE ? L"[?] "
                                             : L"[ ] ") +
             Plain(c.text);
    case ControlKind::kRadioButton:
      return (c.check != 0 ? L"(*) " : L"( ) ") + Plain(c.text);
    case ControlKind::kComboBox: {
      std::wstring line =
          L"{" + Plain(c.text) + L"}" + (c.items.empty() ? L" no choices" : L" choices:");
      for (size_t k = 0; k < c.items.size(); ++k) {
        line += win::Format(L" %d %s", static_cast<int>(k) + 1, Plain(c.items[k]).c_str()) +
                (k + 1 < c.items.size() ? L"," : L"");
      }
      return line;
    }
    case ControlKind::kProgressBar:
      return Bar(c, 20) + win::Format(L" %d of %d..%d", c.pos, c.range_low, c.range_high);
    case ControlKind::kCustom: {
      std::wstring shown;
      bool link = false;
      for (const TextRun& run : c.painted) {
        shown += run.text;
        link = link || run.underline;
      }
      return Plain(shown.empty() ? c.text : shown) + (link ? L" (link)" : L"");
    }
    default:  // the push buttons
      return L"< " + Plain(c.text) + L" >" +
             (c.kind == ControlKind::kDefPushButton ? L" (default)" : L"");
  }
}

// The text form: the title, then a line or more a control.
std::vector<std::wstring> Render(const DialogState& s) {
  std::vector<std::wstring> out{L"== " + Plain(s.title) + L" =="};
  const auto& cs = s.controls;
  for (size_t i = 0; i < cs.size(); ++i) {
    const ControlState& c = cs[i];
    const ControlState* next = i + 1 < cs.size() ? &cs[i + 1] : nullptr;
    const std::wstring heading = L"-- " + Plain(c.text) + L" " + std::wstring(20, L'-') + Flags(c);
    switch (c.kind) {
      case ControlKind::kStatic:
        if (next != nullptr && next->kind == ControlKind::kEtchedLine) {
          out.push_back(heading);
          ++i;
        } else if (!c.text.empty() && (next == nullptr || next->label != c.text)) {
          // A label is shown with the control it labels.
          out.push_back(L"  " + Plain(c.text) + Flags(c));
        }
        break;
      case ControlKind::kEtchedLine:
        out.push_back(L"  " + std::wstring(24, L'-'));
        break;
      case ControlKind::kGroupBox:
        out.push_back(heading);
        break;
      case ControlKind::kListView:
        RenderList(c, out);
        break;
      default:
        out.push_back(Head(c) + Value(c) + Flags(c));
    }
  }
  return out;
}

std::wstring Unquote(const std::wstring& s) {
  if (s.size() >= 2 && s.front() == L'"' && s.back() == L'"') return s.substr(1, s.size() - 2);
  return s;
}

bool ParseId(const std::wstring& token, int& id) {
  const size_t sign = token.starts_with(L'-') ? 1 : 0;
  if (token.size() <= sign || token.size() > 9 ||
      token.find_first_not_of(L"0123456789", sign) != std::wstring::npos) {
    return false;
  }
  id = win::WToI(token);
  return true;
}

const wchar_t* const kHelp[] = {
    L"  set ID TEXT    type TEXT into edit box ID (\"set ID\" empties it)",
    L"  check ID       tick check box ID, or choose radio button ID",
    L"  uncheck ID     clear check box ID",
    L"  pick ID ITEM   choose ITEM (its text, or #N for the N-th) in list ID",
    L"  press ID       press button ID",
    L"  ok / cancel    the dialog's OK / Cancel",
    L"  show           print the whole form again",
};

// The lines of `now` that `before` did not show, each ended.
std::wstring Changes(std::vector<std::wstring> before, const std::vector<std::wstring>& now) {
  std::wstring out;
  for (const std::wstring& line : now) {
    if (auto it = std::ranges::find(before, line); it != before.end()) {
      before.erase(it);
    } else {
      out += line + L"\n";
    }
  }
  return out;
}

const wchar_t* AnswerName(int answer) {
  return answer == IDYES ? L"Yes" : answer == IDNO ? L"No" : answer == IDOK ? L"OK" : L"Cancel";
}

const wchar_t* IconName(UINT type) {
  const UINT icon = type & MB_ICONMASK;
  return icon == MB_ICONERROR         ? L" (error)"
         : icon == MB_ICONQUESTION    ? L" (question)"
         : icon == MB_ICONWARNING     ? L" (warning)"
         : icon == MB_ICONINFORMATION ? L" (information)"
                                      : L"";
}

bool Apply(DialogDriver& d, const ConsoleAction& a) {
  switch (a.kind) {
    case ConsoleAction::kSet:
      return d.Type(a.id, a.text);
    case ConsoleAction::kCheck:
      return d.SetCheck(a.id, true);
    case ConsoleAction::kUncheck:
      return d.SetCheck(a.id, false);
    case ConsoleAction::kPick: {
      int n = 0;
      if (a.text.size() > 1 && a.text[0] == L'#' && ParseId(a.text.substr(1), n)) {
        return d.PickIndex(a.id, n - 1);
      }
      return d.Pick(a.id, a.text);
    }
    case ConsoleAction::kPress:
      return d.Press(a.id);
    case ConsoleAction::kOk:
      return d.PressEnter();
    case ConsoleAction::kCancel:
      return d.PressEscape();
    default:
      return false;
  }
}

// Ctrl-C while a progress window is up cancels it instead of ending the
// program.
volatile sig_atomic_t g_interrupted = 0;
struct sigaction g_previous_sigint {};
void OnInterrupt(int) { g_interrupted = 1; }

// "Table Size: 2 rows X 3 columns [######........] 25%": the texts before
// the last one, the bar, and the last text (the percentage).
std::wstring LiveLine(const DialogState& state) {
  std::vector<std::wstring> texts;
  const ControlState* bar = nullptr;
  for (const ControlState& c : state.controls) {
    if (!c.visible) continue;
    if (c.kind == ControlKind::kStatic && !win::Trim(c.text).empty())
      texts.push_back(win::Trim(c.text));
    if (c.kind == ControlKind::kProgressBar && bar == nullptr) bar = &c;
  }
  std::wstring line;
  for (size_t i = 0; i + 1 < texts.size(); ++i) line += texts[i] + L" ";
  if (bar != nullptr) line += Bar(*bar, 30);
  if (!texts.empty()) line += L" " + texts.back();
  return line;
}

bool LineWaiting() {
  pollfd p{STDIN_FILENO, POLLIN, 0};
  return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLIN | POLLHUP)) != 0;
}

}  // namespace

ConsoleAction ParseConsoleAction(const std::wstring& raw) {
  using A = ConsoleAction;
  // What follows the word: nothing, an id, an id and any text, an id and some text.
  enum Args { kNothing, kId, kIdText, kIdSomeText };
  static const struct {
    const wchar_t* word;
    A::Kind kind;
    Args args;
  } kWords[] = {{L"ok", A::kOk, kNothing},      {L"cancel", A::kCancel, kNothing},
                {L"show", A::kShow, kNothing},  {L"help", A::kHelp, kNothing},
                {L"?", A::kHelp, kNothing},     {L"check", A::kCheck, kId},
                {L"uncheck", A::kUncheck, kId}, {L"press", A::kPress, kId},
                {L"set", A::kSet, kIdText},     {L"pick", A::kPick, kIdSomeText}};
  ConsoleAction a;
  const std::wstring line = win::Trim(raw);
  const size_t space = line.find_first_of(L" \t");
  const std::wstring word = win::ToLower(line.substr(0, space));
  const std::wstring rest = space == std::wstring::npos ? L"" : line.substr(space + 1);
  const size_t space2 = rest.find_first_of(L" \t");
  const std::wstring tail = space2 == std::wstring::npos ? L"" : rest.substr(space2 + 1);
  for (const auto& w : kWords) {
    if (word != w.word) continue;
    const std::wstring text = w.args >= kIdText ? Unquote(tail) : L"";
    const bool fits = w.args == kNothing ? rest.empty()
                                         : ParseId(rest.substr(0, space2), a.id) &&
                                               (w.args == kIdText ||
                                                (w.args == kId ? tail.empty() : !text.empty()));
    if (fits) a.kind = w.kind, a.text = text;
    break;
  }
  return a;
}

void ConsoleBackend::Print(HWND dialog, bool whole) {
  std::vector<std::wstring> now = Render(ReadDialog(dialog));
  const std::wstring out = Changes(whole ? std::vector<std::wstring>{} : shown_[dialog], now);
  if (whole || !out.empty()) console::Write(whole ? L"\n" + out : out);
  shown_[dialog] = std::move(now);
}

void ConsoleBackend::DrawLive(const DialogState& state, bool force) {
  live_drawn_ = std::chrono::steady_clock::now();
  std::wstring line = LiveLine(state);
  winsize size{};
  const int columns = ::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 ? size.ws_col : 0;
  const size_t width = static_cast<size_t>(std::max(10, (columns > 0 ? columns : 80) - 1));
  if (line.size() > width) line.resize(width);
  if (line == live_line_ && !force) return;
  live_line_ = line;
  console::Write(L"\r" + line + L"\x1b[K");
}

void ConsoleBackend::StopLive() {
  SuspendKeys();
  ::sigaction(SIGINT, &g_previous_sigint, nullptr);
  g_interrupted = 0;
  live_ = nullptr;
  live_line_.clear();
}

void ConsoleBackend::SuspendKeys() {
  if (!keys_raw_) return;
  ::tcsetattr(STDIN_FILENO, TCSANOW, &saved_terminal_);
  keys_raw_ = false;
}

void ConsoleBackend::ResumeKeys() {
  if (keys_raw_ || live_ == nullptr || !::isatty(STDIN_FILENO)) return;
  if (::tcgetattr(STDIN_FILENO, &saved_terminal_) != 0) return;
  termios keys = saved_terminal_;
  keys.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
  keys.c_cc[VMIN] = 0;
  keys.c_cc[VTIME] = 0;
  if (::tcsetattr(STDIN_FILENO, TCSANOW, &keys) == 0) keys_raw_ = true;
}

void ConsoleBackend::DialogShown(DialogDriver& dialog) {
  const model::Window* w = model::Find(dialog.hwnd());
  if (interactive_ && live_ == nullptr && ::isatty(STDOUT_FILENO) && !w->modal &&
      std::ranges::any_of(w->controls,
                          [](const auto& c) { return c->kind == ControlKind::kProgressBar; })) {
    live_ = dialog.hwnd();
    live_line_.clear();
    g_interrupted = 0;
    struct sigaction action {};
    action.sa_handler = &OnInterrupt;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, &g_previous_sigint);
    ResumeKeys();
    console::Write(L"\n== " + w->text + L" == (Esc or Ctrl-C cancels)\n");
    DrawLive(ReadDialog(live_), true);
    return;
  }
  Print(dialog.hwnd(), true);
  if (interactive_ && w->modal) console::Write(L"  (type help for the actions)\n");
}

bool ConsoleBackend::Act(DialogDriver& dialog) {
  HWND h = dialog.hwnd();
  const std::wstring title = ReadDialog(h).title;
  for (;;) {
    std::wstring line;
    if (!console::ReadLine(title + L"> ", line)) {
      console::Write(L"  (end of input: " + title + L" is cancelled)\n");
      return false;
    }
    if (win::Trim(line).empty()) {
      if (interactive_) console::Write(L"  (type help for the actions)\n");
      continue;
    }
    ConsoleAction action = ParseConsoleAction(line);
    switch (action.kind) {
      case ConsoleAction::kNone:
        if (interactive_) {
          console::Write(L"  Not understood: " + win::Trim(line) +
                         L" (type help for the actions)\n");
          continue;
        }
        console::Write(L"  Not a dialog action: " + win::Trim(line) + L"; " + title +
                       L" is cancelled.\n");
        return false;
      case ConsoleAction::kShow:
        Print(h, true);
        continue;
      case ConsoleAction::kHelp:
        for (const wchar_t* l : kHelp) console::Write(std::wstring(l) + L"\n");
        continue;
      default:
        break;
    }
    if (!Apply(dialog, action)) {
      console::Write(L"  " + dialog.problem() + L"\n");
      continue;
    }
    if (dialog.IsOpen()) Print(h, false);
    return true;
  }
}

void ConsoleBackend::DialogClosed(const DialogState& final_state, int result) {
  const std::wstring& title = final_state.title;
  if (live_ != nullptr && final_state.hwnd == live_) {
    DrawLive(final_state, true);
    StopLive();
    console::Write(L"\n== " + title + L" closed ==\n");
    return;
  }
  std::wstring out;
  if (auto it = shown_.find(final_state.hwnd); it != shown_.end()) {
    // A modeless window's last state is shown with its end.
    if (!final_state.modal) out = Changes(it->second, Render(final_state));
    shown_.erase(it);
  }
  const std::wstring how = !final_state.modal   ? L""
                           : result == IDOK     ? L" with OK"
                           : result == IDCANCEL ? L" with Cancel"
                                                : L" with " + std::to_wstring(result);
  console::Write(out + L"== " + title + L" closed" + how + L" ==\n");
}

void ConsoleBackend::Idle() {
  if (!interactive_) return;
  if (live_ != nullptr) {
    if (model::Find(live_) == nullptr) {
      StopLive();
    } else {
      // Reading the window costs more than the pump; the line is redrawn
      // a few times a second at most.
      if (std::chrono::steady_clock::now() - live_drawn_ >= std::chrono::milliseconds(100)) {
        DrawLive(ReadDialog(live_), false);
      }
      bool cancel = g_interrupted != 0;
      g_interrupted = 0;
      while (keys_raw_ && LineWaiting()) {
        char keys[64];
        ssize_t n = ::read(STDIN_FILENO, keys, sizeof keys);
        if (n <= 0) break;
        cancel = cancel || std::memchr(keys, 0x1B, static_cast<size_t>(n)) != nullptr;
      }
      if (cancel) DialogDriver(live_).PressEscape();
      return;
    }
  }
  std::vector<HWND> open = OpenDialogs();
  std::erase_if(open, [](HWND h) { return model::Find(h)->modal || !model::Find(h)->announced; });
  if (open.empty()) return;
  auto now = std::chrono::steady_clock::now();
  if (now - last_refresh_ >= std::chrono::seconds(1)) {
    last_refresh_ = now;
    for (HWND h : open) Print(h, false);
  }
  if (!LineWaiting()) return;
  std::wstring line;
  if (!console::ReadLine(L"", line)) return;
  HWND target = open.back();
  ConsoleAction action = ParseConsoleAction(line);
  DialogDriver driver(target);
  switch (action.kind) {
    case ConsoleAction::kCancel:
    case ConsoleAction::kPress:
      if (!Apply(driver, action)) console::Write(L"  " + driver.problem() + L"\n");
      break;
    case ConsoleAction::kShow:
      Print(target, true);
      break;
    default:
      console::Write(L"  " + ReadDialog(target).title +
                     L" is working: type cancel to stop it, or show.\n");
      break;
  }
}

int ConsoleBackend::AnswerMessageBox(const MessageBoxRequest& box) {
  // A box over a progress window is answered as a line, as any other.
  if (live_ != nullptr) {
    SuspendKeys();
    live_line_.clear();
    console::Write(L"\n");
  }
  const int answer = AskBox(box);
  ResumeKeys();
  return answer;
}

int ConsoleBackend::AskBox(const MessageBoxRequest& box) {
  static const struct {
    UINT type;
    const wchar_t* buttons;
    const wchar_t* prompt;
  } kBoxes[] = {{MB_OKCANCEL, L"  [ OK ] [ Cancel ]\n", L"ok or cancel? "},
                {MB_YESNO, L"  [ Yes ] [ No ]\n", L"yes or no? "},
                {MB_YESNOCANCEL, L"  [ Yes ] [ No ] [ Cancel ]\n", L"yes, no or cancel? "},
                {MB_OK, L"  [ OK ]\n", L"Press Enter (ok): "}};
  static const struct {
    const wchar_t* word;
    int answer;
  } kWords[] = {{L"ok", IDOK}, {L"cancel", IDCANCEL}, {L"yes", IDYES},
                {L"y", IDYES}, {L"no", IDNO},         {L"n", IDNO}};
  const UINT type = box.type & MB_TYPEMASK;
  const auto* kind = &kBoxes[3];
  for (const auto& k : kBoxes) kind = k.type == type ? &k : kind;
  std::wstring out = L"\n*** " + box.caption + IconName(box.type) + L" ***\n  ";
  for (wchar_t ch : box.text) out += ch == L'\n' ? std::wstring(L"\n  ") : std::wstring(1, ch);
  console::Write(out + L"\n" + kind->buttons);
  if (type == MB_OK && !interactive_) {
    console::Write(L"  -> OK\n");
    return IDOK;
  }
  const int safest = SafestAnswer(box.type);
  for (;;) {
    std::wstring line;
    if (!console::ReadLine(kind->prompt, line)) {
      console::Write(std::wstring(L"  -> ") + AnswerName(safest) + L" (end of input)\n");
      return safest;
    }
    const std::wstring word = win::ToLower(win::Trim(line));
    int answer = word.empty() && type == MB_OK ? IDOK : 0;
    for (const auto& w : kWords) answer = word == w.word ? w.answer : answer;
    if (IsValidAnswer(box.type, answer)) {
      console::Write(std::wstring(L"  -> ") + AnswerName(answer) + L"\n");
      return answer;
    }
    if (!interactive_) {
      console::Write(L"  Not an answer to this box: " + win::Trim(line) + L"; it is answered " +
                     AnswerName(safest) + L".\n");
      return safest;
    }
    console::Write(L"  Answer with one of the buttons.\n");
  }
}

bool ConsoleBackend::AnswerFileDialog(const FileDialogRequest& request, FileDialogAnswer& answer) {
  std::wstring out = L"\n*** " + request.title + L" ***\n";
  std::wstring folder = request.initial_dir;
  if (folder.empty()) {
    std::error_code ec;
    folder = win::Utf8ToWide(std::filesystem::current_path(ec).string());
  }
  out += L"  Folder: " + folder + L"\n";
  if (!request.filters.empty()) {
    out += L"  Files of type:";
    for (size_t i = 0; i < request.filters.size(); ++i) {
      out += (i == 0 ? L" " : L" | ") + request.filters[i].first;
    }
    out += L"\n";
  }
  if (!request.default_ext.empty()) out += L"  Default extension: ." + request.default_ext + L"\n";
  if (!request.initial_name.empty()) out += L"  Suggested name: " + request.initial_name + L"\n";
  bool read_only_box = (request.flags & OFN_HIDEREADONLY) == 0;
  if (read_only_box) out += L"  Open as read-only: answer \"readonly NAME\" to tick it\n";
  console::Write(out);
  std::wstring line;
  if (!console::ReadLine(L"File name (or cancel): ", line)) {
    console::Write(L"  -> Cancel (end of input)\n");
    return false;
  }
  std::wstring typed = win::Trim(line);
  if (typed.empty() || win::ToLower(typed) == L"cancel") {
    console::Write(L"  -> Cancel\n");
    return false;
  }
  if (read_only_box && win::ToLower(typed.substr(0, 9)) == L"readonly ") {
    answer.read_only = true;
    typed = win::Trim(typed.substr(9));
  }
  answer.path = Unquote(typed);
  return true;
}

void UseConsoleBackend(bool interactive) {
  static ConsoleBackend terminal(true), script(false);
  SetBackend(interactive ? &terminal : &script);
}

}  // namespace gui
