#include <dlfcn.h>

#include <map>
#include <mutex>
#include <string>

#include "platform/win/text.h"
#include "platform/win/wintypes.h"

namespace {

std::mutex& ModulesMutex() {
  static std::mutex m;
  return m;
}

std::map<HMODULE, std::wstring>& Modules() {
  static std::map<HMODULE, std::wstring> modules;
  return modules;
}

}  // namespace

namespace win {

void RegisterModuleFileName(HMODULE module, const wchar_t* path) {
  std::lock_guard lock(ModulesMutex());
  Modules()[module] = path;
}

void UnregisterModuleFileName(HMODULE module) {
  std::lock_guard lock(ModulesMutex());
  Modules().erase(module);
}

}  // namespace win

DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size) {
  if (buffer == nullptr || size == 0) return 0;
  std::wstring name;
  {
    std::lock_guard lock(ModulesMutex());
    auto it = Modules().find(module);
    if (it != Modules().end()) name = it->second;
  }
  if (name.empty()) {
    Dl_info info{};
    const void* address = module;
    if (module == nullptr) address = reinterpret_cast<const void*>(&GetModuleFileNameW);
    if (dladdr(address, &info) == 0 || info.dli_fname == nullptr) return 0;
    name = win::Utf8ToWide(info.dli_fname);
  }
  // As on Windows: truncate to the buffer, always terminated.
  DWORD n = static_cast<DWORD>(name.size());
  if (n >= size) n = size - 1;
  name.copy(buffer, n);
  buffer[n] = L'\0';
  return n;
}
