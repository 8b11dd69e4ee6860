// Block references are read with their full transform (rotation and scale
// applied to the base-point offset too), and a reference inside a block
// definition combines its transform with the enclosing one, so rotated and
// nested blocks land where the user sees them. A text's box is scaled and its
// rotation turned the same way and measured against the user system, so a
// table reads the same wherever and however it is placed. A block that
// inserts itself, directly or through others, is read once per cycle.
#include "capture/entity_reader.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/win/strings.h"
#include "ui/settings.h"

namespace {

constexpr double kPi = 3.1415926535897922;

bool TypeIs(const sds_resbuf* list, const wchar_t* type) {
  const sds_resbuf* rb = FindGroup(list, 0);
  if (rb == nullptr || rb->resval.rstring == nullptr) return false;
  return win::EqualsNoCase(rb->resval.rstring, type);
}

// The first buffer of each group code the reader asks for, found in one walk of the list
// instead of one walk per code.
class Groups {
 public:
  explicit Groups(const sds_resbuf* list) {
    for (; list != nullptr; list = list->rbnext) {
      const int code = list->restype;
      if (code < kLowest || code > kHighest) continue;
      const int slot = kSlots[static_cast<std::size_t>(code - kLowest)];
      if (slot >= 0 && found_[static_cast<std::size_t>(slot)] == nullptr) {
        found_[static_cast<std::size_t>(slot)] = list;
      }
    }
  }
  template <int code>
  const sds_resbuf* Get() const {
    static_assert(code >= kLowest && code <= kHighest && kSlots[code - kLowest] >= 0,
                  "a group code the walk does not gather");
    return found_[static_cast<std::size_t>(kSlots[code - kLowest])];
  }

