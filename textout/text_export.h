// Recognised tables written into plain-text files for scripts.
#pragma once

#include <string>
#include <vector>

#include "model/sheetform.h"

// Writes the tables that hold cells into `path`, in the format its
// extension names (.csv, .json, .html or .htm, .md). JSON puts several
// tables into one array; the other formats write one file per table, the
// second as NAME-2.EXT and so on. Each file is written whole or not at all
// (an existing one is replaced only by a complete file). Answers the files
// written, in order; on failure stops, and sets `error` to say why.
std::vector<std::wstring> ExportTablesToText(const std::vector<CSheetform>& tables,
                                             const std::wstring& path, std::wstring& error);
