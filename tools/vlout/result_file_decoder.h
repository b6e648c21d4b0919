#pragma once
// Checking and decoding the 100-byte result files, apart from any file I/O, so that tests and
// fuzz targets can call it on plain bytes.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vlout {

inline constexpr std::size_t kResultFileSize = 100;
inline constexpr char16_t kFieldSeparator = u'\u00A7';

// The fields of a well-formed file, or what is wrong with a malformed one.
struct DecodedResultFile {
    std::vector<std::u16string> fields;  // each without its separator
    std::string error;                   // empty when the file is well formed

    bool ok() const { return error.empty(); }
};

// Checks the layout: exactly 100 bytes; a 16-bit zero terminator within them (UTF-16LE code
// units from byte 0); a line that is not empty and whose every field, the last one included,
// is closed by the separator U+00A7. The filler after the terminator is not checked: a writer
// may leave the rest of an earlier, longer line there. Never reads outside the bytes given.
DecodedResultFile DecodeResultFile(std::span<const std::uint8_t> bytes);

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string ToUtf8(std::u16string_view text);

// UTF-16 to UTF-8 for showing: control characters (U+0000 to U+001F, U+007F to U+009F) become
// the six characters of a \u escape ("\u001b"), so that a field never acts on a terminal or
// spreads over several lines.
std::string ToDisplayUtf8(std::u16string_view text);

// The fields for showing (ToDisplayUtf8), one per line, each line ended by a newline.
std::string FieldsAsText(const std::vector<std::u16string>& fields);

// One JSON object on one line, ended by a newline: {"file": "...", "fields": ["...", ...]}.
// The fields keep their exact text (control characters as JSON \u escapes); the file name is
// taken as UTF-8 bytes.
std::string FieldsAsJson(std::string_view fileName, const std::vector<std::u16string>& fields);

}  // namespace vlout
