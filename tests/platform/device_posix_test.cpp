// Linux only: what our imitation of the device keeps itself (Windows keeps it in its kernel):
// the runtime folder and the files of its objects, the names of existing files matched without
// regard to case, the shared root folder, and two devices on one host.
#include "platform/device_posix.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/device.h"
#include "platform/file.h"
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

// Another user who may write in the root folder keeps a link to a file outside the device at
// the name a writer's temporary used to take: no write goes through it, and the result stays a
// file of its own.
TEST(DeviceFile, ALinkPlantedWhereTheTemporaryGoesIsNeverFollowed) {
    std::string outside = "/tmp/nxoutside-XXXXXX";
    ASSERT_NE(mkdtemp(outside.data()), nullptr);
    const std::string victim = outside + "/victim";
    std::ofstream(victim) << "precious";
    chmod(Device().root().c_str(), 01777);
    const std::string planted = Device().Path(".VLMIS.OUT.nxtmp." + std::to_string(getpid()));
    std::vector<std::string> planter{PeerProgram(), "plant", planted, victim};
    if (geteuid() == 0)  // as another user, the attack the shared root folder invites
        planter.insert(planter.begin(), {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534",
                                         "--clear-groups", "--"});
    int failed = 0;
    {
        Child attacker(planter, Device());
        ASSERT_EQ(attacker.Line(0), "planting");
        for (int i = 0; i < 200; ++i) {
            HANDLE f = OpenForWriting(u"\\VLMIS.OUT");
            failed += f == INVALID_HANDLE_VALUE || !WriteText(f, "new") || !CommitFile(f);
        }
    }
    chmod(Device().root().c_str(), 0700);
    EXPECT_EQ(failed, 0);
    EXPECT_EQ(nxtest::ReadFileBytes(victim), "precious");
    struct stat st {};
    ASSERT_EQ(lstat(Device().Path("VLMIS.OUT").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(nxtest::ReadFileBytes(Device().Path("VLMIS.OUT")), "new");
    std::filesystem::remove_all(outside);
    std::filesystem::remove(planted);
    std::filesystem::remove(Device().Path("VLMIS.OUT"));
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
