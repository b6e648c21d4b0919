// Default dialog processing: closing, the keyboard, clicks and icons.
#include "platform/dialog.h"
#include "platform/dialog_controls.h"
#include "platform/window_registry.h"

namespace win {

using detail::FindControlIndex;
using detail::WindowRecord;

namespace {

void SendCommand(HWND dialog, int commandId) {
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(commandId), BN_CLICKED), 0);
}

// An auto radio button checks itself and unchecks the other auto radio buttons of its group:
// the controls from the nearest group start at or before it up to the next group start.
void CheckAutoRadio(WindowRecord& window, int index) {
    auto& controls = window.state.controls;
    int first = index;
    while (first > 0 && !(controls[first].control->style & WS_GROUP)) --first;
    int end = index + 1;
    while (end < static_cast<int>(controls.size()) && !(controls[end].control->style & WS_GROUP)) {
        ++end;
    }
    for (int i = first; i < end; ++i) {
        if (detail::IsAutoRadioButton(*controls[i].control)) {
            controls[i].check = (i == index) ? BST_CHECKED : BST_UNCHECKED;
        }
    }
}

// Clicks a button as a user would: hidden buttons can be clicked (a renderer or a tool may
// ask for it), disabled ones and controls that are not buttons cannot.
void ClickControl(HWND dialog, WindowRecord& window, int controlId) {
    int index = FindControlIndex(window, controlId);
    if (index < 0) return;
    const DialogControlTemplate& control = *window.state.controls[index].control;
    if (!detail::IsClickableButton(control) || !detail::IsEnabled(control)) return;
    if (detail::IsAutoRadioButton(control)) CheckAutoRadio(window, index);
    if (detail::IsReachableTabStop(control)) window.state.focusedControl = control.id;
    detail::NotifyChanged(window);
    // The button's own state is settled before its click is reported.
    SendCommand(dialog, control.id);
}

// Moves the focus to the next (or previous) visible, enabled tab stop in template order,
// wrapping around; nothing happens when there is none.
void MoveFocus(WindowRecord& window, bool backwards) {
    const auto& controls = window.state.controls;
    int count = static_cast<int>(controls.size());
    if (count == 0) return;
    int current = window.state.focusedControl == 0
                      ? -1
                      : FindControlIndex(window, window.state.focusedControl);
    int step = backwards ? count - 1 : 1;
    int start = current >= 0 ? current : (backwards ? 0 : count - 1);
    for (int n = 1; n <= count; ++n) {
        int i = (start + n * step) % count;
        if (detail::IsReachableTabStop(*controls[i].control)) {
            if (i != current) {
                window.state.focusedControl = controls[i].control->id;
                detail::NotifyChanged(window);
            }
            return;
        }
    }
}

// The command that Enter gives: the visible, enabled default push button's, or IDOK.
int EnterCommand(const WindowRecord& window) {
    for (const DialogControlState& state : window.state.controls) {
        const DialogControlTemplate& control = *state.control;
        if (detail::IsDefaultPushButton(control) && detail::IsVisible(control) &&
            detail::IsEnabled(control)) {
            return control.id;
        }
    }
    return IDOK;
}

void HandleKey(HWND dialog, WindowRecord& window, WPARAM key, LPARAM flags) {
    switch (key) {
        case VK_TAB:
            MoveFocus(window, (flags & KF_SHIFT_HELD) != 0);
            break;
        case VK_SPACE:
            if (window.state.focusedControl != 0) {
                ClickControl(dialog, window, window.state.focusedControl);
            }
            break;
        case VK_RETURN:
            SendCommand(dialog, EnterCommand(window));
            break;
        case VK_ESCAPE:
            SendCommand(dialog, IDCANCEL);
            break;
        default:
            break;
    }
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
            SendCommand(dialog, IDCANCEL);
            return 0;
        case WM_KEYDOWN:
            HandleKey(dialog, *window, wParam, lParam);
            return 0;
        case BM_CLICK:
            ClickControl(dialog, *window, static_cast<int>(wParam));
            return 0;
        case WM_SETICON:
            return SetIcon(*window, wParam, lParam);
        default:
            return 0;
    }
}

}  // namespace win
