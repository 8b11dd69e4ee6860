#include "platform/registry/registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>

#include "platform/registry/hive.h"
#include "platform/win/text.h"

namespace registry {
namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kMagic = 0x52454731;  // "REG1"

struct OpenKey {
  std::uint32_t magic = kMagic;
  HKEY root;
  std::vector<std::wstring> path;
  REGSAM access;
};

// What a hive file looked like when it was read. A writer replaces the file
// by renaming, so any write anywhere gives a new inode as well.
struct FileStamp {
  bool exists = false;
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  long long mtime_ns = 0;
  bool operator==(const FileStamp&) const = default;
};

// A file-backed hive as last read or written, kept until the file changes.
struct CachedHive {
  fs::path file;
  FileStamp stamp;
  std::unique_ptr<Key> hive;
};

struct Globals {
  std::recursive_mutex mutex;
  fs::path folder;
  bool machine_writes = false;
  DamageReporter reporter;
  std::unique_ptr<Key> classes_root;
  CachedHive user, machine;
  std::set<OpenKey*> open_keys;
};

Globals& G() {
  static Globals g;
  return g;
}

bool IsPredefined(HKEY key) {
  return key == HKEY_CLASSES_ROOT || key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE;
}

std::wstring RootName(HKEY root) {
  if (root == HKEY_CLASSES_ROOT) return L"HKEY_CLASSES_ROOT";
  if (root == HKEY_CURRENT_USER) return L"HKEY_CURRENT_USER";
  return L"HKEY_LOCAL_MACHINE";
}

std::unique_ptr<Key> FreshHive(HKEY root) {
  auto key = std::make_unique<Key>();
  key->name = RootName(root);
  // As on Windows, the user and machine hives always have a Software key.
  if (root != HKEY_CLASSES_ROOT) key->AddSubkey(L"Software");
  return key;
}

fs::path UserFolder() {
  if (!G().folder.empty()) return G().folder;
  if (const char* dir = std::getenv("GM_REGISTRY_DIR"); dir && *dir) return dir;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
    return fs::path(xdg) / "gridmason";
  if (const char* home = std::getenv("HOME"); home && *home) {
    return fs::path(home) / ".config" / "gridmason";
  }
  return fs::path("/tmp") / "gridmason";
}

fs::path MachineFolder() {
  if (!G().folder.empty()) return G().folder;
  if (const char* dir = std::getenv("GM_REGISTRY_DIR"); dir && *dir) return dir;
  return "/etc/gridmason";
}

void Report(const std::wstring& message) {
  if (G().reporter) {
    G().reporter(message);
  } else {
    std::fprintf(stderr, "%s\n", win::WideToUtf8(message).c_str());
  }
}

FileStamp StampOf(const fs::path& file) {
  struct stat st {};
  FileStamp stamp;
  if (::stat(file.c_str(), &st) != 0) return stamp;
  stamp.exists = true;
  stamp.device = st.st_dev;
  stamp.inode = st.st_ino;
  stamp.size = st.st_size;
  stamp.mtime_ns = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
  return stamp;
}

// Reads the hive's file; a missing file is a fresh hive. A damaged one is
// reported and moved aside, and the hive starts fresh.
std::unique_ptr<Key> ReadHiveFile(HKEY root, const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return FreshHive(root);
  std::ostringstream text;
  text << in.rdbuf();
  ParseError error;
  auto parsed = ParseHive(text.str(), RootName(root), error);
  if (!parsed) {
    in.close();
    std::string stamp = std::to_string(std::chrono::duration_cast<std::chrono::seconds>(
                                           std::chrono::system_clock::now().time_since_epoch())
                                           .count());
    fs::path aside = file;
    aside += ".damaged-" + stamp;
    std::error_code ec;
    fs::rename(file, aside, ec);
    Report(win::Utf8ToWide(file.string() + ":" + std::to_string(error.line) +
                           ": the settings file is damaged (" + error.message + "); " +
                           (ec ? "it could not be moved aside and is left as it is"
                               : "it was kept as " + aside.string()) +
                           ", and the settings start from their defaults."));
    return FreshHive(root);
  }
  std::unique_ptr<Key> hive = std::move(*parsed);
  if (hive->FindSubkey(L"Software") == nullptr) hive->AddSubkey(L"Software");
  return hive;
}

// The hive as it is now: read again only when its file changed on disk (or
// the folder moved) since it was last read or written here.
Key& CurrentHive(HKEY root) {
  if (root == HKEY_CLASSES_ROOT) {
    if (!G().classes_root) G().classes_root = FreshHive(root);
    return *G().classes_root;
  }
  CachedHive& cache = root == HKEY_LOCAL_MACHINE ? G().machine : G().user;
  fs::path file = HiveFile(root);
  FileStamp stamp = StampOf(file);
  if (!cache.hive || cache.file != file || !(cache.stamp == stamp)) {
    cache.hive = ReadHiveFile(root, file);
    cache.file = file;
    // A damaged file was moved aside: what is there now is what counts.
    cache.stamp = StampOf(file);
  }
  return *cache.hive;
}

// Writes the file's new text beside it and renames it into place.
LONG SaveHive(HKEY root, const Key& hive) {
  fs::path file = HiveFile(root);
  std::string text = SerializeHive(hive, RootName(root));
  fs::path temp = file;
  temp += ".tmp-" + std::to_string(getpid());
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return ERROR_WRITE_FAULT;
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n <= 0) {
      ::close(fd);
      ::unlink(temp.c_str());
      return ERROR_WRITE_FAULT;
    }
    done += static_cast<size_t>(n);
  }
  if (::fsync(fd) != 0 || ::close(fd) != 0) {
    ::unlink(temp.c_str());
    return ERROR_WRITE_FAULT;
  }
  if (::rename(temp.c_str(), file.c_str()) != 0) {
    ::unlink(temp.c_str());
    return ERROR_WRITE_FAULT;
  }
  return ERROR_SUCCESS;
}

