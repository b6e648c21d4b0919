// Properties of the formatting over random and extreme inputs: every unit code, both firmware
// years, angles across the whole 32-bit range, distances of every kind of double. Run under the
// sanitizers, this is also the search for undefined behaviour.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "app/run_mode.h"
#include "output/angle_format.h"
#include "tests/output/format_properties.h"

namespace nxtest {
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

MeasRecord Record(double distance, std::int8_t edmState, std::int8_t distanceValid) {
    MeasRecord record;
    record.setSlopeDistance(distance);
    record.setEdmState(edmState);
    record.setDistanceValid(distanceValid);
    return record;
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
                ASSERT_EQ(CheckAngleToUnit(angle, unit), "");
                ASSERT_EQ(CheckFormatAngle(angle, unit, isVertical), "");
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
        ASSERT_EQ(CheckAngleToUnit(angle, unit), "");
        ASSERT_EQ(CheckFormatAngle(angle, unit, i % 3 == 0), "");
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
            ASSERT_EQ(CheckFormatDistance(Record(distance, edmState, valid)), "");
            ASSERT_EQ(CheckFormatDistance(Record(distance, edmState, 0)), "");
        }
    }
}

INSTANTIATE_TEST_SUITE_P(BothFirmwareYears, FormatProperties, testing::Values(2008, 2009));

}  // namespace
}  // namespace nxtest
