// Device paths, device files and named sections.
#include "platform/file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "platform/device.h"
#include "platform/fault.h"
#include "platform/section.h"
#include "platform/unicode.h"
#include "tests/platform/contract.h"
#include "tests/platform/known_differences.h"

namespace {

using namespace win;
using namespace nxtest;
using namespace std::literals;

// Every path stays inside the root, matched without regard to case; a path without its leading
// backslash is taken from the root too. The files are there, so that each case names one file.
TEST(DevicePath, ResolvesInsideTheRootWithoutRegardToCase) {
    for (const char* file : {"FlashDisk/Nedix/NX.EXE", "VLMIS.OUT", "etc/passwd"})
        WriteDeviceFile(file, "");
    struct Case {
        std::u16string_view path;
        std::string file;
    } cases[] = {
        {u"\\FLASHDISK\\NEDIX\\nx.exe"sv, "FlashDisk/Nedix/NX.EXE"},
        {u"/flashdisk/nedix/"sv, "FlashDisk/Nedix"},
        {u"flashdisk\\.\\nedix\\NX.EXE"sv, "FlashDisk/Nedix/NX.EXE"},
        {u"\\..\\..\\VLMIS.OUT"sv, "VLMIS.OUT"},
        {u"\\FlashDisk\\..\\..\\..\\etc\\passwd"sv, "etc/passwd"},
        {u"\\a\\b\\..\\..\\..\\flashdisk"sv, "FlashDisk"},
        {u"\\"sv, ""},
        {u"\\VLMIS.OUT\0\\..\\..\\x"sv, "VLMIS.OUT"},
    };
    for (const Case& c : cases) {
        std::string path = ResolveDevicePath(c.path);
        // A folder's trailing separator (Windows keeps it) names the same folder.
        if (path.size() > HostPath("").size() && (path.back() == '\\' || path.back() == '/'))
            path.pop_back();
        std::error_code ec;
        EXPECT_TRUE(std::filesystem::equivalent(path, HostPath(c.file), ec))
            << Utf16ToUtf8(c.path) << " -> " << ResolveDevicePath(c.path);
    }
}

TEST(DeviceFile, ReplacesTheFileWholeOnCommit) {
    WriteDeviceFile("VLMIS.OUT", "old");
    HANDLE f = OpenForWriting(u"\\vlmis.out");
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(WriteText(f, "new "));
    ASSERT_TRUE(WriteText(f, "bytes"));
    EXPECT_EQ(ReadHostFile(HostPath("VLMIS.OUT")), "old");
    EXPECT_TRUE(CommitFile(f));
    EXPECT_EQ(ReadHostFile(HostPath("VLMIS.OUT")), "new bytes");
    EXPECT_EQ(Listing(""), (std::vector<std::string>{"VLMIS.OUT"}));
    EXPECT_FALSE(CloseHandle(f));
}

TEST(DeviceFile, ASecondOpenFailsWhileOneIsOpenInAnyProcess) {
    HANDLE f = OpenForWriting(u"\\VLVER.OUT");
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    EXPECT_EQ(OpenForWriting(u"\\vlver.out"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(RunPeer({"file", "\\VLVER.OUT", "theirs"}),
              "error " + std::to_string(ERROR_SHARING_VIOLATION) + "\n");
    ASSERT_TRUE(WriteText(f, "mine"));
    EXPECT_TRUE(CloseHandle(f));
    EXPECT_EQ(RunPeer({"file", "\\VLVER.OUT", "theirs"}), "committed\n");
    EXPECT_EQ(ReadHostFile(HostPath("VLVER.OUT")), "theirs");
}

// The temporary a killed writer leaves: see kKilledWriterLeavesATemporary. The next open of the
// file sweeps it.
TEST(DeviceFile, AKilledWriterLeavesTheOldFileAndNoTemporary) {
    WriteDeviceFile("out/R.OUT", "old");
    {
        Peer writer({"file", "\\OUT\\R.OUT", "half-written", "hang"});
        ASSERT_EQ(writer.Line(0), "writing");
    }
    EXPECT_EQ(ReadHostFile(HostPath("out/R.OUT")), "old");
    EXPECT_EQ(Listing("out").size(), OnThisPlatform(kKilledWriterLeavesATemporary) ? 2u : 1u);
    HANDLE f = OpenForWriting(u"\\OUT\\R.OUT");
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(CommitFile(f));
    EXPECT_EQ(ReadHostFile(HostPath("out/R.OUT")), "");
    EXPECT_EQ(Listing("out"), (std::vector<std::string>{"R.OUT"}));
}

TEST(DeviceFile, FailedWritesAndFlushesKeepTheOldFile) {
    struct Case {
        fault::Op op;
        DWORD error;
    };
    for (const Case c : {Case{fault::Op::WriteFile, ERROR_DISK_FULL},
                         Case{fault::Op::CommitFile, ERROR_GEN_FAILURE}}) {
        WriteDeviceFile("KEEP.OUT", "old");
        fault::FailNth(c.op, 1);
        HANDLE f = OpenForWriting(u"\\KEEP.OUT");
        ASSERT_NE(f, INVALID_HANDLE_VALUE);
        DWORD written = 99;
        BOOL wrote = WriteFile(f, "0123456789", 10, &written, nullptr);
        EXPECT_EQ(wrote, c.op == fault::Op::WriteFile ? FALSE : TRUE);
        EXPECT_EQ(written, c.op == fault::Op::WriteFile ? 5u : 10u);
        EXPECT_FALSE(CommitFile(f));
        EXPECT_EQ(GetLastError(), c.error);
        EXPECT_EQ(ReadHostFile(HostPath("KEEP.OUT")), "old");
        EXPECT_EQ(Listing(""), (std::vector<std::string>{"KEEP.OUT"}));
        fault::Reset();
        std::filesystem::remove(HostPath("KEEP.OUT"));
    }
}

TEST(DeviceFile, OpenFailuresNameTheirCause) {
    std::filesystem::create_directories(HostPath("AFOLDER"));
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

HANDLE OpenSection(const char16_t* name, DWORD size) {
    return CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, name);
}

// The first handle stays open throughout: a named object lives while one is, on both platforms.
TEST(Section, ASecondOpenerSeesTheBytesAndAReopenNeverClearsThem) {
    HANDLE first = OpenSection(u"NXMAP", 120);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    ASSERT_EQ(RunPeer({"section-write", "NXMAP", "120", "written-by-peer"}), "written\n");
    HANDLE s = OpenSection(u"NXMAP", 120);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    auto* view = static_cast<char*>(MapViewOfFile(s, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(std::string(view, 15), "written-by-peer");
    EXPECT_EQ(view[119], 0);
    // A live view shows the other process's later writes.
    ASSERT_EQ(RunPeer({"section-write", "NXMAP", "120", "again"}), "written\n");
    EXPECT_EQ(std::string(view, 15), "againen-by-peer");
    // A larger re-open: see kSectionGrowsWhenOpenedLarger.
    HANDLE big = OpenSection(u"NXMAP", 8192);
    auto* whole = static_cast<char*>(MapViewOfFile(big, FILE_MAP_ALL_ACCESS, 0, 0, 8192));
    EXPECT_EQ(whole != nullptr, OnThisPlatform(kSectionGrowsWhenOpenedLarger) != 0);
    if (whole) {
        EXPECT_EQ(whole[8191], 0);
        EXPECT_TRUE(UnmapViewOfFile(whole));
    }
    EXPECT_TRUE(UnmapViewOfFile(view));
    EXPECT_FALSE(UnmapViewOfFile(view));
    EXPECT_TRUE(CloseHandle(big));
    EXPECT_TRUE(CloseHandle(s));
    EXPECT_TRUE(CloseHandle(first));
    // No handle left: see kObjectsOutliveTheirHandles.
    s = OpenSection(u"NXMAP", 120);
    view = static_cast<char*>(MapViewOfFile(s, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(std::string(view, 5),
              OnThisPlatform(kObjectsOutliveTheirHandles) ? "again" : std::string(5, '\0'));
    UnmapViewOfFile(view);
    CloseHandle(s);
}

TEST(Section, RefusesWhatTheDeviceDoesNotOffer) {
    HANDLE fresh = OpenSection(u"FRESH", 120);
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    // Past the section's end, within its last page: see kViewsEndWithTheSection.
    void* past = MapViewOfFile(fresh, FILE_MAP_ALL_ACCESS, 0, 0, 121);
    EXPECT_EQ(past == nullptr, OnThisPlatform(kViewsEndWithTheSection) != 0);
    if (past) UnmapViewOfFile(past);
    EXPECT_EQ(MapViewOfFile(fresh, FILE_MAP_ALL_ACCESS, 0, 1, 0), nullptr);
    EXPECT_EQ(MapViewOfFile(nullptr, FILE_MAP_ALL_ACCESS, 0, 0, 0), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 0, u"EMPTY"),
              nullptr);
    // A null file handle names the paging file too.
    HANDLE null = CreateFileMappingW(nullptr, nullptr, PAGE_READWRITE, 0, 120, u"NULLFILE");
    EXPECT_NE(null, nullptr);
    CloseHandle(null);
    int local = 0;
    EXPECT_FALSE(UnmapViewOfFile(&local));
    CloseHandle(fresh);
}

}  // namespace
