// Saving a workbook as an .xlsx file through libxlsxwriter.
//
// What is saved: every sheet with its cells' values (numbers, texts, line
// feeds included, booleans, formulas as their text without a cached
// result); per cell the number format ("@" keeps a text a text), horizontal
// and vertical alignment, orientation, wrapping, the four borders with line
// style, weight and colour, a solid fill, and the font where it differs
// from Calibri 11; the merged areas; column widths and row heights that
// were set or fitted. A border is written on both cells it lies between.
//
// The file is written atomically: into a temporary file in the same folder,
// checked to be a complete archive, flushed to disk and then renamed over
// the target. On any failure the temporary file is removed and a file that
// was at the path before is left as it was.
#pragma once

#include <filesystem>
#include <string>

#include "platform/spreadsheet/workbook.h"

namespace spreadsheet {

class [[nodiscard]] SaveStatus {
 public:
  static SaveStatus Ok() { return SaveStatus(true, {}); }
  static SaveStatus Error(std::wstring message) { return SaveStatus(false, std::move(message)); }
  bool ok() const { return ok_; }
  // Names the file and the cause; empty when ok.
  const std::wstring& message() const { return message_; }

 private:
  SaveStatus(bool ok, std::wstring message) : ok_(ok), message_(std::move(message)) {}
  bool ok_;
  std::wstring message_;
};

SaveStatus SaveWorkbookAs(const Workbook& book, const std::filesystem::path& path);

}  // namespace spreadsheet
