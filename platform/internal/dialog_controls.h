#pragma once
// What kind of control a template entry makes, for the dialog manager. Not part of the
// platform's public surface.

#include "platform/dialog_posix.h"

namespace win::detail {

// Class names are compared without regard to ASCII letter case, as the device does.
bool IsControlClass(const DialogControlTemplate& control, std::u16string_view className);

// A button that can be clicked: a push button, check box or radio button, not a group box.
bool IsClickableButton(const DialogControlTemplate& control);
// BS_PUSHBUTTON or BS_DEFPUSHBUTTON.
bool IsPushButton(const DialogControlTemplate& control);
bool IsRadioButton(const DialogControlTemplate& control);
bool IsAutoRadioButton(const DialogControlTemplate& control);
bool IsDefaultPushButton(const DialogControlTemplate& control);
bool IsVisible(const DialogControlTemplate& control);
bool IsEnabled(const DialogControlTemplate& control);
// A control the keyboard focus can reach: a visible, enabled tab stop.
bool IsReachableTabStop(const DialogControlTemplate& control);

// What a control answers to WM_GETDLGCODE, the dialog manager's question of which keys the
// control takes and what kind it is.
inline constexpr UINT DLGC_WANTARROWS = 0x0001;
inline constexpr UINT DLGC_HASSETSEL = 0x0008;
inline constexpr UINT DLGC_DEFPUSHBUTTON = 0x0010;
inline constexpr UINT DLGC_UNDEFPUSHBUTTON = 0x0020;
inline constexpr UINT DLGC_RADIOBUTTON = 0x0040;
inline constexpr UINT DLGC_WANTCHARS = 0x0080;
inline constexpr UINT DLGC_STATIC = 0x0100;
inline constexpr UINT DLGC_BUTTON = 0x2000;

// The platform's controls' answers: a push button DLGC_BUTTON with DLGC_DEFPUSHBUTTON while it
// has the default look, else DLGC_UNDEFPUSHBUTTON; a radio button DLGC_BUTTON |
// DLGC_RADIOBUTTON; another button DLGC_BUTTON; a group box and a static control DLGC_STATIC;
// an edit DLGC_WANTCHARS | DLGC_WANTARROWS | DLGC_HASSETSEL; anything else 0.
UINT DialogCode(const DialogControlState& state);

}  // namespace win::detail
