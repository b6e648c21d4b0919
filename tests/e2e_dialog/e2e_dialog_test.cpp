// The dialog's runs from end to end: nxbridge started as the field software starts it, the
// stand-in NX.EXE answering, and a user's clicks made with nxdevice.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/child.h"
#include "tests/support/expected_file.h"
#include "tests/support/temp_device.h"

namespace nxtest {
namespace {

using namespace std::chrono_literals;

constexpr int kMeasureMs = 300;

// Stand-in scenario: gon angles, a distance 300 ms after the start command, four version
// values, and a log of every command received.
std::string Scenario(const std::string& extraFaults = "") {
    std::ostringstream ini;
    ini << "[record]\nangle_unit = 1\nhz_angle = 162000\nv_angle = 324000\n"
        << "[edm]\nmeasure_ms = " << kMeasureMs << "\ndistance = 25.431\n"
        << "[params]\np59 = 2008\np58 = 102\np57 = -3\np56 = 77\n"
        << "[faults]\n"
        << extraFaults << "\n[log]\nfile = \\NXSIM.LOG\n";
    return ini.str();
}

class DialogRunTest : public testing::Test {
  protected:
    // A device with the stand-ins installed under \FlashDisk\ and the scenario.
    void LayOut(const std::string& scenario) {
        device_.WriteFile("scenario.ini", scenario);
        ProcessResult init = Device({"init", device_.root(), "--prefix", "\\FlashDisk\\", "--ini",
                                     device_.Path("scenario.ini")});
        ASSERT_EQ(init.exitCode, 0) << init.err;
    }

    void TearDown() override {
        bridge_.reset();
        Device({"stop"});
    }

    ProcessResult Device(std::vector<std::string> args) {
        args.insert(args.begin(), NX_DEVICE_PATH);
        return RunProcess(args, device_, 10s);
    }

    // Without a display (as in the test runs) the bridge runs headless; nxdevice clicks work
    // the same on a shown window.
    void StartBridge(const std::string& commandLine) {
        bridge_.emplace(std::vector<std::string>{NX_BRIDGE_PATH, commandLine, "\\FlashDisk\\"},
                        device_);
    }

    // The commands the stand-in received, one "NAME WPARAM LPARAM" each.
    std::vector<std::string> StandInLog() const {
        std::vector<std::string> lines;
        const std::string path = device_.Path("NXSIM.LOG");
        if (!FileExists(path)) return lines;
        std::istringstream log(ReadFileBytes(path));
        for (std::string line; std::getline(log, line);) lines.push_back(line);
        return lines;
    }

    bool StandInLogHas(std::size_t count) const { return StandInLog().size() >= count; }

    // The dialog is up once the stand-in has received the last of its five requests.
    void WaitForDialog() {
        ASSERT_TRUE(WaitUntil([&] { return StandInLogHas(5); }, 15s)) << bridge_->Errors();
    }

    void Click(int control) {
        ProcessResult click = Device({"click", std::to_string(control)});
        ASSERT_EQ(click.exitCode, 0) << click.err;
    }

    static const std::vector<std::string>& Requests() {
        static const std::vector<std::string> requests = {
            "NXCONFPARAMETER 11 0", "NXCONFPARAMETER 59 0", "NXCONFPARAMETER 58 0",
            "NXCONFPARAMETER 57 0", "NXCONFPARAMETER 56 0"};
        return requests;
    }

