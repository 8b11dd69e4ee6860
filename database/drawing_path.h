// Paths beside the current drawing, from the host's DWGPREFIX and DWGNAME.
#pragma once

#include <string>

// DWGPREFIX, with a separator added when it does not end in one, then DWGNAME.
std::wstring GetDrawingPath();

// path unchanged unless it is relative; then the folder of baseFile joined
// with path, in canonical form (no "." or ".." parts).
std::wstring ResolveRelativePath(const std::wstring& baseFile, const std::wstring& path);

// A file (not a folder) at that path; false for an empty path.
bool FileExists(const std::wstring& path);

// Both paths name one existing file (through links or other spellings).
bool SameFile(const std::wstring& a, const std::wstring& b);

// Removes the file; false when it was not there or could not be removed.
bool RemoveFile(const std::wstring& path);
