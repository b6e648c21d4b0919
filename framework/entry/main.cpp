// The process entry: hands the framework the one command-line text the program was started
// with, its arguments joined with single spaces and decoded from UTF-8 to UTF-16, and makes
// the framework's result the exit code.
#include <string>

#include "framework/win_app.h"
#include "platform/unicode.h"

int main(int argc, char** argv) {
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) commandLine += ' ';
        commandLine += argv[i];
    }
    const char* programPath = argc > 0 && argv[0] ? argv[0] : "";
    return AfxWinMain(win::Utf8ToUtf16(programPath), win::Utf8ToUtf16(commandLine));
}
