// The screen: the renderer of this process, chosen when the first window or message box is
// about to be shown. On the screen that is the FLTK renderer when a display opens; otherwise,
// and whenever windows are kept off the screen, the headless renderer.
#include <mutex>
#include <utility>

#include "platform/internal/platform_internal.h"
#include "platform/renderer_posix.h"
#include "platform/screen.h"

namespace win {
namespace {

struct Screen {
    std::mutex mutex;
    std::unique_ptr<Renderer> renderer;
    bool onScreen = false;
    bool setByTest = false;  // SetRenderer's renderer stays whatever the program asks
};

// Never destroyed: a windowing renderer must not be torn down among the static destructors at
// exit, when the display it talks to may already be gone; the process's end releases it.
Screen& TheScreen() {
    static Screen* screen = new Screen;
    return *screen;
}

void Choose(bool onScreen) {
    Screen& screen = TheScreen();
    std::lock_guard lock(screen.mutex);
    if (screen.onScreen == onScreen) return;
    screen.onScreen = onScreen;
    if (!screen.setByTest) screen.renderer.reset();  // the next window chooses again
}

}  // namespace

void ShowWindowsOnScreen() {
    Choose(true);
}

void KeepWindowsOffScreen() {
    Choose(false);
}

Renderer& CurrentRenderer() {
    Screen& screen = TheScreen();
    std::lock_guard lock(screen.mutex);
    if (!screen.renderer) {
        if (screen.onScreen) screen.renderer = MakeWindowRenderer();
        if (!screen.renderer) screen.renderer = MakeHeadlessRenderer();
    }
    return *screen.renderer;
}

int detail::ShowMessageBox(HWND owner, std::u16string_view text, std::u16string_view caption,
                           UINT type) {
    return CurrentRenderer().MessageBox(owner, text, caption, type);
}

void SetRenderer(std::unique_ptr<Renderer> renderer) {
    Screen& screen = TheScreen();
    std::lock_guard lock(screen.mutex);
    screen.setByTest = renderer != nullptr;
    screen.renderer = std::move(renderer);
}

}  // namespace win
