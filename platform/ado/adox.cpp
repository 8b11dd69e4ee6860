#include "platform/ado/adox.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/ado/ado_internal.h"
#include "platform/ado/connection_text.h"
#include "platform/ado/session.h"
#include "platform/win/text.h"

namespace adox {
namespace {

constexpr wchar_t kSource[] = L"Microsoft JET Database Engine";
constexpr HRESULT kAlreadyExists = static_cast<HRESULT>(0x80040E17);

}  // namespace

void Catalog::Create(const std::wstring& connectionString) {
  const std::optional<std::wstring> path = ado::detail::JetDataSource(connectionString);
  if (!path) ado::detail::RaiseAdo(ado::adErrProviderNotFound, L"ADOX.Catalog");

  // Made exclusively, so that a file that appears meanwhile is not taken over.
  const std::string native = win::WideToUtf8(*path);
  const int fd = ::open(native.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) {
    const int error = errno;
    if (error == EEXIST) throw _com_error(kAlreadyExists, kSource, L"Database already exists.");
    throw _com_error(E_FAIL, kSource,
                     L"Could not create the file '" + *path + L"': " +
                         win::Utf8ToWide(std::strerror(error)) + L".");
  }
  ::close(fd);

  try {
    const ado::detail::OdbcTarget target =
        ado::detail::ResolveConnection(connectionString, {}, {}, 30);
    ado::detail::Session session(target, 0, 30);
    // An empty file is an empty SQLite database, but other readers want the
    // header; setting a header field writes it.
    session.Execute(L"PRAGMA user_version = 0");
  } catch (...) {
    std::error_code ec;
    std::filesystem::remove(std::filesystem::path(native), ec);
    throw;
  }
}

}  // namespace adox
