// The headless renderer: draws nothing and needs no display. Dialogs are laid out on a
// fixed 480 x 640 pixel work area (a portrait handheld screen) with 2 pixels per dialog unit
// both ways; message boxes are written to standard error and answered with OK at once.
#include <poll.h>
#include <unistd.h>

#include <ctime>
#include <string>

#include "platform/internal/system_posix.h"
#include "platform/renderer_posix.h"
#include "platform/unicode.h"

namespace win {
namespace {

// How long a wait without a queue to watch, or on a queue in trouble, pauses.
constexpr timespec kPause{0, 10'000'000};

class HeadlessRenderer final : public Renderer {
  public:
    BaseUnits DialogBaseUnits(const DialogTemplate& /*dialog*/) override { return {8, 16}; }
    RECT WorkArea() override { return RECT{0, 0, 480, 640}; }
    void DialogChanged(HWND /*dialog*/) override {}
    void DialogDestroyed(HWND /*dialog*/) override {}

    // The whole line in as few writes as the descriptor allows, so that lines of different
    // processes sharing one standard error do not interleave.
    int MessageBox(HWND /*owner*/, std::u16string_view text, std::u16string_view caption,
                   UINT /*type*/) override {
        (void)sys::WriteAll(STDERR_FILENO, Utf16ToUtf8(caption) + ": " + Utf16ToUtf8(text) + "\n");
        return IDOK;
    }

    // No input of its own: only the thread's queue can wake the loop.
    void WaitForInput(int queueDescriptor) override {
        if (queueDescriptor < 0) {
            nanosleep(&kPause, nullptr);
            return;
        }
        pollfd entry{queueDescriptor, POLLIN, 0};
        // A signal ends the wait early; the caller looks at the queue again either way. A
        // descriptor that reports trouble stays "ready": the pause keeps the loop from spinning.
        if (::poll(&entry, 1, -1) > 0 && (entry.revents & (POLLHUP | POLLERR | POLLNVAL)))
            nanosleep(&kPause, nullptr);
    }
};

}  // namespace

std::unique_ptr<Renderer> MakeHeadlessRenderer() {
    return std::make_unique<HeadlessRenderer>();
}

}  // namespace win
