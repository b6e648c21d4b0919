// Linux only: our dialog manager's clicks (BM_CLICK to the dialog, as our renderer reports the
// mouse), auto radio groups, and Tab in a modeless dialog without focus. The keys of a modal
// dialog are dialog_keys_test.cpp's, on both platforms.
#include <gtest/gtest.h>

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
        hwnd_ = CreateDialogIndirectW(nxtest::MakeTestTemplate(), 0,
                                      [this](HWND w, UINT m, WPARAM wp, LPARAM lp) {
                                          if (m == WM_INITDIALOG) return TRUE;
                                          if (m == WM_COMMAND) commands_.push_back(LOWORD(wp));
                                          return DefDlgProcW(w, m, wp, lp);
                                      });
        ASSERT_NE(hwnd_, 0u);
    }
    void TearDown() override {
        if (IsWindow(hwnd_)) DestroyWindow(hwnd_);
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

// A modeless dialog whose initialisation placed no focus (a shown modal one gets it on its
// first tab stop, dialog_keys_test.cpp).
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
        SendMessageW(hwnd_, WM_KEYDOWN, VK_TAB, c.shift ? KF_SHIFT_HELD : 0);
        EXPECT_EQ(GetFocusedControl(hwnd_), c.expected) << "shift " << c.shift;
    }
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

}  // namespace
