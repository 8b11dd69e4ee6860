#include "ui/product.h"

const std::wstring g_CompanySite = L"https://www.orvane.example/";
const std::wstring g_SupportEmail = L"gridmason-support@orvane.example";
const std::wstring g_DemoPage = L"https://www.orvane.example/gridmason/demo.html";
const std::wstring g_DownloadPage = L"https://www.orvane.example/gridmason/download.html";
const std::wstring g_WhatsNewPage =
    L"https://www.orvane.example/go.php?page=whatsnew&product=gridmason31";
const std::wstring g_FaqPage = L"https://www.orvane.example/go.php?page=faq&product=gridmason31";
