// The stand-in's scenario file: what a valid file sets, and the one line a malformed file earns.
#include "tools/nxsim/scenario.h"

#include <gtest/gtest.h>

namespace nxsim {
namespace {

std::string Hex(const MeasRecord& record) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (std::uint8_t b : record.bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

// An empty file gives the defaults, and the sample file states them: each parse writes every
// field, whatever the scenario held before.
TEST(ScenarioTest, TheEmptyAndTheSampleFileGiveTheDefaults) {
    for (const std::string& text : {std::string(), SampleScenarioText()}) {
        Scenario s;
        s.measureMs = 5;
        s.periodMs = 7;
        s.workers = 9;
        ASSERT_FALSE(ParseScenario(text, &s));
        const Scenario defaults;
        EXPECT_EQ(s.record.bytes, defaults.record.bytes);
        EXPECT_EQ(s.measureMs, defaults.measureMs);
        EXPECT_DOUBLE_EQ(s.distance, defaults.distance);
        EXPECT_EQ(s.p11, defaults.p11);
        EXPECT_EQ(s.periodMs, defaults.periodMs);
        EXPECT_EQ(s.workers, defaults.workers);
        EXPECT_TRUE(s.ignoreConf.empty());
        EXPECT_TRUE(s.logFile.empty());
    }
}

TEST(ScenarioTest, EveryKeyIsRead) {
    const char* text =
        "; a comment line\r\n"
        "[RECORD]\r\n"
        "Angle_Unit = 2 ; mil\r\n"
        "hz_angle = -1296000\n"
        "v_angle=+1\n"
        "distance_valid = 1\n"
        "edm_state = -128\n"
        "slope_distance = 1e3\n"
        "[edm]\n measure_ms = 0\n distance = -0.5\n"
        "[params]\np11 = 7\np59 = 2147483647\np58 = -2147483648\np57 = 3\np56 = 4\n"
        "[notify]\nperiod_ms = 50\ntilt_over_ms = 86400000\n"
        "[Threads]\nworkers = 64\n"
        "[faults]\nignore_conf = 59, 11,-3\nhold_mutex_ms = 1\ndie_holding_mutex_ms = 2\n"
        "exit_after_ms = 3\nstart_delay_ms = 4\n"
        "# another comment\n"
        "[log]\nfile = \\LOGS\\NXSIM.LOG\n";
    Scenario s;
    ASSERT_FALSE(ParseScenario(text, &s));
    EXPECT_EQ(s.record.angleUnit(), 2);
    EXPECT_EQ(s.record.hzAngle(), -1296000);
    EXPECT_EQ(s.record.vAngle(), 1);
    EXPECT_EQ(s.record.distanceValid(), 1);
    EXPECT_EQ(s.record.edmState(), -128);
    EXPECT_DOUBLE_EQ(s.record.slopeDistance(), 1000.0);
    EXPECT_EQ(s.measureMs, 0);
    EXPECT_DOUBLE_EQ(s.distance, -0.5);
    EXPECT_EQ(s.p11, 7);
    EXPECT_EQ(s.p59, 2147483647);
    EXPECT_EQ(s.p58, -2147483647 - 1);
    EXPECT_EQ(s.p57, 3);
    EXPECT_EQ(s.p56, 4);
    EXPECT_EQ(s.periodMs, 50);
    EXPECT_EQ(s.tiltOverMs, 86400000);
    EXPECT_EQ(s.workers, 64);
    EXPECT_EQ(s.ignoreConf, (std::set<std::int32_t>{-3, 11, 59}));
    EXPECT_EQ(s.holdMutexMs, 1);
    EXPECT_EQ(s.dieHoldingMutexMs, 2);
    EXPECT_EQ(s.exitAfterMs, 3);
    EXPECT_EQ(s.startDelayMs, 4);
    EXPECT_EQ(s.logFile, "\\LOGS\\NXSIM.LOG");
}

TEST(ScenarioTest, RawGoesFirstAndOnlyGivenKeysOverrideIt) {
    MeasRecord raw;
    for (std::size_t i = 0; i < kMeasRecordSize; ++i)
        raw.bytes[i] = static_cast<std::uint8_t>(i * 7 + 1);
    // The key stands before raw in the file, and still wins.
    std::string text = "[record]\nhz_angle = 5\nraw = " + Hex(raw) + "\n";
    Scenario s;
    ASSERT_FALSE(ParseScenario(text, &s));
    MeasRecord expected = raw;
    expected.setHzAngle(5);
    EXPECT_EQ(Hex(s.record), Hex(expected));  // v_angle keeps raw's bytes, not 324000

    // Upper-case hex digits are as good.
    std::string upper = Hex(raw);
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    ASSERT_FALSE(ParseScenario("[record]\nraw=" + upper, &s));
    EXPECT_EQ(Hex(s.record), Hex(raw));
}

struct BadCase {
    const char* text;
    const char* message;
};

class MalformedScenarioTest : public testing::TestWithParam<BadCase> {};

TEST_P(MalformedScenarioTest, NamesLineAndKeyAndChangesNothing) {
    Scenario s;
    s.measureMs = 77;
    s.record.setHzAngle(99);
    auto error = ParseScenario(GetParam().text, &s);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->Describe("NXSIM.INI"), GetParam().message);
    EXPECT_EQ(s.measureMs, 77);
    EXPECT_EQ(s.record.hzAngle(), 99);
}

const std::string kShortRaw(238, '0');
const std::string kBadDigitRaw = std::string(100, '0') + "0g" + std::string(138, '0');
const std::string kShortRawText = "[record]\nraw = " + kShortRaw;
const std::string kBadDigitText = "[record]\nraw = " + kBadDigitRaw;

INSTANTIATE_TEST_SUITE_P(
    Cases, MalformedScenarioTest,
    testing::Values(
        BadCase{"[edm]\nmeasure_ms = 10\nmeasure_ms = 20\n",
                "NXSIM.INI:3: key 'measure_ms': given twice in [edm]"},
        BadCase{"angle_unit = 1\n", "NXSIM.INI:1: key 'angle_unit': stands before any [section]"},
        BadCase{"[record]\n\n; fine\nhz_angle = 12x\n",
                "NXSIM.INI:4: key 'hz_angle': '12x' is not a whole number"},
        BadCase{"[record]\nangle_unit = 128\n",
                "NXSIM.INI:2: key 'angle_unit': 128 is out of range -128 to 127"},
        BadCase{"[record]\nv_angle = 2147483648\n",
                "NXSIM.INI:2: key 'v_angle': 2147483648 is out of range -2147483648 to 2147483647"},
        BadCase{"[record]\nedm_state =\n",
                "NXSIM.INI:2: key 'edm_state': '' is not a whole number"},
        BadCase{"[record]\nslope_distance = nan\n",
                "NXSIM.INI:2: key 'slope_distance': 'nan' is not a finite number"},
        BadCase{"[edm]\ndistance = 1.5.2\n",
                "NXSIM.INI:2: key 'distance': '1.5.2' is not a finite number"},
        BadCase{"[edm]\nmeasure_ms = -1\n",
                "NXSIM.INI:2: key 'measure_ms': -1 is out of range 0 to 86400000"},
        BadCase{"[faults]\nignore_conf = 11,,59\n",
                "NXSIM.INI:2: key 'ignore_conf': '' is not a whole number"},
        BadCase{"[faults]\nignore_conf = 11,\n",
                "NXSIM.INI:2: key 'ignore_conf': a comma with no number after it"},
        BadCase{"[threads]\nworkers = 65\n",
                "NXSIM.INI:2: key 'workers': 65 is out of range 0 to 64"},
        BadCase{"[threads]\nworkers = -1\n",
                "NXSIM.INI:2: key 'workers': -1 is out of range 0 to 64"},
        BadCase{"[params]\np12 = 1\n", "NXSIM.INI:2: key 'p12': unknown key in [params]"},
        BadCase{"[edm]\nperiod_ms = 1\n", "NXSIM.INI:2: key 'period_ms': unknown key in [edm]"},
        BadCase{"[record]\n[extra]\n", "NXSIM.INI:2: section 'extra': unknown section"},
        BadCase{"[record\n", "NXSIM.INI:1: line '[record': a section header must end with ']'"},
        BadCase{"[log]\nfile\n", "NXSIM.INI:2: line 'file': expected '[section]' or 'key = value'"},
        BadCase{kShortRawText.c_str(), "NXSIM.INI:2: key 'raw': 238 hex digits, expected 240"},
        BadCase{kBadDigitText.c_str(),
                "NXSIM.INI:2: key 'raw': '0g' at digit 101 is not a hex byte"}));

}  // namespace
}  // namespace nxsim
