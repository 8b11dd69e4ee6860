#include "database/database_export.h"

#include <algorithm>
#include <vector>

#include "database/database_dialog.h"
#include "database/drawing_path.h"
#include "platform/sds/sds.h"
#include "platform/win/strings.h"
#include "platform/win/text.h"

namespace {

constexpr const wchar_t* kDatabaseFilter =
    L"Microsoft Office Access Databases (*.mdb)|*.mdb|Microsoft Office Access 2007 Databases "
    L"(*.accdb)|*.accdb|All Files (*.*)|*.*||";
constexpr const wchar_t* kAccessConnection =
    L"Driver={Microsoft Access Driver (*.mdb)};Dbq=%s;Uid=%s;Pwd=%s;";
constexpr const wchar_t* kJetProvider = L"Provider=Microsoft.Jet.OLEDB.4.0;data source=";

// A name inside back-quotes: a back-quote of its own is written twice.
std::wstring Name(const std::wstring& name) {
  std::wstring out;
  out.reserve(name.size());
  for (wchar_t c : name) {
    out += c;
    if (c == L'`') out += L'`';
  }
  return out;
}

// A text value inside apostrophes: an apostrophe of its own is written twice.
std::wstring Value(const std::wstring& text) {
  std::wstring out;
  out.reserve(text.size() + 2);
  out += L'\'';
  for (wchar_t c : text) {
    out += c;
    if (c == L'\'') out += L'\'';
  }
  out += L'\'';
  return out;
}

// Jet names hold neither full stops nor line breaks.
std::wstring CleanNames(std::wstring text) {
  std::replace(text.begin(), text.end(), L'\n', L' ');
  std::erase(text, L'.');
  return text;
}

std::wstring LineFeedsToBlanks(std::wstring text) {
  std::replace(text.begin(), text.end(), L'\n', L' ');
  return text;
}

// Table names compare as the engine compares them: SQLite folds the ASCII
// letters only, so "Ä" and "ä" are two tables there and must be two here.
bool SameText(const std::wstring& a, const std::wstring& b) {
  return win::ToLowerAscii(a) == win::ToLowerAscii(b);
}

// A connection text's value as ODBC wants it: in braces, '}' doubled,
// when it holds a separator or a brace or begins or ends with a blank.
std::wstring ConnectionValue(const std::wstring& value) {
  const bool plain = value.find_first_of(L";{}") == std::wstring::npos &&
                     (value.empty() || (value.front() != L' ' && value.back() != L' '));
  if (plain) return value;
  std::wstring out = L"{";
  for (wchar_t c : value) {
    out += c;
    if (c == L'}') out += L'}';
  }
  return out + L"}";
}

std::wstring AccessConnection(const std::wstring& path, const std::wstring& user,
                              const std::wstring& password) {
  return win::Format(kAccessConnection, ConnectionValue(path).c_str(),
                     ConnectionValue(user).c_str(), ConnectionValue(password).c_str());
}

bool IsEmptyRow(const CSheetformRow& row) {
  for (const CAutoCell& cell : row.Cells) {
    if (!cell.GetTextView().empty()) return false;
  }
  return true;
}

// A COM error as the user reads it: the component's own words when it gave
// some, else the system's text for the code.
std::wstring ErrorText(const _com_error& e) {
  return e.Description().empty() ? std::wstring(e.ErrorMessage()) : e.Description();
}

// The database file to write into; empty when the export ends here (the
// user cancelled, or the new file could not be made, which is printed).
std::wstring& LastDatabase() {
  static std::wstring path;
  return path;
}

std::wstring ChooseDatabase(const CDatabaseDialog& dlg, CWnd* parent) {
  if (dlg.m_nDatabaseOption == 1) {
    return ResolveRelativePath(GetDrawingPath(), dlg.m_strExistingDatabase);
  }
  CFileDialog save(FALSE, L"mdb", nullptr, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, kDatabaseFilter,
                   parent);
  if (save.DoModal() != IDOK) return {};
  const std::wstring path = save.GetPathName();
  if (FileExists(path) && !RemoveFile(path)) {
    sds_printf(L"\nFailed to overwrite %s.", path.c_str());
    return {};
  }
  ADOX::_CatalogPtr catalog;
  const HRESULT made = catalog.CreateInstance();
  try {
    if (FAILED(made)) throw _com_error(made);
    catalog->Create(kJetProvider + ConnectionValue(path));
  } catch (const _com_error& e) {
    sds_printf(L"\n");
    sds_printf(L"%s", ErrorText(e).c_str());
    return {};
  }
  return path;
}

struct ExportState {
  std::wstring lastSql;
  bool progressStarted = false;
};

}  // namespace

