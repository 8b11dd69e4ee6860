// Opens a drawing file into the host's drawing database.
#pragma once

#include <memory>
#include <string>

#include "platform/sds/host.h"

namespace hostapp {

// The drawing, or nullptr with a message naming the file (and the line).
std::shared_ptr<sds_host::Drawing> OpenDrawing(const std::string& path, std::string& error);

}  // namespace hostapp
