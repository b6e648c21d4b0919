#include "tests/window/test_template.h"

namespace nxtest {

using namespace win;

DialogTemplate MakeTestTemplate(bool pushButtonFirst) {
    constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
    DialogTemplate dialog;
    dialog.title = u"Test dialog";
    dialog.fontName = u"System";
    dialog.fontPointSize = 12;
    dialog.style = WS_POPUP | WS_VISIBLE | WS_CAPTION | DS_MODALFRAME | DS_SETFONT;
    dialog.cx = 100;
    dialog.cy = 60;
    auto add = [&](WORD id, const char16_t* cls, const char16_t* text, DWORD style) {
        dialog.controls.push_back({id, cls, text, 0, 0, 20, 10, style});
    };
    if (pushButtonFirst) add(kPushFirst, u"BUTTON", u"First", kChild | BS_PUSHBUTTON | WS_TABSTOP);
    add(kRadioA, u"BUTTON", u"A", kChild | BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP);
    add(kRadioB, u"BUTTON", u"B", kChild | BS_AUTORADIOBUTTON | WS_TABSTOP);
    if (!pushButtonFirst) add(kPushFirst, u"BUTTON", u"First", kChild | BS_PUSHBUTTON | WS_TABSTOP);
    add(kRadioC, u"Button", u"C", kChild | BS_AUTORADIOBUTTON | WS_TABSTOP);
    add(kEditDisabled, u"EDIT", u"", kChild | WS_DISABLED | WS_BORDER | WS_TABSTOP);
    add(kPushHidden, u"BUTTON", u"Hidden", WS_CHILD | BS_PUSHBUTTON | WS_TABSTOP);
    add(kRadioHidden, u"BUTTON", u"H", WS_CHILD | BS_AUTORADIOBUTTON | WS_TABSTOP);
    add(IDC_STATIC, u"STATIC", u"Label", kChild | SS_LEFT | WS_GROUP);
    add(kRadioOther, u"BUTTON", u"Other", kChild | BS_AUTORADIOBUTTON | WS_TABSTOP);
    add(kPushLast, u"BUTTON", u"Last", kChild | BS_PUSHBUTTON | WS_TABSTOP);
    add(kEdit, u"EDIT", u"initial", kChild | WS_BORDER | WS_TABSTOP | ES_READONLY);
    return dialog;
}

}  // namespace nxtest
