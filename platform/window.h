#pragma once
// Windows of the calling process: their procedures, synchronous sends and the dispatch of
// queued messages. A window is top-level and known device-wide (on Linux through our window
// table, window_table_posix.h), so other processes can post to it.

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/message.h"
#include "platform/win_types.h"

namespace win {

inline constexpr UINT WM_DESTROY = 0x0002;
inline constexpr UINT WM_SETTEXT = 0x000C;
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_SETICON = 0x0080;
inline constexpr UINT WM_KEYDOWN = 0x0100;
inline constexpr UINT WM_KEYUP = 0x0101;
inline constexpr UINT WM_INITDIALOG = 0x0110;
inline constexpr UINT WM_COMMAND = 0x0111;
inline constexpr UINT BM_CLICK = 0x00F5;  // to a dialog: wParam = the control id to click
inline constexpr UINT WM_USER = 0x0400;

inline constexpr WPARAM VK_TAB = 0x09;
inline constexpr WPARAM VK_RETURN = 0x0D;
inline constexpr WPARAM VK_ESCAPE = 0x1B;
inline constexpr WPARAM VK_SPACE = 0x20;
inline constexpr WPARAM VK_LEFT = 0x25;
inline constexpr WPARAM VK_UP = 0x26;
inline constexpr WPARAM VK_RIGHT = 0x27;
inline constexpr WPARAM VK_DOWN = 0x28;
// lParam bit of WM_KEYDOWN telling that Shift was held (for Shift-Tab).
inline constexpr LPARAM KF_SHIFT_HELD = 0x01000000;
// lParam bits 30 and 31 of the keyboard messages, as the platform sets them: bit 30 is the
// key's previous state (set on an auto-repeated WM_KEYDOWN and on every WM_KEYUP), bit 31 the
// transition (set on every WM_KEYUP).
inline constexpr LPARAM KF_PREVIOUSLY_DOWN = 0x40000000;
inline constexpr LPARAM KF_RELEASED = static_cast<LPARAM>(0x80000000u);

inline constexpr WPARAM ICON_SMALL = 0;
inline constexpr WPARAM ICON_BIG = 1;

inline constexpr WORD LOWORD(DWORD v) {
    return static_cast<WORD>(v & 0xFFFF);
}
inline constexpr WORD HIWORD(DWORD v) {
    return static_cast<WORD>(v >> 16);
}
inline constexpr WPARAM MAKEWPARAM(WORD low, WORD high) {
    return static_cast<WPARAM>(low) | (static_cast<WPARAM>(high) << 16);
}

// A window procedure. The framework installs one per window; the default processing of a
// dialog is DefDlgProcW (dialog.h).
using WNDPROC = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;

// Calls the window's procedure synchronously and returns its result. Only windows of the
// calling process can be sent to; 0 for any other handle.
LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Delivers a message taken from the thread's queue to its window's procedure. Thread messages
// (hwnd 0) and messages for windows this process does not have are dropped (FALSE).
BOOL DispatchMessageW(const MSG* msg);

// Sends WM_DESTROY, removes the window from the device's window table and from the renderer,
// and forgets it: later sends and posts to it fail. FALSE for an unknown handle.
BOOL DestroyWindow(HWND window);

BOOL IsWindow(HWND window);

// The window's owner, given when it was made (0 for none or an unknown window).
HWND GetParent(HWND window);

// The window's title; setting it also updates the device's window table and the renderer.
BOOL SetWindowTextW(HWND window, std::u16string_view text);
std::u16string GetWindowTextW(HWND window);

struct RECT {
    LONG left = 0, top = 0, right = 0, bottom = 0;
    friend bool operator==(const RECT&, const RECT&) = default;
};

// Window position and size in screen pixels.
BOOL GetWindowRect(HWND window, RECT* rect);
BOOL MoveWindow(HWND window, LONG x, LONG y, LONG width, LONG height);
BOOL IsWindowVisible(HWND window);
BOOL ShowWindow(HWND window, bool show);

// The screen's work area (the screen less any task bar), from the renderer.
RECT GetWorkArea();

// Icons: the program's icon resources, loaded by id. An HICON travels in a 32-bit lParam
// (WM_SETICON), so it is a small number, 0 for none.
using HICON = std::uint32_t;
struct IconImage {
    int width = 0, height = 0;
    // 16-colour palette (0x00RRGGBB) and one palette index per pixel, row by row from the top;
    // index 16 marks a transparent pixel.
    std::uint32_t palette[16] = {};
    std::vector<std::uint8_t> pixels;
};
struct IconResource {
    std::vector<IconImage> images;  // e.g. 32x32 and 16x16
};
void RegisterIconResource(int resourceId, const IconResource* icon);
HICON LoadIconW(int resourceId);  // 0 when no such resource
const IconResource* GetIconResource(HICON icon);
// The icon set on a window by WM_SETICON (ICON_BIG or ICON_SMALL), or 0.
HICON GetWindowIcon(HWND window, WPARAM which);

}  // namespace win
