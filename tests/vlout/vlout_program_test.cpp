// The vlout program on real files: its output, its messages and its exit codes.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <string>
#include <vector>

#include "tests/output/result_layout.h"
#include "tests/support/child.h"
#include "tests/support/temp_device.h"

namespace {

std::string RecordFile(std::u16string_view line) {
    auto bytes = nxtest::FreshRecordBytes(line);
    return {bytes.begin(), bytes.end()};
}

class VloutProgram : public testing::Test {
  protected:
    nxtest::ProcessResult Run(std::vector<std::string> args) {
        args.insert(args.begin(), VLOUT_PATH);
        return nxtest::RunProcess(args, folder_, std::chrono::seconds(10));
    }
    std::string Put(const std::string& name, const std::string& bytes) {
        folder_.WriteFile(name, bytes);
        return folder_.Path(name);
    }

    nxtest::TempDevice folder_;
};

TEST_F(VloutProgram, PrintsTheFieldsOnePerLine) {
    std::string file =
        Put("VLMIS.OUT", RecordFile(u" 0.5000\u00A71\u00A1\u00E301'01\"\u00A7\u00A7"));
    auto r = Run({file});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, " 0.5000\n1\u00A1\u00E301'01\"\n\n");
    EXPECT_EQ(r.err, "");
}

TEST_F(VloutProgram, PrintsOneJsonObjectPerFile) {
    std::string mis = Put("VLMIS.OUT", RecordFile(u" 0.5000\u00A7 99.5000\u00A712.346\u00A7"));
    std::string ver = Put("VLVER.OUT", RecordFile(u"1\u00A7-2\u00A73\u00A74\u00A7"));
    auto r = Run({"--json", mis, ver});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out,
              "{\"file\": \"" + mis + "\", \"fields\": [\" 0.5000\", \" 99.5000\", \"12.346\"]}\n" +
                  "{\"file\": \"" + ver + "\", \"fields\": [\"1\", \"-2\", \"3\", \"4\"]}\n");
}

TEST_F(VloutProgram, NamesEachFileWhenGivenSeveral) {
    std::string a = Put("A.OUT", RecordFile(u"1\u00A7"));
    std::string b = Put("B.OUT", RecordFile(u"2\u00A7"));
    auto r = Run({a, b});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "==> " + a + " <==\n1\n==> " + b + " <==\n2\n");
}

TEST_F(VloutProgram, AMalformedFileIsNamedWithWhatIsWrongAndExitCode1) {
    struct Case {
        const char* name;
        std::string bytes;
        std::string message;
    };
    const Case cases[] = {
        {"short", std::string(37, '\0'), "is 37 bytes long; a result file is exactly 100 bytes"},
        {"long", std::string(500, ' '), "is 500 bytes long; a result file is exactly 100 bytes"},
        {"no terminator", std::string(100, 'A'), "has no 16-bit zero terminator"},
        {"empty line", std::string(100, '\0'), "holds an empty line"},
        {"unclosed", RecordFile(u"1\u00A72"), "field 2 is not closed by \"\u00A7\""},
    };
    for (const Case& c : cases) {
        std::string bad = Put("BAD.OUT", c.bytes);
        std::string good = Put("GOOD.OUT", RecordFile(u"7\u00A7"));
        auto r = Run({bad, good});
        EXPECT_EQ(r.exitCode, 1) << c.name;
        EXPECT_EQ(r.err.rfind("vlout: " + bad + ": " + c.message, 0), 0u)
            << c.name << ": " << r.err;
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << c.name << ": one line";
        EXPECT_EQ(r.out, "==> " + good + " <==\n7\n") << c.name;  // the good file still shows
    }
}

// What is no result file at all is named at once with what it is, exit code 1: a FIFO with
// no writer among them, which would keep a reader waiting for good.
TEST_F(VloutProgram, WhatIsNoFileIsNamedAtOnceAndAWrongCommandLine) {
    const std::string fifo = folder_.Path("FIFO.OUT");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    struct Case {
        std::string path;
        std::string message;
    } cases[] = {
        {folder_.Path("NONE.OUT"), "cannot read: No such file or directory"},
        {folder_.root(), "is a folder, not a result file"},
        {fifo, "is a FIFO, not a result file"},
    };
    for (const Case& c : cases) {
        auto r = Run({c.path});
        EXPECT_EQ(r.exitCode, 1) << c.path;
        EXPECT_EQ(r.err, "vlout: " + c.path + ": " + c.message + "\n");
    }

    EXPECT_EQ(Run({}).exitCode, 2);
    EXPECT_EQ(Run({"--xml", "F"}).exitCode, 2);
    EXPECT_EQ(Run({"--json"}).exitCode, 2);
}

}  // namespace
