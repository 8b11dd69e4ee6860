#include "host/app.h"

#include "platform/registry/registry.h"
#include "ui/settings.h"

CGridmasonSDSApp::CGridmasonSDSApp() : CWinApp(L"OrvaneGridmason") {}

BOOL CGridmasonSDSApp::InitInstance() {
  SetSettingsRoot(HKEY_CURRENT_USER, L"Orvane");
  return TRUE;
}

namespace {

CGridmasonSDSApp the_app;

// The framework initialises a library's application when the library loads.
struct ModuleInit {
  ModuleInit() { the_app.InitInstance(); }
} module_init;

}  // namespace

CGridmasonSDSApp& TheApp() { return the_app; }
