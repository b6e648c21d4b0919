// The same scenarios on both platforms: each runs once with the Linux build on a device of our
// imitation and once with the Windows build under Wine, at the same time, and both must leave
// the same result file, byte for byte, and the same commands in the stand-in's log, in the
// same order.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <future>
#include <optional>
#include <sstream>

#include "platform/device_posix.h"
#include "tests/support/child.h"
#include "tests/support/temp_device.h"
#include "tests/wine/wine_prefix.h"

namespace nxtest {
namespace {

struct Scenario {
    const char* name;
    std::string ini;                // NXSIM.INI; the log is added
    std::vector<std::string> args;  // the command line, as the field software writes it
    const char* resultFile;         // the file the run writes, or nullptr for none
    std::vector<std::string> commands;
    bool standInRunning = false;  // started before the bridge, instead of by it
    // The device-wide start lock cannot be made: on Linux a folder stands where its file goes,
    // on Windows an event holds its name.
    bool startLockUnusable = false;
    std::string startFolder = "";  // the bridge's current folder in the device; "" the root
    const char* faults = nullptr;  // NX_FAULTS of the bridge: then it writes no result file
    // A previous result file stands in the root, which the run replaces unless something
    // refuses it (then the previous one is left as it was).
    bool previousFile = false;
    Refusal refusal = Refusal::None;

