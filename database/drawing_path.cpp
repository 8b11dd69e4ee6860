#include "database/drawing_path.h"

#include <filesystem>

#include "platform/sds/sds.h"

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

std::wstring ResolveRelativePath(const std::wstring& baseFile, const std::wstring& path) {
  const std::filesystem::path p(path);
  if (path.empty() || !p.is_relative()) return path;
  return (std::filesystem::path(baseFile).parent_path() / p).lexically_normal().wstring();
}

bool FileExists(const std::wstring& path) {
  std::error_code ec;
  const std::filesystem::path p(path);
  return !path.empty() && std::filesystem::exists(p, ec) && !std::filesystem::is_directory(p, ec);
}