 private:
  static constexpr int kLowest = -1, kHighest = 71;
  static constexpr int kCodes[] = {-1, 0, 1, 2, 7, 10, 11, 40, 41, 42, 43, 50, 62, 66, 70, 71};
  static constexpr std::size_t kCount = std::size(kCodes);
  static constexpr std::array<int, kHighest - kLowest + 1> kSlots = [] {
    std::array<int, kHighest - kLowest + 1> slots{};
    slots.fill(-1);
    for (std::size_t i = 0; i < kCount; ++i)
      slots[static_cast<std::size_t>(kCodes[i] - kLowest)] = static_cast<int>(i);
    return slots;
  }();
  std::array<const sds_resbuf*, kCount> found_{};
};

enum class Kind { kLine, kLwPolyline, kPolyline, kInsert, kText, kMText, kOther };

// What the reader makes of an entity type. The host names types in capitals, so an exact
// match settles nearly every entity without a call to fold case.
Kind KindOf(std::wstring_view type) {
  struct Name {
    std::wstring_view name;
    Kind kind;
  };
  static constexpr Name kNames[] = {
      {L"LINE", Kind::kLine},         {L"LWPOLYLINE", Kind::kLwPolyline},
      {L"POLYLINE", Kind::kPolyline}, {L"INSERT", Kind::kInsert},
      {L"ACAD_TABLE", Kind::kInsert}, {L"TEXT", Kind::kText},
      {L"ATTRIB", Kind::kText},       {L"MTEXT", Kind::kMText}};
  for (const Name& n : kNames) {
    if (type == n.name) return n.kind;
  }
  for (const Name& n : kNames) {
    if (win::EqualsNoCase(type, n.name)) return n.kind;
  }
  return Kind::kOther;
}

AcGePoint3d PointOf(const sds_resbuf* rb) {
  return {rb->resval.rpoint[0], rb->resval.rpoint[1], rb->resval.rpoint[2]};
}

std::int32_t ColorOf(const Groups& groups) {
  const sds_resbuf* rb = groups.Get<62>();
  return rb ? AciToColor(rb->resval.rint) : kAutomaticColor;
}

double RealOr(const sds_resbuf* rb, double fallback) { return rb ? rb->resval.rreal : fallback; }

// True when the user system is the world system, so that no point needs turning: checked
// exactly on the origin and the three axes, once per reader.
bool UserSystemIsWorld() {
  const AcGePoint3d probes[] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  for (const AcGePoint3d& probe : probes) {
    AcGePoint3d p = probe;
    WcsToUcs(p);
    if (p.x != probe.x || p.y != probe.y || p.z != probe.z) return false;
  }
  return true;
}

// Where a point of an entity lands in the user system.
struct Placer {
  bool world = false;
  AcGePoint3d operator()(AcGePoint3d p, const AcGeMatrix3d* transform) const {
    if (transform != nullptr) p = transform->TransformPoint(p);
    if (!world) WcsToUcs(p);
    return p;
  }
};

// A text's own frame as it lands in the user system: the angle of its
// direction there, in [0, 2pi), and its scale along and across that
// direction, from every enclosing reference and the user system's turn.
struct TextFrame {
  double rotation = 0.0;
  double along = 1.0;
  double across = 1.0;
};

TextFrame FrameOf(const Placer& place, AcGePoint3d insertion, double rotation,
                  const AcGeMatrix3d* transform, const AcGePoint3d& placed) {
  const double c = std::cos(rotation), s = std::sin(rotation);
  const AcGePoint3d d = place({insertion.x + c, insertion.y + s, insertion.z}, transform);
  const AcGePoint3d u = place({insertion.x - s, insertion.y + c, insertion.z}, transform);
  const double dx = d.x - placed.x, dy = d.y - placed.y;
  TextFrame frame;
  frame.along = std::hypot(dx, dy);
  frame.across = std::hypot(u.x - placed.x, u.y - placed.y);
  double angle = std::atan2(dy, dx);
  if (angle < 0) angle += 2 * kPi;
  if (angle > 2 * kPi - kTolerance) angle = 0;
  frame.rotation = angle;
  return frame;
}

// The upright bounds of a box given in the text's own frame (offsets from
// the insertion point), turned by the text's rotation.
void TurnedBox(const TextFrame& frame, const AcGePoint3d& at, double x0, double y0, double x1,
               double y1, ArxDbMText& record) {
  const double c = std::cos(frame.rotation), s = std::sin(frame.rotation);
  double minX = 0, maxX = 0, minY = 0, maxY = 0;
  bool first = true;
  for (double x : {x0, x1}) {
    for (double y : {y0, y1}) {
      const double tx = x * c - y * s, ty = x * s + y * c;
      minX = first ? tx : std::min(minX, tx);
      maxX = first ? tx : std::max(maxX, tx);
      minY = first ? ty : std::min(minY, ty);
      maxY = first ? ty : std::max(maxY, ty);
      first = false;
    }
  }
  record.boxLeft = at.x + minX;
  record.boxTop = at.y + maxY;
  record.boxWidth = maxX - minX;
  record.boxHeight = maxY - minY;
}

// outer · inner, both affine.
AcGeMatrix3d Compose(const AcGeMatrix3d& outer, const AcGeMatrix3d& inner) {
  AcGeMatrix3d m;
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 4; ++c) {
      double v = 0;
      for (int k = 0; k < 3; ++k) v += outer.entry[r][k] * inner.entry[k][c];
      if (c == 3) v += outer.entry[r][3];
      m.entry[r][c] = v;
    }
  }
  return m;
}

void AddLine(CHorzDbLineArray& horizontal, CVertDbLineArray& vertical, AcGePoint3d a, AcGePoint3d b,
             std::int32_t color) {
  CSimpleLine line;
  line.SetEndpoints(a, b);
  line.color = color;
  if (vertical.AddIfVertical(line) < 0) horizontal.AddIfHorizontal(line);
}

void RemoveAll(std::wstring& s, const std::wstring& what, const std::wstring& with) {
  for (size_t pos = s.find(what); pos != std::wstring::npos; pos = s.find(what, pos)) {
    s.replace(pos, what.size(), with);
    pos += with.size();
  }
}

