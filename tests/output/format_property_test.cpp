// Properties of the formatting over random and extreme inputs: every unit code, both firmware
// years, angles across the whole 32-bit range, distances of every kind of double. Run under the
// sanitizers, this is also the search for undefined behaviour.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "app/run_mode.h"
#include "output/angle_format.h"

namespace {

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr int kRandomRounds = 20000;

std::vector<std::int32_t> ExtremeAngles() {
    return {0,         1,         -1,         59,        60,        3599,       3600,
            -3599,     -3600,     1295999,    1296000,   -1296000,  117964800,  -117964800,
            117967200, 235929600, -235929600, 695784701, 695784702, -695784702, -695784703,
            kMax,      kMax - 1,  kMin,       kMin + 1};
}

std::vector<double> ExtremeDistances() {
    constexpr auto inf = std::numeric_limits<double>::infinity();
    return {0.0,
            -0.0,
            0.0625,
            0.0005,
            12.3456,
            std::numeric_limits<double>::quiet_NaN(),
            -std::numeric_limits<double>::quiet_NaN(),
            inf,
            -inf,
            std::numeric_limits<double>::max(),
            std::numeric_limits<double>::lowest(),
            std::numeric_limits<double>::min(),
            std::numeric_limits<double>::denorm_min(),
            -std::numeric_limits<double>::denorm_min(),
            9007199254740993.0,
            1e-300};
}

// The text as ASCII; false when it holds anything else.
bool ToAscii(const std::u16string& text, std::string& out) {
    out.clear();
    for (char16_t c : text) {
        if (c > 0x7F) return false;
        out += static_cast<char>(c);
    }
    return true;
}

std::string Printf(const char* format, double value) {
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

// The unit integer keeps the angle's sign, turns with the angle's sign, and grows by a whole
// circle (400 gon, 6400 mil) for each circle of the angle, less up to two for the rounded
// factors and the truncation toward zero, until it saturates at the bounds of 32 bits. Unknown
// units leave the angle as it is.
void CheckAngleToUnit(std::int32_t angle, int unit) {
    const std::int32_t v = AngleToUnit(angle, unit);
    if (unit != 1 && unit != 2) {
        ASSERT_EQ(v, angle);
        return;
    }
    ASSERT_TRUE(v == 0 || (v > 0) == (angle > 0)) << "angle " << angle << " unit " << unit;
    if (angle != kMin) {
        const std::int32_t mirrored = AngleToUnit(-angle, unit);
        const bool bothSaturated =
            (v == kMax && mirrored == kMin) || (v == kMin && mirrored == kMax);
        ASSERT_TRUE(bothSaturated || std::int64_t{mirrored} == -std::int64_t{v})
            << "angle " << angle << " unit " << unit;
    }
    constexpr std::int32_t kCircle = 1296000;
    if (angle <= kMax - kCircle) {
        const std::int64_t circle = unit == 1 ? 4000000 : 640000;
        const std::int64_t next = AngleToUnit(angle + kCircle, unit);
        if (v != kMin && next != kMax) {
            ASSERT_GE(next - v, circle - 2) << "angle " << angle << " unit " << unit;
            ASSERT_LE(next - v, circle) << "angle " << angle << " unit " << unit;
        }
    }
}

// Degrees, minutes and seconds read back give the unit integer again.
void CheckDms(const std::u16string& text, std::int32_t v) {
    const std::u16string degreeMark = u"\u00A1\u00E3";
    std::size_t mark = text.find(degreeMark);
    ASSERT_NE(mark, std::u16string::npos);
    std::string degrees, rest;
    ASSERT_TRUE(ToAscii(text.substr(0, mark), degrees));
    ASSERT_TRUE(ToAscii(text.substr(mark + 2), rest));
    ASSERT_EQ(rest.size(), 6u) << rest;
    ASSERT_EQ(rest[2], '\'');
    ASSERT_EQ(rest[5], '"');
    int minutes = std::stoi(rest.substr(0, 2)), seconds = std::stoi(rest.substr(3, 2));
    ASSERT_LT(minutes, 60);
    ASSERT_LT(seconds, 60);
    bool negative = degrees[0] == '-';
    long long whole = std::llabs(std::stoll(degrees));
    long long value = whole * 3600 + minutes * 60 + seconds;
    ASSERT_EQ(negative ? -value : value, v) << "degrees " << degrees;
}

// A blank, then a fixed-point number with the given number of decimals; false otherwise.
bool ReadFixed(const std::u16string& text, int decimals, double& value) {
    std::string ascii;
    if (!ToAscii(text, ascii) || ascii.size() < 2 || ascii[0] != ' ') return false;
    const std::size_t point = ascii.find('.');
    if (point == std::string::npos ||
        ascii.size() - point - 1 != static_cast<std::size_t>(decimals))
        return false;
    char* end = nullptr;
    value = std::strtod(ascii.c_str(), &end);
    return *end == '\0';
}

// The gon and mil texts are the unit integer in gon or mil, to the last decimal shown (gon:
// four decimals of ten-thousandths in 2008, of hundred-thousandths in 2009). The zenith form
// of the same angle adds up with the horizontal one to 100 gon, or 500 gon when that is what
// keeps it from going below zero.
void CheckFormatAngle(std::int32_t angle, int unit, int isVertical) {
    CString text(u"previous");
    FormatAngle(angle, text, unit, isVertical);
    const std::int32_t v = AngleToUnit(angle, unit);
    double value = 0;
    switch (unit) {
        case 0:
            CheckDms(text.str(), v);
            break;
        case 1: {
            ASSERT_TRUE(ReadFixed(text.str(), 4, value)) << "angle " << angle;
            const double perGon = g_firmwareYear == 2008 ? 10000.0 : 100000.0;
            CString horizontal;
            FormatAngle(angle, horizontal, unit, 0);
            double h = 0;
            ASSERT_TRUE(ReadFixed(horizontal.str(), 4, h));
            ASSERT_LE(std::fabs(h * perGon - v), perGon / 20000 + 1e-6) << "angle " << angle;
            if (isVertical == 1) {
                const double sum = value + h;
                ASSERT_TRUE(std::fabs(sum - 100) < 2e-4 || std::fabs(sum - 500) < 2e-4)
                    << "angle " << angle << ": " << value << " and " << h;
                if (h <= 500 - 1e-4) {
                    ASSERT_GE(value, -1e-4) << "angle " << angle;
                }
            } else {
                ASSERT_EQ(value, h);
            }
            break;
        }
        case 2:
            ASSERT_TRUE(ReadFixed(text.str(), 2, value)) << "angle " << angle;
            ASSERT_LE(std::fabs(value * 100 - v), 0.5 + 1e-6) << "angle " << angle;
            break;
        default:
            ASSERT_EQ(text, u"previous");
    }
}

void CheckFormatDistance(double distance, std::int8_t edmState, std::int8_t distanceValid) {
    MeasRecord record;
    record.setSlopeDistance(distance);
    record.setEdmState(edmState);
    record.setDistanceValid(distanceValid);
    CString text(u"previous");
    FormatDistance(record, text);
    if (edmState == 2) {
        ASSERT_TRUE(text.IsEmpty());
    } else if (distanceValid != 0) {
        std::string ascii;
        ASSERT_TRUE(ToAscii(text.str(), ascii));
        ASSERT_EQ(ascii, Printf("%.3f", distance));
    } else {
        ASSERT_EQ(text, u"previous");
    }
}

class FormatProperties : public testing::TestWithParam<std::int32_t> {
  protected:
    void SetUp() override {
        saved_ = g_firmwareYear;
        g_firmwareYear = GetParam();
    }
    void TearDown() override { g_firmwareYear = saved_; }

    std::mt19937_64 random_{0x5EED0005u};

  private:
    std::int32_t saved_ = 0;
};

TEST_P(FormatProperties, ExtremeAnglesInEveryUnitCode) {
    for (std::int32_t angle : ExtremeAngles()) {
        for (int unit = -128; unit <= 127; ++unit) {
            for (int isVertical : {0, 1}) {
                ASSERT_NO_FATAL_FAILURE(CheckAngleToUnit(angle, unit));
                ASSERT_NO_FATAL_FAILURE(CheckFormatAngle(angle, unit, isVertical));
            }
        }
    }
}

TEST_P(FormatProperties, RandomAngles) {
    std::uniform_int_distribution<std::int32_t> anyAngle(kMin, kMax);
    std::uniform_int_distribution<std::int32_t> nearAngle(-3 * 1296000, 3 * 1296000);
    std::uniform_int_distribution<int> anyUnit(-128, 127), knownUnit(0, 2);
    for (int i = 0; i < kRandomRounds; ++i) {
        std::int32_t angle = i % 2 ? anyAngle(random_) : nearAngle(random_);
        int unit = i % 8 == 0 ? anyUnit(random_) : knownUnit(random_);
        ASSERT_NO_FATAL_FAILURE(CheckAngleToUnit(angle, unit));
        ASSERT_NO_FATAL_FAILURE(CheckFormatAngle(angle, unit, i % 3 == 0));
    }
}

TEST_P(FormatProperties, DistancesOfEveryKind) {
    std::vector<double> distances = ExtremeDistances();
    std::uniform_int_distribution<std::uint64_t> anyBits;
    std::uniform_real_distribution<double> metres(-1.0, 5000.0);
    for (int i = 0; i < kRandomRounds / 4; ++i)
        distances.push_back(i % 2 ? std::bit_cast<double>(anyBits(random_)) : metres(random_));
    std::uniform_int_distribution<int> anyByte(-128, 127);
    for (double distance : distances) {
        for (std::int8_t edmState : {0, 1, 2, -1}) {
            auto valid = static_cast<std::int8_t>(anyByte(random_));
            ASSERT_NO_FATAL_FAILURE(CheckFormatDistance(distance, edmState, valid));
            ASSERT_NO_FATAL_FAILURE(CheckFormatDistance(distance, edmState, 0));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(BothFirmwareYears, FormatProperties, testing::Values(2008, 2009));

}  // namespace