// Holds the hive's lock file for a read-modify-write.
class HiveLock {
 public:
  explicit HiveLock(HKEY root) {
    if (root == HKEY_CLASSES_ROOT) {
      ok_ = true;
      return;
    }
    fs::path file = HiveFile(root);
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    fs::path lock = file;
    lock += ".lock";
    fd_ = ::open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ok_ = fd_ >= 0 && ::flock(fd_, LOCK_EX) == 0;
  }
  ~HiveLock() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the lock
  }
  HiveLock(const HiveLock&) = delete;
  HiveLock& operator=(const HiveLock&) = delete;
  bool ok() const { return ok_; }

 private:
  int fd_ = -1;
  bool ok_ = false;
};

template <typename Change>
LONG Modify(HKEY root, Change change) {
  if (root == HKEY_LOCAL_MACHINE && !G().machine_writes) return ERROR_ACCESS_DENIED;
  HiveLock lock(root);
  if (!lock.ok()) return ERROR_ACCESS_DENIED;
  // The change goes to a copy, so a failed save leaves the cache as the file is.
  std::unique_ptr<Key> hive = CurrentHive(root).Clone();
  bool changed = false;
  LONG rc = change(*hive, changed);
  if (rc != ERROR_SUCCESS || !changed) return rc;
  if (root == HKEY_CLASSES_ROOT) {
    G().classes_root = std::move(hive);
    return ERROR_SUCCESS;
  }
  rc = SaveHive(root, *hive);
  if (rc != ERROR_SUCCESS) return rc;
  CachedHive& cache = root == HKEY_LOCAL_MACHINE ? G().machine : G().user;
  cache.file = HiveFile(root);
  cache.stamp = StampOf(cache.file);
  cache.hive = std::move(hive);
  return ERROR_SUCCESS;
}

Key* Walk(Key& hive, const std::vector<std::wstring>& path) {
  Key* k = &hive;
  for (const auto& part : path) {
    k = k->FindSubkey(part);
    if (k == nullptr) return nullptr;
  }
  return k;
}

// The root and full path a handle and a sub-key name stand for.
bool Resolve(HKEY key, LPCWSTR subKey, HKEY& root, std::vector<std::wstring>& path,
             REGSAM& access) {
  if (IsPredefined(key)) {
    root = key;
    path.clear();
    access = KEY_ALL_ACCESS;
  } else {
    auto* ok = reinterpret_cast<OpenKey*>(key);
    if (key == nullptr || G().open_keys.count(ok) == 0 || ok->magic != kMagic) return false;
    root = ok->root;
    path = ok->path;
    access = ok->access;
  }
  if (subKey != nullptr) {
    for (auto& part : SplitPath(subKey)) path.push_back(part);
  }
  return true;
}

HKEY NewHandle(HKEY root, std::vector<std::wstring> path, REGSAM access) {
  auto* ok = new OpenKey{kMagic, root, std::move(path), access};
  G().open_keys.insert(ok);
  return reinterpret_cast<HKEY>(ok);
}

// Actual names along the path, so a handle keeps the stored spelling.
std::vector<std::wstring> StoredPath(Key& hive, const std::vector<std::wstring>& path) {
  std::vector<std::wstring> out;
  Key* k = &hive;
  for (const auto& part : path) {
    k = k->FindSubkey(part);
    out.push_back(k ? k->name : part);
    if (k == nullptr) break;
  }
  return out;
}

}  // namespace

void SetHiveFolder(const std::filesystem::path& folder) {
  std::lock_guard lock(G().mutex);
  G().folder = folder;
}

