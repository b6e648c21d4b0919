// nxsetup: the stand-in for the platform's setup tool, installed into a device as NxSetup.exe.
#include "tools/nxsetup/tool_log.h"

int main(int argc, char** argv) {
    return nxtool::AppendToolLine(argc, argv);
}
