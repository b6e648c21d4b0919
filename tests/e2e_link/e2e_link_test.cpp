// The bridge end to end on a temporary device laid out by nxdevice: it finds or starts the
// measurement program under its folder prefix, pauses once, sets up the link, and reports a
// set-up failure with exactly one line.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/link_support/device_processes.h"
#include "tests/support/child.h"
#include "tests/support/temp_device.h"

namespace nxtest {
namespace {

using std::chrono::milliseconds;

class BridgeTest : public testing::Test {
  protected:
    void LayOut(const std::string& prefix) {
        ProcessResult r =
            RunProcess({NX_DEVICE_TOOL_PATH, "init", device_.root(), "--prefix", prefix}, device_,
                       std::chrono::seconds(20));
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }

    // Starts the installed stand-in and waits until the device lists it. Returns its pid; it runs
    // until the test ends.
    pid_t StartMeasProgram(const std::string& relative) {
        const pid_t pid = started_.emplace_back(std::vector{device_.Path(relative)}, device_).pid();
        bool listed = WaitUntil(
            [&] {
                ProcessResult ps = RunProcess({NX_DEVICE_TOOL_PATH, "ps"}, device_);
                return ps.out.find(std::to_string(pid) + " ") != std::string::npos;
            },
            std::chrono::seconds(5));
        EXPECT_TRUE(listed) << relative << " never listed";
        return pid;
    }

    // Runs the bridge to its end. Its boxes go to standard error, where the test reads them.
    ProcessResult RunBridge(const std::vector<std::string>& args) {
        std::vector<std::string> argv{NX_BRIDGE_PATH};
        argv.insert(argv.end(), args.begin(), args.end());
        ProcessResult run = RunProcess(argv, device_, std::chrono::seconds(20));
        EXPECT_FALSE(run.timedOut) << "the bridge did not end";
        return run;
    }

    TempDevice device_;
    std::vector<Child> started_;
};

TEST_F(BridgeTest, StartsTheInstalledProgramWhenNoneRunsAndPausesOnce) {
    LayOut("\\FlashDisk\\");
    const std::string image = device_.Path("FlashDisk/NEDIX/NX.EXE");
    ASSERT_TRUE(ProcessesRunning(image).empty());

    ProcessResult run = RunBridge({"-Gha0", "\\FlashDisk\\"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out + run.err, "");
    EXPECT_EQ(ProcessesRunning(image).size(), 1u);
    EXPECT_GE(run.elapsed, milliseconds(1500));
    EXPECT_LT(run.elapsed, milliseconds(3000));
}

TEST_F(BridgeTest, FindsTheRunningProgramStartsNoneAndPausesOnce) {
    LayOut("\\FlashDisk\\");
    const std::string image = device_.Path("FlashDisk/NEDIX/NX.EXE");
    pid_t running = StartMeasProgram("FlashDisk/NEDIX/NX.EXE");

    ProcessResult run = RunBridge({"-Gha0", "\\FlashDisk\\"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out + run.err, "");
    EXPECT_EQ(ProcessesRunning(image), std::vector<pid_t>{running});
    EXPECT_GE(run.elapsed, milliseconds(1500));
    EXPECT_LT(run.elapsed, milliseconds(3000));
}

TEST_F(BridgeTest, WithoutAnInstalledProgramShowsOneLineAndEndsWithoutPausing) {
    ProcessResult run = RunBridge({"-Gha0", "\\FlashDisk\\"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out + run.err, "nxbridge: Nedix meas system error!\n");
    EXPECT_LT(run.elapsed, milliseconds(1500));
}

TEST_F(BridgeTest, UnmatchedSwitchSetsUpTheLinkAndEndsWithoutAWord) {
    LayOut("\\FlashDisk\\");
    pid_t running = StartMeasProgram("FlashDisk/NEDIX/NX.EXE");

    ProcessResult run = RunBridge({"-nor1", "\\Flash\\"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out + run.err, "");
    EXPECT_GE(run.elapsed, milliseconds(1500));
    EXPECT_EQ(ProcessesRunning(device_.Path("FlashDisk/NEDIX/NX.EXE")),
              std::vector<pid_t>{running});
}

TEST_F(BridgeTest, PrefixClimbingOutOfTheRootStaysInsideIt) {
    LayOut("\\");
    ProcessResult run = RunBridge({"-nor1", "\\..\\..\\"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out + run.err, "");
    EXPECT_EQ(ProcessesRunning(device_.Path("NEDIX/NX.EXE")).size(), 1u);
}

TEST_F(BridgeTest, PrefixOutsideTheBasicPlaneReachesItsFolder) {
    // "\Flash😀\": the character takes positions 13 and 14, the closing backslash 15.
    const std::string folder = "Flash\xF0\x9F\x98\x80";
    LayOut("\\" + folder + "\\");
    ProcessResult run = RunBridge({"-nor1", "\\" + folder + "\\"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out + run.err, "");
    EXPECT_EQ(ProcessesRunning(device_.Path(folder + "/NEDIX/NX.EXE")).size(), 1u);
}

}  // namespace
}  // namespace nxtest
