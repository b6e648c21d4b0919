#include <cstdio>

#include "platform/unicode.h"
#include "platform/window_table_posix.h"
#include "tools/nxdevice/commands.h"

namespace nxdevice {

int CmdWindows(const Args& args) {
    if (!args.empty()) return UsageError("windows", "takes no arguments");
    std::printf("%10s %8s %8s  %s\n", "HWND", "PID", "THREAD", "TITLE");
    for (const win::TopLevelWindow& w : win::ListTopLevelWindows())
        std::printf("%#10x %8u %8u  %s\n", static_cast<unsigned>(w.hwnd),
                    static_cast<unsigned>(w.processId), static_cast<unsigned>(w.threadId),
                    win::Utf16ToUtf8(w.title).c_str());
    return 0;
}

}  // namespace nxdevice
