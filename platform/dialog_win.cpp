// The dialog manager on Windows: the real one. A DialogTemplate becomes an in-memory dialog
// template; the dialog's window procedure is the caller's WNDPROC, installed before the window
// takes its first message, with the real default dialog processing behind it. A message
// filter on the modal loop keeps two keyboard rules that the real one breaks when a control
// gets the focus by other ways than its own keys (KeyFilter).
#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "platform/dialog.h"
#include "platform/internal/win_internal.h"

namespace win {
namespace {

// A dialog window of this thread and the procedures it runs.
struct DialogWindow {
    WNDPROC procedure;        // the caller's; cleared once it has had WM_DESTROY
    ::WNDPROC original = {};  // the dialog class's, which runs the default dialog processing
};

// A real message being delivered to a procedure, with its full parameters: the 32-bit
// procedure sees them cut to 32 bits, and DefDlgProcW hands the default processing the full
// ones (pointers in WM_NCCREATE, WM_SETTEXT, WM_WINDOWPOSCHANGING, ...) and its full result.
struct Delivery {
    ::HWND hwnd;
    ::UINT message;
    ::WPARAM wParam;
    ::LPARAM lParam;
    bool defaulted = false;
    ::LRESULT defaultResult = 0;
};

// Windows belong to the thread that made them, and so does all of this.
thread_local std::map<::HWND, std::shared_ptr<DialogWindow>> t_dialogs;
thread_local std::vector<Delivery*> t_deliveries;  // innermost last
thread_local std::shared_ptr<DialogWindow> t_creating;
thread_local ::HHOOK t_creationHook = nullptr;
thread_local ::HHOOK t_keyFilter = nullptr;

::LRESULT CALLBACK DialogWindowProc(::HWND hwnd, ::UINT message, ::WPARAM wParam, ::LPARAM lParam) {
    auto it = t_dialogs.find(hwnd);
    if (it == t_dialogs.end()) return ::DefWindowProcW(hwnd, message, wParam, lParam);
    // Held here: the procedure may destroy its own window, which forgets the entry.
    const std::shared_ptr<DialogWindow> dialog = it->second;
    if (!dialog->procedure) {
        // After WM_DESTROY only the real processing runs (WM_NCDESTROY, the last message).
        ::LRESULT result = ::CallWindowProcW(dialog->original, hwnd, message, wParam, lParam);
        if (message == WM_NCDESTROY) t_dialogs.erase(hwnd);
        return result;
    }
    Delivery delivery{hwnd, message, wParam, lParam};
    t_deliveries.push_back(&delivery);
    const LRESULT result =
        dialog->procedure(detail::FromNativeWindow(hwnd), message, static_cast<WPARAM>(wParam),
                          static_cast<LPARAM>(lParam));
    t_deliveries.pop_back();
    if (message == WM_INITDIALOG && result) {
        // The first focus goes where the dialog manager would put it (wParam), but through
        // WM_NEXTDLGCTL, as every later move does: a push button that takes the focus is the
        // default one while it has it, the first focus included, so Return clicks it.
        ::SendMessageW(hwnd, WM_NEXTDLGCTL, wParam, TRUE);
        return FALSE;
    }
    // As on the device, a window's procedure has WM_DESTROY last.
    if (message == WM_DESTROY) dialog->procedure = nullptr;
    // The default processing's own result when the procedure passed it on, whole.
    if (delivery.defaulted && static_cast<LRESULT>(delivery.defaultResult) == result)
        return delivery.defaultResult;
    return result;
}

// Installs the caller's procedure on the dialog window as soon as it exists, before its first
// message (WM_NCCREATE), and takes itself out again.
::LRESULT CALLBACK CreationHook(int code, ::WPARAM wParam, ::LPARAM lParam) {
    if (code == HCBT_CREATEWND && t_creating) {
        ::HWND hwnd = reinterpret_cast<::HWND>(wParam);
        wchar_t className[16] = {};
        ::GetClassNameW(hwnd, className, static_cast<int>(std::size(className)));
        if (std::wstring_view(className) == L"#32770") {  // the dialog, not one of its controls
            t_creating->original = reinterpret_cast<::WNDPROC>(::SetWindowLongPtrW(
                hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DialogWindowProc)));
            t_dialogs[hwnd] = std::move(t_creating);
            ::UnhookWindowsHookEx(t_creationHook);
            t_creationHook = nullptr;
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

::UINT DialogCode(::HWND control) {
    return static_cast<::UINT>(::SendMessageW(control, WM_GETDLGCODE, 0, 0));
}

// Return: a push button with the focus is the dialog's default push button while it has it,
// however it got the focus (a mouse click sets the focus without WM_NEXTDLGCTL, and the focus
// given back after a message box is set the same way). WM_NEXTDLGCTL gives the focused button
// the default push button border, and IsDialogMessage's own Return rule then clicks the
// control that reports DLGC_DEFPUSHBUTTON: the dialog manager goes on with the key.
void ReturnToFocusedButton(::HWND dialog, ::HWND focus) {
    if (DialogCode(focus) & DLGC_UNDEFPUSHBUTTON)
        ::SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<::WPARAM>(focus), TRUE);
}

// The arrow keys: the dialog manager moves the focus to the next (or previous) control of the
// group, in GetNextDlgGroupItem's order, which passes over hidden and disabled controls and
// wraps round within the group; but a control that reports DLGC_STATIC (a label, a group box)
// cannot take the focus, so the walk passes over it too. When nothing is passed over, the
// dialog manager moves the focus itself (false); otherwise the focus goes to the control
// found, through WM_NEXTDLGCTL as the dialog manager sends it, or stays when there is none.
bool MoveFocusInGroup(::HWND dialog, ::HWND focus, bool previous) {
    if (DialogCode(focus) & DLGC_WANTARROWS) return false;
    int controls = 0;
    for (::HWND c = ::GetWindow(dialog, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) ++controls;
    const ::HWND first = ::GetNextDlgGroupItem(dialog, focus, previous);
    ::HWND next = first;
    for (int n = 0; n < controls && next && next != focus && (DialogCode(next) & DLGC_STATIC); ++n)
        next = ::GetNextDlgGroupItem(dialog, next, previous);
    if (next == first) return false;
    if (next && next != focus && !(DialogCode(next) & DLGC_STATIC))
        ::SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<::WPARAM>(next), TRUE);
    return true;
}

// The dialog's keyboard rules (DefDlgProcW in dialog.h) on top of the real dialog manager: a
// message filter on the dialog's modal loop (WH_MSGFILTER with MSGF_DIALOGBOX: called for each
// input message before IsDialogMessage handles it; a nonzero answer keeps the message from
// it). It takes the Return and arrow keys of our own dialogs only; a message box's keys, and
// every other key, are the dialog manager's alone.
::LRESULT CALLBACK KeyFilter(int code, ::WPARAM wParam, ::LPARAM lParam) {
    const auto* msg = reinterpret_cast<const ::MSG*>(lParam);
    if (code == MSGF_DIALOGBOX && msg && msg->message == WM_KEYDOWN) {
        const ::HWND dialog = ::GetAncestor(msg->hwnd, GA_PARENT);
        if (dialog && t_dialogs.count(dialog)) {
            switch (msg->wParam) {
                case VK_RETURN:
                    ReturnToFocusedButton(dialog, msg->hwnd);
                    break;
                case VK_LEFT:
                case VK_UP:
                case VK_RIGHT:
                case VK_DOWN:
                    if (MoveFocusInGroup(dialog, msg->hwnd,
                                         msg->wParam == VK_LEFT || msg->wParam == VK_UP))
                        return TRUE;
                    break;
                default:
                    break;
            }
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

// The key filter for as long as the thread runs a modal loop of ours (the outermost one
// installs it).
class KeyFilterInstalled {
  public:
    KeyFilterInstalled() {
        if (t_keyFilter) return;
        t_keyFilter =
            ::SetWindowsHookExW(WH_MSGFILTER, &KeyFilter, nullptr, ::GetCurrentThreadId());
        owner_ = t_keyFilter != nullptr;
    }
    ~KeyFilterInstalled() {
        if (!owner_) return;
        ::UnhookWindowsHookEx(t_keyFilter);
        t_keyFilter = nullptr;
    }
    KeyFilterInstalled(const KeyFilterInstalled&) = delete;
    KeyFilterInstalled& operator=(const KeyFilterInstalled&) = delete;

  private:
    bool owner_ = false;
};

// All of a dialog's handling is in its window procedure; the dialog procedure leaves every
// message to the default processing.
INT_PTR CALLBACK NoDialogProc(::HWND, ::UINT, ::WPARAM, ::LPARAM) {
    return FALSE;
}

// The template in the layout the dialog manager reads (DLGTEMPLATE, then DLGITEMTEMPLATE for
// each control, each on a 4-byte boundary). Desktop Windows has no title-bar OK button, so
// that extended style is left out.
class TemplateWriter {
  public:
    std::vector<WORD> Write(const DialogTemplate& dialog) {
        DWORD style = dialog.style;
        if (!detail::WindowsOnScreen()) style &= ~static_cast<DWORD>(WS_VISIBLE);
        Dword(style);
        Dword(dialog.exStyle & ~kCaptionOkButton);
        words_.push_back(static_cast<WORD>(dialog.controls.size()));
        Shorts({dialog.x, dialog.y, dialog.cx, dialog.cy});
        words_.push_back(0);  // no menu
        words_.push_back(0);  // the dialog class
        Text(dialog.title);
        if (style & DS_SETFONT) {
            words_.push_back(static_cast<WORD>(dialog.fontPointSize));
            Text(dialog.fontName);
        }
        for (const DialogControlTemplate& control : dialog.controls) {
            if (words_.size() % 2) words_.push_back(0);
            Dword(control.style);
            Dword(0);
            Shorts({control.x, control.y, control.cx, control.cy});
            words_.push_back(control.id);
            Text(control.className);
            Text(control.text);
            words_.push_back(0);  // no creation data
        }
        return std::move(words_);
    }

  private:
    static constexpr DWORD kCaptionOkButton = 0x80000000;

    void Dword(DWORD value) {
        words_.push_back(static_cast<WORD>(value & 0xFFFF));
        words_.push_back(static_cast<WORD>(value >> 16));
    }
    void Shorts(std::initializer_list<short> values) {
        for (short v : values) words_.push_back(static_cast<WORD>(v));
    }
    void Text(const std::u16string& text) {
        words_.insert(words_.end(), text.begin(), text.end());
        words_.push_back(0);
    }

    std::vector<WORD> words_;
};

// Runs create(template) with the caller's procedure waiting for the dialog window.
template <typename Create>
auto CreateWithProcedure(const DialogTemplate& dialog, WNDPROC procedure, Create create) {
    // DWORD-aligned, as the dialog manager requires.
    const std::vector<WORD> words = TemplateWriter().Write(dialog);
    std::vector<DWORD> aligned((words.size() + 1) / 2);
    std::memcpy(aligned.data(), words.data(), words.size() * sizeof(WORD));
    t_creating = std::make_shared<DialogWindow>(DialogWindow{std::move(procedure)});
    t_creationHook = ::SetWindowsHookExW(WH_CBT, &CreationHook, nullptr, ::GetCurrentThreadId());
    auto result = create(reinterpret_cast<const DLGTEMPLATE*>(aligned.data()));
    // A creation that failed before the window existed leaves both behind.
    if (t_creationHook) ::UnhookWindowsHookEx(t_creationHook);
    t_creationHook = nullptr;
    t_creating.reset();
    return result;
}

::HWND Item(HWND dialog, int controlId) {
    return ::GetDlgItem(detail::ToNativeWindow(dialog), controlId);
}

}  // namespace

HWND CreateDialogIndirectW(const DialogTemplate& dialog, HWND parent, WNDPROC procedure) {
    if (!procedure) return 0;
    ::HWND hwnd = CreateWithProcedure(dialog, std::move(procedure), [&](const DLGTEMPLATE* t) {
        return ::CreateDialogIndirectParamW(::GetModuleHandleW(nullptr), t,
                                            detail::ToNativeWindow(parent), &NoDialogProc, 0);
    });
    return detail::FromNativeWindow(hwnd);
}

int DialogBoxIndirectW(const DialogTemplate& dialog, HWND parent, WNDPROC procedure) {
    if (!procedure) return -1;
    const KeyFilterInstalled keyFilter;
    INT_PTR result = CreateWithProcedure(dialog, std::move(procedure), [&](const DLGTEMPLATE* t) {
        return ::DialogBoxIndirectParamW(::GetModuleHandleW(nullptr), t,
                                         detail::ToNativeWindow(parent), &NoDialogProc, 0);
    });
    return static_cast<int>(result);
}

BOOL EndDialog(HWND dialog, int result) {
    return ::EndDialog(detail::ToNativeWindow(dialog), result);
}

LRESULT DefDlgProcW(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    ::HWND hwnd = detail::ToNativeWindow(dialog);
    Delivery* delivery = t_deliveries.empty() ? nullptr : t_deliveries.back();
    const bool same = delivery && delivery->hwnd == hwnd && delivery->message == message &&
                      static_cast<WPARAM>(delivery->wParam) == wParam &&
                      static_cast<LPARAM>(delivery->lParam) == lParam;
    const ::WPARAM fullW = same ? delivery->wParam : wParam;
    const ::LPARAM fullL = same ? delivery->lParam : lParam;
    auto it = t_dialogs.find(hwnd);
    ::LRESULT result = it != t_dialogs.end()
                           ? ::CallWindowProcW(it->second->original, hwnd, message, fullW, fullL)
                           : ::DefDlgProcW(hwnd, message, fullW, fullL);
    if (same) {
        delivery->defaulted = true;
        delivery->defaultResult = result;
    }
    return static_cast<LRESULT>(result);
}

BOOL SetDlgItemTextW(HWND dialog, int controlId, std::u16string_view text) {
    const std::u16string ownText(text);
    return ::SetDlgItemTextW(detail::ToNativeWindow(dialog), controlId, detail::Wide(ownText));
}

UINT GetDlgItemTextW(HWND dialog, int controlId, WCHAR* buffer, int maxCount) {
    if (!buffer || maxCount <= 0) return 0;
    return ::GetDlgItemTextW(detail::ToNativeWindow(dialog), controlId,
                             reinterpret_cast<wchar_t*>(buffer), maxCount);
}

std::u16string GetDlgItemText(HWND dialog, int controlId) {
    ::HWND item = Item(dialog, controlId);
    return item ? GetWindowTextW(detail::FromNativeWindow(item)) : std::u16string();
}

BOOL CheckDlgButton(HWND dialog, int controlId, UINT check) {
    return ::CheckDlgButton(detail::ToNativeWindow(dialog), controlId, check);
}

UINT IsDlgButtonChecked(HWND dialog, int controlId) {
    return ::IsDlgButtonChecked(detail::ToNativeWindow(dialog), controlId);
}

int GetFocusedControl(HWND dialog) {
    ::HWND focus = ::GetFocus();
    if (!focus || ::GetParent(focus) != detail::ToNativeWindow(dialog)) return 0;
    return ::GetDlgCtrlID(focus);
}

BOOL SetFocusedControl(HWND dialog, int controlId) {
    ::HWND item = Item(dialog, controlId);
    return item && ::SetFocus(item) ? TRUE : FALSE;
}

std::vector<DialogControlInfo> GetDialogControls(HWND dialog) {
    std::vector<DialogControlInfo> controls;
    // The dialog manager makes the controls in template order, each below the one before.
    for (::HWND child = ::GetWindow(detail::ToNativeWindow(dialog), GW_CHILD); child;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        wchar_t className[64] = {};
        int length = ::GetClassNameW(child, className, static_cast<int>(std::size(className)));
        controls.push_back({static_cast<WORD>(::GetDlgCtrlID(child)),
                            detail::FromWide(className, length > 0 ? length : 0),
                            static_cast<DWORD>(::GetWindowLongW(child, GWL_STYLE))});
    }
    return controls;
}

}  // namespace win
