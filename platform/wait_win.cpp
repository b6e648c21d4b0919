// Waiting for a kernel object: the real kernel's wait.
#include "platform/internal/win_internal.h"
#include "platform/wait.h"

namespace win {

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    return ::WaitForSingleObject(detail::ToNativeHandle(handle), milliseconds);
}

}  // namespace win
