// The Windows registry calls the plug-in makes, over hives kept as text
// files in the .reg format (see hive.h for the file format and its rules).
//
// HKEY_CURRENT_USER lives in the user's configuration folder (or the folder
// set with SetHiveFolder / $GM_REGISTRY_DIR), HKEY_LOCAL_MACHINE in a system
// folder and is read-only unless the host allows writes. HKEY_CLASSES_ROOT is
// kept in memory for the life of the process: the host registers its
// automation servers there at start-up.
//
// A file-backed hive is read once and kept; it is read again only when its
// file changed on disk (another inode, size or modification time). Every
// call that changes one takes an exclusive lock, re-reads the file if it
// changed, applies the change and replaces the file atomically, so two
// processes writing at once lose none of each other's values.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include "platform/registry/value_types.h"
#include "platform/win/wintypes.h"

struct HKEY__;
using HKEY = HKEY__*;
using REGSAM = DWORD;

#define HKEY_CLASSES_ROOT (reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000000)))
#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000001)))
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000002)))

constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;
constexpr LONG ERROR_ACCESS_DENIED = 5;
constexpr LONG ERROR_INVALID_HANDLE = 6;
constexpr LONG ERROR_WRITE_FAULT = 29;
constexpr LONG ERROR_INVALID_PARAMETER = 87;
constexpr LONG ERROR_MORE_DATA = 234;
constexpr LONG ERROR_NO_MORE_ITEMS = 259;
constexpr LONG ERROR_BADDB = 1009;
constexpr LONG ERROR_KEY_DELETED = 1018;

LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access, HKEY* result);
LONG RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options,
                     REGSAM access, void* security, HKEY* result, DWORD* disposition);
// With data null, reports the size (and type) only; a buffer too small gives
// ERROR_MORE_DATA with the size needed in *dataSize.
LONG RegQueryValueExW(HKEY key, LPCWSTR name, DWORD* reserved, DWORD* type, BYTE* data,
                      DWORD* dataSize);
LONG RegSetValueExW(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD dataSize);
LONG RegDeleteValueW(HKEY key, LPCWSTR name);
// Deletes a key that has no sub-keys.
LONG RegDeleteKeyW(HKEY key, LPCWSTR subKey);
// Deletes a key with everything below it.
LONG RegDeleteTreeW(HKEY key, LPCWSTR subKey);
// *nameSize is the name buffer's size in characters on entry and the name's
// length without its terminator on return.
LONG RegEnumValueW(HKEY key, DWORD index, LPWSTR name, DWORD* nameSize, DWORD* reserved,
                   DWORD* type, BYTE* data, DWORD* dataSize);
LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, DWORD* nameSize, DWORD* reserved,
                   LPWSTR keyClass, DWORD* classSize, void* lastWriteTime);
LONG RegCloseKey(HKEY key);

namespace registry {

// Where HKEY_CURRENT_USER.reg and (when present) HKEY_LOCAL_MACHINE.reg lie.
// Empty restores the defaults: $GM_REGISTRY_DIR, else $XDG_CONFIG_HOME or
// ~/.config, below it "gridmason"; the machine hive from /etc/gridmason.
void SetHiveFolder(const std::filesystem::path& folder);
std::filesystem::path HiveFile(HKEY root);

// The host and tests may write the machine hive; the plug-in may not.
void AllowMachineWrites(bool allow);

// How a damaged hive is reported: by default a line on standard error. The
// damaged file is always moved aside (its name gets ".damaged") and never
// overwritten.
using DamageReporter = std::function<void(const std::wstring& message)>;
void SetDamageReporter(DamageReporter reporter);

// Forgets HKEY_CLASSES_ROOT (tests start clean).
void ClearClassesRoot();

}  // namespace registry
