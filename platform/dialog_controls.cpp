// Control kinds, read from a template entry's class name and style.
#include "platform/internal/dialog_controls.h"

#include "platform/dialog_posix.h"

namespace win::detail {
namespace {

// The radio-button types of the button style: BS_RADIOBUTTON and BS_AUTORADIOBUTTON.
constexpr DWORD kRadioButtonType = 0x4;

char16_t ToUpperAscii(char16_t c) {
    return (c >= u'a' && c <= u'z') ? c - u'a' + u'A' : c;
}

DWORD ButtonType(const DialogControlTemplate& control) {
    return control.style & BS_TYPEMASK;
}

}  // namespace

bool IsControlClass(const DialogControlTemplate& control, std::u16string_view className) {
    if (control.className.size() != className.size()) return false;
    for (std::size_t i = 0; i < className.size(); ++i) {
        if (ToUpperAscii(control.className[i]) != ToUpperAscii(className[i])) return false;
    }
    return true;
}

bool IsClickableButton(const DialogControlTemplate& control) {
    return IsControlClass(control, u"BUTTON") && ButtonType(control) != BS_GROUPBOX;
}

bool IsPushButton(const DialogControlTemplate& control) {
    return IsControlClass(control, u"BUTTON") &&
           (ButtonType(control) == BS_PUSHBUTTON || ButtonType(control) == BS_DEFPUSHBUTTON);
}

bool IsRadioButton(const DialogControlTemplate& control) {
    return IsControlClass(control, u"BUTTON") &&
           (ButtonType(control) == kRadioButtonType || ButtonType(control) == BS_AUTORADIOBUTTON);
}

bool IsAutoRadioButton(const DialogControlTemplate& control) {
    return IsControlClass(control, u"BUTTON") && ButtonType(control) == BS_AUTORADIOBUTTON;
}

bool IsDefaultPushButton(const DialogControlTemplate& control) {
    return IsControlClass(control, u"BUTTON") && ButtonType(control) == BS_DEFPUSHBUTTON;
}

bool IsVisible(const DialogControlTemplate& control) {
    return (control.style & WS_VISIBLE) != 0;
}

bool IsEnabled(const DialogControlTemplate& control) {
    return (control.style & WS_DISABLED) == 0;
}

bool IsReachableTabStop(const DialogControlTemplate& control) {
    return IsVisible(control) && IsEnabled(control) && (control.style & WS_TABSTOP) != 0;
}

UINT DialogCode(const DialogControlState& state) {
    const DialogControlTemplate& control = *state.control;
    if (IsControlClass(control, u"STATIC")) return DLGC_STATIC;
    if (IsControlClass(control, u"EDIT")) return DLGC_WANTCHARS | DLGC_WANTARROWS | DLGC_HASSETSEL;
    if (!IsControlClass(control, u"BUTTON")) return 0;
    if (ButtonType(control) == BS_GROUPBOX) return DLGC_STATIC;
    if (IsPushButton(control))
        return DLGC_BUTTON | (state.isDefault ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
    if (IsRadioButton(control)) return DLGC_BUTTON | DLGC_RADIOBUTTON;
    return DLGC_BUTTON;
}

}  // namespace win::detail
