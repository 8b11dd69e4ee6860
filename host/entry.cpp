#include "host/entry.h"

#include <cwchar>

#include "platform/com/objbase.h"
#include "platform/sds/sds.h"
#include "platform/win/text.h"

EntryGlobals g_entry = {};

const wchar_t* MenuFileName() { return GM_LEGACY_HOST ? L"Gridmason.mns" : L"Gridmason.cui"; }

namespace {

void FillGlobals() {
  SDS_GetGlobals(g_entry.app_name, 512, &g_entry.main_window, &g_entry.instance);
}

}  // namespace

int LoadApplication() {
  for (int code = 0; code < kCommandCount; ++code) {
    if (kCommandTable[code].name == nullptr) continue;
    if (sds_defun(kCommandTable[code].name, static_cast<short>(code)) == 0) return RTERROR;
  }
  std::wstring command =
      win::Format(L"(command \"_.menuload\" \"%s\")(princ)", GetMenuFilePath().c_str());
  for (wchar_t& c : command) {
    if (c == L'\\') c = L'/';
  }
  sds_sendmessage(command.c_str());
  return RTNORM;
}

int UnloadApplication() {
  for (int code = 0; code < kCommandCount; ++code) {
    if (kCommandTable[code].name == nullptr) continue;
    sds_undef(kCommandTable[code].name, static_cast<short>(code));
  }
  return RTNORM;
}

int DispatchCommand() {
  int code = sds_getfuncode();
  if (code >= 0 && code < kCommandCount && kCommandTable[code].handler != nullptr) {
    return kCommandTable[code].handler();
  }
  sds_fail(L"failed to getfuncode in dofun.");
  return RTERROR;
}

std::wstring GetMenuFilePath() {
  wchar_t module[MAX_PATH] = {};
  GetModuleFileNameW(g_entry.instance, module, MAX_PATH);
  std::wstring path(module);
  size_t cut = path.find_last_of(L"\\/");
  // Keep the separator the module's own path uses.
  wchar_t separator = (cut != std::wstring::npos) ? path[cut] : L'/';
  std::wstring folder = (cut != std::wstring::npos) ? path.substr(0, cut) : std::wstring();
  return folder + separator + MenuFileName();
}

#if GM_LEGACY_HOST

extern "C" __attribute__((visibility("default"))) void SDS_EntryPoint(void) {
  FillGlobals();
  wchar_t* argv[1] = {g_entry.app_name};
  sds_init(1, argv);
  int status = 1;
  for (;;) {
    int request = sds_link(status);
    if (request < 0) {
      sds_printf(L"\nERROR: Unable to link with Orvane - %d", request);
      sds_exit(-1);
    }
    switch (request) {
      case RQXLOAD:
        status = LoadApplication() == RTNORM ? 1 : 3;
        CoInitialize(nullptr);
        break;
      case RQXUNLD:
        UnloadApplication();
        CoUninitialize();
        status = 1;
        break;
      case RQSUBR:
        status = DispatchCommand() == RTNORM ? 1 : 3;
        break;
      default:
        status = 1;
        break;
    }
  }
}

#else

extern "C" __attribute__((visibility("default"))) int icrxEntryPoint(int message) {
  FillGlobals();
  if (static_cast<unsigned>(message) > 17u) return 3;
  switch (message) {
    case SDS_RQXLOAD:
      LoadApplication();
      break;
    case SDS_RQXUNLD:
      UnloadApplication();
      break;
    case SDS_RQSUBR:
      DispatchCommand();
      break;
    default:
      break;
  }
  return 0;
}

#endif
