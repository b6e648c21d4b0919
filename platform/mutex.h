#pragma once
// Named mutexes shared between the device's processes.

#include "platform/wait.h"
#include "platform/win_types.h"

namespace win {

// Creates or opens the named mutex. A new mutex is not owned (initialOwner must be FALSE) and is
// initialised exactly once, even when processes race to create it. Returns nullptr on failure.
HANDLE CreateMutexW(void* securityAttributes, BOOL initialOwner, std::u16string_view name);

// Releases one level of ownership. FALSE (ERROR_NOT_OWNER) when the calling thread does not own
// it.
BOOL ReleaseMutex(HANDLE mutex);

}  // namespace win
