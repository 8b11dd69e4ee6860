#include "platform/drawing/dxf_drawing.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <limits>
#include <optional>

#include "platform/fonts/mtext_layout.h"
#include "platform/fonts/text_metrics.h"

namespace gm::drawing {

namespace {

using dxf::Group;
using dxf::GroupType;
using dxf::Point3;
using sds_host::EntityId;

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

wchar_t* CopyText(const std::wstring& s) {
  auto* p = static_cast<wchar_t*>(std::malloc((s.size() + 1) * sizeof(wchar_t)));
  if (p != nullptr) std::wmemcpy(p, s.c_str(), s.size() + 1);
  return p;
}

// Appends one result buffer to a list being built.
class ListBuilder {
 public:
  ~ListBuilder() { sds_relrb(head_); }
  sds_resbuf* Add(int code) {
    sds_resbuf* rb = sds_newrb(code);
    if (rb == nullptr) return nullptr;
    if (tail_ == nullptr) {
      head_ = rb;
    } else {
      tail_->rbnext = rb;
    }
    tail_ = rb;
    return rb;
  }
  void Text(int code, const std::wstring& s) {
    if (sds_resbuf* rb = Add(code)) rb->resval.rstring = CopyText(s);
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
  sds_resbuf* Release() {
    sds_resbuf* h = head_;
    head_ = tail_ = nullptr;
    return h;
  }

 private:
  sds_resbuf* head_ = nullptr;
  sds_resbuf* tail_ = nullptr;
};

bool IsAngleCode(int code) { return code >= 50 && code <= 58; }

const sds_resbuf* FindCode(const sds_resbuf* list, int code) {
  for (; list != nullptr; list = list->rbnext) {
    if (list->restype == code) return list;
  }
  return nullptr;
}

}  // namespace

DxfDrawing::DxfDrawing(dxf::Drawing drawing, std::wstring path)
    : drawing_(std::move(drawing)), path_(std::move(path)) {
  size_t count = drawing_.entities.size();
  for (const dxf::Block& block : drawing_.blocks) count += block.entities.size() + 1;
  index_.reserve(count);
  for (size_t i = 0; i < drawing_.entities.size(); ++i) {
    index_[drawing_.entities[i].handle] = {Where::kModel, 0, i};
  }
  for (size_t b = 0; b < drawing_.blocks.size(); ++b) {
    const dxf::Block& block = drawing_.blocks[b];
    index_[block.begin.handle] = {Where::kBlockHeader, b, 0};
    for (size_t i = 0; i < block.entities.size(); ++i) {
      index_[block.entities[i].handle] = {Where::kBlockEntity, b, i};
    }
  }
  index_.erase(0);
  ucs_origin_ = drawing_.UcsOrg();
  ucs_x_ = Unit(drawing_.UcsXDir(), {1, 0, 0});
  ucs_y_ = Unit(drawing_.UcsYDir(), {0, 1, 0});
  ucs_z_ = Unit(Cross(ucs_x_, ucs_y_), {0, 0, 1});
}

const dxf::Entity* DxfDrawing::Find(EntityId id, Location* location) const {
  auto it = index_.find(static_cast<std::uint64_t>(id));
  if (it == index_.end()) return nullptr;
  if (location != nullptr) *location = it->second;
  const Location& l = it->second;
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

}  // namespace

sds_resbuf* DxfDrawing::EntGet(EntityId id) const {
  const dxf::Entity* e = Find(id);
  if (e == nullptr) return nullptr;
  const bool isMText = e->type == "MTEXT";
  const bool isText = e->type == "TEXT" || e->type == "ATTRIB" || e->type == "ATTDEF";
  ListBuilder list;
  list.Name(-1, id);
  std::optional<Point3> firstAlignment;
  if (isText) {
    // A justified text's first alignment point follows from its second one.
    int h = static_cast<int>(e->Integer(72, 0));
    int v = static_cast<int>(e->Integer(e->type == "TEXT" ? 73 : 74, 0));
    const Group* second = e->Find(11);
    bool alignedOrFit = v == 0 && (h == 3 || h == 5);
    if ((h != 0 || v != 0) && !alignedOrFit && second != nullptr) {
      std::wstring style = e->Text(7, L"Standard");
      double wf = e->Find(41) ? e->Real(41, 1.0) : StyleWidthFactor(drawing_, style);
      fonts::TextBox box =
          fonts::MeasureText(e->Text(1), e->Real(40, 0),
                             StyleFor(drawing_, style, wf, e->Real(51, 0) * kDegrees,
                                      static_cast<int>(e->Integer(71, 0))));
      if (box.ok()) {
        double w = box.upper_right.x;
        double height = e->Real(40, 0);
        double dx = (h == 1 || h == 4) ? w / 2 : (h == 2 ? w : 0);
        double dy = 0;
        if (h == 4 && v == 0) dy = (box.lower_left.y + box.upper_right.y) / 2;
        if (v == 1) dy = box.lower_left.y;
        if (v == 2) dy = height / 2;
        if (v == 3) dy = height;
        double r = e->Real(50, 0) * kDegrees;
        Point3 p = second->point();
        firstAlignment = Point3{p.x - (dx * std::cos(r) - dy * std::sin(r)),
                                p.y - (dx * std::sin(r) + dy * std::cos(r)), p.z};
      }
    }
  }
  bool has42 = false, has43 = false;
  for (const Group& g : e->groups) {
    int code = g.code();
    if (code == 999) continue;
    if (code == 0) {
      list.Text(0, std::wstring(e->type.begin(), e->type.end()));
      continue;
    }
    if (code == 42) has42 = true;
    if (code == 43) has43 = true;
    SdsValueKind kind = SdsKindOfCode(code);
    switch (g.type()) {
      case GroupType::kPoint: {
        Point3 p = g.point();
        if (code == 10 && firstAlignment) p = *firstAlignment;
        list.PointValue(code, p);
        break;
      }
      case GroupType::kDouble: {
        double v = g.real();
        if (IsAngleCode(code) && !isMText) v *= kDegrees;
        list.Real(code, v);
        break;
      }
      case GroupType::kInt16:
      case GroupType::kInt32:
      case GroupType::kInt64:
      case GroupType::kBool:
        if (kind == SdsValueKind::kLong) {
          list.Long(code, g.integer());
        } else if (kind == SdsValueKind::kReal) {
          list.Real(code, static_cast<double>(g.integer()));
        } else {
          list.Short(code, g.integer());
        }
        break;
      case GroupType::kString:
        if (kind == SdsValueKind::kName) {
          std::uint64_t handle = 0;
          if (dxf::ParseHandle(g.text(), &handle)) list.Name(code, static_cast<long long>(handle));
        } else if (kind == SdsValueKind::kText) {
          list.Text(code, g.text());
        }
        break;
    }
  }
  // A host's entity data carry the defaults a file may leave out.
  if (isText || isMText) {
    if (e->Find(7) == nullptr) list.Text(7, L"Standard");
    if (e->Find(50) == nullptr) list.Real(50, 0.0);
  }
  if (isText) {
    if (e->Find(41) == nullptr) list.Real(41, StyleWidthFactor(drawing_, e->Text(7, L"Standard")));
    if (e->Find(51) == nullptr) list.Real(51, 0.0);
    if (e->Find(71) == nullptr) list.Short(71, 0);
    if (e->Find(72) == nullptr) list.Short(72, 0);
    if (e->Find(11) == nullptr) list.PointValue(11, Point3{});
  }
  if (isMText && e->Find(71) == nullptr) list.Short(71, 1);
  if (e->type == "INSERT") {
    for (int code : {41, 42, 43}) {
      if (e->Find(code) == nullptr) list.Real(code, 1.0);
    }
    if (e->Find(50) == nullptr) list.Real(50, 0.0);
  }
  if (isMText && !(has42 && has43)) {
    // A host lays the contents out when the file has no extents.
    std::wstring contents;
    for (const Group& g : e->groups) {
      if (g.code() == 3) contents += g.text();
    }
    contents += e->Text(1);
    std::wstring style = e->Text(7, L"Standard");
    fonts::MTextInput input;
    input.contents = contents;
    input.char_height = e->Real(40, 0);
    input.reference_width = e->Real(41, 0);
    input.line_spacing = e->Real(44, 1.0);
    input.style = StyleFor(drawing_, style, StyleWidthFactor(drawing_, style), 0, 0);
    fonts::MTextExtents extents = fonts::MeasureMText(input);
    if (extents.ok()) {
      if (!has42) list.Real(42, extents.width);
      if (!has43) list.Real(43, extents.height);
    }
  }
  return list.Release();
}

std::wstring DxfDrawing::EntityType(EntityId id) const {
  const dxf::Entity* e = Find(id);
  return e == nullptr ? std::wstring() : std::wstring(e->type.begin(), e->type.end());
}

EntityId DxfDrawing::NextEntity(EntityId id) const {
  size_t start = 0;
  if (id != 0) {
    Location l{};
    if (Find(id, &l) == nullptr) return 0;
    if (l.where == Where::kBlockHeader || l.where == Where::kBlockEntity) {
      const dxf::Block& block = drawing_.blocks[l.block];
      size_t next = l.where == Where::kBlockHeader ? 0 : l.index + 1;
      return next < block.entities.size() ? static_cast<EntityId>(block.entities[next].handle) : 0;
    }
    start = l.index + 1;
  }
  for (size_t i = start; i < drawing_.entities.size(); ++i) {
    if (!drawing_.entities[i].paper_space)
      return static_cast<EntityId>(drawing_.entities[i].handle);
  }
  return 0;
}

EntityId DxfDrawing::FindTableObject(const std::wstring& table, const std::wstring& name) const {
  if (dxf::NamesEqual(table, L"BLOCK")) {
    const dxf::Block* block = drawing_.FindBlock(name);
    return block ? static_cast<EntityId>(block->begin.handle) : 0;
  }
  std::string upper;
  for (wchar_t c : table) upper.push_back(static_cast<char>(std::towupper(c)));
  const dxf::SymbolTable* t = drawing_.FindTable(upper);
  if (t == nullptr) return 0;
  for (const dxf::Entity& entry : t->entries) {
    if (dxf::NamesEqual(entry.Text(2), name)) return static_cast<EntityId>(entry.handle);
  }
  return 0;
}

EntityId DxfDrawing::FindByHandle(const std::wstring& handle) const {
  std::uint64_t h = 0;
  if (!dxf::ParseHandle(handle, &h) || h == 0) return 0;
  return index_.count(h) ? static_cast<EntityId>(h) : 0;
}

bool DxfDrawing::Selectable(const dxf::Entity& e) const {
  return !e.paper_space && e.type != "ATTRIB" && e.type != "SEQEND" && e.type != "VERTEX";
}

std::vector<EntityId> DxfDrawing::SelectAll() const {
  std::vector<EntityId> out;
  for (const dxf::Entity& e : drawing_.entities) {
    if (Selectable(e)) out.push_back(static_cast<EntityId>(e.handle));
  }
  return out;
}

sds_host::Point DxfDrawing::ToUcs(const Point3& p) const {
  Point3 v = Sub(p, ucs_origin_);
  return {Dot(v, ucs_x_), Dot(v, ucs_y_), Dot(v, ucs_z_)};
}

std::vector<sds_host::Point> DxfDrawing::DefiningPoints(const dxf::Entity& e) const {
  std::vector<sds_host::Point> points;
  for (const Group& g : e.groups) {
    if (g.type() == GroupType::kPoint && g.code() >= 10 && g.code() <= 18) {
      points.push_back(ToUcs(g.point()));
    }
  }
  return points;
}

std::vector<EntityId> DxfDrawing::SelectWindow(sds_host::Point a, sds_host::Point b,
                                               bool crossing) const {
  double x0 = std::min(a.x, b.x), x1 = std::max(a.x, b.x);
  double y0 = std::min(a.y, b.y), y1 = std::max(a.y, b.y);
  auto inside = [&](const sds_host::Point& p) {
    return p.x >= x0 && p.x <= x1 && p.y >= y0 && p.y <= y1;
  };
  std::vector<EntityId> out;
  for (const dxf::Entity& e : drawing_.entities) {
    if (!Selectable(e)) continue;
    std::vector<sds_host::Point> points = DefiningPoints(e);
    if (points.empty()) continue;
    bool all = std::all_of(points.begin(), points.end(), inside);
    bool take = all;
    if (!take && crossing) {
      double bx0 = points[0].x, bx1 = bx0, by0 = points[0].y, by1 = by0;
      for (const auto& p : points) {
        bx0 = std::min(bx0, p.x);
        bx1 = std::max(bx1, p.x);
        by0 = std::min(by0, p.y);
        by1 = std::max(by1, p.y);
      }
      take = bx0 <= x1 && bx1 >= x0 && by0 <= y1 && by1 >= y0;
    }
    if (take) out.push_back(static_cast<EntityId>(e.handle));
  }
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
  for (const dxf::Entity& e : drawing_.entities) {
    if (!Selectable(e)) continue;
    std::vector<sds_host::Point> points = DefiningPoints(e);
    double d = std::numeric_limits<double>::infinity();
    if (points.size() >= 2 && (e.type == "LINE" || e.type == "LWPOLYLINE")) {
      for (size_t i = 1; i < points.size(); ++i) d = std::min(d, segment(points[i - 1], points[i]));
    } else {
      for (const auto& q : points) d = std::min(d, segment(q, q));
    }
    if (d < bestDistance) {
      bestDistance = d;
      best = static_cast<EntityId>(e.handle);
    }
  }
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
  const sds_resbuf* text = FindCode(entity, 1);
  const sds_resbuf* height = FindCode(entity, 40);
  if (text == nullptr || text->resval.rstring == nullptr || height == nullptr) return false;
  const sds_resbuf* styleGroup = FindCode(entity, 7);
  std::wstring style =
      (styleGroup && styleGroup->resval.rstring) ? styleGroup->resval.rstring : L"Standard";
  const sds_resbuf* wfGroup = FindCode(entity, 41);
  double wf = wfGroup ? wfGroup->resval.rreal : StyleWidthFactor(drawing_, style);
  const sds_resbuf* oblique = FindCode(entity, 51);
  const sds_resbuf* generation = FindCode(entity, 71);
  fonts::TextBox box =
      fonts::MeasureText(text->resval.rstring, height->resval.rreal,
                         StyleFor(drawing_, style, wf, oblique ? oblique->resval.rreal : 0.0,
                                  generation ? generation->resval.rint : 0));
  if (!box.ok()) return false;
  lowerLeft = {box.lower_left.x, box.lower_left.y, 0};
  upperRight = {box.upper_right.x, box.upper_right.y, 0};
  return true;
}

}  // namespace gm::drawing
