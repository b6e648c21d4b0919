// Processes, the tool-help walks and the isolation of devices.
#include "platform/process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "platform/device.h"
#include "platform/toolhelp.h"
#include "platform/unicode.h"
#include "tests/platform/contract.h"
#include "tests/platform/known_differences.h"

namespace {

using namespace win;
using namespace nxtest;

std::vector<PROCESSENTRY32W> WalkProcesses() {
    std::vector<PROCESSENTRY32W> out;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    EXPECT_NE(snap, INVALID_HANDLE_VALUE);
    PROCESSENTRY32W e{};
    e.dwSize = sizeof e;
    for (BOOL ok = Process32First(snap, &e); ok; ok = Process32Next(snap, &e)) out.push_back(e);
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
    CloseToolhelp32Snapshot(snap);
    return out;
}

std::vector<THREADENTRY32> WalkThreads(DWORD ofProcess) {
    std::vector<THREADENTRY32> out;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 e{};
    e.dwSize = sizeof e;
    for (BOOL ok = Thread32First(snap, &e); ok; ok = Thread32Next(snap, &e))
        if (e.th32OwnerProcessID == ofProcess) out.push_back(e);
    CloseToolhelp32Snapshot(snap);
    return out;
}

const PROCESSENTRY32W* FindProcess(const std::vector<PROCESSENTRY32W>& list, DWORD pid) {
    for (const auto& e : list)
        if (e.th32ProcessID == pid) return &e;
    return nullptr;
}

class ProgramCopy : public testing::TestWithParam<const char*> {};

TEST_P(ProgramCopy, IsFoundByTheNameItWasStartedAsWithItsMainThreadFirst) {
    const std::string name = GetParam();
    CopyIntoDevice(PeerProgram(), "FlashDisk/Nedix/" + name);
    PROCESS_INFORMATION info;
    ASSERT_TRUE(CreateProcessW(u"\\FLASHDISK\\NEDIX\\NX.EXE", u"threads 2", nullptr, nullptr, FALSE,
                               0, nullptr, nullptr, nullptr, &info));
    const DWORD pid = info.dwProcessId;
    ASSERT_TRUE(nxtest::Eventually(
        [&] {
            auto list = WalkProcesses();
            auto* e = FindProcess(list, pid);
            return e && e->cntThreads == 3;
        },
        std::chrono::seconds(10)));
    auto list = WalkProcesses();
    const PROCESSENTRY32W* entry = FindProcess(list, pid);
    ASSERT_NE(entry, nullptr);
    std::u16string exe(entry->szExeFile);
    EXPECT_EQ(exe, Utf8ToUtf16(name));
    CharUpperW(exe);
    EXPECT_EQ(exe, u"NX.EXE");
    EXPECT_EQ(entry->th32ParentProcessID, GetCurrentProcessId());
    EXPECT_NE(FindProcess(list, GetCurrentProcessId()), nullptr);

    auto threads = WalkThreads(pid);
    ASSERT_EQ(threads.size(), 3u);
    EXPECT_EQ(threads[0].th32ThreadID, info.dwThreadId);
    EXPECT_EQ(threads[0].dwSize, sizeof(THREADENTRY32));

    // An ended process is left out (on Linux a zombie), and the walk goes on past it.
    KillProcess(pid);
    EXPECT_EQ(WaitForSingleObject(info.hProcess, 10000), WAIT_OBJECT_0);
    EXPECT_EQ(FindProcess(WalkProcesses(), pid), nullptr);
    EXPECT_NE(FindProcess(WalkProcesses(), GetCurrentProcessId()), nullptr);
    ReapProcess(pid);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
}

INSTANTIATE_TEST_SUITE_P(Names, ProgramCopy, testing::Values("NX.EXE", "nx.exe"),
                         [](const auto& info) {
                             return std::string(info.param[0] == 'N' ? "Upper" : "Lower");
                         });

// Processes are listed oldest first as they were when the snapshot was taken: one that ends
// afterwards is still listed, one that ended before is not, and a walk started again from its
// first entry sees the same list.
TEST(Toolhelp, ListsOldestFirstAsTheyWereWhenTheSnapshotWasTaken) {
    Peer older({"threads", "0"});
    Peer newer({"threads", "0"});
    ASSERT_EQ(older.Line(0), "ready");
    ASSERT_EQ(newer.Line(0), "ready");

    newer.Kill();
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS | TH32CS_SNAPTHREAD, 0);
    ASSERT_NE(snap, INVALID_HANDLE_VALUE);
    older.Kill();
    std::vector<DWORD> processes, again, owners;
    PROCESSENTRY32W p{};
    p.dwSize = sizeof p;
    for (BOOL ok = Process32First(snap, &p); ok; ok = Process32Next(snap, &p))
        processes.push_back(p.th32ProcessID);
    for (BOOL ok = Process32First(snap, &p); ok; ok = Process32Next(snap, &p))
        again.push_back(p.th32ProcessID);
    THREADENTRY32 t{};
    t.dwSize = sizeof t;
    for (BOOL ok = Thread32First(snap, &t); ok; ok = Thread32Next(snap, &t))
        if (owners.empty() || owners.back() != t.th32OwnerProcessID)
            owners.push_back(t.th32OwnerProcessID);
    CloseToolhelp32Snapshot(snap);

