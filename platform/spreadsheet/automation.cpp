#include "platform/spreadsheet/automation.h"

#include <array>
#include <cmath>
#include <cwchar>
#include <optional>

#include "platform/com/dispatch_object.h"
#include "platform/spreadsheet/autofit.h"
#include "platform/win/strings.h"
#include "platform/win/text.h"

namespace spreadsheet {
namespace {

using com::Handle;
using com::Invocation;
using com::MemberInfo;

constexpr WORD kGet = DISPATCH_PROPERTYGET;
constexpr WORD kPut = DISPATCH_PROPERTYPUT;
constexpr WORD kMethod = DISPATCH_METHOD;
constexpr UINT kValue = Invocation::kValue;
// Merging row by row is quadratic in the merged areas; beyond this many
// rows it is refused.
constexpr int kMaxAcrossRows = 10000;
constexpr std::uint32_t kMaxColor = 0xFFFFFF;

class ExcelObject : public com::DispatchObject {
 protected:
  std::wstring ExceptionSource() const override { return L"Microsoft Excel"; }
  virtual const wchar_t* ClassName() const = 0;

  // The object model's error for a call it cannot carry out.
  [[noreturn]] void Refuse(const Invocation& call) const {
    const wchar_t* name = call.member().name;
    std::wstring text;
    if (call.is_put()) {
      text = win::Format(L"Unable to set the %s property of the %s class", name, ClassName());
    } else if (call.is_get()) {
      text = win::Format(L"Unable to get the %s property of the %s class", name, ClassName());
    } else {
      text = win::Format(L"%s method of %s class failed", name, ClassName());
    }
    call.Raise(kErrorStatus, text);
  }

  std::uint32_t ColorValue(const Invocation& call) const {
    const double value = call.Double(kValue);
    if (!(value >= 0 && value <= kMaxColor) || value != std::floor(value)) Refuse(call);
    return static_cast<std::uint32_t>(value);
  }
};

// An object that works on an area of a sheet.
class AreaObject : public ExcelObject {
 public:
  AreaObject(std::shared_ptr<Worksheet> sheet, CellRect area)
      : sheet_(std::move(sheet)), area_(area) {}
  void Reuse(const std::shared_ptr<Worksheet>& sheet, CellRect area) {
    if (sheet_ != sheet) sheet_ = sheet;
    area_ = area;
    Revive();
  }

 protected:
  void CheckSize(const Invocation& call) const {
    if (area_.count() > kMaxCellsPerCall) Refuse(call);
  }

  std::shared_ptr<Worksheet> sheet_;
  CellRect area_;
};

// A writer asks for a range, its borders, four border edges, its font and
// interior for every cell; released ones wait here for the next cell
// instead of going back to the heap. Only objects nobody references are
// kept, so a reused object is never one a client still holds.
template <typename T>
class Pool {
 public:
  template <typename... Extra>
  static T* Make(const std::shared_ptr<Worksheet>& sheet, const CellRect& area, Extra... extra) {
    Objects& free = List();
    if (free.count == 0) return new T(sheet, area, extra...);
    T* object = free.objects[--free.count];
    object->Reuse(sheet, area, extra...);
    return object;
  }
  static void Keep(T* object) {
    Objects& free = List();
    if (free.count < kSize) {
      free.objects[free.count++] = object;
    } else {
      delete object;
    }
  }

 private:
  static constexpr size_t kSize = 16;
  struct Objects {
    ~Objects() {
      for (size_t i = 0; i < count; ++i) delete objects[i];
    }
    std::array<T*, kSize> objects{};
    size_t count = 0;
  };
  // Per thread: a release never races a make.
  static Objects& List() {
    thread_local Objects objects;
    return objects;
  }
};

template <typename Self>
class PooledArea : public AreaObject {
 public:
  using AreaObject::AreaObject;

