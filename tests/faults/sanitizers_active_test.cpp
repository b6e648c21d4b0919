// The sanitizer build checks itself: each sanitizer the suite relies on reports what it must,
// with the options the suite runs under. A leak that LeakSanitizer no longer sees would let
// every leak in the suite pass unnoticed.
#include <gtest/gtest.h>

#include "tests/support/child.h"
#include "tests/support/temp_device.h"

namespace {

struct Probe {
    const char* what;
    const char* report;
};

class SanitizerIsActive : public testing::TestWithParam<Probe> {};

TEST_P(SanitizerIsActive, ReportsItsFault) {
    nxtest::TempDevice device;
    nxtest::ProcessResult r = nxtest::RunProcess({SANITIZER_PROBE_PATH, GetParam().what}, device);
    EXPECT_NE(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find(GetParam().report), std::string::npos) << r.err;
}

INSTANTIATE_TEST_SUITE_P(
    Faults, SanitizerIsActive,
    testing::Values(Probe{"leak", "LeakSanitizer: detected memory leaks"},
                    Probe{"overflow", "runtime error: signed integer overflow"},
                    Probe{"overread", "AddressSanitizer: heap-buffer-overflow"}),
    [](const testing::TestParamInfo<Probe>& info) { return std::string(info.param.what); });

}  // namespace
