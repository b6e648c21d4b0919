#pragma once
// The dialog manager: dialogs built from templates, their controls, default dialog
// processing, and modal loops over the thread's message queue.
//
// The dialog manager owns the model (controls, texts, check states, focus). On Linux that is
// ours (dialog_posix.h), and a renderer (renderer_posix.h) only draws the model and turns input
// into messages posted to the dialog; on Windows it is the real one.

#include <vector>

#include "platform/window.h"

namespace win {

// Window and control styles used by templates.
inline constexpr DWORD WS_POPUP = 0x80000000;
inline constexpr DWORD WS_CHILD = 0x40000000;
inline constexpr DWORD WS_VISIBLE = 0x10000000;
inline constexpr DWORD WS_DISABLED = 0x08000000;
inline constexpr DWORD WS_CAPTION = 0x00C00000;
inline constexpr DWORD WS_BORDER = 0x00800000;
inline constexpr DWORD WS_GROUP = 0x00020000;
inline constexpr DWORD WS_TABSTOP = 0x00010000;
inline constexpr DWORD DS_SETFONT = 0x00000040;
inline constexpr DWORD DS_MODALFRAME = 0x00000080;
inline constexpr DWORD DS_CENTER = 0x00000800;
inline constexpr DWORD WS_EX_CAPTIONOKBTN = 0x80000000;  // an OK button in the title bar
inline constexpr DWORD BS_PUSHBUTTON = 0x0;
inline constexpr DWORD BS_DEFPUSHBUTTON = 0x1;
inline constexpr DWORD BS_AUTORADIOBUTTON = 0x9;
inline constexpr DWORD BS_GROUPBOX = 0x7;
inline constexpr DWORD BS_TYPEMASK = 0xF;
inline constexpr DWORD ES_CENTER = 0x1;
inline constexpr DWORD ES_MULTILINE = 0x4;
inline constexpr DWORD ES_READONLY = 0x800;
inline constexpr DWORD SS_LEFT = 0x0;
inline constexpr DWORD SS_RIGHT = 0x2;

inline constexpr UINT BST_UNCHECKED = 0;
inline constexpr UINT BST_CHECKED = 1;
inline constexpr WORD BN_CLICKED = 0;
inline constexpr WORD IDC_STATIC = 0xFFFF;  // a control without an id

// The dialog's default push button id. DM_GETDEFID answers MAKELONG(id, DC_HASDEFID), or 0
// when the dialog has none; DM_SETDEFID (wParam = the id) sets it and answers TRUE.
inline constexpr UINT DM_GETDEFID = WM_USER + 0;
inline constexpr UINT DM_SETDEFID = WM_USER + 1;
inline constexpr WORD DC_HASDEFID = 0x534B;

struct DialogControlTemplate {
    WORD id = IDC_STATIC;
    std::u16string className;  // u"BUTTON", u"EDIT" or u"STATIC"
    std::u16string text;
    short x = 0, y = 0, cx = 0, cy = 0;  // dialog units
    DWORD style = 0;
};

struct DialogTemplate {
    std::u16string title;
    std::u16string fontName;
    int fontPointSize = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;           // dialog units
    std::vector<DialogControlTemplate> controls;  // template order: tab order and groups
};

// The program's dialog resources, by id.
void RegisterDialogResource(int resourceId, const DialogTemplate* dialog);
const DialogTemplate* FindDialogResource(int resourceId);

// Creates a dialog window from the template (modeless): the window and its controls are
// made, the dialog is listed as a top-level window of the device, WM_INITDIALOG is sent to
// procedure (a TRUE result puts the focus on the first visible, enabled tab stop), and the
// window is shown when the template's style has WS_VISIBLE. The template's size is the client
// area's; the renderer's frame and caption come around it (Renderer::DialogFrame), and
// DS_CENTER centres the whole window in the work area. The template's last BS_DEFPUSHBUTTON,
// if any, gives the default id. 0 on failure.
HWND CreateDialogIndirectW(const DialogTemplate& dialog, HWND parent, WNDPROC procedure);

// Runs the dialog modally: creates it as CreateDialogIndirectW does, runs the modal loop
// (keyboard messages go through the dialog's default processing) until EndDialog is called
// for it, destroys the window and returns the result given to EndDialog. -1 when the window
// could not be made, or was destroyed without EndDialog. On Windows the real dialog manager
// runs the loop, and the keyboard rules of DefDlgProcW below hold there too: Return clicks the
// focused push button however it got the focus, and the arrow keys pass over static controls
// and group boxes.
int DialogBoxIndirectW(const DialogTemplate& dialog, HWND parent, WNDPROC procedure);

// Ends the dialog's modal loop with the result (the loop returns after the current message).
BOOL EndDialog(HWND dialog, int result);

// Default dialog processing, as the platform's dialog manager does it. The keys are a dialog's
// in its modal loop: on Linux the renderer posts them to the dialog and this processing takes
// them; on Windows the keyboard gives them to the focused control and the real loop takes them
// (IsDialogMessage, with the message filter that keeps the rules below), so a key sent to a
// dialog's procedure is not processed there. BM_CLICK to a dialog is our renderer's click
// (Linux only); Windows clicks the button itself.
// - WM_CLOSE posts WM_COMMAND IDCANCEL.
// - WM_KEYDOWN: Tab and Shift-Tab walk the visible, enabled tab stops in template order; the
//   arrow keys move within the focused control's group (GetNextDlgGroupItem's rule), never
//   onto a static control or group box, and an auto radio button they reach is clicked; Return
//   clicks the focused push button, otherwise gives the default id (DM_GETDEFID) or IDOK; Esc
//   gives IDCANCEL. A control that wants a key keeps it (an edit takes the arrow keys).
// - Space pushes the focused button in (drawn pressed); its WM_KEYUP clicks the button that is
//   still pushed. An auto-repeated Space pushes nothing, and a button loses its push without
//   a click when the focus moves away from it.
// - The focused push button is drawn as the default push button; with the focus elsewhere
//   the default id's button is.
// - BM_CLICK clicks the control wParam as a user would (an auto radio button checks itself
//   and unchecks the rest of its group, then WM_COMMAND BN_CLICKED is sent).
// - DM_GETDEFID, DM_SETDEFID as above; WM_SETICON stores the icon; everything else returns 0.
LRESULT DefDlgProcW(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Control state. Unknown dialog or control: FALSE / 0 / empty.
BOOL SetDlgItemTextW(HWND dialog, int controlId, std::u16string_view text);
// Copies at most maxCount - 1 code units and a terminator; returns the units copied.
UINT GetDlgItemTextW(HWND dialog, int controlId, WCHAR* buffer, int maxCount);
std::u16string GetDlgItemText(HWND dialog, int controlId);
BOOL CheckDlgButton(HWND dialog, int controlId, UINT check);
UINT IsDlgButtonChecked(HWND dialog, int controlId);
int GetFocusedControl(HWND dialog);  // the id, or 0 when none has the focus
// Moves the focus as the dialog manager does (WM_NEXTDLGCTL): the default push button look
// follows it, and a button pushed in by Space comes out without a click.
BOOL SetFocusedControl(HWND dialog, int controlId);

// A dialog's controls in template order (the order of its child windows on Windows): id,
// window class and current style. Empty for an unknown dialog.
struct DialogControlInfo {
    WORD id = IDC_STATIC;
    std::u16string className;
    DWORD style = 0;
};
std::vector<DialogControlInfo> GetDialogControls(HWND dialog);

}  // namespace win
