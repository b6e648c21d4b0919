#pragma once
// A small dialog of every kind of control, shown in this process by the FLTK renderer, with
// the means to point at its controls and to pump the window's events.

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "platform/dialog.h"
#include "platform/message.h"
#include "platform/renderer_posix.h"
#include "tests/screen/virtual_screen.h"

namespace nxtest {

// Control ids of the test dialog.
enum TestControl : int {
    kAlpha = 201,     // push button, first tab stop
    kHidden = 202,    // push button, hidden
    kDisabled = 203,  // push button, disabled
    kOne = 204,       // auto radio button, starts a group, tab stop
    kTwo = 205,       // auto radio button
    kEdit = 206,      // disabled edit, centred text
    kThree = 207,     // auto radio button, hidden
    kOmega = 208,     // push button, last tab stop
    kLabel = 209,     // static text, right-aligned
    kBox = 210,       // group box
};

inline constexpr char kTestTitle[] = "Screen test dialog";

const win::DialogTemplate& TestTemplate();

// Makes the window renderer the process's renderer (once); false without a display.
bool UseWindowRenderer();

class TestDialog {
  public:
    // Creates the dialog (shown at once, the focus on its first tab stop) with the procedure;
    // waits until its window is on the screen, drawn, and holds the keyboard.
    explicit TestDialog(win::WNDPROC procedure = nullptr);
    ~TestDialog();

    win::HWND hwnd() const { return hwnd_; }
    unsigned long window() const { return window_; }

    // A control's rectangle in window pixels, from the template and the renderer's units.
    struct Box {
        int x, y, w, h;
    };
    Box ControlBox(int controlId) const;
    Box CaptionOkBox() const;
    // The xdotool arguments that click the middle of a box.
    std::vector<std::string> ClickAt(const Box& box) const;

    // Handles the window's events until the next message for the dialog arrives in the
    // thread's queue (taken off the queue, not dispatched), or the timeout passes.
    std::optional<win::MSG> NextMessage(std::chrono::milliseconds timeout);
    // Handles the window's events for a while.
    void Pump(std::chrono::milliseconds duration);
    // Makes sure every drawing request has reached the server.
    void Sync();

  private:
    win::HWND hwnd_ = 0;
    unsigned long window_ = 0;
    win::Renderer::FrameInsets frame_;  // around the client area
};

}  // namespace nxtest
