// A test main for in-process tests of the device: every test program runs on a fresh
// temporary device of its own, so test programs can run in parallel.
#include <gtest/gtest.h>

#include "tests/support/temp_device.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    nxtest::TempDevice device;
    nxtest::UseDevice(device);
    return RUN_ALL_TESTS();
}