std::filesystem::path HiveFile(HKEY root) {
  if (root == HKEY_LOCAL_MACHINE) return MachineFolder() / "HKEY_LOCAL_MACHINE.reg";
  return UserFolder() / "HKEY_CURRENT_USER.reg";
}

void AllowMachineWrites(bool allow) {
  std::lock_guard lock(G().mutex);
  G().machine_writes = allow;
}

void SetDamageReporter(DamageReporter reporter) {
  std::lock_guard lock(G().mutex);
  G().reporter = std::move(reporter);
}

void ClearClassesRoot() {
  std::lock_guard lock(G().mutex);
  G().classes_root.reset();
}

}  // namespace registry

using namespace registry;

LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD, REGSAM access, HKEY* result) {
  std::lock_guard lock(G().mutex);
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  HKEY root;
  std::vector<std::wstring> path;
  REGSAM parentAccess;
  if (!Resolve(key, subKey, root, path, parentAccess)) return ERROR_INVALID_HANDLE;
  Key& hive = CurrentHive(root);
  if (Walk(hive, path) == nullptr) return ERROR_FILE_NOT_FOUND;
  if (root == HKEY_LOCAL_MACHINE && !G().machine_writes && (access & KEY_SET_VALUE)) {
    return ERROR_ACCESS_DENIED;
  }
  *result = NewHandle(root, StoredPath(hive, path), access);
  return ERROR_SUCCESS;
}

LONG RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD, LPWSTR, DWORD, REGSAM access, void*,
                     HKEY* result, DWORD* disposition) {
  std::lock_guard lock(G().mutex);
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  HKEY root;
  std::vector<std::wstring> path;
  REGSAM parentAccess;
  if (!Resolve(key, subKey, root, path, parentAccess)) return ERROR_INVALID_HANDLE;
  if (Walk(CurrentHive(root), path) != nullptr) {
    if (root == HKEY_LOCAL_MACHINE && !G().machine_writes && (access & KEY_SET_VALUE)) {
      return ERROR_ACCESS_DENIED;
    }
    if (disposition) *disposition = REG_OPENED_EXISTING_KEY;
    *result = NewHandle(root, StoredPath(CurrentHive(root), path), access);
    return ERROR_SUCCESS;
  }
  if (!(parentAccess & KEY_CREATE_SUB_KEY)) return ERROR_ACCESS_DENIED;
  bool created = false;
  LONG rc = Modify(root, [&](Key& h, bool& changed) {
    Key* k = &h;
    size_t depth = 0;
    for (const auto& part : path) {
      Key* next = k->FindSubkey(part);
      if (next == nullptr) {
        // The key the handle names must still exist; only the rest is new.
        if (!IsPredefined(key) && depth < path.size() - SplitPath(subKey ? subKey : L"").size()) {
          return ERROR_KEY_DELETED;
        }
        next = k->AddSubkey(part);
        changed = created = true;
      }
      k = next;
      ++depth;
    }
    return ERROR_SUCCESS;
  });
  if (rc != ERROR_SUCCESS) return rc;
  if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  *result = NewHandle(root, StoredPath(CurrentHive(root), path), access);
  return ERROR_SUCCESS;
}

LONG RegQueryValueExW(HKEY key, LPCWSTR name, DWORD*, DWORD* type, BYTE* data, DWORD* dataSize) {
  std::lock_guard lock(G().mutex);
  HKEY root;
  std::vector<std::wstring> path;
  REGSAM access;
  if (!Resolve(key, nullptr, root, path, access)) return ERROR_INVALID_HANDLE;
  if (data != nullptr && dataSize == nullptr) return ERROR_INVALID_PARAMETER;
  Key* k = Walk(CurrentHive(root), path);
  if (k == nullptr) return ERROR_KEY_DELETED;
  Value* v = k->FindValue(name ? name : L"");
  if (v == nullptr) return ERROR_FILE_NOT_FOUND;
  if (type) *type = v->type;
  DWORD size = static_cast<DWORD>(v->data.size());
  if (data == nullptr) {
    if (dataSize) *dataSize = size;
    return ERROR_SUCCESS;
  }
  if (*dataSize < size) {
    *dataSize = size;
    return ERROR_MORE_DATA;
  }
  if (size > 0) std::memcpy(data, v->data.data(), size);
  *dataSize = size;
  return ERROR_SUCCESS;
}

