// The framework's dialog: modal runs, modeless creation, the standard OK and cancel.
#include "framework/dialog.h"

#include "platform/dialog.h"

CDialog::CDialog(win::UINT templateId, CWnd* parent)
    : m_nIDTemplate(templateId), m_pParentWnd(parent) {}

CDialog::~CDialog() = default;

bool CDialog::CreateFromTemplate() {
    const win::DialogTemplate* dialog = win::FindDialogResource(static_cast<int>(m_nIDTemplate));
    if (!dialog) return false;
    win::HWND parent = m_pParentWnd ? m_pParentWnd->m_hWnd : 0;
    win::HWND window = win::CreateDialogIndirectW(*dialog, parent, MakeProcedure(this));
    if (window == 0) return false;
    m_hWnd = window;
    return true;
}

int CDialog::DoModal() {
    if (!CreateFromTemplate()) return -1;
    int result = win::RunModalLoop(m_hWnd);
    // Every modal run ends here, whichever way the dialog was closed; the window is hidden.
    DestroyWindow();
    return result;
}

win::BOOL CDialog::Create(win::UINT templateId, CWnd* parent) {
    m_nIDTemplate = templateId;
    m_pParentWnd = parent;
    return CreateFromTemplate() ? win::TRUE : win::FALSE;
}

win::BOOL CDialog::OnInitDialog() {
    UpdateData(win::FALSE);
    return win::TRUE;
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
    return CWnd::WindowProc(message, wParam, lParam);
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
