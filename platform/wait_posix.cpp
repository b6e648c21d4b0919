// Waiting for a mutex or a process.
#include "platform/internal/handle_table.h"
#include "platform/wait.h"

namespace win {

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    auto* object = detail::FindHandleOf<detail::WaitableObject>(handle);
    if (!object) return WAIT_FAILED;
    return object->Wait(milliseconds);
}

}  // namespace win
