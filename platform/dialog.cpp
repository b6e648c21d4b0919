// The dialog manager: dialogs made from templates, modal loops and the state of their
// controls.
#include "platform/dialog.h"

#include <algorithm>

#include "platform/dialog_posix.h"
#include "platform/internal/dialog_controls.h"
#include "platform/internal/dialog_focus.h"
#include "platform/internal/window_registry.h"
#include "platform/message_posix.h"
#include "platform/renderer_posix.h"
#include "platform/window_table_posix.h"

namespace win {

using detail::FindControlIndex;
using detail::FindWindowRecord;
using detail::WindowPtr;

namespace {

// Dialog units to pixels, rounded to the nearest pixel.
LONG UnitsToPixels(int units, int baseUnits, int divisor) {
    return static_cast<LONG>((units * baseUnits + divisor / 2) / divisor);
}

// The whole window's rectangle: the template's size is the client area's, and the frame and
// caption come around it, as the platform's AdjustWindowRectEx adds them. The template's
// position is the client area's (from the owner's or the work area's corner); DS_CENTER centres
// the whole window in the work area.
RECT PlaceDialog(const DialogTemplate& dialog, HWND parent) {
    Renderer& renderer = CurrentRenderer();
    Renderer::BaseUnits base = renderer.DialogBaseUnits(dialog);
    Renderer::FrameInsets frame = renderer.DialogFrame(dialog);
    RECT work = renderer.WorkArea();
    LONG width = frame.left + UnitsToPixels(dialog.cx, base.x, 4) + frame.right;
    LONG height = frame.top + UnitsToPixels(dialog.cy, base.y, 8) + frame.bottom;
    RECT origin = work;
    if (parent != 0) GetWindowRect(parent, &origin);
    LONG left = origin.left + UnitsToPixels(dialog.x, base.x, 4) - frame.left;
    LONG top = origin.top + UnitsToPixels(dialog.y, base.y, 8) - frame.top;
    if (dialog.style & DS_CENTER) {
        left = work.left + ((work.right - work.left) - width) / 2;
        top = work.top + ((work.bottom - work.top) - height) / 2;
    }
    return RECT{left, top, left + width, top + height};
}

// The template's last BS_DEFPUSHBUTTON gives the default id; it has the default look until
// the focus is placed.
void TakeDefaultFromTemplate(detail::WindowRecord& window) {
    for (const DialogControlState& state : window.state.controls) {
        if (detail::IsDefaultPushButton(*state.control)) window.defaultId = state.control->id;
    }
    detail::PlaceDefaultLook(window);
}

}  // namespace

HWND CreateDialogIndirectW(const DialogTemplate& dialog, HWND parent, WNDPROC procedure) {
    if (!procedure) return 0;
    HWND hwnd = AddTopLevelWindow(dialog.title);
    if (hwnd == 0) return 0;

    auto window = std::make_shared<detail::WindowRecord>();
    window->hwnd = hwnd;
    window->parent = parent;
    window->procedure = std::move(procedure);
    window->dialogTemplate = std::make_unique<const DialogTemplate>(dialog);
    const DialogTemplate& own = *window->dialogTemplate;
    window->state.dialog = &own;
    window->state.title = own.title;
    window->state.windowRect = PlaceDialog(own, parent);
    for (const DialogControlTemplate& control : own.controls) {
        window->state.controls.push_back(DialogControlState{&control, control.text});
    }
    TakeDefaultFromTemplate(*window);
    detail::AddWindowRecord(window);
    detail::NotifyChanged(*window);

    LRESULT placeFocus = SendMessageW(hwnd, WM_INITDIALOG, 0, 0);
    // The initialisation may have destroyed the window; then there is no dialog to return.
    if (window->destroyed) return 0;
    if (placeFocus) detail::SetDialogFocus(*window, detail::NextTabStop(*window, -1, false));
    if (own.style & WS_VISIBLE) window->state.visible = true;
    detail::NotifyChanged(*window);
    return hwnd;
}

int DialogBoxIndirectW(const DialogTemplate& dialog, HWND parent, WNDPROC procedure) {
    HWND hwnd = CreateDialogIndirectW(dialog, parent, std::move(procedure));
    if (hwnd == 0) return -1;
    // A modal dialog is shown and active, and so has the focus: where its initialisation put
    // it, else on its first tab stop, where Windows's activation puts it.
    if (WindowPtr window = FindWindowRecord(hwnd); window && detail::FocusedIndex(*window) < 0)
        detail::SetDialogFocus(*window, detail::NextTabStop(*window, -1, false));
    int result = RunModalLoop(hwnd);
    DestroyWindow(hwnd);
    return result;
}

int RunModalLoop(HWND dialog) {
    WindowPtr window = FindWindowRecord(dialog);
    if (!window || window->destroyed) return -1;
    if (GetQueueDescriptor() < 0) return -1;
    while (!window->endRequested && !window->destroyed) {
        MSG msg;
        if (PeekMessageW(&msg)) {
            DispatchMessageW(&msg);
            continue;
        }
        CurrentRenderer().WaitForInput(GetQueueDescriptor());
    }
    // A window destroyed without EndDialog ends the loop with -1, as a failed run.
    int result = window->endRequested ? window->endResult : -1;
    window->endRequested = false;
    if (!window->destroyed) ShowWindow(dialog, false);
    return result;
}

BOOL EndDialog(HWND dialog, int result) {
    WindowPtr window = FindWindowRecord(dialog);
    if (!window || window->destroyed) return FALSE;
    window->endRequested = true;
    window->endResult = result;
    return TRUE;
}

BOOL SetDlgItemTextW(HWND dialog, int controlId, std::u16string_view text) {
    WindowPtr window = FindWindowRecord(dialog);
    if (!window) return FALSE;
    int index = FindControlIndex(*window, controlId);
    if (index < 0) return FALSE;
    std::u16string& current = window->state.controls[index].text;
    if (current != text) {
        current = std::u16string(text);
        detail::NotifyChanged(*window);
    }
    return TRUE;
}

UINT GetDlgItemTextW(HWND dialog, int controlId, WCHAR* buffer, int maxCount) {
    if (!buffer || maxCount <= 0) return 0;
    buffer[0] = 0;
    WindowPtr window = FindWindowRecord(dialog);
    if (!window) return 0;
    int index = FindControlIndex(*window, controlId);
    if (index < 0) return 0;
    const std::u16string& text = window->state.controls[index].text;
    std::size_t count = std::min(text.size(), static_cast<std::size_t>(maxCount - 1));
    std::copy_n(text.begin(), count, buffer);
    buffer[count] = 0;
    return static_cast<UINT>(count);
}

std::u16string GetDlgItemText(HWND dialog, int controlId) {
    WindowPtr window = FindWindowRecord(dialog);
    if (!window) return {};
    int index = FindControlIndex(*window, controlId);
    return index < 0 ? std::u16string() : window->state.controls[index].text;
}

BOOL CheckDlgButton(HWND dialog, int controlId, UINT check) {
    WindowPtr window = FindWindowRecord(dialog);
    if (!window) return FALSE;
    int index = FindControlIndex(*window, controlId);
    if (index < 0 || !detail::IsClickableButton(*window->state.controls[index].control)) {
        return FALSE;
    }
    UINT& current = window->state.controls[index].check;
    if (current != check) {
        current = check;
        detail::NotifyChanged(*window);
    }
    return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int controlId) {
    WindowPtr window = FindWindowRecord(dialog);
    if (!window) return BST_UNCHECKED;
    int index = FindControlIndex(*window, controlId);
    return index < 0 ? BST_UNCHECKED : window->state.controls[index].check;
}

int GetFocusedControl(HWND dialog) {
    WindowPtr window = FindWindowRecord(dialog);
    return window ? window->state.focusedControl : 0;
}

BOOL SetFocusedControl(HWND dialog, int controlId) {
    WindowPtr window = FindWindowRecord(dialog);
    if (!window) return FALSE;
    int index = FindControlIndex(*window, controlId);
    if (index < 0) return FALSE;
    detail::SetDialogFocus(*window, index);
    return TRUE;
}

const DialogState* GetDialogState(HWND dialog) {
    WindowPtr window = FindWindowRecord(dialog);
    return window ? &window->state : nullptr;
}

std::vector<DialogControlInfo> GetDialogControls(HWND dialog) {
    std::vector<DialogControlInfo> controls;
    if (WindowPtr window = FindWindowRecord(dialog)) {
        for (const DialogControlState& state : window->state.controls) {
            DWORD style = state.control->style;
            // A push button's type says whether it is drawn as the default one, as on Windows.
            if (detail::IsPushButton(*state.control))
                style =
                    (style & ~BS_TYPEMASK) | (state.isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
            controls.push_back({state.control->id, state.control->className, style});
        }
    }
    return controls;
}

}  // namespace win
