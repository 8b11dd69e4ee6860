#include "textout/table_text.h"

#include <map>
#include <optional>

#include "ArxUtils/CellReference.h"
#include "platform/win/strings.h"
#include "platform/win/text.h"

namespace {

std::string Utf8(const std::wstring& text) { return win::WideToUtf8(text); }

struct Range {
  int row1 = 0, column1 = 0, row2 = 0, column2 = 0;  // 1-based, inclusive
};

// A cell's merged range, when it belongs to a readable one.
bool RangeOf(const CAutoCell& cell, Range& range) {
  const std::wstring merge = cell.GetMergeAddress();
  if (merge.empty() || merge == cell.GetAddress()) return false;
  Range r;
  ParseRangeStart(merge, r.row1, r.column1);
  ParseRangeEnd(merge, r.row2, r.column2);
  if (r.row1 <= 0 || r.column1 <= 0 || r.row2 < r.row1 || r.column2 < r.column1) return false;
  range = r;
  return true;
}

// The ranges of the table by reference, in the order their first cells come.
std::vector<std::pair<std::wstring, Range>> MergedRanges(const CSheetform& table) {
  std::vector<std::pair<std::wstring, Range>> ranges;
  std::map<std::wstring, bool> seen;
  for (const CSheetformRow& row : table.Rows) {
    for (const CAutoCell& cell : row.Cells) {
      Range r;
      if (!RangeOf(cell, r)) continue;
      const std::wstring merge = cell.GetMergeAddress();
      if (seen.emplace(merge, true).second) ranges.emplace_back(merge, r);
    }
  }
  return ranges;
}

const char* OrientationName(std::int32_t orientation) {
  if (orientation == xl::kUpward) return "upward";
  if (orientation == xl::kDownward) return "downward";
  return "horizontal";
}

std::string HexColor(std::int32_t color) {
  if (color == xl::kAutomatic) return "#000000";
  const unsigned v = static_cast<unsigned>(color);
  return win::WideToUtf8(
      win::Format(L"#%02X%02X%02X", v & 0xFFu, (v >> 8) & 0xFFu, (v >> 16) & 0xFFu));
}

std::optional<CAutoBorder> BorderAt(const CAutoCell& cell, int edge) {
  CAutoBorder border = cell.GetBorders().GetAt(CAutoBorders::SlotOfEdge(edge));
  if (border.LineStyleName.empty()) return std::nullopt;
  return border;
}

std::string JsonString(const std::wstring& text) {
  std::string out = "\"";
  for (const char ch : Utf8(text)) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          out += win::WideToUtf8(win::Format(L"\\u%04x", static_cast<unsigned>(c)));
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string JsonBorder(const CAutoCell& cell, int edge) {
  const std::optional<CAutoBorder> border = BorderAt(cell, edge);
  if (!border) return "null";
  return "{\"style\": \"continuous\", \"color\": " +
         (border->Color == xl::kAutomatic ? std::string("\"automatic\"")
                                          : "\"" + HexColor(border->Color) + "\"") +
         "}";
}

std::string HtmlText(const std::wstring& text) {
  std::string out;
  for (const char c : Utf8(text)) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\n':
        out += "<br>";
        break;
      case '\r':
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string CssBorder(const char* side, const CAutoCell& cell, int edge) {
  const std::optional<CAutoBorder> border = BorderAt(cell, edge);
  if (!border) return "";
  return std::string("border-") + side + ":1px solid " + HexColor(border->Color) + ";";
}

std::string MarkdownText(const std::wstring& text) {
  std::string out;
  for (const char c : Utf8(text)) {
    if (c == '|' || c == '\\') {
      out += '\\';
      out += c;
    } else if (c == '\n') {
      out += "<br>";
    } else if (c != '\r') {
      out += c;
    }
  }
  return out;
}

}  // namespace

bool TextFormatOfPath(const std::wstring& path, TextFormat& format) {
  const std::size_t dot = path.find_last_of(L'.');
  const std::size_t slash = path.find_last_of(L"/\\");
  if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash)) return false;
  const std::wstring ext = win::ToLower(path.substr(dot + 1));
  if (ext == L"csv") {
    format = TextFormat::kCsv;
  } else if (ext == L"json") {
    format = TextFormat::kJson;
  } else if (ext == L"html" || ext == L"htm") {
    format = TextFormat::kHtml;
  } else if (ext == L"md") {
    format = TextFormat::kMarkdown;
  } else {
    return false;
  }
  return true;
}

std::string TableToCsv(const CSheetform& table) {
  std::string out;
  for (const CSheetformRow& row : table.Rows) {
    bool first = true;
    for (const CAutoCell& cell : row.Cells) {
      if (!first) out += ',';
      first = false;
      const std::string text = Utf8(cell.GetText());
      if (text.find_first_of(",\"\r\n") == std::string::npos) {
        out += text;
        continue;
      }
      out += '"';
      for (const char c : text) {
        if (c == '"') out += '"';
        out += c;
      }
      out += '"';
    }
    out += "\r\n";
  }
  return out;
}

