#include "database/drawing_path.h"

#include <filesystem>

#include "platform/sds/sds.h"
#include "platform/win/text.h"

namespace {

std::wstring HostVariable(const wchar_t* name) {
  sds_resbuf value{};
  if (sds_getvar(name, &value) != RTNORM || value.restype != RTSTR) return {};
  std::wstring text = value.resval.rstring != nullptr ? value.resval.rstring : L"";
  sds_free(value.resval.rstring);
  return text;
}

}  // namespace

std::wstring GetDrawingPath() {
  std::wstring path = HostVariable(L"DWGPREFIX");
  if (path.empty() || (path.back() != L'\\' && path.back() != L'/')) path += L'/';
  return path + HostVariable(L"DWGNAME");
}

// Paths are converted as UTF-8 here: the standard library would convert a
// wide path by the C locale and refuse every non-ASCII letter.
namespace {

std::filesystem::path Native(const std::wstring& path) {
  return std::filesystem::path(win::WideToUtf8(path));
}

}  // namespace

std::wstring ResolveRelativePath(const std::wstring& baseFile, const std::wstring& path) {
  const std::filesystem::path p = Native(path);
  if (path.empty() || !p.is_relative()) return path;
  return win::Utf8ToWide((Native(baseFile).parent_path() / p).lexically_normal().string());
}

bool FileExists(const std::wstring& path) {
  std::error_code ec;
  const std::filesystem::path p = Native(path);
  return !path.empty() && std::filesystem::exists(p, ec) && !std::filesystem::is_directory(p, ec);
}

bool SameFile(const std::wstring& a, const std::wstring& b) {
  std::error_code ec;
  return std::filesystem::equivalent(Native(a), Native(b), ec);
}

bool RemoveFile(const std::wstring& path) {
  std::error_code ec;
  return std::filesystem::remove(Native(path), ec);
}
