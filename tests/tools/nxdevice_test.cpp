// nxdevice does what its --help says: init, ps, windows, post and stop, with clear errors.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "link/protocol/meas_protocol.h"
#include "platform/process.h"
#include "platform/window_table_posix.h"
#include "tests/tools/sim_session.h"
#include "tools/nxsim/scenario.h"

namespace nxtest {
namespace {

namespace fs = std::filesystem;

ProcessResult Nxdevice(const std::vector<std::string>& args, const TempDevice& device) {
    std::vector<std::string> argv{ToolPath("nxdevice")};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProcess(argv, device, 30s);
}

bool IsExecutable(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & S_IXUSR);
}

TEST(NxdeviceTest, HelpNamesEveryCommandAndMistakesAreUsageErrors) {
    ProcessResult help = Nxdevice({"--help"}, ToolsDevice());
    EXPECT_EQ(help.exitCode, 0);
    for (const char* usage :
         {"init DIR [--prefix \\FLASHDISK\\] [--ini FILE]", "\n  ps\n", "\n  windows\n",
          "post NAME [WPARAM [LPARAM]]", "\n  stop\n", "--root DIR"})
        EXPECT_NE(help.out.find(usage), std::string::npos) << usage;

    struct Case {
        std::vector<std::string> args;
        int exitCode;
        const char* message;
    } cases[] = {
        {{}, 2, "usage: nxdevice"},
        {{"frobnicate"}, 2, "nxdevice: unknown command 'frobnicate'"},
        {{"ps", "extra"}, 2, "nxdevice ps: takes no arguments"},
        {{"post"}, 2, "nxdevice post: needs NAME [WPARAM [LPARAM]]"},
        {{"post", "NXTILTOVER", "-1"}, 2, "WPARAM '-1' is not a 32-bit unsigned number"},
        {{"post", "NXTILTOVER", "1", "0x100000000"}, 2, "LPARAM '0x100000000' is not"},
        {{"init"}, 2, "nxdevice init: needs the folder DIR"},
        {{"init", "a", "b"}, 2, "unexpected argument 'b'"},
        {{"--root", "/nonexistent/folder", "ps"}, 1, "--root /nonexistent/folder: not a folder"},
    };
    for (const Case& c : cases) {
        ProcessResult r = Nxdevice(c.args, ToolsDevice());
        EXPECT_EQ(r.exitCode, c.exitCode) << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
}

TEST(NxdeviceTest, InitLaysOutTheProgramsAndTheSampleScenario) {
    TempDevice device;
    device.WriteFile("FlashDisk/old.txt", "");  // an existing folder is used whatever its case
    ProcessResult r = Nxdevice({"init", device.root()}, ToolsDevice());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    for (const char* program : {"NX.EXE", "NxSetup.exe", "NxShortcut.EXE"})
        EXPECT_TRUE(IsExecutable(device.Path(std::string("FlashDisk/NEDIX/") + program)))
            << program;
    EXPECT_EQ(ReadFileBytes(device.Path("FlashDisk/NEDIX/NXSIM.INI")), nxsim::SampleScenarioText());
    EXPECT_EQ(ReadFileBytes(device.Path("FlashDisk/NEDIX/NX.EXE")),
              ReadFileBytes(ToolPath("nxsim")));
    EXPECT_FALSE(fs::exists(device.Path("FLASHDISK")));
}

TEST(NxdeviceTest, InitTakesAPrefixAndAScenarioButRefusesABadOne) {
    TempDevice device;
    const std::string good = device.Path("good.ini"), bad = device.Path("bad.ini");
    device.WriteFile("good.ini", "[edm]\nmeasure_ms = 5\n");
    device.WriteFile("bad.ini", "[edm]\nmeasure_ms = soon\n");

    ProcessResult r = Nxdevice({"init", device.Path("dev"), "--ini", bad}, ToolsDevice());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err,
              "nxdevice init: " + bad + ":2: key 'measure_ms': 'soon' is not a whole number\n");
    EXPECT_FALSE(fs::exists(device.Path("dev")));

    r = Nxdevice({"init", device.Path("dev"), "--prefix", "/SD/Card", "--ini", good},
                 ToolsDevice());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(IsExecutable(device.Path("dev/SD/Card/NEDIX/NX.EXE")));
    EXPECT_EQ(ReadFileBytes(device.Path("dev/SD/Card/NEDIX/NXSIM.INI")), "[edm]\nmeasure_ms = 5\n");
}

TEST(NxdeviceTest, PsAndWindowsListTheDevice) {
    SimSession sim("");
    const win::HWND window = win::AddTopLevelWindow(u"Listed Window");
    ASSERT_TRUE(sim.Start());
    Child newer({"/bin/sleep", "30"}, ToolsDevice());
    ProcessResult ps = Nxdevice({"ps"}, ToolsDevice());
    newer.Kill();
    ASSERT_EQ(ps.exitCode, 0) << ps.err;
    char row[64];
    std::snprintf(row, sizeof row, "%8d %8u  NX.EXE\n", sim.pid(),
                  static_cast<unsigned>(sim.thread()));
    EXPECT_NE(ps.out.find(row), std::string::npos) << ps.out;
    EXPECT_EQ(ps.out.find("nxdevice"), std::string::npos) << ps.out;
    // Oldest first: stop signals in this order, parents before their children.
    std::vector<long> ids;
    std::istringstream rows(ps.out.substr(ps.out.find('\n') + 1));
    for (std::string line; std::getline(rows, line);) ids.push_back(std::stol(line));
    EXPECT_GE(ids.size(), 2u) << ps.out;
    EXPECT_TRUE(std::is_sorted(ids.begin(), ids.end())) << ps.out;

    ProcessResult windows = Nxdevice({"windows"}, ToolsDevice());
    ASSERT_EQ(windows.exitCode, 0) << windows.err;
    std::snprintf(row, sizeof row, "%#10x %8d %8u  Listed Window\n", static_cast<unsigned>(window),
                  getpid(), static_cast<unsigned>(win::GetCurrentThreadId()));
    EXPECT_NE(windows.out.find(row), std::string::npos) << windows.out;
    win::RemoveTopLevelWindow(window);
}

TEST(NxdeviceTest, PostReachesEveryTopLevelWindow) {
    SimSession client("");  // only for its window and its message wait
    ProcessResult r = Nxdevice({"post", "NXTILTOVER", "0x7", "-2"}, ToolsDevice());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto msg = client.WaitFor(kMsgTiltOver);
    ASSERT_TRUE(msg);
    EXPECT_EQ(msg->wParam, 7u);
    EXPECT_EQ(msg->lParam, -2);

    TempDevice empty;
    r = Nxdevice({"post", "NXTILTOVER"}, empty);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "nxdevice post: no top-level window took NXTILTOVER\n");
    EXPECT_EQ(Nxdevice({"stop"}, empty).exitCode, 0);  // takes its runtime folder along
}

