// Command handlers: each runs in the plug-in's own module state and returns
// nothing to the host's command line.
#include "host/commands.h"

#include "host/conversion.h"
#include "host/entry.h"
#include "ui/info_commands.h"
#include "ui/options_dialog.h"

#include "platform/afx/afx.h"
#include "platform/sds/sds.h"

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
int CmdGridmasonHelp() {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  OpenHelpFile(g_entry.instance);
  return sds_retvoid();
}
int CmdGridmasonDemo() {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  OpenWithShell(g_DemoPage);
  return sds_retvoid();
}
int CmdGridmasonWebsite() {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  OpenWithShell(g_CompanySite);
  return sds_retvoid();
}
int CmdGridmasonNew() {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  OpenWithShell(g_WhatsNewPage);
  return sds_retvoid();
}
int CmdGridmasonFaq() {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  OpenWithShell(g_FaqPage);
  return sds_retvoid();
}
int CmdGridmasonSupport() {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  StartSupportMail();
  return sds_retvoid();
}
int CmdGridmasonCheckUpdate() {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  ShowLiveUpdateDialog(sds_getmainhwnd());
  return sds_retvoid();
}
int CmdGridmasonAbout() {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  ShowAboutBox(sds_getmainhwnd());
  return sds_retvoid();
}

const CommandRow kCommandTable[kCommandCount] = {
    {L"C:Gridmason_Test", CmdGridmasonTest},
    {L"C:LineText2Excel", CmdLineText2Excel},
    {L"C:Block2Excel", CmdBlock2Excel},
    {L"C:LineText2Access", CmdLineText2Access},
    {L"C:Block2Access", CmdBlock2Access},
    {L"C:Gridmason_Options", CmdGridmasonOptions},
    {nullptr, nullptr},
    {L"C:Gridmason_Help", CmdGridmasonHelp},
    {L"C:Gridmason_Demo", CmdGridmasonDemo},
    {L"C:Gridmason_Website", CmdGridmasonWebsite},
    {L"C:Gridmason_New", CmdGridmasonNew},
    {L"C:Gridmason_Faq", CmdGridmasonFaq},
    {L"C:Gridmason_Support", CmdGridmasonSupport},
    {L"C:Gridmason_Check_Upd", CmdGridmasonCheckUpdate},
    {L"C:Gridmason_About", CmdGridmasonAbout},
    {nullptr, nullptr},
    {nullptr, nullptr},
    // Beyond the original table, so no earlier code changes.
    {L"C:LineText2File", CmdLineText2File},
    {L"C:Block2File", CmdBlock2File},
};
