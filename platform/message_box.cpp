// Message boxes: the observer, then the platform's own box (the renderer's on Linux, the
// window system's on Windows).
#include "platform/message_box.h"

#include <utility>

#include "platform/internal/platform_internal.h"

namespace win {
namespace {

MessageBoxObserver& Observer() {
    static MessageBoxObserver observer;
    return observer;
}

}  // namespace

int MessageBoxW(HWND owner, std::u16string_view text, std::u16string_view caption, UINT type) {
    if (Observer()) Observer()(text, caption, type);
    return detail::ShowMessageBox(owner, text, caption, type);
}

void SetMessageBoxObserver(MessageBoxObserver observer) {
    Observer() = std::move(observer);
}

}  // namespace win
