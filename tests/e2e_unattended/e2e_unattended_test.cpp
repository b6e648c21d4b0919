// "-Ghd" and "-Gha" from end to end: the bridge started as the field software starts it, the
// stand-in installed as NX.EXE, the result read back with vlout.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/child.h"
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

    // Runs the bridge to its end; how long it took.
    std::chrono::milliseconds RunBridge(const std::string& mode) {
        ProcessResult run = RunProcess({NX_BRIDGE_PATH, mode, "\\FlashDisk\\"}, device_, 20s);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        return run.elapsed;
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

// An X display on 127.0.0.1 that counts the connections made to it and refuses each at once,
// so that a program that tries it falls back to running without a display.
class RecordingDisplay {
  public:
    RecordingDisplay() {
        listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        // Display N listens on TCP port 6000 + N: the first free one of a range no X server
        // here uses.
        for (number_ = 150; number_ < 400; ++number_) {
            address.sin_port = htons(static_cast<uint16_t>(6000 + number_));
            if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) break;
        }
        listen(listener_, 8);
        watcher_ = std::thread([this] {
            while (!stop_) {
                pollfd entry{listener_, POLLIN, 0};
                if (poll(&entry, 1, 20) <= 0) continue;
                int connection = accept(listener_, nullptr, nullptr);
                if (connection < 0) continue;
                ++connections_;
                close(connection);
            }
        });
    }
    ~RecordingDisplay() {
        stop_ = true;
        watcher_.join();
        close(listener_);
    }
    std::string name() const { return "DISPLAY=127.0.0.1:" + std::to_string(number_); }
    int connections() const { return connections_; }

  private:
    int listener_ = -1;
    int number_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0};
    std::thread watcher_;
};

// Only what is shown on the screen opens the display: a run that shows nothing never connects
// to it, while a set-up failure's message box and a dialog each try it and, refused, fall back
// to running without it. The result files are written either way.
struct DisplayCase {
    const char* name;
    const char* mode;
    bool standIn;            // the stand-in installed, so the set-up succeeds
    bool touchesDisplay;     // whether the run connects to the display
    const char* resultFile;  // written by the run, or nullptr
    const char* err;         // the run's standard error
};
void PrintTo(const DisplayCase& c, std::ostream* os) {
    *os << c.name;
}
class DisplayUse : public UnattendedEndToEnd, public testing::WithParamInterface<DisplayCase> {};

TEST_P(DisplayUse, OnlyWhatIsShownOpensTheDisplay) {
    const DisplayCase& c = GetParam();
    if (c.standIn) {
        LayOut(
            "[record]\nhz_angle = 1\n[edm]\nmeasure_ms = 100\ndistance = 2.5\n"
            "[params]\np56 = 7\n");
    }
    RecordingDisplay display;
    ProcessResult run =
        RunProcess({NX_BRIDGE_PATH, c.mode, "\\FlashDisk\\"}, device_, 20s, {display.name()});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(display.connections() > 0, c.touchesDisplay) << display.connections();
    if (c.resultFile) {
        EXPECT_TRUE(FileExists(device_.Path(c.resultFile))) << run.err;
    }
    EXPECT_EQ(run.err, c.err);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, DisplayUse,
    testing::Values(DisplayCase{"AnglesOnly", "-Gha0", true, false, "VLMIS.OUT", ""},
                    DisplayCase{"AnglesAndDistance", "-Ghd0", true, false, "VLMIS.OUT", ""},
                    DisplayCase{"AnglesOnlyFailedSetUp", "-Gha0", false, true, nullptr,
                                "nxbridge: Nedix meas system error!\n"},
                    DisplayCase{"VersionQuery", "-Ver0", true, true, "VLVER.OUT", ""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace nxtest
