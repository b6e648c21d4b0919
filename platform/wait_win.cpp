// Waiting for a kernel object: the real kernel's wait.
#include "platform/wait.h"
#include "platform/windows_api.h"

namespace win {

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    return ::WaitForSingleObject(detail::ToNativeHandle(handle), milliseconds);
}

}  // namespace win
