// One worksheet or database table per table of a conversion.
#include <string>

#include "database/database_export.h"
#include "excel/worksheet_names.h"
#include "host/conversion.h"
#include "ui/settings.h"

namespace {

// The table name the first table of the conversion went into.
std::wstring& FirstDatabaseTable() {
  static std::wstring name;
  return name;
}

}  // namespace

void BeforeNextTable(int target, int number) {
  if (target == kTargetSpreadsheet) {
    StartNextWorksheet();
  } else if (target == kTargetDatabase && !FirstDatabaseTable().empty()) {
    // The dialog starts from the stored choice, so it offers NAME_2, ... in
    // the file the first table went into: a second "New Database" would ask
    // for a file again, and the same name would replace the first table's.
    WriteSettingString(kSettingsSection, L"DB Table",
                       FirstDatabaseTable() + L"_" + std::to_wstring(number));
    if (!LastExportDatabase().empty()) {
      WriteSettingInt(kSettingsSection, L"Database Option", 1);
      WriteSettingString(kSettingsSection, L"Existing Database", LastExportDatabase());
    }
  }
}

void AfterTable(int target, int number, const CSheetform& table) {
  if (target == kTargetSpreadsheet) {
    NameTableWorksheet(table, number);
  } else if (target == kTargetDatabase && number == 1) {
    FirstDatabaseTable() = ReadSettingString(kSettingsSection, L"DB Table", L"");
  }
}
