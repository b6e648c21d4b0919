// The process entry: arguments joined with single spaces, UTF-8 decoded to UTF-16, the
// application named after the program file, the exit hook's result as the exit code.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/child.h"
#include "tests/support/temp_device.h"

namespace {

std::string Hex(const std::u16string& text) {
    std::string out;
    char unit[8];
    for (char16_t c : text) {
        std::snprintf(unit, sizeof unit, "%04x ", static_cast<unsigned>(c));
        out += unit;
    }
    return out;
}

struct EntryCase {
    const char* what;
    std::vector<std::string> args;
    std::u16string commandLine;
};

const EntryCase kEntryCases[] = {
    {"no arguments", {}, u""},
    {"one argument", {"-Gha0"}, u"-Gha0"},
    {"two arguments", {"-Gha0", "\\FlashDisk\\"}, u"-Gha0 \\FlashDisk\\"},
    {"argument with spaces kept whole", {"-Ghd1", "\\Storage Card\\x"}, u"-Ghd1 \\Storage Card\\x"},
    {"empty arguments still get their space", {"", "a", ""}, u" a "},
    {"two-byte and four-byte UTF-8",
     {"-Nor1", "\\\xC3\xA9\xF0\x9F\x98\x80\\"},
     u"-Nor1 \\\u00E9\U0001F600\\"},
};

TEST(EntryTest, HandsTheFrameworkTheOneCommandLineText) {
    nxtest::TempDevice device;
    for (const EntryCase& c : kEntryCases) {
        std::vector<std::string> argv{NX_ENTRY_PROBE_PATH};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        nxtest::ProcessResult r = nxtest::RunProcess(argv, device, std::chrono::seconds(10));
        EXPECT_EQ(r.exitCode, 7) << c.what;
        EXPECT_EQ(r.out, "entry_probe\n" + Hex(c.commandLine) + "\n") << c.what;
    }
}

}  // namespace
