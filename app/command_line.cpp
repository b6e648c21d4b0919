#include "app/command_line.h"

#include <array>

namespace {

struct Switch {
    const char16_t* text;  // four characters
    RunMode mode;
};

// In the order they are compared.
constexpr std::array<Switch, 4> kSwitches{{
    {u"-Nor", Interactive},
    {u"-Ghd", AnglesAndDistance},
    {u"-Gha", AnglesOnly},
    {u"-Ver", VersionQuery},
}};

constexpr std::size_t kSwitchLength = 4;
constexpr std::size_t kYearPosition = 5;
constexpr std::size_t kPathFirst = 7;
constexpr std::size_t kPathStopFrom = 8;  // a backslash from here on ends the prefix
constexpr std::size_t kPathLast = 20;

// The character at 1-based position p; the caller has checked that it exists.
char16_t At(std::u16string_view text, std::size_t p) {
    return text[p - 1];
}

bool MatchesSwitch(std::u16string_view commandLine, const char16_t* switchText) {
    for (std::size_t p = 1; p <= kSwitchLength; ++p) {
        if (p > commandLine.size() || At(commandLine, p) != switchText[p - 1]) return false;
    }
    return true;
}

}  // namespace

RunMode ReadRunMode(std::u16string_view commandLine) {
    for (const Switch& s : kSwitches) {
        if (MatchesSwitch(commandLine, s.text)) return s.mode;
    }
    return NoMode;
}

std::int32_t ReadFirmwareYear(std::u16string_view commandLine) {
    if (commandLine.size() >= kYearPosition && At(commandLine, kYearPosition) == u'0') return 2008;
    return 2009;
}

CString ReadInstallPath(std::u16string_view commandLine) {
    CString path;
    bool closed = false;
    for (std::size_t p = kPathFirst; p <= kPathLast && p <= commandLine.size(); ++p) {
        char16_t c = At(commandLine, p);
        path += c;
        if (p >= kPathStopFrom && c == u'\\') {
            closed = true;
            break;
        }
    }
    if (!closed) path += u'\\';
    path.MakeUpper();
    return path;
}
