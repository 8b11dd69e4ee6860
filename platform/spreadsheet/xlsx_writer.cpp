#include "platform/spreadsheet/xlsx_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <xlsxwriter.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/win/strings.h"

namespace spreadsheet {
namespace {

namespace fs = std::filesystem;

std::string Utf8(std::wstring_view text) { return win::WideToUtf8(text); }

// The same into out, whose room is kept from cell to cell: most cell texts
// are ASCII and then cost no allocation.
void Utf8Into(std::wstring_view text, std::string& out) {
  out.resize(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (static_cast<std::uint32_t>(text[i]) >= 0x80) {
      out = win::WideToUtf8(text);
      return;
    }
    out[i] = static_cast<char>(text[i]);
  }
}

std::uint32_t ToRgb(std::uint32_t bgr) {
  const std::uint32_t rgb = ((bgr & 0xFF) << 16) | (bgr & 0xFF00) | ((bgr >> 16) & 0xFF);
  // libxlsxwriter reads 0 as "no colour".
  return rgb == 0 ? static_cast<std::uint32_t>(LXW_COLOR_BLACK) : rgb;
}

std::uint8_t BorderStyle(const BorderLine& line) {
  if (!line.visible()) return LXW_BORDER_NONE;
  const bool heavy = line.weight == xlMedium || line.weight == xlThick;
  switch (line.line_style) {
    case xlDash:
      return heavy ? LXW_BORDER_MEDIUM_DASHED : LXW_BORDER_DASHED;
    case xlDot:
      return LXW_BORDER_DOTTED;
    case xlDouble:
      return LXW_BORDER_DOUBLE;
    case xlDashDot:
      return heavy ? LXW_BORDER_MEDIUM_DASH_DOT : LXW_BORDER_DASH_DOT;
    case xlDashDotDot:
      return heavy ? LXW_BORDER_MEDIUM_DASH_DOT_DOT : LXW_BORDER_DASH_DOT_DOT;
    case xlSlantDashDot:
      return LXW_BORDER_SLANT_DASH_DOT;
    default:  // xlContinuous
      switch (line.weight) {
        case xlHairline:
          return LXW_BORDER_HAIR;
        case xlMedium:
          return LXW_BORDER_MEDIUM;
        case xlThick:
          return LXW_BORDER_THICK;
        default:
          return LXW_BORDER_THIN;
      }
  }
}

std::uint8_t HorizontalAlign(int value) {
  switch (value) {
    case xlLeft:
      return LXW_ALIGN_LEFT;
    case xlCenter:
      return LXW_ALIGN_CENTER;
    case xlRight:
      return LXW_ALIGN_RIGHT;
    case xlFill:
      return LXW_ALIGN_FILL;
    case xlJustify:
      return LXW_ALIGN_JUSTIFY;
    case xlCenterAcrossSelection:
      return LXW_ALIGN_CENTER_ACROSS;
    case xlDistributed:
      return LXW_ALIGN_DISTRIBUTED;
    default:
      return LXW_ALIGN_NONE;
  }
}

std::uint8_t VerticalAlign(int value) {
  switch (value) {
    case xlTop:
      return LXW_ALIGN_VERTICAL_TOP;
    case xlCenter:
      return LXW_ALIGN_VERTICAL_CENTER;
    case xlJustify:
      return LXW_ALIGN_VERTICAL_JUSTIFY;
    case xlDistributed:
      return LXW_ALIGN_VERTICAL_DISTRIBUTED;
    default:  // bottom is the file's default
      return LXW_ALIGN_NONE;
  }
}

using Borders = std::array<BorderLine, 4>;

// One libxlsxwriter format per distinct look, made on first use. Looked up
// by the look itself, so a cell costs a hash and no allocation.
class FormatCache {
 public:
  explicit FormatCache(lxw_workbook* book) : book_(book) {}

