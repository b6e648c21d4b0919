// The screen on Windows: the window system draws every window, so what is left to choose is
// whether this process's dialogs and message boxes appear on it.
#include <cstdio>
#include <string>

#include "platform/internal/platform_internal.h"
#include "platform/internal/win_internal.h"
#include "platform/message_box.h"
#include "platform/screen.h"
#include "platform/unicode.h"

namespace win {
namespace {

// A process starts with its windows off the screen, as on Linux; only the thread that runs
// the program's windows asks.
bool g_onScreen = false;

}  // namespace

void ShowWindowsOnScreen() {
    g_onScreen = true;
}

void KeepWindowsOffScreen() {
    g_onScreen = false;
}

namespace detail {

bool WindowsOnScreen() {
    return g_onScreen;
}

int ShowMessageBox(HWND owner, std::u16string_view text, std::u16string_view caption, UINT type) {
    if (!g_onScreen) {
        const std::string line = Utf16ToUtf8(caption) + ": " + Utf16ToUtf8(text) + "\n";
        std::fwrite(line.data(), 1, line.size(), stderr);
        std::fflush(stderr);
        return IDOK;
    }
    const std::u16string ownText(text), ownCaption(caption);
    return ::MessageBoxW(ToNativeWindow(owner), Wide(ownText), Wide(ownCaption), type);
}

}  // namespace detail
}  // namespace win
