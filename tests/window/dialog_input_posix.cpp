// The dialog table's input on Linux: keys posted to the dialog as a renderer posts them.
#include "platform/dialog_posix.h"
#include "platform/message.h"
#include "tests/window/dialog_input.h"

namespace nxtest {

using namespace win;

void PostKey(HWND dialog, const Stroke& stroke) {
    LPARAM flags = stroke.shift ? KF_SHIFT_HELD : 0;
    if (stroke.repeat || stroke.message == WM_KEYUP) flags |= KF_PREVIOUSLY_DOWN;
    if (stroke.message == WM_KEYUP) flags |= KF_RELEASED;
    PostMessageW(dialog, stroke.message, stroke.key, flags);
}

bool IsPushedIn(HWND dialog, int controlId) {
    for (const DialogControlState& state : GetDialogState(dialog)->controls)
        if (state.control->id == controlId) return state.pushed;
    return false;
}

void ShowDialogsAsTheInteractiveRunDoes() {}

}  // namespace nxtest