  // nullptr for the default look.
  lxw_format* Get(const CellFormat& f, const Borders& borders) {
    bool plain = f == CellFormat{};
    for (const BorderLine& b : borders) plain = plain && !b.visible();
    if (plain) return nullptr;
    const Look look{&f, &borders};
    auto it = cache_.find(look);
    if (it != cache_.end()) return it->second;
    lxw_format* format = workbook_add_format(book_);
    if (format == nullptr) return nullptr;
    Fill(format, f, borders);
    auto stored = std::make_unique<Stored>(Stored{f, borders});
    cache_.emplace(Look{&stored->format, &stored->borders}, format);
    stored_.push_back(std::move(stored));
    return format;
  }

 private:
  struct Look {
    const CellFormat* format;
    const Borders* borders;
    bool operator==(const Look& o) const { return *format == *o.format && *borders == *o.borders; }
  };
  struct Stored {
    CellFormat format;
    Borders borders;
  };
  struct LookHash {
    size_t operator()(const Look& l) const {
      const CellFormat& f = *l.format;
      size_t h = std::hash<std::wstring_view>{}(f.number_format);
      auto mix = [&h](long long v) {
        h ^= std::hash<long long>{}(v) + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2);
      };
      mix(f.horizontal_alignment);
      mix(f.vertical_alignment);
      mix(f.orientation);
      mix(f.wrap_text);
      mix(f.fill ? static_cast<long long>(*f.fill) : -1);
      for (const BorderLine& b : *l.borders) {
        mix(b.line_style);
        mix(b.weight);
        mix(b.color ? static_cast<long long>(*b.color) : -1);
      }
      return h;
    }
  };

  static void Fill(lxw_format* format, const CellFormat& f, const Borders& borders) {
    if (!f.number_format.empty()) format_set_num_format(format, Utf8(f.number_format).c_str());
    if (std::uint8_t h = HorizontalAlign(f.horizontal_alignment)) format_set_align(format, h);
    if (std::uint8_t v = VerticalAlign(f.vertical_alignment)) format_set_align(format, v);
    if (f.orientation == kStackedText) {
      format_set_rotation(format, 270);
    } else if (f.orientation != 0) {
      format_set_rotation(format, static_cast<int16_t>(f.orientation));
    }
    if (f.wrap_text) format_set_text_wrap(format);
    if (f.fill) {
      format_set_pattern(format, LXW_PATTERN_SOLID);
      format_set_bg_color(format, ToRgb(*f.fill));
    }

    const BorderLine& left = borders[kEdgeLeft];
    const BorderLine& top = borders[kEdgeTop];
    const BorderLine& bottom = borders[kEdgeBottom];
    const BorderLine& right = borders[kEdgeRight];
    if (left.visible()) {
      format_set_left(format, BorderStyle(left));
      if (left.color) format_set_left_color(format, ToRgb(*left.color));
    }
    if (top.visible()) {
      format_set_top(format, BorderStyle(top));
      if (top.color) format_set_top_color(format, ToRgb(*top.color));
    }
    if (bottom.visible()) {
      format_set_bottom(format, BorderStyle(bottom));
      if (bottom.color) format_set_bottom_color(format, ToRgb(*bottom.color));
    }
    if (right.visible()) {
      format_set_right(format, BorderStyle(right));
      if (right.color) format_set_right_color(format, ToRgb(*right.color));
    }
  }

  lxw_workbook* book_;
  std::unordered_map<Look, lxw_format*, LookHash> cache_;
  std::vector<std::unique_ptr<Stored>> stored_;
};

std::wstring LxwText(lxw_error error) { return win::Utf8ToWide(lxw_strerror(error)); }

// libxlsxwriter writes each cell through a list of attributes formatted one
// by one, which cost most of saving a large bordered grid. A row of blanks,
// numbers and plain texts is made here as the XML its constant-memory mode
// writes (no spans, inline strings) and appended to the same row stream,
// which the writer copies into the sheet at close; the sheet's extent is
// kept as the writer's own calls keep it.
class RowXml {
 public:
  explicit RowXml(lxw_worksheet* ws)
      : ws_(ws), usable_(ws->optimize && ws->file != nullptr && ws->file == ws->optimize_tmpfile) {}

