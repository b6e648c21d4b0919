// The windowing renderer: real windows drawn with FLTK on the X display named by DISPLAY.
#include <FL/Fl.H>
#include <FL/x.H>
#include <poll.h>
#include <sys/select.h>

#include <cstdlib>
#include <map>

#include "platform/dialog_posix.h"
#include "platform/fltk/renderer_fltk_dialog.h"
#include "platform/fltk/renderer_fltk_message_box.h"
#include "platform/message.h"
#include "platform/renderer_posix.h"
#include "platform/unicode.h"

namespace win {

namespace {

using fltk::DialogFont;
using fltk::DialogWindow;

// How long the fallback wait (below) sleeps at most, so FLTK's own timers still run.
constexpr int kFallbackWaitMs = 50;

class FltkRenderer final : public Renderer {
  public:
    ~FltkRenderer() override {
        if (watchedFd_ >= 0) Fl::remove_fd(watchedFd_);
        windows_.clear();
        Fl::flush();
    }

    BaseUnits DialogBaseUnits(const DialogTemplate& dialog) override {
        return FontFor(dialog.fontPointSize).base;
    }

    FrameInsets DialogFrame(const DialogTemplate& dialog) override {
        return fltk::FrameInsetsFor(dialog, FontFor(dialog.fontPointSize));
    }

    RECT WorkArea() override {
        int x, y, w, h;
        Fl::screen_work_area(x, y, w, h, 0);
        return RECT{x, y, x + w, y + h};
    }

    void DialogChanged(HWND dialog) override {
        const DialogState* state = GetDialogState(dialog);
        if (!state || !state->dialog) {
            DialogDestroyed(dialog);
            return;
        }
        auto& window = windows_[dialog];
        if (!window) {
            window = std::make_unique<DialogWindow>(
                *state, FontFor(state->dialog->fontPointSize),
                [dialog](UINT message, WPARAM wParam, LPARAM lParam) {
                    PostMessageW(dialog, message, wParam, lParam);
                });
        }
        window->Sync(*state, GetIconResource(state->bigIcon), GetIconResource(state->smallIcon));
        Fl::flush();  // repaint now, not when the loop next waits
    }

    void DialogDestroyed(HWND dialog) override {
        if (windows_.erase(dialog)) Fl::flush();
    }

    int MessageBox(HWND, std::u16string_view text, std::u16string_view caption,
                   UINT type) override {
        return fltk::RunMessageBox(Utf16ToUtf8(text), Utf16ToUtf8(caption), type, FontFor(12));
    }

    void WaitForInput(int queueDescriptor) override {
        if (queueDescriptor >= 0 && queueDescriptor < FD_SETSIZE) {
            // FLTK waits with select(), which only takes descriptors below FD_SETSIZE.
            if (queueDescriptor != watchedFd_) {
                if (watchedFd_ >= 0) Fl::remove_fd(watchedFd_);
                // The queue's messages are read by the modal loop; it is enough that the wait ends.
                Fl::add_fd(
                    queueDescriptor, FL_READ, [](int, void*) {}, nullptr);
                watchedFd_ = queueDescriptor;
            }
            Fl::wait();  // returns once events were handled or the queue has a message
            return;
        }
        // A descriptor select() cannot take: wait with poll() on it and the display instead.
        if (!Fl::ready()) {
            pollfd fds[2] = {{ConnectionNumber(fl_display), POLLIN, 0},
                             {queueDescriptor, POLLIN, 0}};
            poll(fds, queueDescriptor >= 0 ? 2 : 1, kFallbackWaitMs);
        }
        Fl::check();
    }

  private:
    const DialogFont& FontFor(int pointSize) {
        auto it = fonts_.find(pointSize);
        if (it == fonts_.end())
            it = fonts_.emplace(pointSize, DialogFont::ForPointSize(pointSize)).first;
        return it->second;
    }

    std::map<int, DialogFont> fonts_;
    std::map<HWND, std::unique_ptr<DialogWindow>> windows_;
    int watchedFd_ = -1;
};

// A protocol error (say, the keyboard given to a window that went away meanwhile) must not
// end the run, as the X library's default handler would.
int IgnoreProtocolError(Display*, XErrorEvent*) {
    return 0;
}

// Opens the display once per process; false when there is none to open. FLTK's waits use
// select(), so the connection's descriptor must be below FD_SETSIZE as well. The process's
// locale is left alone: FLTK draws UTF-8 whatever the locale, and the dialog takes no text.
bool OpenDisplay() {
    if (fl_display) return true;
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name) return false;
    XSetErrorHandler(IgnoreProtocolError);
    Display* display = XOpenDisplay(nullptr);
    if (!display) return false;
    if (ConnectionNumber(display) >= FD_SETSIZE) {
        XCloseDisplay(display);
        return false;
    }
    fl_open_display(display);
    return true;
}

}  // namespace

std::unique_ptr<Renderer> MakeWindowRenderer() {
    if (!OpenDisplay()) return nullptr;
    return std::make_unique<FltkRenderer>();
}

}  // namespace win
