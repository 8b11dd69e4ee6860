// The drawing-facing operations: entity data, walking, selection and
// coordinate conversion, served by the drawing database the host opened.
#include <algorithm>
#include <sstream>
#include <unordered_map>

#include "platform/console/console.h"
#include "platform/sds/host.h"
#include "platform/sds/runtime_state.h"
#include "platform/win/strings.h"
#include "platform/win/text.h"

void sds_host::Drawing::ReadEntityType(EntityId id, std::wstring& type) const {
  sds_resbuf* list = EntGet(id);
  type.clear();
  for (sds_resbuf* rb = list; rb != nullptr; rb = rb->rbnext) {
    if (rb->restype == 0 && rb->resval.rstring != nullptr) {
      type = rb->resval.rstring;
      break;
    }
  }
  sds_relrb(list);
}

namespace {

using sds_host::EntityId;
using sds_host::State;

constexpr long long kEntityTag = 1;
constexpr long long kSelectionTag = 2;

void SetEntityName(EntityId id, sds_name name) {
  name[0] = id;
  name[1] = kEntityTag;
}

EntityId EntityOf(const sds_name name) {
  if (name == nullptr || name[1] != kEntityTag) return 0;
  return name[0];
}

std::vector<EntityId>* SetOf(const sds_name name) {
  if (name == nullptr || name[1] != kSelectionTag) return nullptr;
  auto it = State().selection_sets.find(name[0]);
  return it == State().selection_sets.end() ? nullptr : &it->second;
}

// Answers lose only spaces and tabs, not every white space win::Trim takes.
constexpr std::wstring_view kAnswerBlanks = L" \t";

long long NewSet(std::vector<EntityId> members) {
  long long id = State().next_selection_set++;
  State().selection_sets[id] = std::move(members);
  return id;
}

bool ParsePoint(const std::wstring& text, sds_host::Point& p) {
  std::wstring t = text;
  std::replace(t.begin(), t.end(), L',', L' ');
  std::wistringstream in(t);
  std::wstring xs, ys, zs;
  if (!(in >> xs >> ys)) return false;
  in >> zs;
  auto number = [](const std::wstring& s, double& v) {
    // The whole word must be the number.
    if (s.empty() || s.find_first_not_of(L"+-.0123456789eE") != std::wstring::npos) return false;
    v = win::WcsToD(s.c_str());
    return true;
  };
  if (!number(xs, p.x) || !number(ys, p.y)) return false;
  p.z = 0;
  if (!zs.empty() && !number(zs, p.z)) return false;
  return true;
}

bool IsCancel(const std::wstring& answer) {
  return answer == L"\x1b" || win::ToUpper(answer) == L"*CANCEL*" ||
         win::ToUpper(answer) == L"CANCEL";
}

void ReadTypeOf(EntityId id, std::wstring& type) {
  sds_host::Drawing* d = sds_host::GetDrawing();
  if (d == nullptr) {
    type.clear();
  } else {
    d->ReadEntityType(id, type);
  }
}

// Evaluates a filter list of type tests joined by -4 operators against an
// entity type. Supports "<or" "or>", "<and" "and>" and "<not" "not>".
class FilterEval {
 public:
  FilterEval(const sds_resbuf* filter, const std::wstring& type) : rb_(filter), type_(type) {}

  bool Matches() {
    if (rb_ == nullptr) return true;
    bool all = true;
    while (rb_ != nullptr) all = Term() && all;
    return all;
  }

 private:
  bool Term() {
    const sds_resbuf* rb = rb_;
    rb_ = rb_->rbnext;
    if (rb->restype == -4 && rb->resval.rstring != nullptr) {
      std::wstring op = win::ToUpper(rb->resval.rstring);
      if (op == L"<OR") return Group(L"OR>", false);
      if (op == L"<AND") return Group(L"AND>", true);
      if (op == L"<NOT") return !Group(L"NOT>", true);
      return true;  // a stray closing operator
    }
    if ((rb->restype == RTDXF0 || rb->restype == 0) && rb->resval.rstring != nullptr) {
      return TypeMatches(rb->resval.rstring);
    }
    return true;  // tests on other groups are not needed by any caller
  }

