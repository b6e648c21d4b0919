// Waiting for a kernel object: the real kernel's wait.
#include "platform/fault.h"
#include "platform/internal/win_internal.h"
#include "platform/wait.h"

namespace win {

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    ::HANDLE native = detail::ToNativeHandle(handle);
    // Only a mutex wait counts for its fault: the handle is a mutex unless it is a process.
    if (::GetProcessId(native) == 0 && fault::ShouldFail(fault::Op::WaitMutex, ERROR_GEN_FAILURE))
        return WAIT_FAILED;
    return ::WaitForSingleObject(native, milliseconds);
}

}  // namespace win
