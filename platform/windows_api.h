#pragma once
// Internal to the Windows implementation (*_win.cpp): the real Windows API, and the conversions
// between its types and the platform headers' fixed-width ones.
//
// Include it after every platform header (its name sorts last among them): <windows.h> defines
// as macros many names that the platform headers declare as constants (TRUE, WM_CLOSE,
// ERROR_*, ...), so after it those names mean the real macros, whose values are the same.
// The platform's own types stay unqualified inside namespace win (HWND, MSG, HANDLE); the
// real ones are written with "::" (::HWND, ::MSG, ::HANDLE).

#include "platform/win_types.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
// <windows.h> first: the others build on it.
// clang-format off
#include <windows.h>
#include <bcrypt.h>
#include <tlhelp32.h>
// clang-format on

// Function-like macros of <windows.h> that share a name with the platform's own calls.
#undef CreateDialogIndirectW
#undef DialogBoxIndirectW
#undef GetDlgItemText
// The platform's invalid handle (win_types.h) has the real one's bits; a real handle is compared
// with it through FromNativeHandle.
#undef INVALID_HANDLE_VALUE

#include <cstdint>
#include <string>

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
inline ::HICON ToNativeIcon(std::uint32_t icon) {
    return reinterpret_cast<::HICON>(static_cast<INT_PTR>(static_cast<std::int32_t>(icon)));
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

}  // namespace win::detail