 protected:
  // A kept object keeps its sheet until it is reused or its thread ends:
  // sheets go only when the application quits, and sharing the sheet anew
  // for every object cost an atomic count up and down, several per cell.
  void Recycle() override { Pool<Self>::Keep(static_cast<Self*>(this)); }
};

// ---------------------------------------------------------------------------
// Reading and applying over the cells of an area.

// Gives every cell of area (made when new) the value.
void SetValues(Worksheet& sheet, const CellRect& area, const CellValue& value) {
  for (int row = area.top; row <= area.bottom; ++row) {
    for (int column = area.left; column <= area.right; ++column) {
      sheet.SetValue(row, column, value);
    }
  }
}

// Names a change of one format field to one value, for the sheet to
// remember (values up to 48 bits).
enum FieldTag : std::uint64_t { kHorizontal = 1, kVertical, kOrientation, kWrap, kFill, kText };
std::uint64_t ChangeKey(FieldTag tag, long long value) {
  return (static_cast<std::uint64_t>(tag) << 48) |
         (static_cast<std::uint64_t>(value) & 0xFFFFFFFFFFFFull);
}

// ---------------------------------------------------------------------------
// Interior

// The default palette of 56 colours, as 0xRRGGBB.
constexpr std::array<std::uint32_t, 56> kPalette = {
    0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF,
    0x800000, 0x008000, 0x000080, 0x808000, 0x800080, 0x008080, 0xC0C0C0, 0x808080,
    0x9999FF, 0x993366, 0xFFFFCC, 0xCCFFFF, 0x660066, 0xFF8080, 0x0066CC, 0xCCCCFF,
    0x000080, 0xFF00FF, 0xFFFF00, 0x00FFFF, 0x800080, 0x800000, 0x008080, 0x0000FF,
    0x00CCFF, 0xCCFFFF, 0xCCFFCC, 0xFFFF99, 0x99CCFF, 0xFF99CC, 0xCC99FF, 0xFFCC99,
    0x3366FF, 0x33CCCC, 0x99CC00, 0xFFCC00, 0xFF9900, 0xFF6600, 0x666699, 0x969696,
    0x003366, 0x339966, 0x003300, 0x333300, 0x993300, 0x993366, 0x333399, 0x333333};

std::uint32_t SwapRedBlue(std::uint32_t c) {
  return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

class InteriorObject final : public PooledArea<InteriorObject> {
 public:
  using PooledArea::PooledArea;
  static const MemberInfo kMembers[];

 protected:
  const wchar_t* ClassName() const override { return L"Interior"; }
  std::span<const MemberInfo> Members() const override;

 private:
  void Color(Invocation& call) {
    CheckSize(call);
    const std::uint32_t color = ColorValue(call);
    sheet_->ChangeFormat(
        area_, [&](CellFormat& f) { f.fill = color; }, ChangeKey(kFill, color));
  }
  void ColorIndex(Invocation& call) {
    CheckSize(call);
    const LONG index = call.Long(kValue);
    std::optional<std::uint32_t> fill;
    if (index >= 1 && index <= static_cast<LONG>(kPalette.size())) {
      fill = SwapRedBlue(kPalette[index - 1]);
    } else if (index != xlNone && index != xlAutomatic) {
      Refuse(call);
    }
    const long long key = fill ? static_cast<long long>(*fill) : 1ll << 40;
    sheet_->ChangeFormat(
        area_, [&](CellFormat& f) { f.fill = fill; }, ChangeKey(kFill, key));
  }
};

const MemberInfo InteriorObject::kMembers[] = {
    {L"ColorIndex", 0x61, kPut, 0, 0, Handle<&InteriorObject::ColorIndex>},
    {L"Color", 0x63, kPut, 0, 0, Handle<&InteriorObject::Color>},
};
std::span<const MemberInfo> InteriorObject::Members() const { return kMembers; }

// ---------------------------------------------------------------------------
// Font: handed out, as the writer asks for it, with nothing set through it.

class FontObject final : public PooledArea<FontObject> {
 public:
  using PooledArea::PooledArea;

 protected:
  const wchar_t* ClassName() const override { return L"Font"; }
  std::span<const MemberInfo> Members() const override { return {}; }
};

// ---------------------------------------------------------------------------
// Border and Borders

struct EdgeRef {
  int row;
  int column;
  Edge edge;
};

bool KnownLineStyle(LONG style) {
  switch (style) {
    case xlContinuous:
    case xlDash:
    case xlDot:
    case xlDouble:
    case xlDashDot:
    case xlDashDotDot:
    case xlSlantDashDot:
    case xlLineStyleNone:
      return true;
    default:
      return false;
  }
}

bool KnownWeight(LONG weight) {
  return weight == xlHairline || weight == xlThin || weight == xlMedium || weight == xlThick;
}

class BorderObject final : public PooledArea<BorderObject> {
 public:
  BorderObject(std::shared_ptr<Worksheet> sheet, CellRect area, int index)
      : PooledArea(std::move(sheet), area), index_(index) {}
  void Reuse(const std::shared_ptr<Worksheet>& sheet, CellRect area, int index) {
    PooledArea::Reuse(sheet, area);
    index_ = index;
  }
  static const MemberInfo kMembers[];

 protected:
  const wchar_t* ClassName() const override { return L"Border"; }
  std::span<const MemberInfo> Members() const override;

 private:
  long long EdgeCount() const;
  template <typename Fn>
  void ForEachEdge(Fn fn) const;

  // Changes the line of every edge; change(line) edits one.
  template <typename Change>
  void ChangeLines(const Invocation& call, Change change) {
    if (EdgeCount() > kMaxCellsPerCall) Refuse(call);
    Worksheet& sheet = *sheet_;
    ForEachEdge([&](const EdgeRef& e) { sheet.ChangeBorder(e.row, e.column, e.edge, change); });
  }

  void LineStyle(Invocation& call) {
    const LONG style = call.Long(kValue);
    if (!KnownLineStyle(style)) Refuse(call);
    ChangeLines(call, [style](BorderLine& line) {
      if (style == xlLineStyleNone) {
        line = BorderLine{};
      } else {
        line.line_style = style;
      }
    });
  }
  // A weight or colour given to an edge without a line draws a continuous one.
  void Weight(Invocation& call) {
    const LONG weight = call.Long(kValue);
    if (!KnownWeight(weight)) Refuse(call);
    ChangeLines(call, [weight](BorderLine& line) {
      if (!line.visible()) line.line_style = xlContinuous;
      line.weight = weight;
    });
  }
  void Color(Invocation& call) {
    const std::uint32_t color = ColorValue(call);
    ChangeLines(call, [color](BorderLine& line) {
      if (!line.visible()) line.line_style = xlContinuous;
      line.color = color;
    });
  }

  int index_;
};

const MemberInfo BorderObject::kMembers[] = {
    {L"Color", 0x63, kPut, 0, 0, Handle<&BorderObject::Color>},
    {L"LineStyle", 0x77, kPut, 0, 0, Handle<&BorderObject::LineStyle>},
    {L"Weight", 0x78, kPut, 0, 0, Handle<&BorderObject::Weight>},
};
std::span<const MemberInfo> BorderObject::Members() const { return kMembers; }

long long BorderObject::EdgeCount() const {
  switch (index_) {
    case xlEdgeLeft:
    case xlEdgeRight:
      return area_.rows();
    case xlEdgeTop:
    case xlEdgeBottom:
      return area_.columns();
    case xlInsideVertical:
      return static_cast<long long>(area_.rows()) * (area_.columns() - 1);
    default:  // xlInsideHorizontal
      return static_cast<long long>(area_.rows() - 1) * area_.columns();
  }
}

template <typename Fn>
void BorderObject::ForEachEdge(Fn fn) const {
  const CellRect& a = area_;
  switch (index_) {
    case xlEdgeLeft:
      for (int r = a.top; r <= a.bottom; ++r) fn(EdgeRef{r, a.left, kEdgeLeft});
      break;
    case xlEdgeRight:
      for (int r = a.top; r <= a.bottom; ++r) fn(EdgeRef{r, a.right, kEdgeRight});
      break;
    case xlEdgeTop:
      for (int c = a.left; c <= a.right; ++c) fn(EdgeRef{a.top, c, kEdgeTop});
      break;
    case xlEdgeBottom:
      for (int c = a.left; c <= a.right; ++c) fn(EdgeRef{a.bottom, c, kEdgeBottom});
      break;
    case xlInsideVertical:
      for (int r = a.top; r <= a.bottom; ++r) {
        for (int c = a.left; c < a.right; ++c) fn(EdgeRef{r, c, kEdgeRight});
      }
      break;
    default:  // xlInsideHorizontal
      for (int r = a.top; r < a.bottom; ++r) {
        for (int c = a.left; c <= a.right; ++c) fn(EdgeRef{r, c, kEdgeBottom});
      }
      break;
  }
}

class BordersObject final : public PooledArea<BordersObject> {
 public:
  using PooledArea::PooledArea;
  static const MemberInfo kMembers[];

 protected:
  const wchar_t* ClassName() const override { return L"Borders"; }
  std::span<const MemberInfo> Members() const override;

 private:
  void Item(Invocation& call) {
    const LONG index = call.Long(0);
    if (index < xlEdgeLeft || index > xlInsideHorizontal) Refuse(call);
    call.ReturnObject(Pool<BorderObject>::Make(sheet_, area_, static_cast<int>(index)));
  }
};

const MemberInfo BordersObject::kMembers[] = {
    {L"_Default", DISPID_VALUE, kGet, 1, 1, Handle<&BordersObject::Item>},
    {L"Item", 0xAA, kGet, 1, 1, Handle<&BordersObject::Item>},
};
std::span<const MemberInfo> BordersObject::Members() const { return kMembers; }

// ---------------------------------------------------------------------------
// Range

enum class RangeMode { kCells, kColumns, kRows };

bool KnownHorizontal(LONG v) {
  switch (v) {
    case xlGeneral:
    case xlLeft:
    case xlCenter:
    case xlRight:
    case xlFill:
    case xlJustify:
    case xlCenterAcrossSelection:
    case xlDistributed:
      return true;
    default:
      return false;
  }
}

bool KnownVertical(LONG v) {
  return v == xlTop || v == xlCenter || v == xlBottom || v == xlJustify || v == xlDistributed;
}

// The orientation constant or angle a client gives, as stored; nullopt
// when it is neither.
std::optional<int> OrientationDegrees(LONG v) {
  switch (v) {
    case xlHorizontal:
      return 0;
    case xlUpward:
      return 90;
    case xlDownward:
      return -90;
    case xlVertical:
      return kStackedText;
    default:
      if (v >= -90 && v <= 90) return static_cast<int>(v);
      return std::nullopt;
  }
}

class RangeObject final : public PooledArea<RangeObject> {
 public:
  RangeObject(std::shared_ptr<Worksheet> sheet, CellRect area, RangeMode mode)
      : PooledArea(std::move(sheet), area), mode_(mode) {}
  void Reuse(const std::shared_ptr<Worksheet>& sheet, CellRect area, RangeMode mode) {
    PooledArea::Reuse(sheet, area);
    mode_ = mode;
  }
  static const MemberInfo kMembers[];

  const std::shared_ptr<Worksheet>& sheet() const { return sheet_; }
  const CellRect& area() const { return area_; }

 protected:
  const wchar_t* ClassName() const override { return L"Range"; }
  std::span<const MemberInfo> Members() const override;

 private:
  void Item(Invocation& call);
  void SubRange(Invocation& call);
  CellRect AreaArgument(Invocation& call, UINT index) const;
  void PutValue(Invocation& call, bool formula);
  void SetValue(Invocation& call) { PutValue(call, false); }
  void SetFormula(Invocation& call) { PutValue(call, true); }
  void NumberFormatLocal(Invocation& call);
  void Merge(Invocation& call);
  void AutoFit(Invocation& call);

  // Sets one format field of every cell to value.
  template <typename Field, typename T>
  void SetFormat(const Invocation& call, Field CellFormat::*field, const T& value,
                 std::uint64_t key) {
    CheckSize(call);
    sheet_->ChangeFormat(
        area_, [&](CellFormat& f) { f.*field = value; }, key);
  }
  void HorizontalAlignment(Invocation& call) {
    const LONG v = call.Long(kValue);
    if (!KnownHorizontal(v)) Refuse(call);
    SetFormat(call, &CellFormat::horizontal_alignment, static_cast<int>(v),
              ChangeKey(kHorizontal, v));
  }
  void VerticalAlignment(Invocation& call) {
    const LONG v = call.Long(kValue);
    if (!KnownVertical(v)) Refuse(call);
    SetFormat(call, &CellFormat::vertical_alignment, static_cast<int>(v), ChangeKey(kVertical, v));
  }
  void Orientation(Invocation& call) {
    auto degrees = OrientationDegrees(call.Long(kValue));
    if (!degrees) Refuse(call);
    SetFormat(call, &CellFormat::orientation, *degrees, ChangeKey(kOrientation, *degrees));
  }
  void WrapText(Invocation& call) {
    const bool wrap = call.Bool(kValue);
    SetFormat(call, &CellFormat::wrap_text, wrap, ChangeKey(kWrap, wrap));
  }
  void Font(Invocation& call) { call.ReturnObject(Pool<FontObject>::Make(sheet_, area_)); }
  void Borders(Invocation& call) { call.ReturnObject(Pool<BordersObject>::Make(sheet_, area_)); }
  void Interior(Invocation& call) { call.ReturnObject(Pool<InteriorObject>::Make(sheet_, area_)); }
  void Columns(Invocation& call) { call.ReturnObject(NewRange(area_, RangeMode::kColumns)); }
  void Rows(Invocation& call) { call.ReturnObject(NewRange(area_, RangeMode::kRows)); }
  void Address(Invocation& call) {
    const bool row_absolute = !call.Has(0) || call.Bool(0);
    const bool column_absolute = !call.Has(1) || call.Bool(1);
    call.ReturnString(FormatAddress(area_, row_absolute, column_absolute));
  }
  IDispatch* NewRange(const CellRect& area, RangeMode mode) const {
    return Pool<RangeObject>::Make(sheet_, area, mode);
  }

  RangeMode mode_;
};

const MemberInfo RangeObject::kMembers[] = {
    {L"Value", 0x06, kPut, 0, 0, Handle<&RangeObject::SetValue>},
    {L"Interior", 0x81, kGet, 0, 0, Handle<&RangeObject::Interior>},
    {L"Orientation", 0x86, kPut, 0, 0, Handle<&RangeObject::Orientation>},
    {L"HorizontalAlignment", 0x88, kPut, 0, 0, Handle<&RangeObject::HorizontalAlignment>},
    {L"VerticalAlignment", 0x89, kPut, 0, 0, Handle<&RangeObject::VerticalAlignment>},
    {L"Font", 0x92, kGet, 0, 0, Handle<&RangeObject::Font>},
    {L"Item", 0xAA, kGet, 1, 2, Handle<&RangeObject::Item>},
    {L"Range", 0xC5, kGet, 1, 2, Handle<&RangeObject::SubRange>},
    {L"Address", 0xEC, kGet, 0, 2, Handle<&RangeObject::Address>},
    {L"AutoFit", 0xED, kMethod, 0, 0, Handle<&RangeObject::AutoFit>},
    {L"Columns", 0xF1, kGet, 0, 0, Handle<&RangeObject::Columns>},
    {L"Rows", 0x102, kGet, 0, 0, Handle<&RangeObject::Rows>},
    {L"Formula", 0x105, kPut, 0, 0, Handle<&RangeObject::SetFormula>},
    {L"WrapText", 0x114, kPut, 0, 0, Handle<&RangeObject::WrapText>},
    {L"Borders", 0x1B3, kGet, 0, 0, Handle<&RangeObject::Borders>},
    {L"Merge", 0x234, kMethod, 0, 1, Handle<&RangeObject::Merge>},
    {L"NumberFormatLocal", 0x449, kPut, 0, 0, Handle<&RangeObject::NumberFormatLocal>},
};
std::span<const MemberInfo> RangeObject::Members() const { return kMembers; }

// The area a Range argument names: a reference text, relative to base, or
// a range object of the same sheet.
std::optional<CellRect> AreaOf(const VARIANT& v, const Worksheet& sheet, const CellRect& base,
                               bool& type_mismatch) {
  type_mismatch = false;
  if (v.vt == VT_DISPATCH && v.pdispVal != nullptr) {
    auto* range = dynamic_cast<RangeObject*>(v.pdispVal);
    if (range == nullptr || range->sheet().get() != &sheet) return std::nullopt;
    return range->area();
  }
  if (v.vt != VT_BSTR) {
    type_mismatch = true;
    return std::nullopt;
  }
  auto area =
      ParseReference(std::wstring_view(v.bstrVal ? v.bstrVal : L"", SysStringLen(v.bstrVal)));
  if (!area) return std::nullopt;
  CellRect shifted{area->top + base.top - 1, area->left + base.left - 1,
                   area->bottom + base.top - 1, area->right + base.left - 1};
  if (!shifted.valid()) return std::nullopt;
  return shifted;
}

CellRect RangeObject::AreaArgument(Invocation& call, UINT index) const {
  bool mismatch = false;
  auto area = AreaOf(call.Raw(index), *sheet_, area_, mismatch);
  if (mismatch) call.Fail(DISP_E_TYPEMISMATCH);
  if (!area) Refuse(call);
  return *area;
}

void RangeObject::SubRange(Invocation& call) {
  CellRect area = AreaArgument(call, 0);
  if (call.Has(1)) area = area.Union(AreaArgument(call, 1));
  call.ReturnObject(NewRange(area, RangeMode::kCells));
}

void RangeObject::Item(Invocation& call) {
  long long row = 0;
  long long column = 0;
  if (call.Has(1)) {
    row = area_.top + static_cast<long long>(call.Long(0)) - 1;
    const VARIANT& c = call.Raw(1);
    double ignored = 0;
    if (c.vt == VT_BSTR && !ParsePlainNumber(c.bstrVal ? c.bstrVal : L"", &ignored)) {
      const int letters = ColumnFromLetters(c.bstrVal ? c.bstrVal : L"");
      if (letters == 0) Refuse(call);
      column = area_.left + letters - 1;
    } else {
      column = area_.left + static_cast<long long>(call.Long(1)) - 1;
    }
  } else {
    const long long index = call.Long(0);
    if (index < 1) Refuse(call);
    if (mode_ == RangeMode::kColumns) {
      const long long at = area_.left + index - 1;
      if (at > kMaxColumns) Refuse(call);
      return call.ReturnObject(
          NewRange({area_.top, static_cast<int>(at), area_.bottom, static_cast<int>(at)},
                   RangeMode::kColumns));
    }
    if (mode_ == RangeMode::kRows) {
      const long long at = area_.top + index - 1;
      if (at > kMaxRows) Refuse(call);
      return call.ReturnObject(NewRange(
          {static_cast<int>(at), area_.left, static_cast<int>(at), area_.right}, RangeMode::kRows));
    }
    row = area_.top + (index - 1) / area_.columns();
    column = area_.left + (index - 1) % area_.columns();
  }
  if (row < 1 || row > kMaxRows || column < 1 || column > kMaxColumns) Refuse(call);
  call.ReturnObject(
      NewRange(CellRect::Cell(static_cast<int>(row), static_cast<int>(column)), RangeMode::kCells));
}

// What a formula text must at least be: quotes closed, brackets balanced.
bool PlausibleFormula(std::wstring_view text) {
  if (text.size() < 2 || text.size() > 8192) return false;
  int depth = 0;
  bool quoted = false;
  for (size_t i = 1; i < text.size(); ++i) {
    const wchar_t c = text[i];
    if (c == L'"') {
      quoted = !quoted;
    } else if (!quoted && c == L'(') {
      ++depth;
    } else if (!quoted && c == L')') {
      if (--depth < 0) return false;
    }
  }
  return depth == 0 && !quoted;
}

void RangeObject::PutValue(Invocation& call, bool formula) {
  CheckSize(call);
  // The caller's value as it is; only an object's default value is owned.
  VARIANT value = call.Raw(kValue);
  VARIANT resolved;
  VariantInit(&resolved);
  struct Holder {
    VARIANT& v;
    ~Holder() { VariantClear(&v); }
  } holder{resolved};
  if (value.vt == VT_DISPATCH) {
    // An object gives its default value.
    IDispatch* object = value.pdispVal;
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    HRESULT hr = object ? object->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT,
                                         DISPATCH_PROPERTYGET, &none, &resolved, nullptr, nullptr)
                        : DISP_E_TYPEMISMATCH;
    if (FAILED(hr) || resolved.vt == VT_DISPATCH || resolved.vt == VT_UNKNOWN) {
      call.Fail(DISP_E_TYPEMISMATCH);
    }
    value = resolved;
  }

  Worksheet& sheet = *sheet_;
  switch (value.vt) {
    case VT_EMPTY:
    case VT_NULL:
      return SetValues(sheet, area_, std::monostate{});
    case VT_BOOL:
      return SetValues(sheet, area_, value.boolVal != VARIANT_FALSE);
    case VT_BSTR: {
      const std::wstring_view text(value.bstrVal ? value.bstrVal : L"",
                                   SysStringLen(value.bstrVal));
      if (text.size() > kMaxTextLength) Refuse(call);
      // A cell formatted as text takes a formula as its text.
      auto takes_formula = [&](int row, int column) {
        return formula && !text.empty() && text[0] == L'=' &&
               !sheet.FormatAt(row, column).is_text();
      };
      if (formula && !text.empty() && text[0] == L'=' && !PlausibleFormula(text)) {
        bool any = false;
        for (int row = area_.top; row <= area_.bottom && !any; ++row) {
          for (int column = area_.left; column <= area_.right && !any; ++column) {
            any = takes_formula(row, column);
          }
        }
        if (any) Refuse(call);
      }
      for (int row = area_.top; row <= area_.bottom; ++row) {
        for (int column = area_.left; column <= area_.right; ++column) {
          if (takes_formula(row, column)) {
            sheet.SetValue(row, column, Formula{std::wstring(text)});
          } else {
            sheet.EnterText(row, column, text);
          }
        }
      }
      return;
    }
    default: {
      VARIANT number;
      VariantInit(&number);
      if (FAILED(VariantChangeType(&number, &value, 0, VT_R8))) call.Fail(DISP_E_TYPEMISMATCH);
      const double v = number.dblVal;
      if (!std::isfinite(v)) Refuse(call);
      return SetValues(sheet, area_, v);
    }
  }
}

void RangeObject::NumberFormatLocal(Invocation& call) {
  CheckSize(call);
  std::wstring code = call.String(kValue);
  if (code.size() > 255) Refuse(call);
  for (wchar_t ch : code) {
    if (ch < 0x20) Refuse(call);
  }
  if (code.size() == 7 && win::EqualsNoCase(code, L"General")) code.clear();
  // Only the two codes the writer sets are worth remembering.
  const std::uint64_t key = code.empty()   ? ChangeKey(kText, 0)
                            : code == L"@" ? ChangeKey(kText, 1)
                                           : 0;
  SetFormat(call, &CellFormat::number_format, code, key);
}

void RangeObject::Merge(Invocation& call) {
  const bool across = call.Has(0) && call.Bool(0);
  if (!across) return sheet_->Merge(area_);
  if (area_.rows() > kMaxAcrossRows) Refuse(call);
  for (int row = area_.top; row <= area_.bottom; ++row) {
    sheet_->Merge({row, area_.left, row, area_.right});
  }
}

void RangeObject::AutoFit(Invocation& call) {
  if (mode_ == RangeMode::kColumns) {
    AutoFitColumns(*sheet_, area_);
  } else if (mode_ == RangeMode::kRows) {
    AutoFitRows(*sheet_, area_);
  } else {
    // Only whole columns or rows fit themselves.
    Refuse(call);
  }
  call.ReturnBool(true);
}

// ---------------------------------------------------------------------------
// Worksheet, Workbook, Workbooks, Application

class WorksheetObject final : public ExcelObject {
 public:
  // book: the sheet's workbook, which names and activation need.
  WorksheetObject(std::shared_ptr<Worksheet> sheet, std::shared_ptr<Workbook> book)
      : sheet_(std::move(sheet)), book_(std::move(book)) {}
  static const MemberInfo kMembers[];
  const Worksheet* sheet() const { return sheet_.get(); }

