#pragma once
// Named mutexes shared between the device's processes.

#include "platform/wait.h"
#include "platform/win_types.h"

namespace win {

// Creates or opens the named mutex. A new mutex is not owned (the device's programs pass FALSE
// for initialOwner; TRUE makes the creator, and only the creator, its owner) and is initialised
// exactly once, even when processes race to create it. GetLastError is ERROR_ALREADY_EXISTS
// when an existing mutex was opened. An unnamed mutex is private to its handle. Closing the
// last handle while owning the mutex keeps it owned until the owner thread ends (then it is
// abandoned). Returns nullptr on failure, with GetLastError giving the cause (ERROR_INVALID_HANDLE
// when the name holds something that is not a mutex).
HANDLE CreateMutexW(void* securityAttributes, BOOL initialOwner, std::u16string_view name);

// Releases one level of ownership. FALSE (ERROR_NOT_OWNER) when the calling thread does not own
// it.
BOOL ReleaseMutex(HANDLE mutex);

}  // namespace win