  bool Group(const std::wstring& close, bool conjunction) {
    bool result = conjunction;
    while (rb_ != nullptr) {
      if (rb_->restype == -4 && rb_->resval.rstring != nullptr &&
          win::ToUpper(rb_->resval.rstring) == close) {
        rb_ = rb_->rbnext;
        break;
      }
      bool t = Term();
      result = conjunction ? (result && t) : (result || t);
    }
    return result;
  }

  // A type test is a comma-separated list of names, with * and ? wild cards.
  bool TypeMatches(const std::wstring& pattern) const {
    std::wstring p = win::ToUpper(pattern);
    size_t start = 0;
    while (start <= p.size()) {
      size_t comma = p.find(L',', start);
      std::wstring one =
          p.substr(start, comma == std::wstring::npos ? std::wstring::npos : comma - start);
      if (Wild(one, 0, win::ToUpper(type_), 0)) return true;
      if (comma == std::wstring::npos) break;
      start = comma + 1;
    }
    return false;
  }

  static bool Wild(const std::wstring& p, size_t i, const std::wstring& s, size_t j) {
    if (i == p.size()) return j == s.size();
    if (p[i] == L'*') {
      for (size_t k = j; k <= s.size(); ++k) {
        if (Wild(p, i + 1, s, k)) return true;
      }
      return false;
    }
    if (j == s.size()) return false;
    if (p[i] == L'?' || p[i] == s[j]) return Wild(p, i + 1, s, j + 1);
    return false;
  }

  const sds_resbuf* rb_;
  std::wstring type_;
};

// Asks for a point until one is given; false when the input ends or is cancelled.
bool AskPoint(const wchar_t* prompt, sds_host::Point& p) {
  for (;;) {
    std::wstring answer;
    if (!console::ReadLine(prompt, answer)) return false;
    answer = win::Trim(answer, kAnswerBlanks);
    if (answer.empty() || IsCancel(answer)) return false;
    if (ParsePoint(answer, p)) return true;
    console::Write(L"\nExpects a point x,y.");
  }
}

// One answer at "Select objects:"; adds what it names to the selection.
// Returns false when the answer is not understood.
bool SelectByAnswer(const std::wstring& answer, std::vector<EntityId>& picked) {
  sds_host::Drawing* d = sds_host::GetDrawing();
  std::wistringstream in(answer);
  std::wstring word;
  in >> word;
  std::wstring key = win::ToUpper(word);
  if (key == L"ALL") {
    auto all = d->SelectAll();
    picked.insert(picked.end(), all.begin(), all.end());
    return true;
  }
  if (key == L"W" || key == L"C") {
    std::wstring a, b;
    sds_host::Point p1, p2;
    if (!(in >> a)) {
      // W or C alone: the corners are asked for one by one.
      if (!AskPoint(L"\nSpecify first corner: ", p1) ||
          !AskPoint(L"\nSpecify opposite corner: ", p2)) {
        return false;
      }
    } else if (!(in >> b) || !ParsePoint(a, p1) || !ParsePoint(b, p2)) {
      return false;
    }
    auto found = d->SelectWindow(p1, p2, key == L"C");
    picked.insert(picked.end(), found.begin(), found.end());
    return true;
  }
  // Handles, one or more.
  std::vector<EntityId> found;
  std::wistringstream handles(answer);
  while (handles >> word) {
    EntityId id = d->SelectHandle(word);
    if (id == 0) return false;
    found.push_back(id);
  }
  picked.insert(picked.end(), found.begin(), found.end());
  return !found.empty();
}

}  // namespace

