#include "output/result_file.h"

#include <algorithm>
#include <string>

#include "framework/file.h"

namespace {

// A write clears the part of the record that the line ordinarily takes; beyond it the buffer
// keeps what it held (the filler, or the rest of an earlier, longer line).
constexpr std::size_t kClearedBytes = 52;
constexpr std::uint8_t kFiller = 0x20;
constexpr std::size_t kFillerEnd = 96;

// The line and its 16-bit terminator must fit the record: 49 code units at most.
constexpr std::size_t kMaxLineLength = kResultRecordSize / 2 - 1;

bool IsHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}

// Each field followed by the separator. A field ends at its first zero code unit, as a
// terminated string copy would end there. A line that would not fit is cut inside its fields,
// never in a separator, so that every field keeps its separator and the reader can always split
// the line: the fields are kept whole from the first on, and the first one that does not fit
// keeps what leaves room for its own separator and those of the fields after it (which keep
// only what still fits). A cut that would leave half of a surrogate pair drops that half too.
std::u16string ComposeLine(std::span<const std::u16string_view> fields) {
    std::u16string line;
    std::size_t separatorsLeft = fields.size();
    for (std::u16string_view field : fields) {
        field = field.substr(0, field.find(u'\0'));
        const std::size_t reserved = line.size() + separatorsLeft;
        const std::size_t room = reserved < kMaxLineLength ? kMaxLineLength - reserved : 0;
        if (field.size() > room) {
            field = field.substr(0, room);
            if (!field.empty() && IsHighSurrogate(field.back())) field.remove_suffix(1);
        }
        line += field;
        line += kFieldSeparator;
        --separatorsLeft;
    }
    // Only more fields than the line has room for separators could still overflow.
    if (line.size() > kMaxLineLength) line.resize(kMaxLineLength);
    return line;
}

}  // namespace

ResultRecord::ResultRecord() {
    std::fill(bytes_.begin(), bytes_.begin() + kFillerEnd, kFiller);
    std::fill(bytes_.begin() + kFillerEnd, bytes_.end(), std::uint8_t{0});
}

void ResultRecord::Compose(std::initializer_list<std::u16string_view> fields) {
    Compose(std::span<const std::u16string_view>(fields.begin(), fields.size()));
}

void ResultRecord::Compose(std::span<const std::u16string_view> fields) {
    std::fill(bytes_.begin(), bytes_.begin() + kClearedBytes, std::uint8_t{0});
    std::u16string line = ComposeLine(fields);
    std::size_t at = 0;
    // UTF-16LE whatever the host's byte order: low byte first.
    for (char16_t unit : line) {
        bytes_[at++] = static_cast<std::uint8_t>(unit & 0xFF);
        bytes_[at++] = static_cast<std::uint8_t>(unit >> 8);
    }
    bytes_[at++] = 0;  // the 16-bit terminator
    bytes_[at++] = 0;
}

bool WriteResultRecord(std::u16string_view devicePath, ResultRecord& record,
                       std::initializer_list<std::u16string_view> fields) {
    return WriteResultRecord(devicePath, record,
                             std::span<const std::u16string_view>(fields.begin(), fields.size()));
}

bool WriteResultRecord(std::u16string_view devicePath, ResultRecord& record,
                       std::span<const std::u16string_view> fields) {
    CFile file;
    // A file that cannot be opened is simply not written; the reason is dropped and the record
    // keeps what it held.
    if (!file.Open(devicePath, CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive)) {
        return false;
    }
    record.Compose(fields);
    try {
        file.Write(record.bytes().data(), static_cast<std::uint32_t>(record.bytes().size()));
        file.Close();
    } catch (const CFileException&) {
        // The device commits a file only when all its bytes were written and are on the disk,
        // so the old file is still whole here.
        return false;
    }
    return true;
}
