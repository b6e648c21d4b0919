// "-Ghd" and "-Gha" from end to end: the bridge started as the field software starts it, the
// stand-in installed as NX.EXE, the result read back with vlout.
#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/temp_device.h"

namespace nxtest {
namespace {

using namespace std::chrono_literals;

class UnattendedEndToEnd : public testing::Test {
  protected:
    void LayOut(const std::string& scenario) {
        device_.WriteFile("scenario.ini", scenario + "\n[log]\nfile = \\NXSIM.LOG\n");
        ProcessResult init = Device({"init", device_.root(), "--prefix", "\\FlashDisk\\", "--ini",
                                     device_.Path("scenario.ini")});
        ASSERT_EQ(init.exitCode, 0) << init.err;
    }
    void TearDown() override { Device({"stop"}); }

    ProcessResult Device(std::vector<std::string> args) {
        args.insert(args.begin(), NX_DEVICE_PATH);
        return RunProcess(args, device_, 10s);
    }

    // The bridge launches the stand-in, which outlives it with the bridge's outputs: the run
    // ends when the bridge's process does.
    std::chrono::milliseconds RunBridge(const std::string& mode) {
        auto start = std::chrono::steady_clock::now();
        pid_t pid = StartProcess({NX_BRIDGE_PATH, mode, "\\FlashDisk\\"}, device_);
        std::optional<int> code = WaitProcess(pid, 20s);
        if (!code) KillProcess(pid);
        EXPECT_EQ(code, std::optional<int>(0));
        return std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
    }

    // The fields of \VLMIS.OUT as vlout reads them (one per line), or vlout's complaint.
    std::string ResultFields() {
        ProcessResult r = RunProcess({NX_VLOUT_PATH, device_.Path("VLMIS.OUT")}, device_);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return r.out;
    }

    // The commands the stand-in received, "NAME WPARAM LPARAM" each, once it has logged count.
    std::vector<std::string> StandInLog(std::size_t count) {
        std::vector<std::string> lines;
        WaitUntil(
            [&] {
                lines.clear();
                std::istringstream log(ReadFileBytes(device_.Path("NXSIM.LOG")));
                for (std::string line; std::getline(log, line);) lines.push_back(line);
                return lines.size() >= count;
            },
            5s);
        return lines;
    }

    TempDevice device_;
};

const std::vector<std::string> kRequests = {"NXCONFPARAMETER 11 0", "NXCONFPARAMETER 59 0",
                                            "NXCONFPARAMETER 58 0", "NXCONFPARAMETER 57 0",
                                            "NXCONFPARAMETER 56 0"};

std::vector<std::string> Then(std::vector<std::string> more) {
    std::vector<std::string> all = kRequests;
    all.insert(all.end(), more.begin(), more.end());
    return all;
}

TEST_F(UnattendedEndToEnd, DistanceRunWaitsForTheMeasurementAndStopsTheMeter) {
    LayOut(
        "[record]\nangle_unit = 1\nhz_angle = 162000\nv_angle = 324000\n"
        "[edm]\nmeasure_ms = 400\ndistance = 25.431\n");
    std::chrono::milliseconds elapsed = RunBridge("-Ghd0");
    EXPECT_GE(elapsed, 1500ms + 400ms);
    EXPECT_LT(elapsed, 1500ms + 4000ms);  // far from the hundred polls
    EXPECT_EQ(ResultFields(), " 49.9999\n 0.0001\n25.431\n");
    EXPECT_EQ(StandInLog(7), Then({"NXSETEDMMODE 25 0", "NXSETEDMMODE 17 0"}));
}

TEST_F(UnattendedEndToEnd, AnglesRunTakesTheRecordOnceAndLeavesAnIdleMeterAlone) {
    LayOut("[record]\nangle_unit = 2\nhz_angle = 324000\nv_angle = -324000\n");
    std::chrono::milliseconds elapsed = RunBridge("-Gha1");
    EXPECT_LT(elapsed, 1500ms + 2000ms);
    EXPECT_EQ(ResultFields(), " 1599.99\n -1599.99\n\n");
    EXPECT_EQ(StandInLog(5), kRequests);
}

// The stand-in takes the mutex and dies holding it while the bridge polls: the next copy finds
// the mutex abandoned and keeps the last record, later copies work again, and the run still
// ends on its own with a whole file carrying the last angles.
TEST_F(UnattendedEndToEnd, AStandInDyingWithTheMutexStillLeavesAWholeFile) {
    LayOut(
        "[record]\nangle_unit = 0\nhz_angle = 3661\nv_angle = 324000\n"
        "[edm]\nmeasure_ms = 60000\n[faults]\ndie_holding_mutex_ms = 1900\n");
    std::chrono::milliseconds elapsed = RunBridge("-Ghd0");
    EXPECT_LT(elapsed, 1500ms + 10000ms + 6000ms);  // bounded, with room for a loaded machine
    EXPECT_EQ(ResultFields(), "1\u00A1\u00E301'01\"\n90\u00A1\u00E300'00\"\n\n");
}

// The measurement program the bridge starts outlives it; it must not hold the bridge's output
// open, or a caller reading that output would wait for the measurement program to end.
TEST_F(UnattendedEndToEnd, AStartedMeasurementProgramDoesNotHoldTheCallersOutput) {
    LayOut("[record]\nhz_angle = 1\n");
    ProcessResult run = RunProcess({NX_BRIDGE_PATH, "-Gha0", "\\FlashDisk\\"}, device_, 20s);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_LT(run.elapsed, 1500ms + 5000ms);
    EXPECT_EQ(run.err, "");
}

}  // namespace
}  // namespace nxtest
