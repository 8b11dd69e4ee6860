#include "platform/spreadsheet/automation.h"

#include <array>
#include <cmath>
#include <cwchar>
#include <cwctype>
#include <functional>
#include <optional>

#include "platform/com/dispatch_object.h"
#include "platform/spreadsheet/autofit.h"
#include "platform/win/text.h"

namespace spreadsheet {
namespace {

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
  [[noreturn]] void Refuse(const MemberInfo& m, const Invocation& call) const {
    std::wstring text;
    if (call.is_put()) {
      text = win::Format(L"Unable to set the %s property of the %s class", m.name, ClassName());
    } else if (call.is_get()) {
      text = win::Format(L"Unable to get the %s property of the %s class", m.name, ClassName());
    } else {
      text = win::Format(L"%s method of %s class failed", m.name, ClassName());
    }
    call.Raise(kErrorStatus, text);
  }

  std::uint32_t ColorValue(const MemberInfo& m, const Invocation& call) const {
    const double value = call.Double(kValue);
    if (!(value >= 0 && value <= kMaxColor) || value != std::floor(value)) Refuse(m, call);
    return static_cast<std::uint32_t>(value);
  }
};

// ---------------------------------------------------------------------------
// Reading and applying over the cells of an area.

// Calls fn(cell) for every cell of area (made when new).
template <typename Fn>
void ForEachCell(Worksheet& sheet, const CellRect& area, Fn fn) {
  for (int row = area.top; row <= area.bottom; ++row) {
    for (int column = area.left; column <= area.right; ++column) fn(sheet.At(row, column));
  }
}

// get(cell) when every cell of area gives the same, else nullopt.
template <typename Get>
auto Uniform(const Worksheet& sheet, const CellRect& area, Get get)
    -> std::optional<decltype(get(Cell{}))> {
  const Cell blank;
  std::optional<decltype(get(Cell{}))> common;
  for (int row = area.top; row <= area.bottom; ++row) {
    for (int column = area.left; column <= area.right; ++column) {
      const Cell* cell = sheet.Find(row, column);
      auto value = get(cell ? *cell : blank);
      if (!common) {
        common = value;
      } else if (!(*common == value)) {
        return std::nullopt;
      }
    }
  }
  return common;
}

bool EqualsNoCase(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::towlower(a[i]) != std::towlower(b[i])) return false;
  }
  return true;
}

void ReturnNull(Invocation& call) {
  VARIANT null;
  VariantInit(&null);
  null.vt = VT_NULL;
  call.ReturnVariant(null);
}

// ---------------------------------------------------------------------------
// Interior

class InteriorObject final : public ExcelObject {
 public:
  InteriorObject(std::shared_ptr<Worksheet> sheet, CellRect area)
      : sheet_(std::move(sheet)), area_(area) {}

 protected:
  const wchar_t* ClassName() const override { return L"Interior"; }
  std::span<const MemberInfo> Members() const override {
    static constexpr MemberInfo kMembers[] = {
        {L"Color", 0x63, kGet | kPut, 0, 0},
        {L"ColorIndex", 0x61, kGet | kPut, 0, 0},
    };
    return kMembers;
  }
  void Call(const MemberInfo& m, Invocation& call) override;

 private:
  std::shared_ptr<Worksheet> sheet_;
  CellRect area_;
};

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

// The palette index nearest a colour (0x00BBGGRR).
int NearestColorIndex(std::uint32_t bgr) {
  const std::uint32_t rgb = SwapRedBlue(bgr);
  int best = 1;
  long best_distance = -1;
  for (int i = 0; i < static_cast<int>(kPalette.size()); ++i) {
    long distance = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
      const long d = static_cast<long>((rgb >> shift) & 0xFF) -
                     static_cast<long>((kPalette[i] >> shift) & 0xFF);
      distance += d * d;
    }
    if (best_distance < 0 || distance < best_distance) {
      best = i + 1;
      best_distance = distance;
    }
  }
  return best;
}

void InteriorObject::Call(const MemberInfo& m, Invocation& call) {
  if (area_.count() > kMaxCellsPerCall) Refuse(m, call);
  Worksheet& sheet = *sheet_;
  auto fill_of = [](const Cell& c) { return c.format.fill; };
  if (m.id == 0x63) {
    if (call.is_get()) {
      auto fill = Uniform(sheet, area_, fill_of);
      if (!fill) return ReturnNull(call);
      // No fill reads as white.
      return call.ReturnLong(static_cast<LONG>(fill->value_or(0xFFFFFF)));
    }
    const std::uint32_t color = ColorValue(m, call);
    return ForEachCell(sheet, area_, [&](Cell& c) { c.format.fill = color; });
  }
  // ColorIndex
  if (call.is_get()) {
    auto fill = Uniform(sheet, area_, fill_of);
    if (!fill) return ReturnNull(call);
    return call.ReturnLong(*fill ? NearestColorIndex(**fill) : xlNone);
  }
  const LONG index = call.Long(kValue);
  std::optional<std::uint32_t> fill;
  if (index >= 1 && index <= static_cast<LONG>(kPalette.size())) {
    fill = SwapRedBlue(kPalette[index - 1]);
  } else if (index != xlNone && index != xlAutomatic) {
    Refuse(m, call);
  }
  ForEachCell(sheet, area_, [&](Cell& c) { c.format.fill = fill; });
}

