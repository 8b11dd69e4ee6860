// Command handlers. Commands whose work is not built yet say so plainly on
// the command line instead of pretending.
#include "host/commands.h"

#include "host/conversion.h"
#include "ui/options_dialog.h"

#include "platform/afx/afx.h"
#include "platform/sds/sds.h"

namespace {

int NotAvailable(const wchar_t* command) {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  sds_printf(L"\n%s is not available yet in this build of OrvaneGridmason.", command);
  return sds_retvoid();
}

}  // namespace

int CmdGridmasonTest() {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  sds_printf(L"\nGridmason Test");
  return sds_retvoid();
}

int CmdLineText2Excel() {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  ConvertSelection(kTargetSpreadsheet);
  return sds_retvoid();
}

int CmdBlock2Excel() {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  ConvertBlockReference(kTargetSpreadsheet);
  return sds_retvoid();
}

int CmdLineText2Access() {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  ConvertSelection(kTargetDatabase);
  return sds_retvoid();
}

int CmdBlock2Access() {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  ConvertBlockReference(kTargetDatabase);
  return sds_retvoid();
}
int CmdGridmasonOptions() {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  ShowOptionsDialog(sds_getmainhwnd());
  return sds_retvoid();
}
int CmdGridmasonHelp() { return NotAvailable(L"Gridmason_Help"); }
int CmdGridmasonDemo() { return NotAvailable(L"Gridmason_Demo"); }
int CmdGridmasonWebsite() { return NotAvailable(L"Gridmason_Website"); }
int CmdGridmasonNew() { return NotAvailable(L"Gridmason_New"); }
int CmdGridmasonFaq() { return NotAvailable(L"Gridmason_Faq"); }
int CmdGridmasonSupport() { return NotAvailable(L"Gridmason_Support"); }
int CmdGridmasonCheckUpdate() { return NotAvailable(L"Gridmason_Check_Upd"); }
int CmdGridmasonAbout() { return NotAvailable(L"Gridmason_About"); }
