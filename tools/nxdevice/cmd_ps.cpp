#include <cstdio>

#include "tools/nxdevice/commands.h"
#include "tools/nxdevice/process_list.h"

namespace nxdevice {

int CmdPs(const Args& args) {
    if (!args.empty()) return UsageError("ps", "takes no arguments");
    auto processes = ListDeviceProcesses();
    if (!processes) return CommandError("ps", "cannot take a snapshot of the device's processes");
    std::printf("%8s %8s  %s\n", "PID", "THREAD", "NAME");
    for (const DeviceProcess& p : *processes)
        std::printf("%8u %8u  %s\n", static_cast<unsigned>(p.processId),
                    static_cast<unsigned>(p.firstThreadId), p.name.c_str());
    return 0;
}

}  // namespace nxdevice
