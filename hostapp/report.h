// Errors of the host program itself, on standard error.
#pragma once

#include <string>

namespace hostapp {

// "gridmason: MESSAGE" on its own line, even after a prompt or a message
// that did not end its line on standard output.
void Fail(const std::string& message);

}  // namespace hostapp
