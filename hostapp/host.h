// The CAD host: loads a plug-in build, sends it the load, invoke and unload
// messages (directly, or through the older build's link loop), carries out
// the command strings it queues, and runs the command line.
#pragma once

#include <memory>
#include <string>

#include "platform/sds/host.h"

namespace hostapp {

class Plugin {
 public:
  ~Plugin();
  Plugin(const Plugin&) = delete;
  Plugin& operator=(const Plugin&) = delete;

  // Opens a plug-in build. On failure returns nullptr with a message.
  static std::unique_ptr<Plugin> Open(const std::string& path, std::string& error);

  // True when the plug-in registered its commands.
  bool Load();
  // Runs the registered command of that code.
  void Invoke(short code);
  void Unload();

  bool legacy() const { return legacy_; }
  const std::string& path() const { return path_; }

 private:
  Plugin() = default;

  void* handle_ = nullptr;
  std::string path_;
  bool legacy_ = false;
  bool loaded_ = false;
  int (*entry_)(int) = nullptr;
  void (*sds_entry_)() = nullptr;
  sds_host::LinkLoop link_;
};

// Makes a layout of the open drawing current, as a user clicks its tab
// (names compare without case). On failure says why in error.
bool SwitchLayout(const std::wstring& name, std::wstring& error);

class Host {
 public:
  explicit Host(std::unique_ptr<Plugin> plugin) : plugin_(std::move(plugin)) {}

  // Sends the load message and carries out what the plug-in queued.
  bool Start();
  // Runs one command line; false when it asks the host to end.
  bool RunLine(const std::wstring& line);
  // Reads and runs command lines until the input ends or QUIT.
  void RunCommandLine();
  void Stop();

  // True when a typed command was not found.
  bool had_unknown_command() const { return had_unknown_command_; }

 private:
  void CarryOutMessages();
  void ListCommands();
  void Layout(const std::wstring& name);

  std::unique_ptr<Plugin> plugin_;
  bool had_unknown_command_ = false;
  bool started_ = false;
};

// The plug-in beside the running program (newer build).
std::string DefaultPluginPath();

}  // namespace hostapp