 protected:
  const wchar_t* ClassName() const override { return L"Worksheet"; }
  std::span<const MemberInfo> Members() const override;

 private:
  void Name(Invocation& call) {
    if (!call.is_put()) return call.ReturnString(sheet_->name());
    const std::wstring name = call.String(kValue);
    if (!IsSheetName(name)) Refuse(call);
    if (book_) {
      const auto other = book_->FindSheet(name);
      if (other && other != sheet_) Refuse(call);
    }
    sheet_->set_name(name);
  }
  void Activate(Invocation& call) {
    if (!book_ || !book_->Activate(*sheet_)) Refuse(call);
  }
  void Cells(Invocation& call) {
    call.ReturnObject(Pool<RangeObject>::Make(sheet_, CellRect::Sheet(), RangeMode::kCells));
  }
  void UsedRange(Invocation& call) {
    // An untouched sheet's used range is its first cell.
    const CellRect used = sheet_->UsedRange().value_or(CellRect::Cell(1, 1));
    call.ReturnObject(Pool<RangeObject>::Make(sheet_, used, RangeMode::kCells));
  }
  // What the spreadsheet accepts as a sheet name.
  static bool IsSheetName(const std::wstring& name) {
    if (name.empty() || name.size() > 31 || name.front() == L'\'' || name.back() == L'\'') {
      return false;
    }
    for (const wchar_t c : name) {
      if (c < 0x20 || std::wcschr(L":\\/?*[]", c) != nullptr) return false;
    }
    return true;
  }

