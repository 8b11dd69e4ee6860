#include "textout/text_export.h"

#include <filesystem>
#include <fstream>

#include "platform/win/text.h"
#include "textout/table_text.h"

namespace {

namespace fs = std::filesystem;

// Writes beside the target first, so that a failed write leaves any file
// already there as it was.
bool WriteWhole(const fs::path& path, const std::string& bytes, std::wstring& error) {
  fs::path part = path;
  part += ".part";
  {
    std::ofstream out(part, std::ios::binary | std::ios::trunc);
    if (out) out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (out) out.close();
    if (!out) {
      std::error_code ignored;
      fs::remove(part, ignored);
      error = L"Cannot write " + path.wstring() + L".";
      return false;
    }
  }
  std::error_code ec;
  fs::rename(part, path, ec);
  if (ec) {
    fs::remove(part, ec);
    error = L"Cannot write " + path.wstring() + L".";
    return false;
  }
  return true;
}

fs::path Numbered(const fs::path& path, std::size_t number) {
  if (number <= 1) return path;
  fs::path named = path.parent_path() / path.stem();
  named += L"-" + std::to_wstring(number);
  named += path.extension();
  return named;
}

}  // namespace

std::vector<std::wstring> ExportTablesToText(const std::vector<CSheetform>& tables,
                                             const std::wstring& path, std::wstring& error) {
  std::vector<std::wstring> written;
  TextFormat format{};
  if (!TextFormatOfPath(path, format)) {
    error = L"Cannot tell the format of " + path + L": use .csv, .json, .html or .md.";
    return written;
  }
  std::vector<CSheetform> filled;
  for (const CSheetform& table : tables) {
    if (table.GetRowCount() > 0) filled.push_back(table);
  }
  if (filled.empty()) {
    error = L"No table was recognised; nothing was written to " + path + L".";
    return written;
  }
  const fs::path target(path);
  if (format == TextFormat::kJson) {
    const std::string bytes =
        filled.size() == 1 ? TableToJson(filled[0]) + "\n" : TablesToJson(filled);
    if (WriteWhole(target, bytes, error)) written.push_back(path);
    return written;
  }
  for (std::size_t k = 0; k < filled.size(); ++k) {
    const fs::path file = Numbered(target, k + 1);
    std::string bytes;
    if (format == TextFormat::kCsv) {
      bytes = TableToCsv(filled[k]);
    } else if (format == TextFormat::kHtml) {
      bytes = TableToHtml(filled[k], file.stem().wstring());
    } else {
      bytes = TableToMarkdown(filled[k]);
    }
    if (!WriteWhole(file, bytes, error)) return written;
    written.push_back(file.wstring());
  }
  return written;
}
