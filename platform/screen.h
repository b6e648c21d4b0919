#pragma once
// The screen: whether this process's windows and message boxes are shown on it. A process
// starts with its windows off the screen; a program that has windows to show says so at
// start-up.

namespace win {

// From now on windows and message boxes are shown on the screen. The display is opened when
// the first of them is about to be shown, not before; when none opens, they stay off the
// screen.
void ShowWindowsOnScreen();

// From now on windows and message boxes are kept off the screen, and the display is never
// touched for them: a dialog keeps its whole model (controls, texts, messages) without being
// drawn, and a message box is one line "CAPTION: TEXT" on standard error, answered at once
// with OK.
void KeepWindowsOffScreen();

}  // namespace win
