#pragma once
// The running program as the platform started it: its file and its one command-line text.

#include <string>

namespace win {

struct ProgramStart {
    std::u16string path;         // the program file, as it was started
    std::u16string commandLine;  // the argument text, without the program's name
};

// argc and argv are main's. Linux hands a program its arguments one by one: they are joined
// with single spaces and decoded from UTF-8. Windows hands it one text (GetCommandLineW), which
// is taken as it stands after the program's name and the blanks that follow it, as the C
// runtime takes WinMain's command line; argv is not read there.
ProgramStart GetProgramStart(int argc, char** argv);

}  // namespace win
