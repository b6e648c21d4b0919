// Modal runs on screen: the dialog manager's loop waits on the thread's queue and the
// window's events together, so both a user's input and a message posted by someone else end
// the wait; the input's effect is the dialog manager's (default processing).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <functional>
#include <thread>

#include "platform/dialog_posix.h"
#include "platform/renderer_posix.h"
#include "tests/screen/screen_fixture.h"
#include "tests/screen/test_dialog.h"

namespace nxtest {
namespace {

using namespace std::chrono_literals;

constexpr win::UINT kWakeUp = win::WM_USER + 7;

// Every command ends the run with its id; a posted kWakeUp ends it with 7.
win::LRESULT EndOnCommand(win::HWND h, win::UINT m, win::WPARAM w, win::LPARAM l) {
    if (m == win::WM_COMMAND) {
        win::EndDialog(h, win::LOWORD(w));
        return 0;
    }
    if (m == kWakeUp) {
        win::EndDialog(h, 7);
        return 0;
    }
    return win::DefDlgProcW(h, m, w, l);
}

struct ModalCase {
    const char* name;
    std::function<std::vector<std::string>(const TestDialog&)> action;
    int result;
};

// What each input posts is dialog_input_test.cpp's, and what each key does is the dialog
// manager's, on both platforms (dialog_keys_test.cpp); here, that a click or a key on the
// window wakes the loop at all.
const ModalCase kCases[] = {
    {"click on a push button", [](const TestDialog& d) { return d.ClickAt(d.ControlBox(kAlpha)); },
     kAlpha},
    {"Esc",
     [](const TestDialog&) {
         return std::vector<std::string>{"key", "Escape"};
     },
     win::IDCANCEL},
};

class ModalRunTest : public testing::Test {
  protected:
    void SetUp() override {
        NX_REQUIRE_SCREEN();
        ASSERT_TRUE(UseWindowRenderer());
    }
};

TEST_F(ModalRunTest, InputEndsTheRunAsTheDialogManagerDecides) {
    for (const ModalCase& c : kCases) {
        SCOPED_TRACE(c.name);
        TestDialog dialog(EndOnCommand);
        ASSERT_NE(dialog.window(), 0u);
        std::vector<std::string> args = c.action(dialog);
        args.insert(args.begin(), {"/usr/bin/env", "xdotool"});
        Child xdotool(args, ScreenDevice(), ScreenEnv());
        int result;
        {
            Watchdog watchdog(10s, c.name);
            result = win::RunModalLoop(dialog.hwnd());
        }
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(xdotool.Wait(5s), std::optional<int>(0));
    }
}

TEST_F(ModalRunTest, AMessagePostedFromElsewhereEndsTheWait) {
    TestDialog dialog(EndOnCommand);
    ASSERT_NE(dialog.window(), 0u);
    // Posted while the loop waits for input, from another thread.
    std::thread poster([h = dialog.hwnd()] {
        std::this_thread::sleep_for(300ms);
        win::PostMessageW(h, kWakeUp, 0, 0);
    });
    int result;
    {
        Watchdog watchdog(10s, "the modal run");
        result = win::RunModalLoop(dialog.hwnd());
    }
    poster.join();
    EXPECT_EQ(result, 7);
}

// select() cannot take a descriptor at or above FD_SETSIZE: the renderer must wait for it in
// another way and still serve the window.
TEST_F(ModalRunTest, ADescriptorBeyondSelectsRangeIsWaitedOnAndInputStillArrives) {
    rlimit limit;
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
    const rlim_t wanted = FD_SETSIZE + 64;
    if (limit.rlim_max < wanted) GTEST_SKIP() << "descriptor limit too low";
    if (limit.rlim_cur < wanted) {
        rlimit raised = limit;
        raised.rlim_cur = wanted;
        ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &raised), 0);
    }
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    const int high = FD_SETSIZE + 10;
    ASSERT_EQ(dup2(pipeFds[0], high), high);
    close(pipeFds[0]);

    TestDialog dialog;
    ASSERT_NE(dialog.window(), 0u);
    std::vector<std::string> args = dialog.ClickAt(dialog.ControlBox(kAlpha));
    args.insert(args.begin(), {"/usr/bin/env", "xdotool"});
    Child xdotool(args, ScreenDevice(), ScreenEnv());
    std::optional<win::MSG> clicked;
    auto end = std::chrono::steady_clock::now() + 5s;
    while (!clicked && std::chrono::steady_clock::now() < end) {
        win::CurrentRenderer().WaitForInput(high);
        win::MSG msg;
        if (win::PeekMessageW(&msg) && msg.hwnd == dialog.hwnd()) clicked = msg;
    }
    ASSERT_TRUE(clicked);
    EXPECT_EQ(clicked->message, win::BM_CLICK);
    EXPECT_EQ(clicked->wParam, static_cast<win::WPARAM>(kAlpha));
    EXPECT_EQ(xdotool.Wait(5s), std::optional<int>(0));
    close(high);
    close(pipeFds[1]);
    setrlimit(RLIMIT_NOFILE, &limit);
}

}  // namespace
}  // namespace nxtest