// ---------------------------------------------------------------------------
// Font

class FontObject final : public ExcelObject {
 public:
  FontObject(std::shared_ptr<Worksheet> sheet, CellRect area)
      : sheet_(std::move(sheet)), area_(area) {}

 protected:
  const wchar_t* ClassName() const override { return L"Font"; }
  std::span<const MemberInfo> Members() const override {
    static constexpr MemberInfo kMembers[] = {
        {L"Bold", 0x60, kGet | kPut, 0, 0},   {L"Color", 0x63, kGet | kPut, 0, 0},
        {L"Italic", 0x65, kGet | kPut, 0, 0}, {L"Name", 0x6E, kGet | kPut, 0, 0},
        {L"Size", 0x68, kGet | kPut, 0, 0},
    };
    return kMembers;
  }
  void Call(const MemberInfo& m, Invocation& call) override;

 private:
  std::shared_ptr<Worksheet> sheet_;
  CellRect area_;
};

void FontObject::Call(const MemberInfo& m, Invocation& call) {
  if (area_.count() > kMaxCellsPerCall) Refuse(m, call);
  Worksheet& sheet = *sheet_;
  switch (m.id) {
    case 0x60:
    case 0x65: {
      const bool bold = m.id == 0x60;
      if (call.is_get()) {
        auto v = Uniform(sheet, area_, [&](const Cell& c) {
          return bold ? c.format.font.bold : c.format.font.italic;
        });
        return v ? call.ReturnBool(*v) : ReturnNull(call);
      }
      const bool on = call.Bool(kValue);
      return ForEachCell(sheet, area_,
                         [&](Cell& c) { (bold ? c.format.font.bold : c.format.font.italic) = on; });
    }
    case 0x63: {
      if (call.is_get()) {
        auto v = Uniform(sheet, area_, [](const Cell& c) { return c.format.font.color; });
        return v ? call.ReturnLong(static_cast<LONG>(v->value_or(0))) : ReturnNull(call);
      }
      const std::uint32_t color = ColorValue(m, call);
      return ForEachCell(sheet, area_, [&](Cell& c) { c.format.font.color = color; });
    }
    case 0x6E: {
      if (call.is_get()) {
        auto v = Uniform(sheet, area_, [](const Cell& c) { return c.format.font.name; });
        return v ? call.ReturnString(*v) : ReturnNull(call);
      }
      const std::wstring name = call.String(kValue);
      if (name.empty() || name.size() > 31) Refuse(m, call);
      for (wchar_t ch : name) {
        if (ch < 0x20) Refuse(m, call);
      }
      return ForEachCell(sheet, area_, [&](Cell& c) { c.format.font.name = name; });
    }
    default: {  // Size
      if (call.is_get()) {
        auto v = Uniform(sheet, area_, [](const Cell& c) { return c.format.font.size; });
        return v ? call.ReturnDouble(*v) : ReturnNull(call);
      }
      const double size = call.Double(kValue);
      if (!(size >= 1 && size <= 409)) Refuse(m, call);
      return ForEachCell(sheet, area_, [&](Cell& c) { c.format.font.size = size; });
    }
  }
}

// ---------------------------------------------------------------------------
// Border and Borders

struct EdgeRef {
  int row;
  int column;
  Edge edge;
};

class BorderObject final : public ExcelObject {
 public:
  BorderObject(std::shared_ptr<Worksheet> sheet, CellRect area, int index)
      : sheet_(std::move(sheet)), area_(area), index_(index) {}

 protected:
  const wchar_t* ClassName() const override { return L"Border"; }
  std::span<const MemberInfo> Members() const override {
    static constexpr MemberInfo kMembers[] = {
        {L"Color", 0x63, kGet | kPut, 0, 0},
        {L"LineStyle", 0x77, kGet | kPut, 0, 0},
        {L"Weight", 0x78, kGet | kPut, 0, 0},
    };
    return kMembers;
  }
  void Call(const MemberInfo& m, Invocation& call) override;

 private:
  long long EdgeCount() const;
  template <typename Fn>
  void ForEachEdge(Fn fn) const;

  std::shared_ptr<Worksheet> sheet_;
  CellRect area_;
  int index_;
};

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

