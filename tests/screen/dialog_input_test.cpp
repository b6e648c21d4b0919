// A user's input on the dialog's window becomes messages posted to the dialog, and nothing
// else: no click on what is hidden or disabled, no key the dialog does not take, no closing
// of the window by FLTK itself. A key is reported when pressed and when released, and a key
// held down repeats its press with the previous-state bit, as the platform's keyboard does.
#include <gtest/gtest.h>

#include <functional>

#include "tests/screen/screen_fixture.h"
#include "tests/screen/test_dialog.h"

namespace nxtest {
namespace {

using namespace std::chrono_literals;
using win::MSG;

struct Expected {
    win::UINT message;
    win::WPARAM wParam;
    win::LPARAM lParam;
    friend bool operator==(const Expected&, const Expected&) = default;
};

void PrintTo(const Expected& e, std::ostream* out) {
    *out << "{" << e.message << ", " << e.wParam << ", 0x" << std::hex << e.lParam << std::dec
         << "}";
}

struct InputCase {
    const char* name;
    // The xdotool arguments of the user's action.
    std::function<std::vector<std::string>(const TestDialog&)> action;
    // The messages in order, each run of equal messages (a held key's repeats) written once.
    std::vector<Expected> expected;
};

std::vector<std::string> Keys(std::initializer_list<const char*> keys) {
    std::vector<std::string> args = {"key"};
    args.insert(args.end(), keys.begin(), keys.end());
    return args;
}

// Actions that must give no message end with Esc, whose messages must then come alone.
std::vector<std::string> ThenEscape(std::vector<std::string> args) {
    args.insert(args.end(), {"key", "Escape"});
    return args;
}

constexpr win::LPARAM kRepeat = win::KF_PREVIOUSLY_DOWN;
constexpr win::LPARAM kUp = win::KF_PREVIOUSLY_DOWN | win::KF_RELEASED;

// A key's press and release.
std::vector<Expected> Stroke(win::WPARAM key, win::LPARAM flags = 0) {
    return {{win::WM_KEYDOWN, key, flags}, {win::WM_KEYUP, key, kUp}};
}

std::vector<Expected> Strokes(std::initializer_list<win::WPARAM> keys) {
    std::vector<Expected> out;
    for (win::WPARAM key : keys) {
        for (const Expected& e : Stroke(key)) out.push_back(e);
    }
    return out;
}

const std::vector<Expected> kEscape = Stroke(win::VK_ESCAPE);

const InputCase kCases[] = {
    {"click on a push button",
     [](const TestDialog& d) { return d.ClickAt(d.ControlBox(kAlpha)); },
     {{win::BM_CLICK, kAlpha, 0}}},
    {"click on a radio button",
     [](const TestDialog& d) { return d.ClickAt(d.ControlBox(kTwo)); },
     {{win::BM_CLICK, kTwo, 0}}},
    {"click on the caption's OK",
     [](const TestDialog& d) { return d.ClickAt(d.CaptionOkBox()); },
     {{win::WM_COMMAND, win::IDOK, 0}}},
    {"Tab", [](const TestDialog&) { return Keys({"Tab"}); }, Stroke(win::VK_TAB)},
    {"Shift-Tab", [](const TestDialog&) { return Keys({"shift+Tab"}); },
     Stroke(win::VK_TAB, win::KF_SHIFT_HELD)},
    {"Space", [](const TestDialog&) { return Keys({"space"}); }, Stroke(win::VK_SPACE)},
    {"Enter", [](const TestDialog&) { return Keys({"Return"}); }, Stroke(win::VK_RETURN)},
    {"keypad Enter", [](const TestDialog&) { return Keys({"KP_Enter"}); }, Stroke(win::VK_RETURN)},
    {"Esc", [](const TestDialog&) { return Keys({"Escape"}); }, kEscape},
    {"the arrow keys",
     [](const TestDialog&) {
         return Keys({"Left", "Up", "Right", "Down"});
     },
     Strokes({win::VK_LEFT, win::VK_UP, win::VK_RIGHT, win::VK_DOWN})},
    {"Space held for a second",
     [](const TestDialog&) {
         return std::vector<std::string>{"keydown", "space", "sleep", "1", "keyup", "space"};
     },
     {{win::WM_KEYDOWN, win::VK_SPACE, 0},
      {win::WM_KEYDOWN, win::VK_SPACE, kRepeat},
      {win::WM_KEYUP, win::VK_SPACE, kUp}}},
    {"click where a hidden button is",
     [](const TestDialog& d) { return ThenEscape(d.ClickAt(d.ControlBox(kHidden))); }, kEscape},
    {"click on a disabled button",
     [](const TestDialog& d) { return ThenEscape(d.ClickAt(d.ControlBox(kDisabled))); }, kEscape},
    {"click on a disabled edit",
     [](const TestDialog& d) { return ThenEscape(d.ClickAt(d.ControlBox(kEdit))); }, kEscape},
    {"press on a button, release outside it",
     [](const TestDialog& d) {
         const auto a = d.ControlBox(kAlpha), e = d.ControlBox(kEdit);
         const std::string w = std::to_string(d.window());
         return ThenEscape({"mousemove", "--window", w, std::to_string(a.x + 5),
                            std::to_string(a.y + 5), "mousedown", "1", "mousemove", "--window", w,
                            std::to_string(e.x + 5), std::to_string(e.y + 5), "mouseup", "1"});
     },
     kEscape},
    {"a letter",
     [](const TestDialog&) {
         return Keys({"a", "Escape"});
     },
     kEscape},
    {"Ctrl-Tab",
     [](const TestDialog&) {
         return Keys({"ctrl+Tab", "Escape"});
     },
     kEscape},
};

class DialogInputTest : public testing::Test {
  protected:
    void SetUp() override {
        NX_REQUIRE_SCREEN();
        ASSERT_TRUE(UseWindowRenderer());
    }

