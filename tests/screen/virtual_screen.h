#pragma once
// The screen tests' X server and the user's hands: a private Xvfb for the test program, and
// xdotool to find windows by title and to click and type into them.

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/child.h"
#include "tests/support/temp_device.h"

namespace nxtest {

// A virtual X server of the test program's own, with the screen of a handheld (480x640, 24-bit
// colour). Xvfb picks a free display number itself (-displayfd), so test programs running in
// parallel never race for one. The server dies with the test program (by a parent-death
// signal, so also when the program is killed).
class VirtualScreen {
  public:
    // True when Xvfb and xdotool are installed.
    static bool Available();

    // The screen shared by the tests of this program, started on first use and put into
    // DISPLAY, ending when the program ends; nullptr when it is not available or would not
    // start.
    static VirtualScreen* Shared();

    VirtualScreen();  // throws std::runtime_error when the server does not come up
    ~VirtualScreen();
    VirtualScreen(const VirtualScreen&) = delete;
    VirtualScreen& operator=(const VirtualScreen&) = delete;

    const std::string& display() const { return display_; }

  private:
    pid_t pid_ = -1;
    std::string display_;
};

// The environment entry that gives a started program the shared screen (programs started by
// the test support get no display otherwise).
std::vector<std::string> ScreenEnv();

// Runs xdotool with the arguments on the current DISPLAY; its standard output when it exits
// with 0 within the timeout, else nothing (and the failure as a gtest failure).
std::optional<std::string> Xdotool(const std::vector<std::string>& args, const TempDevice& device,
                                   std::chrono::milliseconds timeout = std::chrono::seconds(10));

// The id of the first visible window with exactly this title, waiting up to the timeout.
// 0 when none appeared.
unsigned long FindWindowByTitle(const std::string& title, const TempDevice& device,
                                std::chrono::milliseconds timeout = std::chrono::seconds(10));

// Asks the window to close as a window manager does (a WM_DELETE_WINDOW client message).
void RequestClose(unsigned long window);

// Whether this window holds the keyboard focus.
bool HasFocus(unsigned long window);

// Whether top-level window a is stacked above top-level window b.
bool IsAbove(unsigned long a, unsigned long b);

// A window's place and size on the screen.
struct WindowGeometry {
    int x = 0, y = 0, width = 0, height = 0;
};
WindowGeometry GetWindowGeometry(unsigned long window);

// The window's pixels in the rectangle (window coordinates), as 32-bit values row by row.
std::vector<unsigned long> GrabPixels(unsigned long window, int x, int y, int w, int h);

// The lowest red, green or blue value among 0xRRGGBB pixels (0xFF for none): 0 where black text
// is drawn, 0x80 where the darkest is the platform's gray text.
unsigned long DarkestChannel(const std::vector<unsigned long>& pixels);

}  // namespace nxtest
