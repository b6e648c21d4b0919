// Another user of the host, with the same device root, can neither read the device's shared
// record nor post to the measurement program's queue: the device's kernel objects live in a
// runtime folder that only the device's user can enter. Nor is another user's program ever taken
// for the device's, and a runtime folder that another user made in the way, or one of the user's
// own that is open to others, is refused by name.

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "platform/device.h"
#include "platform/device_posix.h"
#include "tests/faults/campaign.h"

namespace nxfault {
namespace {

namespace fs = std::filesystem;

constexpr std::int32_t kHzAngle = 451234;
constexpr char kScenario[] = "[record]\nhz_angle = 451234\n[log]\nfile = \\NXSIM.LOG\n";
constexpr std::uint32_t kNobody = 65534;

// The command that runs argv as the user: real and effective ids, no supplementary groups.
std::vector<std::string> AsUser(std::uint32_t user, std::vector<std::string> argv) {
    std::vector<std::string> command{"/usr/bin/setpriv", "--reuid=" + std::to_string(user),
                                     "--regid=" + std::to_string(user), "--clear-groups", "--"};
    command.insert(command.end(), argv.begin(), argv.end());
    return command;
}

struct ProbeReport {
    std::int32_t record = 0;
    bool posted = false;
    std::map<std::string, int> openErrors;  // host path -> errno, 0 when it opened
    std::string runtime;
};

ProbeReport ParseReport(const std::string& out) {
    ProbeReport report;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string key;
        fields >> key;
        if (key == "record") fields >> report.record;
        if (key == "post") fields >> report.posted;
        if (key == "runtime") fields >> report.runtime;
        if (key == "open") {
            std::string path;
            int error = 0;
            fields >> path >> error;
            report.openErrors[path] = error;
        }
    }
    return report;
}

// Every folder, file and FIFO of the device's runtime folder, the folder itself first.
std::vector<std::string> RuntimeEntries(const nxtest::TempDevice& device) {
    std::string runtime = win::RuntimeDirectoryForRoot(device.root());
    std::vector<std::string> entries{runtime};
    std::error_code error;
    for (const auto& entry : fs::recursive_directory_iterator(runtime, error))
        entries.push_back(entry.path().string());
    return entries;
}

// A program copied under a name of its own where another user can run it.
class HostCopy {
  public:
    HostCopy(const std::string& program, const std::string& name) {
        std::string pattern = "/tmp/nxfault-copy-XXXXXX";
        folder_ = mkdtemp(pattern.data());
        chmod(folder_.c_str(), 0755);
        path_ = folder_ + "/" + name;
        fs::copy_file(program, path_);
        chmod(path_.c_str(), 0755);
    }
    ~HostCopy() { fs::remove_all(folder_); }
    const std::string& path() const { return path_; }

