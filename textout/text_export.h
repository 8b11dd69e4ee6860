// Recognised tables written into plain-text files for scripts.
#pragma once

#include <string>
#include <vector>

#include "model/sheetform.h"

// Writes the tables that hold cells into `path`, in the format its
// extension names (.csv, .json, .html or .htm, .md). JSON puts several
// tables into one array; the other formats write one file per table, the
// second as NAME-2.EXT and so on. The files are written whole, and all of
// them before any replaces an existing file: when one cannot be written,
// none is. Answers the files written, in order; sets `error` to say why
// when some or all are not.
std::vector<std::wstring> ExportTablesToText(const std::vector<CSheetform>& tables,
                                             const std::wstring& path, std::wstring& error);