    TempDevice device_;
    std::optional<Child> bridge_;
};

TEST_F(DialogRunTest, MisuraThenConfermaWritesTheMeasurement) {
    LayOut(Scenario());
    StartBridge("-Nor0");
    WaitForDialog();
    Click(1000);
    ASSERT_TRUE(WaitUntil([&] { return StandInLogHas(6); }, 5s));
    // The distance is in measure_ms after the stand-in took the command; the margin covers
    // the notification's way to the dialog.
    std::this_thread::sleep_for(std::chrono::milliseconds(kMeasureMs) + 1000ms);
    Click(1010);
    EXPECT_EQ(bridge_->Wait(10s), std::optional<int>(0));

    const std::string result = ReadFileBytes(device_.Path("VLMIS.OUT"));
    EXPECT_EQ(result, ResultFileBytes(u" 49.9999\u00A7 0.0001\u00A725.431\u00A7"));
    // The meter was left active, so the dialog's end stops it.
    ASSERT_TRUE(WaitUntil([&] { return StandInLogHas(7); }, 5s));
    std::vector<std::string> expected = Requests();
    expected.push_back("NXSETEDMMODE 30 0");
    expected.push_back("NXSETEDMMODE 17 0");
    EXPECT_EQ(StandInLog(), expected);
}

TEST_F(DialogRunTest, AnnullaWritesNothing) {
    LayOut(Scenario());
    StartBridge("-Nor0");
    WaitForDialog();
    Click(1009);
    EXPECT_EQ(bridge_->Wait(10s), std::optional<int>(0));
    EXPECT_FALSE(FileExists(device_.Path("VLMIS.OUT")));
    EXPECT_FALSE(FileExists(device_.Path("VLVER.OUT")));
    // No data arrived at the dialog's record copy with an active meter: no stop command.
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(StandInLog(), Requests());
}

TEST_F(DialogRunTest, VersionQueryWritesTheFourValuesAndEnds) {
    LayOut(Scenario());
    // The bridge is waited for as a process, not through its outputs: the stand-in it
    // launched inherits them and outlives it.
    StartBridge("-Ver1");
    EXPECT_EQ(bridge_->Wait(20s), std::optional<int>(0)) << bridge_->Errors();
    EXPECT_EQ(ReadFileBytes(device_.Path("VLVER.OUT")),
              ResultFileBytes(u"2008\u00A7102\u00A7-3\u00A777\u00A7"));
    EXPECT_FALSE(FileExists(device_.Path("VLMIS.OUT")));
    EXPECT_EQ(StandInLog(), Requests());
}

// The device's one stand-in, as nxdevice lists it: "PID THREAD  NX.EXE", or empty.
std::string StandInRow(const ProcessResult& ps) {
    std::istringstream rows(ps.out);
    for (std::string row; std::getline(rows, row);)
        if (row.ends_with("  NX.EXE")) return row;
    return "";
}

// A notification every millisecond. An unattended distance run reads no messages while it
// polls, so its queue fills and the stand-in's posts fail; the stand-in goes on (the distance
// still comes), the run ends in time with the right file, and a dialog run on the same
// stand-in takes each click at once. The distance comes late in the run, well after the queue
// has filled at about a thousand notifications a second.
TEST_F(DialogRunTest, ANotificationEveryMillisecondStallsNeitherTheRunsNorTheStandIn) {
    LayOut(
        "[record]\nangle_unit = 1\nhz_angle = 162000\nv_angle = 324000\n"
        "[edm]\nmeasure_ms = 8000\ndistance = 25.431\n[notify]\nperiod_ms = 1\n"
        "[log]\nfile = \\NXSIM.LOG\n");
    const std::string result = ResultFileBytes(u" 49.9999\u00A7 0.0001\u00A725.431\u00A7");
    const auto start = std::chrono::steady_clock::now();
    StartBridge("-Ghd0");
    // The queue is full once a click on the dialog's window is refused. (Control 4242 does
    // not exist: a click that went through does nothing.)
    bool full = false;
    std::optional<int> code;
    while (!full && !(code = bridge_->Wait(200ms)))
        full = Device({"click", "4242"}).err.find("did not take") != std::string::npos;
    EXPECT_TRUE(full) << "the run ended before its queue filled";
    if (!code) code = bridge_->Wait(20s);
    EXPECT_EQ(code, std::optional<int>(0));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1500ms + 10000ms + 4000ms);
    EXPECT_EQ(ReadFileBytes(device_.Path("VLMIS.OUT")), result);
    const std::string standIn = StandInRow(Device({"ps"}));
    ASSERT_NE(standIn, "");

    std::filesystem::remove(device_.Path("VLMIS.OUT"));
    StartBridge("-Nor0");
    ASSERT_TRUE(WaitUntil([&] { return StandInLogHas(7 + 5); }, 15s));
    for (auto [control, lines] : {std::pair{1000, 13}, std::pair{1001, 14}}) {
        Click(control);
        EXPECT_TRUE(WaitUntil([&] { return StandInLogHas(lines); }, 3s)) << control;
    }
    Click(1010);
    EXPECT_EQ(bridge_->Wait(10s), std::optional<int>(0));
    EXPECT_EQ(ReadFileBytes(device_.Path("VLMIS.OUT")), result);
    EXPECT_EQ(StandInRow(Device({"ps"})), standIn);  // the same process all along

    std::vector<std::string> expected = Requests();
    expected.insert(expected.end(), {"NXSETEDMMODE 25 0", "NXSETEDMMODE 17 0"});
    expected.insert(expected.end(), Requests().begin(), Requests().end());
    expected.insert(expected.end(), {"NXSETEDMMODE 30 0", "NXSETEDMMODE 17 0"});
    EXPECT_EQ(StandInLog(), expected);
}

TEST_F(DialogRunTest, VersionQueryWithoutAnAnswerFor56StaysOpenUntilClosed) {
    LayOut(Scenario("ignore_conf = 56"));
    StartBridge("-Ver1");
    WaitForDialog();
    EXPECT_FALSE(bridge_->Wait(1s).has_value());
    EXPECT_FALSE(FileExists(device_.Path("VLVER.OUT")));
    Click(1009);
    EXPECT_EQ(bridge_->Wait(10s), std::optional<int>(0));
    EXPECT_FALSE(FileExists(device_.Path("VLVER.OUT")));
}

}  // namespace
}  // namespace nxtest