void TrimInPlace(std::wstring& s, std::wstring_view blanks) {
  const size_t first = s.find_first_not_of(blanks);
  if (first == std::wstring::npos) {
    s.clear();
    return;
  }
  s.erase(s.find_last_not_of(blanks) + 1);
  s.erase(0, first);
}

void Shrink(ArxDbMText& t, double f) {
  t.boxLeft += t.boxWidth * f;
  t.boxTop -= t.boxHeight * f;
  t.boxWidth -= 2 * t.boxWidth * f;
  t.boxHeight -= 2 * t.boxHeight * f;
}

void AppendText(CArxDbMTextArray& texts, ArxDbMText&& t) {
  texts.ExtendBounds(t.boxLeft, t.boxTop - t.boxHeight, t.boxLeft + t.boxWidth, t.boxTop);
  texts.Add(std::move(t));
}

}  // namespace

class CEntityReader::Impl {
 public:
  Impl(CHorzDbLineArray& h, CVertDbLineArray& v, CArxDbMTextArray& t, const CShxMap& map)
      : horizontal_(h), vertical_(v), texts_(t), map_(map) {
    place_.world = UserSystemIsWorld();
  }

  void Reserve(long entities) {
    if (entities <= 0) return;
    const auto n = static_cast<std::size_t>(entities);
    // Each on top of what the arrays hold already.
    horizontal_.Data().reserve(horizontal_.Data().size() + n);
    vertical_.Data().reserve(vertical_.Data().size() + n);
    texts_.Data().reserve(texts_.Data().size() + n);
  }

  void Read(const sds_resbuf* list, const AcGeMatrix3d* transform) {
    const Groups groups(list);
    // The type is found once and compared as a view, not looked up again per candidate.
    const sds_resbuf* typeGroup = groups.Get<0>();
    if (typeGroup == nullptr || typeGroup->resval.rstring == nullptr) return;
    switch (KindOf(typeGroup->resval.rstring)) {
      case Kind::kLine:
        Line(groups, transform);
        break;
      case Kind::kLwPolyline:
        LwPolyline(list, groups, transform);
        break;
      case Kind::kPolyline:
        Polyline(groups, transform);
        break;
      case Kind::kInsert:
        // A native table draws itself through its anonymous block.
        Insert(groups, transform);
        break;
      case Kind::kText:
        Text(list, groups, transform);
        break;
      case Kind::kMText:
        MText(list, groups, transform);
        break;
      case Kind::kOther:
        break;
    }
  }

 private:
  void Line(const Groups& groups, const AcGeMatrix3d* transform) {
    const sds_resbuf* start = groups.Get<10>();
    const sds_resbuf* end = groups.Get<11>();
    if (start == nullptr || end == nullptr) return;
    AddLine(horizontal_, vertical_, place_(PointOf(start), transform),
            place_(PointOf(end), transform), ColorOf(groups));
  }

  void Segments(const PointList& points, bool closed, const AcGeMatrix3d* transform,
                std::int32_t color) {
    if (points.GetSize() < 2) return;
    for (int i = 1; i < points.GetSize(); ++i) {
      AddLine(horizontal_, vertical_, place_(points[i - 1], transform),
              place_(points[i], transform), color);
    }
    if (closed) {
      AddLine(horizontal_, vertical_, place_(points[points.GetUpperBound()], transform),
              place_(points[0], transform), color);
    }
  }

  void LwPolyline(const sds_resbuf* list, const Groups& groups, const AcGeMatrix3d* transform) {
    PointList points;
    for (const sds_resbuf* rb = list; rb != nullptr; rb = rb->rbnext) {
      if (rb->restype == 10) points.Add(PointOf(rb));
    }
    const sds_resbuf* flags = groups.Get<70>();
    // Bit 1 closes it; 128 (linetype generation) may come with it.
    Segments(points, flags != nullptr && (flags->resval.rint & 1) != 0, transform, ColorOf(groups));
  }

