// The ADOX catalog, for the one thing the plug-in asks of it: making a new,
// empty database file.
#pragma once

#include <string>

#include "platform/ado/ado.h"

namespace adox {

class Catalog {
 public:
  Catalog() = default;
  Catalog(const Catalog&) = delete;
  Catalog& operator=(const Catalog&) = delete;

  // connectionString names the Jet 4.0 or ACE 12.0 provider and the file
  // ("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=PATH"). Makes a new,
  // empty SQLite database at PATH whatever its extension. Raises _com_error:
  // "Database already exists." (0x80040E17) when the file exists, which is
  // then left as it was; the driver's diagnostics when the file cannot be
  // made, in which case nothing is left behind; adErrProviderNotFound for
  // any other provider.
  void Create(const std::wstring& connectionString);
};

using CatalogPtr = ado::Ptr<Catalog>;

}  // namespace adox
