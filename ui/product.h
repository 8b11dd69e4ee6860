// The product's name and version, and the maker's addresses.
#pragma once

#include <string>

inline constexpr const wchar_t* kProductName = L"OrvaneGridmason";
inline constexpr const wchar_t* kProductVersion = L"3.1.0.0";

// The maker's addresses, set when the plug-in is loaded.
extern const std::wstring g_CompanySite;
extern const std::wstring g_SupportEmail;
extern const std::wstring g_DemoPage;
extern const std::wstring g_DownloadPage;
extern const std::wstring g_WhatsNewPage;
extern const std::wstring g_FaqPage;
