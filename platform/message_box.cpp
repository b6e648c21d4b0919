// Message boxes: shown by the current renderer. The headless renderer writes the caption and
// the text as one line on standard error and answers at once as if OK were pressed.
#include "platform/message_box.h"

#include <utility>

#include "platform/renderer.h"

namespace win {
namespace {

MessageBoxObserver& Observer() {
    static MessageBoxObserver observer;
    return observer;
}

}  // namespace

int MessageBoxW(HWND owner, std::u16string_view text, std::u16string_view caption, UINT type) {
    if (Observer()) Observer()(text, caption, type);
    return CurrentRenderer().MessageBox(owner, text, caption, type);
}

void SetMessageBoxObserver(MessageBoxObserver observer) {
    Observer() = std::move(observer);
}

}  // namespace win
