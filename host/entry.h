// The plug-in's entry: the command table, what happens on load, invoke and
// unload, and where the menu file lies.
#pragma once

#include <string>

#include "platform/win/wintypes.h"

// A handler takes no arguments and returns the status sds_retvoid gave it.
using CommandHandler = int (*)();

struct CommandRow {
  const wchar_t* name;  // nullptr for the codes that carry no command
  CommandHandler handler;
};

// Indexed by function code, 0 to kCommandCount - 1.
constexpr int kCommandCount = 19;
extern const CommandRow kCommandTable[kCommandCount];

// Registers every command and asks the host to load the menu: 5100, or
// -5001 when the host refused a registration (the menu is then not loaded).
int LoadApplication();
// Withdraws every command: 5100.
int UnloadApplication();
// Runs the handler of the invoked command; -5001 for a code with none.
int DispatchCommand();
// The menu file beside the plug-in module.
std::wstring GetMenuFilePath();

// Filled by SDS_GetGlobals on every entry call.
struct EntryGlobals {
  wchar_t app_name[512];
  HWND main_window;
  HINSTANCE instance;
};
extern EntryGlobals g_entry;

// The menu file's name for this build.
const wchar_t* MenuFileName();
