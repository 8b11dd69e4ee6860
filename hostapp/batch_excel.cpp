#include "hostapp/batch_excel.h"
#include "hostapp/block_reference.h"
#include "hostapp/report.h"

#include <cstdio>
#include <filesystem>
#include <optional>
#include <sstream>

#include "platform/afx/afx.h"
#include "platform/com/objbase.h"
#include "platform/console/console.h"
#include "platform/sds/host.h"
#include "platform/sds/sds.h"
#include "platform/spreadsheet/server.h"
#include "platform/win/strings.h"
#include "platform/win/text.h"

namespace hostapp {

namespace {

namespace fs = std::filesystem;

using hostapp::Fail;

// Counts the message boxes shown while it lives; each is still shown.
class MessageBoxCounter {
 public:
  MessageBoxCounter() : previous_(afx::SetMessageBoxHandler(&Count)) {
    count_ = 0;
    chained_ = previous_;
  }
  ~MessageBoxCounter() { afx::SetMessageBoxHandler(previous_); }
  MessageBoxCounter(const MessageBoxCounter&) = delete;
  MessageBoxCounter& operator=(const MessageBoxCounter&) = delete;
  int count() const { return count_; }

 private:
  static int Count(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) {
    ++count_;
    if (chained_ != nullptr) return chained_(owner, text, caption, type);
    afx::SetMessageBoxHandler(nullptr);
    const int answer = MessageBoxW(owner, text, caption, type);
    afx::SetMessageBoxHandler(&Count);
    return answer;
  }
  static inline int count_ = 0;
  static inline afx::MessageBoxHandler chained_ = nullptr;
  afx::MessageBoxHandler previous_;
};

// The answers a person would type at the command's prompts, for one command.
class PromptAnswers {
 public:
  explicit PromptAnswers(const std::string& lines)
      : stream_(lines), input_(stream_), previous_(console::SetInput(&input_)) {}
  ~PromptAnswers() { console::SetInput(previous_); }
  PromptAnswers(const PromptAnswers&) = delete;
  PromptAnswers& operator=(const PromptAnswers&) = delete;

 private:
  std::istringstream stream_;
  console::StreamInput input_;
  console::Input* previous_;
};

bool HoldsCells(const spreadsheet::Workbook& book) {
  for (const auto& sheet : book.sheets()) {
    if (!sheet->cells().empty() || !sheet->merged_areas().empty()) return true;
  }
  return false;
}

}  // namespace

bool StartSpreadsheet(const Options& options, std::string& error) {
  CoInitialize(nullptr);
  if (options.no_excel) return true;
  const HRESULT hr = spreadsheet::RegisterServer();
  if (FAILED(hr)) {
    error = win::WideToUtf8(
        win::Format(L"cannot register the spreadsheet server (0x%08x)", static_cast<unsigned>(hr)));
    return false;
  }
  return true;
}

void StopSpreadsheet() {
  spreadsheet::QuitApplication();
  CoUninitialize();
}

// The command a batch run types and the answers to its prompts: the block
// reference's pick, or the selection; `before` answers what the command asks first.
std::optional<std::pair<std::wstring, std::string>> BatchCommand(const Options& options,
                                                                 const wchar_t* selectCommand,
                                                                 const wchar_t* blockCommand,
                                                                 const std::string& before) {
  if (options.block.empty()) {
    return std::make_pair(std::wstring(selectCommand), before + SelectionAnswer(options) + "\n\n");
  }
  const std::wstring handle =
      FindBlockReferenceInLayouts(win::Utf8ToWide(options.block), !options.layout.empty());
  if (handle.empty()) {
    Fail("the drawing has no block reference " + options.block);
    return std::nullopt;
  }
  return std::make_pair(std::wstring(blockCommand), before + win::WideToUtf8(handle) + "\n");
}

int RunExcelBatch(Host& host, const Options& options) {
  const auto chosen = BatchCommand(options, L"LineText2Excel", L"Block2Excel", "");
  if (!chosen) return kExitNoWorkbook;
  const auto& [command, answers] = *chosen;

  int shown = 0;
  {
    MessageBoxCounter boxes;
    PromptAnswers prompts(answers);
    console::Write(L"\nCommand: " + command);
    host.RunLine(command);
    shown = boxes.count();
  }

  auto book = spreadsheet::ActiveWorkbook();
  if (!book || !HoldsCells(*book)) {
    Fail("no workbook was written for " + options.output);
    return kExitNoWorkbook;
  }
  const spreadsheet::SaveStatus saved = spreadsheet::SaveActiveWorkbook(options.output);
  if (!saved.ok()) {
    Fail(win::WideToUtf8(saved.message()));
    return kExitNoWorkbook;
  }
  console::Write(L"\nWorkbook saved as " + win::Utf8ToWide(options.output) + L".");
  if (shown > 0) {
    Fail("the conversion showed " + std::to_string(shown) +
         (shown == 1 ? " message" : " messages") + "; what was written is saved in " +
         options.output);
    return kExitNoWorkbook;
  }
  return 0;
}

bool IsTextOutput(const std::string& output) {
  const std::string ext = fs::path(output).extension().string();
  const std::string lower = win::ToLowerAscii(ext);
  return lower == ".csv" || lower == ".json" || lower == ".html" || lower == ".htm" ||
         lower == ".md";
}

int RunTextBatch(Host& host, const Options& options) {
  // The file's name comes first, then the selection or the pick.
  const auto chosen = BatchCommand(options, L"LineText2File", L"Block2File", options.output + "\n");
  if (!chosen) return kExitNoWorkbook;
  const auto& [command, answers] = *chosen;
  // Written means replaced: a file left from before does not count.
  std::error_code ec;
  const fs::path path(options.output);
  const auto before =
      fs::exists(path, ec) ? fs::last_write_time(path, ec) : fs::file_time_type::min();
  int shown = 0;
  {
    MessageBoxCounter boxes;
    PromptAnswers prompts(answers);
    console::Write(L"\nCommand: " + command);
    host.RunLine(command);
    shown = boxes.count();
  }
  const bool written = fs::exists(path, ec) && fs::last_write_time(path, ec) != before;
  if (!written) {
    Fail("nothing was written to " + options.output);
    return kExitNoWorkbook;
  }
  if (shown > 0) {
    Fail("the conversion showed " + std::to_string(shown) +
         (shown == 1 ? " message" : " messages") + "; what was written is in " + options.output);
    return kExitNoWorkbook;
  }
  return 0;
}

bool SaveOpenWorkbooks(const Options& options) {
  std::error_code ec;
  const fs::path folder =
      options.save_dir.empty() ? fs::current_path(ec) : fs::path(options.save_dir);
  bool ok = true;
  for (const auto& book : spreadsheet::OpenWorkbooks()) {
    if (!HoldsCells(*book)) continue;
    const std::string stem = win::WideToUtf8(book->name());
    fs::path path = folder / (stem + ".xlsx");
    for (int n = 2; fs::exists(path, ec); ++n) {
      path = folder / (stem + "-" + std::to_string(n) + ".xlsx");
    }
    const spreadsheet::SaveStatus saved = spreadsheet::SaveWorkbookAs(*book, path);
    if (saved.ok()) {
      console::Write(L"\nWorkbook " + book->name() + L" saved as " +
                     win::Utf8ToWide(path.string()) + L".");
    } else {
      Fail(win::WideToUtf8(saved.message()));
      ok = false;
    }
  }
  return ok;
}

}  // namespace hostapp
