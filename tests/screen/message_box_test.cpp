// The message box on screen: it comes up in front with the keyboard, above a dialog that is
// already shown, stays until the user closes it whichever way, and then answers IDOK and
// leaves the keyboard to the dialog again.
#include "platform/message_box.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include "platform/renderer_posix.h"
#include "tests/screen/screen_fixture.h"
#include "tests/screen/test_dialog.h"

namespace nxtest {
namespace {

using namespace std::chrono_literals;

constexpr char kCaption[] = "nxbridge";

struct CloseCase {
    const char* name;
    std::function<void(unsigned long box)> close;
};

void Xdo(std::vector<std::string> args) {
    Xdotool(args, ScreenDevice());
}

// The OK button is the box's only button, centred at its bottom.
void ClickOk(unsigned long box) {
    const WindowGeometry g = GetWindowGeometry(box);
    Xdo({"mousemove", "--window", std::to_string(box), std::to_string(g.width / 2),
         std::to_string(g.height - 20), "click", "1"});
}

const CloseCase kCases[] = {
    {"OK clicked", ClickOk},
    {"Enter",
     [](unsigned long) {
         Xdo({"key", "Return"});
     }},
    {"Space",
     [](unsigned long) {
         Xdo({"key", "space"});
     }},
    {"Esc",
     [](unsigned long) {
         Xdo({"key", "Escape"});
     }},
    {"the window manager's close", [](unsigned long box) { RequestClose(box); }},
};

// What the user's side saw of the box before closing it.
struct Seen {
    std::atomic<bool> found{false}, focused{false}, aboveDialog{false};
};

// Waits for the box, looks at it, and closes it the given way.
std::thread UserOf(Seen& seen, const CloseCase& c, unsigned long dialog) {
    return std::thread([&seen, &c, dialog] {
        const unsigned long box = FindWindowByTitle(kCaption, ScreenDevice(), 10s);
        if (box == 0) return;
        seen.found = true;
        const bool focused = WaitUntil([&] { return HasFocus(box); }, 5s);
        seen.focused = focused;
        seen.aboveDialog = dialog != 0 && IsAbove(box, dialog);
        c.close(box);
    });
}

class MessageBoxTest : public testing::Test {
  protected:
    void SetUp() override {
        NX_REQUIRE_SCREEN();
        ASSERT_TRUE(UseWindowRenderer());
    }

    static int Show() {
        Watchdog watchdog(20s, "the message box");
        return win::CurrentRenderer().MessageBox(
            0, u"Nedix meas system error!", u"nxbridge",
            win::MB_OK | win::MB_ICONEXCLAMATION | win::MB_SETFOREGROUND);
    }
};

TEST_F(MessageBoxTest, ComesToTheFrontAndEveryWayOfClosingItIsOk) {
    for (const CloseCase& c : kCases) {
        SCOPED_TRACE(c.name);
        Seen seen;
        std::thread user = UserOf(seen, c, 0);
        const int answer = Show();
        user.join();
        EXPECT_TRUE(seen.found);
        EXPECT_TRUE(seen.focused);
        EXPECT_EQ(answer, win::IDOK);
        EXPECT_EQ(FindWindowByTitle(kCaption, ScreenDevice(), 300ms), 0u) << "still shown";
    }
}

TEST_F(MessageBoxTest, ShowsAboveADialogAndTakesItsKeyboardUntilClosed) {
    TestDialog dialog;
    ASSERT_NE(dialog.window(), 0u);
    Seen seen;
    std::thread user = UserOf(seen, kCases[1], dialog.window());
    const int answer = Show();
    user.join();
    EXPECT_EQ(answer, win::IDOK);
    EXPECT_TRUE(seen.focused);
    EXPECT_TRUE(seen.aboveDialog);
    // The box's keys were its own: the dialog got none of them.
    EXPECT_FALSE(dialog.NextMessage(200ms));
    // Closed, the box gives the keyboard back to the dialog, which can be used on.
    EXPECT_TRUE(WaitUntil([&] { return HasFocus(dialog.window()); }, 2s));
}

}  // namespace
}  // namespace nxtest
