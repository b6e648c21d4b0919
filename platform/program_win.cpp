// The program's start on Windows: its module file and the one command-line text.
#include "platform/internal/win_internal.h"
#include "platform/program.h"

namespace win {

ProgramStart GetProgramStart(int /*argc*/, char** /*argv*/) {
    ProgramStart start;
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            start.path = detail::FromWide(path.data(), length);
            break;
        }
        path.resize(path.size() * 2);
    }
    // The program's name stands first: in quotes up to the closing one, otherwise up to the
    // first blank.
    const wchar_t* text = ::GetCommandLineW();
    if (*text == L'"') {
        ++text;
        while (*text && *text != L'"') ++text;
        if (*text == L'"') ++text;
    } else {
        while (*text > L' ') ++text;
    }
    while (*text && *text <= L' ') ++text;
    start.commandLine = detail::FromWide(text, std::wcslen(text));
    return start;
}

}  // namespace win