extern "C" {

struct sds_resbuf* sds_entget(const sds_name entity) {
  sds_host::Drawing* d = sds_host::GetDrawing();
  EntityId id = EntityOf(entity);
  if (d == nullptr || id == 0) return nullptr;
  return d->EntGet(id);
}

int sds_entnext(const sds_name entity, sds_name next) {
  sds_host::Drawing* d = sds_host::GetDrawing();
  if (d == nullptr || next == nullptr) return RTERROR;
  EntityId from = (entity == nullptr || sds_name_nil(entity)) ? 0 : EntityOf(entity);
  if (entity != nullptr && !sds_name_nil(entity) && from == 0) return RTERROR;
  EntityId id = d->NextEntity(from);
  if (id == 0) return RTERROR;
  SetEntityName(id, next);
  return RTNORM;
}

int sds_tblobjname(const wchar_t* table, const wchar_t* name, sds_name entity) {
  sds_host::Drawing* d = sds_host::GetDrawing();
  if (d == nullptr || table == nullptr || name == nullptr || entity == nullptr) return RTERROR;
  EntityId id = d->FindTableObject(table, name);
  if (id == 0) return RTERROR;
  SetEntityName(id, entity);
  return RTNORM;
}

int sds_entsel(const wchar_t* prompt, sds_name entity, sds_point pickPoint) {
  sds_host::Drawing* d = sds_host::GetDrawing();
  if (d == nullptr || entity == nullptr) return RTERROR;
  std::wstring text = prompt ? prompt : L"\nSelect object: ";
  for (;;) {
    std::wstring answer;
    if (!console::ReadLine(text, answer)) return RTCAN;
    answer = win::Trim(answer, kAnswerBlanks);
    if (answer.empty()) return RTERROR;
    if (IsCancel(answer)) return RTCAN;
    sds_host::Point p;
    EntityId id = 0;
    if (ParsePoint(answer, p)) {
      id = d->PickAt(p);
    } else {
      id = d->FindByHandle(answer);
    }
    if (id != 0) {
      SetEntityName(id, entity);
      if (pickPoint != nullptr) {
        pickPoint[0] = p.x;
        pickPoint[1] = p.y;
        pickPoint[2] = p.z;
      }
      return RTNORM;
    }
    console::Write(L"\nNothing found there. Give an entity handle or a point x,y.");
  }
}

int sds_ssget(const wchar_t* mode, const void*, const void*, const struct sds_resbuf* filter,
              sds_name selection) {
  sds_host::Drawing* d = sds_host::GetDrawing();
  if (d == nullptr || selection == nullptr) return RTERROR;
  if (mode != nullptr && *mode != 0) {
    std::wstring m = win::ToUpper(mode);
    if (m != L"X") return RTERROR;  // only the whole-drawing mode is served
  }
  std::vector<EntityId> picked;
  if (mode != nullptr && win::ToUpper(mode) == L"X") {
    picked = d->SelectAll();
  } else {
    for (;;) {
      std::wstring answer;
      if (!console::ReadLine(L"\nSelect objects: ", answer)) break;
      answer = win::Trim(answer, kAnswerBlanks);
      if (answer.empty()) break;
      if (IsCancel(answer)) return RTCAN;
      size_t before = picked.size();
      if (!SelectByAnswer(answer, picked)) {
        console::Write(
            L"\nExpects ALL, W x1,y1 x2,y2 (window), C x1,y1 x2,y2 (crossing), W or C alone "
            L"(corners asked for) or entity handles.");
        continue;
      }
      console::Write(win::Format(L"%d found", static_cast<int>(picked.size() - before)));
    }
  }
  // Keep each entity once, in the order it was first picked, and apply the filter.
  // The filter tests only the type, so it is judged once per type.
  // Repeats are found by sorting positions by id: a hash set cost a node per entity. A whole
  // drawing comes in ascending ids already, where repeats stand side by side.
  std::vector<bool> repeat(picked.size());
  if (std::ranges::is_sorted(picked)) {
    for (size_t k = 1; k < picked.size(); ++k) repeat[k] = picked[k] == picked[k - 1];
  } else {
    std::vector<size_t> order(picked.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::ranges::stable_sort(order, {}, [&](size_t i) { return picked[i]; });
    for (size_t k = 1; k < order.size(); ++k) {
      repeat[order[k]] = picked[order[k]] == picked[order[k - 1]];
    }
  }
  // Members are kept in place: a second array of a million entities cost its pages afresh.
  size_t kept = 0;
  std::unordered_map<std::wstring, bool> verdicts;
  std::wstring type;
  // Runs of one type are common (a table's lines, then its texts): the last verdict is kept.
  std::wstring lastType;
  bool lastVerdict = false, haveLast = false;
  for (size_t i = 0; i < picked.size(); ++i) {
    if (repeat[i]) continue;
    const EntityId id = picked[i];
    ReadTypeOf(id, type);
    if (!haveLast || type != lastType) {
      auto verdict = verdicts.find(type);
      if (verdict == verdicts.end()) {
        const bool matches = FilterEval(filter, type).Matches();
        verdict = verdicts.emplace(type, matches).first;
      }
      lastType = type;
      lastVerdict = verdict->second;
      haveLast = true;
    }
    if (!lastVerdict) continue;
    picked[kept++] = id;
  }
  if (kept == 0) return RTERROR;
  picked.resize(kept);
  selection[0] = NewSet(std::move(picked));
  selection[1] = kSelectionTag;
  return RTNORM;
}

int sds_ssadd(const sds_name entity, const sds_name selection, sds_name result) {
  if (result == nullptr) return RTERROR;
  std::vector<EntityId> members;
  if (selection != nullptr && !sds_name_nil(selection)) {
    std::vector<EntityId>* set = SetOf(selection);
    if (set == nullptr) return RTERROR;
    members = *set;
  }
  if (entity != nullptr && !sds_name_nil(entity)) {
    EntityId id = EntityOf(entity);
    if (id == 0) return RTERROR;
    if (std::find(members.begin(), members.end(), id) == members.end()) members.push_back(id);
  }
  if (selection != nullptr && !sds_name_nil(selection)) {
    *SetOf(selection) = members;
    sds_name_set(selection, result);
    return RTNORM;
  }
  result[0] = NewSet(std::move(members));
  result[1] = kSelectionTag;
  return RTNORM;
}

int sds_sslength(const sds_name selection, long* length) {
  std::vector<EntityId>* set = SetOf(selection);
  if (set == nullptr || length == nullptr) return RTERROR;
  *length = static_cast<long>(set->size());
  return RTNORM;
}

int sds_ssname(const sds_name selection, long index, sds_name entity) {
  std::vector<EntityId>* set = SetOf(selection);
  if (set == nullptr || entity == nullptr || index < 0 ||
      static_cast<size_t>(index) >= set->size()) {
    return RTERROR;
  }
  SetEntityName((*set)[index], entity);
  return RTNORM;
}

int sds_ssfree(const sds_name selection) {
  if (selection == nullptr || selection[1] != kSelectionTag) return RTERROR;
  return State().selection_sets.erase(selection[0]) == 1 ? RTNORM : RTERROR;
}

int sds_trans(const sds_point point, const struct sds_resbuf* from, const struct sds_resbuf* to,
              int displacement, sds_point result) {
  if (point == nullptr || from == nullptr || to == nullptr || result == nullptr) return RTERROR;
  if (from->restype != RTSHORT || to->restype != RTSHORT) return RTERROR;
  int f = from->resval.rint, t = to->resval.rint;
  if ((f != 0 && f != 1) || (t != 0 && t != 1)) return RTERROR;
  sds_host::Point in{point[0], point[1], point[2]}, out = in;
  if (f != t) {
    sds_host::Drawing* d = sds_host::GetDrawing();
    // Without a drawing the user system is the world.
    if (d != nullptr && !d->Trans(in, f, t, displacement != 0, out)) return RTERROR;
  }
  result[0] = out.x;
  result[1] = out.y;
  result[2] = out.z;
  return RTNORM;
}

int sds_textbox(const struct sds_resbuf* entity, sds_point lowerLeft, sds_point upperRight) {
  sds_host::Drawing* d = sds_host::GetDrawing();
  if (d == nullptr || entity == nullptr || lowerLeft == nullptr || upperRight == nullptr) {
    return RTERROR;
  }
  sds_host::Point ll, ur;
  if (!d->TextBox(entity, ll, ur)) return RTERROR;
  lowerLeft[0] = ll.x;
  lowerLeft[1] = ll.y;
  lowerLeft[2] = ll.z;
  upperRight[0] = ur.x;
  upperRight[1] = ur.y;
  upperRight[2] = ur.z;
  return RTNORM;
}

}  // extern "C"
