// nxsim: the measurement program's stand-in, installed into a device as NX.EXE. It takes no
// arguments; its scenario comes from NXSIM.INI next to its executable.
//
// Exit codes: 0 after an end request (SIGTERM, SIGINT, a WM_QUIT) or exit_after_ms; 1 when the
// device's services fail; 2 when the scenario file is malformed (then nothing has been
// touched).

#include <cstdio>

#include "tools/nxsim/meas_simulator.h"
#include "tools/nxsim/scenario_file.h"
#include "tools/nxsim/waiting.h"

int main() {
    const auto start = nxsim::MeasSimulator::Clock::now();
    nxsim::Waiting waiting;
    if (waiting.Failed()) return 1;
    nxsim::Scenario scenario;
    if (auto error = nxsim::LoadScenario(nxsim::OwnFolder(), &scenario)) {
        std::fprintf(stderr, "%s\n", error->c_str());
        return 2;
    }
    nxsim::MeasSimulator simulator(scenario, start, waiting);
    bool stopped = false;
    return simulator.Open(&stopped) ? simulator.Run() : (stopped ? 0 : 1);
}