LONG RegSetValueExW(HKEY key, LPCWSTR name, DWORD, DWORD type, const BYTE* data, DWORD dataSize) {
  std::lock_guard lock(G().mutex);
  HKEY root;
  std::vector<std::wstring> path;
  REGSAM access;
  if (!Resolve(key, nullptr, root, path, access)) return ERROR_INVALID_HANDLE;
  if (!(access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
  if (data == nullptr && dataSize > 0) return ERROR_INVALID_PARAMETER;
  std::vector<BYTE> bytes(data, data + dataSize);
  return Modify(root, [&](Key& h, bool& changed) {
    Key* k = Walk(h, path);
    if (k == nullptr) return ERROR_KEY_DELETED;
    k->SetValue(name ? name : L"", type, bytes);
    changed = true;
    return ERROR_SUCCESS;
  });
}

LONG RegDeleteValueW(HKEY key, LPCWSTR name) {
  std::lock_guard lock(G().mutex);
  HKEY root;
  std::vector<std::wstring> path;
  REGSAM access;
  if (!Resolve(key, nullptr, root, path, access)) return ERROR_INVALID_HANDLE;
  if (!(access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
  return Modify(root, [&](Key& h, bool& changed) {
    Key* k = Walk(h, path);
    if (k == nullptr) return ERROR_KEY_DELETED;
    if (!k->RemoveValue(name ? name : L"")) return ERROR_FILE_NOT_FOUND;
    changed = true;
    return ERROR_SUCCESS;
  });
}

static LONG DeleteKey(HKEY key, LPCWSTR subKey, bool tree) {
  std::lock_guard lock(G().mutex);
  HKEY root;
  std::vector<std::wstring> path;
  REGSAM access;
  if (!Resolve(key, subKey, root, path, access)) return ERROR_INVALID_HANDLE;
  if (path.empty()) return ERROR_ACCESS_DENIED;  // a hive's root stays
  return Modify(root, [&](Key& h, bool& changed) {
    std::vector<std::wstring> parentPath(path.begin(), path.end() - 1);
    Key* parent = Walk(h, parentPath);
    Key* k = parent ? parent->FindSubkey(path.back()) : nullptr;
    if (k == nullptr) return ERROR_FILE_NOT_FOUND;
    if (!tree && !k->subkeys.empty()) return ERROR_ACCESS_DENIED;
    parent->RemoveSubkey(path.back());
    changed = true;
    return ERROR_SUCCESS;
  });
}

LONG RegDeleteKeyW(HKEY key, LPCWSTR subKey) { return DeleteKey(key, subKey, false); }
LONG RegDeleteTreeW(HKEY key, LPCWSTR subKey) { return DeleteKey(key, subKey, true); }

LONG RegEnumValueW(HKEY key, DWORD index, LPWSTR name, DWORD* nameSize, DWORD*, DWORD* type,
                   BYTE* data, DWORD* dataSize) {
  std::lock_guard lock(G().mutex);
  HKEY root;
  std::vector<std::wstring> path;
  REGSAM access;
  if (!Resolve(key, nullptr, root, path, access)) return ERROR_INVALID_HANDLE;
  if (name == nullptr || nameSize == nullptr) return ERROR_INVALID_PARAMETER;
  Key* k = Walk(CurrentHive(root), path);
  if (k == nullptr) return ERROR_KEY_DELETED;
  if (index >= k->values.size()) return ERROR_NO_MORE_ITEMS;
  const Value& v = k->values[index];
  if (v.name.size() >= *nameSize) return ERROR_MORE_DATA;
  v.name.copy(name, v.name.size());
  name[v.name.size()] = L'\0';
  *nameSize = static_cast<DWORD>(v.name.size());
  if (type) *type = v.type;
  if (dataSize != nullptr) {
    DWORD size = static_cast<DWORD>(v.data.size());
    if (data != nullptr && *dataSize < size) {
      *dataSize = size;
      return ERROR_MORE_DATA;
    }
    if (data != nullptr && size > 0) std::memcpy(data, v.data.data(), size);
    *dataSize = size;
  }
  return ERROR_SUCCESS;
}

LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, DWORD* nameSize, DWORD*, LPWSTR, DWORD*,
                   void*) {
  std::lock_guard lock(G().mutex);
  HKEY root;
  std::vector<std::wstring> path;
  REGSAM access;
  if (!Resolve(key, nullptr, root, path, access)) return ERROR_INVALID_HANDLE;
  if (name == nullptr || nameSize == nullptr) return ERROR_INVALID_PARAMETER;
  Key* k = Walk(CurrentHive(root), path);
  if (k == nullptr) return ERROR_KEY_DELETED;
  if (index >= k->subkeys.size()) return ERROR_NO_MORE_ITEMS;
  const std::wstring& n = k->subkeys[index]->name;
  if (n.size() >= *nameSize) return ERROR_MORE_DATA;
  n.copy(name, n.size());
  name[n.size()] = L'\0';
  *nameSize = static_cast<DWORD>(n.size());
  return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
  std::lock_guard lock(G().mutex);
  if (IsPredefined(key)) return ERROR_SUCCESS;
  auto* ok = reinterpret_cast<OpenKey*>(key);
  if (G().open_keys.erase(ok) == 0) return ERROR_INVALID_HANDLE;
  delete ok;
  return ERROR_SUCCESS;
}
