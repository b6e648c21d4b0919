// Linux only, a test of the imitation's own machinery: the FLTK renderer's pieces that need no
// window (which renderer a process gets, how keys become messages, how icons become images, the
// dialog font's units), through its internal headers.
// clang-format off: gtest must come before the X headers, whose macros (None) break it.
#include <gtest/gtest.h>
// clang-format on

#include <FL/Enumerations.H>
#include <FL/x.H>

#include "platform/fltk/renderer_fltk_dialog.h"
#include "platform/fltk/renderer_fltk_widgets.h"
#include "platform/renderer_posix.h"
#include "tests/screen/screen_fixture.h"

namespace nxtest {
namespace {

using win::fltk::KeyMessage;
using win::fltk::KeyMessageFor;

TEST(WindowRendererChoice, NeedsADisplayThatAnswers) {
    struct Case {
        const char* display;
        const char* expected;
    };
    std::vector<Case> cases = {{"-", "none"}, {"", "none"}, {":64999", "none"}};
    if (VirtualScreen::Available() && VirtualScreen::Shared())
        cases.push_back({VirtualScreen::Shared()->display().c_str(), "window"});
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("DISPLAY=") + c.display);
        ProcessResult r = RunProcess({NX_SCREEN_PROBE, c.display}, ScreenDevice());
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, std::string(c.expected) + "\n");
    }
}

// The dialog's keys pressed alone are dialog_input_test.cpp's, through the X server; here the
// other modifier states and keys.
TEST(KeyMessages, TheDialogsKeysBecomeKeyDownsAndNothingElseDoes) {
    using win::KF_SHIFT_HELD;
    struct Case {
        int key, state;
        std::optional<KeyMessage> expected;
    };
    const Case cases[] = {
        {FL_Tab, FL_SHIFT, KeyMessage{win::VK_TAB, KF_SHIFT_HELD}},
        {0xFE20, FL_SHIFT, KeyMessage{win::VK_TAB, KF_SHIFT_HELD}},  // ISO_Left_Tab
        {FL_Escape, FL_CAPS_LOCK | FL_NUM_LOCK, KeyMessage{win::VK_ESCAPE, 0}},
        {FL_Tab, FL_ALT, std::nullopt},
        {FL_Enter, FL_META, std::nullopt},
        {FL_F + 4, 0, std::nullopt},
        {FL_Down, FL_CTRL, std::nullopt},
        {FL_Home, 0, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "key " << c.key << " state " << c.state);
        EXPECT_EQ(KeyMessageFor(c.key, c.state), c.expected);
    }
}

TEST(IconConversion, PaletteIndicesBecomeOpaqueColoursAndSixteenIsTransparent) {
    win::IconImage icon;
    icon.width = 3;
    icon.height = 2;
    icon.palette[0] = 0x000000;
    icon.palette[9] = 0xFF0000;
    icon.palette[15] = 0x12AB34;
    icon.pixels = {9, 16, 15, 0, 200, 9};
    auto pixels = win::fltk::ConvertIcon(icon);
    ASSERT_TRUE(pixels);
    ASSERT_TRUE(pixels->image);
    EXPECT_EQ(pixels->image->w(), 3);
    EXPECT_EQ(pixels->image->h(), 2);
    EXPECT_EQ(pixels->image->d(), 4);
    const std::vector<unsigned char> expected = {0xFF, 0x00, 0x00, 0xFF, 0,    0,    0,    0,
                                                 0x12, 0xAB, 0x34, 0xFF, 0x00, 0x00, 0x00, 0xFF,
                                                 0,    0,    0,    0,    0xFF, 0x00, 0x00, 0xFF};
    EXPECT_EQ(pixels->rgba, expected);
}

TEST(IconConversion, MalformedImagesGiveNothing) {
    win::IconImage empty;
    EXPECT_FALSE(win::fltk::ConvertIcon(empty));
    win::IconImage shortRow;
    shortRow.width = 4;
    shortRow.height = 4;
    shortRow.pixels.assign(15, 0);
    EXPECT_FALSE(win::fltk::ConvertIcon(shortRow));
    win::IconImage negative;
    negative.width = -2;
    negative.height = -2;
    negative.pixels.assign(4, 0);
    EXPECT_FALSE(win::fltk::ConvertIcon(negative));
}

TEST(DialogFont, UnitsFollowTheFontsMetrics) {
    NX_REQUIRE_SCREEN();
    auto renderer = win::MakeWindowRenderer();
    ASSERT_TRUE(renderer);
    win::DialogTemplate small, large;
    small.fontPointSize = 8;
    large.fontPointSize = 12;
    const auto s = renderer->DialogBaseUnits(small);
    const auto l = renderer->DialogBaseUnits(large);
    // A 12-point sans font at 96 pixels to the inch is 16 pixels: its height is a little more,
    // its average letter a little more than half of it.
    EXPECT_GE(l.y, 16);
    EXPECT_LE(l.y, 22);
    EXPECT_GE(l.x, 7);
    EXPECT_LE(l.x, 11);
    EXPECT_LT(s.x, l.x);
    EXPECT_LT(s.y, l.y);
    const win::RECT work = renderer->WorkArea();
    EXPECT_EQ(work.right - work.left, 480);
    EXPECT_EQ(work.bottom - work.top, 640);
}

TEST(WindowRendererDisplay, AProtocolErrorDoesNotEndTheProgram) {
    NX_REQUIRE_SCREEN();
    ASSERT_TRUE(win::MakeWindowRenderer());
    // No such window: the server answers with an error, which the X library's default handler
    // would turn into the program's exit.
    XDestroyWindow(fl_display, 0x7FFFFF0);
    XSync(fl_display, False);
    SUCCEED();
}

}  // namespace
}  // namespace nxtest
