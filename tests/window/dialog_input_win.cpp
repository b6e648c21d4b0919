// The dialog table's input on Windows: keys posted to the control with the focus, as the
// keyboard's input arrives, with the keyboard's Shift state set for the dialog manager to read.
#include "platform/screen.h"
#include "platform/windows_api.h"
#include "tests/window/dialog_input.h"

namespace nxtest {
namespace {

::HWND Native(win::HWND window) {
    return reinterpret_cast<::HWND>(static_cast<INT_PTR>(static_cast<std::int32_t>(window)));
}

}  // namespace

void PostKey(win::HWND dialog, const Stroke& stroke) {
    BYTE keys[256];
    ::GetKeyboardState(keys);
    keys[VK_SHIFT] = stroke.shift ? 0x80 : 0;
    ::SetKeyboardState(keys);
    // A repeat count of 1, the key's scan code, and bits 30 and 31 as the keyboard sets them.
    LPARAM flags = 1 | static_cast<LPARAM>(::MapVirtualKeyW(stroke.key, MAPVK_VK_TO_VSC) << 16);
    if (stroke.repeat || stroke.message == WM_KEYUP) flags |= 1 << 30;
    if (stroke.message == WM_KEYUP) flags |= static_cast<LPARAM>(1u << 31);
    ::HWND focus = ::GetFocus();
    ::PostMessageW(focus ? focus : Native(dialog), stroke.message, stroke.key, flags);
}

bool IsPushedIn(win::HWND dialog, int controlId) {
    ::HWND button = ::GetDlgItem(Native(dialog), controlId);
    return button && (::SendMessageW(button, BM_GETSTATE, 0, 0) & BST_PUSHED);
}

void ShowDialogsAsTheInteractiveRunDoes() {
    win::ShowWindowsOnScreen();
}

}  // namespace nxtest
