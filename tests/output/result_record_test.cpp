// The 100-byte record of the result files, byte for byte.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "framework/cstring.h"
#include "link/protocol/meas_record.h"
#include "output/angle_format.h"
#include "output/result_file.h"
#include "tests/output/result_layout.h"
#include "tools/vlout/result_file_decoder.h"

namespace {

using nxtest::Bytes;
using nxtest::FreshRecordBytes;

constexpr char16_t kSep = u'\u00A7';

std::vector<std::u16string_view> Views(const std::vector<std::u16string>& fields) {
    return {fields.begin(), fields.end()};
}

TEST(ResultRecord, StartsAsFillerAndFourZeroBytes) {
    ResultRecord record;
    for (std::size_t i = 0; i < 96; ++i) EXPECT_EQ(record.bytes()[i], 0x20) << "byte " << i;
    for (std::size_t i = 96; i < 100; ++i) EXPECT_EQ(record.bytes()[i], 0) << "byte " << i;
}

TEST(ResultRecord, LinesOfAFreshRecord) {
    struct Case {
        const char* name;
        std::vector<std::u16string> fields;
        std::u16string line;
    };
    const std::u16string degreeMark = u"\u00A1\u00E3";
    const Case cases[] = {
        {"measurement",
         {u" 0.5000", u" 99.5000", u"12.346"},
         u" 0.5000\u00A7 99.5000\u00A712.346\u00A7"},
        {"empty distance", {u" 0.5000", u" 99.5000", u""}, u" 0.5000\u00A7 99.5000\u00A7\u00A7"},
        {"DMS texts",
         {u"359" + degreeMark + u"59'59\"", u"-0" + degreeMark + u"00'01\"", u"0.000"},
         u"359\u00A1\u00E359'59\"\u00A7-0\u00A1\u00E300'01\"\u00A70.000\u00A7"},
        {"26 characters",
         {u"1234567890", u"1234567890", u"123"},
         u"1234567890\u00A71234567890\u00A7123\u00A7"},
        {"all empty", {u"", u"", u""}, u"\u00A7\u00A7\u00A7"},
        {"a field ends at its first zero unit",
         {std::u16string(u"12\0 34", 6), u"a", u"b"},
         u"12\u00A7a\u00A7b\u00A7"},
        {"49 characters fit exactly",
         {std::u16string(20, u'x'), std::u16string(20, u'y'), std::u16string(6, u'z')},
         std::u16string(20, u'x') + kSep + std::u16string(20, u'y') + kSep +
             std::u16string(6, u'z') + kSep},
        {"three full dialog fields: the last is cut, not its separator",
         {std::u16string(19, u'a'), std::u16string(19, u'b'), std::u16string(19, u'c')},
         std::u16string(19, u'a') + kSep + std::u16string(19, u'b') + kSep +
             std::u16string(8, u'c') + kSep},
        {"a huge distance text is cut to what leaves its separator",
         {u" 1.0000", u" 2.0000", std::u16string(400, u'9')},
         u" 1.0000\u00A7 2.0000\u00A7" + std::u16string(32, u'9') + kSep},
        {"an over-long first field leaves room for every separator",
         {std::u16string(60, u'a'), u"b", u"c"},
         std::u16string(46, u'a') + kSep + kSep + kSep},
        {"a cut never splits a surrogate pair",  // unit 46 would be the pair's first half
         {std::u16string(45, u'a') + u"\U0001F600", u"", u""},
         std::u16string(45, u'a') + kSep + kSep + kSep},
    };
    for (const Case& c : cases) {
        ResultRecord record;
        auto views = Views(c.fields);
        record.Compose(views);
        EXPECT_EQ(Bytes(record.bytes()), Bytes(FreshRecordBytes(c.line))) << c.name;
    }
}

TEST(ResultRecord, PinnedBytesOfTheLayoutTable) {
    // 24 characters: line 0-47, terminator 48-49, zero 50-51, filler 52-95, zero 96-99.
    ResultRecord record;
    record.Compose({u" 0.5000", u" 99.5000", u"12.346"});
    const auto& b = record.bytes();
    EXPECT_EQ(b[14], 0xA7);  // the first separator, A7 00
    EXPECT_EQ(b[15], 0x00);
    EXPECT_EQ(b[46], 0xA7);
    for (std::size_t i = 48; i < 52; ++i) EXPECT_EQ(b[i], 0) << i;
    for (std::size_t i = 52; i < 96; ++i) EXPECT_EQ(b[i], 0x20) << i;
    for (std::size_t i = 96; i < 100; ++i) EXPECT_EQ(b[i], 0) << i;

    // 26 characters fill bytes 0-51; the terminator lands on 52-53, the filler starts at 54.
    record.Compose({u"1234567890", u"1234567890", u"123"});
    EXPECT_EQ(b[50], 0xA7);
    EXPECT_EQ(b[52], 0);
    EXPECT_EQ(b[53], 0);
    EXPECT_EQ(b[54], 0x20);
}

// The version line: four values through "%d", each followed by the separator.
TEST(ResultRecord, VersionLines) {
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    struct Case {
        std::int32_t values[4];
        std::u16string line;
    };
    const std::u16string minText = u"-2147483648\u00A7";
    const Case cases[] = {
        {{1, 2, 3, 4}, u"1\u00A72\u00A73\u00A74\u00A7"},
        {{0, 0, 0, 4}, u"0\u00A70\u00A70\u00A74\u00A7"},  // a reply for 56 before the others
        {{-1, 2147483647, 0, -7}, u"-1\u00A72147483647\u00A70\u00A7-7\u00A7"},
        {{kMin, kMin, kMin, kMin}, minText + minText + minText + minText},
    };
    for (const Case& c : cases) {
        CString texts[4];
        for (int i = 0; i < 4; ++i) texts[i].Format(u"%d", c.values[i]);
        ResultRecord record;
        record.Compose({texts[0], texts[1], texts[2], texts[3]});
        EXPECT_EQ(Bytes(record.bytes()), Bytes(FreshRecordBytes(c.line))) << c.values[0];
    }
    // Four times INT32_MIN: 48 characters in bytes 0-95, the terminator on 96-97.
    CString min;
    min.Format(u"%d", kMin);
    ResultRecord record;
    record.Compose({min, min, min, min});
    EXPECT_EQ(record.bytes()[94], 0xA7);
    EXPECT_EQ(record.bytes()[96], 0);
    EXPECT_EQ(record.bytes()[97], 0);
    EXPECT_EQ(record.bytes()[98], 0);
    EXPECT_EQ(record.bytes()[99], 0);
}

// Whatever the measurement program reports, the unattended writer's file is one that the reader
// takes: every angle unit with the extreme angles, and the extreme distances (a distance of about
// 1e28 or more no longer fits the line), through one writer's buffer as a run reuses it.
TEST(ResultRecord, ExtremeMeasurementsAlwaysGiveAFileTheReaderTakes) {
    using Limits = std::numeric_limits<double>;
    constexpr double kMax = Limits::max(), kInf = Limits::infinity(), kNaN = Limits::quiet_NaN();
    const double distances[] = {0.0,  -0.0,  12.3456, 1e27,  1e28, -1e28, 1e300,
                                kMax, -kMax, kInf,    -kInf, kNaN, -kNaN, Limits::denorm_min()};
    const std::int32_t angles[] = {INT32_MIN, -1, 0, 1295999, INT32_MAX};
    ResultRecord record;
    for (int unit = 0; unit <= 2; ++unit) {
        for (std::int32_t angle : angles) {
            for (double distance : distances) {
                MeasRecord measured;
                measured.setDistanceValid(1);
                measured.setSlopeDistance(distance);
                CString texts[3];
                FormatAngle(angle, texts[0], unit, 0);
                FormatAngle(angle, texts[1], unit, 1);
                FormatDistance(measured, texts[2]);
                record.Compose({texts[0], texts[1], texts[2]});
                const auto decoded = vlout::DecodeResultFile(record.bytes());
                SCOPED_TRACE(testing::Message() << "unit " << unit << ", angle " << angle
                                                << ", distance " << distance);
                ASSERT_TRUE(decoded.ok()) << decoded.error;
                ASSERT_EQ(decoded.fields.size(), 3u);
                for (int i = 0; i < 3; ++i)  // each field the start of its text
                    EXPECT_TRUE(std::u16string_view(texts[i]).starts_with(decoded.fields[i]));
            }
        }
    }
}

TEST(ResultRecord, ALaterShorterLineLeavesTheRestOfTheLongerOneBeyondByte51) {
    ResultRecord record;
    std::u16string longField(35, u'L');
    record.Compose({longField, u"a", u"b"});  // 40 units: bytes 0-79, terminator 80-81
    record.Compose({u"1", u"2", u"3"});
    std::array<std::uint8_t, 100> expected = FreshRecordBytes(u"1\u00A72\u00A73\u00A7");
    std::array<std::uint8_t, 100> older = FreshRecordBytes(longField + u"\u00A7a\u00A7b\u00A7");
    for (std::size_t i = 52; i < 100; ++i) expected[i] = older[i];
    EXPECT_EQ(older[52], 'L');  // the old line does reach beyond byte 51
    EXPECT_EQ(older[78], 0xA7);
    EXPECT_EQ(Bytes(record.bytes()), Bytes(expected));
}

// Random fields of every length and code unit (but the separator): the line ends in a terminator
// within the 100 bytes and splits into the fields again, each whole or cut short, every one
// with its separator; it is the fields whole when they fit, and nothing beyond byte 51 changes
// except under the line.
TEST(ResultRecord, RandomFieldsNeverRunPastTheRecordNorLoseASeparator) {
    std::mt19937 random(42);
    std::uniform_int_distribution<int> length(0, 60), count(1, 5);
    std::uniform_int_distribution<int> unit(0, 0xFFFF), small(0, 3);
    ResultRecord record;
    for (int round = 0; round < 3000; ++round) {
        std::vector<std::u16string> fields(static_cast<std::size_t>(count(random)));
        std::u16string full;
        for (auto& field : fields) {
            field.resize(static_cast<std::size_t>(length(random)));
            for (auto& c : field) {
                c = static_cast<char16_t>(small(random) ? 'a' + small(random) : unit(random));
                if (c == kSep) c = u'z';
            }
            full += std::u16string_view(field).substr(0, field.find(u'\0'));
            full += kSep;
        }
        auto before = record.bytes();
        record.Compose(Views(fields));
        const auto& b = record.bytes();
        std::size_t n = 0;
        while (n < 50 && (b[2 * n] | b[2 * n + 1]) != 0) ++n;
        ASSERT_LT(n, 50u) << "no terminator within the record";
        std::u16string line;
        for (std::size_t i = 0; i < n; ++i) line += char16_t(b[2 * i] | b[2 * i + 1] << 8);
        if (full.size() <= 49) {
            ASSERT_EQ(line, full);
        } else {
            ASSERT_GE(n, 48u);  // 48 when a cut dropped half a surrogate pair
        }
        std::size_t at = 0;
        for (const std::u16string& field : fields) {
            const std::size_t end = line.find(kSep, at);
            ASSERT_NE(end, std::u16string::npos) << "a field lost its separator";
            ASSERT_EQ(field.compare(0, end - at, line, at, end - at), 0) << "not the field's start";
            at = end + 1;
        }
        ASSERT_EQ(at, line.size());
        for (std::size_t i = 2 * n + 2; i < 100; ++i) {
            if (i < 52)
                ASSERT_EQ(b[i], 0) << "byte " << i;
            else
                ASSERT_EQ(b[i], before[i]) << "byte " << i;
        }
    }
}

}  // namespace