  bool ok() const { return !failed_; }

  // Whether the row can be written here. A zero height hides the row and
  // control characters need the writer's own escapes: those go its way.
  bool Takes(const Worksheet::RowBuffer& row, std::optional<double> height) const {
    if (!usable_ || (height && !(*height > 0))) return false;
    for (const Worksheet::RowEntry& entry : row.entries) {
      if (entry.data == nullptr) continue;
      switch (entry.data->kind) {
        case CellData::Kind::kEmpty:
        case CellData::Kind::kNumber:
          break;
        case CellData::Kind::kText:
          for (const wchar_t ch : entry.data->text) {
            if (ch < 0x20 && ch != L'\t' && ch != L'\n') return false;
          }
          break;
        default:
          return false;
      }
    }
    return true;
  }

  // format_of(ids) gives a cell's format, nullptr for the default look.
  template <typename FormatOf>
  void Write(int row, std::optional<double> height, const Worksheet::RowBuffer& row_cells,
             FormatOf& format_of) {
    const auto r = static_cast<lxw_row_t>(row - 1);
    if (height) {
      // As worksheet_set_row: the row and the leftmost column seen so far.
      Extend(r, ws_->dim_colmin != LXW_COL_MAX ? ws_->dim_colmin : 0);
    }
    cells_.clear();
    char row_buffer[16] = {};
    const std::string_view row_digits = Digits(row, row_buffer);
    for (const Worksheet::RowEntry& entry : row_cells.entries) {
      const CellData* data = entry.data;
      lxw_format* format = format_of({data ? data->format : 0, entry.lines});
      CellData::Kind kind = data ? data->kind : CellData::Kind::kEmpty;
      if (kind == CellData::Kind::kText && data->text.empty()) kind = CellData::Kind::kEmpty;
      if (kind == CellData::Kind::kEmpty && format == nullptr) continue;
      if (format != last_format_) {
        last_format_ = format;
        last_style_ = format ? lxw_format_get_xf_index(format) : 0;
        style_size_ = Digits(last_style_, style_digits_).size();
      }
      // The cell's opening, "<c r="B12" s="3"", made in place: appended
      // piece by piece it cost more than the rest of the cell.
      char head[64];
      char* p = Put(head, "<c r=\"");
      const Name& letters = Letters(entry.column);
      p = PutPadded(p, letters.text, letters.size);
      p = PutPadded(p, row_buffer, row_digits.size());
      p = Put(p, "\"");
      if (last_style_ != 0 || kind == CellData::Kind::kEmpty) {
        p = Put(p, " s=\"");
        p = PutPadded(p, style_digits_, style_size_);
        p = Put(p, "\"");
      }
      if (kind == CellData::Kind::kEmpty) {
        p = Put(p, "/>");
        cells_.append(head, p);
      } else if (kind == CellData::Kind::kNumber) {
        char value[40];
        cells_.append(head, p);
        cells_ += "><v>";
        cells_ += Number(data->number, value);
        cells_ += "</v></c>";
      } else {
        cells_.append(head, p);
        Utf8Into(data->text, utf8_);
        const auto space = [](char c) { return std::isspace(static_cast<unsigned char>(c)); };
        cells_ += space(utf8_.front()) || space(utf8_.back())
                      ? " t=\"inlineStr\"><is><t xml:space=\"preserve\">"
                      : " t=\"inlineStr\"><is><t>";
        AppendEscaped(utf8_);
        cells_ += "</t></is></c>";
      }
      Extend(r, static_cast<lxw_col_t>(entry.column - 1));
    }
    if (cells_.empty() && !height) return;

    out_ = "<row r=\"";
    out_ += row_digits;
    out_ += '"';
    if (height && *height != LXW_DEF_ROW_HEIGHT) {
      char value[40];
      out_ += " ht=\"";
      out_ += Number(*height, value);
      out_ += "\" customHeight=\"1\"";
    }
    if (cells_.empty()) {
      out_ += "/>";
    } else {
      out_ += '>';
      out_ += cells_;
      out_ += "</row>";
    }
    if (std::fwrite(out_.data(), 1, out_.size(), ws_->file) != out_.size()) failed_ = true;
  }

