// The framework's archive: objects store themselves into it and load
// themselves back from it, in a fixed little-endian byte form (described at
// the top of archive.cpp). An archive either stores or loads, never both.
// Reading past the end raises CArchiveException::endOfFile.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/afx/afx.h"

class CArchive {
 public:
  enum Mode : UINT { store = 0, load = 1 };

  // Over a caller's byte buffer, which must outlive the archive: storing
  // appends to it, loading reads it from the start.
  CArchive(std::vector<BYTE>& buffer, UINT mode);
  // Over a file: loading reads the whole file now; storing writes it, all
  // at once, at Close. A file that cannot be read or written raises
  // CArchiveException::genericException naming the file.
  CArchive(const std::wstring& path, UINT mode);
  // Closes a file archive that was not closed; a failure then goes unseen,
  // so callers that care call Close themselves.
  ~CArchive();
  CArchive(const CArchive&) = delete;
  CArchive& operator=(const CArchive&) = delete;

  bool IsLoading() const { return mode_ == load; }
  bool IsStoring() const { return mode_ == store; }
  // Bytes not yet read (loading); 0 for a storing archive.
  std::size_t GetRemainingLength() const;

  // Storing a file archive: writes the file (a new file replaces the old in
  // one step, so a failed write leaves the old one).
  void Close();
  void Flush() {}

  void Write(const void* data, std::size_t size);
  // Reads up to size bytes and returns how many were read (fewer at the end).
  std::size_t Read(void* data, std::size_t size);

  CArchive& operator<<(BYTE value);
  CArchive& operator<<(WORD value);
  CArchive& operator<<(int value);
  CArchive& operator<<(unsigned value);
  CArchive& operator<<(double value);
  CArchive& operator<<(const std::wstring& text);
  CArchive& operator<<(const wchar_t* text) { return *this << std::wstring(text ? text : L""); }

  CArchive& operator>>(BYTE& value);
  CArchive& operator>>(WORD& value);
  CArchive& operator>>(int& value);
  CArchive& operator>>(unsigned& value);
  CArchive& operator>>(double& value);
  CArchive& operator>>(std::wstring& text);

  // An element count, as collections write it before their elements.
  void WriteCount(std::size_t count);
  std::size_t ReadCount();

 private:
  void RequireStoring() const;
  void RequireLoading() const;
  // Reads exactly size bytes or raises endOfFile.
  void ReadExactly(void* data, std::size_t size);

  UINT mode_;
  std::vector<BYTE> own_;  // the bytes of a file archive
  std::vector<BYTE>* bytes_;
  std::size_t position_ = 0;
  std::wstring path_;
  bool closed_ = false;
};
