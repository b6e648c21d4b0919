// Times whole "-Gha0" runs of the Windows bridge under Wine beyond the 1500 ms pause, beside an
// empty Windows program started the same way (timeout, wine, the current folder on the
// device's drive) under the same warm wineserver. Needs the windows preset's build.
#include <benchmark/benchmark.h>

#include <chrono>

#include "tests/support/temp_device.h"
#include "tests/wine/wine_prefix.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kPauseSeconds = 1.5;

// One whole run of the program on the device, in seconds; nothing when it failed.
std::optional<double> TimeRun(const nxtest::WineDevice& device, const std::string& program,
                              const std::vector<std::string>& args) {
    const auto start = Clock::now();
    nxtest::ProcessResult result = device.Run(program, args, std::chrono::seconds(30));
    const std::chrono::duration<double> elapsed = Clock::now() - start;
    if (result.exitCode != 0) return std::nullopt;
    return elapsed.count();
}

void ReportRuns(benchmark::State& state, const nxtest::WineDevice& device,
                const std::string& program, const std::vector<std::string>& args,
                double designWaitSeconds) {
    for (auto _ : state) {
        std::optional<double> seconds = TimeRun(device, program, args);
        if (!seconds) {
            state.SkipWithError("the run failed");
            break;
        }
        state.SetIterationTime(*seconds - designWaitSeconds);
    }
}

void BM_WineEmptyProgram(benchmark::State& state) {
    nxtest::WineDevice device("", /*withStandIn=*/false);
    ReportRuns(state, device, nxtest::WindowsProgram("nxwinempty.exe"), {}, 0);
}

// The stand-in runs already, so that every run finds it: the time beyond the pause is what
// the bridge adds (starting, the walks, the link, the hidden dialog, the file).
void BM_WineAnglesOnlyRun(benchmark::State& state) {
    nxtest::WineDevice device("[record]\nhz_angle = 451234\n");
    nxtest::Child standIn = device.Start("\\FLASHDISK\\NEDIX\\NX.EXE", {});
    nxtest::WaitUntil([] { return false; }, std::chrono::milliseconds(1000));
    ReportRuns(state, device, nxtest::WindowsProgram("nxbridge.exe"), {"-Gha0", "\\FlashDisk\\"},
               kPauseSeconds);
}

// The prefix is made once, before the first figure, and warmed by one start of each program.
void WarmUp() {
    nxtest::WinePrefix::Shared();
    nxtest::WineDevice device("");
    TimeRun(device, nxtest::WindowsProgram("nxwinempty.exe"), {});
    TimeRun(device, nxtest::WindowsProgram("nxbridge.exe"), {"-Gha0", "\\FlashDisk\\"});
}

}  // namespace

// One run per repetition, so that the reported median is the median run.
BENCHMARK(BM_WineEmptyProgram)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(21)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_WineAnglesOnlyRun)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(15)
    ->ReportAggregatesOnly(true);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    WarmUp();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    nxtest::WinePrefix::End();
    return 0;
}
