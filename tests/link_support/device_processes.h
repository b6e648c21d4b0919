#pragma once
// Which programs of a device are running, judged by the host: a process belongs to a program
// file when its /proc/PID/exe is that file. Independent of the platform layer under test.

#include <sys/types.h>

#include <string>
#include <vector>

namespace nxtest {

// Live (not zombie) processes whose program file is exactly hostPath, ascending pids.
std::vector<pid_t> ProcessesRunning(const std::string& hostPath);

// Live processes whose program file lies inside hostFolder, ascending pids.
std::vector<pid_t> ProcessesRunningFrom(const std::string& hostFolder);

// Ends every process running from hostFolder and waits (up to 5 s) until none is left.
void KillProcessesRunningFrom(const std::string& hostFolder);

// The host path of the measurement peer program built for the tests.
inline std::string MeasPeerPath() {
    return NX_MEAS_PEER_PATH;
}

}  // namespace nxtest
