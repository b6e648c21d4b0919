// The platform tools' stand-ins append their line to \NXTOOLS.LOG and end.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "tests/tools/sim_session.h"

namespace nxtest {
namespace {

TEST(ToolStandInsTest, EachStartAppendsItsNameAndCommandLine) {
    const TempDevice& device = ToolsDevice();
    device.CopyIn(ToolPath("nxsetup"), "FLASHDISK/NEDIX/NxSetup.exe");
    device.CopyIn(ToolPath("nxshortcut"), "FLASHDISK/NEDIX/NxShortcut.EXE");
    device.WriteFile("nxtools.log", "kept\n");  // the device's names ignore letter case

    struct Start {
        std::vector<std::string> argv;
    } starts[] = {
        {{device.Path("FLASHDISK/NEDIX/NxSetup.exe")}},
        {{device.Path("FLASHDISK/NEDIX/NxShortcut.EXE"), "/A"}},
        {{device.Path("FLASHDISK/NEDIX/NxShortcut.EXE"), "/A"}},
    };
    for (const Start& s : starts) {
        ProcessResult r = RunProcess(s.argv, device, 5s);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out + r.err, "");
    }
    EXPECT_EQ(ReadFileBytes(device.Path("nxtools.log")),
              "kept\nNxSetup.exe\nNxShortcut.EXE /A\nNxShortcut.EXE /A\n");
}

TEST(ToolStandInsTest, StartsAtOnceNeverMixTheirLines) {
    TempDevice device;
    device.CopyIn(ToolPath("nxshortcut"), "NxShortcut.EXE");
    std::vector<Child> shortcuts;
    for (int i = 0; i < 12; ++i)
        shortcuts.emplace_back(
            std::vector<std::string>{device.Path("NxShortcut.EXE"), "/A " + std::to_string(i)},
            device);
    for (Child& shortcut : shortcuts) EXPECT_EQ(shortcut.Wait(10s), 0);
    std::istringstream lines(ReadFileBytes(device.Path("NXTOOLS.LOG")));
    std::vector<bool> seen(12);
    for (std::string line; std::getline(lines, line);) {
        ASSERT_EQ(line.rfind("NxShortcut.EXE /A ", 0), 0u) << line;
        seen.at(std::stoul(line.substr(18))) = true;
    }
    EXPECT_EQ(std::count(seen.begin(), seen.end(), true), 12);
}

TEST(ToolStandInsTest, UnwritableLogIsReportedWithExitOne) {
    TempDevice device;
    device.CopyIn(ToolPath("nxsetup"), "NxSetup.exe");
    std::filesystem::create_directory(device.Path("NXTOOLS.LOG"));  // a folder in the way
    ProcessResult r = RunProcess({device.Path("NxSetup.exe")}, device, 5s);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("NxSetup.exe: cannot open"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace nxtest
