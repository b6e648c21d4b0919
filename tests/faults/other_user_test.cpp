// Another user of the host, with the same device root, can neither read the device's shared
// record nor post to the measurement program's queue: the device's kernel objects live in a
// runtime folder that only the device's user can enter.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "platform/device.h"
#include "tests/faults/campaign.h"

namespace nxfault {
namespace {

namespace fs = std::filesystem;

constexpr std::int32_t kHzAngle = 451234;
constexpr char kScenario[] = "[record]\nhz_angle = 451234\n[log]\nfile = \\NXSIM.LOG\n";
constexpr std::uint32_t kNobody = 65534;

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

// The probe, copied where another user can run it.
class ProbeCopy {
  public:
    ProbeCopy() {
        std::string pattern = "/tmp/nxfault-probe-XXXXXX";
        folder_ = mkdtemp(pattern.data());
        chmod(folder_.c_str(), 0755);
        fs::copy_file(FAULT_PROBE_PATH, path());
        chmod(path().c_str(), 0755);
    }
    ~ProbeCopy() { fs::remove_all(folder_); }
    std::string path() const { return folder_ + "/other_user_probe"; }

  private:
    std::string folder_;
};

TEST(OtherUser, CanNeitherReadTheSectionNorPostToTheQueues) {
    if (geteuid() != 0) GTEST_SKIP() << "switching to another user needs root";
    if (!fs::exists("/usr/bin/setpriv")) GTEST_SKIP() << "setpriv is not installed";

    FaultDevice device(kScenario);
    // The device root itself is open to everyone: only the runtime folder keeps others out.
    chmod(device.device().root().c_str(), 0755);
    const pid_t standIn = device.StartStandIn();
    std::uint32_t thread = 0;
    ASSERT_TRUE(nxtest::WaitUntil(
        [&] {
            return (thread = device.StandInThreadId()) != 0 &&
                   !RuntimeEntries(device.device()).empty();
        },
        milliseconds(5000)));
    std::this_thread::sleep_for(milliseconds(300));  // its section and queue are made by now

    ProbeCopy probe;
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
    nxtest::WaitProcess(standIn, milliseconds(2000));
    if (!otherReport.runtime.empty()) {
        std::error_code ignored;
        fs::remove_all(otherReport.runtime, ignored);
        fs::remove(fs::path(otherReport.runtime).parent_path(), ignored);  // when empty
    }
}

}  // namespace
}  // namespace nxfault
