#pragma once
// Message boxes, shown by the current renderer.

#include <functional>

#include "platform/win_types.h"

namespace win {

inline constexpr UINT MB_OK = 0x00000000;
inline constexpr UINT MB_ICONEXCLAMATION = 0x00000030;
inline constexpr UINT MB_SETFOREGROUND = 0x00010000;

// Shows a modal message box with the text, the caption and the given buttons and icon, and
// returns the button pressed. Without a display (the headless renderer) it writes
// "CAPTION: TEXT" as one line on standard error and returns IDOK at once.
int MessageBoxW(HWND owner, std::u16string_view text, std::u16string_view caption, UINT type);

// Test hook: called with the text, the caption and the type of every message box shown from
// now on, before it is shown. An empty function removes the observer.
using MessageBoxObserver =
    std::function<void(std::u16string_view text, std::u16string_view caption, UINT type)>;
void SetMessageBoxObserver(MessageBoxObserver observer);

}  // namespace win
