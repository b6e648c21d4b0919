// Registered messages and thread message queues: the real window system's.
#include "platform/fault.h"
#include "platform/internal/win_internal.h"
#include "platform/message.h"

namespace win {
namespace {

// A queued message with the device's 32-bit fields. Every message this system posts carries
// 32-bit values, so nothing of its own is cut here.
MSG FromNative(const ::MSG& real) {
    return MSG{detail::FromNativeWindow(real.hwnd), real.message, static_cast<WPARAM>(real.wParam),
               static_cast<LPARAM>(real.lParam)};
}

}  // namespace

UINT RegisterWindowMessageW(std::u16string_view name) {
    if (fault::ShouldFail(fault::Op::RegisterMessage, ERROR_GEN_FAILURE)) return 0;
    const std::u16string ownName(name);
    return ::RegisterWindowMessageW(detail::Wide(ownName));
}

// Registered messages and clipboard formats share one table of names, which is the documented
// way back from an id to its name.
std::u16string GetRegisteredMessageName(UINT id) {
    if (id < 0xC000 || id > 0xFFFF) return {};
    wchar_t name[256];
    int length = ::GetClipboardFormatNameW(id, name, static_cast<int>(std::size(name)));
    return length > 0 ? detail::FromWide(name, static_cast<std::size_t>(length)) : u"";
}

BOOL PostThreadMessageW(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
    if (fault::ShouldFail(fault::Op::PostMessage, ERROR_GEN_FAILURE)) return FALSE;
    return ::PostThreadMessageW(threadId, message, wParam, lParam);
}

BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (fault::ShouldFail(fault::Op::PostMessage, ERROR_GEN_FAILURE)) return FALSE;
    return ::PostMessageW(detail::ToNativeWindow(window), message, wParam, lParam);
}

// The real GetMessageW reports WM_QUIT as 0; here it is a message like any other.
BOOL GetMessageW(MSG* msg) {
    ::MSG real;
    if (!msg || ::GetMessageW(&real, nullptr, 0, 0) == -1) return FALSE;
    *msg = FromNative(real);
    return TRUE;
}

BOOL PeekMessageW(MSG* msg) {
    ::MSG real;
    if (!msg || !::PeekMessageW(&real, nullptr, 0, 0, PM_REMOVE)) return FALSE;
    *msg = FromNative(real);
    return TRUE;
}

}  // namespace win
