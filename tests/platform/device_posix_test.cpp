// Linux only: what our imitation of the device keeps itself (Windows keeps it in its kernel):
// the runtime folder and the files of its objects, the names of existing files matched without
// regard to case, the shared root folder, and two devices on one host.
#include "platform/device_posix.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/device.h"
#include "platform/fault.h"
#include "platform/file.h"
#include "platform/internal/system_posix.h"
#include "platform/message.h"
#include "platform/process.h"
#include "platform/section.h"
#include "platform/toolhelp.h"
#include "platform/unicode.h"
#include "platform/window_table_posix.h"
#include "tests/platform/contract.h"
#include "tests/support/child.h"
#include "tests/support/temp_device.h"

namespace {

using namespace win;
using namespace nxtest;
using namespace std::literals;

const TempDevice& Device() {
    return *CurrentDevice();
}

// Each existing component is the name on disk; a missing one is kept as written.
TEST(DevicePath, TakesTheNamesOnDiskAndKeepsMissingOnesAsWritten) {
    Device().WriteFile("FlashDisk/Nedix/NX.EXE", "");
    const std::string root = Device().root();
    EXPECT_EQ(ResolveDevicePath(u"\\FLASHDISK\\NEDIX\\nx.exe"), root + "/FlashDisk/Nedix/NX.EXE");
    EXPECT_EQ(ResolveDevicePath(u"flashdisk\\.\\NEW\\File.Txt"), root + "/FlashDisk/NEW/File.Txt");
}

TEST(DevicePath, RuntimeFolderIsPrivateAndOutsideTheRoot) {
    const std::string& runtime = RuntimeDirectory();
    ASSERT_FALSE(runtime.empty());
    EXPECT_EQ(runtime, RuntimeDirectoryForRoot(Device().root()));
    EXPECT_NE(runtime.rfind(Device().root(), 0), 0u);
    for (std::string folder = runtime; folder.size() > 9;
         folder = folder.substr(0, folder.rfind('/'))) {
        struct stat st {};
        ASSERT_EQ(lstat(folder.c_str(), &st), 0) << folder;
        EXPECT_TRUE(S_ISDIR(st.st_mode)) << folder;
        EXPECT_EQ(st.st_mode & 0777, 0700u) << folder;
        EXPECT_EQ(st.st_uid, geteuid()) << folder;
    }
}

// The random draws that name temporaries, from a value the test knows.
std::uint64_t g_nextDraw = 0;
std::uint64_t NextDraw() {
    return g_nextDraw++;
}

// Someone who may write in the root folder has planted a link to a file outside the device at
// exactly the name a writer's temporary draws first (".NAME.nxtmp.PID.RANDOM"), whether the
// temporary is unnamed until its rename or, on a file system without unnamed files, named from
// the start: the writer takes another name, nothing goes through the link, and the result stays
// a file of its own. (Reaches into the layer's internal header for its random source.)
TEST(DeviceFile, ALinkPlantedWhereTheTemporaryGoesIsNeverFollowed) {
    std::string outside = "/tmp/nxoutside-XXXXXX";
    ASSERT_NE(mkdtemp(outside.data()), nullptr);
    const std::string victim = outside + "/victim";
    auto temporary = [](std::uint64_t draw) {
        char suffix[48];
        std::snprintf(suffix, sizeof suffix, "%d.%016llx", static_cast<int>(getpid()),
                      static_cast<unsigned long long>(draw));
        return Device().Path(std::string(".VLMIS.OUT.nxtmp.") + suffix);
    };
    const struct Case {
        const char* name;
        int unnamedError;  // not 0: the file system has no unnamed files
    } cases[] = {{"unnamed", 0}, {"EOPNOTSUPP", EOPNOTSUPP}, {"EISDIR", EISDIR}};
    sys::SetRandomSource(NextDraw);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::ofstream(victim) << "precious";
        g_nextDraw = 0x5eed;
        ASSERT_EQ(symlink(victim.c_str(), temporary(0x5eed).c_str()), 0);
        if (c.unnamedError) fault::FailCall("open O_TMPFILE", 0, c.unnamedError);
        HANDLE f = OpenForWriting(u"\\VLMIS.OUT");
        ASSERT_NE(f, INVALID_HANDLE_VALUE);
        // Without unnamed files, the temporary took the second name drawn.
        EXPECT_EQ(std::filesystem::exists(temporary(0x5eee)), c.unnamedError != 0);
        EXPECT_TRUE(WriteText(f, "new") && CommitFile(f));
        EXPECT_EQ(nxtest::ReadFileBytes(victim), "precious");
        struct stat st {};
        ASSERT_EQ(lstat(Device().Path("VLMIS.OUT").c_str(), &st), 0);
        EXPECT_TRUE(S_ISREG(st.st_mode));
        EXPECT_EQ(nxtest::ReadFileBytes(Device().Path("VLMIS.OUT")), "new");
        std::filesystem::remove(temporary(0x5eed));
        EXPECT_EQ(Listing(""), (std::vector<std::string>{"VLMIS.OUT"}));
        fault::Reset();
    }
    sys::SetRandomSource(nullptr);
    std::filesystem::remove_all(outside);
    std::filesystem::remove(Device().Path("VLMIS.OUT"));
}

