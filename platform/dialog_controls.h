#pragma once
// What kind of control a template entry makes, for the dialog manager. Not part of the
// platform's public surface.

#include "platform/dialog.h"

namespace win::detail {

// Class names are compared without regard to ASCII letter case, as the device does.
bool IsControlClass(const DialogControlTemplate& control, std::u16string_view className);

// A button that can be clicked: a push button, check box or radio button, not a group box.
bool IsClickableButton(const DialogControlTemplate& control);
bool IsRadioButton(const DialogControlTemplate& control);
bool IsAutoRadioButton(const DialogControlTemplate& control);
bool IsDefaultPushButton(const DialogControlTemplate& control);
bool IsVisible(const DialogControlTemplate& control);
bool IsEnabled(const DialogControlTemplate& control);
// A control the keyboard focus can reach: a visible, enabled tab stop.
bool IsReachableTabStop(const DialogControlTemplate& control);

}  // namespace win::detail
