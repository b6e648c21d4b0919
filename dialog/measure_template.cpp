#include "dialog/measure_resources.h"
#include "dialog/resource.h"

namespace {

win::DialogControlTemplate Button(int id, const char16_t* text, short x, short y, short cx,
                                  short cy, win::DWORD style) {
    return {static_cast<win::WORD>(id), u"BUTTON", text, x, y, cx, cy, style};
}
win::DialogControlTemplate Edit(int id, short x, short y, short cx, short cy, win::DWORD style) {
    return {static_cast<win::WORD>(id), u"EDIT", u"", x, y, cx, cy, style};
}
win::DialogControlTemplate Static(int id, const char16_t* text, short x, short y, short cx,
                                  short cy, win::DWORD style) {
    return {static_cast<win::WORD>(id), u"STATIC", text, x, y, cx, cy, style};
}

constexpr int kNoId = win::IDC_STATIC;  // -1 in the template: a control without an id

win::DialogTemplate MakeMeasureDialogTemplate() {
    win::DialogTemplate dialog;
    dialog.title = u"Velmo Dudada - Zamto serie X9";
    dialog.fontName = u"System";
    dialog.fontPointSize = 12;
    dialog.style = 0x90C008C0;    // pop-up, visible, caption, centred, modal frame, font
    dialog.exStyle = 0x80040000;  // title-bar OK button, application window
    dialog.x = 0;
    dialog.y = 0;
    dialog.cx = 157;
    dialog.cy = 75;
    // The angle-unit radios and their box, and both "Imposta" buttons, are hidden (no
    // WS_VISIBLE); the three edits are disabled, so they only show values.
    dialog.controls = {
        Button(IDC_UNIT_DEGREE, u"degree", 120, 40, 34, 11, 0x40030009),
        Button(IDC_UNIT_GON, u"gen", 123, 42, 34, 11, 0x40010009),
        Button(IDC_UNIT_MIL, u"mil", 120, 42, 34, 11, 0x40010009),
        Button(IDC_MEASURE, u"Misura", 116, 4, 39, 14, 0x50010000),
        Button(kNoId, u"Angle Unit", 120, 37, 35, 20, 0x40000007),
        Edit(IDC_HZ_ANGLE, 46, 8, 64, 13, 0x58800005),
        Edit(IDC_ZENITH_ANGLE, 46, 21, 64, 13, 0x58800005),
        Edit(IDC_SLOPE_DISTANCE, 46, 34, 64, 13, 0x58800005),
        Static(kNoId, u"Ang. oriz.", 6, 11, 37, 13, 0x50020002),
        Static(kNoId, u"Zenith", 6, 24, 37, 13, 0x50020002),
        Static(kNoId, u"Dist. incl.", 6, 37, 37, 13, 0x50020002),
        Button(kNoId, u"Misure", 3, 0, 111, 51, 0x50000007),
        Button(IDC_STOP, u"Ferma", 116, 21, 39, 14, 0x50010000),
        Button(IDC_SETUP_TOOL, u"Imposta", 130, 39, 14, 15, 0x40000000),
        Button(IDC_CANCEL_BUTTON, u"Annulla", 3, 59, 72, 15, 0x50010000),
        Button(IDC_CONFIRM, u"Conferma", 82, 59, 72, 15, 0x50010000),
        Button(IDC_SHORTCUT_TOOL, u"Imposta", 117, 42, 39, 14, 0x40010000),
        Static(IDC_FIRMWARE_LABEL, u"Versione firmware:", 4, 51, 150, 8, 0x50020000),
    };
    return dialog;
}

}  // namespace

const win::DialogTemplate& MeasureDialogTemplate() {
    static const win::DialogTemplate dialog = MakeMeasureDialogTemplate();
    return dialog;
}

void RegisterMeasureResources() {
    win::RegisterDialogResource(IDD_MEASURE, &MeasureDialogTemplate());
    win::RegisterIconResource(IDI_MEASURE, &MeasureIcon());
}
