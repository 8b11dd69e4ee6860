#include "hostapp/host.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "hostapp/menu.h"
#include "platform/console/console.h"
#include "platform/win/strings.h"
#include "platform/win/text.h"
#include "platform/win/wintypes.h"

namespace hostapp {

namespace fs = std::filesystem;

bool SwitchLayout(const std::wstring& name, std::wstring& error) {
  sds_host::Drawing* drawing = sds_host::GetDrawing();
  if (drawing == nullptr) {
    error = L"no drawing is open";
    return false;
  }
  if (drawing->SetLayout(name)) return true;
  error = L"the drawing has no layout \"" + name + L"\"; its layouts:";
  for (const std::wstring& layout : drawing->Layouts()) error += L" \"" + layout + L"\"";
  return false;
}

std::string DefaultPluginPath() {
  std::error_code ec;
  fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return "OrvaneGridmason2017.so";
  return (self.parent_path() / "OrvaneGridmason2017.so").string();
}

Plugin::~Plugin() {
  if (loaded_) Unload();
  link_.Stop();
  if (handle_ != nullptr) {
    win::UnregisterModuleFileName(reinterpret_cast<HMODULE>(handle_));
    dlclose(handle_);
  }
}

std::unique_ptr<Plugin> Plugin::Open(const std::string& path, std::string& error) {
  std::error_code ec;
  if (!fs::exists(path, ec)) {
    error = "cannot open the plug-in " + path + ": no such file";
    return nullptr;
  }
  fs::path absolute = fs::absolute(path, ec);
  std::unique_ptr<Plugin> p(new Plugin);
  p->path_ = absolute.string();
  // Resolve everything now, so a plug-in that needs what this host lacks is
  // refused here rather than failing halfway through a command.
  p->handle_ = dlopen(p->path_.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (p->handle_ == nullptr) {
    error = "cannot load the plug-in " + path + ": " + dlerror();
    return nullptr;
  }
  p->entry_ = reinterpret_cast<int (*)(int)>(dlsym(p->handle_, "icrxEntryPoint"));
  p->sds_entry_ = reinterpret_cast<void (*)()>(dlsym(p->handle_, "SDS_EntryPoint"));
  if (p->entry_ == nullptr && p->sds_entry_ == nullptr) {
    error = "cannot load the plug-in " + path +
            ": it has neither icrxEntryPoint nor SDS_EntryPoint, so it is not a plug-in of this "
            "host";
    return nullptr;
  }
  p->legacy_ = p->entry_ == nullptr;
  auto module = reinterpret_cast<HMODULE>(p->handle_);
  win::RegisterModuleFileName(module, win::Utf8ToWide(p->path_).c_str());
  sds_host::SetApplication(win::Utf8ToWide(absolute.stem().string()), module);
  return p;
}

bool Plugin::Load() {
  if (!legacy_) {
    entry_(SDS_RQXLOAD);
    loaded_ = true;
    return !sds_host::Commands().empty();
  }
  if (!link_.Start([entry = sds_entry_] { entry(); })) return false;
  int status = link_.Request(RQXLOAD);
  loaded_ = status != sds_host::LinkLoop::kEnded;
  return status == 1;
}

void Plugin::Invoke(short code) {
  sds_host::SetFunctionCode(code);
  if (!legacy_) {
    entry_(SDS_RQSUBR);
  } else if (link_.Running()) {
    link_.Request(RQSUBR);
  }
  sds_host::SetFunctionCode(-1);
}

void Plugin::Unload() {
  if (!loaded_) return;
  loaded_ = false;
  if (!legacy_) {
    entry_(SDS_RQXUNLD);
  } else if (link_.Running()) {
    link_.Request(RQXUNLD);
    link_.Stop();
  }
}

bool Host::Start() {
  started_ = plugin_->Load();
  CarryOutMessages();
  return started_;
}

void Host::Stop() {
  if (plugin_) plugin_->Unload();
  CarryOutMessages();
}

void Host::CarryOutMessages() {
  for (const std::wstring& message : sds_host::TakeMessages()) {
    if (auto path = ParseMenuLoad(message)) {
      std::wstring error;
      if (auto menu = LoadMenuFile(*path, error)) {
        console::Write(win::Format(L"\nMenu %s loaded from %s (%d items).", menu->group.c_str(),
                                   path->c_str(), static_cast<int>(menu->items.size())));
      } else {
        console::Write(
            win::Format(L"\nCannot load the menu file %s: %s.", path->c_str(), error.c_str()));
      }
      continue;
    }
    // Other host commands are echoed so nothing the plug-in asked for is lost
    // without a trace.
    console::Write(L"\nThis host does not carry out: " + message);
  }
}

void Host::ListCommands() {
  console::Write(L"\nCommands:");
  for (const auto& c : sds_host::Commands()) {
    std::wstring word = c.name.rfind(L"C:", 0) == 0 ? c.name.substr(2) : c.name;
    console::Write(L"\n  " + word);
  }
  console::Write(L"\n  LAYOUT [NAME], HELP, QUIT (host)");
}

bool Host::RunLine(const std::wstring& raw) {
  const std::wstring word = win::Trim(raw, L" \t");
  if (word.empty()) return true;
  const std::wstring upper = win::ToUpper(word);
  if (upper == L"QUIT" || upper == L"EXIT") return false;
  if (upper == L"HELP" || upper == L"?") {
    ListCommands();
    return true;
  }
  if (upper == L"LAYOUT" || upper.rfind(L"LAYOUT ", 0) == 0) {
    size_t name = word.find_first_not_of(L" \t", 6);
    Layout(name == std::wstring::npos ? std::wstring() : word.substr(name));
    return true;
  }
  const sds_host::Command* command = sds_host::FindCommand(word);
  if (command == nullptr) {
    console::Write(L"\nUnknown command \"" + word + L"\".  Type HELP for the commands.");
    had_unknown_command_ = true;
    return true;
  }
  plugin_->Invoke(command->code);
  CarryOutMessages();
  return true;
}

void Host::Layout(const std::wstring& name) {
  sds_host::Drawing* drawing = sds_host::GetDrawing();
  if (drawing == nullptr) {
    console::Write(L"\nNo drawing is open.");
    return;
  }
  if (name.empty()) {
    console::Write(L"\nLayouts:");
    for (const std::wstring& layout : drawing->Layouts()) {
      console::Write(L"\n  " + layout + (layout == drawing->CurrentLayout() ? L" (current)" : L""));
    }
    return;
  }
  std::wstring error;
  if (!SwitchLayout(name, error)) {
    console::Write(L"\n" + error + L".");
    return;
  }
  console::Write(L"\nCurrent layout: " + drawing->CurrentLayout() + L".");
}

void Host::RunCommandLine() {
  std::wstring line;
  while (console::ReadLine(L"\nCommand: ", line)) {
    if (!RunLine(line)) break;
  }
}

}  // namespace hostapp
