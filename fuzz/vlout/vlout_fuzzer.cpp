// Fuzz target: vlout's check and decoding of a result file on arbitrary bytes, and its text and
// JSON output. A file it accepts must hold exactly the line it reports, and the fields it
// reports must compose, through the writers' own record, into a file that decodes the same.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "output/result_file.h"
#include "tools/vlout/result_file_decoder.h"

namespace {

// Valid UTF-8; with controlsAllowed false, also no control character but newlines.
bool IsCleanUtf8Output(std::string_view text, bool controlsAllowed = false) {
    for (std::size_t i = 0; i < text.size();) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            if (!controlsAllowed && c < 0x20 && c != '\n') return false;
            ++i;
            continue;
        }
        std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
        if (length == 0 || c > 0xF4 || i + length > text.size()) return false;
        char32_t code = c & (0x3F >> (length - 1));
        for (std::size_t k = 1; k < length; ++k) {
            auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            code = (code << 6) | (next & 0x3F);
        }
        bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
        if (overlong || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
        i += length;
    }
    return true;
}

std::u16string JoinLine(const std::vector<std::u16string>& fields) {
    std::u16string line;
    for (const auto& field : fields) line += field + vlout::kFieldSeparator;
    return line;
}

void CheckAccepted(std::span<const std::uint8_t> bytes, const vlout::DecodedResultFile& decoded) {
    FUZZ_CHECK(bytes.size() == vlout::kResultFileSize);
    FUZZ_CHECK(!decoded.fields.empty());

    // The reported fields are the line, unit for unit, and the terminator follows it.
    std::u16string line = JoinLine(decoded.fields);
    FUZZ_CHECK(2 * line.size() + 2 <= bytes.size());
    for (std::size_t i = 0; i < line.size(); ++i) {
        FUZZ_CHECK(line[i] != 0);
        FUZZ_CHECK(bytes[2 * i] == (line[i] & 0xFF) && bytes[2 * i + 1] == (line[i] >> 8));
    }
    FUZZ_CHECK(bytes[2 * line.size()] == 0 && bytes[2 * line.size() + 1] == 0);

    std::string text = vlout::FieldsAsText(decoded.fields);
    std::string json = vlout::FieldsAsJson("VLMIS.OUT", decoded.fields);
    FUZZ_CHECK(IsCleanUtf8Output(text, true));  // fields go out as they stand, one a line
    FUZZ_CHECK(IsCleanUtf8Output(json));
    FUZZ_CHECK(json.starts_with("{\"file\": \"VLMIS.OUT\", \"fields\": [") &&
               json.ends_with("]}\n"));

    // What the writers compose from these fields reads back as the same fields (an accepted
    // line has at most 49 units, so the writers never need to cut it).
    std::vector<std::u16string_view> views(decoded.fields.begin(), decoded.fields.end());
    ResultRecord record;
    record.Compose(views);
    vlout::DecodedResultFile again = vlout::DecodeResultFile(record.bytes());
    FUZZ_CHECK(again.ok());
    FUZZ_CHECK(again.fields == decoded.fields);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::span<const std::uint8_t> bytes(data, size);
    vlout::DecodedResultFile decoded = vlout::DecodeResultFile(bytes);
    if (decoded.ok()) {
        CheckAccepted(bytes, decoded);
    } else {
        FUZZ_CHECK(decoded.fields.empty());
        // The message quotes the file's own text: valid UTF-8, though it may carry its controls.
        FUZZ_CHECK(IsCleanUtf8Output(decoded.error, true));
    }
    return 0;
}
