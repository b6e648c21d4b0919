#pragma once
// Internal to both implementations: what one service's file offers another.

#include "platform/fault.h"
#include "platform/file.h"
#include "platform/window.h"

namespace win::detail {

// Sets the calling thread's last error and returns what the failing API call returns:
// `return Fail(ERROR_INVALID_PARAMETER, FALSE);`.
template <typename T>
T Fail(DWORD error, T result) {
    SetLastError(error);
    return result;
}

// Why CreateFileW fails before it looks at the path: ERROR_INVALID_PARAMETER unless its arguments
// ask for what it offers (GENERIC_WRITE, CREATE_ALWAYS, no sharing, no security attributes, no
// template file), ERROR_ACCESS_DENIED for an injected fault; ERROR_SUCCESS when it goes on.
inline DWORD RefusedOpen(DWORD desiredAccess, DWORD shareMode, void* securityAttributes,
                         DWORD creationDisposition, HANDLE templateFile) {
    if (desiredAccess != GENERIC_WRITE || shareMode != 0 || securityAttributes ||
        creationDisposition != CREATE_ALWAYS ||
        (templateFile && templateFile != INVALID_HANDLE_VALUE))
        return ERROR_INVALID_PARAMETER;
    return fault::ShouldFail(fault::Op::CreateFile) ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
}

// The platform's own message box, without MessageBoxW's observer. On Linux the current renderer
// shows it, on Windows the window system; off the screen, both write one line on standard
// error (screen_posix.cpp, screen_win.cpp).
int ShowMessageBox(HWND owner, std::u16string_view text, std::u16string_view caption, UINT type);

// The icon registered under the id by RegisterIconResource, or nullptr. (resources.cpp)
const IconResource* FindIconResource(int resourceId);

}  // namespace win::detail
