// The framework's dialog: modal runs, modeless creation, the standard OK and cancel.
#include "framework/dialog.h"

#include "framework/win_app.h"
#include "platform/dialog.h"

namespace {

// The main window when no application object exists (tools and tests).
CWnd* g_mainWindowWithoutApp = nullptr;

}  // namespace

CDialog::CDialog(win::UINT templateId, CWnd* parent)
    : m_nIDHelp(templateId), m_pParentWnd(parent) {}

CDialog::~CDialog() = default;

int CDialog::DoModal() {
    const win::DialogTemplate* dialog = win::FindDialogResource(static_cast<int>(m_nIDHelp));
    if (!dialog) return -1;
    win::HWND parent = m_pParentWnd ? m_pParentWnd->m_hWnd : 0;
    int result = win::DialogBoxIndirectW(*dialog, parent, MakeProcedure(this));
    // Every modal run ends here, whichever way the dialog was closed; the platform's modal run
    // has destroyed the window by now.
    DestroyWindow();
    return result;
}

win::BOOL CDialog::Create(win::UINT templateId, CWnd* parent) {
    m_nIDHelp = templateId;
    m_pParentWnd = parent;
    const win::DialogTemplate* dialog = win::FindDialogResource(static_cast<int>(templateId));
    if (!dialog) return win::FALSE;
    win::HWND window =
        win::CreateDialogIndirectW(*dialog, parent ? parent->m_hWnd : 0, MakeProcedure(this));
    if (window == 0) return win::FALSE;
    m_hWnd = window;
    return win::TRUE;
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

CWnd* AfxGetMainWnd() {
    if (CWinApp* app = AfxGetApp()) return app->m_pMainWnd;
    return g_mainWindowWithoutApp;
}

void AfxSetMainWnd(CWnd* window) {
    if (CWinApp* app = AfxGetApp()) {
        app->m_pMainWnd = window;
    } else {
        g_mainWindowWithoutApp = window;
    }
}
