// Fuzz target: the command line as the process entry hands it over (the arguments' UTF-8 text
// decoded to UTF-16), or as raw UTF-16 code units, read into the run mode, the firmware year and
// the folder prefix. Checks what every reading guarantees, whatever the text.
//
// Input: the first byte chooses the encoding of the rest (even: UTF-8, odd: UTF-16LE units).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/command_line.h"
#include "fuzz/fuzz_check.h"
#include "platform/unicode.h"

namespace {

bool IsHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

bool HasUnpairedSurrogate(std::u16string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (IsHighSurrogate(text[i])) {
            if (i + 1 >= text.size() || !IsLowSurrogate(text[i + 1])) return true;
            ++i;
        } else if (IsLowSurrogate(text[i])) {
            return true;
        }
    }
    return false;
}

std::u16string FromUtf16Le(const std::uint8_t* data, std::size_t size) {
    std::u16string text;
    for (std::size_t i = 0; i + 1 < size; i += 2)
        text += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    return text;
}

void CheckRunMode(std::u16string_view commandLine) {
    RunMode mode = ReadRunMode(commandLine);
    std::u16string_view head = commandLine.substr(0, 4);
    RunMode expected = head == u"-Nor"   ? Interactive
                       : head == u"-Ghd" ? AnglesAndDistance
                       : head == u"-Gha" ? AnglesOnly
                       : head == u"-Ver" ? VersionQuery
                                         : NoMode;
    FUZZ_CHECK(mode == expected);
}

void CheckFirmwareYear(std::u16string_view commandLine) {
    std::int32_t year = ReadFirmwareYear(commandLine);
    bool zero = commandLine.size() >= 5 && commandLine[4] == u'0';
    FUZZ_CHECK(year == (zero ? 2008 : 2009));
}

// The prefix is the text from position 7 on, cut at the first backslash from position 8 or
// after 14 characters, upper-cased, always ending in a backslash: 1 to 15 characters.
void CheckInstallPath(std::u16string_view commandLine) {
    std::u16string path = ReadInstallPath(commandLine).str();
    FUZZ_CHECK(!path.empty() && path.size() <= 15);
    FUZZ_CHECK(path.back() == u'\\');

    std::u16string taken(commandLine.size() > 6 ? commandLine.substr(6, 14) : u"");
    std::size_t stop = taken.find(u'\\', 1);
    if (stop != std::u16string::npos)
        taken.resize(stop + 1);
    else
        taken += u'\\';
    win::CharUpperW(taken);
    FUZZ_CHECK(path == taken);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    std::u16string commandLine;
    if (data[0] & 1) {
        commandLine = FromUtf16Le(data + 1, size - 1);
    } else {
        std::string_view utf8(reinterpret_cast<const char*>(data + 1), size - 1);
        commandLine = win::Utf8ToUtf16(utf8);
        // Decoding never yields a broken surrogate pair, and its text survives a round trip.
        FUZZ_CHECK(!HasUnpairedSurrogate(commandLine));
        FUZZ_CHECK(win::Utf8ToUtf16(win::Utf16ToUtf8(commandLine)) == commandLine);
    }
    CheckRunMode(commandLine);
    CheckFirmwareYear(commandLine);
    CheckInstallPath(commandLine);
    return 0;
}
