#pragma once
// Waiting for a kernel object.

#include "platform/win_types.h"

namespace win {

inline constexpr DWORD WAIT_OBJECT_0 = 0x00000000;
inline constexpr DWORD WAIT_ABANDONED = 0x00000080;
inline constexpr DWORD WAIT_TIMEOUT = 0x00000102;
inline constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;

// Waits for a mutex or a process; INFINITE waits without a limit.
// Mutex: WAIT_OBJECT_0, acquired. WAIT_ABANDONED, acquired, but its previous holder died
// holding it; the mutex is made consistent again and works normally from then on. Ownership is
// per thread and recursive.
// Process: WAIT_OBJECT_0 once it has ended.
// WAIT_TIMEOUT: not signalled in time. WAIT_FAILED: an invalid handle or an unusable object.
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);

}  // namespace win
