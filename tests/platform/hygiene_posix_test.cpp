// Linux only: our handle table and its descriptors and mappings. Closing every handle leaves
// no descriptor or mapping behind, a closed handle number is never given out again, and a
// service out of descriptors says so.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <vector>

#include "platform/device.h"
#include "platform/device_posix.h"
#include "platform/file.h"
#include "platform/message.h"
#include "platform/message_posix.h"
#include "platform/mutex.h"
#include "platform/process.h"
#include "platform/section.h"
#include "platform/toolhelp.h"
#include "platform/window_table_posix.h"
#include "tests/platform/contract.h"

namespace {

using namespace win;

int CountDescriptors() {
    int count = 0;
    DIR* dir = opendir("/proc/self/fd");
    while (dirent* e = readdir(dir)) count += e->d_name[0] != '.';
    closedir(dir);
    return count;
}

// Mappings the platform makes: of files in the runtime folder, and shared memory without a
// file. (Counting every line would count the allocator's own growth too.)
int CountMappings() {
    std::ifstream maps("/proc/self/maps");
    int count = 0;
    for (std::string line; std::getline(maps, line);)
        count += line.find(RuntimeDirectory()) != std::string::npos ||
                 line.find("/dev/zero") != std::string::npos ||
                 line.find("memfd:") != std::string::npos;
    return count;
}

// Opens, uses and closes one of everything the platform hands out.
void UseEveryKindOfHandle() {
    HANDLE f = CreateFileW(u"\\H.OUT", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written;
    WriteFile(f, "x", 1, &written, nullptr);
    CloseHandle(f);
    HANDLE s = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 120, u"H");
    void* view = MapViewOfFile(s, FILE_MAP_ALL_ACCESS, 0, 0, 0);
    UnmapViewOfFile(view);
    CloseHandle(s);
    HANDLE unnamed = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 64, u"");
    UnmapViewOfFile(MapViewOfFile(unnamed, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    CloseHandle(unnamed);
    CloseHandle(CreateMutexW(nullptr, FALSE, u""));
    HANDLE m = CreateMutexW(nullptr, FALSE, u"H");
    WaitForSingleObject(m, INFINITE);
    ReleaseMutex(m);
    CloseHandle(m);
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS | TH32CS_SNAPTHREAD, 0);
    CloseToolhelp32Snapshot(snap);
    RegisterWindowMessageW(u"H");
    PostMessageW(HWND_BROADCAST, 1, 0, 0);
    PROCESS_INFORMATION info;
    if (CreateProcessW(u"\\PEER", u"args", nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr,
                       &info)) {
        WaitForSingleObject(info.hProcess, INFINITE);
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
    }
    GetQueueDescriptor();
    DestroyThreadQueue();
}

TEST(Hygiene, ClosingEveryHandleLeavesNoDescriptorOrMapping) {
    nxtest::CopyIntoDevice(nxtest::PeerProgram(), "PEER");
    UseEveryKindOfHandle();  // first use makes the runtime folders and per-process tables
    const int descriptors = CountDescriptors(), mappings = CountMappings();
    for (int i = 0; i < 20; ++i) UseEveryKindOfHandle();
    EXPECT_EQ(CountDescriptors(), descriptors);
    EXPECT_EQ(CountMappings(), mappings);
}

// With every descriptor in use, each service that needs one fails with that cause, not with a
// fixed code of its own.
TEST(Hygiene, ServicesReportTheCauseOfAFailure) {
    struct Case {
        const char* service;
        std::function<bool()> call;  // true when the call succeeded
    } cases[] = {
        {"CreateMutexW", [] { return CreateMutexW(nullptr, FALSE, u"EMFILE") != nullptr; }},
        {"CreateFileMappingW",
         [] {
             return CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 120,
                                       u"EMFILE") != nullptr;
         }},
        {"CreateFileW",
         [] {
             return CreateFileW(u"\\EMFILE.OUT", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                                nullptr) != INVALID_HANDLE_VALUE;
         }},
        {"RegisterWindowMessageW", [] { return RegisterWindowMessageW(u"EMFILE") != 0; }},
        {"PeekMessageW", [] {
             DestroyThreadQueue();  // made again on its next use
             MSG m;
             return PeekMessageW(&m) == TRUE;
         }}};
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
    const int lowestFree = dup(0);
    ASSERT_GE(lowestFree, 0);
    close(lowestFree);
    rlimit exhausted = saved;
    exhausted.rlim_cur = static_cast<rlim_t>(lowestFree);
    std::vector<DWORD> errors;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &exhausted), 0);
    for (const Case& c : cases) errors.push_back(c.call() ? ERROR_SUCCESS : GetLastError());
    setrlimit(RLIMIT_NOFILE, &saved);
    for (std::size_t i = 0; i < errors.size(); ++i)
        EXPECT_EQ(errors[i], ERROR_TOO_MANY_OPEN_FILES) << cases[i].service;
}

// A closed handle is refused from then on, also once new objects of its kind have been made
// (a handle named by the object's address would find the new object there).
TEST(Hygiene, AClosedHandleStaysRefused) {
    const std::function<HANDLE()> kinds[] = {
        [] { return CreateMutexW(nullptr, FALSE, u""); },
        [] {
            return CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 64, u"");
        },
        [] { return CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0); },
    };
    for (const auto& make : kinds) {
        HANDLE closed = make();
        ASSERT_TRUE(closed && closed != INVALID_HANDLE_VALUE);
        ASSERT_TRUE(CloseHandle(closed));
        std::vector<HANDLE> fresh;
        for (int i = 0; i < 4; ++i) fresh.push_back(make());
        SetLastError(ERROR_SUCCESS);
        EXPECT_FALSE(CloseHandle(closed));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
        for (HANDLE h : fresh) EXPECT_TRUE(CloseHandle(h));
    }
}

}  // namespace
