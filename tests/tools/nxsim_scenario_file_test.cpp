// nxsim's files: a malformed scenario stops it before it touches anything, and its log lists
// the commands it received.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "link/protocol/meas_protocol.h"
#include "platform/section.h"
#include "tests/tools/sim_session.h"

namespace nxtest {
namespace {

TEST(NxsimScenarioFileTest, MalformedFileExitsWithTwoAndTouchesNothing) {
    // A record the test put there stays as it is.
    win::HANDLE section =
        win::CreateFileMappingW(win::INVALID_HANDLE_VALUE, nullptr, win::PAGE_READWRITE, 0,
                                kMeasRecordSize, kMeasSectionName);
    ASSERT_TRUE(section);
    auto* view =
        static_cast<std::uint8_t*>(win::MapViewOfFile(section, win::FILE_MAP_ALL_ACCESS, 0, 0, 0));
    ASSERT_TRUE(view);
    std::memset(view, 0xAB, kMeasRecordSize);

    struct Case {
        const char* iniName;
        const char* text;
        const char* line;
    } cases[] = {
        {"NXSIM.INI", "[log]\nfile = \\BAD.LOG\n[record]\nhz_angle = 1.5\n",
         "NXSIM.INI:4: key 'hz_angle': '1.5' is not a whole number\n"},
        {"NxSim.Ini", "[faults]\nexit_after = 5\n",
         "NxSim.Ini:2: key 'exit_after': unknown key in [faults]\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.iniName);
        ToolsDevice().CopyIn(ToolPath("nxsim"), "FLASHDISK/NEDIX/NX.EXE");
        ToolsDevice().WriteFile(std::string("FLASHDISK/NEDIX/") + c.iniName, c.text);
        ProcessResult r =
            RunProcess({ToolsDevice().Path("FLASHDISK/NEDIX/NX.EXE")}, ToolsDevice(), 5s);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.err, c.line);
        std::filesystem::remove(ToolsDevice().Path(std::string("FLASHDISK/NEDIX/") + c.iniName));
    }
    for (std::size_t i = 0; i < kMeasRecordSize; ++i) ASSERT_EQ(view[i], 0xAB) << "byte " << i;
    EXPECT_FALSE(FileExists(ToolsDevice().Path("BAD.LOG")));
    win::UnmapViewOfFile(view);
    win::CloseHandle(section);
}

TEST(NxsimScenarioFileTest, LogListsTheCommandsInOrderAndUnknownOnesGoToStderr) {
    // An older line stays: the log is appended to.
    ToolsDevice().WriteFile("LOGS/nxsim.log", "EARLIER 1 2\n");
    SimSession sim("[log]\nfile = \\logs\\NXSIM.LOG\n[edm]\nmeasure_ms = 0\n");
    ASSERT_TRUE(sim.Start());
    ASSERT_TRUE(sim.Post(kMsgSetEdmMode, 30, 0));
    ASSERT_TRUE(sim.Post(kMsgSetParameter, 11, 2));
    ASSERT_TRUE(sim.Post(kMsgConfParameter, 59, 0));
    ASSERT_TRUE(sim.Post(kMsgSetEdmMode, 99, 0));
    ASSERT_TRUE(sim.Post(u"NXSOMETHINGELSE", 5, -3));
    ASSERT_TRUE(sim.Post(kMsgSetEdmMode, 17, 0));
    ASSERT_TRUE(sim.WaitFor(kMsgListParameter));
    // The stop's rewrite is the last notification; after it everything has been handled.
    ASSERT_TRUE(WaitUntil(
        [&] { return sim.ReadRecord().edmState() == 0 && sim.ReadRecord().angleUnit() == 2; }, 2s));
    EXPECT_EQ(sim.Stop(), 0);

    EXPECT_EQ(ReadFileBytes(ToolsDevice().Path("LOGS/nxsim.log")),
              "EARLIER 1 2\n"
              "NXSETEDMMODE 30 0\n"
              "NXSETPARAMETER 11 2\n"
              "NXCONFPARAMETER 59 0\n"
              "NXSETEDMMODE 99 0\n"
              "NXSOMETHINGELSE 5 -3\n"
              "NXSETEDMMODE 17 0\n");
    const std::string err = sim.Errors();
    EXPECT_NE(err.find("unknown NXSETEDMMODE code 99"), std::string::npos) << err;
    EXPECT_NE(err.find("unknown message NXSOMETHINGELSE"), std::string::npos) << err;
}

}  // namespace
}  // namespace nxtest