  std::shared_ptr<Worksheet> sheet_;
  std::shared_ptr<Workbook> book_;
};

class WorksheetsObject final : public ExcelObject {
 public:
  explicit WorksheetsObject(std::shared_ptr<Workbook> book) : book_(std::move(book)) {}
  static const MemberInfo kMembers[];

 protected:
  const wchar_t* ClassName() const override { return L"Sheets"; }
  std::span<const MemberInfo> Members() const override;

 private:
  void Count(Invocation& call) { call.ReturnLong(static_cast<LONG>(book_->sheets().size())); }
  void Add(Invocation& call) {
    // Before (0) or After (1) one of this workbook's sheets; neither:
    // before the active sheet. Count and Type are not offered.
    if (call.Has(2) || call.Has(3)) Refuse(call);
    std::size_t index = book_->IndexOf(*book_->active_sheet());
    for (UINT k : {0u, 1u}) {
      if (!call.Has(k)) continue;
      const VARIANT& v = call.Raw(k);
      const auto* other =
          v.vt == VT_DISPATCH ? dynamic_cast<const WorksheetObject*>(v.pdispVal) : nullptr;
      if (other == nullptr) call.Fail(DISP_E_TYPEMISMATCH);
      index = book_->IndexOf(*other->sheet());
      if (index == book_->sheets().size()) Refuse(call);
      if (k == 1) ++index;
    }
    call.ReturnObject(new WorksheetObject(book_->AddSheet(index), book_));
  }
  void Item(Invocation& call) {
    const VARIANT& key = call.Raw(0);
    if (key.vt == VT_BSTR) {
      const auto sheet = book_->FindSheet(call.String(0));
      if (!sheet) call.Fail(DISP_E_BADINDEX);
      return call.ReturnObject(new WorksheetObject(sheet, book_));
    }
    const LONG index = call.Long(0);
    if (index < 1 || index > static_cast<LONG>(book_->sheets().size())) {
      call.Fail(DISP_E_BADINDEX);
    }
    call.ReturnObject(new WorksheetObject(book_->sheets()[index - 1], book_));
  }

