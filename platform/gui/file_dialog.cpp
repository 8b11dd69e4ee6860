#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/gui/backend.h"
#include "platform/gui/dialog.h"
#include "platform/win/text.h"

namespace fs = std::filesystem;

CFileDialog::CFileDialog(BOOL openFileDialog, LPCWSTR defaultExt, LPCWSTR fileName, DWORD flags,
                         LPCWSTR filter, CWnd* parent)
    : open_(openFileDialog != 0),
      default_ext_(defaultExt != nullptr ? defaultExt : L""),
      initial_name_(fileName != nullptr ? fileName : L""),
      parent_(parent) {
  m_ofn.Flags = flags;
  while (!default_ext_.empty() && default_ext_.front() == L'.') default_ext_.erase(0, 1);
  // "Description|patterns|…||": pairs up to the empty description.
  const std::wstring f = filter != nullptr ? filter : L"";
  for (size_t start = 0; start < f.size();) {
    const size_t bar = f.find(L'|', start);
    if (bar == start || bar == std::wstring::npos) break;
    const size_t end = std::min(f.find(L'|', bar + 1), f.size());
    filters_.emplace_back(f.substr(start, bar - start), f.substr(bar + 1, end - bar - 1));
    start = end + 1;
  }
}

INT_PTR CFileDialog::DoModal() {
  gui::Backend* backend = gui::GetBackend();
  if (backend == nullptr) return IDCANCEL;
  HWND owner = parent_ != nullptr ? parent_->m_hWnd : nullptr;
  const gui::FileDialogRequest request{open_,         open_ ? L"Open" : L"Save As", default_ext_,
                                       initial_name_, m_ofn.lpstrInitialDir,        filters_,
                                       m_ofn.Flags};

  // Every round consumes an answer, so a backend out of answers ends it.
  for (int round = 0; round < 100; ++round) {
    gui::FileDialogAnswer answer;
    if (!backend->AnswerFileDialog(request, answer)) return IDCANCEL;
    std::wstring typed = win::Trim(answer.path);
    if (typed.empty()) return IDCANCEL;

    fs::path path = win::WideToUtf8(typed);
    if (path.is_relative()) {
      std::error_code ec;
      fs::path base = !request.initial_dir.empty() ? fs::path(win::WideToUtf8(request.initial_dir))
                                                   : fs::current_path(ec);
      path = base / path;
    }
    path = path.lexically_normal();
    if (!path.has_extension() && !default_ext_.empty() && path.has_filename()) {
      path.replace_extension(win::WideToUtf8(default_ext_));
    }
    const std::wstring full = win::Utf8ToWide(path.string());
    std::error_code ec;
    const bool exists = fs::exists(path, ec);
    const wchar_t* problem = nullptr;
    if (exists && fs::is_directory(path, ec)) {
      problem = L"\nis a folder. Choose a file.";
    } else if (!path.has_filename()) {
      problem = L"\nThe file name is not valid.";
    } else if (open_ && (m_ofn.Flags & OFN_FILEMUSTEXIST) != 0 && !exists) {
      problem = L"\nFile not found.\nCheck the file name and try again.";
    } else if (!open_ && !fs::is_directory(path.parent_path(), ec)) {
      // Nothing can be saved into a folder that is not there.
      problem = L"\nPath does not exist.\nCheck the path and try again.";
    }
    if (problem != nullptr) {
      MessageBoxW(owner, (full + problem).c_str(), request.title.c_str(), MB_OK | MB_ICONWARNING);
      continue;
    }
    if (!open_ && (m_ofn.Flags & OFN_OVERWRITEPROMPT) != 0 && exists &&
        MessageBoxW(owner, (full + L" already exists.\nDo you want to replace it?").c_str(),
                    request.title.c_str(), MB_YESNO | MB_ICONWARNING) != IDYES) {
      continue;
    }
    path_ = full;
    const bool read_only = (m_ofn.Flags & OFN_HIDEREADONLY) == 0 && answer.read_only;
    m_ofn.Flags = (m_ofn.Flags & ~OFN_READONLY) | (read_only ? OFN_READONLY : 0);
    return IDOK;
  }
  return IDCANCEL;
}