void BorderObject::Call(const MemberInfo& m, Invocation& call) {
  if (EdgeCount() > kMaxCellsPerCall) Refuse(m, call);
  Worksheet& sheet = *sheet_;
  if (call.is_get()) {
    std::optional<LONG> common;
    bool mixed = false;
    ForEachEdge([&](const EdgeRef& e) {
      const BorderLine line = sheet.Border(e.row, e.column, e.edge);
      LONG v = m.id == 0x77   ? line.line_style
               : m.id == 0x78 ? line.weight
                              : static_cast<LONG>(line.color.value_or(0));
      if (common && *common != v) mixed = true;
      common = v;
    });
    if (mixed) return ReturnNull(call);
    LONG fallback = m.id == 0x77 ? xlLineStyleNone : m.id == 0x78 ? xlThin : 0;
    return call.ReturnLong(common.value_or(fallback));
  }

  // A weight or colour given to an edge without a line draws a continuous one.
  std::function<void(BorderLine&)> change;
  if (m.id == 0x77) {
    const LONG style = call.Long(kValue);
    if (!KnownLineStyle(style)) Refuse(m, call);
    change = [style](BorderLine& line) {
      if (style == xlLineStyleNone) {
        line = BorderLine{};
      } else {
        line.line_style = style;
      }
    };
  } else if (m.id == 0x78) {
    const LONG weight = call.Long(kValue);
    if (!KnownWeight(weight)) Refuse(m, call);
    change = [weight](BorderLine& line) {
      if (!line.visible()) line.line_style = xlContinuous;
      line.weight = weight;
    };
  } else {
    const std::uint32_t color = ColorValue(m, call);
    change = [color](BorderLine& line) {
      if (!line.visible()) line.line_style = xlContinuous;
      line.color = color;
    };
  }
  ForEachEdge([&](const EdgeRef& e) {
    BorderLine line = sheet.Border(e.row, e.column, e.edge);
    change(line);
    sheet.SetBorder(e.row, e.column, e.edge, line);
  });
}

class BordersObject final : public ExcelObject {
 public:
  BordersObject(std::shared_ptr<Worksheet> sheet, CellRect area)
      : sheet_(std::move(sheet)), area_(area) {}

 protected:
  const wchar_t* ClassName() const override { return L"Borders"; }
  std::span<const MemberInfo> Members() const override {
    static constexpr MemberInfo kMembers[] = {
        {L"Item", 0xAA, kGet, 1, 1},
        {L"_Default", DISPID_VALUE, kGet, 1, 1},
    };
    return kMembers;
  }
  void Call(const MemberInfo& m, Invocation& call) override {
    const LONG index = call.Long(0);
    if (index < xlEdgeLeft || index > xlInsideHorizontal) Refuse(m, call);
    call.ReturnObject(new BorderObject(sheet_, area_, index));
  }

 private:
  std::shared_ptr<Worksheet> sheet_;
  CellRect area_;
};

// ---------------------------------------------------------------------------
// Range

enum class RangeMode { kCells, kColumns, kRows };

class RangeObject final : public ExcelObject {
 public:
  RangeObject(std::shared_ptr<Worksheet> sheet, CellRect area, RangeMode mode)
      : sheet_(std::move(sheet)), area_(area), mode_(mode) {}

  const std::shared_ptr<Worksheet>& sheet() const { return sheet_; }
  const CellRect& area() const { return area_; }

 protected:
  const wchar_t* ClassName() const override { return L"Range"; }
  std::span<const MemberInfo> Members() const override {
    static constexpr MemberInfo kMembers[] = {
        {L"Value", 0x06, kGet | kPut, 0, 0},
        {L"Formula", 0x105, kGet | kPut, 0, 0},
        {L"NumberFormatLocal", 0x449, kGet | kPut, 0, 0},
        {L"NumberFormat", 0xC1, kGet | kPut, 0, 0},
        {L"HorizontalAlignment", 0x88, kGet | kPut, 0, 0},
        {L"VerticalAlignment", 0x89, kGet | kPut, 0, 0},
        {L"Orientation", 0x86, kGet | kPut, 0, 0},
        {L"WrapText", 0x114, kGet | kPut, 0, 0},
        {L"Font", 0x92, kGet, 0, 0},
        {L"Borders", 0x1B3, kGet, 0, 0},
        {L"Interior", 0x81, kGet, 0, 0},
        {L"Item", 0xAA, kGet, 1, 2},
        {L"_Default", DISPID_VALUE, kGet, 0, 2},
        {L"Range", 0xC5, kGet, 1, 2},
        {L"Cells", 0xEE, kGet, 0, 0},
        {L"Columns", 0xF1, kGet, 0, 0},
        {L"Rows", 0x102, kGet, 0, 0},
        {L"AutoFit", 0xED, kMethod, 0, 0},
        {L"Merge", 0x234, kMethod, 0, 1},
        {L"UnMerge", 0x235, kMethod, 0, 0},
        {L"MergeCells", 0xD0, kGet, 0, 0},
        {L"Address", 0xEC, kGet, 0, 2},
        {L"Count", 0x76, kGet, 0, 0},
        {L"Row", 0x101, kGet, 0, 0},
        {L"Column", 0xF0, kGet, 0, 0},
    };
    return kMembers;
  }
  void Call(const MemberInfo& m, Invocation& call) override;

