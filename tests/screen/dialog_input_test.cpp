// A user's input on the dialog's window becomes messages posted to the dialog, and nothing
// else: no click on what is hidden or disabled, no key the dialog does not take, no closing
// of the window by FLTK itself.
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
};

struct InputCase {
    const char* name;
    // The xdotool arguments of the user's action.
    std::function<std::vector<std::string>(const TestDialog&)> action;
    Expected expected;
};

std::vector<std::string> Keys(std::initializer_list<const char*> keys) {
    std::vector<std::string> args = {"key"};
    args.insert(args.end(), keys.begin(), keys.end());
    return args;
}

// Actions that must give no message end with Esc, whose message must then come first.
std::vector<std::string> ThenEscape(std::vector<std::string> args) {
    args.insert(args.end(), {"key", "Escape"});
    return args;
}

constexpr Expected kEscape{win::WM_KEYDOWN, win::VK_ESCAPE, 0};

const InputCase kCases[] = {
    {"click on a push button",
     [](const TestDialog& d) { return d.ClickAt(d.ControlBox(kAlpha)); },
     {win::BM_CLICK, kAlpha, 0}},
    {"click on a radio button",
     [](const TestDialog& d) { return d.ClickAt(d.ControlBox(kTwo)); },
     {win::BM_CLICK, kTwo, 0}},
    {"click on the caption's OK",
     [](const TestDialog& d) { return d.ClickAt(d.CaptionOkBox()); },
     {win::WM_COMMAND, win::IDOK, 0}},
    {"Tab", [](const TestDialog&) { return Keys({"Tab"}); }, {win::WM_KEYDOWN, win::VK_TAB, 0}},
    {"Shift-Tab",
     [](const TestDialog&) { return Keys({"shift+Tab"}); },
     {win::WM_KEYDOWN, win::VK_TAB, win::KF_SHIFT_HELD}},
    {"Space",
     [](const TestDialog&) { return Keys({"space"}); },
     {win::WM_KEYDOWN, win::VK_SPACE, 0}},
    {"Enter",
     [](const TestDialog&) { return Keys({"Return"}); },
     {win::WM_KEYDOWN, win::VK_RETURN, 0}},
    {"keypad Enter",
     [](const TestDialog&) { return Keys({"KP_Enter"}); },
     {win::WM_KEYDOWN, win::VK_RETURN, 0}},
    {"Esc", [](const TestDialog&) { return Keys({"Escape"}); }, kEscape},
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

    // The first message the dialog gets, which must be the expected one, and no second.
    void ExpectOnly(TestDialog& dialog, const Expected& expected) {
        std::optional<MSG> msg = dialog.NextMessage(5s);
        ASSERT_TRUE(msg) << "no message";
        EXPECT_EQ(msg->message, expected.message);
        EXPECT_EQ(msg->wParam, expected.wParam);
        EXPECT_EQ(msg->lParam, expected.lParam);
        std::optional<MSG> more = dialog.NextMessage(150ms);
        EXPECT_FALSE(more) << "and then message " << more->message << " " << more->wParam;
    }
};

TEST_F(DialogInputTest, EachInputPostsItsMessage) {
    TestDialog dialog;
    ASSERT_NE(dialog.window(), 0u);
    for (const InputCase& c : kCases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args = c.action(dialog);
        args.insert(args.begin(), "/usr/bin/env");
        args.insert(args.begin() + 1, "xdotool");
        pid_t xdotool = StartProcess(args, ScreenDevice(), ScreenEnv());
        ExpectOnly(dialog, c.expected);
        EXPECT_EQ(WaitProcess(xdotool, 5s), std::optional<int>(0));
        // Esc is the dialog's to act on: the window is still there.
        EXPECT_EQ(FindWindowByTitle(kTestTitle, ScreenDevice(), 2s), dialog.window());
    }
}

TEST_F(DialogInputTest, TheWindowManagersCloseIsWmClose) {
    TestDialog dialog;
    ASSERT_NE(dialog.window(), 0u);
    RequestClose(dialog.window());
    ExpectOnly(dialog, {win::WM_CLOSE, 0, 0});
    EXPECT_EQ(FindWindowByTitle(kTestTitle, ScreenDevice(), 2s), dialog.window());
}

}  // namespace
}  // namespace nxtest
