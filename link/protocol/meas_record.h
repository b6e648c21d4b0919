#pragma once
// The record that the measurement program keeps in the shared section "NXMAP": 120 bytes,
// packed, little-endian. None of the multi-byte fields lies on its natural alignment, so each
// is read byte by byte.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

inline constexpr std::size_t kMeasRecordSize = 120;

struct MeasRecord {
    static constexpr std::size_t kAngleUnitOffset = 1;
    static constexpr std::size_t kHzAngleOffset = 5;
    static constexpr std::size_t kVAngleOffset = 9;
    static constexpr std::size_t kDistanceValidOffset = 41;
    static constexpr std::size_t kEdmStateOffset = 42;
    static constexpr std::size_t kSlopeDistanceOffset = 44;

    std::array<std::uint8_t, kMeasRecordSize> bytes{};

    std::int8_t angleUnit() const { return static_cast<std::int8_t>(bytes[kAngleUnitOffset]); }
    std::int32_t hzAngle() const { return static_cast<std::int32_t>(ReadU32(kHzAngleOffset)); }
    std::int32_t vAngle() const { return static_cast<std::int32_t>(ReadU32(kVAngleOffset)); }
    std::int8_t distanceValid() const {
        return static_cast<std::int8_t>(bytes[kDistanceValidOffset]);
    }
    std::int8_t edmState() const { return static_cast<std::int8_t>(bytes[kEdmStateOffset]); }
    double slopeDistance() const {
        std::uint64_t bits = 0;
        for (std::size_t i = 0; i < 8; ++i)
            bits |= std::uint64_t{bytes[kSlopeDistanceOffset + i]} << (8 * i);
        double value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

    void setAngleUnit(std::int8_t v) { bytes[kAngleUnitOffset] = static_cast<std::uint8_t>(v); }
    void setHzAngle(std::int32_t v) { WriteU32(kHzAngleOffset, static_cast<std::uint32_t>(v)); }
    void setVAngle(std::int32_t v) { WriteU32(kVAngleOffset, static_cast<std::uint32_t>(v)); }
    void setDistanceValid(std::int8_t v) {
        bytes[kDistanceValidOffset] = static_cast<std::uint8_t>(v);
    }
    void setEdmState(std::int8_t v) { bytes[kEdmStateOffset] = static_cast<std::uint8_t>(v); }
    void setSlopeDistance(double v) {
        std::uint64_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        for (std::size_t i = 0; i < 8; ++i)
            bytes[kSlopeDistanceOffset + i] = static_cast<std::uint8_t>(bits >> (8 * i));
    }

  private:
    std::uint32_t ReadU32(std::size_t at) const {
        return std::uint32_t{bytes[at]} | std::uint32_t{bytes[at + 1]} << 8 |
               std::uint32_t{bytes[at + 2]} << 16 | std::uint32_t{bytes[at + 3]} << 24;
    }
    void WriteU32(std::size_t at, std::uint32_t v) {
        for (std::size_t i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
};
static_assert(sizeof(MeasRecord) == kMeasRecordSize);