    if (OnThisPlatform(kWalkInIdOrder)) {
        EXPECT_LT(older.pid(), newer.pid());
        EXPECT_TRUE(std::is_sorted(processes.begin(), processes.end()));
    }
    EXPECT_EQ(std::count(processes.begin(), processes.end(), older.pid()), 1);
    EXPECT_EQ(std::count(processes.begin(), processes.end(), newer.pid()), 0);
    EXPECT_EQ(std::count(processes.begin(), processes.end(), GetCurrentProcessId()), 1);
    EXPECT_EQ(again, processes);
    EXPECT_EQ(owners, processes);
}

TEST(Toolhelp, RefusesWrongRecordSizesAndTheOtherKind) {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W p{};
    p.dwSize = 556;
    EXPECT_FALSE(Process32First(snap, &p));
    THREADENTRY32 t{};
    t.dwSize = sizeof t;
    EXPECT_FALSE(Thread32First(snap, &t));
    p.dwSize = sizeof p;
    EXPECT_TRUE(Process32First(snap, &p));
    EXPECT_TRUE(CloseToolhelp32Snapshot(snap));
    EXPECT_FALSE(CloseToolhelp32Snapshot(snap));
    // A process id is ignored: the walk is always the whole device's.
    snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 1);
    EXPECT_TRUE(Process32First(snap, &p));
    EXPECT_TRUE(CloseToolhelp32Snapshot(snap));
}

// The child's start as it reads it (GetProgramStart): its program file and the command line
// as it was given, never through a shell, on the same device.
TEST(Process, PathAndCommandLineReachTheChildAsTheyAreWithTheDevice) {
    const std::string program = "odd dir $(touch x); `y`/a b'c&d.exe";
    CopyIntoDevice(PeerProgram(), program);
    struct Case {
        const char16_t* commandLine;
        std::string seen;
    } cases[] = {{u"args  two  $HOME *", "args  two  $HOME *"}, {nullptr, ""}};
    for (const Case& c : cases) {
        PROCESS_INFORMATION info;
        ASSERT_TRUE(CreateProcessW(u"\\ODD DIR $(TOUCH X); `Y`\\A B'C&D.EXE", c.commandLine,
                                   nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &info));
        EXPECT_EQ(WaitForSingleObject(info.hProcess, 10000), WAIT_OBJECT_0);
        ReapProcess(info.dwProcessId);
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
        std::istringstream start(ReadHostFile(HostPath("ARGS.OUT")));
        std::string path, commandLine, root;
        std::getline(start, path);
        std::getline(start, commandLine);
        std::getline(start, root);
        std::error_code ec;
        EXPECT_TRUE(std::filesystem::equivalent(path, HostPath(program), ec)) << path;
        EXPECT_EQ(commandLine, c.seen);
        EXPECT_EQ(root, DeviceRootHostPath());
    }
}

TEST(Process, MissingImagesAndUnsupportedOptionsFail) {
    WriteDeviceFile("data/plain.txt", "not a program");
    struct Case {
        const char16_t* path;
        DWORD flags;
        DWORD error;
    } cases[] = {
        {u"\\nowhere\\NX.EXE", 0, ERROR_PATH_NOT_FOUND},
        {u"\\data\\NX.EXE", 0, ERROR_FILE_NOT_FOUND},
        {u"\\data\\plain.txt", 0, ERROR_BAD_EXE_FORMAT},
        {u"\\data\\plain.txt", 0x10, ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        PROCESS_INFORMATION info;
        SetLastError(0);
        EXPECT_FALSE(CreateProcessW(c.path, nullptr, nullptr, nullptr, FALSE, c.flags, nullptr,
                                    nullptr, nullptr, &info))
            << Utf16ToUtf8(c.path);
        EXPECT_EQ(GetLastError(), c.error) << Utf16ToUtf8(c.path);
    }
}

TEST(Process, SleepPausesAtLeastTheTimeAsked) {
    auto start = std::chrono::steady_clock::now();
    Sleep(30);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
}

}  // namespace
