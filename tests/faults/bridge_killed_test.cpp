// The bridge killed while it writes its result file: the file stays the previous whole file or
// becomes a new whole one, and what the dead writer left is swept by the next write.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <filesystem>

#include "tests/faults/campaign.h"

namespace nxfault {
namespace {

constexpr char kScenario[] = "[record]\nangle_unit = 2\nhz_angle = 324000\nv_angle = 3\n";
constexpr milliseconds kRunBound{8000};

// Waits until a writer's temporary file appears in the folder; false after the timeout.
bool WaitForTemporary(int inotify, milliseconds timeout) {
    const auto end = Clock::now() + timeout;
    alignas(inotify_event) char buffer[4096];
    while (Clock::now() < end) {
        ssize_t n = read(inotify, buffer, sizeof buffer);
        if (n <= 0) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            continue;
        }
        for (char* at = buffer; at < buffer + n;) {
            auto* event = reinterpret_cast<inotify_event*>(at);
            if (event->len && std::string_view(event->name).find(".nxtmp.") != std::string::npos)
                return true;
            at += sizeof(inotify_event) + event->len;
        }
    }
    return false;
}

// A "-Gha" run, killed the moment its temporary result file gets its name plus a random delay
// of up to 3 ms, which spreads the kills over the naming, the rename and the end of the run.
void RunBridgeKilledCase(std::mt19937_64& rng, Findings& findings) {
    FaultDevice device(kScenario);
    const std::string resultPath = device.HostPath("VLMIS.OUT");
    const std::string previous = ResultFileBytes({u"old", u"old", u"old"});
    device.device().WriteFile("VLMIS.OUT", previous);
    nxtest::Child standIn = device.StartStandIn();

    int inotify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    inotify_add_watch(inotify, device.device().root().c_str(), IN_CREATE);
    const auto delay = std::chrono::microseconds(std::uniform_int_distribution<long>(0, 3000)(rng));
    std::string where = " (killed " + std::to_string(delay.count()) + " us into the write)";
    {
        nxtest::Child bridge({NXBRIDGE_PATH, "-Gha0", "\\FlashDisk\\"}, device.device());
        if (WaitForTemporary(inotify, kRunBound)) {
            std::this_thread::sleep_for(delay);
            kill(bridge.pid(), SIGKILL);
        } else {
            findings.Add("the bridge wrote no temporary file within the bound");
        }
        bridge.Wait(kRunBound);
    }
    close(inotify);
    if (std::string problem = CheckWholeOrPrevious(ReadOrEmpty(resultPath), previous, 3);
        !problem.empty())
        findings.Add(problem + where);

    // The next run's write sweeps the dead writer's temporary.
    {
        nxtest::Child next({NXBRIDGE_PATH, "-Gha0", "\\FlashDisk\\"}, device.device());
        if (!next.Wait(kRunBound)) findings.Add("the next run did not end" + where);
    }
    if (std::string problem = CheckWholeOrPrevious(ReadOrEmpty(resultPath), "", 3);
        !problem.empty())
        findings.Add("after the next run: " + problem + where);
    for (const std::string& left : LeftTemporaries(device.device()))
        findings.Add("left after the next run: " + left + where);
    device.Stop();
    standIn.Wait(milliseconds(2000));
}

TEST(BridgeKilled, DuringItsWriteLeavesTheOldFileOrAWholeNewOne) {
    std::vector<std::string> failures = RunCampaign(
        "bridge killed during its write", CampaignRounds(),
        [](int, std::mt19937_64& rng, Findings& findings) { RunBridgeKilledCase(rng, findings); });
    for (const std::string& failure : failures) ADD_FAILURE() << failure;
}

// A writer that does nothing but write, killed at random moments: every kill lands somewhere
// in an open, a write, a flush or a rename.
TEST(BridgeKilled, WriterKilledAtRandomNeverLeavesAHalfFile) {
    std::vector<std::string> failures = RunCampaign(
        "writer killed at random", CampaignRounds(),
        [](int, std::mt19937_64& rng, Findings& findings) {
            nxtest::TempDevice device;
            const std::string path = device.Path("VLMIS.OUT");
            const std::string previous = ResultFileBytes({u"old", u"old", u"old"});
            device.WriteFile("VLMIS.OUT", previous);
            const auto killAt =
                std::chrono::microseconds(std::uniform_int_distribution<long>(500, 40000)(rng));
            {
                nxtest::Child writer({FAULT_WRITER_PATH, "loop"}, device);
                std::this_thread::sleep_for(killAt);
                writer.Kill();
                if (writer.signal() != SIGKILL)
                    findings.Add("the writer ended before it was killed: " + CleanEnd(writer));
            }
            std::string where = " (killed after " + std::to_string(killAt.count()) + " us)";
            if (std::string problem = CheckWholeOrPrevious(ReadOrEmpty(path), previous, 3);
                !problem.empty())
                findings.Add(problem + where);
        });
    for (const std::string& failure : failures) ADD_FAILURE() << failure;
}

}  // namespace
}  // namespace nxfault
