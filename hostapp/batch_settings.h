// Settings a batch run asks for on its command line (--merge-by-lines,
// --all-tables): set in the plug-in's settings for the run only, and put
// back as they were when it ends, so a batch never changes what the user
// chose in the options dialog.
#pragma once

#include <string>
#include <vector>

namespace hostapp {

class SettingOverrides {
 public:
  SettingOverrides() = default;
  ~SettingOverrides();
  SettingOverrides(const SettingOverrides&) = delete;
  SettingOverrides& operator=(const SettingOverrides&) = delete;

  // Sets the REG_DWORD value of the plug-in's settings, remembering the
  // value it replaces. False when the settings cannot be written.
  bool Set(const std::wstring& name, unsigned value);

 private:
  struct Saved {
    std::wstring name;
    bool existed;
    unsigned long type;
    std::vector<unsigned char> data;
  };
  std::vector<Saved> saved_;
};

}  // namespace hostapp
