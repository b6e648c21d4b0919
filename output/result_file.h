#pragma once
// The 100-byte result files in the device's root folder.

#include <array>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>

inline constexpr char16_t kResultFilePath[] = u"\\VLMIS.OUT";
inline constexpr char16_t kVersionFilePath[] = u"\\VLVER.OUT";
inline constexpr char16_t kFieldSeparator = u'\u00A7';  // follows every field
inline constexpr std::size_t kResultRecordSize = 100;

// One writer's record buffer, kept for the whole run: 96 bytes of 0x20 and 4 zero bytes at
// start. Each composition clears bytes 0 to 51 and writes the line from byte 0, so what an
// earlier, longer line left beyond byte 51 stays.
class ResultRecord {
  public:
    ResultRecord();

    // Clears bytes 0 to 51 and composes the line from byte 0: each field followed by the
    // separator, then a 16-bit zero. A field ends at its first zero code unit, if any. A line
    // whose characters and terminator would not fit the 100 bytes (49 characters at most) is
    // cut inside its fields, never in a separator: the first field that does not fit, and any
    // after it, keep what leaves room for every separator (without half a surrogate pair). So
    // the line never runs past byte 99 and always splits into its fields again.
    void Compose(std::initializer_list<std::u16string_view> fields);
    void Compose(std::span<const std::u16string_view> fields);

    const std::array<std::uint8_t, kResultRecordSize>& bytes() const { return bytes_; }

  private:
    std::array<std::uint8_t, kResultRecordSize> bytes_;
};

// Opens the device file (create or truncate, write access, no sharing), composes the fields
// into the record and writes its 100 bytes in one write, then closes. The file is replaced whole
// or not at all: afterwards it is exactly these 100 bytes, or the old file as it was. Returns
// false when the file could not be opened (the record is then not composed either) and when
// the write or the commit failed (the old file stays); reports nothing else.
bool WriteResultRecord(std::u16string_view devicePath, ResultRecord& record,
                       std::initializer_list<std::u16string_view> fields);
bool WriteResultRecord(std::u16string_view devicePath, ResultRecord& record,
                       std::span<const std::u16string_view> fields);