    // The messages the dialog gets while the user acts and a little after, each run of equal
    // ones written once.
    static std::vector<Expected> Received(TestDialog& dialog, Child& user) {
        std::vector<Expected> out;
        auto end = std::chrono::steady_clock::now() + 10s;
        std::optional<int> userEnded;
        while (std::chrono::steady_clock::now() < end) {
            if (std::optional<MSG> msg = dialog.NextMessage(50ms)) {
                const Expected e{msg->message, msg->wParam, msg->lParam};
                if (out.empty() || !(out.back() == e)) out.push_back(e);
            } else if (!userEnded && (userEnded = user.Wait(0ms))) {
                EXPECT_EQ(userEnded, std::optional<int>(0)) << "xdotool failed";
                end = std::chrono::steady_clock::now() + 300ms;
            }
        }
        EXPECT_TRUE(userEnded) << "xdotool did not end";
        return out;
    }
};

TEST_F(DialogInputTest, EachInputPostsItsMessages) {
    TestDialog dialog;
    ASSERT_NE(dialog.window(), 0u);
    for (const InputCase& c : kCases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args = c.action(dialog);
        args.insert(args.begin(), "/usr/bin/env");
        args.insert(args.begin() + 1, "xdotool");
        Child xdotool(args, ScreenDevice(), ScreenEnv());
        EXPECT_EQ(Received(dialog, xdotool), c.expected);
        // Esc is the dialog's to act on: the window is still there.
        EXPECT_EQ(FindWindowByTitle(kTestTitle, ScreenDevice(), 2s), dialog.window());
    }
}

TEST_F(DialogInputTest, TheWindowManagersCloseIsWmClose) {
    TestDialog dialog;
    ASSERT_NE(dialog.window(), 0u);
    RequestClose(dialog.window());
    std::optional<MSG> msg = dialog.NextMessage(5s);
    ASSERT_TRUE(msg) << "no message";
    EXPECT_EQ((Expected{msg->message, msg->wParam, msg->lParam}), (Expected{win::WM_CLOSE, 0, 0}));
    EXPECT_FALSE(dialog.NextMessage(150ms)) << "a second message";
    EXPECT_EQ(FindWindowByTitle(kTestTitle, ScreenDevice(), 2s), dialog.window());
}

}  // namespace
}  // namespace nxtest