 private:
  void Item(const MemberInfo& m, Invocation& call);
  void SubRange(const MemberInfo& m, Invocation& call);
  CellRect AreaArgument(const MemberInfo& m, Invocation& call, UINT index) const;
  void GetValue(const MemberInfo& m, Invocation& call, bool formula);
  void PutValue(const MemberInfo& m, Invocation& call, bool formula);
  void Format(const MemberInfo& m, Invocation& call);
  void Merge(const MemberInfo& m, Invocation& call);
  void CheckSize(const MemberInfo& m, const Invocation& call) const {
    if (area_.count() > kMaxCellsPerCall) Refuse(m, call);
  }
  IDispatch* NewRange(const CellRect& area, RangeMode mode) const {
    return new RangeObject(sheet_, area, mode);
  }

  std::shared_ptr<Worksheet> sheet_;
  CellRect area_;
  RangeMode mode_;
};

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

CellRect RangeObject::AreaArgument(const MemberInfo& m, Invocation& call, UINT index) const {
  bool mismatch = false;
  auto area = AreaOf(call.Raw(index), *sheet_, area_, mismatch);
  if (mismatch) call.Fail(DISP_E_TYPEMISMATCH);
  if (!area) Refuse(m, call);
  return *area;
}

void RangeObject::SubRange(const MemberInfo& m, Invocation& call) {
  CellRect area = AreaArgument(m, call, 0);
  if (call.Has(1)) area = area.Union(AreaArgument(m, call, 1));
  call.ReturnObject(NewRange(area, RangeMode::kCells));
}

void RangeObject::Item(const MemberInfo& m, Invocation& call) {
  long long row = 0;
  long long column = 0;
  if (call.Has(1)) {
    row = area_.top + static_cast<long long>(call.Long(0)) - 1;
    const VARIANT& c = call.Raw(1);
    double ignored = 0;
    if (c.vt == VT_BSTR && !ParsePlainNumber(c.bstrVal ? c.bstrVal : L"", &ignored)) {
      const int letters = ColumnFromLetters(c.bstrVal ? c.bstrVal : L"");
      if (letters == 0) Refuse(m, call);
      column = area_.left + letters - 1;
    } else {
      column = area_.left + static_cast<long long>(call.Long(1)) - 1;
    }
  } else {
    const long long index = call.Long(0);
    if (index < 1) Refuse(m, call);
    if (mode_ == RangeMode::kColumns) {
      const long long at = area_.left + index - 1;
      if (at > kMaxColumns) Refuse(m, call);
      return call.ReturnObject(
          NewRange({area_.top, static_cast<int>(at), area_.bottom, static_cast<int>(at)},
                   RangeMode::kColumns));
    }
    if (mode_ == RangeMode::kRows) {
      const long long at = area_.top + index - 1;
      if (at > kMaxRows) Refuse(m, call);
      return call.ReturnObject(NewRange(
          {static_cast<int>(at), area_.left, static_cast<int>(at), area_.right}, RangeMode::kRows));
    }
    row = area_.top + (index - 1) / area_.columns();
    column = area_.left + (index - 1) % area_.columns();
  }
  if (row < 1 || row > kMaxRows || column < 1 || column > kMaxColumns) Refuse(m, call);
  call.ReturnObject(
      NewRange(CellRect::Cell(static_cast<int>(row), static_cast<int>(column)), RangeMode::kCells));
}

void ReturnCellValue(Invocation& call, const CellValue& value) {
  if (const auto* number = std::get_if<double>(&value)) return call.ReturnDouble(*number);
  if (const auto* text = std::get_if<std::wstring>(&value)) return call.ReturnString(*text);
  if (const auto* flag = std::get_if<bool>(&value)) return call.ReturnBool(*flag);
  // A formula's result is not computed here.
  call.ReturnEmpty();
}

void RangeObject::GetValue(const MemberInfo& m, Invocation& call, bool formula) {
  if (area_.count() != 1) {
    call.Raise(E_NOTIMPL, L"Reading the values of more than one cell at once is not supported");
  }
  const Cell* cell = sheet_->Find(area_.top, area_.left);
  const CellValue value = cell ? cell->value : CellValue{};
  if (!formula) return ReturnCellValue(call, value);
  if (const auto* f = std::get_if<Formula>(&value)) return call.ReturnString(f->text);
  call.ReturnString(DisplayText(value));
}

