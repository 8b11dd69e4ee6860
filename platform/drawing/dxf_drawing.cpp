#include "platform/drawing/dxf_drawing.h"

#include <algorithm>
#include <bitset>
#include <cmath>
#include <cstring>
#include <cwchar>
#include <limits>
#include <optional>

#include "platform/fonts/mtext_layout.h"
#include "platform/fonts/text_metrics.h"
#include "platform/win/strings.h"

namespace gm::drawing {

namespace {

using dxf::Group;
using dxf::GroupType;
using dxf::Point3;
using sds_host::EntityId;

// Off layers have a negative colour; frozen ones flag 1.
bool LayerShown(const dxf::Layer& layer) { return layer.colour >= 0 && (layer.flags & 1) == 0; }

constexpr double kPi = 3.14159265358979323846;
constexpr double kDegrees = kPi / 180.0;

Point3 Sub(Point3 a, Point3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
double Dot(Point3 a, Point3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Point3 Cross(Point3 a, Point3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
Point3 Unit(Point3 a, Point3 fallback) {
  double n = std::sqrt(Dot(a, a));
  if (!(n > 1e-12) || !std::isfinite(n)) return fallback;
  return {a.x / n, a.y / n, a.z / n};
}

// Appends one result buffer to a list being built.
class ListBuilder {
 public:
  // Nodes for the expected length are taken at once; a longer list takes more one by one.
  explicit ListBuilder(std::size_t expected) : next_(sds_host::NewList(expected)) {}
  ~ListBuilder() {
    // A list handed out leaves only the nodes taken beyond its length to free.
    if (head_ != nullptr) sds_relrb(Release());
    if (next_ != nullptr) sds_relrb(next_);
  }
  sds_resbuf* Add(int code) {
    sds_resbuf* rb = next_;
    if (rb != nullptr) {
      // Taken in a chain: the tail links to it already.
      next_ = rb->rbnext;
      rb->restype = static_cast<short>(code);
    } else {
      rb = sds_newrb(code);
      if (rb == nullptr) return nullptr;
      if (tail_ != nullptr) tail_->rbnext = rb;
    }
    if (head_ == nullptr) head_ = rb;
    tail_ = rb;
    return rb;
  }
  void Text(int code, std::wstring_view s) {
    if (wchar_t* p = TextOf(code, s.size())) std::wmemcpy(p, s.data(), s.size());
  }
  // A record type name, widened as a wide string built from it would be.
  void Text(int code, std::string_view s) {
    if (wchar_t* p = TextOf(code, s.size())) {
      for (size_t i = 0; i < s.size(); ++i) p[i] = static_cast<wchar_t>(s[i]);
    }
  }
  // A handle as its text: upper-case hexadecimal without leading zeros.
  void HandleText(int code, std::uint64_t handle) {
    if (wchar_t* p = TextOf(code, dxf::HandleDigits(handle))) dxf::WriteHandle(handle, p);
  }
  void Real(int code, double v) {
    if (sds_resbuf* rb = Add(code)) rb->resval.rreal = v;
  }
  void Short(int code, long long v) {
    if (sds_resbuf* rb = Add(code)) rb->resval.rint = static_cast<short>(v);
  }
  void Long(int code, long long v) {
    if (sds_resbuf* rb = Add(code)) rb->resval.rlong = static_cast<int>(v);
  }
  void PointValue(int code, Point3 p) {
    if (sds_resbuf* rb = Add(code)) {
      rb->resval.rpoint[0] = p.x;
      rb->resval.rpoint[1] = p.y;
      rb->resval.rpoint[2] = p.z;
    }
  }
  void Name(int code, long long id) {
    if (sds_resbuf* rb = Add(code)) {
      rb->resval.rlname[0] = id;
      rb->resval.rlname[1] = 1;
    }
  }
  wchar_t* TextOf(int code, size_t length) {
    sds_resbuf* rb = Add(code);
    return rb == nullptr ? nullptr : sds_host::TextBuffer(rb, length);
  }
  // The list built, cut from the nodes left unused.
  sds_resbuf* Release() {
    if (tail_ != nullptr) tail_->rbnext = nullptr;
    sds_resbuf* h = head_;
    head_ = tail_ = nullptr;
    return h;
  }

 private:
  sds_resbuf* head_ = nullptr;
  sds_resbuf* tail_ = nullptr;
  sds_resbuf* next_ = nullptr;  // the nodes taken and not used yet
};

constexpr double kHuge = std::numeric_limits<double>::infinity();

std::wstring UpperName(const std::wstring& s) {
  std::wstring u = s;
  for (wchar_t& c : u) c = (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - 32) : c;
  return u;
}

bool IsAngleCode(int code) { return code >= 50 && code <= 58; }

}  // namespace

DxfDrawing::DxfDrawing(dxf::Drawing drawing, std::wstring path)
    : drawing_(std::move(drawing)), path_(std::move(path)) {
  const std::vector<dxf::Entity>& model = drawing_.entities;
  model_sorted_ = true;
  for (size_t i = 0; i < model.size() && model_sorted_; ++i) {
    model_sorted_ = model[i].handle != 0 && (i == 0 || model[i - 1].handle < model[i].handle);
  }
  size_t count = model_sorted_ ? 0 : model.size();
  for (const dxf::Block& block : drawing_.blocks) count += block.entities.size() + 1;
  index_.Reserve(count);
  for (size_t i = 0; i < model.size() && !model_sorted_; ++i) {
    if (model[i].handle != 0) index_.Put(model[i].handle, {Where::kModel, 0, i});
  }
  for (size_t b = 0; b < drawing_.blocks.size(); ++b) {
    const dxf::Block& block = drawing_.blocks[b];
    if (block.begin.handle != 0) index_.Put(block.begin.handle, {Where::kBlockHeader, b, 0});
    for (size_t i = 0; i < block.entities.size(); ++i) {
      if (block.entities[i].handle != 0) {
        index_.Put(block.entities[i].handle, {Where::kBlockEntity, b, i});
      }
    }
  }
  for (size_t b = 0; b < drawing_.blocks.size(); ++b) {
    blocks_by_name_.emplace(UpperName(drawing_.blocks[b].name), b);
  }
  for (const dxf::Layer& layer : drawing_.layers) {
    layers_by_name_.emplace(UpperName(layer.name), &layer);
    every_layer_shown_ = every_layer_shown_ && LayerShown(layer);
  }
  ucs_origin_ = drawing_.UcsOrg();
  ucs_x_ = Unit(drawing_.UcsXDir(), {1, 0, 0});
  ucs_y_ = Unit(drawing_.UcsYDir(), {0, 1, 0});
  ucs_z_ = Unit(Cross(ucs_x_, ucs_y_), {0, 0, 1});
}

void DxfDrawing::HandleIndex::Reserve(size_t count) {
  size_t size = 16;
  while (size - size / 4 < count) size *= 2;  // at most three quarters full
  if (size > slots_.size()) {
    std::vector<Slot> old = std::move(slots_);
    slots_.assign(size, Slot{});
    used_ = 0;
    for (const Slot& s : old) {
      if (s.handle != 0) {
        size_t i = Home(s.handle);
        while (slots_[i].handle != 0) i = (i + 1) & (slots_.size() - 1);
        slots_[i] = s;
        ++used_;
      }
    }
  }
}

size_t DxfDrawing::HandleIndex::Home(std::uint64_t handle) const {
  // Runs of 16 consecutive handles stay neighbours, so a walk in file order stays in cache;
  // mixing spreads the runs over the table.
  const std::uint64_t run = (handle >> 4) * 0x9E3779B97F4A7C15ull;
  return static_cast<size_t>(((run >> 32) << 4) | (handle & 15)) & (slots_.size() - 1);
}

void DxfDrawing::HandleIndex::Put(std::uint64_t handle, const Location& location) {
  if (slots_.empty() || used_ + 1 > slots_.size() - slots_.size() / 4) Reserve(used_ + 1);
  lowest_ = std::min(lowest_, handle);
  highest_ = std::max(highest_, handle);
  size_t i = Home(handle);
  while (slots_[i].handle != 0 && slots_[i].handle != handle) i = (i + 1) & (slots_.size() - 1);
  if (slots_[i].handle == 0) ++used_;
  Slot& s = slots_[i];
  s.handle = handle;
  s.list = location.where == Where::kModel ? 0 : static_cast<std::uint32_t>(location.block + 1);
  s.index =
      location.where == Where::kBlockHeader ? kHeader : static_cast<std::uint32_t>(location.index);
}

bool DxfDrawing::HandleIndex::Get(std::uint64_t handle, Location* location) const {
  if (handle < lowest_ || handle > highest_) return false;
  size_t i = Home(handle);
  while (slots_[i].handle != handle) {
    if (slots_[i].handle == 0) return false;
    i = (i + 1) & (slots_.size() - 1);
  }
  const Slot& s = slots_[i];
  if (s.list == 0) {
    *location = {Where::kModel, 0, s.index};
  } else if (s.index == kHeader) {
    *location = {Where::kBlockHeader, s.list - 1u, 0};
  } else {
    *location = {Where::kBlockEntity, s.list - 1u, s.index};
  }
  return true;
}

bool DxfDrawing::FindModel(EntityId id, Location* location) const {
  if (!model_sorted_ || drawing_.entities.empty()) return false;
  const auto handle = static_cast<std::uint64_t>(id);
  const std::vector<dxf::Entity>& model = drawing_.entities;
  // Handles mostly run without gaps, which places an entity at once.
  size_t at = model.size();
  const std::uint64_t offset = handle - model.front().handle;
  if (handle >= model.front().handle && offset < model.size() && model[offset].handle == handle) {
    at = static_cast<size_t>(offset);
  } else {
    auto it = std::lower_bound(model.begin(), model.end(), handle,
                               [](const dxf::Entity& e, std::uint64_t h) { return e.handle < h; });
    if (it == model.end() || it->handle != handle) return false;
    at = static_cast<size_t>(it - model.begin());
  }
  *location = {Where::kModel, 0, at};
  return true;
}

const dxf::Entity* DxfDrawing::Find(EntityId id, Location* location) const {
  Location l{};
  if (id == 0) return nullptr;
  if (!index_.Get(static_cast<std::uint64_t>(id), &l) && !FindModel(id, &l)) return nullptr;
  if (location != nullptr) *location = l;
  switch (l.where) {
    case Where::kModel:
      return &drawing_.entities[l.index];
    case Where::kBlockHeader:
      return &drawing_.blocks[l.block].begin;
    case Where::kBlockEntity:
      return &drawing_.blocks[l.block].entities[l.index];
  }
  return nullptr;
}

namespace {

fonts::TextStyle StyleFor(const dxf::Drawing& d, const std::wstring& styleName, double widthFactor,
                          double obliqueRadians, int generation) {
  fonts::TextStyle style;
  const dxf::TextStyle* s = d.FindStyle(styleName.empty() ? L"Standard" : styleName);
  if (s != nullptr) {
    style.font.file = s->font_file;
    style.font.family = s->font_family;
  }
  style.width_factor = widthFactor;
  style.oblique = obliqueRadians;
  style.backwards = (generation & 2) != 0;
  style.upside_down = (generation & 4) != 0;
  return style;
}

double StyleWidthFactor(const dxf::Drawing& d, const std::wstring& styleName) {
  const dxf::TextStyle* s = d.FindStyle(styleName.empty() ? L"Standard" : styleName);
  return (s != nullptr && s->width_factor > 0) ? s->width_factor : 1.0;
}

// The first of each placement group of a TEXT, ATTRIB or ATTDEF, as the entity data walk
// passes them.
struct Placement {
  int h = 0, v = 0;
  bool hSeen = false, vSeen = false;
  std::optional<Point3> second;

  // vCode is the vertical justification's code: 73 for a TEXT, 74 for an attribute.
  void Take(const dxf::GroupView& g, int vCode) {
    if (g.code == 72 && !hSeen) {
      hSeen = true;
      h = dxf::IsIntegerType(g.type) ? static_cast<int>(g.integer) : 0;
    } else if (g.code == vCode && !vSeen) {
      vSeen = true;
      v = dxf::IsIntegerType(g.type) ? static_cast<int>(g.integer) : 0;
    } else if (g.code == 11 && !second) {
      second = g.point;
    }
  }
};

// A justified TEXT or ATTRIB is placed by its second alignment point; the
// first follows from it and the text box. None for left-aligned, aligned and
// fit texts, whose group 10 stands.
std::optional<Point3> JustifiedFirstAlignment(const dxf::Drawing& d, const dxf::Entity& e,
                                              const Placement& placement) {
  const int h = placement.h, v = placement.v;
  const std::optional<Point3>& second = placement.second;
  bool alignedOrFit = v == 0 && (h == 3 || h == 5);
  if ((h == 0 && v == 0) || alignedOrFit || !second) return std::nullopt;
  std::wstring style = e.Text(7, L"Standard");
  double wf = e.Has(41) ? e.Real(41, 1.0) : StyleWidthFactor(d, style);
  fonts::TextBox box = fonts::MeasureText(
      e.Text(1), e.Real(40, 0),
      StyleFor(d, style, wf, e.Real(51, 0) * kDegrees, static_cast<int>(e.Integer(71, 0))));
  if (!box.ok()) return std::nullopt;
  double w = box.upper_right.x;
  double height = e.Real(40, 0);
  double dx = (h == 1 || h == 4) ? w / 2 : (h == 2 ? w : 0);
  double dy = 0;
  if (h == 4 && v == 0) dy = (box.lower_left.y + box.upper_right.y) / 2;
  if (v == 1) dy = box.lower_left.y;
  if (v == 2) dy = height / 2;
  if (v == 3) dy = height;
  double r = e.Real(50, 0) * kDegrees;
  Point3 p = *second;
  return Point3{p.x - (dx * std::cos(r) - dy * std::sin(r)),
                p.y - (dx * std::sin(r) + dy * std::cos(r)), p.z};
}

// The same, for an entity whose placement groups are not gathered yet.
std::optional<Point3> JustifiedFirstAlignment(const dxf::Drawing& d, const dxf::Entity& e) {
  const int vCode = e.type == "TEXT" ? 73 : 74;
  Placement placement;
  dxf::GroupList::Cursor cursor(e.groups);
  dxf::GroupView g;
  while (cursor.Next(&g)) placement.Take(g, vCode);
  return JustifiedFirstAlignment(d, e, placement);
}

// An MTEXT's width and height: its extents as the file gives them, else its
// contents laid out.
std::optional<std::pair<double, double>> MTextSize(const dxf::Drawing& d, const dxf::Entity& e) {
  if (e.Has(42) && e.Has(43)) return std::make_pair(e.Real(42), e.Real(43));
  std::wstring contents;
  dxf::GroupList::Cursor cursor(e.groups);
  dxf::GroupView g;
  while (cursor.Next(&g)) {
    if (g.code == 3 && !g.is_handle) contents += g.text;
  }
  contents += e.Text(1);
  std::wstring style = e.Text(7, L"Standard");
  fonts::MTextInput input;
  input.contents = contents;
  input.char_height = e.Real(40, 0);
  input.reference_width = e.Real(41, 0);
  input.line_spacing = e.Real(44, 1.0);
  input.style = StyleFor(d, style, StyleWidthFactor(d, style), 0, 0);
  fonts::MTextExtents extents = fonts::MeasureMText(input);
  if (!extents.ok()) return std::nullopt;
  return std::make_pair(e.Has(42) ? e.Real(42) : extents.width,
                        e.Has(43) ? e.Real(43) : extents.height);
}

// The most groups EntGet adds as defaults after its walk, by kind of entity; they must match
// the defaults it adds (7 50 41 51 71 72 11; 7 50 71 42 43; 41 42 43 50).
constexpr std::size_t kTextDefaults = 7;
constexpr std::size_t kMTextDefaults = 5;
constexpr std::size_t kInsertDefaults = 4;

}  // namespace

sds_resbuf* DxfDrawing::EntGet(EntityId id) const {
  const dxf::Entity* e = Find(id);
  if (e == nullptr) return nullptr;
  const bool isMText = e->type == "MTEXT";
  const bool isText = e->type == "TEXT" || e->type == "ATTRIB" || e->type == "ATTDEF";
  const bool isInsert = e->type == "INSERT";
  dxf::GroupList::Cursor cursor(e->groups);
  // The name, the groups and the defaults below, which a drawing's texts mostly leave out.
  ListBuilder list(1 + cursor.left() +
                   (isText     ? kTextDefaults
                    : isMText  ? kMTextDefaults
                    : isInsert ? kInsertDefaults
                               : 0));
  list.Name(-1, id);
  // What places a text is gathered in the one walk; its group 10 is mended after it.
  Placement placement;
  const int vCode = e->type == "TEXT" ? 73 : 74;
  std::bitset<dxf::kGroupCodeCount> seen;
  dxf::GroupView style;  // the first group 7, read as the walk passes it
  dxf::GroupView g;
  while (cursor.Next(&g)) {
    const int code = g.code;
    if (code == 999) continue;
    if (code == 7 && !seen[7]) style = g;
    if (code == 0) {
      list.Text(0, std::string_view(e->type));
      continue;
    }
    if (isText) placement.Take(g, vCode);
    seen[static_cast<size_t>(code)] = true;
    switch (g.type) {
      case GroupType::kPoint:
        list.PointValue(code, g.point);
        break;
      case GroupType::kDouble: {
        double v = g.real;
        if (IsAngleCode(code)) v *= kDegrees;
        list.Real(code, v);
        break;
      }
      case GroupType::kInt16:
      case GroupType::kInt32:
      case GroupType::kInt64:
      case GroupType::kBool:
        if (const SdsValueKind kind = SdsKindOfCode(code); kind == SdsValueKind::kLong) {
          list.Long(code, g.integer);
        } else if (kind == SdsValueKind::kReal) {
          list.Real(code, static_cast<double>(g.integer));
        } else {
          list.Short(code, g.integer);
        }
        break;
      case GroupType::kString:
        if (const SdsValueKind kind = SdsKindOfCode(code); kind == SdsValueKind::kName) {
          std::uint64_t handle = g.handle;
          if (g.is_handle || dxf::ParseHandle(g.text, &handle)) {
            list.Name(code, static_cast<long long>(handle));
          }
        } else if (kind == SdsValueKind::kText) {
          if (g.is_handle) {
            list.HandleText(code, g.handle);
          } else {
            list.Text(code, g.text);
          }
        }
        break;
    }
  }
  const bool has42 = seen[42], has43 = seen[43];
  // A host's entity data carry the defaults a file may leave out (counted in kTextDefaults,
  // kMTextDefaults and kInsertDefaults).
  if (isText || isMText) {
    if (!seen[7]) list.Text(7, L"Standard");
    if (!seen[50]) {
      // A multiline text may give its direction as a vector instead.
      const Point3 d = isMText ? e->PointAt(11) : Point3{};
      list.Real(50, (d.x != 0 || d.y != 0) ? std::atan2(d.y, d.x) : 0.0);
    }
  }
  if (isText) {
    if (!seen[41]) {
      std::wstring formatted;
      std::wstring_view name = L"Standard";
      if (seen[7] && style.type == GroupType::kString) {
        if (style.is_handle) {
          formatted = dxf::FormatHandle(style.handle);
          name = formatted;
        } else {
          name = style.text;
        }
      }
      // The box of this text is measured next, in the same style.
      ResolveBoxStyle(name);
      list.Real(41, box_style_width_);
    }
    if (!seen[51]) list.Real(51, 0.0);
    if (!seen[71]) list.Short(71, 0);
    if (!seen[72]) list.Short(72, 0);
    if (!seen[11]) list.PointValue(11, Point3{});
  }
  if (isMText && !seen[71]) list.Short(71, 1);
  if (isInsert) {
    for (int code : {41, 42, 43}) {
      if (!seen[static_cast<size_t>(code)]) list.Real(code, 1.0);
    }
    if (!seen[50]) list.Real(50, 0.0);
  }
  if (isMText && !(has42 && has43)) {
    // A host lays the contents out when the file has no extents.
    if (auto size = MTextSize(drawing_, *e)) {
      if (!has42) list.Real(42, size->first);
      if (!has43) list.Real(43, size->second);
    }
  }
  sds_resbuf* const head = list.Release();
  if (isText) {
    if (const std::optional<Point3> first = JustifiedFirstAlignment(drawing_, *e, placement)) {
      for (sds_resbuf* rb = head; rb != nullptr; rb = rb->rbnext) {
        if (rb->restype == 10) {
          rb->resval.rpoint[0] = first->x;
          rb->resval.rpoint[1] = first->y;
          rb->resval.rpoint[2] = first->z;
        }
      }
    }
  }
  return head;
}

void DxfDrawing::ResolveBoxStyle(std::wstring_view style) const {
  if (box_style_known_ && box_style_name_ == style) return;
  box_style_name_.assign(style);
  box_style_ = StyleFor(drawing_, box_style_name_, 1.0, 0.0, 0);
  box_style_width_ = StyleWidthFactor(drawing_, box_style_name_);
  box_style_known_ = true;
}

void DxfDrawing::ReadEntityType(EntityId id, std::wstring& type) const {
  const dxf::Entity* e = Find(id);
  // Widened in place: assign() from narrow iterators builds a temporary text.
  type.resize(e == nullptr ? 0 : e->type.size());
  for (size_t i = 0; i < type.size(); ++i) type[i] = static_cast<wchar_t>(e->type[i]);
}

EntityId DxfDrawing::NextEntity(EntityId id) const {
  // Hidden entities are passed over with what belongs to them (attributes,
  // vertices), so a walk through a block reads what the reference shows.
  auto next = [&](const std::vector<dxf::Entity>& list, size_t i, bool inBlock,
                  auto belongs) -> EntityId {
    while (i < list.size()) {
      const dxf::Entity& e = list[i];
      if (!belongs(e)) {
        ++i;
        continue;
      }
      bool tail = e.type == "SEQEND" || e.type == "VERTEX";
      if (tail || Shown(e, inBlock)) return static_cast<EntityId>(e.handle);
      ++i;
      if (e.type == "INSERT" || e.type == "POLYLINE") {
        while (i < list.size() && (list[i].type == "ATTRIB" || list[i].type == "VERTEX")) ++i;
        if (i < list.size() && list[i].type == "SEQEND") ++i;
      }
    }
    return 0;
  };
  auto ofSpace = [this](const dxf::Entity& e) { return e.paper_space == space_.paper; };
  auto any = [](const dxf::Entity&) { return true; };
  if (id == 0) {
    if (space_.block != nullptr && !space_.paper) {
      return next(space_.block->entities, 0, false, any);
    }
    return next(drawing_.entities, 0, false, ofSpace);
  }
  Location l{};
  const dxf::Entity* from = Find(id, &l);
  if (from == nullptr) return 0;
  if (l.where == Where::kBlockHeader || l.where == Where::kBlockEntity) {
    const dxf::Block& block = drawing_.blocks[l.block];
    size_t start = l.where == Where::kBlockHeader ? 0 : l.index + 1;
    return next(block.entities, start, &block != space_.block, any);
  }
  const bool paper = from->paper_space;
  return next(drawing_.entities, l.index + 1, false,
              [paper](const dxf::Entity& e) { return e.paper_space == paper; });
}

EntityId DxfDrawing::FindTableObject(const std::wstring& table, const std::wstring& name) const {
  if (dxf::NamesEqual(table, L"BLOCK")) {
    const dxf::Block* block = drawing_.FindBlock(name);
    return block ? static_cast<EntityId>(block->begin.handle) : 0;
  }
  const dxf::SymbolTable* t = drawing_.FindTable(win::WideToUtf8(win::ToUpper(table)));
  if (t == nullptr) return 0;
  for (const dxf::Entity& entry : t->entries) {
    if (dxf::NamesEqual(entry.Text(2), name)) return static_cast<EntityId>(entry.handle);
  }
  return 0;
}

EntityId DxfDrawing::FindByHandle(const std::wstring& handle) const {
  std::uint64_t h = 0;
  if (!dxf::ParseHandle(handle, &h) || h == 0) return 0;
  const auto id = static_cast<EntityId>(h);
  return Find(id) != nullptr ? id : 0;
}

void DxfDrawing::Box::Add(double x, double y) {
  x0 = std::min(x0, x);
  y0 = std::min(y0, y);
  x1 = std::max(x1, x);
  y1 = std::max(y1, y);
}

void DxfDrawing::Box::Add(const Box& b) {
  if (b.empty()) return;
  Add(b.x0, b.y0);
  Add(b.x1, b.y1);
}

bool DxfDrawing::Shown(const dxf::Entity& e, bool inBlock) const {
  // A layer the table lacks is shown too, so no entity's layer needs reading.
  if (every_layer_shown_) return true;
  dxf::GroupView v;
  std::wstring_view layer = L"0";
  std::wstring formatted;
  bool kept = true;  // layer lies in the drawing's own memory
  if (e.First(8, &v) && v.type == GroupType::kString) {
    if (v.is_handle) {
      formatted = dxf::FormatHandle(v.handle);
      layer = formatted;
      kept = false;
    } else {
      layer = v.text;
    }
  }
  if (inBlock && layer == L"0") return true;
  // Entities share their layer's text, so one remembered answer serves long runs of them.
  if (kept && layer.data() == last_layer_.data() && layer.size() == last_layer_.size()) {
    return last_layer_shown_;
  }
  auto it = layers_by_name_.find(UpperName(std::wstring(layer)));
  const bool shown = it == layers_by_name_.end() || LayerShown(*it->second);
  if (kept) {
    last_layer_ = layer;
    last_layer_shown_ = shown;
  }
  return shown;
}

bool DxfDrawing::Selectable(const dxf::Entity& e) const {
  return e.type != "ATTRIB" && e.type != "SEQEND" && e.type != "VERTEX" && Shown(e, false);
}

bool DxfDrawing::InSpace(const Location& l) const {
  if (l.where == Where::kModel) {
    return drawing_.entities[l.index].paper_space == space_.paper &&
           (space_.paper || space_.block == nullptr);
  }
  return l.where == Where::kBlockEntity && &drawing_.blocks[l.block] == space_.block;
}

template <typename F>
void DxfDrawing::ForEachInSpace(F f) const {
  if (WalksDrawingEntities()) {
    for (size_t i = 0; i < drawing_.entities.size(); ++i) {
      if (drawing_.entities[i].paper_space == space_.paper) f(drawing_.entities, i);
    }
  }
  if (space_.block != nullptr) {
    for (size_t i = 0; i < space_.block->entities.size(); ++i) f(space_.block->entities, i);
  }
}

size_t DxfDrawing::SpaceBound() const {
  return (WalksDrawingEntities() ? drawing_.entities.size() : 0) +
         (space_.block != nullptr ? space_.block->entities.size() : 0);
}

std::vector<EntityId> DxfDrawing::SelectAll() const {
  std::vector<EntityId> out;
  // At most every entity of the space: grown by doubling, a big drawing's ids moved and
  // faulted in twice.
  out.reserve(SpaceBound());
  ForEachInSpace([&](const std::vector<dxf::Entity>& list, size_t i) {
    if (Selectable(list[i])) out.push_back(static_cast<EntityId>(list[i].handle));
  });
  return out;
}

EntityId DxfDrawing::SelectHandle(const std::wstring& handle) const {
  EntityId id = FindByHandle(handle);
  Location l{};
  const dxf::Entity* e = Find(id, &l);
  if (e == nullptr) return 0;
  // Entities inside a block definition stay reachable by handle, as before.
  if (l.where == Where::kBlockEntity && &drawing_.blocks[l.block] != space_.block) {
    return Shown(*e, true) ? id : 0;
  }
  if (l.where == Where::kBlockHeader) return id;
  return InSpace(l) && Shown(*e, false) ? id : 0;
}

std::vector<std::wstring> DxfDrawing::Layouts() const {
  std::vector<const dxf::Layout*> tabs;
  for (const dxf::Layout& layout : drawing_.layouts) {
    if (!dxf::NamesEqual(layout.name, L"Model")) tabs.push_back(&layout);
  }
  std::stable_sort(tabs.begin(), tabs.end(), [](const dxf::Layout* a, const dxf::Layout* b) {
    return a->tab_order < b->tab_order;
  });
  std::vector<std::wstring> out{L"Model"};
  for (const dxf::Layout* layout : tabs) out.push_back(layout->name);
  return out;
}

bool DxfDrawing::SetLayout(const std::wstring& name) {
  if (dxf::NamesEqual(name, L"Model")) {
    space_ = Space{};
    return true;
  }
  for (const dxf::Layout& layout : drawing_.layouts) {
    if (!dxf::NamesEqual(layout.name, name)) continue;
    std::wstring record;
    for (const dxf::BlockRecord& r : drawing_.block_records) {
      if (r.handle == layout.block_record) record = r.name;
    }
    Space space;
    space.name = layout.name;
    // The active layout's entities lie in the ENTITIES section, flagged as paper space.
    space.paper = record.empty() || dxf::NamesEqual(record, L"*Paper_Space");
    if (!record.empty()) {
      auto it = blocks_by_name_.find(UpperName(record));
      if (it != blocks_by_name_.end()) space.block = &drawing_.blocks[it->second];
    }
    space_ = space;
    return true;
  }
  return false;
}

sds_host::Point DxfDrawing::ToUcs(const Point3& p) const {
  Point3 v = Sub(p, ucs_origin_);
  return {Dot(v, ucs_x_), Dot(v, ucs_y_), Dot(v, ucs_z_)};
}

std::vector<sds_host::Point> DxfDrawing::DefiningPoints(const dxf::Entity& e) const {
  std::vector<sds_host::Point> points;
  dxf::GroupList::Cursor cursor(e.groups);
  dxf::GroupView g;
  while (cursor.Next(&g)) {
    if (g.type == GroupType::kPoint && g.code >= 10 && g.code <= 18)
      points.push_back(ToUcs(g.point));
  }
  return points;
}

DxfDrawing::Affine DxfDrawing::Compose(const Affine& o, const Affine& i) {
  return {o.a * i.a + o.b * i.c, o.a * i.b + o.b * i.d,          o.c * i.a + o.d * i.c,
          o.c * i.b + o.d * i.d, o.a * i.tx + o.b * i.ty + o.tx, o.c * i.tx + o.d * i.ty + o.ty};
}

void DxfDrawing::AddExtent(const std::vector<dxf::Entity>& list, size_t i, const Affine& m,
                           bool inBlock, Box& box) const {
  const dxf::Entity& e = list[i];
  if (!Shown(e, inBlock)) return;
  auto add = [&](double x, double y) {
    box.Add(m.a * x + m.b * y + m.tx, m.c * x + m.d * y + m.ty);
  };
  // The four corners of a local box placed at p and turned by r radians.
  auto placed = [&](Point3 p, double r, double x0, double y0, double x1, double y1) {
    double c = std::cos(r), s = std::sin(r);
    for (auto [x, y] : {std::pair{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}) {
      add(p.x + x * c - y * s, p.y + x * s + y * c);
    }
  };
  auto text = [&](const dxf::Entity& t) {
    // Invisible attributes draw nothing.
    if (t.type == "ATTRIB" && (t.Integer(70, 0) & 1) != 0) return;
    Point3 p = JustifiedFirstAlignment(drawing_, t).value_or(t.PointAt(10));
    std::wstring style = t.Text(7, L"Standard");
    double wf = t.Has(41) ? t.Real(41, 1.0) : StyleWidthFactor(drawing_, style);
    fonts::TextBox tb = fonts::MeasureText(
        t.Text(1), t.Real(40, 0),
        StyleFor(drawing_, style, wf, t.Real(51, 0) * kDegrees, static_cast<int>(t.Integer(71))));
    if (tb.ok()) {
      placed(p, t.Real(50, 0) * kDegrees, tb.lower_left.x, tb.lower_left.y, tb.upper_right.x,
             tb.upper_right.y);
    } else {
      add(p.x, p.y);
    }
  };
  const std::string_view type = e.type;
  if (type == "LINE") {
    for (int code : {10, 11}) add(e.PointAt(code).x, e.PointAt(code).y);
  } else if (type == "TEXT" || (type == "ATTDEF" && !inBlock)) {
    text(e);
  } else if (type == "MTEXT") {
    auto size = MTextSize(drawing_, e);
    Point3 p = e.PointAt(10);
    if (!size) {
      add(p.x, p.y);
      return;
    }
    int attach = static_cast<int>(e.Integer(71, 1));
    if (attach < 1 || attach > 9) attach = 1;
    double w = size->first, h = size->second;
    double x0 = -((attach - 1) % 3) * w / 2, top = ((attach - 1) / 3) * h / 2;
    double r = e.Real(50, 0);
    if (dxf::GroupView dir; e.First(11, &dir) && dir.type == GroupType::kPoint) {
      r = std::atan2(dir.point.y, dir.point.x);
    }
    placed(p, r, x0, top - h, x0 + w, top);
  } else if (type == "INSERT" || type == "ACAD_TABLE") {
    auto found = blocks_by_name_.find(UpperName(e.Text(2)));
    if (found != blocks_by_name_.end()) {
      const dxf::Block& block = drawing_.blocks[found->second];
      Box local = BlockBox(block);
      if (!local.empty()) {
        double r = e.Real(50, 0) * kDegrees;
        double sx = e.Real(41, 1.0), sy = e.Real(42, 1.0);
        if (type == "ACAD_TABLE") {
          Point3 dir = e.PointAt(11, {1, 0, 0});
          r = std::atan2(dir.y, dir.x);
          sx = sy = 1;
        }
        double c = std::cos(r), s = std::sin(r);
        Point3 p = e.PointAt(10);
        Affine ref{c * sx, -s * sy, s * sx, c * sy, 0, 0};
        ref.tx = p.x - (ref.a * block.base.x + ref.b * block.base.y);
        ref.ty = p.y - (ref.c * block.base.x + ref.d * block.base.y);
        Affine whole = Compose(m, ref);
        for (auto [x, y] : {std::pair{local.x0, local.y0},
                            {local.x1, local.y0},
                            {local.x1, local.y1},
                            {local.x0, local.y1}}) {
          box.Add(whole.a * x + whole.b * y + whole.tx, whole.c * x + whole.d * y + whole.ty);
        }
      }
    }
    // Attributes lie where they are drawn, in the reference's own space.
    for (size_t k = i + 1; k < list.size() && list[k].type == "ATTRIB"; ++k) {
      if (Shown(list[k], inBlock)) text(list[k]);
    }
  } else if (type == "POLYLINE") {
    for (size_t k = i + 1; k < list.size() && list[k].type == "VERTEX"; ++k) {
      add(list[k].PointAt(10).x, list[k].PointAt(10).y);
    }
  } else if (type == "CIRCLE" || type == "ARC") {
    Point3 c = e.PointAt(10);
    double r = std::fabs(e.Real(40, 0));
    add(c.x - r, c.y - r);
    add(c.x + r, c.y + r);
  } else if (type == "ATTRIB" || type == "ATTDEF" || type == "SEQEND" || type == "VERTEX") {
    // drawn with their reference or polyline, or not at all
  } else {
    dxf::GroupList::Cursor cursor(e.groups);
    dxf::GroupView g;
    while (cursor.Next(&g)) {
      if (g.type == GroupType::kPoint && g.code >= 10 && g.code <= 18) add(g.point.x, g.point.y);
    }
  }
}

DxfDrawing::Box DxfDrawing::BlockBox(const dxf::Block& block) const {
  auto it = block_boxes_.find(&block);
  if (it != block_boxes_.end()) return it->second;
  Box box{kHuge, kHuge, -kHuge, -kHuge};
  // Entered empty first: a block that inserts itself adds nothing more.
  block_boxes_[&block] = box;
  for (size_t i = 0; i < block.entities.size(); ++i) {
    AddExtent(block.entities, i, Affine{}, true, box);
  }
  block_boxes_[&block] = box;
  return box;
}

DxfDrawing::Box DxfDrawing::Extent(const std::vector<dxf::Entity>& list, size_t i) const {
  // World to the user system, flat.
  Affine ucs{
      ucs_x_.x, ucs_x_.y, ucs_y_.x, ucs_y_.y, -Dot(ucs_origin_, ucs_x_), -Dot(ucs_origin_, ucs_y_)};
  Box box{kHuge, kHuge, -kHuge, -kHuge};
  AddExtent(list, i, ucs, false, box);
  return box;
}

std::vector<EntityId> DxfDrawing::SelectWindow(sds_host::Point a, sds_host::Point b,
                                               bool crossing) const {
  double x0 = std::min(a.x, b.x), x1 = std::max(a.x, b.x);
  double y0 = std::min(a.y, b.y), y1 = std::max(a.y, b.y);
  std::vector<EntityId> out;
  ForEachInSpace([&](const std::vector<dxf::Entity>& list, size_t i) {
    if (!Selectable(list[i])) return;
    Box box = Extent(list, i);
    if (box.empty()) return;
    bool inside = box.x0 >= x0 && box.x1 <= x1 && box.y0 >= y0 && box.y1 <= y1;
    bool meets = box.x0 <= x1 && box.x1 >= x0 && box.y0 <= y1 && box.y1 >= y0;
    if (inside || (crossing && meets)) out.push_back(static_cast<EntityId>(list[i].handle));
  });
  return out;
}

EntityId DxfDrawing::PickAt(sds_host::Point p) const {
  EntityId best = 0;
  double bestDistance = std::numeric_limits<double>::infinity();
  auto segment = [&](const sds_host::Point& a, const sds_host::Point& b) {
    double dx = b.x - a.x, dy = b.y - a.y;
    double len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / len2, 0.0, 1.0) : 0;
    double ex = a.x + t * dx - p.x, ey = a.y + t * dy - p.y;
    return std::sqrt(ex * ex + ey * ey);
  };
  ForEachInSpace([&](const std::vector<dxf::Entity>& list, size_t i) {
    const dxf::Entity& e = list[i];
    if (!Selectable(e)) return;
    double d = std::numeric_limits<double>::infinity();
    if (e.type == "LINE" || e.type == "LWPOLYLINE") {
      std::vector<sds_host::Point> points = DefiningPoints(e);
      for (size_t k = 1; k < points.size(); ++k) {
        d = std::min(d, segment(points[k - 1], points[k]));
      }
      if (points.size() == 1) d = segment(points[0], points[0]);
    } else {
      // Anything else by its drawn box: a pick inside a title block takes it.
      Box box = Extent(list, i);
      if (box.empty()) return;
      double dx = std::max({box.x0 - p.x, 0.0, p.x - box.x1});
      double dy = std::max({box.y0 - p.y, 0.0, p.y - box.y1});
      d = std::sqrt(dx * dx + dy * dy);
    }
    if (d < bestDistance) {
      bestDistance = d;
      best = static_cast<EntityId>(e.handle);
    }
  });
  return best;
}

bool DxfDrawing::Trans(const sds_host::Point& in, int from, int to, bool displacement,
                       sds_host::Point& out) const {
  if (from == to) {
    out = in;
    return true;
  }
  if (from == 0 && to == 1) {
    Point3 v{in.x, in.y, in.z};
    if (!displacement) v = Sub(v, ucs_origin_);
    out = {Dot(v, ucs_x_), Dot(v, ucs_y_), Dot(v, ucs_z_)};
    return true;
  }
  if (from == 1 && to == 0) {
    Point3 base = displacement ? Point3{} : ucs_origin_;
    out = {base.x + in.x * ucs_x_.x + in.y * ucs_y_.x + in.z * ucs_z_.x,
           base.y + in.x * ucs_x_.y + in.y * ucs_y_.y + in.z * ucs_z_.y,
           base.z + in.x * ucs_x_.z + in.y * ucs_y_.z + in.z * ucs_z_.z};
    return true;
  }
  return false;
}

bool DxfDrawing::TextBox(const sds_resbuf* entity, sds_host::Point& lowerLeft,
                         sds_host::Point& upperRight) const {
  // One walk for the six groups a box needs; the first of each counts.
  const sds_resbuf *text = nullptr, *height = nullptr, *styleGroup = nullptr, *wfGroup = nullptr,
                   *oblique = nullptr, *generation = nullptr;
  for (const sds_resbuf* rb = entity; rb != nullptr; rb = rb->rbnext) {
    const sds_resbuf** slot = nullptr;
    switch (rb->restype) {
      case 1:
        slot = &text;
        break;
      case 40:
        slot = &height;
        break;
      case 7:
        slot = &styleGroup;
        break;
      case 41:
        slot = &wfGroup;
        break;
      case 51:
        slot = &oblique;
        break;
      case 71:
        slot = &generation;
        break;
      default:
        break;
    }
    if (slot != nullptr && *slot == nullptr) *slot = rb;
  }
  if (text == nullptr || text->resval.rstring == nullptr || height == nullptr) return false;
  const std::wstring_view style =
      (styleGroup && styleGroup->resval.rstring) ? styleGroup->resval.rstring : L"Standard";
  ResolveBoxStyle(style);
  const int flags = generation ? generation->resval.rint : 0;
  box_style_.width_factor = wfGroup ? wfGroup->resval.rreal : box_style_width_;
  box_style_.oblique = oblique ? oblique->resval.rreal : 0.0;
  box_style_.backwards = (flags & 2) != 0;
  box_style_.upside_down = (flags & 4) != 0;
  fonts::TextBox box = fonts::MeasureText(text->resval.rstring, height->resval.rreal, box_style_);
  if (!box.ok()) return false;
  lowerLeft = {box.lower_left.x, box.lower_left.y, 0};
  upperRight = {box.upper_right.x, box.upper_right.y, 0};
  return true;
}

}  // namespace gm::drawing