  std::shared_ptr<Workbook> book_;
};

const MemberInfo WorksheetsObject::kMembers[] = {
    {L"_Default", DISPID_VALUE, kGet, 1, 1, Handle<&WorksheetsObject::Item>},
    {L"Count", 0x76, kGet, 0, 0, Handle<&WorksheetsObject::Count>},
    {L"Item", 0xAA, kGet, 1, 1, Handle<&WorksheetsObject::Item>},
    {L"Add", 0xB5, kMethod, 0, 4, Handle<&WorksheetsObject::Add>},
};
std::span<const MemberInfo> WorksheetsObject::Members() const { return kMembers; }

const MemberInfo WorksheetObject::kMembers[] = {
    {L"Name", 0x6E, kGet | kPut, 0, 0, Handle<&WorksheetObject::Name>},
    {L"Cells", 0xEE, kGet, 0, 0, Handle<&WorksheetObject::Cells>},
    {L"Activate", 0x130, kMethod, 0, 0, Handle<&WorksheetObject::Activate>},
    {L"UsedRange", 0x19C, kGet, 0, 0, Handle<&WorksheetObject::UsedRange>},
};
std::span<const MemberInfo> WorksheetObject::Members() const { return kMembers; }

class WorkbookObject final : public ExcelObject {
 public:
  explicit WorkbookObject(std::shared_ptr<Workbook> book) : book_(std::move(book)) {}
  static const MemberInfo kMembers[];

