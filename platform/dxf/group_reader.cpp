#include "platform/dxf/group_reader.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

#include "platform/dxf/ascii.h"

namespace gm::dxf {
namespace {

enum class NumberError { kNone, kNotANumber, kNotFinite, kOutOfRange };

// A plain decimal ("-5.25", "20.0"; most numbers of a drawing) of at most 15 digits: the
// digits are exact as an integer and so is the power of ten, so one rounded division gives the
// same double as a full parse. False for anything else.
inline bool ParseShortDecimal(const char* p, const char* last, double* value) {
  static constexpr double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                       1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  const bool negative = p != last && *p == '-';
  if (negative) ++p;
  // Past 15 digits the mantissa may wrap, but such a text is refused below anyway.
  std::uint64_t mantissa = 0;
  const char* const whole = p;
  while (p != last && static_cast<unsigned>(*p - '0') < 10) {
    mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
    ++p;
  }
  const auto whole_digits = p - whole;
  if (whole_digits == 0) return false;
  std::ptrdiff_t decimals = 0;
  if (p != last) {
    if (*p != '.') return false;
    const char* const fraction = ++p;
    while (p != last && static_cast<unsigned>(*p - '0') < 10) {
      mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
      ++p;
    }
    decimals = p - fraction;
    if (p != last || decimals == 0) return false;
  }
  if (whole_digits + decimals > 15) return false;
  const double d = static_cast<double>(mantissa) / kPowers[decimals];
  *value = negative ? -d : d;
  return true;
}

// A real number in the C locale's notation, all of the text (blanks around allowed).
NumberError ParseReal(std::string_view text, double* value) {
  text = TrimBlanks(text);
  const char* first = text.data();
  const char* last = first + text.size();
  if (first != last && *first == '+') ++first;
  if (first == last) return NumberError::kNotANumber;
  if (ParseShortDecimal(first, last, value)) return NumberError::kNone;
  double d = 0;
  const auto [ptr, ec] = std::from_chars(first, last, d, std::chars_format::general);
  if (ec == std::errc::result_out_of_range && ptr == last) {
    // Underflow reads as zero; overflow is no coordinate.
    const std::string_view digits(first, last - first);
    const std::size_t e = digits.find_first_of("eE");
    if (e != std::string_view::npos && e + 1 < digits.size() && digits[e + 1] == '-') {
      *value = digits.front() == '-' ? -0.0 : 0.0;
      return NumberError::kNone;
    }
    return NumberError::kNotFinite;
  }
  if (ec != std::errc() || ptr != last) {
    // What MSVC's printf writes for infinity and NaN: 1.#INF, -1.#IND, 1.#QNAN.
    if (text.find("#INF") != std::string_view::npos ||
        text.find("#IND") != std::string_view::npos ||
        text.find("#QNAN") != std::string_view::npos ||
        text.find("#SNAN") != std::string_view::npos) {
      return NumberError::kNotFinite;
    }
    return NumberError::kNotANumber;
  }
  if (!std::isfinite(d)) return NumberError::kNotFinite;
  *value = d;
  return NumberError::kNone;
}

// An integer in [min, max]. A whole number written as a real ("1.0", as some exporters write
// flags) is accepted; a fraction is not.
NumberError ParseInteger(std::string_view text, std::int64_t min, std::int64_t max,
                         std::int64_t* value) {
  text = TrimBlanks(text);
  const char* first = text.data();
  const char* last = first + text.size();
  if (first != last && *first == '+') ++first;
  if (first == last) return NumberError::kNotANumber;
  std::int64_t i = 0;
  const auto [ptr, ec] = std::from_chars(first, last, i);
  if (ec == std::errc::result_out_of_range) return NumberError::kOutOfRange;
  if (ec != std::errc() || ptr != last) {
    double d = 0;
    const NumberError real = ParseReal(text, &d);
    if (real != NumberError::kNone)
      return real == NumberError::kNotFinite ? NumberError::kOutOfRange : real;
    if (d != std::trunc(d)) return NumberError::kNotANumber;
    if (d < -9.2e18 || d > 9.2e18) return NumberError::kOutOfRange;
    i = static_cast<std::int64_t>(d);
  }
  if (i < min || i > max) return NumberError::kOutOfRange;
  *value = i;
  return NumberError::kNone;
}

// An integer of a group of the given integer type; booleans come out as 0 or 1.
NumberError ParseIntegerOf(GroupType type, std::string_view text, std::int64_t* value) {
  // Sixteen- and 32-bit codes also take the unsigned readings some writers use.
  std::int64_t min = std::numeric_limits<std::int64_t>::min();
  std::int64_t max = std::numeric_limits<std::int64_t>::max();
  if (type == GroupType::kInt16 || type == GroupType::kBool) {
    min = -32768, max = 65535;
  } else if (type == GroupType::kInt32) {
    min = std::numeric_limits<std::int32_t>::min();
    max = std::numeric_limits<std::uint32_t>::max();
  }
  const NumberError e = ParseInteger(text, min, max, value);
  if (e == NumberError::kNone && type == GroupType::kBool) *value = *value != 0 ? 1 : 0;
  return e;
}

// Printable ASCII and tabs, without the backslash that starts an escape.
bool IsPlainAscii(std::string_view bytes) {
  for (const char c : bytes) {
    if ((c < 0x20 && c != '\t') || c >= 0x7F || c == '\\') return false;
  }
  return true;
}

const char* TypeName(GroupType type) {
  switch (type) {
    case GroupType::kInt16:
      return "a 16-bit integer";
    case GroupType::kInt32:
      return "a 32-bit integer";
    case GroupType::kInt64:
      return "a 64-bit integer";
    case GroupType::kBool:
      return "a boolean (integer)";
    default:
      return "a real number";
  }
}

}  // namespace

GroupReader::GroupReader(Tokenizer& tokenizer, const TextDecoder& decoder,
                         std::vector<Repair>* repairs)
    : tokenizer_(&tokenizer), decoder_(&decoder), repairs_(repairs) {
  set_decoder(decoder);
}

void GroupReader::set_decoder(const TextDecoder& decoder) {
  decoder_ = &decoder;
  recent_.Clear();
  recent_packed_.Clear();
  std::string ascii;
  ascii.push_back('\t');
  for (char c = 0x20; c < 0x7F; ++c) {
    if (c != '\\') ascii.push_back(c);
  }
  const std::wstring decoded = decoder.Decode(ascii);
  ascii_identity_ = decoded == std::wstring(ascii.begin(), ascii.end());
}

bool GroupReader::Fail(Status status) {
  status_ = std::move(status);
  return false;
}

bool GroupReader::NextRawRest(RawTag* tag) {
  if (pending_) {
    *tag = *pending_;
    pending_.reset();
    return true;
  }
  if (!tokenizer_->status().ok()) status_ = tokenizer_->status();
  return false;
}

bool GroupReader::Next(Group* group, std::size_t* line) {
  if (!status_.ok()) return false;
  RawTag tag;
  do {
    if (!NextRaw(&tag)) return false;
  } while (tag.code == 999);
  *line = tag.line;
  return Convert(tag, group);
}

bool GroupReader::PackUntilZero(GroupPacker* packer, EntityHead* head, Group* zero,
                                std::size_t* line) {
  if (!status_.ok()) return false;
  RawTag tag;
  for (;;) {
    if (!NextRaw(&tag)) return false;
    if (tag.code == 0) {
      *line = tag.line;
      return Convert(tag, zero);
    }
    if (tag.code != 999 && !ConvertInto(tag, packer, head)) return false;
  }
}

bool GroupReader::ReadReal(const RawTag& tag, double* value) {
  const NumberError e = ParseReal(tag.value, value);
  return e == NumberError::kNone || NumberFail(tag, GroupType::kDouble, static_cast<int>(e));
}

bool GroupReader::ReadInteger(const RawTag& tag, GroupType type, std::int64_t* value) {
  const NumberError e = ParseIntegerOf(type, tag.value, value);
  return e == NumberError::kNone || NumberFail(tag, type, static_cast<int>(e));
}

bool GroupReader::NumberFail(const RawTag& tag, GroupType type, int error) {
  const std::size_t value_line = tag.line + 1;
  const std::string what =
      "value " + QuoteBytes(TrimBlanks(tag.value)) + " of group " + std::to_string(tag.code);
  switch (static_cast<NumberError>(error)) {
    case NumberError::kNotFinite:
      return Fail(
          tokenizer_->Error(ErrorCode::kNotFinite, value_line, what + " is not a finite number"));
    case NumberError::kOutOfRange:
      return Fail(tokenizer_->Error(ErrorCode::kBadNumber, value_line,
                                    what + " is out of range for " + TypeName(type)));
    default:
      return Fail(tokenizer_->Error(ErrorCode::kBadNumber, value_line,
                                    what + " is not a number (" + TypeName(type) + ")"));
  }
}

void GroupReader::DecodeText(const RawTag& tag, std::string_view bytes) {
  bool replaced = false;
  scratch_ = decoder_->Decode(bytes, &replaced);
  if (replaced && repairs_ != nullptr) {
    repairs_->push_back(
        {tag.line + 1, "bytes that are not " + decoder_->name() + " text were replaced by U+FFFD"});
  }
}

void GroupReader::Widen(std::string_view bytes) {
  // Not assign(begin, end), which builds a temporary text on the heap first.
  scratch_.resize(bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) scratch_[i] = static_cast<wchar_t>(bytes[i]);
}

// Handles and text contents are mostly distinct: sharing them would only cost.
static bool IsDistinctCode(int code) { return code == 1 || code == 3 || code == 5 || code == 105; }

bool GroupReader::Convert(const RawTag& tag, Group* group) {
  const GroupType type = GroupTypeOf(tag.code);
  switch (type) {
    case GroupType::kString: {
      const std::string_view bytes = tag.code == 0 ? TrimBlanks(tag.value) : tag.value;
      const bool distinct = IsDistinctCode(tag.code);
      if (!distinct) {
        if (const Group* known = recent_.Find(tag.code, bytes)) {
          *group = *known;
          return true;
        }
      }
      if (ascii_identity_ && IsPlainAscii(bytes)) {
        Widen(bytes);
        *group = distinct ? own_.Make(tag.code, scratch_) : pool_.Make(tag.code, scratch_);
        if (!distinct) recent_.Remember(tag.code, bytes, *group);
        return true;
      }
      DecodeText(tag, bytes);
      *group = distinct ? Group::Text(tag.code, scratch_) : pool_.Make(tag.code, scratch_);
      return true;
    }
    case GroupType::kDouble: {
      double d = 0;
      if (!ReadReal(tag, &d)) return false;
      *group = Group::Real(tag.code, d);
      return true;
    }
    case GroupType::kInt16:
    case GroupType::kInt32:
    case GroupType::kInt64:
    case GroupType::kBool: {
      std::int64_t i = 0;
      if (!ReadInteger(tag, type, &i)) return false;
      *group = Group::Integer(tag.code, type, i);
      return true;
    }
    case GroupType::kPoint: {
      Point3 p;
      if (!ReadPoint(tag, &p)) return false;
      *group = Group::MakePoint(tag.code, p);
      return true;
    }
  }
  return false;
}

void GroupReader::PackText(const RawTag& tag, GroupPacker* packer, EntityHead* head) {
  const int code = tag.code;
  if (recent_store_ != &packer->store()) {
    // Shared texts are numbered per store.
    recent_packed_.Clear();
    recent_store_ = &packer->store();
  }
  const std::string_view bytes = tag.value;
  const bool distinct = IsDistinctCode(code);
  PackedText packed;
  std::uint64_t handle = 0;
  if (const RecentPacked* known = distinct ? nullptr : recent_packed_.Find(code, bytes)) {
    // Names, markers and owners: the bytes packed the last time, as they are.
    packer->AddBytes(known->bytes);
    packed = known->text;
  } else if (ascii_identity_ && IsHandleCode(code) && IsPlainHandle(bytes, &handle)) {
    // A handle as the drawing writes it reads the same whatever the decoding.
    packed = {PackedText::kHandle, handle};
    if (distinct) {
      packer->AddAgain(code, packed);
    } else {
      const PackedBytes encoded = GroupPacker::Encode(code, packed);
      packer->AddBytes(encoded);
      recent_packed_.Remember(code, bytes, {packed, encoded});
    }
  } else if (ascii_identity_ && IsPlainAscii(bytes)) {
    if (distinct && !bytes.empty()) {
      // Contents: widened straight into the list.
      packer->AddOwnAscii(code, bytes);
      packed.kind = PackedText::kOwn;
      if (EntityHead::Wants(code)) Widen(bytes);
    } else {
      Widen(bytes);
      packed = packer->AddText(code, scratch_);
      if (!distinct) {
        recent_packed_.Remember(code, bytes, {packed, GroupPacker::Encode(code, packed)});
      }
    }
  } else {
    // Not remembered: a text with bytes to replace is a repair each time it comes.
    DecodeText(tag, bytes);
    packed = packer->AddText(code, scratch_);
  }
  if (!EntityHead::Wants(code)) return;
  GroupView view;
  view.code = code;
  view.type = GroupType::kString;
  view.is_handle = packed.kind == PackedText::kHandle;
  view.handle = packed.value;
  if (packed.kind == PackedText::kShared) {
    view.text = packer->store().SharedAt(static_cast<std::uint32_t>(packed.value))->text;
  } else if (packed.kind == PackedText::kOwn) {
    view.text = scratch_;
  }
  head->Note(view, tag.line + 1);
}

bool GroupReader::ConvertInto(const RawTag& tag, GroupPacker* packer, EntityHead* head) {
  const int code = tag.code;
  const GroupType type = GroupTypeOf(code);
  switch (type) {
    case GroupType::kString:
      PackText(tag, packer, head);
      return true;
    case GroupType::kDouble: {
      double d = 0;
      const char* const first = tag.value.data();
      if (!ParseShortDecimal(first, first + tag.value.size(), &d) && !ReadReal(tag, &d)) {
        return false;
      }
      packer->AddReal(code, d);
      return true;
    }
    case GroupType::kInt16:
    case GroupType::kInt32:
    case GroupType::kInt64:
    case GroupType::kBool: {
      std::int64_t i = 0;
      if (!ReadInteger(tag, type, &i)) return false;
      packer->AddInteger(code, i);
      if (EntityHead::Wants(code)) {
        GroupView view;
        view.code = code;
        view.type = type;
        view.integer = i;
        head->Note(view, tag.line + 1);
      }
      return true;
    }
    case GroupType::kPoint: {
      Point3 p;
      if (!ReadPoint(tag, &p)) return false;
      packer->AddPoint(code, p);
      return true;
    }
  }
  return false;
}

bool GroupReader::ReadCoordinate(const RawTag& tag, double* value) {
  const NumberError e = ParseReal(tag.value, value);
  if (e == NumberError::kNone) return true;
  const std::string what =
      "value " + QuoteBytes(TrimBlanks(tag.value)) + " of group " + std::to_string(tag.code);
  return Fail(e == NumberError::kNotFinite
                  ? tokenizer_->Error(ErrorCode::kNotFinite, tag.line + 1,
                                      what + " is not a finite coordinate")
                  : tokenizer_->Error(ErrorCode::kBadNumber, tag.line + 1,
                                      what + " is not a number (a coordinate)"));
}

bool GroupReader::ReadPoint(const RawTag& x_tag, Point3* point) {
  const int code = x_tag.code;
  Point3& p = *point;
  // Three coordinates a point, nearly all plain decimals: those skip the full parse.
  auto coordinate = [this](const RawTag& tag, double* value) {
    const char* first = tag.value.data();
    return ParseShortDecimal(first, first + tag.value.size(), value) || ReadCoordinate(tag, value);
  };
  if (!coordinate(x_tag, &p.x)) return false;

  RawTag tag;
  if (!NextRaw(&tag)) {
    if (!status_.ok()) return false;
    return Fail(tokenizer_->Error(ErrorCode::kTruncated, x_tag.line,
                                  "the file ends after group " + std::to_string(code) +
                                      ", before its y coordinate (group " +
                                      std::to_string(code + 10) + ")"));
  }
  if (tag.code != code + 10) {
    return Fail(tokenizer_->Error(ErrorCode::kBadStructure, x_tag.line,
                                  "x coordinate group " + std::to_string(code) +
                                      " is not followed by its y coordinate (group " +
                                      std::to_string(code + 10) + "), but by group " +
                                      std::to_string(tag.code)));
  }
  if (!coordinate(tag, &p.y)) return false;

  if (!NextRaw(&tag)) {
    if (!status_.ok()) return false;
  } else if (tag.code == code + 20) {
    if (!coordinate(tag, &p.z)) return false;
  } else {
    pending_ = tag;
  }
  return true;
}

void EntityHead::Note(const GroupView& g, std::size_t value_line) {
  auto parse = [&g](std::uint64_t* out) {
    if (g.is_handle) {
      *out = g.handle;
      return true;
    }
    return ParseHandle(g.text, out);
  };
  if (g.code == handle_code && !have_handle) {
    have_handle = true;
    if (!parse(&handle)) {
      bad_handle_line = value_line;
      bad_handle.assign(g.text);
    }
  } else if (g.code == 330 && depth == 0 && !have_owner) {
    have_owner = true;
    if (!parse(&owner)) {
      owner = 0;
      bad_owner_line = value_line;
      bad_owner.assign(g.text);
    }
  } else if (g.code == 67) {
    paper_space = g.integer == 1;
  } else if (g.code == 102) {
    if (!g.text.empty() && g.text.front() == L'{') {
      ++depth;
    } else if (!g.text.empty() && g.text.front() == L'}' && depth > 0) {
      --depth;
    }
  }
}

bool GroupReader::SkipSection(std::string_view section, std::size_t section_line,
                              std::uint64_t* max_handle) {
  if (!status_.ok()) return false;
  RawTag tag;
  while (NextRaw(&tag)) {
    if (tag.code == 5) {
      std::uint64_t handle = 0;
      if (ParseHandle(tag.value, &handle) && handle > *max_handle) *max_handle = handle;
    } else if (tag.code == 0) {
      const std::string_view word = TrimBlanks(tag.value);
      if (word == "ENDSEC") return true;
      if (word == "EOF" || word == "SECTION") {
        return Fail(tokenizer_->Error(ErrorCode::kBadStructure, tag.line,
                                      std::string(word) + " inside section " +
                                          std::string(section) + " (line " +
                                          std::to_string(section_line) + "), which has no ENDSEC"));
      }
    }
  }
  if (!status_.ok()) return false;
  return Fail(tokenizer_->Error(ErrorCode::kMissingEof, tokenizer_->lines(),
                                "the file ends inside section " + std::string(section) + " (line " +
                                    std::to_string(section_line) +
                                    "): no ENDSEC and no EOF, the file is truncated"));
}

}  // namespace gm::dxf
