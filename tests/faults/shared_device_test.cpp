// Runs that share their device with others: bridges started together start one measurement
// program between them.

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tests/faults/campaign.h"

namespace nxfault {
namespace {

constexpr milliseconds kRunBound{8000};

// A launch that takes this long holds the start open: a bridge that stopped keeping the others
// out before its launch had made the program would let each of them launch one too.
constexpr char kSlowLaunch[] = "NX_FAULTS=CreateProcess:1000ms";

// Six devices at once, four bridges started together on each, none running the measurement
// program before, and each launch slow: on each device the bridges end with one measurement
// program between them.
TEST(SharedDevice, BridgesStartedTogetherStartOneMeasurementProgram) {
    std::vector<std::string> failures =
        RunCampaign("bridges started together", 6, [](int, std::mt19937_64&, Findings& findings) {
            FaultDevice device("[record]\nhz_angle = 1\n");
            std::vector<nxtest::Child> bridges;
            for (int i = 0; i < 4; ++i)
                bridges.emplace_back(
                    std::vector<std::string>{NXBRIDGE_PATH, "-Gha0", "\\FlashDisk\\"},
                    device.device(), std::vector<std::string>{kSlowLaunch});
            for (auto& bridge : bridges) {
                if (!bridge.Wait(kRunBound)) findings.Add("a bridge did not end");
                if (std::string end = CleanEnd(bridge); !end.empty()) findings.Add(end);
            }
            if (std::size_t running = device.MeasProgramIds().size(); running != 1)
                findings.Add(std::to_string(running) + " measurement programs run");
            device.Stop();
        });
    for (const std::string& failure : failures) ADD_FAILURE() << failure;
}

}  // namespace
}  // namespace nxfault
