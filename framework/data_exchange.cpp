// Data exchange between a window's members and its controls.
#include "framework/data_exchange.h"

#include <vector>

#include "framework/wnd.h"
#include "platform/dialog.h"

namespace {

bool IsButtonClass(std::u16string_view className) {
    constexpr std::u16string_view kButton = u"BUTTON";
    if (className.size() != kButton.size()) return false;
    for (std::size_t i = 0; i < kButton.size(); ++i) {
        char16_t c = className[i];
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
        if (c != kButton[i]) return false;
    }
    return true;
}

// The radio-button types of the button style: BS_RADIOBUTTON (4) and BS_AUTORADIOBUTTON.
bool IsRadioButton(const win::DialogControlInfo& control) {
    win::DWORD type = control.style & win::BS_TYPEMASK;
    return IsButtonClass(control.className) && (type == 0x4 || type == win::BS_AUTORADIOBUTTON);
}

}  // namespace

void DDX_Text(CDataExchange* exchange, int controlId, CString& value) {
    win::HWND dialog = exchange->m_pDlgWnd->m_hWnd;
    if (exchange->m_bSaveAndValidate) {
        value = CString(win::GetDlgItemText(dialog, controlId));
    } else {
        win::SetDlgItemTextW(dialog, controlId, value);
    }
}

void DDX_Radio(CDataExchange* exchange, int controlId, std::int32_t& value) {
    win::HWND dialog = exchange->m_pDlgWnd->m_hWnd;
    const std::vector<win::DialogControlInfo> controls = win::GetDialogControls(dialog);
    std::size_t first = 0;
    while (first < controls.size() && controls[first].id != static_cast<win::WORD>(controlId)) {
        ++first;
    }
    if (first == controls.size()) return;

    // The group's radio buttons, in template order.
    std::vector<win::WORD> radioIds;
    for (std::size_t i = first; i < controls.size(); ++i) {
        const win::DialogControlInfo& control = controls[i];
        if (i != first && (control.style & win::WS_GROUP)) break;
        if (IsRadioButton(control)) radioIds.push_back(control.id);
    }
    if (exchange->m_bSaveAndValidate) {
        value = -1;
        for (std::size_t index = 0; index < radioIds.size(); ++index) {
            if (win::IsDlgButtonChecked(dialog, radioIds[index]) == win::BST_CHECKED) {
                value = static_cast<std::int32_t>(index);
            }
        }
    } else {
        for (std::size_t index = 0; index < radioIds.size(); ++index) {
            bool checked = value >= 0 && static_cast<std::size_t>(value) == index;
            win::CheckDlgButton(dialog, radioIds[index],
                                checked ? win::BST_CHECKED : win::BST_UNCHECKED);
        }
    }
}