TEST(NxdeviceTest, StopEndsTheProcessesButNotItsCallerAndSweepsTheRuntimeFolder) {
    TempDevice device;
    ASSERT_EQ(Nxdevice({"init", device.root(), "--prefix", "\\"}, ToolsDevice()).exitCode, 0);
    Child sim({device.Path("NEDIX/NX.EXE")}, device);
    // A process that ignores SIGTERM (and so does its child) needs SIGKILL.
    Child stubborn({"/bin/sh", "-c", "trap '' TERM; sleep 30; :"}, device);
    ASSERT_TRUE(WaitUntil(
        [&] { return Nxdevice({"ps"}, device).out.find("NX.EXE") != std::string::npos; }, 3s));

    ProcessResult r = Nxdevice({"stop"}, device);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(sim.Wait(1s), 0);        // ended by SIGTERM, cleanly
    EXPECT_EQ(stubborn.Wait(1s), -1);  // ended by SIGKILL
    EXPECT_NE(r.out.find("ended " + std::to_string(sim.pid()) + " NX.EXE\n"), std::string::npos)
        << r.out;
    const std::size_t swept = r.out.find("swept ");
    ASSERT_NE(swept, std::string::npos) << r.out;
    const std::string runtime = r.out.substr(swept + 6, r.out.find('\n', swept) - swept - 6);
    EXPECT_FALSE(runtime.empty());
    EXPECT_FALSE(fs::exists(runtime));

    // Nor the processes that started it: here two shells of the device, one inside the other.
    Child sibling({device.Path("NEDIX/NX.EXE")}, device);
    r = RunProcess({"/bin/sh", "-c", "/bin/sh -c '\"$0\" stop; echo inner' \"$0\"; echo outer",
                    ToolPath("nxdevice")},
                   device, 30s);
    EXPECT_TRUE(r.out.ends_with("inner\nouter\n")) << r.out << r.err;
    EXPECT_EQ(sibling.Wait(1s), 0);

    // The device of the host itself is never stopped wholesale.
    r = Nxdevice({"--root", "/", "stop"}, device);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("refusing"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace nxtest