  // A POLYLINE's vertices follow it up to its SEQEND, as its own entities.
  void Polyline(const Groups& groups, const AcGeMatrix3d* transform) {
    const sds_resbuf* name = groups.Get<-1>();
    if (name == nullptr) return;
    const sds_resbuf* flags = groups.Get<70>();
    int f = flags ? flags->resval.rint : 0;
    if (f & (16 | 64)) return;  // meshes and polyface meshes draw no table lines
    PointList points;
    sds_name current = {name->resval.rlname[0], name->resval.rlname[1]};
    sds_name next;
    while (sds_entnext(current, next) == RTNORM) {
      sds_resbuf* vertex = sds_entget(next);
      bool isVertex = TypeIs(vertex, L"VERTEX");
      if (isVertex) {
        if (const sds_resbuf* p = FindGroup(vertex, 10)) points.Add(PointOf(p));
      }
      sds_relrb(vertex);
      if (!isVertex) break;
      sds_name_set(next, current);
    }
    Segments(points, (f & 1) != 0, transform, ColorOf(groups));
  }

  void Insert(const Groups& groups, const AcGeMatrix3d* outer) {
    const sds_resbuf* insertion = groups.Get<10>();
    if (insertion == nullptr) return;
    const sds_resbuf* blockName = groups.Get<2>();
    if (blockName == nullptr || blockName->resval.rstring == nullptr) return;
    double rotation = RealOr(groups.Get<50>(), 0.0);
    double sx = RealOr(groups.Get<41>(), 1.0), sy = RealOr(groups.Get<42>(), 1.0),
           sz = RealOr(groups.Get<43>(), 1.0);
    std::wstring name = blockName->resval.rstring;

    // Attributes lie at their own positions in the space the reference is in.
    const sds_resbuf* hasAttributes = groups.Get<66>();
    const sds_resbuf* self = groups.Get<-1>();
    if (hasAttributes != nullptr && hasAttributes->resval.rint == 1 && self != nullptr) {
      sds_name current = {self->resval.rlname[0], self->resval.rlname[1]};
      sds_name next;
      while (sds_entnext(current, next) == RTNORM) {
        sds_resbuf* attribute = sds_entget(next);
        Read(attribute, outer);
        bool end = TypeIs(attribute, L"SEQEND");
        sds_relrb(attribute);
        if (end) break;
        sds_name_set(next, current);
      }
    }

    if (std::find(open_blocks_.begin(), open_blocks_.end(), name) != open_blocks_.end()) return;
    sds_name header;
    if (sds_tblobjname(L"BLOCK", name.c_str(), header) != RTNORM) return;
    AcGePoint3d base{0, 0, 0};
    if (sds_resbuf* headerList = sds_entget(header)) {
      if (const sds_resbuf* b = FindGroup(headerList, 10)) base = PointOf(b);
      sds_relrb(headerList);
    }
    // insertion + R(rotation) * S(scale) * (p - base)
    AcGeMatrix3d m;
    double c = std::cos(rotation), s = std::sin(rotation);
    m.entry[0][0] = c * sx;
    m.entry[0][1] = -s * sy;
    m.entry[1][0] = s * sx;
    m.entry[1][1] = c * sy;
    m.entry[2][2] = sz;
    AcGePoint3d p = PointOf(insertion);
    m.entry[0][3] = p.x - (m.entry[0][0] * base.x + m.entry[0][1] * base.y);
    m.entry[1][3] = p.y - (m.entry[1][0] * base.x + m.entry[1][1] * base.y);
    m.entry[2][3] = p.z - sz * base.z;
    AcGeMatrix3d transform = outer ? Compose(*outer, m) : m;

    open_blocks_.push_back(name);
    sds_name current;
    sds_name_set(header, current);
    sds_name next;
    // A nested reference reads its own attributes; the walk passes over them.
    bool passingAttributes = false;
    while (sds_entnext(current, next) == RTNORM) {
      sds_resbuf* entity = sds_entget(next);
      if (passingAttributes && (TypeIs(entity, L"ATTRIB") || TypeIs(entity, L"SEQEND"))) {
        passingAttributes = !TypeIs(entity, L"SEQEND");
      } else {
        passingAttributes = false;
        Read(entity, &transform);
        const sds_resbuf* follows = FindGroup(entity, 66);
        passingAttributes = TypeIs(entity, L"INSERT") && follows && follows->resval.rint == 1;
      }
      sds_relrb(entity);
      sds_name_set(next, current);
    }
    open_blocks_.pop_back();
  }

