// A device whose root folder refuses the result file: an unattended run ends as it always
// does and shows nothing; the previous file stays whole and no half-written file is left
// behind. In the version query the dialog stays open until the user closes it; in the
// interactive run "Conferma" keeps it open too and says so once, and "Annulla" ends the run.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <optional>

#include "tests/faults/campaign.h"

namespace nxfault {
namespace {

namespace fs = std::filesystem;

constexpr char kScenario[] =
    "[record]\nhz_angle = 1\nv_angle = 2\n[edm]\nmeasure_ms = 200\ndistance = 3.5\n"
    "[params]\np59 = 1\np58 = 2\np57 = 3\np56 = 4\n";
constexpr milliseconds kRunBound{8000};

// How the root refuses.
enum class Refusal {
    InjectedOpenFailure,  // NX_FAULTS=CreateFile:1: the device refuses the first open
    FolderInTheWay,       // a folder stands where the file would go
    HeldByAnother,        // another program holds the file open (no sharing)
    DiskFullMidWrite,     // NX_FAULTS=WriteFile:1: half the bytes, then a full disk
    CommitFails,          // NX_FAULTS=CommitFile:1: the write-out and rename fail
    ReadOnlyRoot,         // the root folder cannot take new files at all
};

struct Case {
    const char* name;
    Refusal refusal;
    const char* commandLine;
    const char* resultFile;
    std::size_t fieldCount;
};

const Case kCases[] = {
    {"OpenFailsGha", Refusal::InjectedOpenFailure, "-Gha0", "VLMIS.OUT", 3},
    {"OpenFailsGhd", Refusal::InjectedOpenFailure, "-Ghd0", "VLMIS.OUT", 3},
    {"OpenFailsNor", Refusal::InjectedOpenFailure, "-Nor0", "VLMIS.OUT", 3},
    {"FolderInTheWayNor", Refusal::FolderInTheWay, "-Nor0", "VLMIS.OUT", 3},
    {"DiskFullNor", Refusal::DiskFullMidWrite, "-Nor0", "VLMIS.OUT", 3},
    {"OpenFailsVer", Refusal::InjectedOpenFailure, "-Ver0", "VLVER.OUT", 4},
    {"FolderInTheWayGha", Refusal::FolderInTheWay, "-Gha0", "VLMIS.OUT", 3},
    {"FolderInTheWayVer", Refusal::FolderInTheWay, "-Ver0", "VLVER.OUT", 4},
    {"HeldByAnotherGha", Refusal::HeldByAnother, "-Gha0", "VLMIS.OUT", 3},
    {"DiskFullGha", Refusal::DiskFullMidWrite, "-Gha0", "VLMIS.OUT", 3},
    {"DiskFullVer", Refusal::DiskFullMidWrite, "-Ver0", "VLVER.OUT", 4},
    {"CommitFailsGhd", Refusal::CommitFails, "-Ghd0", "VLMIS.OUT", 3},
    {"ReadOnlyRootGha", Refusal::ReadOnlyRoot, "-Gha0", "VLMIS.OUT", 3},
    {"ReadOnlyRootVer", Refusal::ReadOnlyRoot, "-Ver0", "VLVER.OUT", 4},
    {"ReadOnlyRootNor", Refusal::ReadOnlyRoot, "-Nor0", "VLMIS.OUT", 3},
};

// As root, permissions do not bite: a read-only bind of the root in a mount namespace of the
// bridge's own does. Otherwise the root's write permission is taken away.
bool CanBindReadOnly() {
    nxtest::TempDevice scratch;
    nxtest::ProcessResult r = nxtest::RunProcess(
        {"/usr/bin/unshare", "-m", "/bin/sh", "-c",
         "mount --bind -o ro \"$DEVICE_ROOT\" \"$DEVICE_ROOT\" && ! touch \"$DEVICE_ROOT/x\""},
        scratch);
    return r.exitCode == 0;
}

std::vector<std::string> BridgeCommand(const Case& c, bool bindReadOnly) {
    std::vector<std::string> argv{NXBRIDGE_PATH, c.commandLine, "\\FlashDisk\\"};
    if (!bindReadOnly) return argv;
    std::vector<std::string> wrapped{"/usr/bin/unshare", "-m", "/bin/sh", "-c",
                                     "mount --bind -o ro \"$DEVICE_ROOT\" \"$DEVICE_ROOT\" && "
                                     "exec \"$0\" \"$@\""};
    wrapped.insert(wrapped.end(), argv.begin(), argv.end());
    return wrapped;
}

std::vector<std::string> FaultEnvironment(Refusal refusal) {
    switch (refusal) {
        case Refusal::InjectedOpenFailure:
            return {"NX_FAULTS=CreateFile:1"};
        case Refusal::DiskFullMidWrite:
            return {"NX_FAULTS=WriteFile:1"};
        case Refusal::CommitFails:
            return {"NX_FAULTS=CommitFile:1"};
        default:
            return {};
    }
}

// Names the case in test listings.
void PrintTo(const Case& value, std::ostream* out) {
    *out << value.name;
}

class RefusingRoot : public testing::TestWithParam<Case> {};

TEST_P(RefusingRoot, NoRunTakesTheFailureForSuccessAndThePreviousFileStaysWhole) {
    const Case& c = GetParam();
    const bool asRoot = geteuid() == 0;
    const bool bindReadOnly = c.refusal == Refusal::ReadOnlyRoot && asRoot;
    if (bindReadOnly && !CanBindReadOnly())
        GTEST_SKIP() << "running as root without the right to bind-mount: no read-only root";
    const bool interactive = std::string_view(c.commandLine) == "-Nor0";
    const bool version = std::string_view(c.commandLine) == "-Ver0";

    FaultDevice device(kScenario);
    const std::string resultPath = device.HostPath(c.resultFile);
    std::string previous;
    std::optional<nxtest::Child> holder;
    if (c.refusal == Refusal::FolderInTheWay) {
        fs::create_directory(resultPath);
    } else {
        std::vector<std::u16string> fields(c.fieldCount, u"previous");
        previous = ResultFileBytes(fields);
        device.device().WriteFile(c.resultFile, previous);
    }
    if (c.refusal == Refusal::HeldByAnother) {
        holder.emplace(std::vector<std::string>{FAULT_WRITER_PATH, "hold"}, device.device());
        ASSERT_TRUE(nxtest::WaitUntil(
            [&] { return holder->Output().find("held") != std::string::npos; }, milliseconds(5000)))
            << "the holder did not open the file";
    }
    if (c.refusal == Refusal::ReadOnlyRoot && !asRoot) chmod(device.device().root().c_str(), 0555);
    nxtest::Child standIn = device.StartStandIn();

    nxtest::Child bridge(BridgeCommand(c, bindReadOnly), device.device(),
                         FaultEnvironment(c.refusal));
    if (interactive) {
        ASSERT_TRUE(
            nxtest::WaitUntil([&] { return device.HasWindow() || bridge.Ended(); }, kRunBound));
        EXPECT_TRUE(device.Click(1010)) << "Conferma";
        std::this_thread::sleep_for(milliseconds(1000));
        EXPECT_FALSE(bridge.Ended()) << "\"Conferma\" closed the dialog although it wrote nothing";
        EXPECT_TRUE(device.Click(1009)) << "Annulla";
    }
    if (version) {
        // The version file could not be written: the dialog stays until the user closes it.
        std::this_thread::sleep_for(milliseconds(3500));
        EXPECT_FALSE(bridge.Ended()) << "the version query closed although it wrote nothing";
        EXPECT_TRUE(device.Click(1009)) << "Annulla";
    }
    const bool ended = bridge.Wait(kRunBound).has_value();
    EXPECT_TRUE(ended) << "the bridge did not end within " << kRunBound.count() << " ms";
    if (!ended) bridge.Kill();
    EXPECT_EQ(CleanEnd(bridge), "");
    // Without a display the one message box is one line on standard error.
    EXPECT_EQ(bridge.Errors(), interactive ? "nxbridge: Fail to write result file!\n" : "")
        << "only \"Conferma\" tells of a failed write";

    chmod(device.device().root().c_str(), 0700);
    holder.reset();
    if (c.refusal == Refusal::FolderInTheWay) {
        EXPECT_TRUE(fs::is_directory(resultPath));
    } else {
        EXPECT_EQ(ReadOrEmpty(resultPath), previous) << "the previous file changed";
    }
    // A writer that failed cleans up after itself, and a killed holder leaves nothing either.
    EXPECT_EQ(LeftTemporaries(device.device()), std::vector<std::string>{});
    device.Stop();
    standIn.Wait(milliseconds(2000));
}

INSTANTIATE_TEST_SUITE_P(Refusals, RefusingRoot, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
}  // namespace nxfault
