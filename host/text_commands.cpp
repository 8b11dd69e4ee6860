// The plain-text conversions: the file is named first, then the table is
// selected or picked and written as the file's extension says.
#include "host/commands.h"
#include "host/conversion.h"
#include "platform/afx/afx.h"
#include "platform/sds/sds.h"
#include "textout/table_text.h"
#include "textout/text_export.h"

namespace {

void ConvertToTextFile(bool block) {
  wchar_t answer[kSdsStringMax] = {};
  if (sds_getstring(1, L"\nText file (.csv, .json, .html, .md): ", answer) != RTNORM) return;
  const std::wstring path = answer;
  TextFormat format{};
  if (path.empty()) return;
  if (!TextFormatOfPath(path, format)) {
    sds_printf(L"\nCannot tell the format of %s: use .csv, .json, .html or .md.", path.c_str());
    return;
  }
  TablesWriter previous = SetTextWriter([&path](const std::vector<CSheetform>& tables) {
    std::wstring error;
    const std::vector<std::wstring> files = ExportTablesToText(tables, path, error);
    for (const std::wstring& file : files) sds_printf(L"\nWritten %s.", file.c_str());
    if (!error.empty()) sds_printf(L"\n%s", error.c_str());
  });
  if (block) {
    ConvertBlockReference(kTargetText);
  } else {
    ConvertSelection(kTargetText);
  }
  SetTextWriter(std::move(previous));
}

}  // namespace

int CmdLineText2File() {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  ConvertToTextFile(false);
  return sds_retvoid();
}

int CmdBlock2File() {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  ConvertToTextFile(true);
  return sds_retvoid();
}
