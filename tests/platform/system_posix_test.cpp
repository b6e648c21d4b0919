// Linux only: the system layer under the runtime folder's objects and the device files, with
// faults injected at its system calls (fault::FailCall).
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <set>

#include "platform/device_posix.h"
#include "platform/fault.h"
#include "platform/file.h"
#include "platform/message.h"
#include "platform/message_posix.h"
#include "platform/mutex.h"
#include "platform/section.h"
#include "platform/window_table_posix.h"
#include "tests/support/child.h"
#include "tests/support/temp_device.h"

namespace {

using namespace win;
namespace fs = std::filesystem;

// Every file of the runtime folder with its size.
std::set<std::string> RuntimeEntries() {
    std::set<std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(RuntimeDirectory())) {
        const bool file = entry.is_regular_file();
        entries.insert(entry.path().string() + " " + std::to_string(file ? entry.file_size() : 0));
    }
    return entries;
}

// A name no object has yet.
std::u16string FreshName() {
    static int made = 0;
    return u"FRESH" + std::u16string(1, static_cast<char16_t>(u'A' + made++));
}

bool Closed(HANDLE handle) {
    return handle && CloseHandle(handle);
}

// A system call that fails while a runtime object is made fails the service with the call's
// cause and leaves the runtime folder as it was; the next attempt succeeds.
TEST(SystemLayer, AFailedCallFailsTheServiceWithItsCauseAndLeavesNothingBehind) {
    const struct Case {
        const char* service;
        const char* call;
        int callError;
        DWORD error;
        std::function<bool()> make;  // true when the service succeeded
    } cases[] = {
        {"CreateMutexW", "link", ENOSPC, ERROR_DISK_FULL,
         [] { return Closed(CreateMutexW(nullptr, FALSE, FreshName())); }},
        {"CreateFileMappingW", "ftruncate", EFBIG, ERROR_DISK_FULL,
         [] {
             return Closed(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 120,
                                              FreshName()));
         }},
        {"AddTopLevelWindow", "rename", EACCES, ERROR_ACCESS_DENIED,
         [] {
             const HWND window = AddTopLevelWindow(u"W");
             RemoveTopLevelWindow(window);
             return window != 0;
         }},
        {"RegisterWindowMessageW", "write", ENOSPC, ERROR_DISK_FULL,
         [] { return RegisterWindowMessageW(FreshName()) != 0; }},
        {"PeekMessageW", "mkfifo", EACCES, ERROR_ACCESS_DENIED,
         [] {
             MSG message;
             DestroyThreadQueue();  // made again by the peek, which finds no message
             SetLastError(ERROR_SUCCESS);
             return !PeekMessageW(&message) && GetLastError() == ERROR_SUCCESS;
         }},
    };
    // The runtime folder's folders and tables are made, and this thread has its queue.
    for (const Case& c : cases) ASSERT_TRUE(c.make()) << c.service;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.service);
        GetQueueDescriptor();
        const std::set<std::string> before = RuntimeEntries();
        fault::FailCall(c.call, 1, c.callError);
        EXPECT_FALSE(c.make());
        EXPECT_EQ(GetLastError(), c.error);
        fault::Reset();
        GetQueueDescriptor();
        EXPECT_EQ(RuntimeEntries(), before);
        EXPECT_TRUE(c.make());
    }
}

// A temporary that a dead writer left beside a device file is removed by the next writer in its
// folder; one of a writer that still runs (a root folder may be shared) is left alone.
TEST(SystemLayer, TheNextWriterSweepsTheTemporariesOfDeadWritersOnly) {
    const pid_t dead = fork();
    if (dead == 0) _exit(0);
    ASSERT_EQ(waitpid(dead, nullptr, 0), dead);
    const nxtest::TempDevice& device = *nxtest::CurrentDevice();
    const std::string ofDead = device.Path(".R.OUT.nxtmp." + std::to_string(dead) + ".1");
    const std::string ofLive = device.Path(".R.OUT.nxtmp." + std::to_string(getppid()) + ".1");
    std::ofstream(ofDead) << "left";
    std::ofstream(ofLive) << "being written";
    HANDLE f = CreateFileW(u"\\R.OUT", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(CommitFile(f));
    EXPECT_FALSE(fs::exists(ofDead));
    EXPECT_EQ(nxtest::ReadFileBytes(ofLive), "being written");
}

// NX_FAULTS names the layer's calls too: in another process, its first rename fails with EIO.
TEST(SystemLayer, TheEnvironmentMakesANamedCallFailInAnotherProcess) {
    auto write = [](const char* faults) {
        return nxtest::RunProcess({NX_PLATFORM_PEER, "file", "\\E.OUT", "text"},
                                  *nxtest::CurrentDevice(), std::chrono::seconds(30), {faults})
            .out;
    };
    EXPECT_EQ(write("NX_FAULTS=rename:1"), "error " + std::to_string(ERROR_GEN_FAILURE) + "\n");
    EXPECT_EQ(write("NX_FAULTS=rename:2"), "committed\n");
}

}  // namespace