 private:
  static char* Put(char* out, std::string_view text) {
    std::memcpy(out, text.data(), text.size());
    return out + text.size();
  }

  static std::string_view Digits(long long value, char (&buffer)[16]) {
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    return {buffer, static_cast<size_t>(end - buffer)};
  }
  // As the writer's "%.16g".
  static std::string_view Number(double value, char (&buffer)[40]) {
    const auto end =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 16).ptr;
    return {buffer, static_cast<size_t>(end - buffer)};
  }

  // A column's letters, kept in a buffer of fixed size for PutPadded.
  struct Name {
    char text[4] = {};
    std::uint8_t size = 0;
  };
  const Name& Letters(int column) {
    if (static_cast<size_t>(column) >= letters_.size()) letters_.resize(column + 1);
    Name& letters = letters_[column];
    if (letters.size == 0) {
      const std::string text = Utf8(ColumnLetters(column));
      std::memcpy(letters.text, text.data(), std::min(text.size(), sizeof letters.text));
      letters.size = static_cast<std::uint8_t>(std::min(text.size(), sizeof letters.text));
    }
    return letters;
  }

  // A short piece copied whole from its fixed-size buffer, then only its
  // size counted: a call to memcpy for a few bytes cost more than the rest
  // of the cell's opening. The room after out must hold all of N.
  template <size_t N>
  static char* PutPadded(char* out, const char (&buffer)[N], size_t size) {
    std::memcpy(out, buffer, N);
    return out + size;
  }

  void AppendEscaped(const std::string& text) {
    for (const char c : text) {
      switch (c) {
        case '&':
          cells_ += "&amp;";
          break;
        case '<':
          cells_ += "&lt;";
          break;
        case '>':
          cells_ += "&gt;";
          break;
        default:
          cells_ += c;
      }
    }
  }

  void Extend(lxw_row_t row, lxw_col_t column) {
    ws_->dim_rowmin = std::min(ws_->dim_rowmin, row);
    ws_->dim_rowmax = std::max(ws_->dim_rowmax, row);
    ws_->dim_colmin = std::min(ws_->dim_colmin, column);
    ws_->dim_colmax = std::max(ws_->dim_colmax, column);
  }

  lxw_worksheet* ws_;
  bool usable_;
  bool failed_ = false;
  std::vector<Name> letters_;          // by column
  lxw_format* last_format_ = nullptr;  // and its style index
  int32_t last_style_ = 0;
  char style_digits_[16] = {'0'};  // last_style_ as text, padded for PutPadded
  std::size_t style_size_ = 1;
  std::string utf8_;
  std::string cells_;
  std::string out_;
};

