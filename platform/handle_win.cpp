// Handles, CloseHandle and the per-thread last error: the real kernel's.
#include "platform/internal/win_internal.h"
#include "platform/win_types.h"

namespace win {

DWORD GetLastError() {
    return ::GetLastError();
}

void SetLastError(DWORD error) {
    ::SetLastError(error);
}

BOOL CloseHandle(HANDLE handle) {
    // A device file is committed when it is closed; its result is CommitFile's to report.
    if (detail::CloseDeviceFile(handle)) return TRUE;
    return ::CloseHandle(detail::ToNativeHandle(handle));
}

}  // namespace win
