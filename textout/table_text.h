// Recognised tables as plain text, straight from the table model: CSV
// (RFC 4180), JSON, HTML and Markdown, each as UTF-8 bytes.
#pragma once

#include <string>
#include <vector>

#include "model/sheetform.h"

enum class TextFormat { kCsv, kJson, kHtml, kMarkdown };

// The format a file name's extension asks for (case ignored); false when it
// names none of them.
bool TextFormatOfPath(const std::wstring& path, TextFormat& format);

// One record per row, one field per cell, CRLF line ends; a merged range's
// text stands in its first cell, its other cells are empty fields.
std::string TableToCsv(const CSheetform& table);

// {"rows": R, "columns": C, "cells": [[cell, ...], ...], "merged": [...]}:
// each cell with its address, text, orientation, its merged range when it
// has one, and its four borders (null where none is drawn).
std::string TableToJson(const CSheetform& table);
// The tables as one JSON array.
std::string TablesToJson(const std::vector<CSheetform>& tables);

// A whole HTML document: one <table>, merged ranges as rowspan/colspan,
// drawn borders as CSS.
std::string TableToHtml(const CSheetform& table, const std::wstring& title);

// A table in the pipe form: the first row as the header row; the cells a
// merged range covers are empty, and the ranges are listed below the table.
std::string TableToMarkdown(const CSheetform& table);
