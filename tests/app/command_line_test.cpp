// Reading mode, firmware year and folder prefix from the command line, by UTF-16 position.
#include "app/command_line.h"

#include <gtest/gtest.h>

#include <cctype>

#include "platform/unicode.h"

namespace {

struct CommandLineCase {
    const char* what;
    std::u16string line;
    RunMode mode;
    std::int32_t year;
    std::u16string prefix;
};

// U+1F600, outside the Basic Multilingual Plane: two positions.
const std::u16string kSmiley = u"\U0001F600";

const CommandLineCase kCases[] = {
    {"prefix cut at its first closing backslash", u"-Ghd0 \\FlashDisk\\job\\x", AnglesAndDistance,
     2008, u"\\FLASHDISK\\"},
    {"no prefix at all", u"-Nor1", Interactive, 2009, u"\\"},
    {"closing backslash at position 20", u"-Ghd1 \\Storage Card\\x", AnglesAndDistance, 2009,
     u"\\STORAGE CARD\\"},
    {"name cut after position 20", u"-Gha1 \\Windows12345678\\x", AnglesOnly, 2009,
     u"\\WINDOWS123456\\"},
    {"backslash at position 21 is not read", u"-Gha1 \\ABCDEFGHIJKLMN\\", AnglesOnly, 2009,
     u"\\ABCDEFGHIJKLM\\"},
    {"14 characters without any backslash", u"-Ver0 abcdefghijklmnopq", VersionQuery, 2008,
     u"ABCDEFGHIJKLMN\\"},
    {"no leading backslash is added", u"-Ver1 Flash\\x", VersionQuery, 2009, u"FLASH\\"},
    {"ends right after the year 0", u"-Nor0", Interactive, 2008, u"\\"},
    {"ends right after the switch", u"-Nor", Interactive, 2009, u"\\"},
    {"ends right after the switch Ghd", u"-Ghd", AnglesAndDistance, 2009, u"\\"},
    {"ends at the skipped position 6", u"-Gha0 ", AnglesOnly, 2008, u"\\"},
    {"backslash at position 7 does not stop", u"-Gha0 \\", AnglesOnly, 2008, u"\\\\"},
    {"backslash at positions 7 and 8", u"-Gha0 \\\\Flash\\", AnglesOnly, 2008, u"\\\\"},
    {"position 6 is skipped whatever stands there", u"-Nor1X\\A\\", Interactive, 2009, u"\\A\\"},
    {"lower-case switch matches nothing", u"-nor1 \\Flash\\", NoMode, 2009, u"\\FLASH\\"},
    {"switch not at position 1", u" -Nor1 \\Flash\\", NoMode, 2009, u" \\"},
    {"only four characters compared", u"-Normal", Interactive, 2009, u"L\\"},
    {"empty line", u"", NoMode, 2009, u"\\"},
    {"shorter than a switch", u"-No", NoMode, 2009, u"\\"},
    {"unknown switch", u"-Abc0 \\Flash\\", NoMode, 2008, u"\\FLASH\\"},
    {"prefix is upper-cased", u"-Gha0 \\flashdisk\\", AnglesOnly, 2008, u"\\FLASHDISK\\"},
    // Characters outside the Basic Multilingual Plane take two positions each.
    {"surrogate pair inside the prefix", u"-Nor1 \\" + kSmiley + u"\\x", Interactive, 2009,
     u"\\" + kSmiley + u"\\"},
    {"surrogate pair in the switch", u"-N" + kSmiley + u"1 \\A\\", NoMode, 2009, u"\\A\\"},
    {"surrogate pair at positions 5 and 6", u"-Ghd" + kSmiley + u"\\Flash\\", AnglesAndDistance,
     2009, u"\\FLASH\\"},
    {"surrogate pair at positions 4 and 5", u"-Gh" + kSmiley + u" \\A\\", NoMode, 2009, u"\\A\\"},
    {"pair split by the cut after position 20", u"-Gha0 \\ABCDEFGHIJKL" + kSmiley + u"\\",
     AnglesOnly, 2008, u"\\ABCDEFGHIJKL" + kSmiley.substr(0, 1) + u"\\"},
    {"pairs fill the prefix",
     u"-Ver1 " + kSmiley + kSmiley + kSmiley + kSmiley + kSmiley + kSmiley + kSmiley + kSmiley,
     VersionQuery, 2009,
     kSmiley + kSmiley + kSmiley + kSmiley + kSmiley + kSmiley + kSmiley + u"\\"},
};

void PrintTo(const CommandLineCase& c, std::ostream* os) {
    *os << c.what;
}

class CommandLineTest : public testing::TestWithParam<CommandLineCase> {};

TEST_P(CommandLineTest, ReadsModeYearAndPrefixByPosition) {
    const CommandLineCase& c = GetParam();
    EXPECT_EQ(ReadRunMode(c.line), c.mode);
    EXPECT_EQ(ReadFirmwareYear(c.line), c.year);
    const CString prefix = ReadInstallPath(c.line);
    EXPECT_EQ(win::Utf16ToUtf8(prefix), win::Utf16ToUtf8(c.prefix));
    EXPECT_TRUE(prefix.str() == c.prefix) << "code units differ";
    EXPECT_GE(prefix.GetLength(), 1);
    EXPECT_LE(prefix.GetLength(), 15);
    EXPECT_EQ(prefix.str().back(), u'\\');
}

INSTANTIATE_TEST_SUITE_P(Cases, CommandLineTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<CommandLineCase>& info) {
                             std::string name;
                             for (const char* p = info.param.what; *p; ++p)
                                 name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             return name;
                         });

}  // namespace