// Writes one sheet; an empty text on success, else what failed.
std::wstring WriteSheet(lxw_workbook* book, FormatCache& formats, const Worksheet& sheet) {
  lxw_worksheet* ws = workbook_add_worksheet(book, Utf8(sheet.name()).c_str());
  if (ws == nullptr) return L"the sheet \"" + sheet.name() + L"\" could not be added";

  for (const auto& [column, width] : sheet.column_widths()) {
    const auto c = static_cast<lxw_col_t>(column - 1);
    if (lxw_error e = worksheet_set_column(ws, c, c, width, nullptr)) return LxwText(e);
  }
  // The merge writes blanks without a format; every cell is written below
  // with its own, so each edge of the merged area keeps its border.
  for (const CellRect& m : sheet.merged_areas()) {
    if (lxw_error e = worksheet_merge_range(ws, static_cast<lxw_row_t>(m.top - 1),
                                            static_cast<lxw_col_t>(m.left - 1),
                                            static_cast<lxw_row_t>(m.bottom - 1),
                                            static_cast<lxw_col_t>(m.right - 1), "", nullptr)) {
      return FormatAddress(m) + L": " + LxwText(e);
    }
  }

  // The sheet's own ids of a look name its format: a cell costs a hash of
  // five numbers, and the look is compared only once per distinct one.
  struct Ids {
    std::uint32_t format;
    std::array<std::uint32_t, 4> lines;
    bool operator==(const Ids&) const = default;
  };
  struct IdsHash {
    size_t operator()(const Ids& k) const {
      std::uint64_t h = k.format;
      for (std::uint32_t line : k.lines) h = h * 0x9E3779B97F4A7C15ull + line;
      return static_cast<size_t>(h ^ (h >> 29));
    }
  };
  std::unordered_map<Ids, lxw_format*, IdsHash> by_ids;
  // Neighbours mostly look alike: the last look is tried first.
  Ids last_ids{0xFFFFFFFFu, {}};
  lxw_format* last_format = nullptr;
  auto format_of = [&](const Ids& ids) {
    if (ids == last_ids) return last_format;
    last_ids = ids;
    auto it = by_ids.find(ids);
    if (it != by_ids.end()) return last_format = it->second;
    Borders borders;
    for (int edge = 0; edge < 4; ++edge) borders[edge] = sheet.line(ids.lines[edge]);
    last_format = formats.Get(sheet.format(ids.format), borders);
    by_ids.emplace(ids, last_format);
    return last_format;
  };
  std::string utf8;
  auto write = [&](int row, const Worksheet::RowEntry& entry) -> lxw_error {
    const CellData* cell = entry.data;
    lxw_format* format = format_of({cell ? cell->format : 0, entry.lines});
    const auto r = static_cast<lxw_row_t>(row - 1);
    const auto c = static_cast<lxw_col_t>(entry.column - 1);
    switch (cell ? cell->kind : CellData::Kind::kEmpty) {
      case CellData::Kind::kNumber:
        return worksheet_write_number(ws, r, c, cell->number, format);
      case CellData::Kind::kText:
        Utf8Into(cell->text, utf8);
        return worksheet_write_string(ws, r, c, utf8.c_str(), format);
      case CellData::Kind::kBool:
        return worksheet_write_boolean(ws, r, c, cell->flag ? 1 : 0, format);
      case CellData::Kind::kFormula:
        Utf8Into(cell->text, utf8);
        return worksheet_write_formula(ws, r, c, utf8.c_str(), format);
      case CellData::Kind::kEmpty:
        break;
    }
    return format ? worksheet_write_blank(ws, r, c, format) : LXW_NO_ERROR;
  };
  // Rows of blanks, numbers and plain texts are written straight into the
  // sheet's row stream (see RowXml); the others, rare, go through the
  // writer's calls, each flushed at once so that rows stay in order.
  RowXml direct(ws);
  const auto& heights = sheet.row_heights();
  auto height = heights.begin();
  Worksheet::RowBuffer buffer;
  const int last = std::max(sheet.last_row(), heights.empty() ? 0 : heights.rbegin()->first);
  for (int row = 1; row <= last; ++row) {
    sheet.RowCells(row, buffer);
    std::optional<double> row_height;
    while (height != heights.end() && height->first < row) ++height;
    if (height != heights.end() && height->first == row) row_height = height->second;
    if (buffer.entries.empty() && !row_height) continue;
    if (direct.Takes(buffer, row_height)) {
      direct.Write(row, row_height, buffer, format_of);
      continue;
    }
    const auto r = static_cast<lxw_row_t>(row - 1);
    if (row_height) {
      if (lxw_error e = worksheet_set_row(ws, r, *row_height, nullptr)) {
        return FormatAddress(CellRect::Cell(row, 1)) + L": " + LxwText(e);
      }
    }
    for (const Worksheet::RowEntry& entry : buffer.entries) {
      if (lxw_error e = write(row, entry)) {
        return FormatAddress(CellRect::Cell(row, entry.column)) + L": " + LxwText(e);
      }
    }
    lxw_worksheet_write_single_row(ws);
  }
  if (!direct.ok()) return L"the sheet \"" + sheet.name() + L"\" could not be written";
  return {};
}

