// The menu files the plug-in asks the host to load.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace hostapp {

// The path of a host command string "(command "_.menuload" "PATH")(princ)",
// or nullopt when the string is not a menu load.
std::optional<std::wstring> ParseMenuLoad(const std::wstring& command);

struct MenuItem {
  std::wstring label;
  std::wstring command;  // the command word the item runs
};

struct Menu {
  std::wstring group;
  std::vector<MenuItem> items;
};

// Reads a menu source (.mns) or a customisation file (.cui). On failure
// returns nullopt with the reason in error.
std::optional<Menu> LoadMenuFile(const std::wstring& path, std::wstring& error);

}  // namespace hostapp
