#include "tests/screen/virtual_screen.h"

// clang-format off: gtest must come before the X headers, whose macros (None) break it.
#include <gtest/gtest.h>
// clang-format on

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <stdexcept>

namespace nxtest {
namespace {

std::string FindOnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path ? path : "/usr/bin:/bin");
    for (std::string dir; std::getline(dirs, dir, ':');) {
        const std::string candidate = dir + "/" + program;
        if (!dir.empty() && access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return "";
}

// An Xlib connection of the test's own, closed when it goes.
struct Connection {
    Display* display = XOpenDisplay(nullptr);
    ~Connection() {
        if (display) XCloseDisplay(display);
    }
};

}  // namespace

bool VirtualScreen::Available() {
    return !FindOnPath("Xvfb").empty() && !FindOnPath("xdotool").empty();
}

VirtualScreen* VirtualScreen::Shared() {
    // Never destroyed: the program's X connections (FLTK's among them) are used until its
    // very end, so the server only goes when the program has gone (see the constructor).
    static VirtualScreen* screen = nullptr;
    static bool tried = false;
    if (!tried) {
        tried = true;
        if (Available()) {
            try {
                screen = new VirtualScreen();
                setenv("DISPLAY", screen->display().c_str(), 1);
            } catch (const std::exception& e) {
                ADD_FAILURE() << e.what();
            }
        }
    }
    return screen;
}

VirtualScreen::VirtualScreen() {
    const std::string xvfb = FindOnPath("Xvfb");
    int ready[2];
    if (xvfb.empty() || pipe(ready) != 0) throw std::runtime_error("cannot start Xvfb");
    fcntl(ready[0], F_SETFD, FD_CLOEXEC);
    const std::string fd = std::to_string(ready[1]);
    std::vector<std::string> args = {xvfb,         "-displayfd", fd,    "-screen", "0",
                                     "480x640x24", "-nolisten",  "tcp", "-noreset"};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {
        // The server must not outlive the test program, however that ends; SIGTERM lets it
        // remove its socket and lock file.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) _exit(1);
        setpgid(0, 0);
        int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(null, 1);
        dup2(null, 2);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(ready[1]);
    if (pid_ < 0) {
        close(ready[0]);
        throw std::runtime_error("cannot fork for Xvfb");
    }
    // Xvfb writes its display number and a newline once it accepts connections.
    std::string number;
    pollfd p{ready[0], POLLIN, 0};
    while (poll(&p, 1, 10000) > 0) {
        char c;
        if (read(ready[0], &c, 1) != 1 || c == '\n') break;
        number += c;
    }
    close(ready[0]);
    if (number.empty()) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        throw std::runtime_error("Xvfb did not report its display");
    }
    display_ = ":" + number;
}

VirtualScreen::~VirtualScreen() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
}

std::vector<std::string> ScreenEnv() {
    const char* display = std::getenv("DISPLAY");
    return {std::string("DISPLAY=") + (display ? display : "")};
}

std::optional<std::string> Xdotool(const std::vector<std::string>& args, const TempDevice& device,
                                   std::chrono::milliseconds timeout) {
    std::vector<std::string> argv = {FindOnPath("xdotool")};
    argv.insert(argv.end(), args.begin(), args.end());
    ProcessResult r = RunProcess(argv, device, timeout, ScreenEnv());
    if (r.exitCode != 0) {
        std::string joined;
        for (const auto& a : args) joined += " " + a;
        ADD_FAILURE() << "xdotool" << joined << " failed (" << r.exitCode << "): " << r.err;
        return std::nullopt;
    }
    return r.out;
}

unsigned long FindWindowByTitle(const std::string& title, const TempDevice& device,
                                std::chrono::milliseconds timeout) {
    // xdotool's --sync waits without a limit; the process timeout is the limit.
    const std::string pattern = "^" + title + "$";
    std::vector<std::string> argv = {FindOnPath("xdotool"), "search", "--sync",
                                     "--onlyvisible",       "--name", pattern};
    ProcessResult r = RunProcess(argv, device, timeout, ScreenEnv());
    if (r.exitCode != 0) return 0;
    return std::strtoul(r.out.c_str(), nullptr, 10);
}

void RequestClose(unsigned long window) {
    Connection c;
    if (!c.display) return;
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = window;
    e.xclient.message_type = XInternAtom(c.display, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(XInternAtom(c.display, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(c.display, window, False, NoEventMask, &e);
    XSync(c.display, False);
}

bool HasFocus(unsigned long window) {
    Connection c;
    if (!c.display) return false;
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(c.display, &focus, &revert);
    return focus == window;
}

bool IsAbove(unsigned long a, unsigned long b) {
    Connection c;
    if (!c.display) return false;
    Window root, parent, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(c.display, DefaultRootWindow(c.display), &root, &parent, &children, &count))
        return false;
    // The children come bottom first.
    int ia = -1, ib = -1;
    for (unsigned i = 0; i < count; ++i) {
        if (children[i] == a) ia = static_cast<int>(i);
        if (children[i] == b) ib = static_cast<int>(i);
    }
    if (children) XFree(children);
    return ia >= 0 && ib >= 0 && ia > ib;
}

WindowGeometry GetWindowGeometry(unsigned long window) {
    Connection c;
    WindowGeometry g;
    if (!c.display) return g;
    XWindowAttributes a;
    if (!XGetWindowAttributes(c.display, window, &a)) return g;
    Window child;
    XTranslateCoordinates(c.display, window, DefaultRootWindow(c.display), 0, 0, &g.x, &g.y,
                          &child);
    g.width = a.width;
    g.height = a.height;
    return g;
}

std::vector<unsigned long> GrabPixels(unsigned long window, int x, int y, int w, int h) {
    Connection c;
    std::vector<unsigned long> pixels;
    if (!c.display) return pixels;
    XImage* image = XGetImage(c.display, window, x, y, static_cast<unsigned>(w),
                              static_cast<unsigned>(h), AllPlanes, ZPixmap);
    if (!image) return pixels;
    for (int row = 0; row < h; ++row)
        for (int col = 0; col < w; ++col) pixels.push_back(XGetPixel(image, col, row));
    XDestroyImage(image);
    return pixels;
}

unsigned long DarkestChannel(const std::vector<unsigned long>& pixels) {
    unsigned long darkest = 0xFF;
    for (unsigned long p : pixels)
        darkest = std::min({darkest, (p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF});
    return darkest;
}

}  // namespace nxtest
