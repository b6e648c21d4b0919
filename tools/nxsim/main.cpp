// nxsim: the measurement program's stand-in, installed into a device as NX.EXE. It takes no
// arguments; its scenario comes from NXSIM.INI next to its executable.
//
// Exit codes: 0 after SIGTERM, SIGINT or exit_after_ms; 1 when the device's services fail;
// 2 when the scenario file is malformed (then nothing has been touched).

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "tools/nxsim/meas_simulator.h"
#include "tools/nxsim/scenario_file.h"

namespace {

// The folder of the running executable: the copy that was started, wherever it was installed.
std::string OwnFolder() {
    std::error_code ec;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : self.parent_path().string();
}

// SIGTERM and SIGINT become a readable descriptor, so that stopping is handled in the loop
// like any other event and no signal handler runs.
int StopDescriptor() {
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    if (sigprocmask(SIG_BLOCK, &stopSignals, nullptr) != 0) return -1;
    return signalfd(-1, &stopSignals, SFD_CLOEXEC | SFD_NONBLOCK);
}

}  // namespace

int main() {
    const auto start = nxsim::MeasSimulator::Clock::now();
    const int stopFd = StopDescriptor();
    if (stopFd < 0) {
        std::fprintf(stderr, "nxsim: signalfd: %s\n", std::strerror(errno));
        return 1;
    }
    nxsim::Scenario scenario;
    if (auto error = nxsim::LoadScenario(OwnFolder(), &scenario)) {
        std::fprintf(stderr, "%s\n", error->c_str());
        return 2;
    }
    int code;
    {
        nxsim::MeasSimulator simulator(scenario, start, stopFd);
        bool stopped = false;
        code = simulator.Open(&stopped) ? simulator.Run() : (stopped ? 0 : 1);
    }
    close(stopFd);
    return code;
}
