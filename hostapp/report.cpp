#include "hostapp/report.h"

#include <cstdio>

#include "platform/console/console.h"

namespace hostapp {

void Fail(const std::string& message) {
  if (!console::AtLineStart()) console::Write(L"\n");
  std::fprintf(stderr, "gridmason: %s\n", message.c_str());
}

}  // namespace hostapp
