// The framework's dialog: modal runs, modeless creation, the standard OK and cancel.
#include "framework/dialog.h"

#include "platform/dialog.h"

CDialog::CDialog(win::UINT templateId, CWnd* parent)
    : m_nIDTemplate(templateId), m_pParentWnd(parent) {}

CDialog::~CDialog() = default;

const win::DialogTemplate* CDialog::FindTemplate() const {
    return win::FindDialogResource(static_cast<int>(m_nIDTemplate));
}

win::HWND CDialog::ParentWindow() const {
    return m_pParentWnd ? m_pParentWnd->m_hWnd : 0;
}

int CDialog::DoModal() {
    const win::DialogTemplate* dialog = FindTemplate();
    if (!dialog) return -1;
    modalRunEnding_ = true;
    int result = win::DialogBoxIndirectW(*dialog, ParentWindow(), MakeProcedure(this));
    // Whichever way the dialog was closed, the platform's modal run has destroyed the window by
    // now, and its WM_DESTROY has run DestroyWindow (WindowProc); a run whose window never came
    // to be ends the same way here.
    if (modalRunEnding_) DestroyWindow();
    return result;
}

win::BOOL CDialog::Create(win::UINT templateId, CWnd* parent) {
    m_nIDTemplate = templateId;
    m_pParentWnd = parent;
    const win::DialogTemplate* dialog = FindTemplate();
    if (!dialog) return win::FALSE;
    win::HWND window = win::CreateDialogIndirectW(*dialog, ParentWindow(), MakeProcedure(this));
    if (window == 0) return win::FALSE;
    m_hWnd = window;
    return win::TRUE;
}

win::BOOL CDialog::OnInitDialog() {
    UpdateData(win::FALSE);
    return win::TRUE;
}

win::BOOL CDialog::DestroyWindow() {
    modalRunEnding_ = false;
    return CWnd::DestroyWindow();
}

void CDialog::OnOK() {
    if (!UpdateData(win::TRUE)) return;
    EndDialog(win::IDOK);
}

void CDialog::OnCancel() {
    EndDialog(win::IDCANCEL);
}

void CDialog::EndDialog(int result) {
    win::EndDialog(m_hWnd, result);
}

win::LRESULT CDialog::WindowProc(win::UINT message, win::WPARAM wParam, win::LPARAM lParam) {
    if (message == win::WM_INITDIALOG) return OnInitDialog();
    const win::LRESULT result = CWnd::WindowProc(message, wParam, lParam);
    // The platform's modal run ends by destroying the window, hidden by then. The run's
    // DestroyWindow comes while the window still exists, so that an override's work (the
    // measurement dialog's stop command) comes before the window goes.
    if (message == win::WM_DESTROY && modalRunEnding_) DestroyWindow();
    return result;
}

bool CDialog::OnCommand(win::WORD notification, win::WORD controlId) {
    if (notification != win::BN_CLICKED) return false;
    if (controlId == win::IDOK) {
        OnOK();
        return true;
    }
    if (controlId == win::IDCANCEL) {
        OnCancel();
        return true;
    }
    return false;
}
