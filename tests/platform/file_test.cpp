// Device paths, device files and named sections.
#include "platform/file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>

#include "platform/device.h"
#include "platform/device_posix.h"
#include "platform/fault.h"
#include "platform/internal/system_posix.h"
#include "platform/section.h"
#include "platform/unicode.h"
#include "tests/platform/peer.h"

namespace {

using namespace win;
using namespace nxtest;
using namespace std::literals;

HANDLE OpenForWriting(std::u16string_view path) {
    return CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

bool WriteText(HANDLE file, std::string_view text) {
    DWORD written = 0;
    return WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size();
}

// Names in the folder, to see that no temporary is left.
std::vector<std::string> Listing(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(DevicePath, ResolvesInsideTheRootWithoutRegardToCase) {
    Device().WriteFile("FlashDisk/Nedix/NX.EXE", "");
    const std::string root = Device().root();
    struct Case {
        std::u16string_view path;
        std::string host;
    } cases[] = {
        {u"\\FLASHDISK\\NEDIX\\nx.exe"sv, root + "/FlashDisk/Nedix/NX.EXE"},
        {u"/flashdisk/nedix/"sv, root + "/FlashDisk/Nedix"},
        {u"flashdisk\\.\\NEW\\File.Txt"sv, root + "/FlashDisk/NEW/File.Txt"},
        {u"\\..\\..\\VLMIS.OUT"sv, root + "/VLMIS.OUT"},
        {u"\\FlashDisk\\..\\..\\..\\etc\\passwd"sv, root + "/etc/passwd"},
        {u"\\a\\b\\..\\..\\..\\flashdisk"sv, root + "/FlashDisk"},
        {u"\\"sv, root},
        {u"\\VLMIS.OUT\0\\..\\..\\x"sv, root + "/VLMIS.OUT"},
    };
    for (const Case& c : cases) EXPECT_EQ(ResolveDevicePath(c.path), c.host) << Utf16ToUtf8(c.path);
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

TEST(DeviceFile, ReplacesTheFileWholeOnCommit) {
    Device().WriteFile("VLMIS.OUT", "old");
    HANDLE f = OpenForWriting(u"\\vlmis.out");
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(WriteText(f, "new "));
    ASSERT_TRUE(WriteText(f, "bytes"));
    EXPECT_EQ(nxtest::ReadFileBytes(Device().Path("VLMIS.OUT")), "old");
    EXPECT_TRUE(CommitFile(f));
    EXPECT_EQ(nxtest::ReadFileBytes(Device().Path("VLMIS.OUT")), "new bytes");
    EXPECT_EQ(Listing(Device().root()), (std::vector<std::string>{"VLMIS.OUT"}));
    EXPECT_FALSE(CloseHandle(f));
}

TEST(DeviceFile, ASecondOpenFailsWhileOneIsOpenInAnyProcess) {
    HANDLE f = OpenForWriting(u"\\VLVER.OUT");
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    EXPECT_EQ(OpenForWriting(u"\\vlver.out"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(RunProcess(PeerCommand({"file", "\\VLVER.OUT", "theirs"}), Device()).out,
              "error " + std::to_string(ERROR_SHARING_VIOLATION) + "\n");
    ASSERT_TRUE(WriteText(f, "mine"));
    EXPECT_TRUE(CloseHandle(f));
    EXPECT_EQ(RunProcess(PeerCommand({"file", "\\VLVER.OUT", "theirs"}), Device()).out,
              "committed\n");
    EXPECT_EQ(nxtest::ReadFileBytes(Device().Path("VLVER.OUT")), "theirs");
}

TEST(DeviceFile, AKilledWriterLeavesTheOldFileAndNoTemporary) {
    Device().WriteFile("out/R.OUT", "old");
    {
        Child writer(PeerCommand({"file", "\\OUT\\R.OUT", "half-written", "hang"}), Device());
        ASSERT_EQ(writer.Line(0), "writing");
    }
    EXPECT_EQ(nxtest::ReadFileBytes(Device().Path("out/R.OUT")), "old");
    EXPECT_EQ(Listing(Device().Path("out")), (std::vector<std::string>{"R.OUT"}));
    HANDLE f = OpenForWriting(u"\\OUT\\R.OUT");
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(CommitFile(f));
    EXPECT_EQ(nxtest::ReadFileBytes(Device().Path("out/R.OUT")), "");
    EXPECT_EQ(Listing(Device().Path("out")), (std::vector<std::string>{"R.OUT"}));
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
        EXPECT_EQ(Listing(Device().root()), (std::vector<std::string>{"VLMIS.OUT"}));
        fault::Reset();
    }
    sys::SetRandomSource(nullptr);
    std::filesystem::remove_all(outside);
    std::filesystem::remove(Device().Path("VLMIS.OUT"));
}

// A write, a write-out or the rename that fails (injected as the operation, or as the system
// call with a cause of its own) keeps the old file, leaves no temporary, and names its cause.
TEST(DeviceFile, FailedWritesAndFlushesKeepTheOldFile) {
    const struct Case {
        std::optional<fault::Op> op;  // else the system call fails
        const char* call;
        int callError;
        DWORD error;    // of CommitFile
        DWORD written;  // of the 10 bytes WriteFile is given
    } cases[] = {
        {fault::Op::WriteFile, "", 0, ERROR_DISK_FULL, 5},
        {fault::Op::CommitFile, "", 0, ERROR_GEN_FAILURE, 10},
        {std::nullopt, "write", EDQUOT, ERROR_DISK_FULL, 0},
        {std::nullopt, "sync", EIO, ERROR_GEN_FAILURE, 10},
        {std::nullopt, "link", ENOSPC, ERROR_DISK_FULL, 10},
        {std::nullopt, "rename", EACCES, ERROR_ACCESS_DENIED, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.op ? "" : c.call);
        Device().WriteFile("KEEP.OUT", "old");
        if (c.op) fault::FailNth(*c.op, 1);
        if (!c.op) fault::FailCall(c.call, 1, c.callError);
        HANDLE f = OpenForWriting(u"\\KEEP.OUT");
        ASSERT_NE(f, INVALID_HANDLE_VALUE);
        DWORD written = 99;
        BOOL wrote = WriteFile(f, "0123456789", 10, &written, nullptr);
        EXPECT_EQ(wrote, c.written == 10 ? TRUE : FALSE);
        EXPECT_EQ(written, c.written);
        EXPECT_FALSE(CommitFile(f));
        EXPECT_EQ(GetLastError(), c.error);
        EXPECT_EQ(nxtest::ReadFileBytes(Device().Path("KEEP.OUT")), "old");
        EXPECT_EQ(Listing(Device().root()), (std::vector<std::string>{"KEEP.OUT"}));
        fault::Reset();
        std::filesystem::remove(Device().Path("KEEP.OUT"));
    }
}

TEST(DeviceFile, OpenFailuresNameTheirCause) {
    std::filesystem::create_directories(Device().Path("AFOLDER"));
    struct Case {
        const char16_t* path;
        DWORD share;
        DWORD error;
    } cases[] = {
        {u"\\NOWHERE\\X.OUT", 0, ERROR_PATH_NOT_FOUND},
        {u"\\AFOLDER", 0, ERROR_ACCESS_DENIED},
        {u"\\", 0, ERROR_ACCESS_DENIED},
        {u"\\X.OUT", 1, ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CreateFileW(c.path, GENERIC_WRITE, c.share, nullptr, CREATE_ALWAYS, 0, nullptr),
                  INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), c.error) << Utf16ToUtf8(c.path);
    }
}

TEST(Section, ASecondOpenerSeesTheBytesAndAReopenNeverClearsThem) {
    ASSERT_EQ(
        RunProcess(PeerCommand({"section-write", "NXMAP", "120", "written-by-peer"}), Device()).out,
        "written\n");
    HANDLE s = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 120, u"NXMAP");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    auto* view = static_cast<char*>(MapViewOfFile(s, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(std::string(view, 15), "written-by-peer");
    EXPECT_EQ(view[119], 0);
    // A live view shows the other process's later writes, and a larger re-open grows it.
    ASSERT_EQ(RunProcess(PeerCommand({"section-write", "NXMAP", "4096", "again"}), Device()).out,
              "written\n");
    EXPECT_EQ(std::string(view, 15), "againen-by-peer");
    HANDLE big =
        CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, u"NXMAP");
    auto* whole = static_cast<char*>(MapViewOfFile(big, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    ASSERT_NE(whole, nullptr);
    EXPECT_EQ(whole[4095], 0);
    whole[4095] = 'z';
    EXPECT_TRUE(UnmapViewOfFile(whole));
    EXPECT_FALSE(UnmapViewOfFile(whole));
    EXPECT_TRUE(UnmapViewOfFile(view));
    EXPECT_TRUE(CloseHandle(big));
    EXPECT_TRUE(CloseHandle(s));
    // A section with no handle left keeps its bytes for the device's life.
    s = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 120, u"NXMAP");
    view = static_cast<char*>(MapViewOfFile(s, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(std::string(view, 5), "again");
    UnmapViewOfFile(view);
    CloseHandle(s);
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

TEST(Section, RefusesWhatTheDeviceDoesNotOffer) {
    HANDLE fresh =
        CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 120, u"FRESH");
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    EXPECT_EQ(MapViewOfFile(fresh, FILE_MAP_ALL_ACCESS, 0, 0, 121), nullptr);
    EXPECT_EQ(MapViewOfFile(fresh, FILE_MAP_ALL_ACCESS, 0, 1, 0), nullptr);
    EXPECT_EQ(MapViewOfFile(nullptr, FILE_MAP_ALL_ACCESS, 0, 0, 0), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 0, u"EMPTY"),
              nullptr);
    EXPECT_EQ(CreateFileMappingW(nullptr, nullptr, PAGE_READWRITE, 0, 120, u"FILEBACKED"), nullptr);
    int local = 0;
    EXPECT_FALSE(UnmapViewOfFile(&local));
    CloseHandle(fresh);
}

}  // namespace
