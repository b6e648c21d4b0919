// Named mutexes: the real kernel's.
#include "platform/fault.h"
#include "platform/internal/win_internal.h"
#include "platform/mutex.h"

namespace win {

HANDLE CreateMutexW(void* securityAttributes, BOOL initialOwner, std::u16string_view name) {
    if (fault::ShouldFail(fault::Op::CreateMutex, ERROR_GEN_FAILURE)) return nullptr;
    const std::u16string ownName(name);
    return detail::FromNativeHandle(
        ::CreateMutexW(static_cast<SECURITY_ATTRIBUTES*>(securityAttributes), initialOwner,
                       ownName.empty() ? nullptr : detail::Wide(ownName)));
}

BOOL ReleaseMutex(HANDLE mutex) {
    return ::ReleaseMutex(detail::ToNativeHandle(mutex));
}

}  // namespace win