 protected:
  const wchar_t* ClassName() const override { return L"Workbook"; }
  std::span<const MemberInfo> Members() const override;

 private:
  void Name(Invocation& call) { call.ReturnString(book_->name()); }
  void ActiveSheet(Invocation& call) {
    call.ReturnObject(new WorksheetObject(book_->active_sheet(), book_));
  }
  void Worksheets(Invocation& call) { call.ReturnObject(new WorksheetsObject(book_)); }

  std::shared_ptr<Workbook> book_;
};

const MemberInfo WorkbookObject::kMembers[] = {
    {L"Name", 0x6E, kGet, 0, 0, Handle<&WorkbookObject::Name>},
    {L"ActiveSheet", 0x133, kGet, 0, 0, Handle<&WorkbookObject::ActiveSheet>},
    {L"Worksheets", 0x1EE, kGet, 0, 0, Handle<&WorkbookObject::Worksheets>},
};
std::span<const MemberInfo> WorkbookObject::Members() const { return kMembers; }

std::shared_ptr<Workbook> AddWorkbook(ApplicationModel& app) {
  auto book = std::make_shared<Workbook>(L"Book" + std::to_wstring(app.next_book_number++));
  app.workbooks.push_back(book);
  app.active_workbook = book;
  return book;
}

class WorkbooksObject final : public ExcelObject {
 public:
  explicit WorkbooksObject(std::shared_ptr<ApplicationModel> app) : app_(std::move(app)) {}
  static const MemberInfo kMembers[];

