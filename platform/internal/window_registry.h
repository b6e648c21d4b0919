#pragma once
// The in-process registry of windows, shared by the window services (window.cpp) and the
// dialog manager (dialog*.cpp). Not part of the platform's public surface.
//
// Windows belong to the thread that made them, and every call on a window is made from that
// thread. A record is held through a shared pointer, so a procedure that destroys its own
// window while a message is being delivered to it keeps running on a live record.

#include <memory>

#include "platform/dialog_posix.h"

namespace win::detail {

struct WindowRecord {
    HWND hwnd = 0;
    HWND parent = 0;
    WNDPROC procedure;
    // The dialog's own copy of its template: the state's control pointers point into it.
    std::unique_ptr<const DialogTemplate> dialogTemplate;
    DialogState state;
    // The default push button id (DM_SETDEFID); 0 when the dialog has none, and Return then
    // gives IDOK.
    WORD defaultId = 0;
    // Modal run: set by EndDialog, read and cleared by RunModalLoop.
    bool endRequested = false;
    int endResult = 0;
    bool destroyed = false;
};

using WindowPtr = std::shared_ptr<WindowRecord>;

// Lists a record under its handle.
void AddWindowRecord(WindowPtr window);
// The record of a live window of this process, or nullptr.
WindowPtr FindWindowRecord(HWND window);
// Forgets the record (it stays alive while a caller still holds it).
void RemoveWindowRecord(HWND window);

// Tells the renderer that the window's model changed.
void NotifyChanged(const WindowRecord& window);

// The index of the control with that id in template order, or -1.
int FindControlIndex(const WindowRecord& window, int controlId);

}  // namespace win::detail
