// nxmessagebox CAPTION TEXT TYPE: shows one message box on the display, for programs built
// without windows (see platform/window_handoff), and exits with the button pressed (IDOK is
// 1). Exits with 0 when nothing could be shown. Ends with the program that started it: a box
// whose asker is gone has nobody to answer to.
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "platform/message_box.h"
#include "platform/unicode.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: nxmessagebox CAPTION TEXT TYPE\n");
        return 0;
    }
    const pid_t asker = getppid();
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != asker) return 0;  // the asker ended before the request was taken
    const auto type = static_cast<win::UINT>(std::strtoul(argv[3], nullptr, 10));
    return win::MessageBoxW(0, win::Utf8ToUtf16(argv[2]), win::Utf8ToUtf16(argv[1]), type);
}
