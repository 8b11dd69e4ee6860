#include "platform/dxf/drawing.h"

#include "platform/dxf/ascii.h"

namespace gm::dxf {

// A big drawing holds hundreds of thousands of entities; keep each small.
static_assert(sizeof(void*) != 8 || sizeof(Entity) <= 48);

namespace {

template <typename T>
const T* FindByName(const std::vector<T>& items, std::wstring_view name) {
  for (const T& item : items) {
    if (NamesEqual(item.name, name)) return &item;
  }
  return nullptr;
}

}  // namespace

bool NamesEqual(std::wstring_view a, std::wstring_view b) { return EqualsIgnoringAsciiCase(a, b); }

bool Entity::First(int code, GroupView* view) const {
  GroupList::Cursor cursor(groups);
  while (cursor.Next(view)) {
    if (view->code == code) return true;
  }
  return false;
}

std::optional<Group> Entity::Find(int code) const {
  for (auto it = groups.begin(); it != groups.end(); ++it) {
    if (it.code() == code) return *it;
  }
  return std::nullopt;
}

bool Entity::Has(int code) const {
  GroupView v;
  return First(code, &v);
}

std::wstring Entity::Text(int code, std::wstring_view fallback) const {
  GroupView v;
  if (!First(code, &v) || v.type != GroupType::kString) return std::wstring(fallback);
  return v.is_handle ? FormatHandle(v.handle) : std::wstring(v.text);
}

double Entity::Real(int code, double fallback) const {
  GroupView v;
  if (!First(code, &v)) return fallback;
  if (v.type == GroupType::kDouble) return v.real;
  return IsIntegerType(v.type) ? static_cast<double>(v.integer) : fallback;
}

std::int64_t Entity::Integer(int code, std::int64_t fallback) const {
  GroupView v;
  return First(code, &v) && IsIntegerType(v.type) ? v.integer : fallback;
}

Point3 Entity::PointAt(int code, Point3 fallback) const {
  GroupView v;
  return First(code, &v) && v.type == GroupType::kPoint ? v.point : fallback;
}

const HeaderVariable* Drawing::FindHeader(std::string_view name) const {
  for (const HeaderVariable& v : header) {
    if (EqualsIgnoringAsciiCase<char>(v.name, name)) return &v;
  }
  return nullptr;
}

const Group* Drawing::HeaderValue(std::string_view name) const {
  const HeaderVariable* v = FindHeader(name);
  return v != nullptr && !v->groups.empty() ? &v->groups.front() : nullptr;
}

std::string Drawing::AcadVersion() const {
  const Group* g = HeaderValue("$ACADVER");
  if (g == nullptr || !g->is_text() || g->text().empty()) return "AC1009";
  std::string out;
  for (const wchar_t c : g->text()) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

std::wstring Drawing::CodePage() const {
  const Group* g = HeaderValue("$DWGCODEPAGE");
  return g != nullptr ? g->text() : std::wstring();
}

namespace {
Point3 HeaderPoint(const Drawing& d, std::string_view name, Point3 fallback) {
  const Group* g = d.HeaderValue(name);
  return g != nullptr && g->type() == GroupType::kPoint ? g->point() : fallback;
}
std::optional<Point3> OptionalHeaderPoint(const Drawing& d, std::string_view name) {
  const Group* g = d.HeaderValue(name);
  if (g == nullptr || g->type() != GroupType::kPoint) return std::nullopt;
  return g->point();
}
}  // namespace

Point3 Drawing::InsBase() const { return HeaderPoint(*this, "$INSBASE", {}); }
Point3 Drawing::UcsOrg() const { return HeaderPoint(*this, "$UCSORG", {}); }
Point3 Drawing::UcsXDir() const { return HeaderPoint(*this, "$UCSXDIR", {1, 0, 0}); }
Point3 Drawing::UcsYDir() const { return HeaderPoint(*this, "$UCSYDIR", {0, 1, 0}); }
std::optional<Point3> Drawing::ExtMin() const { return OptionalHeaderPoint(*this, "$EXTMIN"); }
std::optional<Point3> Drawing::ExtMax() const { return OptionalHeaderPoint(*this, "$EXTMAX"); }

const SymbolTable* Drawing::FindTable(std::string_view name) const {
  for (const SymbolTable& t : tables) {
    if (EqualsIgnoringAsciiCase<char>(t.name, name)) return &t;
  }
  return nullptr;
}

const TextStyle* Drawing::FindStyle(std::wstring_view name) const {
  return FindByName(styles, name);
}
const UcsEntry* Drawing::FindUcs(std::wstring_view name) const {
  return FindByName(ucs_entries, name);
}
const BlockRecord* Drawing::FindBlockRecord(std::wstring_view name) const {
  return FindByName(block_records, name);
}
const Layer* Drawing::FindLayer(std::wstring_view name) const { return FindByName(layers, name); }
const Block* Drawing::FindBlock(std::wstring_view name) const { return FindByName(blocks, name); }

}  // namespace gm::dxf
