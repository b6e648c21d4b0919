// Runs that share their device with others: bridges started together start one measurement
// program between them, and a section cut short under a running bridge kills nothing.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <memory>

#include "platform/device.h"
#include "tests/faults/campaign.h"
#include "tools/vlout/result_file_decoder.h"

namespace nxfault {
namespace {

constexpr milliseconds kRunBound{8000};

// Six devices at once, four bridges started together on each, none running the measurement
// program before: on each device the bridges end with one measurement program between them.
TEST(SharedDevice, BridgesStartedTogetherStartOneMeasurementProgram) {
    std::vector<std::string> failures =
        RunCampaign("bridges started together", 6, [](int, std::mt19937_64&, Findings& findings) {
            FaultDevice device("[record]\nhz_angle = 1\n");
            std::vector<std::unique_ptr<Process>> bridges;
            for (int i = 0; i < 4; ++i)
                bridges.push_back(std::make_unique<Process>(
                    std::vector<std::string>{NXBRIDGE_PATH, "-Gha0", "\\FlashDisk\\"},
                    device.device()));
            for (auto& bridge : bridges) {
                if (!bridge->WaitFor(kRunBound)) findings.Add("a bridge did not end");
                if (std::string end = bridge->CleanEnd(); !end.empty()) findings.Add(end);
            }
            if (std::size_t running = device.MeasProgramIds().size(); running != 1)
                findings.Add(std::to_string(running) + " measurement programs run");
            device.Stop();
        });
    for (const std::string& failure : failures) ADD_FAILURE() << failure;
}

// A program of the same user cuts the section's file to nothing while a "-Ghd" run polls: the
// bridge and the stand-in live on, and the distance that comes afterwards reaches the file.
TEST(SharedDevice, ASectionCutShortUnderARunningBridgeKillsNothing) {
    FaultDevice device("[record]\nhz_angle = 451234\n[edm]\nmeasure_ms = 2500\ndistance = 12.5\n");
    const pid_t standIn = device.StartStandIn();
    const std::string section =
        win::RuntimeDirectoryForRoot(device.device().root()) + "/sections/NXMAP";
    ASSERT_TRUE(
        nxtest::WaitUntil([&] { return std::filesystem::exists(section); }, milliseconds(5000)));

    Process bridge({NXBRIDGE_PATH, "-Ghd0", "\\FlashDisk\\"}, device.device());
    std::this_thread::sleep_for(milliseconds(2200));  // past the pause: the bridge polls
    ASSERT_EQ(truncate(section.c_str(), 0), 0);
    EXPECT_TRUE(bridge.WaitFor(milliseconds(15000)));
    EXPECT_EQ(bridge.CleanEnd(), "");
    int status = 0;
    EXPECT_EQ(waitpid(standIn, &status, WNOHANG), 0) << "the stand-in died";

    const std::string bytes = ReadOrEmpty(device.HostPath("VLMIS.OUT"));
    vlout::DecodedResultFile decoded = vlout::DecodeResultFile(
        std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    ASSERT_TRUE(decoded.ok()) << decoded.error;
    ASSERT_EQ(decoded.fields.size(), 3u);
    EXPECT_EQ(vlout::ToUtf8(decoded.fields[2]), "12.500");
    device.Stop();
    nxtest::WaitProcess(standIn, milliseconds(2000));
}

}  // namespace
}  // namespace nxfault
