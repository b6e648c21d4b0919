// The display texts of angles and distances, case by case.
#include "output/angle_format.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <limits>
#include <string>

#include "app/run_mode.h"

namespace {

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

// Sets the firmware year for one test and puts the default back afterwards.
class FirmwareYear {
  public:
    explicit FirmwareYear(std::int32_t year) : saved_(g_firmwareYear) { g_firmwareYear = year; }
    ~FirmwareYear() { g_firmwareYear = saved_; }

  private:
    std::int32_t saved_;
};

std::u16string Format(std::int32_t angle, int unit, int isVertical) {
    CString text(u"unchanged");
    FormatAngle(angle, text, unit, isVertical);
    return text.str();
}

TEST(AngleToUnit, FactorsAreTheRoundedDecimalsWithTheirBitPatterns) {
    // The truncated results below depend on these exact doubles.
    EXPECT_EQ(std::bit_cast<std::uint64_t>(kArcSecondsToGon), 0x4008B0FCD6E6E83Du);
    EXPECT_EQ(std::bit_cast<std::uint64_t>(kArcSecondsToMil), 0x3FDF9ADD3B84E659u);
}

TEST(AngleToUnit, TruncatesTowardZeroAndSaturatesOutsideThe32BitRange) {
    struct Case {
        std::int32_t angle;
        int unit;
        std::int32_t expected;
    };
    const Case cases[] = {
        {324000, 1, 999999},  // 90 degrees: the rounded factor falls just short
        {3240, 1, 9999},
        {-3240, 1, -9999},  // toward zero, not toward minus infinity
        {1296000, 1, 3999999},
        {324000, 2, 159999},
        {-324000, 2, -159999},
        {1, 2, 0},
        {-1, 2, 0},
        {695784701, 1, 2147483645},  // the largest angle whose gon value fits
        {695784702, 1, kMax},        // product 2147483648.09: saturates
        {-695784702, 1, kMin},       // product -2147483648.09 truncates to exactly INT32_MIN
        {-695784703, 1, kMin},       // product -2147483651.17: saturates
        {kMax, 1, kMax},
        {kMin, 1, kMin},
        {kMax, 2, 1060485750},  // mil never leaves the range
        {kMin, 2, -1060485751},
        {kMax, 0, kMax},  // any other unit returns the angle as it is
        {kMin, 3, kMin},
        {-5, -1, -5},
        {7, 127, 7},
        {7, -128, 7},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AngleToUnit(c.angle, c.unit), c.expected)
            << "angle " << c.angle << " unit " << c.unit;
    }
}

TEST(FormatAngle, DegreesMinutesSeconds) {
    struct Case {
        std::int32_t angle;
        std::u16string expected;
    };
    const Case cases[] = {
        {0, u"0\u00A1\u00E300'00\""},
        {3661, u"1\u00A1\u00E301'01\""},
        {1295999, u"359\u00A1\u00E359'59\""},
        {1296000, u"360\u00A1\u00E300'00\""},
        {-1, u"-0\u00A1\u00E300'01\""},
        {-61, u"-0\u00A1\u00E301'01\""},
        {-3599, u"-0\u00A1\u00E359'59\""},
        {-3600, u"-1\u00A1\u00E300'00\""},
        {-3661, u"-1\u00A1\u00E301'01\""},
        // Degrees beyond 16 bits show their true value (a 16-bit count would wrap to -32768,
        // to 0 and lose the sign, and so on).
        {32767 * 3600, u"32767\u00A1\u00E300'00\""},
        {32768 * 3600, u"32768\u00A1\u00E300'00\""},
        {65536 * 3600 + 1, u"65536\u00A1\u00E300'01\""},
        {-65536 * 3600 - 61, u"-65536\u00A1\u00E301'01\""},
        {kMax, u"596523\u00A1\u00E314'07\""},
        {kMin, u"-596523\u00A1\u00E314'08\""},
    };
    for (const Case& c : cases) {
        // The vertical angle is formatted exactly like the horizontal one.
        EXPECT_EQ(Format(c.angle, 0, 0), c.expected) << "angle " << c.angle;
        EXPECT_EQ(Format(c.angle, 0, 1), c.expected) << "angle " << c.angle << " vertical";
    }
}

