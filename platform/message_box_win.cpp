// Message boxes: the window system's own.
#include <utility>

#include "platform/message_box.h"
#include "platform/windows_api.h"

namespace win {
namespace {

MessageBoxObserver& Observer() {
    static MessageBoxObserver observer;
    return observer;
}

}  // namespace

int MessageBoxW(HWND owner, std::u16string_view text, std::u16string_view caption, UINT type) {
    if (Observer()) Observer()(text, caption, type);
    const std::u16string ownText(text), ownCaption(caption);
    return ::MessageBoxW(detail::ToNativeWindow(owner), detail::Wide(ownText),
                         detail::Wide(ownCaption), type);
}

void SetMessageBoxObserver(MessageBoxObserver observer) {
    Observer() = std::move(observer);
}

}  // namespace win