 protected:
  const wchar_t* ClassName() const override { return L"Workbooks"; }
  std::span<const MemberInfo> Members() const override;

 private:
  void Count(Invocation& call) { call.ReturnLong(static_cast<LONG>(app_->workbooks.size())); }
  void Add(Invocation& call) {
    // Only the blank worksheet template is at hand; a template file
    // cannot be opened.
    if (call.Has(0) && (call.Raw(0).vt == VT_BSTR || call.Long(0) != xlWBATWorksheet)) {
      Refuse(call);
    }
    call.ReturnObject(new WorkbookObject(AddWorkbook(*app_)));
  }

  std::shared_ptr<ApplicationModel> app_;
};

const MemberInfo WorkbooksObject::kMembers[] = {
    {L"Count", 0x76, kGet, 0, 0, Handle<&WorkbooksObject::Count>},
    {L"Add", 0xB5, kMethod, 0, 1, Handle<&WorkbooksObject::Add>},
};
std::span<const MemberInfo> WorkbooksObject::Members() const { return kMembers; }

class ApplicationObject final : public ExcelObject {
 public:
  explicit ApplicationObject(std::shared_ptr<ApplicationModel> app) : app_(std::move(app)) {}
  static const MemberInfo kMembers[];

 protected:
  const wchar_t* ClassName() const override { return L"Application"; }
  std::span<const MemberInfo> Members() const override;

