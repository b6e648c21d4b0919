// The dialog manager: creation, the modal loop, destruction and control state.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/dialog.h"
#include "platform/dialog_posix.h"
#include "platform/message.h"
#include "platform/renderer_posix.h"
#include "platform/window_table_posix.h"
#include "tests/window/test_dialog.h"

namespace {

using namespace win;
using nxtest::RecordingRenderer;

constexpr UINT kEndWith7 = WM_USER + 1;
constexpr UINT kNote = WM_USER + 2;

// A dialog whose procedure records every message and passes it to default processing.
struct RecordedDialog {
    struct Call {
        UINT message;
        WPARAM wParam;
    };
    std::vector<Call> calls;
    HWND hwnd = 0;

    HWND Create(const DialogTemplate& dialog) {
        hwnd = CreateDialogIndirectW(dialog, 0, [this](HWND w, UINT m, WPARAM wp, LPARAM lp) {
            calls.push_back({m, wp});
            if (m == WM_INITDIALOG) return LRESULT{TRUE};
            if (m == kEndWith7) EndDialog(w, 7);
            return DefDlgProcW(w, m, wp, lp);
        });
        return hwnd;
    }
    std::vector<UINT> Messages() const {
        std::vector<UINT> out;
        for (const Call& c : calls) out.push_back(c.message);
        return out;
    }
    std::vector<WPARAM> Commands() const {
        std::vector<WPARAM> out;
        for (const Call& c : calls)
            if (c.message == WM_COMMAND) out.push_back(c.wParam);
        return out;
    }
    ~RecordedDialog() {
        if (IsWindow(hwnd)) DestroyWindow(hwnd);
    }
};

bool Listed(HWND hwnd) {
    auto windows = ListTopLevelWindows();
    return std::any_of(windows.begin(), windows.end(),
                       [&](const TopLevelWindow& w) { return w.hwnd == hwnd; });
}

class DialogManagerTest : public testing::Test {
  protected:
    void SetUp() override {
        renderer_ = &nxtest::InstallRecordingRenderer();
        nxtest::DrainQueue();
    }
    void TearDown() override { nxtest::DrainQueue(); }
    RecordingRenderer* renderer_ = nullptr;
};

TEST_F(DialogManagerTest, CreationInitialisesListsShowsAndFocuses) {
    RecordedDialog dialog;
    ASSERT_NE(dialog.Create(nxtest::MakeTestTemplate()), 0u);
    ASSERT_FALSE(dialog.calls.empty());
    EXPECT_EQ(dialog.calls.front().message, WM_INITDIALOG);
    EXPECT_TRUE(Listed(dialog.hwnd));
    EXPECT_EQ(GetWindowTextW(dialog.hwnd), u"Test dialog");
    EXPECT_TRUE(IsWindowVisible(dialog.hwnd));
    EXPECT_EQ(GetFocusedControl(dialog.hwnd), nxtest::kRadioA);
    EXPECT_EQ(GetDlgItemText(dialog.hwnd, nxtest::kEdit), u"initial");
    EXPECT_GT(renderer_->changes[dialog.hwnd], 0);

    const DialogState* state = GetDialogState(dialog.hwnd);
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(state->controls.size(), nxtest::MakeTestTemplate().controls.size());
    // 100 x 60 dialog units at 2 pixels per unit.
    EXPECT_EQ(state->windowRect.right - state->windowRect.left, 200);
    EXPECT_EQ(state->windowRect.bottom - state->windowRect.top, 120);
}

// The window rectangle is the whole window: the renderer's frame and caption around the
// template's client area, which is where the template says. (DS_CENTER centres all of it:
// dialog_keys_test.cpp, and on screen dialog_drawing_test.cpp.)
TEST_F(DialogManagerTest, TheWholeWindowIsPlacedWhereTheTemplateSays) {
    renderer_->workArea = RECT{10, 20, 490, 660};
    renderer_->frame = {3, 20, 4, 5};
    DialogTemplate dialog = nxtest::MakeTestTemplate();
    dialog.x = 10;
    dialog.y = 6;
    dialog.style &= ~WS_VISIBLE;
    RecordedDialog window;
    ASSERT_NE(window.Create(dialog), 0u);
    RECT rect;
    ASSERT_TRUE(GetWindowRect(window.hwnd, &rect));
    // 100 x 60 dialog units at 2 pixels per unit, at 10, 6 units.
    EXPECT_EQ(rect.left, 10 + 20 - 3);
    EXPECT_EQ(rect.top, 20 + 12 - 20);
    EXPECT_EQ(rect.right, 10 + 20 + 200 + 4);
    EXPECT_EQ(rect.bottom, 20 + 12 + 120 + 5);
    EXPECT_FALSE(IsWindowVisible(window.hwnd));
}

TEST_F(DialogManagerTest, ModalLoopDispatchesPostedMessagesInOrderUntilEnded) {
    RecordedDialog dialog;
    ASSERT_NE(dialog.Create(nxtest::MakeTestTemplate()), 0u);
    ASSERT_TRUE(PostMessageW(dialog.hwnd, kNote, 1, 0));
    ASSERT_TRUE(PostMessageW(dialog.hwnd, kNote, 2, 0));
    ASSERT_TRUE(PostMessageW(dialog.hwnd, kEndWith7, 0, 0));
    ASSERT_TRUE(PostMessageW(dialog.hwnd, kNote, 3, 0));  // after the end: stays queued

    EXPECT_EQ(RunModalLoop(dialog.hwnd), 7);
    std::vector<UINT> expected = {WM_INITDIALOG, kNote, kNote, kEndWith7};
    EXPECT_EQ(dialog.Messages(), expected);
    EXPECT_EQ(dialog.calls[1].wParam, 1u);
    EXPECT_EQ(dialog.calls[2].wParam, 2u);
    // The loop hides the window but leaves it to its owner to destroy.
    EXPECT_TRUE(IsWindow(dialog.hwnd));
    EXPECT_FALSE(IsWindowVisible(dialog.hwnd));
    MSG left;
    ASSERT_TRUE(PeekMessageW(&left));
    EXPECT_EQ(left.wParam, 3u);
}

TEST_F(DialogManagerTest, ModalLoopWaitsOnTheRendererForInput) {
    RecordedDialog dialog;
    ASSERT_NE(dialog.Create(nxtest::MakeTestTemplate()), 0u);
    HWND hwnd = dialog.hwnd;
    // Input as a renderer delivers it: messages posted to the dialog while the loop waits.
    renderer_->script.push_back([hwnd] { PostMessageW(hwnd, WM_KEYDOWN, VK_TAB, 0); });
    renderer_->script.push_back([hwnd] { PostMessageW(hwnd, WM_CLOSE, 0, 0); });
    renderer_->script.push_back([hwnd] { PostMessageW(hwnd, kEndWith7, 0, 0); });
    EXPECT_EQ(RunModalLoop(hwnd), 7);
    EXPECT_EQ(renderer_->waits, 3);
    EXPECT_EQ(GetFocusedControl(hwnd), nxtest::kRadioB);
    EXPECT_EQ(dialog.Commands(), std::vector<WPARAM>{MAKEWPARAM(IDCANCEL, BN_CLICKED)});
}

TEST_F(DialogManagerTest, EndDialogBeforeTheLoopReturnsAtOnce) {
    RecordedDialog dialog;
    ASSERT_NE(dialog.Create(nxtest::MakeTestTemplate()), 0u);
    ASSERT_TRUE(EndDialog(dialog.hwnd, 42));
    EXPECT_EQ(RunModalLoop(dialog.hwnd), 42);
    EXPECT_EQ(renderer_->waits, 0);
}

TEST_F(DialogManagerTest, DestroyingTheWindowDuringTheLoopEndsItWithMinusOne) {
    HWND hwnd = CreateDialogIndirectW(
        nxtest::MakeTestTemplate(), 0, [](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
            if (m == kNote) DestroyWindow(w);
            return m == WM_INITDIALOG ? TRUE : DefDlgProcW(w, m, wp, lp);
        });
    ASSERT_NE(hwnd, 0u);
    ASSERT_TRUE(PostMessageW(hwnd, kNote, 0, 0));
    EXPECT_EQ(RunModalLoop(hwnd), -1);
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(DialogManagerTest, DestroyWindowSendsDestroyAndForgetsTheWindowEverywhere) {
    RecordedDialog dialog;
    ASSERT_NE(dialog.Create(nxtest::MakeTestTemplate()), 0u);
    HWND hwnd = dialog.hwnd;
    ASSERT_TRUE(DestroyWindow(hwnd));
    EXPECT_EQ(dialog.Messages().back(), WM_DESTROY);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_FALSE(Listed(hwnd));
    EXPECT_EQ(renderer_->destroyed, std::vector<HWND>{hwnd});
    EXPECT_EQ(GetDialogState(hwnd), nullptr);

    std::size_t calls = dialog.calls.size();
    EXPECT_EQ(SendMessageW(hwnd, kNote, 0, 0), 0);
    EXPECT_FALSE(PostMessageW(hwnd, kNote, 0, 0));
    MSG stale{hwnd, kNote, 0, 0};
    EXPECT_FALSE(DispatchMessageW(&stale));
    EXPECT_EQ(dialog.calls.size(), calls);
    EXPECT_FALSE(DestroyWindow(hwnd));
}

TEST_F(DialogManagerTest, DispatchDropsThreadMessagesAndUnknownWindows) {
    MSG thread{0, kNote, 0, 0};
    EXPECT_FALSE(DispatchMessageW(&thread));
    MSG unknown{0x7FFF0000u, kNote, 0, 0};
    EXPECT_FALSE(DispatchMessageW(&unknown));
    EXPECT_FALSE(DispatchMessageW(nullptr));
}

TEST_F(DialogManagerTest, GetDlgItemTextCutsAtMaxCount) {
    RecordedDialog dialog;
    ASSERT_NE(dialog.Create(nxtest::MakeTestTemplate()), 0u);
    ASSERT_TRUE(SetDlgItemTextW(dialog.hwnd, nxtest::kEdit, u"Hello"));
    struct Case {
        int maxCount;
        UINT copied;
        std::u16string text;
    };
    for (const Case& c : std::vector<Case>{
             {1, 0, u""}, {2, 1, u"H"}, {5, 4, u"Hell"}, {6, 5, u"Hello"}, {20, 5, u"Hello"}}) {
        WCHAR buffer[32];
        std::fill(std::begin(buffer), std::end(buffer), u'#');
        EXPECT_EQ(GetDlgItemTextW(dialog.hwnd, nxtest::kEdit, buffer, c.maxCount), c.copied)
            << c.maxCount;
        EXPECT_EQ(std::u16string(buffer), c.text) << c.maxCount;
        EXPECT_EQ(buffer[c.copied + 1], u'#') << "wrote past the terminator, " << c.maxCount;
    }
    WCHAR untouched = u'#';
    EXPECT_EQ(GetDlgItemTextW(dialog.hwnd, nxtest::kEdit, &untouched, 0), 0u);
    EXPECT_EQ(untouched, u'#');
    WCHAR unknown[4] = {u'#', u'#', u'#', u'#'};
    EXPECT_EQ(GetDlgItemTextW(dialog.hwnd, 999, unknown, 4), 0u);
    EXPECT_EQ(unknown[0], 0);
}

TEST_F(DialogManagerTest, ControlStateCallsRejectUnknownControlsAndNonButtons) {
    RecordedDialog dialog;
    ASSERT_NE(dialog.Create(nxtest::MakeTestTemplate()), 0u);
    EXPECT_FALSE(SetDlgItemTextW(dialog.hwnd, 999, u"x"));
    EXPECT_FALSE(SetDlgItemTextW(0x7FFF0000u, nxtest::kEdit, u"x"));
    EXPECT_FALSE(CheckDlgButton(dialog.hwnd, nxtest::kEdit, BST_CHECKED));
    EXPECT_EQ(IsDlgButtonChecked(dialog.hwnd, nxtest::kEdit), BST_UNCHECKED);
    EXPECT_TRUE(CheckDlgButton(dialog.hwnd, nxtest::kRadioHidden, BST_CHECKED));
    EXPECT_EQ(IsDlgButtonChecked(dialog.hwnd, nxtest::kRadioHidden), BST_CHECKED);
    EXPECT_FALSE(SetFocusedControl(dialog.hwnd, 999));

    // A change of the model is drawn at once; setting what is already there draws nothing.
    int before = renderer_->changes[dialog.hwnd];
    SetDlgItemTextW(dialog.hwnd, nxtest::kEdit, u"new");
    EXPECT_EQ(renderer_->changes[dialog.hwnd], before + 1);
    SetDlgItemTextW(dialog.hwnd, nxtest::kEdit, u"new");
    EXPECT_EQ(renderer_->changes[dialog.hwnd], before + 1);
}

TEST_F(DialogManagerTest, IconsAreSetByMessageAndLoadedFromResources) {
    static const IconResource kIcon{{IconImage{16, 16, {}, std::vector<std::uint8_t>(256)}}};
    RegisterIconResource(7000, &kIcon);
    HICON icon = LoadIconW(7000);
    ASSERT_NE(icon, 0u);
    EXPECT_EQ(LoadIconW(7000), icon);
    EXPECT_EQ(GetIconResource(icon), &kIcon);
    EXPECT_EQ(LoadIconW(7001), 0u);
    EXPECT_EQ(GetIconResource(0), nullptr);

    RecordedDialog dialog;
    ASSERT_NE(dialog.Create(nxtest::MakeTestTemplate()), 0u);
    EXPECT_EQ(SendMessageW(dialog.hwnd, WM_SETICON, ICON_BIG, static_cast<LPARAM>(icon)), 0);
    EXPECT_EQ(GetWindowIcon(dialog.hwnd, ICON_BIG), icon);
    EXPECT_EQ(GetWindowIcon(dialog.hwnd, ICON_SMALL), 0u);
    EXPECT_EQ(SendMessageW(dialog.hwnd, WM_SETICON, ICON_BIG, 0), static_cast<LRESULT>(icon));
    EXPECT_EQ(GetDialogState(dialog.hwnd)->bigIcon, 0u);
}

}  // namespace
