// Times whole unattended runs of the bridge against the stand-in and reports what the bridge
// adds beyond the waits it is built to make (the 1500 ms pause, the 100 ms polls), beside an
// empty process's start and exit measured in the same run. Also reports the peak memory (max
// RSS) of each kind of run.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/child.h"
#include "tests/support/temp_device.h"

namespace {

constexpr double kPauseSeconds = 1.5;
constexpr double kPollSeconds = 0.1;

struct RunFigures {
    double seconds = 0;
    long maxRssKiB = 0;
};

// Runs a program to its end on the device, through the measuring launcher, and returns its
// wall time and peak memory; nothing when the run failed.
std::optional<RunFigures> TimeProcess(std::vector<std::string> argv,
                                      const nxtest::TempDevice& device) {
    argv.insert(argv.begin(), MEASURE_RUN_PATH);
    nxtest::ProcessResult result = nxtest::RunProcess(argv, device, std::chrono::seconds(30));
    RunFigures figures;
    if (result.exitCode != 0 ||
        std::sscanf(result.out.c_str(), "%lf %ld", &figures.seconds, &figures.maxRssKiB) != 2)
        return std::nullopt;
    return figures;
}

// A device with the stand-in installed and already running, so that every run finds it.
class RunningDevice {
  public:
    explicit RunningDevice(const std::string& scenario) {
        std::string ini = device_.Path("scenario.ini");
        device_.WriteFile("scenario.ini", scenario);
        nxtest::RunProcess(
            {NXDEVICE_PATH, "init", device_.root(), "--prefix", "\\FlashDisk\\", "--ini", ini},
            device_);
        sim_.emplace(std::vector{device_.Path("FlashDisk/NEDIX/NX.EXE")}, device_);
        nxtest::WaitUntil([] { return false; }, std::chrono::milliseconds(300));
    }
    ~RunningDevice() {
        nxtest::RunProcess({NXDEVICE_PATH, "stop"}, device_);
        sim_->Wait(std::chrono::seconds(5));
    }
    const nxtest::TempDevice& device() const { return device_; }

  private:
    nxtest::TempDevice device_;
    std::optional<nxtest::Child> sim_;
};

void ReportRun(benchmark::State& state, const std::vector<std::string>& argv,
               const nxtest::TempDevice& device, double designWaitSeconds) {
    long maxRss = 0;
    for (auto _ : state) {
        std::optional<RunFigures> run = TimeProcess(argv, device);
        if (!run) {
            state.SkipWithError("the run failed");
            break;
        }
        state.SetIterationTime(run->seconds - designWaitSeconds);
        maxRss = std::max(maxRss, run->maxRssKiB);
    }
    state.counters["max_rss_KiB"] = static_cast<double>(maxRss);
}

void BM_EmptyProcess(benchmark::State& state) {
    nxtest::TempDevice device;
    ReportRun(state, {EMPTY_PROCESS_PATH}, device, 0);
}

// "-Gha": the pause, then one copy of the record; the time beyond the pause is overhead.
void BM_AnglesOnlyRun(benchmark::State& state) {
    RunningDevice device("[record]\nhz_angle = 451234\n");
    ReportRun(state, {NXBRIDGE_PATH, "-Gha0", "\\FlashDisk\\"}, device.device(), kPauseSeconds);
}

// "-Ghd" with a distance ready 250 ms after command 25: the third poll (at 300 ms) sees it, so
// the design's own waits are the pause and three polls.
void BM_DistanceRun(benchmark::State& state) {
    RunningDevice device("[edm]\nmeasure_ms = 250\ndistance = 12.5\n");
    ReportRun(state, {NXBRIDGE_PATH, "-Ghd0", "\\FlashDisk\\"}, device.device(),
              kPauseSeconds + 3 * kPollSeconds);
}

}  // namespace

// One run per repetition, so that the reported median is the median run.
BENCHMARK(BM_EmptyProcess)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(41)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_AnglesOnlyRun)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(15)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_DistanceRun)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(15)
    ->ReportAggregatesOnly(true);

BENCHMARK_MAIN();
