// The screen tests' main: every test program runs on a temporary device of its own; its X
// server is started by the first test that needs one (listing the tests starts none).
#include <gtest/gtest.h>

#include "tests/screen/screen_fixture.h"

namespace nxtest {
namespace {
const TempDevice* g_device = nullptr;
}  // namespace

const TempDevice& ScreenDevice() {
    return *g_device;
}

}  // namespace nxtest

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    nxtest::TempDevice device;
    nxtest::UseDevice(device);
    nxtest::g_device = &device;
    return RUN_ALL_TESTS();
}