// What a formula text must at least be: quotes closed, brackets balanced.
bool PlausibleFormula(const std::wstring& text) {
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

void RangeObject::PutValue(const MemberInfo& m, Invocation& call, bool formula) {
  CheckSize(m, call);
  VARIANT value;
  VariantInit(&value);
  HRESULT hr = VariantCopy(&value, &call.Raw(kValue));
  if (FAILED(hr)) call.Fail(hr);
  if (value.vt == VT_DISPATCH) {
    // An object gives its default value.
    IDispatch* object = value.pdispVal;
    VARIANT resolved;
    VariantInit(&resolved);
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    hr = object ? object->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET,
                                 &none, &resolved, nullptr, nullptr)
                : DISP_E_TYPEMISMATCH;
    VariantClear(&value);
    if (FAILED(hr) || resolved.vt == VT_DISPATCH || resolved.vt == VT_UNKNOWN) {
      VariantClear(&resolved);
      call.Fail(DISP_E_TYPEMISMATCH);
    }
    value = resolved;
  }
  struct Holder {
    VARIANT& v;
    ~Holder() { VariantClear(&v); }
  } holder{value};

  Worksheet& sheet = *sheet_;
  switch (value.vt) {
    case VT_EMPTY:
    case VT_NULL:
      return ForEachCell(sheet, area_, [](Cell& c) { c.value = std::monostate{}; });
    case VT_BOOL: {
      const bool flag = value.boolVal != VARIANT_FALSE;
      return ForEachCell(sheet, area_, [&](Cell& c) { c.value = flag; });
    }
    case VT_BSTR: {
      std::wstring text(value.bstrVal ? value.bstrVal : L"", SysStringLen(value.bstrVal));
      if (text.size() > kMaxTextLength) Refuse(m, call);
      // A cell formatted as text takes a formula as its text.
      auto takes_formula = [&](int row, int column) {
        const Cell* cell = sheet.Find(row, column);
        return formula && !text.empty() && text[0] == L'=' && !(cell && cell->format.is_text());
      };
      if (formula && !text.empty() && text[0] == L'=' && !PlausibleFormula(text)) {
        bool any = false;
        for (int row = area_.top; row <= area_.bottom && !any; ++row) {
          for (int column = area_.left; column <= area_.right && !any; ++column) {
            any = takes_formula(row, column);
          }
        }
        if (any) Refuse(m, call);
      }
      for (int row = area_.top; row <= area_.bottom; ++row) {
        for (int column = area_.left; column <= area_.right; ++column) {
          if (takes_formula(row, column)) {
            sheet.At(row, column).value = Formula{text};
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
      if (!std::isfinite(v)) Refuse(m, call);
      return ForEachCell(sheet, area_, [&](Cell& c) { c.value = v; });
    }
  }
}

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

LONG OrientationConstant(int degrees) {
  switch (degrees) {
    case 0:
      return xlHorizontal;
    case 90:
      return xlUpward;
    case -90:
      return xlDownward;
    case kStackedText:
      return xlVertical;
    default:
      return degrees;
  }
}

void RangeObject::Format(const MemberInfo& m, Invocation& call) {
  CheckSize(m, call);
  Worksheet& sheet = *sheet_;
  if (call.is_get()) {
    switch (m.id) {
      case 0x449:
      case 0xC1: {
        auto v = Uniform(sheet, area_, [](const Cell& c) { return c.format.number_format; });
        if (!v) return ReturnNull(call);
        return call.ReturnString(v->empty() ? L"General" : *v);
      }
      case 0x88:
      case 0x89: {
        const bool horizontal = m.id == 0x88;
        auto v = Uniform(sheet, area_, [&](const Cell& c) {
          return horizontal ? c.format.horizontal_alignment : c.format.vertical_alignment;
        });
        return v ? call.ReturnLong(*v) : ReturnNull(call);
      }
      case 0x86: {
        auto v = Uniform(sheet, area_, [](const Cell& c) { return c.format.orientation; });
        return v ? call.ReturnLong(OrientationConstant(*v)) : ReturnNull(call);
      }
      default: {  // WrapText
        auto v = Uniform(sheet, area_, [](const Cell& c) { return c.format.wrap_text; });
        return v ? call.ReturnBool(*v) : ReturnNull(call);
      }
    }
  }
  switch (m.id) {
    case 0x449:
    case 0xC1: {
      std::wstring code = call.String(kValue);
      if (code.size() > 255) Refuse(m, call);
      for (wchar_t ch : code) {
        if (ch < 0x20) Refuse(m, call);
      }
      if (EqualsNoCase(code, L"General")) code.clear();
      return ForEachCell(sheet, area_, [&](Cell& c) { c.format.number_format = code; });
    }
    case 0x88: {
      const LONG v = call.Long(kValue);
      if (!KnownHorizontal(v)) Refuse(m, call);
      return ForEachCell(sheet, area_, [&](Cell& c) { c.format.horizontal_alignment = v; });
    }
    case 0x89: {
      const LONG v = call.Long(kValue);
      if (!KnownVertical(v)) Refuse(m, call);
      return ForEachCell(sheet, area_, [&](Cell& c) { c.format.vertical_alignment = v; });
    }
    case 0x86: {
      auto degrees = OrientationDegrees(call.Long(kValue));
      if (!degrees) Refuse(m, call);
      return ForEachCell(sheet, area_, [&](Cell& c) { c.format.orientation = *degrees; });
    }
    default: {
      const bool wrap = call.Bool(kValue);
      return ForEachCell(sheet, area_, [&](Cell& c) { c.format.wrap_text = wrap; });
    }
  }
}

void RangeObject::Merge(const MemberInfo& m, Invocation& call) {
  const bool across = call.Has(0) && call.Bool(0);
  if (!across) return sheet_->Merge(area_);
  if (area_.rows() > kMaxAcrossRows) Refuse(m, call);
  for (int row = area_.top; row <= area_.bottom; ++row) {
    sheet_->Merge({row, area_.left, row, area_.right});
  }
}

void RangeObject::Call(const MemberInfo& m, Invocation& call) {
  switch (m.id) {
    case 0x06:
    case 0x105:
      return call.is_get() ? GetValue(m, call, m.id == 0x105) : PutValue(m, call, m.id == 0x105);
    case DISPID_VALUE:
      if (call.count() == 0) return GetValue(m, call, false);
      return Item(m, call);
    case 0xAA:
      return Item(m, call);
    case 0xC5:
      return SubRange(m, call);
    case 0x449:
    case 0xC1:
    case 0x88:
    case 0x89:
    case 0x86:
    case 0x114:
      return Format(m, call);
    case 0x92:
      return call.ReturnObject(new FontObject(sheet_, area_));
    case 0x1B3:
      return call.ReturnObject(new BordersObject(sheet_, area_));
    case 0x81:
      return call.ReturnObject(new InteriorObject(sheet_, area_));
    case 0xEE:
      return call.ReturnObject(NewRange(area_, RangeMode::kCells));
    case 0xF1:
      return call.ReturnObject(NewRange(area_, RangeMode::kColumns));
    case 0x102:
      return call.ReturnObject(NewRange(area_, RangeMode::kRows));
    case 0xED:
      if (mode_ == RangeMode::kColumns) {
        AutoFitColumns(*sheet_, area_);
      } else if (mode_ == RangeMode::kRows) {
        AutoFitRows(*sheet_, area_);
      } else {
        // Only whole columns or rows fit themselves.
        Refuse(m, call);
      }
      return call.ReturnBool(true);
    case 0x234:
      return Merge(m, call);
    case 0x235:
      return sheet_->Unmerge(area_);
    case 0xD0: {
      bool inside = false;
      bool touches = false;
      for (const CellRect& merged : sheet_->merged_areas()) {
        if (merged.Overlaps(area_)) touches = true;
        if (merged.Contains(area_.top, area_.left) && merged.Contains(area_.bottom, area_.right)) {
          inside = true;
        }
      }
      if (inside || !touches) return call.ReturnBool(inside);
      return ReturnNull(call);
    }
    case 0xEC: {
      const bool row_absolute = !call.Has(0) || call.Bool(0);
      const bool column_absolute = !call.Has(1) || call.Bool(1);
      return call.ReturnString(FormatAddress(area_, row_absolute, column_absolute));
    }
    case 0x76: {
      const long long count = mode_ == RangeMode::kColumns ? area_.columns()
                              : mode_ == RangeMode::kRows  ? area_.rows()
                                                           : area_.count();
      if (count > 0x7FFFFFFF) Refuse(m, call);
      return call.ReturnLong(static_cast<LONG>(count));
    }
    case 0x101:
      return call.ReturnLong(area_.top);
    case 0xF0:
      return call.ReturnLong(area_.left);
    default:
      call.Fail(DISP_E_MEMBERNOTFOUND);
  }
}

// ---------------------------------------------------------------------------
// Worksheet, Workbook, Workbooks, Application

class WorksheetObject final : public ExcelObject {
 public:
  // book: the sheet's workbook, which names and activation need.
  WorksheetObject(std::shared_ptr<Worksheet> sheet, std::shared_ptr<Workbook> book)
      : sheet_(std::move(sheet)), book_(std::move(book)) {}
  const Worksheet* sheet() const { return sheet_.get(); }

 protected:
  const wchar_t* ClassName() const override { return L"Worksheet"; }
  std::span<const MemberInfo> Members() const override {
    static constexpr MemberInfo kMembers[] = {
        {L"Cells", 0xEE, kGet, 0, 0},        {L"UsedRange", 0x19C, kGet, 0, 0},
        {L"Range", 0xC5, kGet, 1, 2},        {L"Columns", 0xF1, kGet, 0, 0},
        {L"Rows", 0x102, kGet, 0, 0},        {L"Name", 0x6E, kGet | kPut, 0, 0},
        {L"Activate", 0x130, kMethod, 0, 0},
    };
    return kMembers;
  }
  void Call(const MemberInfo& m, Invocation& call) override {
    switch (m.id) {
      case 0xEE:
        return call.ReturnObject(new RangeObject(sheet_, CellRect::Sheet(), RangeMode::kCells));
      case 0xF1:
        return call.ReturnObject(new RangeObject(sheet_, CellRect::Sheet(), RangeMode::kColumns));
      case 0x102:
        return call.ReturnObject(new RangeObject(sheet_, CellRect::Sheet(), RangeMode::kRows));
      case 0x19C: {
        // An untouched sheet's used range is its first cell.
        const CellRect used = sheet_->UsedRange().value_or(CellRect::Cell(1, 1));
        return call.ReturnObject(new RangeObject(sheet_, used, RangeMode::kCells));
      }
      case 0xC5: {
        bool mismatch = false;
        auto area = AreaOf(call.Raw(0), *sheet_, CellRect::Cell(1, 1), mismatch);
        if (mismatch) call.Fail(DISP_E_TYPEMISMATCH);
        if (!area) Refuse(m, call);
        if (call.Has(1)) {
          auto second = AreaOf(call.Raw(1), *sheet_, CellRect::Cell(1, 1), mismatch);
          if (mismatch) call.Fail(DISP_E_TYPEMISMATCH);
          if (!second) Refuse(m, call);
          area = area->Union(*second);
        }
        return call.ReturnObject(new RangeObject(sheet_, *area, RangeMode::kCells));
      }
      case 0x130:
        if (!book_ || !book_->Activate(*sheet_)) Refuse(m, call);
        return call.ReturnEmpty();
      default: {
        if (!call.is_put()) return call.ReturnString(sheet_->name());
        const std::wstring name = call.String(kValue);
        if (!IsSheetName(name)) Refuse(m, call);
        if (book_) {
          const auto other = book_->FindSheet(name);
          if (other && other != sheet_) Refuse(m, call);
        }
        sheet_->set_name(name);
        return call.ReturnEmpty();
      }
    }
  }

 private:
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

 protected:
  const wchar_t* ClassName() const override { return L"Sheets"; }
  std::span<const MemberInfo> Members() const override {
    static constexpr MemberInfo kMembers[] = {
        {L"Count", 0x76, kGet, 0, 0},
        {L"Add", 0xB5, kMethod, 0, 4},
        {L"Item", 0xAA, kGet, 1, 1},
        {L"_Default", DISPID_VALUE, kGet, 1, 1},
    };
    return kMembers;
  }
  void Call(const MemberInfo& m, Invocation& call) override {
    switch (m.id) {
      case 0x76:
        return call.ReturnLong(static_cast<LONG>(book_->sheets().size()));
      case 0xB5: {
        // Before (0) or After (1) one of this workbook's sheets; neither:
        // before the active sheet. Count and Type are not offered.
        if (call.Has(2) || call.Has(3)) Refuse(m, call);
        std::size_t index = book_->IndexOf(*book_->active_sheet());
        for (UINT k : {0u, 1u}) {
          if (!call.Has(k)) continue;
          const VARIANT& v = call.Raw(k);
          const auto* other =
              v.vt == VT_DISPATCH ? dynamic_cast<const WorksheetObject*>(v.pdispVal) : nullptr;
          if (other == nullptr) call.Fail(DISP_E_TYPEMISMATCH);
          index = book_->IndexOf(*other->sheet());
          if (index == book_->sheets().size()) Refuse(m, call);
          if (k == 1) ++index;
        }
        return call.ReturnObject(new WorksheetObject(book_->AddSheet(index), book_));
      }
      default: {
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
        return call.ReturnObject(new WorksheetObject(book_->sheets()[index - 1], book_));
      }
    }
  }

 private:
  std::shared_ptr<Workbook> book_;
};

class WorkbookObject final : public ExcelObject {
 public:
  explicit WorkbookObject(std::shared_ptr<Workbook> book) : book_(std::move(book)) {}

 protected:
  const wchar_t* ClassName() const override { return L"Workbook"; }
  std::span<const MemberInfo> Members() const override {
    static constexpr MemberInfo kMembers[] = {
        {L"Name", 0x6E, kGet, 0, 0},
        {L"ActiveSheet", 0x133, kGet, 0, 0},
        {L"Worksheets", 0x1EE, kGet, 0, 0},
    };
    return kMembers;
  }
  void Call(const MemberInfo& m, Invocation& call) override {
    if (m.id == 0x6E) return call.ReturnString(book_->name());
    if (m.id == 0x1EE) return call.ReturnObject(new WorksheetsObject(book_));
    call.ReturnObject(new WorksheetObject(book_->active_sheet(), book_));
  }

 private:
  std::shared_ptr<Workbook> book_;
};

std::shared_ptr<Workbook> AddWorkbook(ApplicationModel& app) {
  auto book = std::make_shared<Workbook>(L"Book" + std::to_wstring(app.next_book_number++));
  app.workbooks.push_back(book);
  app.active_workbook = book;
  return book;
}

class WorkbooksObject final : public ExcelObject {
 public:
  explicit WorkbooksObject(std::shared_ptr<ApplicationModel> app) : app_(std::move(app)) {}

 protected:
  const wchar_t* ClassName() const override { return L"Workbooks"; }
  std::span<const MemberInfo> Members() const override {
    static constexpr MemberInfo kMembers[] = {
        {L"Count", 0x76, kGet, 0, 0},
        {L"Add", 0xB5, kMethod, 0, 1},
        {L"Item", 0xAA, kGet, 1, 1},
        {L"_Default", DISPID_VALUE, kGet, 1, 1},
    };
    return kMembers;
  }
  void Call(const MemberInfo& m, Invocation& call) override {
    switch (m.id) {
      case 0x76:
        return call.ReturnLong(static_cast<LONG>(app_->workbooks.size()));
      case 0xB5:
        // Only the blank worksheet template is at hand; a template file
        // cannot be opened.
        if (call.Has(0) && (call.Raw(0).vt == VT_BSTR || call.Long(0) != xlWBATWorksheet)) {
          Refuse(m, call);
        }
        return call.ReturnObject(new WorkbookObject(AddWorkbook(*app_)));
      default: {
        const VARIANT& key = call.Raw(0);
        if (key.vt == VT_BSTR) {
          const std::wstring name(key.bstrVal ? key.bstrVal : L"", SysStringLen(key.bstrVal));
          for (const auto& book : app_->workbooks) {
            if (book->name() == name) return call.ReturnObject(new WorkbookObject(book));
          }
          call.Fail(DISP_E_BADINDEX);
        }
        const LONG index = call.Long(0);
        if (index < 1 || index > static_cast<LONG>(app_->workbooks.size())) {
          call.Fail(DISP_E_BADINDEX);
        }
        return call.ReturnObject(new WorkbookObject(app_->workbooks[index - 1]));
      }
    }
  }

 private:
  std::shared_ptr<ApplicationModel> app_;
};

class ApplicationObject final : public ExcelObject {
 public:
  explicit ApplicationObject(std::shared_ptr<ApplicationModel> app) : app_(std::move(app)) {}

 protected:
  const wchar_t* ClassName() const override { return L"Application"; }
  std::span<const MemberInfo> Members() const override {
    static constexpr MemberInfo kMembers[] = {
        {L"ActiveSheet", 0x133, kGet, 0, 0},
        {L"ActiveWorkbook", 0x134, kGet, 0, 0},
        {L"DisplayAlerts", 0x157, kGet | kPut, 0, 0},
        {L"Interactive", 0x169, kGet | kPut, 0, 0},
        {L"Version", 0x188, kGet, 0, 0},
        {L"Visible", 0x22E, kGet | kPut, 0, 0},
        {L"Workbooks", 0x23C, kGet, 0, 0},
        {L"EditDirectlyInCell", 0x3A1, kGet | kPut, 0, 0},
        {L"Hwnd", 0x79E, kGet, 0, 0},
    };
    return kMembers;
  }
  void Call(const MemberInfo& m, Invocation& call) override {
    ApplicationModel& app = *app_;
    bool* flag = nullptr;
    switch (m.id) {
      case 0x133:
        if (!app.active_workbook) return call.ReturnObject(nullptr);
        return call.ReturnObject(
            new WorksheetObject(app.active_workbook->active_sheet(), app.active_workbook));
      case 0x134:
        if (!app.active_workbook) return call.ReturnObject(nullptr);
        return call.ReturnObject(new WorkbookObject(app.active_workbook));
      case 0x188:
        return call.ReturnString(L"16.0");
      case 0x23C:
        return call.ReturnObject(new WorkbooksObject(app_));
      case 0x79E:
        return call.ReturnLong(app.hwnd);
      case 0x157:
        flag = &app.display_alerts;
        break;
      case 0x169:
        flag = &app.interactive;
        break;
      case 0x22E:
        flag = &app.visible;
        break;
      default:
        flag = &app.edit_directly_in_cell;
        break;
    }
    if (call.is_get()) return call.ReturnBool(*flag);
    *flag = call.Bool(kValue);
  }

 private:
  std::shared_ptr<ApplicationModel> app_;
};

}  // namespace

IDispatch* NewApplicationObject(std::shared_ptr<ApplicationModel> model) {
  return new ApplicationObject(std::move(model));
}

}  // namespace spreadsheet
