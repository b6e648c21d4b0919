#include "tools/vlout/result_file_decoder.h"

#include <cstdio>

namespace vlout {
namespace {

constexpr std::size_t kMaxUnits = kResultFileSize / 2;

DecodedResultFile Malformed(std::string error) {
    return {{}, std::move(error)};
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Control characters (C0, DEL and C1) would act on a terminal or break the one-field-a-line
// output; they are shown as \u escapes instead.
bool IsControl(char16_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

bool IsHigh(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLow(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// The text as UTF-8 with control characters as \u escapes; for JSON also the quotation mark
// and the backslash escaped, so that the result is the inside of a JSON string literal.
std::string Escaped(std::u16string_view text, bool json) {
    std::string out;
    std::size_t plain = 0;  // start of the run of units not yet converted
    for (std::size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        bool special = json && (c == u'"' || c == u'\\');
        if (!IsControl(c) && !special) continue;
        out += ToUtf8(text.substr(plain, i - plain));
        char escaped[8];
        if (special) {
            std::snprintf(escaped, sizeof escaped, "\\%c", static_cast<char>(c));
        } else {
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
        }
        out += escaped;
        plain = i + 1;
    }
    out += ToUtf8(text.substr(plain));
    return out;
}

// The file name's bytes as a JSON string literal: quotation mark, backslash and control bytes
// escaped, everything else as it stands.
void AppendJsonName(std::string& out, std::string_view name) {
    out += '"';
    for (char ch : name) {
        auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20 || c == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += ch;
        }
    }
    out += '"';
}

}  // namespace

DecodedResultFile DecodeResultFile(std::span<const std::uint8_t> bytes) {
    if (bytes.size() != kResultFileSize) {
        return Malformed("is " + std::to_string(bytes.size()) +
                         " bytes long; a result file is exactly 100 bytes");
    }
    std::u16string line;
    bool terminated = false;
    for (std::size_t i = 0; i < kMaxUnits; ++i) {
        auto unit = static_cast<char16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
        if (unit == 0) {
            terminated = true;
            break;
        }
        line += unit;
    }
    if (!terminated) return Malformed("has no 16-bit zero terminator within its 100 bytes");
    if (line.empty()) return Malformed("holds an empty line: no field at all");

    DecodedResultFile decoded;
    std::size_t start = 0;
    for (std::size_t at = line.find(kFieldSeparator); at != std::u16string::npos;
         at = line.find(kFieldSeparator, start)) {
        decoded.fields.push_back(line.substr(start, at - start));
        start = at + 1;
    }
    if (start != line.size()) {
        return Malformed("field " + std::to_string(decoded.fields.size() + 1) +
                         " is not closed by \"\u00A7\": the line ends in \"" +
                         ToDisplayUtf8(std::u16string_view(line).substr(start)) + "\"");
    }
    return decoded;
}

std::string ToUtf8(std::u16string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (IsHigh(c) && i + 1 < text.size() && IsLow(text[i + 1])) {
            AppendUtf8(out, 0x10000 + ((char32_t{c} - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (IsHigh(c) || IsLow(c)) {
            AppendUtf8(out, 0xFFFD);
        } else {
            AppendUtf8(out, c);
        }
    }
    return out;
}

std::string ToDisplayUtf8(std::u16string_view text) {
    return Escaped(text, false);
}

std::string FieldsAsText(const std::vector<std::u16string>& fields) {
    std::string out;
    for (const auto& field : fields) out += ToDisplayUtf8(field) + "\n";
    return out;
}

std::string FieldsAsJson(std::string_view fileName, const std::vector<std::u16string>& fields) {
    std::string out = "{\"file\": ";
    AppendJsonName(out, fileName);
    out += ", \"fields\": [";
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i) out += ", ";
        out += '"' + Escaped(fields[i], true) + '"';
    }
    out += "]}\n";
    return out;
}

}  // namespace vlout
