// The dialog's window shows its model: placed and sized in the renderer's dialog units, and
// redrawn as soon as the model changes (without waiting for the event loop), hidden controls
// never drawn, the title and the icons handed to the window system.
// clang-format off: gtest must come before the X headers, whose macros (None) break it.
#include <gtest/gtest.h>
// clang-format on

#include <FL/x.H>
#include <X11/Xatom.h>

#include "platform/renderer_posix.h"
#include "tests/screen/screen_fixture.h"
#include "tests/screen/test_dialog.h"

namespace nxtest {
namespace {

using namespace std::chrono_literals;

class DialogDrawingTest : public testing::Test {
  protected:
    void SetUp() override {
        NX_REQUIRE_SCREEN();
        ASSERT_TRUE(UseWindowRenderer());
    }

    std::vector<unsigned long> Grab(const TestDialog& d, const TestDialog::Box& b) {
        return GrabPixels(d.window(), b.x, b.y, b.w, b.h);
    }

    // What the server shows once the requests already made have reached it: no drawing is
    // asked for here, so only drawing the renderer did at once can show.
    static void ServerSync() { XSync(fl_display, False); }
};

// The window is the model's whole rectangle: the frame and the caption strip around the
// client area, the outer frame centred in the work area (DS_CENTER), and no decoration of the
// window manager's above it (_MOTIF_WM_HINTS: decorations asked for, none given).
TEST_F(DialogDrawingTest, TheWindowIsTheModelsRectangleCentredWithOneCaption) {
    TestDialog dialog;
    ASSERT_NE(dialog.window(), 0u);
    const auto base = win::CurrentRenderer().DialogBaseUnits(TestTemplate());
    const auto frame = win::CurrentRenderer().DialogFrame(TestTemplate());
    const win::RECT work = win::CurrentRenderer().WorkArea();
    const WindowGeometry g = GetWindowGeometry(dialog.window());
    win::RECT model;
    ASSERT_TRUE(win::GetWindowRect(dialog.hwnd(), &model));
    EXPECT_EQ(g.x, model.left);
    EXPECT_EQ(g.y, model.top);
    EXPECT_EQ(g.width, model.right - model.left);
    EXPECT_EQ(g.height, model.bottom - model.top);
    EXPECT_EQ(g.width, frame.left + (TestTemplate().cx * base.x + 2) / 4 + frame.right);
    EXPECT_EQ(g.height, frame.top + (TestTemplate().cy * base.y + 4) / 8 + frame.bottom);
    EXPECT_GT(frame.top, frame.bottom) << "no caption";
    EXPECT_NEAR(2 * g.x + g.width, work.left + work.right, 2);
    EXPECT_NEAR(2 * g.y + g.height, work.top + work.bottom, 2);

    Atom type;
    int format;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const Atom hints = XInternAtom(fl_display, "_MOTIF_WM_HINTS", False);
    XGetWindowProperty(fl_display, dialog.window(), hints, 0, 5, False, AnyPropertyType, &type,
                       &format, &count, &after, &data);
    ASSERT_NE(data, nullptr) << "no window manager hints";
    const auto* values = reinterpret_cast<const unsigned long*>(data);
    const bool noDecorations = count >= 3 && (values[0] & 2) && values[2] == 0;
    XFree(data);
    EXPECT_TRUE(noDecorations);
}

// A disabled control's text is drawn in the platform's gray text colour, an enabled one's in
// black: no pixel of the disabled edit's text is darker than the gray.
TEST_F(DialogDrawingTest, DisabledTextIsGray) {
    TestDialog dialog;
    ASSERT_NE(dialog.window(), 0u);
    ASSERT_TRUE(win::SetDlgItemTextW(dialog.hwnd(), kEdit, u"888.888"));
    ASSERT_TRUE(win::SetDlgItemTextW(dialog.hwnd(), kLabel, u"888.888"));
    dialog.Sync();
    auto darkest = [&](int id) {
        auto b = dialog.ControlBox(id);
        return DarkestChannel(GrabPixels(dialog.window(), b.x + 3, b.y + 3, b.w - 6, b.h - 6));
    };
    EXPECT_EQ(darkest(kEdit), 0x80u);
    EXPECT_EQ(darkest(kLabel), 0x00u);
}

TEST_F(DialogDrawingTest, ModelChangesAreDrawnAtOnce) {
    TestDialog dialog;
    ASSERT_NE(dialog.window(), 0u);
    dialog.Sync();
    const win::HWND h = dialog.hwnd();
    const auto edit = dialog.ControlBox(kEdit), one = dialog.ControlBox(kOne),
               alpha = dialog.ControlBox(kAlpha), omega = dialog.ControlBox(kOmega);
    const auto beforeEdit = Grab(dialog, edit), beforeOne = Grab(dialog, one),
               beforeAlpha = Grab(dialog, alpha), beforeOmega = Grab(dialog, omega);

    ASSERT_TRUE(win::SetDlgItemTextW(h, kEdit, u"12.345"));
    ServerSync();
    EXPECT_NE(Grab(dialog, edit), beforeEdit) << "text";

    ASSERT_TRUE(win::CheckDlgButton(h, kOne, win::BST_CHECKED));
    ServerSync();
    EXPECT_NE(Grab(dialog, one), beforeOne) << "check";

    ASSERT_TRUE(win::SetFocusedControl(h, kOmega));
    ServerSync();
    EXPECT_NE(Grab(dialog, alpha), beforeAlpha) << "focus left";
    EXPECT_NE(Grab(dialog, omega), beforeOmega) << "focus came";

    // A shorter text replaces a longer one whole, also where nothing but the frame is drawn.
    const auto label = dialog.ControlBox(kLabel), box = dialog.ControlBox(kBox);
    const auto beforeLabel = Grab(dialog, label), beforeBox = Grab(dialog, box);
    ASSERT_TRUE(win::SetDlgItemTextW(h, kLabel, u"A much longer text"));
    ASSERT_TRUE(win::SetDlgItemTextW(h, kBox, u"A much longer title"));
    ServerSync();
    EXPECT_NE(Grab(dialog, label), beforeLabel) << "label";
    win::SetDlgItemTextW(h, kLabel, u"Label");
    win::SetDlgItemTextW(h, kBox, u"Box");
    dialog.Sync();
    EXPECT_EQ(Grab(dialog, label), beforeLabel) << "label back";
    EXPECT_EQ(Grab(dialog, box), beforeBox) << "group box back";

    // Back as they were, the controls look as they did.
    win::SetDlgItemTextW(h, kEdit, u"");
    win::CheckDlgButton(h, kOne, win::BST_UNCHECKED);
    win::SetFocusedControl(h, kAlpha);
    ServerSync();
    EXPECT_EQ(Grab(dialog, edit), beforeEdit);
    EXPECT_EQ(Grab(dialog, one), beforeOne);
    EXPECT_EQ(Grab(dialog, alpha), beforeAlpha);
    EXPECT_EQ(Grab(dialog, omega), beforeOmega);
}

TEST_F(DialogDrawingTest, HiddenControlsStayUndrawnWhateverTheirState) {
    TestDialog dialog;
    ASSERT_NE(dialog.window(), 0u);
    dialog.Sync();
    const auto three = dialog.ControlBox(kThree), hidden = dialog.ControlBox(kHidden);
    const auto beforeThree = Grab(dialog, three), beforeHidden = Grab(dialog, hidden);
    ASSERT_TRUE(win::CheckDlgButton(dialog.hwnd(), kThree, win::BST_CHECKED));
    ASSERT_TRUE(win::SetDlgItemTextW(dialog.hwnd(), kHidden, u"Now with text"));
    dialog.Sync();
    EXPECT_EQ(Grab(dialog, three), beforeThree);
    EXPECT_EQ(Grab(dialog, hidden), beforeHidden);
    // A hidden control's area shows the dialog's background only.
    const auto area = Grab(dialog, hidden);
    for (unsigned long pixel : area) ASSERT_EQ(pixel, area.front());
}

TEST_F(DialogDrawingTest, TitleVisibilityAndDestructionReachTheScreen) {
    TestDialog dialog;
    ASSERT_NE(dialog.window(), 0u);
    ASSERT_TRUE(win::SetWindowTextW(dialog.hwnd(), u"Renamed dialog"));
    EXPECT_EQ(FindWindowByTitle("Renamed dialog", ScreenDevice(), 2s), dialog.window());
    ASSERT_TRUE(win::SetWindowTextW(dialog.hwnd(), u"Screen test dialog"));

    win::ShowWindow(dialog.hwnd(), false);
    EXPECT_EQ(FindWindowByTitle(kTestTitle, ScreenDevice(), 300ms), 0u);
    win::ShowWindow(dialog.hwnd(), true);
    EXPECT_NE(FindWindowByTitle(kTestTitle, ScreenDevice(), 2s), 0u);

    win::DestroyWindow(dialog.hwnd());
    EXPECT_EQ(FindWindowByTitle(kTestTitle, ScreenDevice(), 300ms), 0u);
}

// _NET_WM_ICON: for each image its width, its height, then ARGB pixels row by row.
std::vector<unsigned long> WindowIcons(unsigned long window) {
    Atom type;
    int format;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const Atom icons = XInternAtom(fl_display, "_NET_WM_ICON", False);
    XGetWindowProperty(fl_display, window, icons, 0, 1 << 20, False, XA_CARDINAL, &type, &format,
                       &count, &after, &data);
    std::vector<unsigned long> out;
    if (data && format == 32) {
        const auto* values = reinterpret_cast<const unsigned long*>(data);
        out.assign(values, values + count);
    }
    if (data) XFree(data);
    return out;
}

TEST_F(DialogDrawingTest, TheDialogsIconsBecomeTheWindowsIcons) {
    // A 2x2 image: red, transparent, white, navy.
    static win::IconResource icon;
    win::IconImage image;
    image.width = 2;
    image.height = 2;
    image.palette[4] = 0x000080;
    image.palette[9] = 0xFF0000;
    image.palette[15] = 0xFFFFFF;
    image.pixels = {9, 16, 15, 4};
    icon.images = {image};
    win::RegisterIconResource(4242, &icon);

    TestDialog dialog;
    ASSERT_NE(dialog.window(), 0u);
    const win::HICON handle = win::LoadIconW(4242);
    ASSERT_NE(handle, 0u);
    win::SendMessageW(dialog.hwnd(), win::WM_SETICON, win::ICON_BIG,
                      static_cast<win::LPARAM>(handle));
    dialog.Sync();
    const std::vector<unsigned long> expected = {2,          2,          0xFFFF0000,
                                                 0x00000000, 0xFFFFFFFF, 0xFF000080};
    std::vector<unsigned long> icons = WindowIcons(dialog.window());
    for (auto& v : icons) v &= 0xFFFFFFFF;
    ASSERT_GE(icons.size(), 6u);
    icons.resize(6);
    // A transparent pixel's colour does not matter.
    icons[3] &= 0xFF000000;
    EXPECT_EQ(icons, expected);
}

}  // namespace
}  // namespace nxtest
