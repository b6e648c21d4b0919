#pragma once
// The framework's window: a C++ object bound to one device window. Its window procedure is the
// virtual WindowProc: a derived class's override does its own work and passes the message on;
// the framework's WindowProc runs the message map (OnCommand) and then DefWindowProc.

#include "framework/cstring.h"
#include "platform/window.h"

class CDataExchange;

class CWnd {
  public:
    CWnd() = default;
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    win::HWND m_hWnd = 0;

    // Destroys the window (the framework calls this at the end of every modal run). Returns
    // FALSE when there is no window. Called while the window handles its WM_DESTROY, when it
    // is going already, it only forgets the window: destroying it again from there would run
    // its destruction twice.
    virtual win::BOOL DestroyWindow();

    // The window procedure: the message map for WM_COMMAND (OnCommand), then DefWindowProc.
    virtual win::LRESULT WindowProc(win::UINT message, win::WPARAM wParam, win::LPARAM lParam);

    // What the framework does with a message nobody handled: the platform's default processing.
    virtual win::LRESULT DefWindowProc(win::UINT message, win::WPARAM wParam, win::LPARAM lParam);

    // The message map: handles WM_COMMAND (notification code, control id); true when a row
    // matched. The base has no rows.
    virtual bool OnCommand(win::WORD notification, win::WORD controlId);

    // Data exchange: TRUE towards the members (save), FALSE towards the controls. FALSE, with
    // the members and controls untouched, when the object has no window to exchange with.
    win::BOOL UpdateData(win::BOOL saveAndValidate = win::TRUE);
    virtual void DoDataExchange(CDataExchange* exchange);

    win::LRESULT SendMessage(win::UINT message, win::WPARAM wParam = 0, win::LPARAM lParam = 0);
    win::HICON SetIcon(win::HICON icon, win::BOOL bigIcon);
    // Centres the window over its owner when that is visible, otherwise over the work area,
    // then moves it as needed to lie within the work area; size and z-order are kept.
    void CenterWindow(CWnd* alternateOwner = nullptr);
    void SetDlgItemText(int controlId, std::u16string_view text);
    win::UINT GetDlgItemText(int controlId, win::WCHAR* buffer, int maxCount) const;

    // The window procedure installed for every framework window: forwards to WindowProc.
    static win::WNDPROC MakeProcedure(CWnd* self);

  private:
    bool destroying_ = false;  // the window is handling its WM_DESTROY
};
