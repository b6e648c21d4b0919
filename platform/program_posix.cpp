// The program's start on Linux: argv[0] and the other arguments joined.
#include "platform/program.h"
#include "platform/unicode.h"

namespace win {

ProgramStart GetProgramStart(int argc, char** argv) {
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) commandLine += ' ';
        commandLine += argv[i];
    }
    const char* programPath = argc > 0 && argv[0] ? argv[0] : "";
    return {Utf8ToUtf16(programPath), Utf8ToUtf16(commandLine)};
}

}  // namespace win
