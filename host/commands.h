// The handlers of the command table. Each runs in the plug-in's own module
// state and returns what sds_retvoid gives it.
#pragma once

int CmdGridmasonTest();
int CmdLineText2Excel();
int CmdBlock2Excel();
int CmdLineText2Access();
int CmdBlock2Access();
int CmdGridmasonOptions();
int CmdGridmasonHelp();
int CmdGridmasonDemo();
int CmdGridmasonWebsite();
int CmdGridmasonNew();
int CmdGridmasonFaq();
int CmdGridmasonSupport();
int CmdGridmasonCheckUpdate();
int CmdGridmasonAbout();
int CmdLineText2File();
int CmdBlock2File();
