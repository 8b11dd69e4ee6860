#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "platform/com/winerror.h"

namespace {

struct Message {
  HRESULT code;
  const wchar_t* text;
};

// The system's English texts, as FormatMessage gives them.
constexpr Message kMessages[] = {
    {S_OK, L"The operation completed successfully.\r\n"},
    {E_UNEXPECTED, L"Catastrophic failure\r\n"},
    {E_NOTIMPL, L"Not implemented\r\n"},
    {E_NOINTERFACE, L"No such interface supported\r\n"},
    {E_POINTER, L"Invalid pointer\r\n"},
    {E_ABORT, L"Operation aborted\r\n"},
    {E_FAIL, L"Unspecified error\r\n"},
    {CLASS_E_NOAGGREGATION, L"Class does not support aggregation (or class object is remote)\r\n"},
    {CLASS_E_CLASSNOTAVAILABLE, L"ClassFactory cannot supply requested class\r\n"},
    {REGDB_E_CLASSNOTREG, L"Class not registered\r\n"},
    {MK_E_UNAVAILABLE, L"Operation unavailable\r\n"},
    {CO_E_NOTINITIALIZED, L"CoInitialize has not been called.\r\n"},
    {CO_E_CLASSSTRING, L"Invalid class string\r\n"},
    {DISP_E_UNKNOWNINTERFACE, L"Unknown interface.\r\n"},
    {DISP_E_MEMBERNOTFOUND, L"Member not found.\r\n"},
    {DISP_E_PARAMNOTFOUND, L"Parameter not found.\r\n"},
    {DISP_E_TYPEMISMATCH, L"Type mismatch.\r\n"},
    {DISP_E_UNKNOWNNAME, L"Unknown name.\r\n"},
    {DISP_E_NONAMEDARGS, L"No named arguments.\r\n"},
    {DISP_E_BADVARTYPE, L"Bad variable type.\r\n"},
    {DISP_E_EXCEPTION, L"Exception occurred.\r\n"},
    {DISP_E_OVERFLOW, L"Out of present range.\r\n"},
    {DISP_E_BADINDEX, L"Invalid index.\r\n"},
    {DISP_E_BADPARAMCOUNT, L"Invalid number of parameters.\r\n"},
    {DISP_E_PARAMNOTOPTIONAL, L"Parameter not optional.\r\n"},
};

// System error codes, found bare or as HRESULT_FROM_WIN32.
constexpr Message kWin32Messages[] = {
    {0, L"The operation completed successfully.\r\n"},
    {2, L"The system cannot find the file specified.\r\n"},
    {3, L"The system cannot find the path specified.\r\n"},
    {5, L"Access is denied.\r\n"},
    {6, L"The handle is invalid.\r\n"},
    {8, L"Not enough memory resources are available to process this command.\r\n"},
    {14, L"Not enough memory resources are available to complete this operation.\r\n"},
    {87, L"The parameter is incorrect.\r\n"},
    {112, L"There is not enough space on the disk.\r\n"},
};

const wchar_t* Lookup(HRESULT code) {
  for (const Message& m : kMessages) {
    if (m.code == code) return m.text;
  }
  unsigned win32 = static_cast<unsigned>(code);
  if ((win32 & 0xFFFF0000u) == 0x80070000u) {
    win32 &= 0xFFFF;
  } else if (code < 0) {
    return nullptr;
  }
  for (const Message& m : kWin32Messages) {
    if (static_cast<unsigned>(m.code) == win32) return m.text;
  }
  return nullptr;
}

bool ReadableLanguage(DWORD language) {
  const unsigned primary = language & 0x3FF;
  return primary == LANG_NEUTRAL || primary == LANG_ENGLISH;
}

}  // namespace

DWORD FormatMessageW(DWORD flags, const void*, DWORD messageId, DWORD languageId, LPWSTR buffer,
                     DWORD size, va_list*) {
  if (buffer == nullptr) return 0;
  if (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) *reinterpret_cast<wchar_t**>(buffer) = nullptr;
  if ((flags & FORMAT_MESSAGE_FROM_SYSTEM) == 0) return 0;
  if (!ReadableLanguage(languageId)) return 0;
  const wchar_t* text = Lookup(static_cast<HRESULT>(messageId));
  if (text == nullptr) return 0;
  const size_t length = std::wcslen(text);
  if (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
    // size is then the least number of characters to allocate.
    const size_t capacity = length + 1 > size ? length + 1 : size;
    auto* copy = static_cast<wchar_t*>(std::calloc(capacity, sizeof(wchar_t)));
    if (copy == nullptr) return 0;
    std::wmemcpy(copy, text, length + 1);
    *reinterpret_cast<wchar_t**>(buffer) = copy;
  } else {
    if (length + 1 > size) return 0;
    std::wmemcpy(buffer, text, length + 1);
  }
  return static_cast<DWORD>(length);
}

HLOCAL LocalFree(HLOCAL memory) {
  std::free(memory);
  return nullptr;
}

namespace com {
std::wstring SystemMessage(HRESULT code) {
  const wchar_t* text = Lookup(code);
  if (text == nullptr) return {};
  std::wstring message = text;
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r')) {
    message.pop_back();
  }
  return message;
}
}  // namespace com
