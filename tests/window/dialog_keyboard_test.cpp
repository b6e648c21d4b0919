// Default dialog processing: the keyboard (the dialog's keys, Space on a button, the default
// push button), clicks, auto radio groups and closing.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "platform/dialog.h"
#include "platform/dialog_posix.h"
#include "tests/window/test_dialog.h"

namespace {

using namespace win;
using nxtest::kEdit;
using nxtest::kPushFirst;
using nxtest::kPushLast;
using nxtest::kRadioA;
using nxtest::kRadioB;
using nxtest::kRadioC;
using nxtest::kRadioHidden;
using nxtest::kRadioOther;

class DefaultProcessingTest : public testing::Test {
  protected:
    void SetUp() override {
        nxtest::InstallRecordingRenderer();
        Create(nxtest::MakeTestTemplate());
    }
    void TearDown() override {
        if (IsWindow(hwnd_)) DestroyWindow(hwnd_);
    }
    void Create(const DialogTemplate& dialog) {
        if (IsWindow(hwnd_)) DestroyWindow(hwnd_);
        commands_.clear();
        hwnd_ = CreateDialogIndirectW(dialog, 0, [this](HWND w, UINT m, WPARAM wp, LPARAM lp) {
            if (m == WM_INITDIALOG) return TRUE;
            if (m == WM_COMMAND) commands_.push_back(LOWORD(wp));
            return DefDlgProcW(w, m, wp, lp);
        });
        ASSERT_NE(hwnd_, 0u);
    }
    void Key(WPARAM key, bool shift = false) {
        SendMessageW(hwnd_, WM_KEYDOWN, key, shift ? KF_SHIFT_HELD : 0);
    }
    std::vector<int> Checked() const {
        std::vector<int> out;
        for (int id : {kRadioA, kRadioB, kRadioC, kRadioHidden, kRadioOther})
            if (IsDlgButtonChecked(hwnd_, id) == BST_CHECKED) out.push_back(id);
        return out;
    }
    HWND hwnd_ = 0;
    std::vector<int> commands_;
};

TEST_F(DefaultProcessingTest, TabWalksVisibleEnabledTabStopsAndWraps) {
    const std::vector<int>& stops = nxtest::kReachableTabStops;
    ASSERT_EQ(GetFocusedControl(hwnd_), stops.front());
    for (std::size_t i = 1; i <= stops.size(); ++i) {
        Key(VK_TAB);
        EXPECT_EQ(GetFocusedControl(hwnd_), stops[i % stops.size()]) << "after " << i << " tabs";
    }
    for (std::size_t i = 1; i <= stops.size(); ++i) {
        Key(VK_TAB, true);
        EXPECT_EQ(GetFocusedControl(hwnd_), stops[(stops.size() * 2 - i) % stops.size()])
            << "after " << i << " shift-tabs";
    }
    EXPECT_TRUE(commands_.empty());
}

TEST_F(DefaultProcessingTest, TabFromNoFocusGoesToFirstOrLastStop) {
    struct Case {
        bool shift;
        int expected;
    };
    for (const Case& c : {Case{false, kRadioA}, Case{true, kEdit}}) {
        // A dialog whose initialisation did not place the focus.
        if (IsWindow(hwnd_)) DestroyWindow(hwnd_);
        hwnd_ = CreateDialogIndirectW(
            nxtest::MakeTestTemplate(), 0, [](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
                return m == WM_INITDIALOG ? FALSE : DefDlgProcW(w, m, wp, lp);
            });
        ASSERT_EQ(GetFocusedControl(hwnd_), 0);
        Key(VK_TAB, c.shift);
        EXPECT_EQ(GetFocusedControl(hwnd_), c.expected) << "shift " << c.shift;
    }
}

// A key as the renderer reports it: pressed, repeated while held, released.
struct Stroke {
    UINT message;
    WPARAM key;
    LPARAM flags;
};
Stroke Down(WPARAM key) {
    return {WM_KEYDOWN, key, 0};
}
Stroke Repeat(WPARAM key) {
    return {WM_KEYDOWN, key, KF_PREVIOUSLY_DOWN};
}
Stroke Up(WPARAM key) {
    return {WM_KEYUP, key, KF_PREVIOUSLY_DOWN | KF_RELEASED};
}

TEST_F(DefaultProcessingTest, KeystrokesGiveTheirCommandsAndMoveTheFocus) {
    struct Case {
        const char* name;
        int focus;
        std::vector<Stroke> strokes;
        std::vector<int> commands;
        int focusAfter;
    };
    const WPARAM kDown = VK_DOWN, kUp = VK_UP, kSpace = VK_SPACE;
    const std::vector<Case> cases = {
        {"Return clicks the focused push button",
         kPushFirst,
         {Down(VK_RETURN)},
         {kPushFirst},
         kPushFirst},
        {"Return clicks the other one too", kPushLast, {Down(VK_RETURN)}, {kPushLast}, kPushLast},
        {"Return on a radio button is IDOK", kRadioB, {Down(VK_RETURN)}, {IDOK}, kRadioB},
        {"Return on an edit is IDOK", kEdit, {Down(VK_RETURN)}, {IDOK}, kEdit},
        {"Esc is IDCANCEL", kPushFirst, {Down(VK_ESCAPE)}, {IDCANCEL}, kPushFirst},
        {"Space clicks a push button on release",
         kPushLast,
         {Down(kSpace), Up(kSpace)},
         {kPushLast},
         kPushLast},
        {"a held Space clicks once",
         kPushLast,
         {Down(kSpace), Repeat(kSpace), Repeat(kSpace), Repeat(kSpace), Up(kSpace)},
         {kPushLast},
         kPushLast},
        {"Space released after the focus moved clicks nothing",
         kPushFirst,
         {Down(kSpace), Down(VK_TAB), Up(VK_TAB), Repeat(kSpace), Up(kSpace)},
         {},
         kRadioC},
        {"a release without a press clicks nothing", kPushFirst, {Up(kSpace)}, {}, kPushFirst},
        {"Space clicks a radio button", kRadioB, {Down(kSpace), Up(kSpace)}, {kRadioB}, kRadioB},
        {"Space on an edit does nothing", kEdit, {Down(kSpace), Up(kSpace)}, {}, kEdit},
        {"other keys do nothing", kPushFirst, {Down('A'), Up('A')}, {}, kPushFirst},
        // The first group: radio A, radio B, push First, radio C, then a disabled edit and two
        // hidden controls that the arrows pass over. An auto radio button reached is clicked.
        {"Down walks the group, clicking the radio buttons it reaches",
         kRadioA,
         {Down(kDown), Down(kDown), Down(kDown)},
         {kRadioB, kRadioC},
         kRadioC},
        {"Down wraps round within the group", kRadioC, {Down(kDown)}, {kRadioA}, kRadioA},
        {"Up and Left go back, wrapping round",
         kRadioA,
         {Down(kUp), Down(VK_LEFT)},
         {kRadioC},
         kPushFirst},
        {"Right is Down", kPushFirst, {Down(VK_RIGHT)}, {kRadioC}, kRadioC},
        // The second group: the label, radio Other, push Last, the edit.
        {"an edit takes the arrows itself", kEdit, {Down(kDown), Down(kUp)}, {}, kEdit},
        {"a static control is passed over, wrapping round", kRadioOther, {Down(kUp)}, {}, kEdit},
        {"Down reaches the edit", kPushLast, {Down(kDown)}, {}, kEdit},
    };
    ASSERT_EQ(SendMessageW(hwnd_, DM_GETDEFID, 0, 0), 0);  // no default id: Return is IDOK
    for (const Case& c : cases) {
        for (int id : {kRadioA, kRadioB, kRadioC, kRadioHidden, kRadioOther})
            CheckDlgButton(hwnd_, id, BST_UNCHECKED);
        commands_.clear();
        ASSERT_TRUE(SetFocusedControl(hwnd_, c.focus));
        for (const Stroke& s : c.strokes) SendMessageW(hwnd_, s.message, s.key, s.flags);
        EXPECT_EQ(commands_, c.commands) << c.name;
        EXPECT_EQ(GetFocusedControl(hwnd_), c.focusAfter) << c.name;
    }
}

// The focused push button is the default one and Return clicks it; with the focus elsewhere
// the default id's button is, and Return gives the default id (DM_SETDEFID), IDOK without one.
TEST_F(DefaultProcessingTest, TheDefaultPushButtonFollowsTheFocus) {
    DialogTemplate dialog = nxtest::MakeTestTemplate();
    for (auto& control : dialog.controls)
        if (control.id == kPushLast) control.style |= BS_DEFPUSHBUTTON;
    Create(dialog);
    auto drawnAs = [this](bool DialogControlState::*flag) {
        int found = 0;
        for (const DialogControlState& c : GetDialogState(hwnd_)->controls)
            if (c.*flag) found = found == 0 ? c.control->id : -1;  // -1: more than one
        return found;
    };
    struct Step {
        const char* name;
        std::function<void()> action;
        int defaultLook, pushed;
        std::vector<int> commands;
    };
    auto key = [this](Stroke s) {
        return [this, s] { SendMessageW(hwnd_, s.message, s.key, s.flags); };
    };
    auto setDefault = [this](int id) {
        return [this, id] { SendMessageW(hwnd_, DM_SETDEFID, id, 0); };
    };
    const std::vector<Step> steps = {
        {"the template's default, the focus on radio A", [] {}, kPushLast, 0, {}},
        {"Return gives it", key(Down(VK_RETURN)), kPushLast, 0, {kPushLast}},
        {"Tab to radio B", key(Down(VK_TAB)), kPushLast, 0, {}},
        {"Tab to push First: the default now", key(Down(VK_TAB)), kPushFirst, 0, {}},
        {"Space pushes it in", key(Down(VK_SPACE)), kPushFirst, kPushFirst, {}},
        {"Return clicks it", key(Down(VK_RETURN)), kPushFirst, kPushFirst, {kPushFirst}},
        {"Tab away: the push is lost, the default is back", key(Down(VK_TAB)), kPushLast, 0, {}},
        {"Space released clicks nothing", key(Up(VK_SPACE)), kPushLast, 0, {}},
        {"a new default id", setDefault(kPushFirst), kPushFirst, 0, {}},
        {"Return gives it", key(Down(VK_RETURN)), kPushFirst, 0, {kPushFirst}},
        {"a disabled default id", setDefault(nxtest::kEditDisabled), 0, 0, {}},
        {"Return gives nothing", key(Down(VK_RETURN)), 0, 0, {}},
        {"a default id without a control", setDefault(77), 0, 0, {}},
        {"Return gives it all the same", key(Down(VK_RETURN)), 0, 0, {77}},
    };
    for (const Step& step : steps) {
        commands_.clear();
        step.action();
        EXPECT_EQ(drawnAs(&DialogControlState::isDefault), step.defaultLook) << step.name;
        EXPECT_EQ(drawnAs(&DialogControlState::pushed), step.pushed) << step.name;
        EXPECT_EQ(commands_, step.commands) << step.name;
    }
    EXPECT_EQ(static_cast<DWORD>(SendMessageW(hwnd_, DM_GETDEFID, 0, 0)),
              MAKEWPARAM(77, DC_HASDEFID));
}

TEST_F(DefaultProcessingTest, CloseBecomesCancel) {
    EXPECT_EQ(SendMessageW(hwnd_, WM_CLOSE, 0, 0), 0);
    EXPECT_EQ(commands_, std::vector<int>{IDCANCEL});
}

TEST_F(DefaultProcessingTest, ClickReportsButtonsAlsoHiddenOnesButNotOtherControls) {
    struct Case {
        int id;
        std::vector<int> commands;
    };
    const std::vector<Case> cases = {
        {kPushFirst, {kPushFirst}},
        {nxtest::kPushHidden, {nxtest::kPushHidden}},
        {nxtest::kEditDisabled, {}},
        {kEdit, {}},
        {IDC_STATIC, {}},  // the label: a static control
        {999, {}},
    };
    for (const Case& c : cases) {
        commands_.clear();
        SendMessageW(hwnd_, BM_CLICK, static_cast<WPARAM>(c.id), 0);
        EXPECT_EQ(commands_, c.commands) << c.id;
    }
    // Clicking a hidden button does not move the focus to it.
    EXPECT_EQ(GetFocusedControl(hwnd_), kPushFirst);
}

TEST_F(DefaultProcessingTest, AutoRadioChecksItselfAndUnchecksOnlyItsGroup) {
    struct Step {
        int click;
        std::vector<int> checked;
    };
    const std::vector<Step> steps = {
        {kRadioA, {kRadioA}},
        {kRadioC, {kRadioC}},                   // past the push button between them: same group
        {kRadioOther, {kRadioC, kRadioOther}},  // another group, after the WS_GROUP label
        {kRadioHidden, {kRadioHidden, kRadioOther}},
        {kRadioB, {kRadioB, kRadioOther}},
        {kRadioB, {kRadioB, kRadioOther}},
    };
    for (const Step& step : steps) {
        SendMessageW(hwnd_, BM_CLICK, static_cast<WPARAM>(step.click), 0);
        EXPECT_EQ(Checked(), step.checked) << "after clicking " << step.click;
        ASSERT_FALSE(commands_.empty());
        EXPECT_EQ(commands_.back(), step.click);
    }
}

TEST_F(DefaultProcessingTest, RadioIsCheckedBeforeItsClickIsReported) {
    UINT seen = BST_UNCHECKED;
    if (IsWindow(hwnd_)) DestroyWindow(hwnd_);
    hwnd_ = CreateDialogIndirectW(nxtest::MakeTestTemplate(), 0,
                                  [&seen](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
                                      if (m == WM_COMMAND) seen = IsDlgButtonChecked(w, kRadioC);
                                      return DefDlgProcW(w, m, wp, lp);
                                  });
    SendMessageW(hwnd_, BM_CLICK, kRadioC, 0);
    EXPECT_EQ(seen, BST_CHECKED);
}

}  // namespace
