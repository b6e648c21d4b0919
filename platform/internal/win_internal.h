#pragma once
// Internal to the Windows implementation: the conversions between the real API's types and the
// platform's, and what one service's file offers another.

#include <cstdint>
#include <string>

#include "platform/windows_api.h"

namespace win::detail {

// A kernel handle travels in the platform's HANDLE as the same bits.
inline ::HANDLE ToNativeHandle(HANDLE handle) {
    return reinterpret_cast<::HANDLE>(handle.Value());
}
inline HANDLE FromNativeHandle(::HANDLE handle) {
    return HANDLE{reinterpret_cast<std::uintptr_t>(handle)};
}

// User handles (windows, icons) are 32-bit values: Windows keeps them below 2^32 and extends
// them with their sign, so they travel in 32 bits whole.
inline ::HWND ToNativeWindow(std::uint32_t window) {
    return reinterpret_cast<::HWND>(static_cast<INT_PTR>(static_cast<std::int32_t>(window)));
}
inline std::uint32_t FromNativeWindow(::HWND window) {
    return static_cast<std::uint32_t>(reinterpret_cast<UINT_PTR>(window));
}
inline std::uint32_t FromNativeIcon(::HICON icon) {
    return static_cast<std::uint32_t>(reinterpret_cast<UINT_PTR>(icon));
}

// UTF-16 strings as the API's wide strings: both are 16-bit code units on Windows.
inline const wchar_t* Wide(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}
inline std::u16string FromWide(const wchar_t* text, std::size_t length) {
    return std::u16string(reinterpret_cast<const char16_t*>(text), length);
}

// When handle is a device file that CreateFileW gave out: commits and closes it (as CommitFile)
// and returns true. False, doing nothing, for any other handle. (file_win.cpp)
bool CloseDeviceFile(HANDLE handle);

// For tests of the process walks, which under Wine meet no other user's processes: from now on
// this process takes itself for another user (its own SID with the next relative id), so that
// its walks must list none of its own user's processes. The shipped programs never call it.
// (toolhelp_win.cpp)
void TakeCallerForAnotherUser();

// Whether this process's windows go on the screen (screen.h): dialogs made while they do not
// are kept hidden, whatever their template says. (screen_win.cpp)
bool WindowsOnScreen();

}  // namespace win::detail