  void Text(const sds_resbuf* list, const Groups& groups, const AcGeMatrix3d* transform) {
    const sds_resbuf* insertion = groups.Get<10>();
    if (insertion == nullptr) return;
    const sds_resbuf* styleGroup = groups.Get<7>();
    // Kept between texts, so a short style name or text costs no heap call.
    style_.assign((styleGroup && styleGroup->resval.rstring) ? styleGroup->resval.rstring
                                                             : L"Standard");
    sds_point lower, upper;
    if (sds_textbox(list, lower, upper) != RTNORM) return;
    AcGePoint3d p = place_(PointOf(insertion), transform);
    const sds_resbuf* raw = groups.Get<1>();
    if (raw == nullptr || raw->resval.rstring == nullptr) return;
    raw_.assign(raw->resval.rstring);
    std::wstring t = TranslateShx(map_, raw_, style_);
    std::wstring text = t;
    // Every code below starts so; most texts have none.
    if (text.find(L"%%") != std::wstring::npos) {
      RemoveAll(text, L"%%U", L"");
      RemoveAll(text, L"%%O", L"");
      RemoveAll(text, L"%%%", L"%");
    }
    TrimInPlace(text, L" \t\r\n\v\f");
    const sds_resbuf* height = groups.Get<40>();
    const sds_resbuf* rotation = groups.Get<50>();
    if (text.empty() || height == nullptr || rotation == nullptr) return;

    ArxDbMText record;
    record.color = ColorOf(groups);
    record.x = p.x;
    record.y = p.y;
    record.z = p.z;
    const TextFrame frame =
        FrameOf(place_, PointOf(insertion), rotation->resval.rreal, transform, p);
    record.height = height->resval.rreal * frame.across;
    record.rotation = frame.rotation;
    record.text = std::move(text);
    record.source = std::move(t);
    // The part below the baseline is left out.
    const double bottom = std::max(0.0, lower[1]) * frame.across;
    TurnedBox(frame, p, lower[0] * frame.along, bottom, upper[0] * frame.along,
              std::max(bottom, upper[1] * frame.across), record);
    Shrink(record, TextCoreFactor);
    AppendText(texts_, std::move(record));
  }

  void MText(const sds_resbuf* list, const Groups& groups, const AcGeMatrix3d* transform) {
    const sds_resbuf* insertion = groups.Get<10>();
    const sds_resbuf* contents = groups.Get<1>();
    if (insertion == nullptr || contents == nullptr || contents->resval.rstring == nullptr) return;
    ArxDbMText record;
    // A long text comes in chunks of group 3 ahead of its last part.
    for (const sds_resbuf* rb = list; rb != nullptr; rb = rb->rbnext) {
      if (rb->restype == 3 && rb->resval.rstring != nullptr) record.source += rb->resval.rstring;
    }
    record.source += contents->resval.rstring;
    const sds_resbuf* styleGroup = groups.Get<7>();
    style_.assign((styleGroup && styleGroup->resval.rstring) ? styleGroup->resval.rstring
                                                             : L"Standard");
    std::wstring text = TranslateShx(map_, StripMTextFormatting(record.source), style_);
    double w = RealOr(groups.Get<42>(), 0.0), h = RealOr(groups.Get<43>(), 0.0);
    AcGePoint3d p = place_(PointOf(insertion), transform);
    record.x = p.x;
    record.y = p.y;
    record.z = p.z;
    const TextFrame frame =
        FrameOf(place_, PointOf(insertion), RealOr(groups.Get<50>(), 0.0), transform, p);
    record.rotation = frame.rotation;
    record.height = RealOr(groups.Get<40>(), 0.0) * frame.across;
    const sds_resbuf* attachment = groups.Get<71>();
    AcDbExtents extents;
    ComputeMTextBox({0, 0, 0}, extents, w * frame.along, h * frame.across,
                    attachment ? attachment->resval.rint : 1);
    TurnedBox(frame, p, extents.minPoint().x, extents.minPoint().y, extents.maxPoint().x,
              extents.maxPoint().y, record);
    record.text = win::Trim(text, L" \n");
    record.color = ColorOf(groups);
    double f =
        record.text.find(L'\n') == std::wstring::npos ? TextCoreFactor : ConversionSettings.TextTol;
    Shrink(record, f);
    AppendText(texts_, std::move(record));
  }

