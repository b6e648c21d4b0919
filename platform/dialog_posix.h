#pragma once
// Linux only: our dialog manager's modal loop and the model it keeps of each dialog, which the
// renderers draw. (On Windows the real dialog manager keeps both to itself.)

#include <vector>

#include "platform/dialog.h"

namespace win {

// Runs a modal loop for the dialog: takes messages from the thread's queue and dispatches them,
// waiting on the renderer between them, until EndDialog is called for it; then hides the
// window and returns the result given to EndDialog. The window is not destroyed. -1 for an
// unknown window. DialogBoxIndirectW runs it (on Windows, the real one runs its own).
int RunModalLoop(HWND dialog);

// What a renderer needs to draw a dialog: its template, current texts, check states and focus,
// and its place on the screen. nullptr for an unknown window.
struct DialogControlState {
    const DialogControlTemplate* control = nullptr;
    std::u16string text;
    UINT check = BST_UNCHECKED;
    bool pushed = false;     // held in by Space (BST_PUSHED): drawn pressed
    bool isDefault = false;  // a push button drawn as the default push button
};
struct DialogState {
    const DialogTemplate* dialog = nullptr;
    std::u16string title;
    std::vector<DialogControlState> controls;  // template order
    int focusedControl = 0;
    RECT windowRect;  // screen pixels: the whole window, its frame and caption included
    bool visible = false;
    HICON bigIcon = 0, smallIcon = 0;
};
const DialogState* GetDialogState(HWND dialog);

}  // namespace win