TEST(FormatAngle, GonAndMil) {
    struct Case {
        std::int32_t angle;
        int unit;
        std::int32_t year;
        std::u16string horizontal, vertical;
    };
    const Case cases[] = {
        {0, 1, 2008, u" 0.0000", u" 100.0000"},
        {1, 1, 2008, u" 0.0003", u" 99.9997"},
        {3240, 1, 2008, u" 0.9999", u" 99.0001"},
        {324000, 1, 2008, u" 99.9999", u" 0.0001"},
        {648000, 1, 2008, u" 199.9999", u" 300.0001"},
        {1296000, 1, 2008, u" 399.9999", u" 100.0001"},
        {-3240, 1, 2008, u" -0.9999", u" 100.9999"},
        {324000, 1, 2009, u" 10.0000", u" 90.0000"},
        {0, 1, 2009, u" 0.0000", u" 100.0000"},
        // A negative zenith result is brought up by 400 once, and no further.
        {2592000, 1, 2008, u" 799.9999", u" -299.9999"},
        {kMax, 1, 2008, u" 214748.3647", u" -214248.3647"},
        {kMax, 1, 2009, u" 21474.8365", u" -20974.8365"},
        {kMin, 1, 2008, u" -214748.3648", u" 214848.3648"},
        {1, 2, 2008, u" 0.00", u" 0.00"},
        {3, 2, 2008, u" 0.01", u" 0.01"},
        {324000, 2, 2008, u" 1599.99", u" 1599.99"},
        {-324000, 2, 2008, u" -1599.99", u" -1599.99"},
        {324000, 2, 2009, u" 1599.99", u" 1599.99"},  // the year matters to gon alone
        {kMax, 2, 2008, u" 10604857.50", u" 10604857.50"},
    };
    for (const Case& c : cases) {
        FirmwareYear year(c.year);
        EXPECT_EQ(Format(c.angle, c.unit, 0), c.horizontal)
            << "angle " << c.angle << " unit " << c.unit << " year " << c.year;
        EXPECT_EQ(Format(c.angle, c.unit, 1), c.vertical)
            << "angle " << c.angle << " unit " << c.unit << " year " << c.year << " vertical";
    }
}

TEST(FormatAngle, UnknownUnitLeavesTheTextAsItWas) {
    for (int unit : {3, 4, -1, 127, -128}) {
        for (int isVertical : {0, 1}) {
            EXPECT_EQ(Format(3661, unit, isVertical), u"unchanged") << "unit " << unit;
        }
    }
}

TEST(FormatAngle, OverwritesAndNeverAppends) {
    CString text(u"a long earlier text that must go");
    FormatAngle(0, text, 2, 0);
    EXPECT_EQ(text, u" 0.00");
}

TEST(FormatDistance, SetsClearsOrKeeps) {
    struct Case {
        std::int8_t edmState, distanceValid;
        double distance;
        std::u16string expected;
    };
    const Case cases[] = {
        {2, 1, 12.5, u""},  // meter in state 2: cleared whatever the flag says
        {2, 0, 12.5, u""},
        {0, 0, 12.5, u"previous"},  // no distance: the last one shown stays
        {1, 0, 12.5, u"previous"},
        {0, 1, 12.3456, u"12.346"},
        {0, 1, 0.0, u"0.000"},
        {0, 1, 0.0625, u"0.062"},  // an exact tie rounds to even, as printf does
        {0, 1, 0.1875, u"0.188"},
        {0, 1, -1.25, u"-1.250"},
        {1, -1, 1234.5, u"1234.500"},  // any non-zero flag counts, any state but 2
        {-2, 1, 7.0, u"7.000"},
        {0, 1, 1e20, u"100000000000000000000.000"},
    };
    for (const Case& c : cases) {
        MeasRecord record;
        record.setEdmState(c.edmState);
        record.setDistanceValid(c.distanceValid);
        record.setSlopeDistance(c.distance);
        CString text(u"previous");
        FormatDistance(record, text);
        EXPECT_EQ(text.str(), c.expected) << "edmState " << int{c.edmState} << " valid "
                                          << int{c.distanceValid} << " distance " << c.distance;
    }
}

}  // namespace
