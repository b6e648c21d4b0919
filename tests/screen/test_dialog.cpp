#include "tests/screen/test_dialog.h"

// clang-format off: gtest must come before the X headers, whose macros (None) break it.
#include <gtest/gtest.h>
// clang-format on

#include <FL/Fl.H>
#include <FL/x.H>

#include "platform/renderer_posix.h"
#include "tests/screen/screen_fixture.h"

namespace nxtest {
namespace {

using namespace std::chrono_literals;
using win::DWORD;

constexpr DWORD kChild = win::WS_CHILD | win::WS_VISIBLE;

win::DialogControlTemplate Control(int id, const char16_t* className, const char16_t* text, short x,
                                   short y, short cx, short cy, DWORD style) {
    return {static_cast<win::WORD>(id), className, text, x, y, cx, cy, style};
}

win::DialogTemplate MakeTestTemplate() {
    using namespace win;
    DialogTemplate d;
    d.title = u"Screen test dialog";
    d.fontName = u"System";
    d.fontPointSize = 12;
    d.style = WS_POPUP | WS_VISIBLE | WS_CAPTION | DS_CENTER | DS_MODALFRAME | DS_SETFONT;
    d.exStyle = WS_EX_CAPTIONOKBTN;
    d.cx = 160;
    d.cy = 90;
    d.controls = {
        Control(kAlpha, u"BUTTON", u"Alpha", 10, 10, 50, 14, kChild | WS_TABSTOP),
        Control(kHidden, u"BUTTON", u"Hidden", 70, 8, 50, 14, WS_CHILD | WS_TABSTOP),
        Control(kDisabled, u"BUTTON", u"Disabled", 10, 30, 50, 14,
                kChild | WS_DISABLED | WS_TABSTOP),
        Control(kOne, u"BUTTON", u"One", 70, 30, 50, 11,
                kChild | WS_GROUP | WS_TABSTOP | BS_AUTORADIOBUTTON),
        Control(kTwo, u"BUTTON", u"Two", 70, 42, 50, 11, kChild | BS_AUTORADIOBUTTON),
        Control(kEdit, u"EDIT", u"", 10, 50, 50, 13,
                kChild | WS_DISABLED | WS_BORDER | ES_CENTER | ES_MULTILINE),
        Control(kThree, u"BUTTON", u"Three", 70, 54, 50, 11, WS_CHILD | BS_AUTORADIOBUTTON),
        Control(kLabel, u"STATIC", u"Label", 10, 68, 50, 8, kChild | WS_GROUP | SS_RIGHT),
        Control(kBox, u"BUTTON", u"Box", 65, 22, 90, 48, kChild | BS_GROUPBOX),
        Control(kOmega, u"BUTTON", u"Omega", 100, 74, 50, 14, kChild | WS_TABSTOP),
    };
    return d;
}

int X(int units, int base) {
    return (units * base + 2) / 4;
}
int Y(int units, int base) {
    return (units * base + 4) / 8;
}

}  // namespace

const win::DialogTemplate& TestTemplate() {
    static const win::DialogTemplate d = MakeTestTemplate();
    return d;
}

bool UseWindowRenderer() {
    static bool done = false;
    if (!done) {
        auto renderer = win::MakeWindowRenderer();
        if (!renderer) return false;
        win::SetRenderer(std::move(renderer));
        done = true;
    }
    return true;
}

TestDialog::TestDialog(win::WNDPROC procedure) {
    if (!procedure) procedure = win::DefDlgProcW;
    // As a framework dialog does, the initialisation asks for the initial focus.
    auto withFocus = [procedure](win::HWND h, win::UINT m, win::WPARAM w, win::LPARAM l) {
        return m == win::WM_INITDIALOG ? win::TRUE : procedure(h, m, w, l);
    };
    hwnd_ = win::CreateDialogIndirectW(TestTemplate(), 0, withFocus);
    if (hwnd_ == 0) {
        ADD_FAILURE() << "the dialog was not created";
        return;
    }
    window_ = FindWindowByTitle(kTestTitle, ScreenDevice());
    if (window_ == 0) {
        ADD_FAILURE() << "the dialog's window did not appear";
        return;
    }
    frame_ = win::CurrentRenderer().DialogFrame(TestTemplate());
    // The window takes the keyboard when it is first drawn.
    auto end = std::chrono::steady_clock::now() + 5s;
    while (!HasFocus(window_) && std::chrono::steady_clock::now() < end) Pump(20ms);
    if (!HasFocus(window_)) ADD_FAILURE() << "the dialog's window did not take the keyboard";
}

TestDialog::~TestDialog() {
    if (hwnd_) win::DestroyWindow(hwnd_);
    win::MSG msg;
    while (win::PeekMessageW(&msg)) {
    }
}

TestDialog::Box TestDialog::ControlBox(int controlId) const {
    const auto base = win::CurrentRenderer().DialogBaseUnits(TestTemplate());
    for (const auto& c : TestTemplate().controls) {
        if (c.id != controlId) continue;
        return Box{frame_.left + X(c.x, base.x), frame_.top + Y(c.y, base.y), X(c.cx, base.x),
                   Y(c.cy, base.y)};
    }
    ADD_FAILURE() << "no control " << controlId;
    return Box{0, 0, 1, 1};
}

TestDialog::Box TestDialog::CaptionOkBox() const {
    // The strip runs inside the frame's edge, above the client area; its OK button sits at
    // its right end.
    const int edge = frame_.left;
    const int stripRight = GetWindowGeometry(window_).width - edge;
    const int buttonWidth = win::CurrentRenderer().DialogBaseUnits(TestTemplate()).x * 5;
    return Box{stripRight - 4 - buttonWidth, edge + 3, buttonWidth, frame_.top - edge - 6};
}

std::vector<std::string> TestDialog::ClickAt(const Box& box) const {
    return {"mousemove",
            "--window",
            std::to_string(window_),
            std::to_string(box.x + box.w / 2),
            std::to_string(box.y + box.h / 2),
            "click",
            "1"};
}

std::optional<win::MSG> TestDialog::NextMessage(std::chrono::milliseconds timeout) {
    auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        win::MSG msg;
        if (win::PeekMessageW(&msg)) {
            if (msg.hwnd == hwnd_) return msg;
            continue;
        }
        if (std::chrono::steady_clock::now() >= end) return std::nullopt;
        Fl::wait(0.02);
    }
}

void TestDialog::Pump(std::chrono::milliseconds duration) {
    auto end = std::chrono::steady_clock::now() + duration;
    while (std::chrono::steady_clock::now() < end) Fl::wait(0.01);
}

void TestDialog::Sync() {
    Fl::flush();
    XSync(fl_display, False);
}

}  // namespace nxtest
