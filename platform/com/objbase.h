// COM initialisation of a thread.
#pragma once

#include "platform/win/wintypes.h"

HRESULT CoInitialize(void* reserved);
HRESULT CoInitializeEx(void* reserved, DWORD flags);
void CoUninitialize();

namespace com {
// How many times this thread is initialised (0 when it is not).
int ThreadInitCount();
}  // namespace com
