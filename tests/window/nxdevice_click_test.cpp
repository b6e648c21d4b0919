// nxdevice click: the tool finds the device's dialog in the window table and posts the click,
// which the dialog's default processing turns into the control's command.
#include <gtest/gtest.h>

#include <vector>

#include "platform/dialog.h"
#include "platform/message.h"
#include "tests/support/child.h"
#include "tests/support/temp_device.h"
#include "tests/window/test_dialog.h"

namespace {

using namespace win;

class NxdeviceClickTest : public testing::Test {
  protected:
    void SetUp() override {
        nxtest::InstallRecordingRenderer();
        nxtest::DrainQueue();
    }
    void TearDown() override {
        for (HWND hwnd : windows_)
            if (IsWindow(hwnd)) DestroyWindow(hwnd);
        nxtest::DrainQueue();
    }
    HWND Open(const char16_t* title) {
        DialogTemplate dialog = nxtest::MakeTestTemplate();
        dialog.title = title;
        HWND hwnd = CreateDialogIndirectW(dialog, 0, [this](HWND w, UINT m, WPARAM wp, LPARAM lp) {
            if (m == WM_COMMAND) commands_.push_back({w, LOWORD(wp)});
            return DefDlgProcW(w, m, wp, lp);
        });
        windows_.push_back(hwnd);
        return hwnd;
    }
    nxtest::ProcessResult Click(const std::vector<std::string>& args) {
        std::vector<std::string> argv = {NX_DEVICE_PATH, "click"};
        argv.insert(argv.end(), args.begin(), args.end());
        return nxtest::RunProcess(argv, *nxtest::CurrentDevice(), std::chrono::seconds(10));
    }
    // Delivers what the tool posted, as the dialog's modal loop would.
    void Deliver() {
        MSG msg;
        while (PeekMessageW(&msg)) DispatchMessageW(&msg);
    }
    struct Command {
        HWND window;
        int id;
        bool operator==(const Command&) const = default;
    };
    std::vector<Command> commands_;
    std::vector<HWND> windows_;
};

TEST_F(NxdeviceClickTest, ClicksShownAndHiddenControlsOfTheOneDialog) {
    HWND dialog = Open(u"Only");
    ASSERT_NE(dialog, 0u);
    for (const char* id : {"301", "0x192" /* 402, hidden */, "203"}) {
        nxtest::ProcessResult result = Click({id});
        EXPECT_EQ(result.exitCode, 0) << id << ": " << result.err;
    }
    Deliver();
    std::vector<Command> expected = {
        {dialog, nxtest::kPushFirst}, {dialog, nxtest::kPushHidden}, {dialog, nxtest::kRadioC}};
    EXPECT_EQ(commands_, expected);
    EXPECT_EQ(IsDlgButtonChecked(dialog, nxtest::kRadioC), BST_CHECKED);
}

TEST_F(NxdeviceClickTest, TitleChoosesAmongSeveralWindows) {
    HWND first = Open(u"First dialog");
    HWND second = Open(u"Second dialog");
    ASSERT_NE(first, 0u);
    ASSERT_NE(second, 0u);
    EXPECT_EQ(Click({"301"}).exitCode, 1);  // ambiguous
    EXPECT_EQ(Click({"--title", "Nobody", "301"}).exitCode, 1);
    nxtest::ProcessResult result = Click({"302", "--title", "Second dialog"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    Deliver();
    EXPECT_EQ(commands_, (std::vector<Command>{{second, nxtest::kPushLast}}));
}

TEST_F(NxdeviceClickTest, RefusesBadArguments) {
    ASSERT_NE(Open(u"Only"), 0u);
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {}, {"65536"}, {"abc"}, {"1", "2"}, {"--title"}, {"-2"}}) {
        EXPECT_EQ(Click(args).exitCode, 2) << (args.empty() ? "" : args[0]);
    }
    Deliver();
    EXPECT_TRUE(commands_.empty());
}

TEST_F(NxdeviceClickTest, FailsWithoutAWindow) {
    EXPECT_EQ(Click({"301"}).exitCode, 1);
}

}  // namespace
