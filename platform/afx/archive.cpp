// Byte form of an archive. Everything is little-endian, with no padding and
// no header; the reader must know what comes next.
//
//   BYTE, WORD, 32-bit int   1, 2 and 4 bytes
//   double                   8 bytes, IEEE 754 binary64
//   count                    WORD if below 0xFFFF, else WORD 0xFFFF + DWORD
//   string                   BYTE 0xFF, WORD 0xFFFE (the UTF-16 marker), then
//                            the length in UTF-16 code units:
//                              < 0xFF      BYTE length
//                              < 0xFFFE    BYTE 0xFF, WORD length
//                              otherwise   BYTE 0xFF, WORD 0xFFFF, DWORD length
//                            then the UTF-16LE code units, no terminator.
//
// A string read without the marker (its first length byte below 0xFF, or a
// WORD length other than 0xFFFE after 0xFF) holds 8-bit characters, one per
// code unit, taken as Latin-1.
#include "platform/afx/archive.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "platform/win/text.h"

namespace {

template <typename T>
void PutLittleEndian(CArchive& ar, T value, int size) {
  BYTE bytes[8];
  for (int i = 0; i < size; ++i)
    bytes[i] = static_cast<BYTE>(static_cast<std::uint64_t>(value) >> (8 * i));
  ar.Write(bytes, static_cast<std::size_t>(size));
}

std::uint64_t FromLittleEndian(const BYTE* bytes, int size) {
  std::uint64_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = (value << 8) | bytes[i];
  return value;
}

}  // namespace

CArchive::CArchive(std::vector<BYTE>& buffer, UINT mode) : mode_(mode), bytes_(&buffer) {
  closed_ = true;  // nothing to write at the end
}

CArchive::CArchive(const std::wstring& path, UINT mode) : mode_(mode), bytes_(&own_), path_(path) {
  if (IsLoading()) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    if (!in) AfxThrowArchiveException(CArchiveException::genericException, path.c_str());
    own_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) AfxThrowArchiveException(CArchiveException::genericException, path.c_str());
    closed_ = true;
  }
}

CArchive::~CArchive() {
  if (closed_) return;
  try {
    Close();
  } catch (CException* e) {
    e->Delete();
  }
}

std::size_t CArchive::GetRemainingLength() const {
  return IsLoading() ? bytes_->size() - position_ : 0;
}

void CArchive::Close() {
  if (closed_) return;
  closed_ = true;
  const std::filesystem::path target(path_);
  std::filesystem::path temp = target;
  temp += L".tmp";
  bool ok = false;
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (out) {
      out.write(reinterpret_cast<const char*>(own_.data()),
                static_cast<std::streamsize>(own_.size()));
      out.close();
      ok = !out.fail();
    }
  }
  std::error_code ec;
  if (ok) {
    std::filesystem::rename(temp, target, ec);
    ok = !ec;
  }
  if (!ok) {
    std::filesystem::remove(temp, ec);
    AfxThrowArchiveException(CArchiveException::genericException, path_.c_str());
  }
}

void CArchive::RequireStoring() const {
  if (!IsStoring()) AfxThrowArchiveException(CArchiveException::readOnly, path_.c_str());
}

void CArchive::RequireLoading() const {
  if (!IsLoading()) AfxThrowArchiveException(CArchiveException::writeOnly, path_.c_str());
}

void CArchive::Write(const void* data, std::size_t size) {
  RequireStoring();
  const BYTE* p = static_cast<const BYTE*>(data);
  bytes_->insert(bytes_->end(), p, p + size);
}

std::size_t CArchive::Read(void* data, std::size_t size) {
  RequireLoading();
  const std::size_t n = std::min(size, bytes_->size() - position_);
  if (n > 0) std::memcpy(data, bytes_->data() + position_, n);
  position_ += n;
  return n;
}

void CArchive::ReadExactly(void* data, std::size_t size) {
  RequireLoading();
  if (size > bytes_->size() - position_) {
    AfxThrowArchiveException(CArchiveException::endOfFile, path_.c_str());
  }
  Read(data, size);
}

CArchive& CArchive::operator<<(BYTE value) {
  Write(&value, 1);
  return *this;
}