std::string TableToJson(const CSheetform& table) {
  std::string out = "{\"rows\": " + std::to_string(table.GetRowCount()) +
                    ", \"columns\": " + std::to_string(table.GetColumnCount()) + ", \"cells\": [";
  for (int r = 0; r < table.GetRowCount(); ++r) {
    out += r == 0 ? "\n  [" : ",\n  [";
    const CCheckedArray<CAutoCell>& cells = table.Rows[r].Cells;
    for (int c = 0; c < cells.GetSize(); ++c) {
      const CAutoCell& cell = cells[c];
      if (c > 0) out += ",\n   ";
      out += "{\"address\": " + JsonString(cell.GetAddress()) +
             ", \"text\": " + JsonString(cell.GetText());
      Range range;
      if (RangeOf(cell, range)) out += ", \"merged\": " + JsonString(cell.GetMergeAddress());
      out += ", \"orientation\": \"" + std::string(OrientationName(cell.GetOrientation())) + "\"";
      out += ", \"borders\": {\"left\": " + JsonBorder(cell, xl::kEdgeLeft) +
             ", \"top\": " + JsonBorder(cell, xl::kEdgeTop) +
             ", \"right\": " + JsonBorder(cell, xl::kEdgeRight) +
             ", \"bottom\": " + JsonBorder(cell, xl::kEdgeBottom) + "}}";
    }
    out += "]";
  }
  out += "],\n \"merged\": [";
  bool first = true;
  for (const auto& [reference, r] : MergedRanges(table)) {
    if (!first) out += ", ";
    first = false;
    out += "{\"range\": " + JsonString(reference) + ", \"row\": " + std::to_string(r.row1) +
           ", \"column\": " + std::to_string(r.column1) +
           ", \"rows\": " + std::to_string(r.row2 - r.row1 + 1) +
           ", \"columns\": " + std::to_string(r.column2 - r.column1 + 1) + "}";
  }
  return out + "]}";
}

std::string TablesToJson(const std::vector<CSheetform>& tables) {
  std::string out = "[";
  for (std::size_t k = 0; k < tables.size(); ++k) {
    out += k == 0 ? "\n" : ",\n";
    out += TableToJson(tables[k]);
  }
  return out + "\n]\n";
}

std::string TableToHtml(const CSheetform& table, const std::wstring& title) {
  std::string out = "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>" +
                    HtmlText(title) +
                    "</title>\n</head>\n<body>\n<table style=\"border-collapse:collapse\">\n";
  const int rows = table.GetRowCount();
  for (int r = 0; r < rows; ++r) {
    out += "<tr>";
    const CCheckedArray<CAutoCell>& cells = table.Rows[r].Cells;
    for (int c = 0; c < cells.GetSize(); ++c) {
      const CAutoCell& cell = cells[c];
      Range range;
      const bool merged = RangeOf(cell, range);
      // Cells a range covers are drawn by its first cell.
      if (merged && (range.row1 != r + 1 || range.column1 != c + 1)) continue;
      // The range's outer edges: right from its top-right cell, bottom from its bottom-left.
      const CAutoCell* rightCell = &cell;
      const CAutoCell* bottomCell = &cell;
      if (merged && range.row2 <= rows && range.column2 <= cells.GetSize()) {
        rightCell = &cells[range.column2 - 1];
        bottomCell = &table.Rows[range.row2 - 1].Cells[c];
      }
      std::string style = CssBorder("left", cell, xl::kEdgeLeft) +
                          CssBorder("top", cell, xl::kEdgeTop) +
                          CssBorder("right", *rightCell, xl::kEdgeRight) +
                          CssBorder("bottom", *bottomCell, xl::kEdgeBottom);
      if (cell.GetOrientation() == xl::kDownward) style += "writing-mode:vertical-rl;";
      if (cell.GetOrientation() == xl::kUpward) {
        style += "writing-mode:vertical-rl;transform:rotate(180deg);";
      }
      out += "<td";
      if (merged && range.row2 > range.row1) {
        out += " rowspan=\"" + std::to_string(range.row2 - range.row1 + 1) + "\"";
      }
      if (merged && range.column2 > range.column1) {
        out += " colspan=\"" + std::to_string(range.column2 - range.column1 + 1) + "\"";
      }
      if (!style.empty()) out += " style=\"" + style + "\"";
      out += ">" + HtmlText(cell.GetText()) + "</td>";
    }
    out += "</tr>\n";
  }
  return out + "</table>\n</body>\n</html>\n";
}

std::string TableToMarkdown(const CSheetform& table) {
  std::string out;
  const int columns = table.GetColumnCount();
  for (int r = 0; r < table.GetRowCount(); ++r) {
    out += "|";
    const CCheckedArray<CAutoCell>& cells = table.Rows[r].Cells;
    for (int c = 0; c < cells.GetSize(); ++c) out += " " + MarkdownText(cells[c].GetText()) + " |";
    out += "\n";
    if (r == 0) {
      out += "|";
      for (int c = 0; c < columns; ++c) out += " --- |";
      out += "\n";
    }
  }
  const auto ranges = MergedRanges(table);
  if (!ranges.empty()) {
    out += "\nMerged cells:";
    bool first = true;
    for (const auto& [reference, r] : ranges) {
      std::wstring plain = reference;
      std::erase(plain, L'$');
      out += (first ? " " : ", ") + Utf8(plain);
      first = false;
    }
    out += "\n";
  }
  return out;
}
