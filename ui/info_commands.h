// The information commands: help, the maker's web pages, the support
// e-mail, the about box and the update check. None of them touches the
// drawing, and none reports anything on the command line of its own: what
// the shell shows, or the dialog, is all the user sees.
#pragma once

#include <string>

#include "platform/win/wintypes.h"
#include "ui/product.h"

// "Gridmason.chm" in the folder of the given module (the plug-in's).
std::wstring HelpFilePath(HMODULE module);

// The CAD platform's name: HKEY_LOCAL_MACHINE\SOFTWARE\Orvane\OrvaneGridmason,
// value "IcadCompany" (REG_SZ), else "ICAD".
std::wstring CadPlatformName();

// The mailto: link of a support e-mail to g_SupportEmail, its body carrying
// the two descriptions. Characters of theirs that would end the body early
// or change its meaning ('%', '&', '#', line ends) are percent-encoded.
std::wstring SupportMailLink(const std::wstring& osDescription, const std::wstring& platformName);

// Hands an address or a path to the shell's open verb; fire and forget.
void OpenWithShell(const std::wstring& target);

// The commands' work.
void OpenHelpFile(HMODULE module);
void StartSupportMail();
void ShowAboutBox(HWND parent);
void ShowLiveUpdateDialog(HWND parent);
