// The framework's window: the procedure chain from the device window to the C++ object.
#include "framework/wnd.h"

#include "framework/data_exchange.h"
#include "framework/win_app.h"
#include "platform/dialog.h"

CWnd::~CWnd() {
    // The window's procedure points at this object, so the window must not outlive it. The
    // derived parts are gone already: this is the framework's own destruction, no override's.
    if (m_hWnd != 0 && win::IsWindow(m_hWnd)) win::DestroyWindow(m_hWnd);
    if (AfxGetMainWnd() == this) AfxSetMainWnd(nullptr);
}

win::BOOL CWnd::DestroyWindow() {
    if (m_hWnd == 0) return win::FALSE;
    win::HWND window = m_hWnd;
    m_hWnd = 0;
    return destroying_ ? win::TRUE : win::DestroyWindow(window);
}

win::LRESULT CWnd::WindowProc(win::UINT message, win::WPARAM wParam, win::LPARAM lParam) {
    if (message == win::WM_COMMAND && OnCommand(win::HIWORD(wParam), win::LOWORD(wParam))) {
        return 0;
    }
    return DefWindowProc(message, wParam, lParam);
}

win::LRESULT CWnd::DefWindowProc(win::UINT message, win::WPARAM wParam, win::LPARAM lParam) {
    return win::DefDlgProcW(m_hWnd, message, wParam, lParam);
}

bool CWnd::OnCommand(win::WORD /*notification*/, win::WORD /*controlId*/) {
    return false;
}

win::BOOL CWnd::UpdateData(win::BOOL saveAndValidate) {
    if (!win::IsWindow(m_hWnd)) return win::FALSE;
    CDataExchange exchange(this, saveAndValidate);
    DoDataExchange(&exchange);
    return win::TRUE;
}

void CWnd::DoDataExchange(CDataExchange* /*exchange*/) {}

win::LRESULT CWnd::SendMessage(win::UINT message, win::WPARAM wParam, win::LPARAM lParam) {
    return win::SendMessageW(m_hWnd, message, wParam, lParam);
}

win::HICON CWnd::SetIcon(win::HICON icon, win::BOOL bigIcon) {
    return static_cast<win::HICON>(SendMessage(win::WM_SETICON,
                                               bigIcon ? win::ICON_BIG : win::ICON_SMALL,
                                               static_cast<win::LPARAM>(icon)));
}

void CWnd::CenterWindow(CWnd* alternateOwner) {
    win::RECT window;
    if (!win::GetWindowRect(m_hWnd, &window)) return;
    win::RECT work = win::GetWorkArea();
    win::HWND owner = alternateOwner ? alternateOwner->m_hWnd : win::GetParent(m_hWnd);
    win::RECT centre = work;
    win::RECT ownerRect;
    if (owner != 0 && win::IsWindowVisible(owner) && win::GetWindowRect(owner, &ownerRect)) {
        centre = ownerRect;
    }
    win::LONG width = window.right - window.left;
    win::LONG height = window.bottom - window.top;
    win::LONG left = (centre.left + centre.right) / 2 - width / 2;
    win::LONG top = (centre.top + centre.bottom) / 2 - height / 2;
    // Within the work area: the far edges first, so that a window larger than the work area
    // keeps its top left corner visible.
    if (left + width > work.right) left = work.right - width;
    if (left < work.left) left = work.left;
    if (top + height > work.bottom) top = work.bottom - height;
    if (top < work.top) top = work.top;
    win::MoveWindow(m_hWnd, left, top, width, height);
}

void CWnd::SetDlgItemText(int controlId, std::u16string_view text) {
    win::SetDlgItemTextW(m_hWnd, controlId, text);
}

win::UINT CWnd::GetDlgItemText(int controlId, win::WCHAR* buffer, int maxCount) const {
    return win::GetDlgItemTextW(m_hWnd, controlId, buffer, maxCount);
}

win::WNDPROC CWnd::MakeProcedure(CWnd* self) {
    return [self](win::HWND window, win::UINT message, win::WPARAM wParam,
                  win::LPARAM lParam) -> win::LRESULT {
        // The first message (WM_INITDIALOG) arrives before the creating call has returned the
        // handle, so the object learns its window here.
        if (self->m_hWnd == 0 && message != win::WM_DESTROY) self->m_hWnd = window;
        if (message == win::WM_DESTROY) self->destroying_ = true;
        win::LRESULT result = self->WindowProc(message, wParam, lParam);
        if (message == win::WM_DESTROY) {
            // The window is going: the object no longer has one, and a main window that is
            // destroyed is forgotten.
            self->destroying_ = false;
            if (self->m_hWnd == window) self->m_hWnd = 0;
            if (AfxGetMainWnd() == self) AfxSetMainWnd(nullptr);
        }
        return result;
    };
}
