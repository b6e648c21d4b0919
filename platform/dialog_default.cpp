// Default dialog processing: closing, the keyboard, clicks, the default id and icons. The
// keyboard follows the platform's dialog manager: WM_KEYDOWN first meets the dialog's keys
// (IsDialogMessage: Tab, the arrow keys, Return, Esc), unless the focused control wants them
// (WM_GETDLGCODE); what is left goes to the focused control itself, where a button takes
// Space: pushed in on the key's press, clicked on its release.
#include "platform/dialog.h"
#include "platform/dialog_posix.h"
#include "platform/internal/dialog_controls.h"
#include "platform/internal/dialog_focus.h"
#include "platform/internal/window_registry.h"

namespace win {

using detail::FindControlIndex;
using detail::WindowRecord;

namespace {

void SendCommand(HWND dialog, int commandId) {
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(commandId), BN_CLICKED), 0);
}

// An auto radio button checks itself and unchecks the other auto radio buttons of its group.
void CheckAutoRadio(WindowRecord& window, int index) {
    const detail::GroupRange group = detail::GroupOf(window, index);
    for (int i = group.first; i < group.end; ++i) {
        auto& state = window.state.controls[i];
        if (detail::IsAutoRadioButton(*state.control)) {
            state.check = (i == index) ? BST_CHECKED : BST_UNCHECKED;
        }
    }
}

// Clicks a button as a user would: hidden buttons can be clicked (a renderer or a tool may
// ask for it), disabled ones and controls that are not buttons cannot. A clicked tab stop
// takes the focus.
void ClickControl(HWND dialog, WindowRecord& window, int controlId) {
    int index = FindControlIndex(window, controlId);
    if (index < 0) return;
    const DialogControlTemplate& control = *window.state.controls[index].control;
    if (!detail::IsClickableButton(control) || !detail::IsEnabled(control)) return;
    if (detail::IsAutoRadioButton(control)) CheckAutoRadio(window, index);
    if (detail::IsReachableTabStop(control)) {
        detail::SetDialogFocus(window, index);
    } else {
        detail::NotifyChanged(window);
    }
    // The button's own state is settled before its click is reported.
    SendCommand(dialog, control.id);
}

// The arrow keys move the focus within its group, in the order GetNextDlgGroupItem gives,
// wrapping round. A static control or group box cannot take the focus, so the walk passes
// over them. An auto radio button that the focus reaches is clicked, unless checked.
void MoveFocusInGroup(HWND dialog, WindowRecord& window, int focus, bool previous) {
    int next = focus;
    for (std::size_t n = 0; n < window.state.controls.size(); ++n) {
        next = detail::NextGroupItem(window, next, previous);
        if (next == focus ||
            !(detail::DialogCode(window.state.controls[next]) & detail::DLGC_STATIC))
            break;
    }
    if (next == focus || (detail::DialogCode(window.state.controls[next]) & detail::DLGC_STATIC))
        return;
    const DialogControlState& target = window.state.controls[next];
    detail::SetDialogFocus(window, next);
    if (detail::IsAutoRadioButton(*target.control) && target.check != BST_CHECKED) {
        ClickControl(dialog, window, target.control->id);
    }
}

// Return clicks the focused push button (it has the default look while it has the focus);
// with the focus elsewhere it gives the default id, unless that control is disabled, or IDOK
// when the dialog has no default id.
void PressReturn(HWND dialog, WindowRecord& window, int focus) {
    if (focus >= 0 &&
        (detail::DialogCode(window.state.controls[focus]) & detail::DLGC_DEFPUSHBUTTON)) {
        SendCommand(dialog, window.state.controls[focus].control->id);
        return;
    }
    const auto defId = static_cast<DWORD>(SendMessageW(dialog, DM_GETDEFID, 0, 0));
    if (HIWORD(defId) != DC_HASDEFID) {
        SendCommand(dialog, IDOK);
        return;
    }
    const int index = FindControlIndex(window, LOWORD(defId));
    if (index < 0 || detail::IsEnabled(*window.state.controls[index].control)) {
        SendCommand(dialog, LOWORD(defId));
    }
}

// The dialog's keys, then the focused control's own (Space on a button).
void KeyDown(HWND dialog, WindowRecord& window, WPARAM key, LPARAM flags) {
    const int focus = detail::FocusedIndex(window);
    const UINT code = focus >= 0 ? detail::DialogCode(window.state.controls[focus]) : 0;
    switch (key) {
        case VK_TAB: {
            const int next = detail::NextTabStop(window, focus, (flags & KF_SHIFT_HELD) != 0);
            if (next >= 0 && next != focus) detail::SetDialogFocus(window, next);
            return;
        }
        case VK_LEFT:
        case VK_UP:
        case VK_RIGHT:
        case VK_DOWN:
            if (focus < 0 || (code & detail::DLGC_WANTARROWS)) return;
            MoveFocusInGroup(dialog, window, focus, key == VK_LEFT || key == VK_UP);
            return;
        case VK_RETURN:
            PressReturn(dialog, window, focus);
            return;
        case VK_ESCAPE:
            SendCommand(dialog, IDCANCEL);
            return;
        case VK_SPACE:
            // Only the key's first press pushes: a held key's repeats do nothing.
            if (focus < 0 || (flags & KF_PREVIOUSLY_DOWN)) return;
            if (detail::IsClickableButton(*window.state.controls[focus].control)) {
                window.state.controls[focus].pushed = true;
                detail::NotifyChanged(window);
            }
            return;
        default:
            return;
    }
}

// A button still pushed in when Space comes up is clicked; one that lost the focus meanwhile
// was released without a click.
void KeyUp(HWND dialog, WindowRecord& window, WPARAM key) {
    const int focus = detail::FocusedIndex(window);
    if (key != VK_SPACE || focus < 0 || !window.state.controls[focus].pushed) return;
    window.state.controls[focus].pushed = false;
    ClickControl(dialog, window, window.state.controls[focus].control->id);
}

LRESULT SetDefaultId(WindowRecord& window, WPARAM id) {
    window.defaultId = static_cast<WORD>(id);
    detail::PlaceDefaultLook(window);
    detail::NotifyChanged(window);
    return TRUE;
}

LRESULT SetIcon(WindowRecord& window, WPARAM which, LPARAM icon) {
    HICON& slot = which == ICON_BIG ? window.state.bigIcon : window.state.smallIcon;
    HICON previous = slot;
    slot = static_cast<HICON>(icon);
    if (previous != slot) detail::NotifyChanged(window);
    return static_cast<LRESULT>(previous);
}

}  // namespace

LRESULT DefDlgProcW(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    detail::WindowPtr window = detail::FindWindowRecord(dialog);
    if (!window) return 0;
    switch (message) {
        case WM_CLOSE:
            // Posted, as Windows posts it: the close ends the run after what is queued.
            PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            return 0;
        case WM_KEYDOWN:
            KeyDown(dialog, *window, wParam, lParam);
            return 0;
        case WM_KEYUP:
            KeyUp(dialog, *window, wParam);
            return 0;
        case BM_CLICK:
            ClickControl(dialog, *window, static_cast<int>(wParam));
            return 0;
        case DM_GETDEFID:
            return window->defaultId == 0
                       ? 0
                       : static_cast<LRESULT>(MAKEWPARAM(window->defaultId, DC_HASDEFID));
        case DM_SETDEFID:
            return SetDefaultId(*window, wParam);
        case WM_SETICON:
            return SetIcon(*window, wParam, lParam);
        default:
            return 0;
    }
}

}  // namespace win
