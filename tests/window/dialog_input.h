#pragma once
// What the dialog table needs beyond the platform's headers, once per platform: a key given to
// a dialog as the user's keyboard gives it, and what a button looks like.
//
// On Linux a renderer posts the keys to the dialog window, and our dialog manager's modal loop
// hands them to the dialog's default processing. On Windows the keyboard sends them to the
// control with the focus, with the keyboard's state (Shift) beside them, and the real modal
// loop passes them through the message filter of dialog_win.cpp and IsDialogMessage.

#include "platform/dialog.h"

namespace nxtest {

// A key pressed (held: repeated) or released, Shift held or not.
struct Stroke {
    win::UINT message;  // WM_KEYDOWN or WM_KEYUP
    win::WPARAM key;
    bool shift = false;
    bool repeat = false;  // a WM_KEYDOWN of a key held down
};

// Posts the key to the dialog's thread as the keyboard does, behind what is already queued.
void PostKey(win::HWND dialog, const Stroke& stroke);

// Whether the button is held in by Space (drawn pressed).
bool IsPushedIn(win::HWND dialog, int controlId);

// Puts dialogs on the screen as the interactive run does (Windows); Linux keeps them off the
// screen, where our dialog manager behaves the same with a renderer that draws nothing.
void ShowDialogsAsTheInteractiveRunDoes();

}  // namespace nxtest
