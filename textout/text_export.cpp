#include "textout/text_export.h"

#include <filesystem>
#include <fstream>

#include "platform/win/text.h"
#include "textout/table_text.h"

namespace {

namespace fs = std::filesystem;

fs::path PartOf(const fs::path& path) {
  fs::path part = path;
  part += ".part";
  return part;
}

// Writes beside the target first, so that a failed write leaves any file
// already there as it was.
bool WritePart(const fs::path& path, const std::string& bytes, std::wstring& error) {
  std::error_code ec;
  if (fs::is_directory(path, ec)) {
    error = L"Cannot write " + path.wstring() + L": it is a folder.";
    return false;
  }
  const fs::path part = PartOf(path);
  std::ofstream out(part, std::ios::binary | std::ios::trunc);
  if (out) out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (out) out.close();
  if (out) return true;
  std::error_code ignored;
  fs::remove(part, ignored);
  error = L"Cannot write " + path.wstring() + L".";
  return false;
}

// All files or none: every part is written before any replaces its file.
std::vector<std::wstring> WriteAll(const std::vector<std::pair<fs::path, std::string>>& files,
                                   std::wstring& error) {
  std::vector<std::wstring> written;
  std::error_code ec;
  for (std::size_t k = 0; k < files.size(); ++k) {
    if (WritePart(files[k].first, files[k].second, error)) continue;
    for (std::size_t j = 0; j < k; ++j) fs::remove(PartOf(files[j].first), ec);
    return written;
  }
  for (const auto& [path, bytes] : files) {
    fs::rename(PartOf(path), path, ec);
    if (ec) {
      fs::remove(PartOf(path), ec);
      error = L"Cannot write " + path.wstring() + L".";
      continue;
    }
    written.push_back(path.wstring());
  }
  return written;
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
  std::vector<std::pair<fs::path, std::string>> files;
  if (format == TextFormat::kJson) {
    files.emplace_back(target,
                       filled.size() == 1 ? TableToJson(filled[0]) + "\n" : TablesToJson(filled));
  } else {
    for (std::size_t k = 0; k < filled.size(); ++k) {
      const fs::path file = Numbered(target, k + 1);
      if (format == TextFormat::kCsv) {
        files.emplace_back(file, TableToCsv(filled[k]));
      } else if (format == TextFormat::kHtml) {
        files.emplace_back(file, TableToHtml(filled[k], file.stem().wstring()));
      } else {
        files.emplace_back(file, TableToMarkdown(filled[k]));
      }
    }
  }
  return WriteAll(files, error);
}
