// Fuzz target: the angle and distance texts for any record bytes, unit code and firmware year,
// and the result record composed from them. Each text must read back as the value it shows,
// and the composed line must end within the 100 bytes.
//
// Input: angle (4 bytes, little-endian), unit code (1), isVertical (1), firmware year (1: even
// 2008, odd 2009), edmState (1), distanceValid (1), distance (8, the double's bits); missing
// bytes are zero.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/run_mode.h"
#include "fuzz/fuzz_check.h"
#include "output/angle_format.h"
#include "output/result_file.h"

namespace {

struct Input {
    std::array<std::uint8_t, 17> bytes{};

    Input(const std::uint8_t* data, std::size_t size) {
        std::memcpy(bytes.data(), data, size < bytes.size() ? size : bytes.size());
    }
    std::int32_t angle() const {
        return static_cast<std::int32_t>(std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 |
                                         std::uint32_t{bytes[2]} << 16 |
                                         std::uint32_t{bytes[3]} << 24);
    }
    int unit() const { return static_cast<std::int8_t>(bytes[4]); }
    int isVertical() const { return bytes[5] & 1; }
    std::int32_t year() const { return bytes[6] & 1 ? 2009 : 2008; }
    MeasRecord record() const {
        MeasRecord r;
        r.setEdmState(static_cast<std::int8_t>(bytes[7]));
        r.setDistanceValid(static_cast<std::int8_t>(bytes[8]));
        for (std::size_t i = 0; i < 8; ++i)
            r.bytes[MeasRecord::kSlopeDistanceOffset + i] = bytes[9 + i];
        return r;
    }
};

std::string Ascii(const std::u16string& text) {
    std::string out;
    for (char16_t c : text) {
        FUZZ_CHECK(c < 0x80);
        out += static_cast<char>(c);
    }
    return out;
}

std::string Printf(const char* format, double value) {
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

void CheckDms(const std::u16string& text, std::int32_t v) {
    std::size_t mark = text.find(u"\u00A1\u00E3");
    FUZZ_CHECK(mark != std::u16string::npos && text.size() == mark + 8);
    std::string degrees = Ascii(text.substr(0, mark)), rest = Ascii(text.substr(mark + 2));
    FUZZ_CHECK(rest[2] == '\'' && rest[5] == '"');
    long long minutes = std::atoll(rest.substr(0, 2).c_str());
    long long seconds = std::atoll(rest.substr(3, 2).c_str());
    FUZZ_CHECK(minutes < 60 && seconds < 60);
    long long whole = std::llabs(std::atoll(degrees.c_str())) * 3600 + minutes * 60 + seconds;
    FUZZ_CHECK((degrees[0] == '-' ? -whole : whole) == v);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input input(data, size);
    g_firmwareYear = input.year();

    CString angleText(u"previous");
    FormatAngle(input.angle(), angleText, input.unit(), input.isVertical());
    std::int32_t v = AngleToUnit(input.angle(), input.unit());
    switch (input.unit()) {
        case 0:
            CheckDms(angleText.str(), v);
            break;
        case 1: {
            double d = v / (input.year() == 2008 ? 10000.0 : 100000.0);
            if (input.isVertical()) {
                d = 100.0 - d;
                if (d < 0.0) d += 400.0;
            }
            FUZZ_CHECK(Ascii(angleText.str()) == Printf(" %.4f", d));
            break;
        }
        case 2:
            FUZZ_CHECK(Ascii(angleText.str()) == Printf(" %.2f", v / 100.0));
            break;
        default:
            FUZZ_CHECK(v == input.angle());
            FUZZ_CHECK(angleText == u"previous");
    }

    MeasRecord record = input.record();
    CString distanceText(u"previous");
    FormatDistance(record, distanceText);
    if (record.edmState() == 2) {
        FUZZ_CHECK(distanceText.IsEmpty());
    } else if (record.distanceValid() != 0) {
        FUZZ_CHECK(Ascii(distanceText.str()) == Printf("%.3f", record.slopeDistance()));
    } else {
        FUZZ_CHECK(distanceText == u"previous");
    }

    // The texts composed as a measurement line: the terminator always lies within the record.
    ResultRecord result;
    result.Compose({angleText, angleText, distanceText});
    const auto& bytes = result.bytes();
    std::size_t n = 0;
    while (n < 50 && (bytes[2 * n] | bytes[2 * n + 1]) != 0) ++n;
    FUZZ_CHECK(n < 50);
    return 0;
}