  CHorzDbLineArray& horizontal_;
  CVertDbLineArray& vertical_;
  CArxDbMTextArray& texts_;
  const CShxMap& map_;
  Placer place_;
  std::vector<std::wstring> open_blocks_;
  std::wstring style_, raw_;
};

const sds_resbuf* FindGroup(const sds_resbuf* list, int code) {
  for (; list != nullptr; list = list->rbnext) {
    if (list->restype == code) return list;
  }
  return nullptr;
}

void WcsToUcs(AcGePoint3d& point) {
  sds_resbuf from{}, to{};
  from.restype = RTSHORT;
  from.resval.rint = 0;
  to.restype = RTSHORT;
  to.resval.rint = 1;
  sds_point in = {point.x, point.y, point.z}, out;
  if (sds_trans(in, &from, &to, 0, out) == RTNORM) point = {out[0], out[1], out[2]};
}

void ComputeMTextBox(const AcGePoint3d& insertion, AcDbExtents& extents, double w, double h,
                     int attachment) {
  double x = insertion.x, y = insertion.y;
  AcGePoint3d p1, p2;
  switch (attachment) {
    case 1:
      p1 = {x, y - h, 0};
      p2 = {x + w, y, 0};
      break;
    case 2:
      p1 = {x - w / 2, y - h, 0};
      p2 = {x + w / 2, y, 0};
      break;
    case 3:
      p1 = {x - w, y - h, 0};
      p2 = {x, y, 0};
      break;
    case 4:
      p1 = {x, y - h / 2, 0};
      p2 = {x + w, y + h / 2, 0};
      break;
    case 5:
      p1 = {x - w / 2, y - h / 2, 0};
      p2 = {x + w / 2, y + h / 2, 0};
      break;
    case 6:
      p1 = {x - w, y - h / 2, 0};
      p2 = {x, y + h / 2, 0};
      break;
    case 7:
      p1 = {x, y, 0};
      p2 = {x + w, y + h, 0};
      break;
    case 8:
      p1 = {x - w / 2, y, 0};
      p2 = {x + w / 2, y + h, 0};
      break;
    case 9:
      p1 = {x - w, y, 0};
      p2 = {x, y + h, 0};
      break;
    default:
      extents.SetFromCorners(insertion, insertion);
      return;
  }
  extents.SetFromCorners(p1, p2);
}

CEntityReader::CEntityReader(CHorzDbLineArray& horizontal, CVertDbLineArray& vertical,
                             CArxDbMTextArray& texts, const CShxMap& shxMap)
    : impl_(std::make_unique<Impl>(horizontal, vertical, texts, shxMap)) {}

CEntityReader::~CEntityReader() = default;

void CEntityReader::Read(const sds_resbuf* list, const AcGeMatrix3d* transform) {
  impl_->Read(list, transform);
}

void CEntityReader::Reserve(long entities) { impl_->Reserve(entities); }

void ReadEntity(CHorzDbLineArray& horizontal, CVertDbLineArray& vertical, CArxDbMTextArray& texts,
                const sds_resbuf* list, const AcGeMatrix3d* transform, const CShxMap& shxMap) {
  CEntityReader(horizontal, vertical, texts, shxMap).Read(list, transform);
}