 private:
  void ActiveSheet(Invocation& call) {
    const auto& book = app_->active_workbook;
    call.ReturnObject(book ? new WorksheetObject(book->active_sheet(), book) : nullptr);
  }
  void ActiveWorkbook(Invocation& call) {
    const auto& book = app_->active_workbook;
    call.ReturnObject(book ? new WorkbookObject(book) : nullptr);
  }
  void Version(Invocation& call) { call.ReturnString(L"16.0"); }
  void Workbooks(Invocation& call) { call.ReturnObject(new WorkbooksObject(app_)); }
  void Hwnd(Invocation& call) { call.ReturnLong(app_->hwnd); }
  void Flag(Invocation& call, bool ApplicationModel::*flag) {
    if (call.is_get()) return call.ReturnBool((*app_).*flag);
    (*app_).*flag = call.Bool(kValue);
  }
  void DisplayAlerts(Invocation& call) { Flag(call, &ApplicationModel::display_alerts); }
  void Interactive(Invocation& call) { Flag(call, &ApplicationModel::interactive); }
  void Visible(Invocation& call) { Flag(call, &ApplicationModel::visible); }
  void EditDirectlyInCell(Invocation& call) {
    Flag(call, &ApplicationModel::edit_directly_in_cell);
  }

  std::shared_ptr<ApplicationModel> app_;
};

const MemberInfo ApplicationObject::kMembers[] = {
    {L"ActiveSheet", 0x133, kGet, 0, 0, Handle<&ApplicationObject::ActiveSheet>},
    {L"ActiveWorkbook", 0x134, kGet, 0, 0, Handle<&ApplicationObject::ActiveWorkbook>},
    {L"DisplayAlerts", 0x157, kGet | kPut, 0, 0, Handle<&ApplicationObject::DisplayAlerts>},
    {L"Interactive", 0x169, kPut, 0, 0, Handle<&ApplicationObject::Interactive>},
    {L"Version", 0x188, kGet, 0, 0, Handle<&ApplicationObject::Version>},
    {L"Visible", 0x22E, kGet | kPut, 0, 0, Handle<&ApplicationObject::Visible>},
    {L"Workbooks", 0x23C, kGet, 0, 0, Handle<&ApplicationObject::Workbooks>},
    {L"EditDirectlyInCell", 0x3A1, kGet | kPut, 0, 0,
     Handle<&ApplicationObject::EditDirectlyInCell>},
    {L"Hwnd", 0x79E, kGet, 0, 0, Handle<&ApplicationObject::Hwnd>},
};
std::span<const MemberInfo> ApplicationObject::Members() const { return kMembers; }

}  // namespace

IDispatch* NewApplicationObject(std::shared_ptr<ApplicationModel> model) {
  return new ApplicationObject(std::move(model));
}

std::span<const ObjectMembers> ObjectModel() {
  static const ObjectMembers kModel[] = {
      {L"Application", ApplicationObject::kMembers},
      {L"Workbooks", WorkbooksObject::kMembers},
      {L"Workbook", WorkbookObject::kMembers},
      {L"Worksheet", WorksheetObject::kMembers},
      {L"Sheets", WorksheetsObject::kMembers},
      {L"Range", RangeObject::kMembers},
      {L"Borders", BordersObject::kMembers},
      {L"Border", BorderObject::kMembers},
      {L"Font", {}},
      {L"Interior", InteriorObject::kMembers},
  };
  return kModel;
}

}  // namespace spreadsheet
