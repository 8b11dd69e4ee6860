#include "hostapp/batch_settings.h"

#include "platform/registry/registry.h"

namespace hostapp {

namespace {

// Where the plug-in keeps its settings (its vendor key and section).
constexpr const wchar_t* kPluginSettings = L"software\\Orvane\\OrvaneGridmason";

HKEY OpenSettings() {
  HKEY key = nullptr;
  DWORD disposition = 0;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kPluginSettings, 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, &key, &disposition) != ERROR_SUCCESS) {
    return nullptr;
  }
  return key;
}

}  // namespace

bool SettingOverrides::Set(const std::wstring& name, unsigned value) {
  HKEY key = OpenSettings();
  if (key == nullptr) return false;
  Saved saved{name, false, REG_NONE, {}};
  DWORD type = REG_NONE;
  DWORD size = 0;
  if (RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
    saved.data.resize(size);
    if (RegQueryValueExW(key, name.c_str(), nullptr, &type, saved.data.data(), &size) ==
        ERROR_SUCCESS) {
      saved.existed = true;
      saved.type = type;
      saved.data.resize(size);
    }
  }
  const DWORD data = value;
  const bool ok =
      RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                     sizeof data) == ERROR_SUCCESS;
  RegCloseKey(key);
  if (ok) saved_.push_back(std::move(saved));
  return ok;
}

SettingOverrides::~SettingOverrides() {
  if (saved_.empty()) return;
  HKEY key = OpenSettings();
  if (key == nullptr) return;
  for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
    if (it->existed) {
      RegSetValueExW(key, it->name.c_str(), 0, static_cast<DWORD>(it->type), it->data.data(),
                     static_cast<DWORD>(it->data.size()));
    } else {
      RegDeleteValueW(key, it->name.c_str());
    }
  }
  RegCloseKey(key);
}

}  // namespace hostapp
