#include "platform/com/objbase.h"

namespace {
thread_local int init_count = 0;
}

HRESULT CoInitialize(void* reserved) { return CoInitializeEx(reserved, 0); }

HRESULT CoInitializeEx(void*, DWORD) {
  // A second initialisation of the same thread succeeds with S_FALSE.
  return init_count++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() {
  if (init_count > 0) --init_count;
}

namespace com {
int ThreadInitCount() { return init_count; }
}  // namespace com