    bool Writes() const { return resultFile && !faults && refusal == Refusal::None; }
    friend void PrintTo(const Scenario& s, std::ostream* os) { *os << s.name; }
};

struct Outcome {
    std::optional<int> exitCode;
    std::string errors;                 // the bridge's standard error
    std::optional<std::string> result;  // the result file's bytes, when it is a file
    bool resultIsAFolder = false;
    std::vector<std::string> temporaries;  // left in the root
    std::vector<std::string> commands;     // the stand-in's log
    std::optional<int> dialogsShown;       // Windows: the most dialogs on the screen at once
    std::string previous;                  // the previous result file's bytes, if one stood
};

constexpr char kDialogTitle[] = "Velmo Dudada - Zamto serie X9";
constexpr char kWatchEnd[] = "WATCH.END";  // made once the run has ended

constexpr char kLog[] = "\n[log]\nfile = \\NXSIM.LOG\n";

std::string Record(int unit, int hz, int v, const std::string& more = "") {
    return "[record]\nangle_unit = " + std::to_string(unit) + "\nhz_angle = " + std::to_string(hz) +
           "\nv_angle = " + std::to_string(v) + "\n" + more;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The log once the stand-in has had the bridge's last command: no new line for a while.
std::vector<std::string> SettledLog(const std::string& hostPath) {
    std::string last = ReadFileBytes(hostPath);
    auto stableSince = std::chrono::steady_clock::now();
    WaitUntil(
        [&] {
            std::string now = ReadFileBytes(hostPath);
            if (now != last) {
                last = now;
                stableSince = std::chrono::steady_clock::now();
            }
            return std::chrono::steady_clock::now() - stableSince > 400ms;
        },
        5s);
    return Lines(last);
}

Outcome Finish(const Scenario& s, const TempDevice& device, Child bridge) {
    Outcome outcome;
    outcome.exitCode = bridge.Wait(40s);
    if (!outcome.exitCode) bridge.Kill();
    outcome.errors = bridge.Errors();
    if (s.resultFile) {
        const std::string path = device.Path(s.resultFile);
        outcome.resultIsAFolder = std::filesystem::is_directory(path);
        if (std::filesystem::is_regular_file(path)) outcome.result = ReadFileBytes(path);
    }
    outcome.temporaries = LeftTemporaries(device);
    outcome.commands = SettledLog(device.Path("NXSIM.LOG"));
    return outcome;
}

// "" when the run kept the rule for the result file: a run that writes replaces the previous
// file whole; one that cannot leaves it as it was (a folder in its place stays a folder); and
// neither leaves a temporary file behind. Otherwise what it did instead.
std::string BrokenFileRule(const Scenario& s, const Outcome& o) {
    const std::optional<std::string> kept =
        o.previous.empty() ? std::nullopt : std::optional(o.previous);
    if (!o.temporaries.empty()) return "a temporary file was left: " + o.temporaries.front();
    if (s.Writes()) {
        if (!o.result) return "no result file";
        if (s.previousFile && o.result == kept) return "the previous file is still there";
    } else if (s.refusal == Refusal::Folder) {
        if (!o.resultIsAFolder) return "the folder in the file's place is gone";
    } else if (o.result != kept) {
        return o.result ? "the result file was written" : "the previous file is gone";
    }
    return "";
}

// The previous result file of the scenario, laid out in the device, and its bytes.
std::string PreviousFile(const Scenario& s, const TempDevice& device) {
    if (!s.previousFile && s.refusal == Refusal::None) return "";
    const std::size_t fields = std::string_view(s.resultFile) == "VLVER.OUT" ? 4 : 3;
    return LayOutPreviousFile(device, s.resultFile, fields, s.refusal);
}

// A folder where the start lock's file goes, in the device's runtime folder made as the
// platform makes it (each level 0700, so that the bridge accepts it).
void BlockStartLockFile(const TempDevice& device) {
    const std::string lock = win::RuntimeDirectoryForRoot(device.root()) + "/mutexes/NXBRIDGESTART";
    for (std::size_t slash = lock.find('/', 1);; slash = lock.find('/', slash + 1)) {
        mkdir(lock.substr(0, slash).c_str(), 0700);
        if (slash == std::string::npos) break;
    }
}

std::vector<std::string> FaultEnvironment(const Scenario& s) {
    if (!s.faults) return {};
    return {std::string("NX_FAULTS=") + s.faults};
}

Outcome RunOnLinux(const Scenario& s) {
    TempDevice device;
    device.WriteFile("scenario.ini", s.ini + kLog);
    ProcessResult init = RunProcess(
        {NX_DEVICE_PATH, "init", device.root(), "--ini", device.Path("scenario.ini")}, device, 10s);
    EXPECT_EQ(init.exitCode, 0) << init.err;
    std::optional<Child> standIn;
    if (s.standInRunning) {
        standIn.emplace(std::vector{device.Path("FLASHDISK/NEDIX/NX.EXE")}, device);
        EXPECT_TRUE(WaitUntil([&] { return FileExists(device.Path("NXSIM.LOG")); }, 10s));
    }
    if (s.startLockUnusable) BlockStartLockFile(device);
    const std::string previous = PreviousFile(s, device);
    // Another of the device's programs holds the file, with the platform's own exclusive open.
    std::optional<Child> holder;
    if (s.refusal == Refusal::HeldOpen) {
        holder.emplace(std::vector<std::string>{FAULT_WRITER_PATH, "hold"}, device);
        EXPECT_EQ(holder->Line(0), "held");
    }
    // Started from the same folder as on Windows, through a shell that goes there first.
    const std::string startIn = "cd \"$1\" && shift && exec \"$@\"";
    std::vector<std::string> argv = {"/bin/sh",     "-c", startIn, "sh", device.Path(s.startFolder),
                                     NX_BRIDGE_PATH};
    argv.insert(argv.end(), s.args.begin(), s.args.end());
    Outcome outcome = Finish(s, device, Child(argv, device, FaultEnvironment(s)));
    outcome.previous = previous;
    return outcome;
}

Outcome RunOnWindows(const Scenario& s) {
    WineDevice device(s.ini + kLog);
    std::optional<Child> standIn;
    if (s.standInRunning) {
        standIn.emplace(device.Start("\\FLASHDISK\\NEDIX\\NX.EXE", {}));
        EXPECT_TRUE(WaitUntil([&] { return FileExists(device.Path("NXSIM.LOG")); }, 20s));
    }
    std::optional<Child> holder;
    if (s.startLockUnusable) {
        holder.emplace(device.Start(WindowsProgram("nxwinprobe.exe"),
                                    {"hold", "NXBRIDGESTART", std::string("\\") + s.resultFile}));
        EXPECT_TRUE(
            WaitUntil([&] { return holder->Output().find("held") != std::string::npos; }, 20s));
    }
    const std::string previous = PreviousFile(s, device.device());
    // Another program holds the file with the real exclusive open.
    std::optional<WineDevice::Holder> fileHolder;
    if (s.refusal == Refusal::HeldOpen) fileHolder.emplace(device.HoldOpen("\\VLMIS.OUT"));
    // What the screen shows while the bridge runs.
    Child watcher = device.Start(WindowsProgram("nxwinprobe.exe"),
                                 {"watch", kDialogTitle, std::string("\\") + kWatchEnd});
    EXPECT_EQ(watcher.Line(0, 20s).rfind("watching", 0), 0u);
    Outcome outcome = Finish(s, device.device(),
                             device.Start(WindowsProgram("nxbridge.exe"), s.args, 60s,
                                          s.startFolder, FaultEnvironment(s)));
    device.device().WriteFile(kWatchEnd, "");
    if (const std::string shown = watcher.Line(1, 20s); !shown.empty())
        outcome.dialogsShown = std::stoi(shown);
    if (holder && !holder->Wait(20s)) holder->Kill();
    outcome.previous = previous;
    return outcome;
}

class Differential : public testing::TestWithParam<Scenario> {
  protected:
    static void SetUpTestSuite() { WinePrefix::Shared(); }
};

TEST_P(Differential, SameResultFileAndCommandsOnBothPlatforms) {
    const Scenario& s = GetParam();
    auto onWindows = std::async(std::launch::async, RunOnWindows, s);
    Outcome linux = RunOnLinux(s);
    Outcome windows = onWindows.get();

    EXPECT_EQ(linux.exitCode, std::optional<int>(0));
    EXPECT_EQ(windows.exitCode, std::optional<int>(0));
    // Silently: no message box, which off the screen is the bridge's line on standard error
    // (where on Windows the stand-in it started writes too).
    EXPECT_EQ(linux.errors.find("nxbridge"), std::string::npos) << linux.errors;
    EXPECT_EQ(windows.errors.find("nxbridge"), std::string::npos) << windows.errors;
    EXPECT_EQ(BrokenFileRule(s, windows), "") << "on Windows";
    EXPECT_EQ(BrokenFileRule(s, linux), "") << "on Linux";
    EXPECT_EQ(windows.result, linux.result);
    EXPECT_EQ(linux.commands, s.commands);
    EXPECT_EQ(windows.commands, linux.commands);
    // An unattended run's dialog is never on the screen: nobody could use it. (The version
    // query's is, but too briefly to be seen every time.)
    if (s.args[0].rfind("-Gh", 0) == 0) {
        EXPECT_EQ(windows.dialogsShown, std::optional(0));
    }
}

// A distance that comes 300 ms after the request.
constexpr char kDistance[] = "[edm]\nmeasure_ms = 300\ndistance = 2.5\n";

const std::vector<std::string> kGha0 = {"-Gha0", "\\FlashDisk\\"};
const std::vector<std::string> kGha1 = {"-Gha1", "\\FlashDisk\\"};
const std::vector<std::string> kGhd0 = {"-Ghd0", "\\FlashDisk\\"};

INSTANTIATE_TEST_SUITE_P(
    Scenarios, Differential,
    testing::Values(
        // Angles in each unit and both firmware years, at the edges of each form.
        Scenario{"Dms2008", Record(0, 1295999, -61), kGha0, "VLMIS.OUT", Requests()},
        Scenario{"Dms2009", Record(0, -3661, 3661), kGha1, "VLMIS.OUT", Requests()},
        Scenario{"Gon2008", Record(1, 3240, 648000), kGha0, "VLMIS.OUT", Requests()},
        Scenario{"Gon2009", Record(1, 324000, -3240), kGha1, "VLMIS.OUT", Requests()},
        Scenario{"Mil2008", Record(2, -324000, 3), kGha0, "VLMIS.OUT", Requests()},
        Scenario{"Mil2009", Record(2, 1, 1295999), kGha1, "VLMIS.OUT", Requests()},
        // A distance standing in the record is taken as it is; the meter is active, so it
        // is stopped at the end.
        Scenario{
            "StandingDistance",
            Record(1, 0, 324000, "distance_valid = 1\nedm_state = 1\nslope_distance = 12.3456\n"),
            kGha0, "VLMIS.OUT", Requests({"NXSETEDMMODE 17 0"})},
        // The distance arrives after measure_ms; 1.0625 is a tie at three decimals, which
        // both C libraries must round to even.
        Scenario{"DistanceAfterMeasuring",
                 Record(1, 162000, 324000, "[edm]\nmeasure_ms = 1200\ndistance = 1.0625\n"), kGhd0,
                 "VLMIS.OUT", Requests({"NXSETEDMMODE 25 0", "NXSETEDMMODE 17 0"})},
        Scenario{"EdmState2", Record(2, 100, 200, "distance_valid = 1\nedm_state = 2\n"), kGha0,
                 "VLMIS.OUT", Requests({"NXSETEDMMODE 17 0"})},
        // "0.000" is no result: a hundred polls, then the file with it.
        Scenario{"ZeroDistance", Record(0, 3600, 7200, "[edm]\nmeasure_ms = 200\ndistance = 0\n"),
                 kGhd0, "VLMIS.OUT", Requests({"NXSETEDMMODE 25 0", "NXSETEDMMODE 17 0"})},
        Scenario{"VersionQuery",
                 "[params]\np59 = -2147483648\np58 = 1\np57 = 2\np56 = 2147483647\n",
                 {"-Ver0", "\\FlashDisk\\"},
                 "VLVER.OUT",
                 Requests()},
        Scenario{"StandInAlreadyRunning", Record(1, 5, 6), kGha0, "VLMIS.OUT", Requests(), true},
        // The start lock only keeps bridges from starting two measurement programs: a lock
        // that cannot be made is no reason to fail the run.
        Scenario{.name = "StartLockUnusable",
                 .ini = Record(1, 9, 10),
                 .args = kGha0,
                 .resultFile = "VLMIS.OUT",
                 .commands = Requests(),
                 .startLockUnusable = true},
        // A prefix without its leading backslash is taken from the root, not from the current
        // folder, which the device does not have.
        Scenario{.name = "PrefixWithoutLeadingBackslash",
                 .ini = Record(0, 11, 12),
                 .args = {"-Gha0", "FlashDisk\\"},
                 .resultFile = "VLMIS.OUT",
                 .commands = Requests(),
                 .startFolder = "FLASHDISK"},
        // The prefix is upper-cased by each platform's own upper-casing, and found in any case.
        Scenario{"LowerCasePrefix",
                 Record(0, 7, 8),
                 {"-Gha1", "\\flashdisk\\"},
                 "VLMIS.OUT",
                 Requests()},
        // The disk fills in the middle of the result file: the run ends as it always does and
        // leaves no file (the Windows build injects the platform's faults too).
        Scenario{.name = "DiskFullMidWrite",
                 .ini = Record(1, 5, 6),
                 .args = kGha0,
                 .resultFile = "VLMIS.OUT",
                 .commands = Requests(),
                 .faults = "WriteFile:1",
                 .previousFile = true},
        // The new file is written out but cannot take the old one's name.
        Scenario{.name = "RenameFails",
                 .ini = Record(1, 5, 6, kDistance),
                 .args = kGhd0,
                 .resultFile = "VLMIS.OUT",
                 .commands = Requests({"NXSETEDMMODE 25 0", "NXSETEDMMODE 17 0"}),
                 .faults = "CommitFile:1",
                 .previousFile = true},
        // The file of the run before is replaced whole.
        Scenario{.name = "PreviousFileReplaced",
                 .ini = Record(1, 13, 14),
                 .args = kGha0,
                 .resultFile = "VLMIS.OUT",
                 .commands = Requests(),
                 .previousFile = true},
        // What refuses the new file leaves the old one as it was, and the run ends as always.
        Scenario{.name = "ReadOnlyPreviousFile",
                 .ini = Record(1, 15, 16),
                 .args = kGha0,
                 .resultFile = "VLMIS.OUT",
                 .commands = Requests(),
                 .refusal = Refusal::ReadOnly},
        Scenario{.name = "FolderInTheResultFilesPlace",
                 .ini = Record(1, 17, 18, kDistance),
                 .args = kGhd0,
                 .resultFile = "VLMIS.OUT",
                 .commands = Requests({"NXSETEDMMODE 25 0", "NXSETEDMMODE 17 0"}),
                 .refusal = Refusal::Folder},
        // On Windows another program holds the file with the real exclusive open, which the
        // rename cannot replace; on Linux with the platform's own.
        Scenario{.name = "PreviousFileHeldOpen",
                 .ini = Record(1, 19, 20),
                 .args = kGha0,
                 .resultFile = "VLMIS.OUT",
                 .commands = Requests(),
                 .refusal = Refusal::HeldOpen},
        // No switch matched: the link is set up (the stand-in started), nothing else.
        Scenario{"NoSwitch", Record(0, 1, 2), {"-gha0", "\\FlashDisk\\"}, nullptr, {}},
        // The stand-in dies holding the mutex while the run polls: one copy is skipped, the
        // next ones take the record as it was left, and the stop command finds no thread.
        Scenario{"StandInDiesHoldingTheMutex",
                 Record(1, 400, 500,
                        "[edm]\nmeasure_ms = 60000\n[faults]\n"
                        "die_holding_mutex_ms = 2500\n"),
                 kGhd0, "VLMIS.OUT", Requests({"NXSETEDMMODE 25 0"})}),
    [](const testing::TestParamInfo<Scenario>& info) { return info.param.name; });

}  // namespace
}  // namespace nxtest
