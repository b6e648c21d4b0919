// The application object's run in process: the start-up hook reads the command line, sets up
// the link, and returns false on every path; the exit hook releases the link and returns 0.
#include "app/measure_app.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "app/run_mode.h"
#include "link/meas_link.h"
#include "platform/message_box.h"
#include "platform/renderer_posix.h"
#include "platform/unicode.h"
#include "tests/link_support/device_processes.h"
#include "tests/support/temp_device.h"

namespace {

struct Box {
    std::u16string text, caption;
};

class MeasureAppTest : public testing::Test {
  protected:
    void SetUp() override {
        root_ = getenv("DEVICE_ROOT");
        win::SetRenderer(win::MakeHeadlessRenderer());
        win::SetMessageBoxObserver(
            [this](std::u16string_view text, std::u16string_view caption, win::UINT) {
                boxes_.push_back({std::u16string(text), std::u16string(caption)});
            });
    }
    void TearDown() override {
        win::SetMessageBoxObserver(nullptr);
        DisconnectMeasSystem();
        nxtest::KillProcessesRunningFrom(root_);
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(root_, ec))
            std::filesystem::remove_all(entry.path(), ec);
    }
    void InstallMeasProgram(const std::string& relative) {
        std::filesystem::create_directories(
            std::filesystem::path(root_ + "/" + relative).parent_path());
        std::filesystem::copy_file(nxtest::MeasPeerPath(), root_ + "/" + relative,
                                   std::filesystem::copy_options::overwrite_existing);
    }

    std::string root_;
    std::vector<Box> boxes_;
};

TEST_F(MeasureAppTest, FailedSetupShowsOneBoxCaptionedWithTheProgramNameAndEndsTheRun) {
    // Nothing installed under the prefix and nothing running: the link cannot be set up. The
    // mode is never looked at, so a matched and an unmatched switch end alike.
    struct Case {
        const char16_t* line;
        RunMode mode;
        std::int32_t year;
    } cases[] = {{u"-Nor1 \\Nowhere\\", Interactive, 2009}, {u"-xyz0 \\Nowhere\\", NoMode, 2008}};
    for (const Case& c : cases) {
        boxes_.clear();
        CMeasureApp app;
        EXPECT_EQ(AfxWinMain(u"/opt/bin/nxbridge", c.line), 0);
        ASSERT_EQ(boxes_.size(), 1u);
        EXPECT_TRUE(boxes_[0].text == u"Nedix meas system error!");
        EXPECT_TRUE(boxes_[0].caption == u"nxbridge");
        EXPECT_EQ(g_measSection, nullptr);
        EXPECT_EQ(g_measMutex, nullptr);
        EXPECT_TRUE(g_installPath == u"\\NOWHERE\\");
        EXPECT_EQ(g_runMode, c.mode);
        EXPECT_EQ(g_firmwareYear, c.year);
    }
}

TEST_F(MeasureAppTest, StartUpHookReadsTheCommandLineThenReturnsFalseAndExitHookReleases) {
    InstallMeasProgram("FlashDisk/NEDIX/NX.EXE");
    CMeasureApp app;
    app.InitApplication(u"nxbridge", u"-nor0 \\FlashDisk\\");
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(app.InitInstance());
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(1500));
    EXPECT_EQ(g_runMode, NoMode);
    EXPECT_EQ(g_firmwareYear, 2008);
    EXPECT_TRUE(g_installPath == u"\\FLASHDISK\\");
    EXPECT_TRUE(boxes_.empty());
    // The link stays set up until the exit hook; the launched program keeps running.
    EXPECT_NE(g_measView, nullptr);
    EXPECT_NE(g_measMutex, nullptr);
    EXPECT_EQ(nxtest::ProcessesRunning(root_ + "/FlashDisk/NEDIX/NX.EXE").size(), 1u);

    EXPECT_EQ(app.ExitInstance(), 0);
    EXPECT_EQ(g_measView, nullptr);
    EXPECT_EQ(g_measSection, nullptr);
    EXPECT_EQ(g_measMutex, nullptr);
    EXPECT_EQ(nxtest::ProcessesRunning(root_ + "/FlashDisk/NEDIX/NX.EXE").size(), 1u);
}

}  // namespace
