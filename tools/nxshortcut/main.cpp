// nxshortcut: the stand-in for the platform's shortcut tool, installed into a device as
// NxShortcut.EXE.
#include "tools/nxsetup/tool_log.h"

int main(int argc, char** argv) {
    return nxtool::AppendToolLine(argc, argv);
}
