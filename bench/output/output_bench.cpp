// The cost of the formatting that runs on every data-change notification, and of one whole
// result-file write (open, 100 bytes, flush and rename over the old file) on a temporary device.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "app/run_mode.h"
#include "output/angle_format.h"
#include "output/result_file.h"
#include "tests/support/temp_device.h"

namespace {

std::vector<std::int32_t> AnglesWithinACircle() {
    std::mt19937 random(7);
    std::uniform_int_distribution<std::int32_t> angle(-1296000, 1296000);
    std::vector<std::int32_t> angles(1024);
    for (auto& a : angles) a = angle(random);
    return angles;
}

// Argument: the unit code (0 DMS, 1 gon, 2 mil).
void BM_FormatAngle(benchmark::State& state) {
    const int unit = static_cast<int>(state.range(0));
    g_firmwareYear = 2008;
    const std::vector<std::int32_t> angles = AnglesWithinACircle();
    CString text;
    std::size_t i = 0;
    for (auto _ : state) {
        FormatAngle(angles[i & 1023], text, unit, static_cast<int>(i & 1));
        ++i;
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(BM_FormatAngle)->ArgName("unit")->Arg(0)->Arg(1)->Arg(2);

void BM_FormatDistance(benchmark::State& state) {
    MeasRecord record;
    record.setDistanceValid(1);
    record.setSlopeDistance(1234.5678);
    CString text;
    for (auto _ : state) {
        FormatDistance(record, text);
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(BM_FormatDistance);

void BM_ComposeRecord(benchmark::State& state) {
    ResultRecord record;
    for (auto _ : state) {
        record.Compose({u" 123.4567", u" 99.5000", u"1234.568"});
        benchmark::DoNotOptimize(record.bytes().data());
    }
}
BENCHMARK(BM_ComposeRecord);

// One whole "\VLMIS.OUT" write, replacing the file of the previous iteration.
void BM_WriteResultFile(benchmark::State& state) {
    ResultRecord record;
    for (auto _ : state) {
        if (!WriteResultRecord(kResultFilePath, record, {u" 123.4567", u" 99.5000", u"1234.568"})) {
            state.SkipWithError("the result file could not be written");
            break;
        }
    }
}
BENCHMARK(BM_WriteResultFile)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    nxtest::TempDevice device;  // the file write goes to a device of its own
    nxtest::UseDevice(device);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
