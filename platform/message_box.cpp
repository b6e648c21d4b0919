// The headless message box: the caption and the text as one line on standard error, answered
// at once as if OK were pressed.
#include "platform/message_box.h"

#include <unistd.h>

#include <cerrno>
#include <string>
#include <utility>

#include "platform/unicode.h"

namespace win {
namespace {

MessageBoxObserver& Observer() {
    static MessageBoxObserver observer;
    return observer;
}

// Writes the whole line with as few writes as the descriptor allows, so that lines of
// different processes sharing one standard error do not interleave.
void WriteLine(const std::string& line) {
    std::size_t done = 0;
    while (done < line.size()) {
        ssize_t n = ::write(STDERR_FILENO, line.data() + done, line.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

}  // namespace

int MessageBoxW(HWND /*owner*/, std::u16string_view text, std::u16string_view caption, UINT type) {
    if (Observer()) Observer()(text, caption, type);
    WriteLine(Utf16ToUtf8(caption) + ": " + Utf16ToUtf8(text) + "\n");
    return IDOK;
}

void SetMessageBoxObserver(MessageBoxObserver observer) {
    Observer() = std::move(observer);
}

}  // namespace win
