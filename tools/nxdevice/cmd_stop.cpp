#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "platform/device.h"
#include "platform/device_posix.h"
#include "tools/nxdevice/commands.h"
#include "tools/nxdevice/process_list.h"

namespace nxdevice {
namespace {

using std::chrono::milliseconds;
constexpr milliseconds kGrace(1000);

// Those of the given processes that the device still lists, after waiting up to the timeout
// for the list to lose them all. A process that has ended but is not yet reaped by its parent
// is no longer listed.
std::vector<DeviceProcess> WaitForEnd(const std::vector<DeviceProcess>& ending,
                                      milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        std::vector<DeviceProcess> left;
        if (auto now = ListDeviceProcesses()) {
            for (const DeviceProcess& p : ending)
                for (const DeviceProcess& q : *now)
                    if (p.processId == q.processId) left.push_back(p);
        } else {
            left = ending;
        }
        if (left.empty() || std::chrono::steady_clock::now() >= end) return left;
        std::this_thread::sleep_for(milliseconds(10));
    }
}

// The processes that started this one, its parent first, up to the host's first process. A
// shell that runs "nxdevice stop" on its own device is a process of that device too.
std::set<win::DWORD> Ancestors() {
    std::set<win::DWORD> ancestors;
    for (pid_t pid = getppid(); pid > 1 && ancestors.insert(static_cast<win::DWORD>(pid)).second;) {
        std::ifstream status("/proc/" + std::to_string(pid) + "/status");
        pid = 0;
        for (std::string line; std::getline(status, line);)
            if (line.rfind("PPid:", 0) == 0) pid = static_cast<pid_t>(std::stol(line.substr(5)));
    }
    return ancestors;
}

void SendToAll(const std::vector<DeviceProcess>& processes, int signal) {
    for (const DeviceProcess& p : processes) kill(static_cast<pid_t>(p.processId), signal);
}

}  // namespace

int CmdStop(const Args& args) {
    if (!args.empty()) return UsageError("stop", "takes no arguments");
    // On the device "/" every process without a device of its own would count as the
    // device's, the user's shell included.
    if (win::DeviceRootHostPath() == "/")
        return CommandError("stop",
                            "refusing to stop the processes of the device '/'; name the "
                            "device with --root DIR or DEVICE_ROOT");
    auto processes = ListDeviceProcesses();
    if (!processes) return CommandError("stop", "cannot take a snapshot of the device's processes");
    // Never the processes that started this one: stop ends the device's programs, not its
    // caller.
    const std::set<win::DWORD> ancestors = Ancestors();
    std::erase_if(*processes,
                  [&](const DeviceProcess& p) { return ancestors.count(p.processId) != 0; });

    SendToAll(*processes, SIGTERM);
    std::vector<DeviceProcess> left = WaitForEnd(*processes, kGrace);
    const std::vector<DeviceProcess> sentKill = left;
    SendToAll(sentKill, SIGKILL);
    left = WaitForEnd(sentKill, kGrace);
    for (const DeviceProcess& p : *processes) {
        bool killed = false, stillThere = false;
        for (const DeviceProcess& q : sentKill) killed |= q.processId == p.processId;
        for (const DeviceProcess& q : left) stillThere |= q.processId == p.processId;
        if (!stillThere)
            std::printf("%s %u %s\n", killed ? "killed" : "ended",
                        static_cast<unsigned>(p.processId), p.name.c_str());
    }
    if (!left.empty())
        return CommandError("stop", "process " + std::to_string(left.front().processId) + " (" +
                                        left.front().name + ") did not end");

    // With every process of the device gone, nothing in its runtime folder is in use: the
    // folder goes whole, and the device's next process makes a fresh one.
    const std::string runtime = win::RuntimeDirectory();
    if (runtime.empty()) return CommandError("stop", "the device has no usable runtime folder");
    std::error_code ec;
    std::filesystem::remove_all(runtime, ec);
    if (ec) return CommandError("stop", "cannot sweep " + runtime + ": " + ec.message());
    std::printf("swept %s\n", runtime.c_str());
    return 0;
}

}  // namespace nxdevice
