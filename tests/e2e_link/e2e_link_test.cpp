// The bridge end to end on a temporary device laid out by nxdevice: it finds or starts the
// measurement program under its folder prefix, pauses once, sets up the link, and reports a
// set-up failure with exactly one line.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/link_support/device_processes.h"
#include "tests/support/temp_device.h"

namespace nxtest {
namespace {

using std::chrono::milliseconds;

struct BridgeRun {
    int exitCode = -1;
    std::string output;  // standard output and standard error together
    milliseconds elapsed{0};
};

class BridgeTest : public testing::Test {
  protected:
    // The bridge's boxes go to standard error, where the test reads them, even when this
    // machine has a display.
    void SetUp() override { unsetenv("DISPLAY"); }

    void LayOut(const std::string& prefix) {
        ProcessResult r =
            RunProcess({NX_DEVICE_TOOL_PATH, "init", device_.root(), "--prefix", prefix}, device_,
                       std::chrono::seconds(20));
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }

    // Starts the installed stand-in and waits until the device lists it.
    pid_t StartMeasProgram(const std::string& relative) {
        pid_t pid = StartProcess({device_.Path(relative)}, device_);
        bool listed = WaitUntil(
            [&] {
                ProcessResult ps = RunProcess({NX_DEVICE_TOOL_PATH, "ps"}, device_);
                return ps.out.find(std::to_string(pid) + " ") != std::string::npos;
            },
            std::chrono::seconds(5));
        EXPECT_TRUE(listed) << relative << " never listed";
        return pid;
    }

    // Runs the bridge to its end. A measurement program it launches inherits its outputs and
    // outlives it, so the run ends when the bridge's process does, not when its outputs close.
    BridgeRun RunBridge(const std::vector<std::string>& args,
                        const std::vector<std::string>& env = {}) {
        std::vector<std::string> argv{NX_BRIDGE_PATH};
        argv.insert(argv.end(), args.begin(), args.end());
        const std::string log = device_.root() + ".bridge.log";
        auto start = std::chrono::steady_clock::now();
        pid_t pid = StartProcess(argv, device_, env, log);
        std::optional<int> code = WaitProcess(pid, std::chrono::seconds(20));
        BridgeRun run;
        run.elapsed =
            std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - start);
        if (!code) KillProcess(pid);
        EXPECT_TRUE(code.has_value()) << "the bridge did not end";
        run.exitCode = code.value_or(-1);
        run.output = ReadFileBytes(log);
        std::remove(log.c_str());
        return run;
    }

    TempDevice device_;
};

TEST_F(BridgeTest, StartsTheInstalledProgramWhenNoneRunsAndPausesOnce) {
    LayOut("\\FlashDisk\\");
    const std::string image = device_.Path("FlashDisk/NEDIX/NX.EXE");
    ASSERT_TRUE(ProcessesRunning(image).empty());

    BridgeRun run = RunBridge({"-Gha0", "\\FlashDisk\\"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(ProcessesRunning(image).size(), 1u);
    EXPECT_GE(run.elapsed, milliseconds(1500));
    EXPECT_LT(run.elapsed, milliseconds(3000));
}

TEST_F(BridgeTest, FindsTheRunningProgramStartsNoneAndPausesOnce) {
    LayOut("\\FlashDisk\\");
    const std::string image = device_.Path("FlashDisk/NEDIX/NX.EXE");
    pid_t running = StartMeasProgram("FlashDisk/NEDIX/NX.EXE");

    BridgeRun run = RunBridge({"-Gha0", "\\FlashDisk\\"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(ProcessesRunning(image), std::vector<pid_t>{running});
    EXPECT_GE(run.elapsed, milliseconds(1500));
    EXPECT_LT(run.elapsed, milliseconds(3000));
}

TEST_F(BridgeTest, WithoutAnInstalledProgramShowsOneLineAndEndsWithoutPausing) {
    BridgeRun run = RunBridge({"-Gha0", "\\FlashDisk\\"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output, "nxbridge: Nedix meas system error!\n");
    EXPECT_LT(run.elapsed, milliseconds(1500));
}

TEST_F(BridgeTest, UnmatchedSwitchSetsUpTheLinkAndEndsWithoutAWord) {
    LayOut("\\FlashDisk\\");
    pid_t running = StartMeasProgram("FlashDisk/NEDIX/NX.EXE");

    BridgeRun run = RunBridge({"-nor1", "\\Flash\\"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output, "");
    EXPECT_GE(run.elapsed, milliseconds(1500));
    EXPECT_EQ(ProcessesRunning(device_.Path("FlashDisk/NEDIX/NX.EXE")),
              std::vector<pid_t>{running});
}

TEST_F(BridgeTest, PrefixClimbingOutOfTheRootStaysInsideIt) {
    LayOut("\\");
    BridgeRun run = RunBridge({"-nor1", "\\..\\..\\"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(ProcessesRunning(device_.Path("NEDIX/NX.EXE")).size(), 1u);
}

TEST_F(BridgeTest, PrefixOutsideTheBasicPlaneReachesItsFolder) {
    // "\Flash😀\": the character takes positions 13 and 14, the closing backslash 15.
    const std::string folder = "Flash\xF0\x9F\x98\x80";
    LayOut("\\" + folder + "\\");
    BridgeRun run = RunBridge({"-nor1", "\\" + folder + "\\"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(ProcessesRunning(device_.Path(folder + "/NEDIX/NX.EXE")).size(), 1u);
}

struct FaultCase {
    const char* faults;  // NX_FAULTS of the bridge
    const char* line;
};

void PrintTo(const FaultCase& c, std::ostream* os) {
    *os << c.faults;
}

const FaultCase kFaults[] = {
    {"ProcessSnapshot:1", "nxbridge: Nedix meas system error!\n"},
    {"RegisterMessage:7", "nxbridge: Registration message error!\n"},
    {"CreateSection:1", "nxbridge: Fail to create data exchange section!\n"},
    {"MapView:1", "nxbridge: Fail to map data!\n"},
    {"CreateMutex:2", "nxbridge: Fail to create Mutex!\n"},
};

class SetupFaultTest : public BridgeTest, public testing::WithParamInterface<FaultCase> {};

TEST_P(SetupFaultTest, ShowsItsOneLineAndEnds) {
    LayOut("\\FlashDisk\\");
    StartMeasProgram("FlashDisk/NEDIX/NX.EXE");
    BridgeRun run =
        RunBridge({"-Nor0", "\\FlashDisk\\"}, {std::string("NX_FAULTS=") + GetParam().faults});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output, GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(Steps, SetupFaultTest, testing::ValuesIn(kFaults),
                         [](const testing::TestParamInfo<FaultCase>& info) {
                             std::string name = info.param.faults;
                             return name.substr(0, name.find(':'));
                         });

}  // namespace
}  // namespace nxtest
