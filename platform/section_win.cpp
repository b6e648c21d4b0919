// Named memory sections: the real kernel's file mappings.
#include "platform/fault.h"
#include "platform/internal/win_internal.h"
#include "platform/section.h"

namespace win {

HANDLE CreateFileMappingW(HANDLE file, void* securityAttributes, DWORD protect, DWORD sizeHigh,
                          DWORD sizeLow, std::u16string_view name) {
    if (fault::ShouldFail(fault::Op::CreateSection, ERROR_NOT_ENOUGH_MEMORY)) return nullptr;
    const std::u16string ownName(name);
    return detail::FromNativeHandle(::CreateFileMappingW(
        detail::ToNativeHandle(file), static_cast<SECURITY_ATTRIBUTES*>(securityAttributes),
        protect, sizeHigh, sizeLow, ownName.empty() ? nullptr : detail::Wide(ownName)));
}

void* MapViewOfFile(HANDLE section, DWORD desiredAccess, DWORD offsetHigh, DWORD offsetLow,
                    std::size_t bytesToMap) {
    if (fault::ShouldFail(fault::Op::MapView, ERROR_NOT_ENOUGH_MEMORY)) return nullptr;
    return ::MapViewOfFile(detail::ToNativeHandle(section), desiredAccess, offsetHigh, offsetLow,
                           bytesToMap);
}

BOOL UnmapViewOfFile(const void* view) {
    return ::UnmapViewOfFile(view);
}

}  // namespace win
