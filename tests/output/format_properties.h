#pragma once
// The properties of the angle and distance texts, written once for the property test
// (tests/output/format_property_test.cpp) and the fuzz target (fuzz/format). Each check
// returns "" when the property holds, and otherwise what is wrong, with the input.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

#include "app/run_mode.h"
#include "output/angle_format.h"

namespace nxtest {

// The text as ASCII; false when it holds anything else.
inline bool ToAscii(const std::u16string& text, std::string& out) {
    out.clear();
    for (char16_t c : text) {
        if (c > 0x7F) return false;
        out += static_cast<char>(c);
    }
    return true;
}

// The text for a message: ASCII as it is, anything else as '?'.
inline std::string Shown(const std::u16string& text) {
    std::string out;
    for (char16_t c : text) out += c > 0x7F ? '?' : static_cast<char>(c);
    return "\"" + out + "\"";
}

// A fixed-point number with exactly the given number of decimals, after one blank when blank
// is set; false otherwise.
inline bool ReadFixed(const std::u16string& text, bool blank, int decimals, double& value) {
    std::string ascii;
    if (!ToAscii(text, ascii)) return false;
    if (blank && (ascii.empty() || ascii[0] != ' ')) return false;
    const std::string number = ascii.substr(blank ? 1 : 0);
    const std::size_t point = number.find('.');
    if (number.empty() || !(number[0] == '-' || (number[0] >= '0' && number[0] <= '9')) ||
        point == std::string::npos || number.size() - point - 1 != std::size_t(decimals))
        return false;
    char* end = nullptr;
    value = std::strtod(number.c_str(), &end);
    return *end == '\0';
}

// The unit integer keeps the angle's sign, turns with the angle's sign, and grows by a whole
// circle (400 gon, 6400 mil) for each circle of the angle, less up to two for the rounded
// factors and the truncation toward zero, until it saturates at the bounds of 32 bits. Unknown
// units leave the angle as it is.
inline std::string CheckAngleToUnit(std::int32_t angle, int unit) {
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
    constexpr std::int32_t kCircle = 1296000;
    const std::int32_t v = AngleToUnit(angle, unit);
    const std::string where =
        " (angle " + std::to_string(angle) + ", unit " + std::to_string(unit) + ")";
    if (unit != 1 && unit != 2) return v == angle ? "" : "an unknown unit changed it" + where;
    if (v != 0 && (v > 0) != (angle > 0)) return "the sign turned" + where;
    if (angle != kMin) {
        const std::int32_t mirrored = AngleToUnit(-angle, unit);
        const bool bothSaturated =
            (v == kMax && mirrored == kMin) || (v == kMin && mirrored == kMax);
        if (!bothSaturated && std::int64_t{mirrored} != -std::int64_t{v})
            return "the opposite angle is not the opposite value" + where;
    }
    if (angle <= kMax - kCircle) {
        const std::int64_t circle = unit == 1 ? 4000000 : 640000;
        const std::int64_t next = AngleToUnit(angle + kCircle, unit);
        if (v != kMin && next != kMax && (next - v < circle - 2 || next - v > circle))
            return "a circle more gives " + std::to_string(next - v) + " more" + where;
    }
    return "";
}

// Degrees, minutes and seconds read back give the unit integer again.
inline std::string CheckDms(const std::u16string& text, std::int32_t v) {
    const std::size_t mark = text.find(u"\u00A1\u00E3");
    std::string degrees, rest;
    if (mark == std::u16string::npos || !ToAscii(text.substr(0, mark), degrees) ||
        !ToAscii(text.substr(mark + 2), rest) || rest.size() != 6 || rest[2] != '\'' ||
        rest[5] != '"')
        return "not degrees, minutes and seconds";
    for (std::size_t i : {0, 1, 3, 4})
        if (rest[i] < '0' || rest[i] > '9') return "minutes or seconds not two digits";
    char* end = nullptr;
    const long long whole = std::llabs(std::strtoll(degrees.c_str(), &end, 10));
    if (degrees.empty() || *end != '\0') return "degrees not a whole number";
    const int minutes = std::atoi(rest.substr(0, 2).c_str());
    const int seconds = std::atoi(rest.substr(3, 2).c_str());
    if (minutes >= 60 || seconds >= 60) return "minutes or seconds beyond 59";
    const long long value = whole * 3600 + minutes * 60 + seconds;
    return (degrees[0] == '-' ? -value : value) == v ? "" : "reads back as another angle";
}

// The gon text is the unit integer in gon to the last decimal shown (four decimals of
// ten-thousandths in 2008, of hundred-thousandths in 2009). The zenith form of the same angle
// adds up with the horizontal one to 100 gon, or 500 gon when that is what keeps it from going
// below zero.
inline std::string CheckGon(const std::u16string& text, std::int32_t angle, std::int32_t v,
                            int isVertical) {
    double value = 0, h = 0;
    if (!ReadFixed(text, true, 4, value)) return "not a blank and a number with four decimals";
    const double perGon = g_firmwareYear == 2008 ? 10000.0 : 100000.0;
    CString horizontal;
    FormatAngle(angle, horizontal, 1, 0);
    if (!ReadFixed(horizontal.str(), true, 4, h)) return "the horizontal form is no number";
    if (std::fabs(h * perGon - v) > perGon / 20000 + 1e-6)
        return "the horizontal form is not the unit integer";
    if (isVertical != 1) return value == h ? "" : "differs from the horizontal form";
    const double sum = value + h;
    if (std::fabs(sum - 100) >= 2e-4 && std::fabs(sum - 500) >= 2e-4)
        return "adds up with the horizontal form to " + std::to_string(sum);
    if (h <= 500 - 1e-4 && value < -1e-4) return "below zero";
    return "";
}

// The angle's text in its unit: DMS, gon or mil as above, the mil text the unit integer in
// mil to the last decimal shown; an unknown unit leaves the text as it was.
inline std::string CheckFormatAngle(std::int32_t angle, int unit, int isVertical) {
    CString text(u"previous");
    FormatAngle(angle, text, unit, isVertical);
    const std::int32_t v = AngleToUnit(angle, unit);
    std::string problem;
    double value = 0;
    switch (unit) {
        case 0:
            problem = CheckDms(text.str(), v);
            break;
        case 1:
            problem = CheckGon(text.str(), angle, v, isVertical);
            break;
        case 2:
            if (!ReadFixed(text.str(), true, 2, value))
                problem = "not a blank and a number with two decimals";
            else if (std::fabs(value * 100 - v) > 0.5 + 1e-6)
                problem = "not the unit integer";
            break;
        default:
            if (text != u"previous") problem = "an unknown unit changed the text";
    }
    if (problem.empty()) return "";
    return problem + ": " + Shown(text.str()) + " (angle " + std::to_string(angle) + ", unit " +
           std::to_string(unit) + ", vertical " + std::to_string(isVertical) + ", year " +
           std::to_string(g_firmwareYear) + ")";
}

// The distance text is empty while the meter measures (edmState 2); otherwise, when the
// record says the distance is valid, the distance to the nearest thousandth ("nan" or "inf",
// signed, for what is no finite number); otherwise the text shown before.
inline std::string CheckFormatDistance(const MeasRecord& record) {
    CString text(u"previous");
    FormatDistance(record, text);
    const double d = record.slopeDistance();
    std::string problem;
    double shown = 0;
    if (record.edmState() == 2) {
        if (!text.IsEmpty()) problem = "not empty while the meter measures";
    } else if (record.distanceValid() == 0) {
        if (text != u"previous") problem = "changed without a valid distance";
    } else if (std::isnan(d)) {
        if (text != u"nan" && text != u"-nan") problem = "not nan";
    } else if (std::isinf(d)) {
        if (text != (d > 0 ? u"inf" : u"-inf")) problem = "not inf with its sign";
    } else if (!ReadFixed(text.str(), false, 3, shown)) {
        problem = "not a number with three decimals";
    } else if (std::fabs(shown - d) > 0.0005 + std::fabs(d) * 1e-15) {
        problem = "not the distance to the nearest thousandth";
    }
    if (problem.empty()) return "";
    char distance[64];
    std::snprintf(distance, sizeof distance, "%.17g", d);
    return problem + ": " + Shown(text.str()) + " (distance " + distance + ", edmState " +
           std::to_string(record.edmState()) + ", distanceValid " +
           std::to_string(record.distanceValid()) + ")";
}

}  // namespace nxtest