std::wstring Errno(int error) { return win::Utf8ToWide(std::strerror(error)); }

// A complete zip archive ends with its end-of-central-directory record.
bool LooksComplete(int fd) {
  struct stat st {};
  if (fstat(fd, &st) != 0 || st.st_size < 22) return false;
  char tail[4];
  if (pread(fd, tail, 4, st.st_size - 22) != 4) return false;
  return std::memcmp(tail, "PK\x05\x06", 4) == 0;
}

mode_t NewFileMode(const fs::path& target) {
  struct stat st {};
  if (stat(target.c_str(), &st) == 0) return st.st_mode & 07777;
  // The host is single-threaded; reading the mask this way is safe there.
  const mode_t mask = umask(022);
  umask(mask);
  return 0666 & ~mask;
}

// The writer's own codes say only that a zip or file call failed; when
// the device is full, that is what the user needs to read.
std::wstring WriteFailure(std::wstring cause, int error, const fs::path& folder) {
  struct statvfs space {};
  const bool full = error == ENOSPC || error == EDQUOT ||
                    (statvfs(folder.c_str(), &space) == 0 && space.f_bavail == 0);
  return full ? L"no space left on the device" : cause;
}

}  // namespace

SaveStatus SaveWorkbookAs(const Workbook& book, const fs::path& path) {
  const std::wstring shown = win::Utf8ToWide(path.string());
  auto fail = [&](const std::wstring& cause) {
    return SaveStatus::Error(L"The workbook could not be saved as \"" + shown + L"\": " + cause +
                             L".");
  };
  if (path.empty() || !path.has_filename()) return fail(L"no file name was given");
  const fs::path folder = path.parent_path().empty() ? fs::path(".") : path.parent_path();
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) {
    const bool absent = !ec || ec == std::errc::no_such_file_or_directory;
    return fail(absent ? L"the folder does not exist" : win::Utf8ToWide(ec.message()));
  }
  if (fs::is_directory(path, ec)) return fail(L"a folder of that name is in the way");

  std::string temp = (folder / ("." + path.filename().string() + ".tmp-XXXXXX")).string();
  int fd = mkstemp(temp.data());
  if (fd < 0) return fail(L"no file can be made in the folder (" + Errno(errno) + L")");
  fchmod(fd, NewFileMode(path));
  close(fd);
  auto discard = [&](const std::wstring& cause) {
    unlink(temp.c_str());
    return fail(cause);
  };

  lxw_workbook_options options = {LXW_TRUE, nullptr, 0};
  lxw_workbook* xlsx = workbook_new_opt(temp.c_str(), &options);
  if (xlsx == nullptr) return discard(L"the writer could not start");
  FormatCache formats(xlsx);
  for (const auto& sheet : book.sheets()) {
    std::wstring problem = WriteSheet(xlsx, formats, *sheet);
    if (!problem.empty()) {
      lxw_workbook_free(xlsx);
      return discard(problem);
    }
  }
  errno = 0;
  if (lxw_error e = workbook_close(xlsx)) return discard(WriteFailure(LxwText(e), errno, folder));

  fd = open(temp.c_str(), O_RDONLY);
  if (fd < 0) return discard(Errno(errno));
  const bool complete = LooksComplete(fd);
  const bool synced = fsync(fd) == 0;
  const int sync_error = errno;
  close(fd);
  if (!complete) {
    return discard(WriteFailure(L"the file was not written completely", sync_error, folder));
  }
  if (!synced) return discard(WriteFailure(Errno(sync_error), sync_error, folder));
  if (rename(temp.c_str(), path.c_str()) != 0) return discard(Errno(errno));
  const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (dir >= 0) {
    fsync(dir);
    close(dir);
  }
  return SaveStatus::Ok();
}

}  // namespace spreadsheet