std::wstring QuoteDatabaseName(const std::wstring& name) { return L"`" + Name(name) + L"`"; }

bool TableExists(CADODatabase& database, const std::wstring& table) {
  CADORecordset schema(&database);
  if (!schema.OpenSchema(adSchemaTables)) return false;
  bool found = false;
  if (!schema.IsEof()) schema.MoveFirst();
  while (!found && !schema.IsEof()) {
    std::wstring type, name;
    schema.GetFieldValue(L"TABLE_TYPE", type);
    schema.GetFieldValue(L"TABLE_NAME", name);
    found = SameText(type, L"TABLE") && SameText(name, table);
    schema.MoveNext();
  }
  schema.Close();
  return found;
}

void ExportTableToDatabase(CSheetform& table) {
  std::erase_if(table.Rows.Data(), IsEmptyRow);
  const int columns = table.GetColumnCount();
  const int rows = table.GetRowCount();
  if (columns <= 0 || rows <= 0) {
    sds_printf(L"\nThe table is invalid.");
    return;
  }

  CWnd* parent = CWnd::FromHandle(sds_getmainhwnd());
  CDatabaseDialog dlg(&table, parent);
  LastDatabase().clear();
  if (dlg.DoModal() != IDOK) return;

  const std::wstring path = ChooseDatabase(dlg, parent);
  if (path.empty() && dlg.m_nDatabaseOption != 1) return;
  if (!FileExists(path)) {
    sds_printf(L"\n");
    sds_printf(L"Failed to find %s.", path.c_str());
    return;
  }
  LastDatabase() = path;

  const bool rowFields = dlg.m_bEnableRowFields != 0;
  const bool lastRowNames = dlg.m_nRowFieldsOption != 0;
  const int nameRow = lastRowNames ? rows - 1 : 0;
  std::wstring definitions;
  for (int c = 0; c < columns; ++c) {
    if (c > 0) definitions += L", ";
    if (!rowFields) {
      definitions += win::Format(L"`Field%ld` TEXT NULL", static_cast<long>(c + 1));
      continue;
    }
    const std::wstring text = CellText(table, nameRow, c);
    if (text.empty()) {
      sds_printf(L"\nThe field name cannot be empty.");
      return;
    }
    definitions += win::Format(L"`%s` TEXT NULL", Name(text).c_str());
  }

  const std::wstring& tableName = dlg.m_strTable;
  const std::wstring quotedTable = Name(tableName);
  const bool overwrite = dlg.m_bOverwriteTable != 0;
  const bool useTemplate = dlg.m_bUseTableTemplate != 0;
  // Copying a table onto itself would drop the only copy first.
  if (useTemplate && SameText(dlg.m_strTableTemplate, tableName) &&
      SameFile(dlg.m_strDatabaseTemplate, path)) {
    sds_printf(L"\nThe table template %s is the target table itself; nothing was changed.",
               tableName.c_str());
    return;
  }
  ExportState state;
  try {
    CADODatabase db;
    db.SetConnectionString(AccessConnection(path, dlg.m_strUser, dlg.m_strPassword));
    if (!db.Open(L"", L"", L"")) return;

    const bool exists = TableExists(db, tableName);
    if (!overwrite && exists && useTemplate) {
      sds_printf(L"\nThe table already exists. Failed to apply the table template.");
      return;
    }
    // A template database that cannot be opened ends the export before
    // anything is dropped.
    if (useTemplate && (overwrite || !exists)) {
      CADODatabase source;
      source.SetConnectionString(AccessConnection(dlg.m_strDatabaseTemplate, L"", L""));
      if (!source.Open(L"", L"", L"")) return;
    }
    // The table is dropped, made (or copied from the template) and filled in
    // one transaction of the target connection, so a failure or a kill
    // leaves the old table or the new one whole; leaving early rolls back
    // (closing the connection does).
    db.BeginTransaction();
    if (overwrite && exists) {
      state.lastSql = win::Format(L"DROP TABLE `%s`", quotedTable.c_str());
      db.Execute(state.lastSql);
    }
    if (overwrite || !exists) {
      if (!useTemplate) {
        state.lastSql = win::Format(L"CREATE TABLE `%s` (%s)", quotedTable.c_str(),
                                    CleanNames(definitions).c_str());
        if (!db.Execute(state.lastSql)) {
          sds_printf(L"\nFailed to create the table %s.", tableName.c_str());
          return;
        }
      } else {
        // Sent over the target connection, whose transaction holds the DROP,
        // so the template's table is named with its database's prefix too.
        state.lastSql =
            win::Format(L"SELECT * INTO [;DATABASE=%s].`%s` FROM [;DATABASE=%s].`%s`", path.c_str(),
                        quotedTable.c_str(), dlg.m_strDatabaseTemplate.c_str(),
                        Name(dlg.m_strTableTemplate).c_str());
        if (!db.Execute(state.lastSql)) {
          sds_printf(L"\nFailed to duplicate the table template.");
          return;
        }
      }
    }

    std::wstring names;
    int fields = columns;
    if (rowFields) {
      for (int c = 0; c < columns; ++c) {
        if (c > 0) names += L", ";
        names += win::Format(L"`%s`", Name(CellText(table, nameRow, c)).c_str());
      }
    } else {
      CADORecordset top(&db);
      state.lastSql = win::Format(L"SELECT TOP 1 * FROM `%s`", quotedTable.c_str());
      if (!top.Open(state.lastSql, CADORecordset::openUnknown)) {
        sds_printf(L"\nFailed to get the fields from %s.", tableName.c_str());
        return;
      }
      fields = std::min(top.GetFieldCount(), columns);
      for (int i = 0; i < fields; ++i) {
        CADOFieldDesc desc;
        top.GetFieldInfo(i, &desc);
        if (i > 0) names += L", ";
        names += win::Format(L"`%s`", Name(desc.m_strName).c_str());
      }
    }
    names = CleanNames(names);

    sds_progressstart();
    state.progressStarted = true;
    int refused = 0;
    int written = 0;
    try {
      if (dlg.m_bAppendData == 0) {
        state.lastSql = win::Format(L"DELETE FROM `%s`", quotedTable.c_str());
        db.Execute(state.lastSql);
      }
      const int first = rowFields && !lastRowNames ? 1 : 0;
      const int end = rowFields && lastRowNames ? rows - 1 : rows;
      for (int r = first; r < end; ++r) {
        std::wstring values;
        for (int c = 0; c < fields; ++c) {
          if (c > 0) values += L", ";
          values += Value(LineFeedsToBlanks(CellText(table, r, c)));
        }
        state.lastSql = win::Format(L"INSERT INTO `%s` (%s) VALUES(%s)", quotedTable.c_str(),
                                    names.c_str(), values.c_str());
        // A refused record has shown the layer's alert; the next one follows.
        if (db.Execute(state.lastSql)) {
          ++written;
        } else {
          ++refused;
        }
        sds_progresspercent(r * 100 / rows);
      }
      db.CommitTransaction();
    } catch (...) {
      std::wstring message;
      try {
        throw;
      } catch (const CADOException& e) {
        message = e.GetErrorMessage();
      } catch (...) {
      }
      try {
        db.RollbackTransaction();
      } catch (const _com_error&) {
        // Nothing was committed; the engine drops the work when the connection closes.
      }
      sds_printf(L"\nSQL: %s", state.lastSql.c_str());
      sds_printf(L"\nFailed to insert the data into %s. %s", tableName.c_str(), message.c_str());
      sds_progressstop();
      return;
    }
    sds_progressstop();
    // Silence means every record landed; say so when some did not.
    if (refused > 0) {
      sds_printf(L"\n%d of %d records were not written into %s.", refused, refused + written,
                 tableName.c_str());
    }
  } catch (const _com_error& e) {
    sds_printf(L"\nSQL: %s", state.lastSql.c_str());
    sds_printf(L"\nFailed to execute the SQL. %s", e.ErrorMessage());
    if (state.progressStarted) sds_progressstop();
  } catch (const CADOException& e) {
    sds_printf(L"\nSQL: %s", state.lastSql.c_str());
    sds_printf(L"\nFailed to execute the SQL. %s", e.GetErrorMessage().c_str());
    if (state.progressStarted) sds_progressstop();
  }
}

const std::wstring& LastExportDatabase() { return LastDatabase(); }