CArchive& CArchive::operator<<(WORD value) {
  PutLittleEndian(*this, value, 2);
  return *this;
}

CArchive& CArchive::operator<<(int value) {
  PutLittleEndian(*this, static_cast<std::uint32_t>(value), 4);
  return *this;
}

CArchive& CArchive::operator<<(unsigned value) {
  PutLittleEndian(*this, value, 4);
  return *this;
}

CArchive& CArchive::operator<<(double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  PutLittleEndian(*this, bits, 8);
  return *this;
}

CArchive& CArchive::operator<<(const std::wstring& text) {
  const std::u16string units = win::WideToUtf16(text);
  const std::size_t length = units.size();
  *this << BYTE{0xFF} << WORD{0xFFFE};
  if (length < 0xFF) {
    *this << static_cast<BYTE>(length);
  } else if (length < 0xFFFE) {
    *this << BYTE{0xFF} << static_cast<WORD>(length);
  } else {
    *this << BYTE{0xFF} << WORD{0xFFFF} << static_cast<unsigned>(length);
  }
  for (char16_t unit : units) *this << static_cast<WORD>(unit);
  return *this;
}

CArchive& CArchive::operator>>(BYTE& value) {
  ReadExactly(&value, 1);
  return *this;
}

CArchive& CArchive::operator>>(WORD& value) {
  BYTE bytes[2];
  ReadExactly(bytes, 2);
  value = static_cast<WORD>(FromLittleEndian(bytes, 2));
  return *this;
}

CArchive& CArchive::operator>>(int& value) {
  BYTE bytes[4];
  ReadExactly(bytes, 4);
  value = static_cast<int>(static_cast<std::uint32_t>(FromLittleEndian(bytes, 4)));
  return *this;
}

CArchive& CArchive::operator>>(unsigned& value) {
  BYTE bytes[4];
  ReadExactly(bytes, 4);
  value = static_cast<unsigned>(FromLittleEndian(bytes, 4));
  return *this;
}

CArchive& CArchive::operator>>(double& value) {
  BYTE bytes[8];
  ReadExactly(bytes, 8);
  const std::uint64_t bits = FromLittleEndian(bytes, 8);
  std::memcpy(&value, &bits, sizeof value);
  return *this;
}

CArchive& CArchive::operator>>(std::wstring& text) {
  std::size_t charSize = 1;
  std::size_t length = 0;
  BYTE b = 0;
  WORD w = 0;
  *this >> b;
  if (b < 0xFF) {
    length = b;
  } else {
    *this >> w;
    if (w == 0xFFFE) {
      charSize = 2;
      *this >> b;
      if (b < 0xFF) {
        length = b;
      } else {
        *this >> w;
      }
    }
    if (b == 0xFF) {
      if (w < 0xFFFF) {
        length = w;
      } else {
        unsigned d = 0;
        *this >> d;
        length = d;
      }
    }
  }
  // Checked before allocating, so a damaged length cannot ask for gigabytes.
  if (length > GetRemainingLength() / charSize) {
    AfxThrowArchiveException(CArchiveException::endOfFile, path_.c_str());
  }
  if (charSize == 1) {
    std::wstring result(length, L'\0');
    for (std::size_t i = 0; i < length; ++i) {
      BYTE c;
      *this >> c;
      result[i] = static_cast<wchar_t>(c);
    }
    text = std::move(result);
  } else {
    std::u16string units(length, u'\0');
    for (std::size_t i = 0; i < length; ++i) {
      WORD c;
      *this >> c;
      units[i] = static_cast<char16_t>(c);
    }
    text = win::Utf16ToWide(units);
  }
  return *this;
}

void CArchive::WriteCount(std::size_t count) {
  if (count < 0xFFFF) {
    *this << static_cast<WORD>(count);
  } else {
    *this << WORD{0xFFFF} << static_cast<unsigned>(count);
  }
}

std::size_t CArchive::ReadCount() {
  WORD w = 0;
  *this >> w;
  if (w != 0xFFFF) return w;
  unsigned d = 0;
  *this >> d;
  return d;
}