  private:
    std::string folder_, path_;
};

TEST(OtherUser, CanNeitherReadTheSectionNorPostToTheQueues) {
    if (geteuid() != 0) GTEST_SKIP() << "switching to another user needs root";
    if (!fs::exists("/usr/bin/setpriv")) GTEST_SKIP() << "setpriv is not installed";

    FaultDevice device(kScenario);
    // The device root itself is open to everyone: only the runtime folder keeps others out.
    chmod(device.device().root().c_str(), 0755);
    nxtest::Child standIn = device.StartStandIn();
    std::uint32_t thread = 0;
    ASSERT_TRUE(nxtest::WaitUntil(
        [&] {
            return (thread = device.StandInThreadId()) != 0 &&
                   !RuntimeEntries(device.device()).empty();
        },
        milliseconds(5000)));
    std::this_thread::sleep_for(milliseconds(300));  // its section and queue are made by now

    HostCopy probe(FAULT_PROBE_PATH, "other_user_probe");
    std::vector<std::string> probeArgs{probe.path(), std::to_string(thread)};
    std::vector<std::string> entries = RuntimeEntries(device.device());
    probeArgs.insert(probeArgs.end(), entries.begin(), entries.end());

    // The device's own user reaches all of it: the probe itself works.
    nxtest::ProcessResult own = nxtest::RunProcess(probeArgs, device.device());
    ProbeReport ownReport = ParseReport(own.out);
    EXPECT_EQ(ownReport.record, kHzAngle) << own.out << own.err;
    EXPECT_TRUE(ownReport.posted);
    EXPECT_EQ(ownReport.openErrors[entries.front()], 0);

    // Another user reaches none of it.
    std::vector<std::string> asNobody{"/usr/bin/setpriv", "--reuid=" + std::to_string(kNobody),
                                      "--regid=" + std::to_string(kNobody), "--clear-groups", "--"};
    asNobody.insert(asNobody.end(), probeArgs.begin(), probeArgs.end());
    nxtest::ProcessResult other = nxtest::RunProcess(asNobody, device.device());
    ProbeReport otherReport = ParseReport(other.out);
    ASSERT_EQ(other.exitCode, 0) << other.err;
    EXPECT_NE(otherReport.record, kHzAngle) << "another user read the shared record";
    EXPECT_FALSE(otherReport.posted) << "another user posted to the measurement thread";
    for (const std::string& entry : entries) {
        EXPECT_NE(otherReport.openErrors[entry], 0) << "another user opened " << entry;
    }
    EXPECT_NE(otherReport.runtime, win::RuntimeDirectoryForRoot(device.device().root()));

    // What reached the stand-in: the own user's command 99, and nothing from the other user.
    std::this_thread::sleep_for(milliseconds(300));
    std::string log = ReadOrEmpty(device.HostPath("NXSIM.LOG"));
    std::size_t first = log.find("NXSETEDMMODE 99");
    EXPECT_NE(first, std::string::npos) << log;
    EXPECT_EQ(log.find("NXSETEDMMODE 99", first + 1), std::string::npos) << log;

    device.Stop();
    standIn.Wait(milliseconds(2000));
    if (!otherReport.runtime.empty()) {
        std::error_code ignored;
        fs::remove_all(otherReport.runtime, ignored);
        fs::remove(fs::path(otherReport.runtime).parent_path(), ignored);  // when empty
    }
}

TEST(OtherUser, ItsProgramIsNeverTakenListedOrStoppedAsTheDevicesOwn) {
    if (geteuid() != 0) GTEST_SKIP() << "switching to another user needs root";
    if (!fs::exists("/usr/bin/setpriv")) GTEST_SKIP() << "setpriv is not installed";

    FaultDevice device(kScenario);
    chmod(device.device().root().c_str(), 0755);
    // Another user's copy of the measurement program, started with the same device root.
    HostCopy copy(device.HostPath("FlashDisk/NEDIX/NX.EXE"), "NX.EXE");
    nxtest::Child impostor(AsUser(kNobody, {copy.path()}), device.device());
    const std::string started = "/proc/" + std::to_string(impostor.pid()) + "/exe";
    std::error_code ec;
    ASSERT_TRUE(nxtest::WaitUntil(
        [&] { return fs::read_symlink(started, ec).filename() == "NX.EXE"; }, milliseconds(5000)));

    nxtest::ProcessResult run =
        nxtest::RunProcess({NXBRIDGE_PATH, "-Gha0", "\\FlashDisk\\"}, device.device());
    EXPECT_EQ(run.exitCode, 0) << run.err;
    // The bridge started the device's own program, which alone is listed, and its requests
    // reached that one (the other user's cannot write the log in the root folder).
    const std::vector<pid_t> listed = device.MeasProgramIds();
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_NE(listed.front(), impostor.pid());
    EXPECT_NE(ReadOrEmpty(device.HostPath("NXSIM.LOG")).find("NXCONFPARAMETER"), std::string::npos);

    device.Stop();
    EXPECT_FALSE(impostor.Ended()) << "stop ended another user's program";
    impostor.Kill();
    // What the other user's program made: its runtime folder for the same root.
    const fs::path own = win::RuntimeDirectoryForRoot(device.device().root());
    const fs::path theirs = "/dev/shm/nxdevice-" + std::to_string(kNobody);
    fs::remove_all(theirs / own.filename(), ec);
    fs::remove(theirs, ec);  // when empty
}

// A user id that no account has, and whose runtime folder name in /dev/shm is free: taken by
// making that folder in the way, as another user would. Several test programs may run at once.
std::uint32_t ClaimVictimId(const std::string& squatted) {
    for (std::uint32_t uid = 61000 + static_cast<std::uint32_t>(getpid()) % 1000; uid < 63000;
         ++uid) {
        if (getpwuid(uid)) continue;
        if (mkdir((squatted + std::to_string(uid)).c_str(), 0777) == 0) return uid;
    }
    return 0;
}

TEST(OtherUser, ARuntimeFolderMadeInTheWayIsRefusedByName) {
    if (geteuid() != 0) GTEST_SKIP() << "switching to another user needs root";
    if (!fs::exists("/usr/bin/setpriv")) GTEST_SKIP() << "setpriv is not installed";
    const std::string prefix = "/dev/shm/nxdevice-";
    const std::uint32_t victim = ClaimVictimId(prefix);
    ASSERT_NE(victim, 0u);
    const std::string squatted = prefix + std::to_string(victim);
    chmod(squatted.c_str(), 0777);  // root's, open to all: what a squatter leaves

    struct Case {
        const char* name;
        bool link;        // the name in the way is a link to a folder of the victim's
        bool xdgRuntime;  // the victim's session gives $XDG_RUNTIME_DIR
        mode_t ownMode;   // not 0: the folder is the victim's own, with this mode
    } cases[] = {
        {"a folder of another user", false, false, 0},
        {"a link to the user's own folder", true, false, 0},
        {"a folder in the way, with $XDG_RUNTIME_DIR", false, true, 0},
        {"the user's own folder, open to its group", false, false, 0750},
    };
    std::string own = "/tmp/nxown-XXXXXX";
    ASSERT_NE(mkdtemp(own.data()), nullptr);
    ASSERT_EQ(chown(own.c_str(), victim, victim), 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(squatted);
        if (c.link) {
            fs::create_directory_symlink(own, squatted);
        } else {
            fs::create_directory(squatted);
            if (c.ownMode) {
                ASSERT_EQ(chown(squatted.c_str(), victim, victim), 0);
            }
            chmod(squatted.c_str(), c.ownMode ? c.ownMode : 0777);
        }
        FaultDevice device(kScenario);
        ASSERT_EQ(chown(device.device().root().c_str(), victim, victim), 0);
        std::vector<std::string> env{"/usr/bin/env", "-u", "XDG_RUNTIME_DIR"};
        if (c.xdgRuntime) env.push_back("XDG_RUNTIME_DIR=" + own);
        auto asVictim = [&](std::vector<std::string> argv) {
            std::vector<std::string> command = env;
            for (std::string& part : AsUser(victim, std::move(argv))) command.push_back(part);
            return nxtest::RunProcess(command, device.device(), std::chrono::seconds(20));
        };

        nxtest::ProcessResult run = asVictim({NXBRIDGE_PATH, "-Gha0", "\\FlashDisk\\"});
        const std::string result = ReadOrEmpty(device.HostPath("VLMIS.OUT"));
        if (c.xdgRuntime) {
            EXPECT_EQ(result.size(), 100u) << run.err;  // the run worked in its own folder
            EXPECT_TRUE(fs::is_directory(own + "/nxdevice"));
        } else {
            EXPECT_EQ(result, "");
            EXPECT_NE(run.err.find("refusing the runtime folder " + squatted + ": it "),
                      std::string::npos)
                << run.err;
        }
        // Nothing was made in what stood in the way.
        EXPECT_TRUE(fs::is_empty(c.link ? own : squatted)) << squatted;
        asVictim({NXDEVICE_PATH, "stop"});
    }
    fs::remove_all(squatted);
    fs::remove_all(own);
}

}  // namespace
}  // namespace nxfault