// A system call under the result file that fails with a cause of its own keeps the old file,
// leaves no temporary, and names its cause.
TEST(DeviceFile, FailedSystemCallsKeepTheOldFileAndNameTheirCause) {
    const struct Case {
        const char* call;
        int callError;
        DWORD error;    // of CommitFile
        DWORD written;  // of the 10 bytes WriteFile is given
    } cases[] = {
        {"write", EDQUOT, ERROR_DISK_FULL, 0},
        {"sync", EIO, ERROR_GEN_FAILURE, 10},
        {"link", ENOSPC, ERROR_DISK_FULL, 10},
        {"rename", EACCES, ERROR_ACCESS_DENIED, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call);
        Device().WriteFile("KEEP.OUT", "old");
        fault::FailCall(c.call, 1, c.callError);
        HANDLE f = OpenForWriting(u"\\KEEP.OUT");
        ASSERT_NE(f, INVALID_HANDLE_VALUE);
        DWORD written = 99;
        EXPECT_EQ(WriteFile(f, "0123456789", 10, &written, nullptr),
                  c.written == 10 ? TRUE : FALSE);
        EXPECT_EQ(written, c.written);
        EXPECT_FALSE(CommitFile(f));
        EXPECT_EQ(GetLastError(), c.error);
        EXPECT_EQ(nxtest::ReadFileBytes(Device().Path("KEEP.OUT")), "old");
        EXPECT_EQ(Listing(""), (std::vector<std::string>{"KEEP.OUT"}));
        fault::Reset();
        std::filesystem::remove(Device().Path("KEEP.OUT"));
    }
}

// Another program of the user cuts the section's file short under a live view: the view keeps
// working instead of ending the process with SIGBUS. The bytes lost read as zeros, and what is
// written to the view reaches the file again.
TEST(Section, AViewOutlivesItsFileCutShort) {
    HANDLE s = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 120, u"CUT");
    auto* view = static_cast<char*>(MapViewOfFile(s, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    ASSERT_NE(view, nullptr);
    std::memcpy(view, "before", 6);
    const std::string file = RuntimeDirectory() + "/sections/CUT";
    ASSERT_EQ(truncate(file.c_str(), 0), 0);
    EXPECT_EQ(std::string(view, 6), std::string(6, '\0'));
    std::memcpy(view + 114, "after", 6);
    EXPECT_EQ(std::filesystem::file_size(file), 120u);
    EXPECT_EQ(nxtest::ReadFileBytes(file).substr(114), std::string("after", 6));
    EXPECT_TRUE(UnmapViewOfFile(view));
    EXPECT_TRUE(CloseHandle(s));
}

TEST(Device, TwoDevicesNeverSeeEachOther) {
    nxtest::TempDevice other;
    ASSERT_NE(RuntimeDirectoryForRoot(other.root()), RuntimeDirectory());
    const UINT here = RegisterWindowMessageW(u"HERE_FIRST");
    EXPECT_EQ(RegisterWindowMessageW(u"SHARED_NAME"), here + 1);
    EXPECT_EQ(
        RunProcess(std::vector<std::string>{PeerProgram(), "register", "SHARED_NAME"}, other).out,
        "SHARED_NAME 49152\n");

    HWND window = AddTopLevelWindow(u"Here");
    const std::string self = std::to_string(GetCurrentThreadId());
    EXPECT_EQ(
        RunProcess(std::vector<std::string>{PeerProgram(), "post", self, "7", "1"}, other).out,
        "0 " + std::to_string(ERROR_INVALID_THREAD_ID) + "\n");
    MSG m;
    EXPECT_FALSE(PeekMessageW(&m));

    Child there(std::vector<std::string>{PeerProgram(), "threads", "0"}, other);
    ASSERT_EQ(there.Line(0), "ready");
    EXPECT_EQ(RunPeer({"walk"}).find(std::to_string(there.pid()) + " "), std::string::npos);
    auto theirWalk = RunProcess(std::vector<std::string>{PeerProgram(), "walk"}, other).out;
    EXPECT_NE(theirWalk.find(std::to_string(there.pid()) + " "), std::string::npos);
    EXPECT_EQ(theirWalk.find(std::to_string(getpid()) + " "), std::string::npos);
    RemoveTopLevelWindow(window);
}

TEST(RegisteredMessage, ALineCutShortByADeadWriterIsDropped) {
    const UINT before = RegisterWindowMessageW(u"BEFORE_CUT");
    ASSERT_NE(before, 0u);
    {
        std::ofstream table(RuntimeDirectory() + "/messages", std::ios::app);
        table << "C7";  // a writer died here
    }
    EXPECT_EQ(RunPeer({"register", "AFTER_CUT", "BEFORE_CUT"}),
              "AFTER_CUT " + std::to_string(before + 1) + "\nBEFORE_CUT " + std::to_string(before) +
                  "\n");
    EXPECT_EQ(RegisterWindowMessageW(u"after_cut"), before + 1);
}

}  // namespace
