// The process entry: hands the framework the program's file and the one command-line text it
// was started with, as the platform gives them, and makes the framework's result the exit
// code.
#include "framework/win_app.h"
#include "platform/program.h"

int main(int argc, char** argv) {
    const win::ProgramStart start = win::GetProgramStart(argc, argv);
    return AfxWinMain(start.path, start.commandLine);
}
