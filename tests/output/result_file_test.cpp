// The result files on a device: byte-exact, replaced whole, and left as they were when a write
// cannot complete.
#include "output/result_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "framework/cstring.h"
#include "framework/file.h"
#include "platform/device.h"
#include "platform/fault.h"
#include "tests/output/result_layout.h"
#include "tests/support/temp_device.h"

namespace {

namespace fs = std::filesystem;
using nxtest::Bytes;
using nxtest::FreshRecordBytes;
using win::fault::Op;

std::string HostPath(const std::string& name) {
    return win::DeviceRootHostPath() + "/" + name;
}

std::string ReadHost(const std::string& name) {
    return nxtest::ReadFileBytes(HostPath(name));
}

void WriteHost(const std::string& name, const std::string& bytes) {
    std::ofstream(HostPath(name), std::ios::binary | std::ios::trunc) << bytes;
}

// The names in the root folder, so that a test sees any temporary file left behind.
std::vector<std::string> RootEntries() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(win::DeviceRootHostPath()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class ResultFileTest : public testing::Test {
  protected:
    void SetUp() override {
        win::fault::Reset();
        for (const auto& name : RootEntries()) fs::remove_all(HostPath(name));
    }
    void TearDown() override { win::fault::Reset(); }
};

TEST_F(ResultFileTest, TheWritersLayoutsByteForByte) {
    struct Case {
        const char16_t* path;
        std::vector<std::u16string> fields;
        std::u16string line;
    };
    CString v59, v58, v57, v56;  // the version writer formats its values with "%d"
    v59.Format(u"%d", 1);
    v58.Format(u"%d", -2147483647 - 1);
    v57.Format(u"%d", 0);
    v56.Format(u"%d", 2147483647);
    const Case cases[] = {
        {kResultFilePath,
         {u" 0.5000", u" 99.5000", u"12.346"},
         u" 0.5000\u00A7 99.5000\u00A712.346\u00A7"},
        {kResultFilePath,
         {u"0\u00A1\u00E300'00\"", u"-0\u00A1\u00E300'01\"", u""},
         u"0\u00A1\u00E300'00\"\u00A7-0\u00A1\u00E300'01\"\u00A7\u00A7"},
        {kVersionFilePath,
         {v59.str(), v58.str(), v57.str(), v56.str()},
         u"1\u00A7-2147483648\u00A70\u00A72147483647\u00A7"},
    };
    for (const Case& c : cases) {
        ResultRecord record;
        std::vector<std::u16string_view> views(c.fields.begin(), c.fields.end());
        ASSERT_TRUE(WriteResultRecord(c.path, record, views));
        std::string name = c.path == kResultFilePath ? "VLMIS.OUT" : "VLVER.OUT";
        EXPECT_EQ(Bytes(ReadHost(name)), Bytes(FreshRecordBytes(c.line))) << name;
    }
}

TEST_F(ResultFileTest, ALongerOldFileIsExactly100BytesAfterwards) {
    WriteHost("VLMIS.OUT", std::string(500, 'x'));
    ResultRecord record;
    ASSERT_TRUE(WriteResultRecord(kResultFilePath, record, {u"1", u"2", u"3"}));
    EXPECT_EQ(Bytes(ReadHost("VLMIS.OUT")), Bytes(FreshRecordBytes(u"1\u00A72\u00A73\u00A7")));
    EXPECT_EQ(RootEntries(), std::vector<std::string>{"VLMIS.OUT"});
}

TEST_F(ResultFileTest, AWriterKeepsItsRecordAcrossWrites) {
    ResultRecord record;
    ASSERT_TRUE(WriteResultRecord(kResultFilePath, record, {std::u16string(35, u'L'), u"a", u"b"}));
    ASSERT_TRUE(WriteResultRecord(kResultFilePath, record, {u"1", u"2", u"3"}));
    std::string file = ReadHost("VLMIS.OUT");
    ASSERT_EQ(file.size(), 100u);
    EXPECT_EQ(file[52], 'L');  // the earlier line's rest beyond byte 51
    EXPECT_EQ(file.substr(0, 14), std::string("1\0\xA7\0"
                                              "2\0\xA7\0"
                                              "3\0\xA7\0\0\0",
                                              14));
}

// Each way a write can fail leaves the old file whole, no temporary behind, and false returned.
TEST_F(ResultFileTest, AFailedWriteLeavesTheOldFile) {
    const std::string old = "the old result, 32 bytes long...";
    for (Op op : {Op::CreateFile, Op::WriteFile, Op::CommitFile}) {
        SCOPED_TRACE(static_cast<int>(op));
        WriteHost("VLVER.OUT", old);
        win::fault::FailNth(op, 1);
        ResultRecord record;
        auto recordBefore = record.bytes();
        EXPECT_FALSE(WriteResultRecord(kVersionFilePath, record, {u"1", u"2", u"3", u"4"}));
        EXPECT_EQ(ReadHost("VLVER.OUT"), old);
        EXPECT_EQ(RootEntries(), std::vector<std::string>{"VLVER.OUT"});
        if (op == Op::CreateFile) {
            EXPECT_EQ(record.bytes(), recordBefore);  // a record whose file fails is not composed
        }
        win::fault::Reset();
        // The next write goes through.
        EXPECT_TRUE(WriteResultRecord(kVersionFilePath, record, {u"1", u"2", u"3", u"4"}));
        EXPECT_EQ(ReadHost("VLVER.OUT").size(), 100u);
    }
}

TEST_F(ResultFileTest, AFileHeldOpenOrAMissingFolderIsNotWritten) {
    WriteHost("VLMIS.OUT", "old");
    ResultRecord record;
    {
        CFile holder;
        ASSERT_TRUE(holder.Open(kResultFilePath,
                                CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive));
        EXPECT_FALSE(WriteResultRecord(kResultFilePath, record, {u"1", u"2", u"3"}));
        EXPECT_EQ(ReadHost("VLMIS.OUT"), "old");
        holder.Abort();
    }
    EXPECT_FALSE(WriteResultRecord(u"\\NO SUCH FOLDER\\VLMIS.OUT", record, {u"1", u"2", u"3"}));
}

// A writer killed between its write and its close leaves the old file; the next writer
// succeeds and nothing of the dead one remains.
TEST_F(ResultFileTest, AKilledWriterLeavesTheOldFile) {
    WriteHost("VLMIS.OUT", "old");
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        CFile file;
        if (file.Open(kResultFilePath,
                      CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive)) {
            std::string bytes(100, 'n');
            file.Write(bytes.data(), 100);
        }
        raise(SIGKILL);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(ReadHost("VLMIS.OUT"), "old");
    ResultRecord record;
    EXPECT_TRUE(WriteResultRecord(kResultFilePath, record, {u"1", u"2", u"3"}));
    EXPECT_EQ(Bytes(ReadHost("VLMIS.OUT")), Bytes(FreshRecordBytes(u"1\u00A72\u00A73\u00A7")));
    EXPECT_EQ(RootEntries(), std::vector<std::string>{"VLMIS.OUT"});
}

TEST_F(ResultFileTest, CFileReportsTheCauseOfEachFailure) {
    constexpr unsigned kMode = CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive;
    struct Case {
        Op fault;
        const char* failingStep;
        bool fullDisk;
    };
    const Case cases[] = {
        {Op::WriteFile, "write", true},
        {Op::CommitFile, "close", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.failingStep);
        WriteHost("A.OUT", "old");
        win::fault::FailNth(c.fault, 1);
        CFile file;
        ASSERT_TRUE(file.Open(u"\\A.OUT", kMode));
        std::string step = "write";
        try {
            file.Write("abcd", 4);
            step = "close";
            file.Close();
            ADD_FAILURE() << "no exception";
        } catch (const CFileException& e) {
            EXPECT_EQ(step, c.failingStep);
            EXPECT_NE(e.m_cause, CFileException::none);
            if (c.fullDisk) {
                EXPECT_EQ(e.m_cause, CFileException::diskFull);
            }
            EXPECT_EQ(e.m_strFileName, u"\\A.OUT");
        }
        file.Abort();
        EXPECT_FALSE(file.IsOpen());
        EXPECT_EQ(ReadHost("A.OUT"), "old");
        win::fault::Reset();
    }

    CFile holder, second;
    CFileException error;
    ASSERT_TRUE(holder.Open(u"\\B.OUT", kMode));
    EXPECT_FALSE(second.Open(u"\\B.OUT", kMode, &error));
    EXPECT_EQ(error.m_cause, CFileException::sharingViolation);
    EXPECT_EQ(error.m_lOsError, win::ERROR_SHARING_VIOLATION);
    EXPECT_FALSE(second.Open(u"\\NOPE\\B.OUT", kMode, &error));
    EXPECT_EQ(error.m_cause, CFileException::badPath);
}

}  // namespace
