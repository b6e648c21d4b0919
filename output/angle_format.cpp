#include "output/angle_format.h"

#include <cmath>
#include <cstdlib>
#include <limits>

#include "app/run_mode.h"

namespace {

enum AngleUnit : int { kUnitDms = 0, kUnitGon = 1, kUnitMil = 2 };

constexpr int kSecondsPerDegree = 3600;
constexpr int kSecondsPerMinute = 60;

// Truncates toward zero into 32 bits. A product beyond the 32-bit range (an angle hundreds of
// circles away) saturates instead of converting out of range, which would be undefined.
std::int32_t TruncateSaturated(double product) {
    constexpr double kUpperBound = 2147483648.0;   // 2^31: the first value that does not fit
    constexpr double kLowerBound = -2147483649.0;  // -2^31 - 1: the last value below
    if (product >= kUpperBound) return std::numeric_limits<std::int32_t>::max();
    if (product <= kLowerBound) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(product);
}

// Degrees, minutes and seconds. The degrees are kept in 32 bits, so every angle shows its true
// degrees; a 16-bit count would wrap for angles more than about 91 circles away and show a
// wrong, possibly sign-flipped value. Minutes and seconds are never negative.
void FormatDms(std::int32_t v, CString& text) {
    std::int32_t degrees = v / kSecondsPerDegree;
    std::int32_t remainder = v - kSecondsPerDegree * degrees;
    std::int32_t a = std::abs(remainder);
    int minutes = a / kSecondsPerMinute;
    int seconds = a % kSecondsPerMinute;
    if (v >= 0 || degrees != 0) {
        text.Format(u"%d\u00A1\u00E3%02d'%02d\"", static_cast<int>(degrees), minutes, seconds);
    } else {
        // From -3599 to -1 the degrees are 0 and cannot carry the sign.
        text.Format(u"-0\u00A1\u00E3%02d'%02d\"", minutes, seconds);
    }
}

double GonDivisor() {
    return g_firmwareYear == 2008 ? 10000.0 : 100000.0;
}

void FormatGon(std::int32_t v, CString& text, int isVertical) {
    double d = static_cast<double>(v) / GonDivisor();
    if (isVertical == 1) {
        // Zenith angle: 100 gon is the horizon. A negative result is brought up once only.
        d = 100.0 - d;
        if (d < 0.0) d = d + 400.0;
    }
    text.Format(u" %.4f", d);
}

void FormatMil(std::int32_t v, CString& text) {
    double d = static_cast<double>(v) / 100.0;
    text.Format(u" %.2f", d);
}

}  // namespace

std::int32_t AngleToUnit(std::int32_t angle, int unitCode) {
    switch (unitCode) {
        case kUnitGon:
            return TruncateSaturated(static_cast<double>(angle) * kArcSecondsToGon);
        case kUnitMil:
            return TruncateSaturated(static_cast<double>(angle) * kArcSecondsToMil);
        default:
            return angle;
    }
}

void FormatAngle(std::int32_t angle, CString& text, int unitCode, int isVertical) {
    std::int32_t v = AngleToUnit(angle, unitCode);
    switch (unitCode) {
        case kUnitDms:
            FormatDms(v, text);
            break;
        case kUnitGon:
            FormatGon(v, text, isVertical);
            break;
        case kUnitMil:
            FormatMil(v, text);
            break;
        default:
            break;  // an unknown unit converts nothing: the text stays as it was
    }
}

void FormatDistance(const MeasRecord& record, CString& text) {
    if (record.edmState() == 2) {
        text.Empty();
    } else if (record.distanceValid() != 0) {
        text.Format(u"%.3f", record.slopeDistance());
    }
    // Otherwise the last distance shown stays: a notification without a distance keeps it.
}
