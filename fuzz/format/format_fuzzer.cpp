// Fuzz target: the angle and distance texts for any record bytes, unit code and firmware year,
// and the result record composed from them. Each text must have the properties the property
// test checks (tests/output/format_properties.h), and the composed line must end within the
// 100 bytes.
//
// Input: angle (4 bytes, little-endian), unit code (1), isVertical (1), firmware year (1: even
// 2008, odd 2009), edmState (1), distanceValid (1), distance (8, the double's bits); missing
// bytes are zero.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "app/run_mode.h"
#include "fuzz/fuzz_check.h"
#include "output/angle_format.h"
#include "output/result_file.h"
#include "tests/output/format_properties.h"

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input input(data, size);
    g_firmwareYear = input.year();

    FUZZ_CHECK_HOLDS(nxtest::CheckAngleToUnit(input.angle(), input.unit()));
    FUZZ_CHECK_HOLDS(nxtest::CheckFormatAngle(input.angle(), input.unit(), input.isVertical()));
    FUZZ_CHECK_HOLDS(nxtest::CheckFormatDistance(input.record()));

    // The texts composed as a measurement line: the terminator always lies within the record.
    CString angleText(u"previous"), distanceText(u"previous");
    FormatAngle(input.angle(), angleText, input.unit(), input.isVertical());
    FormatDistance(input.record(), distanceText);
    ResultRecord result;
    result.Compose({angleText, angleText, distanceText});
    const auto& bytes = result.bytes();
    std::size_t n = 0;
    while (n < 50 && (bytes[2 * n] | bytes[2 * n + 1]) != 0) ++n;
    FUZZ_CHECK(n < 50);
    return 0;
}
