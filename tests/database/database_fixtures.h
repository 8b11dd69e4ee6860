// Shared by the database tests: tables of plain texts, and statements run on
// a file with libsqlite3 itself, not through the layer under test.
#pragma once

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "model/sheetform.h"

namespace gm::test {

// One row of cells per entry, each cell holding its text only.
inline CSheetform TextTable(const std::vector<std::vector<std::wstring>>& rows) {
  CSheetform t;
  for (const auto& texts : rows) {
    CSheetformRow row;
    for (const auto& text : texts) {
      CAutoCell cell;
      cell.SetText(text);
      row.Cells.Add(cell);
    }
    t.Rows.Add(row);
  }
  return t;
}

inline void RunSql(const std::filesystem::path& file, const std::string& sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
  char* error = nullptr;
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << error;
  sqlite3_free(error);
  sqlite3_close(db);
}

}  // namespace gm::test
