#pragma once
// The framework's dialog: built from a dialog resource, run modally or created modeless.

#include "framework/wnd.h"
#include "platform/dialog.h"

class CDialog : public CWnd {
  public:
    // Prepares the dialog for the template resource; no window exists yet.
    explicit CDialog(win::UINT templateId, CWnd* parent = nullptr);
    ~CDialog() override;

    // Modal run: the platform's modal run of the template (the window is made, OnInitDialog
    // runs, the modal loop lasts until EndDialog, the window is hidden and destroyed). The
    // virtual DestroyWindow ends every modal run: when the platform's run destroys the window,
    // while the window still exists (its WM_DESTROY), so that an override's work comes before
    // the window goes; or after the run when no window came to be. Returns the result given to
    // EndDialog, -1 when the window could not be made.
    virtual int DoModal();

    // Modeless creation from a template resource; TRUE when the window exists.
    virtual win::BOOL Create(win::UINT templateId, CWnd* parent = nullptr);

    // Initialisation: one data exchange towards the controls; returns TRUE so the platform
    // places the initial focus.
    virtual win::BOOL OnInitDialog();

    // As CWnd's; a modal run that has not ended yet then has no DestroyWindow of its own left
    // to run, so an override's work is done once.
    win::BOOL DestroyWindow() override;

    // The standard OK (id 1): data exchange towards the members, then EndDialog(1).
    virtual void OnOK();
    // The standard cancel (id 2): EndDialog(2).
    virtual void OnCancel();
    void EndDialog(int result);

    // WM_INITDIALOG runs OnInitDialog; otherwise as CWnd, and a modal run's WM_DESTROY then
    // runs DestroyWindow (DoModal).
    win::LRESULT WindowProc(win::UINT message, win::WPARAM wParam, win::LPARAM lParam) override;
    // The framework's rows: IDOK -> OnOK, IDCANCEL -> OnCancel.
    bool OnCommand(win::WORD notification, win::WORD controlId) override;

  protected:
    win::UINT m_nIDTemplate;  // the dialog template resource the window is made from
    CWnd* m_pParentWnd;

  private:
    // The template resource m_nIDTemplate, or nullptr when the program has none of that id.
    const win::DialogTemplate* FindTemplate() const;
    // The owner of the window: m_pParentWnd's window, or none.
    win::HWND ParentWindow() const;

    bool modalRunEnding_ = false;  // a modal run whose DestroyWindow has not run yet
};

// A message map: rows of (notification, control id, handler) searched in order.
template <class T>
struct CommandMapEntry {
    win::WORD notification;
    win::WORD controlId;
    void (T::*handler)();
};

// Runs the first row that matches; true when one did.
template <class T, class Map>
bool DispatchCommandMap(T& self, const Map& map, win::WORD notification, win::WORD controlId) {
    for (const auto& row : map) {
        if (row.notification == notification && row.controlId == controlId) {
            (self.*row.handler)();
            return true;
        }
    }
    return false;
}
