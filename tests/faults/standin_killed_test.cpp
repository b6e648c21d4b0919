// The measurement program killed at a random moment during each run mode: the bridge always
// ends within its bound, by itself or after the one close a user would make; it never crashes;
// the result file is always the previous whole file or a new whole one; and a later run on the
// same device, with the program started again, still writes its file.

#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <optional>

#include "tests/faults/campaign.h"

namespace nxfault {
namespace {

// The stand-in measures a distance 800 ms after command 25 or 30, and logs what it receives.
constexpr char kScenario[] =
    "[record]\nangle_unit = 1\nhz_angle = 451234\nv_angle = 324017\n"
    "[edm]\nmeasure_ms = 800\ndistance = 25.431\n"
    "[params]\np59 = 3\np58 = 14\np57 = 2008\np56 = 7\n";

// How long a run may last. An unattended distance run that never sees a distance pauses 1.5 s
// and polls 100 times at 100 ms: 11.5 s and a little. The others end within about 2 s of their
// last step; 6 s leaves room for a loaded machine and the sanitizers.
constexpr milliseconds kDistanceRunBound{16000};
constexpr milliseconds kRunBound{8000};
constexpr milliseconds kAfterCloseBound{6000};

enum class Kind { Interactive, Distance, Angles, Version };

struct Mode {
    Kind kind;
    const char* name;
    const char* commandLine;
    const char* resultFile;  // in the root folder
    std::size_t fieldCount;
    milliseconds killWindow;  // the stand-in dies at a moment drawn from [0, killWindow)
};

constexpr Mode kInteractive{Kind::Interactive, "-Nor", "-Nor0", "VLMIS.OUT", 3, milliseconds(3500)};
constexpr Mode kDistance{Kind::Distance, "-Ghd", "-Ghd0", "VLMIS.OUT", 3, milliseconds(3000)};
constexpr Mode kAngles{Kind::Angles, "-Gha", "-Gha1", "VLMIS.OUT", 3, milliseconds(2000)};
constexpr Mode kVersion{Kind::Version, "-Ver", "-Ver0", "VLVER.OUT", 4, milliseconds(2000)};

std::vector<std::u16string> PreviousFields(std::size_t count) {
    std::vector<std::u16string> fields;
    for (std::size_t i = 0; i < count; ++i)
        fields.push_back(u"previous" + std::u16string(1, static_cast<char16_t>(u'0' + i)));
    return fields;
}

// Drives one run of the mode as a user or the field software would, killing the stand-in at
// killAt. Returns the bridge's process once it has ended, or records why it did not.
void DriveRun(const Mode& mode, FaultDevice& device, nxtest::Child& bridge, nxtest::Child& standIn,
              milliseconds killAt, Findings& findings) {
    const bool interactive = mode.kind == Kind::Interactive;
    const bool version = mode.kind == Kind::Version;
    bool standInKilled = false, measureClicked = false, closed = false;
    std::optional<Clock::time_point> closeAt;  // when the user's closing click is due
    Clock::time_point closedAt;
    const milliseconds bound = mode.kind == Kind::Distance ? kDistanceRunBound : kRunBound;
    Clock::time_point nextWindowLook = Clock::now();
    while (!bridge.Ended()) {
        const milliseconds now = bridge.Elapsed();
        if (!standInKilled && now >= killAt) {
            standIn.Kill();
            standInKilled = true;
        }
        // "-Nor": "Misura" once the window is there, "Conferma" 1.2 s later.
        if (interactive && !measureClicked && Clock::now() >= nextWindowLook) {
            nextWindowLook = Clock::now() + milliseconds(200);
            if (device.HasWindow()) {
                measureClicked = device.Click(1000);
                closeAt = Clock::now() + milliseconds(1200);
            }
        }
        // "-Ver" ends by itself when the answer for 56 arrives; a user closes it otherwise.
        if (version && !closeAt && now >= milliseconds(4000)) closeAt = Clock::now();
        if (closeAt && !closed && Clock::now() >= *closeAt) {
            closed = device.Click(interactive ? 1010 : 1009);
            closedAt = Clock::now();
        }
        const bool late = closed ? Clock::now() - closedAt > kAfterCloseBound
                                 : now > bound + (closeAt ? kAfterCloseBound : milliseconds(0));
        if (late) {
            findings.Add(std::string("the bridge had not ended after ") +
                         std::to_string(now.count()) + " ms (stand-in killed at " +
                         std::to_string(killAt.count()) + " ms" +
                         (closed ? ", closed by a click" : "") + ")");
            bridge.Kill();
            return;
        }
        std::this_thread::sleep_for(milliseconds(20));
    }
    if (!standInKilled) standIn.Kill();
}

void RunStandInKilledCase(const Mode& mode, std::mt19937_64& rng, Findings& findings) {
    FaultDevice device(kScenario);
    const std::string resultPath = device.HostPath(mode.resultFile);
    const std::string previous = ResultFileBytes(PreviousFields(mode.fieldCount));
    device.device().WriteFile(mode.resultFile, previous);

    nxtest::Child standIn = device.StartStandIn();
    const milliseconds killAt(std::uniform_int_distribution<long>(0, mode.killWindow.count())(rng));
    std::string where = " (stand-in killed at " + std::to_string(killAt.count()) + " ms)";
    {
        FileWatcher watcher(resultPath, previous, mode.fieldCount);
        nxtest::Child bridge({NXBRIDGE_PATH, mode.commandLine, "\\FlashDisk\\"}, device.device());
        DriveRun(mode, device, bridge, standIn, killAt, findings);
        findings.NoteRunTime(bridge.Elapsed());
        if (std::string end = CleanEnd(bridge); !end.empty()) findings.Add(end + where);
        if (std::string seen = watcher.Finish(); !seen.empty()) findings.Add(seen + where);
    }
    standIn.Wait(milliseconds(2000));
    if (std::string problem =
            CheckWholeOrPrevious(ReadOrEmpty(resultPath), previous, mode.fieldCount);
        !problem.empty())
        findings.Add("after the run: " + problem + where);

    // Nothing the dead program left behind breaks the next run.
    device.Stop();
    std::filesystem::remove(device.HostPath("VLMIS.OUT"));
    nxtest::Child restarted = device.StartStandIn();
    nxtest::Child next({NXBRIDGE_PATH, "-Gha0", "\\FlashDisk\\"}, device.device());
    if (!next.Wait(kRunBound))
        findings.Add("the next -Gha run did not end" + where);
    else if (std::string end = CleanEnd(next); !end.empty())
        findings.Add("next run: " + end);
    std::string written = ReadOrEmpty(device.HostPath("VLMIS.OUT"));
    if (written.empty())
        findings.Add("the next -Gha run wrote no file" + where);
    else if (std::string problem = CheckWholeOrPrevious(written, "", 3); !problem.empty())
        findings.Add("the next -Gha run: " + problem + where);
    device.Stop();
    restarted.Wait(milliseconds(2000));
}

// Names the case in test listings.
void PrintTo(const Mode& value, std::ostream* out) {
    *out << value.name;
}

class StandInKilled : public testing::TestWithParam<Mode> {};

TEST_P(StandInKilled, BridgeEndsInBoundWithoutCrashAndResultFileStaysWhole) {
    const Mode mode = GetParam();
    std::vector<std::string> failures =
        RunCampaign(std::string("stand-in killed during ") + mode.name, CampaignRounds(),
                    [&](int, std::mt19937_64& rng, Findings& findings) {
                        RunStandInKilledCase(mode, rng, findings);
                    });
    for (const std::string& failure : failures) ADD_FAILURE() << failure;
}

INSTANTIATE_TEST_SUITE_P(EachMode, StandInKilled,
                         testing::Values(kInteractive, kDistance, kAngles, kVersion),
                         [](const testing::TestParamInfo<Mode>& info) {
                             return std::string(info.param.name + 1);
                         });

}  // namespace
}  // namespace nxfault
