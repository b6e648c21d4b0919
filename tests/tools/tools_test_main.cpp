// The tools' tests run on a temporary device of their own: the test process is the stand-in's
// client on it, and the tools under test are started on it.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/device.h"
#include "platform/device_posix.h"
#include "tests/support/temp_device.h"
#include "tests/tools/sim_session.h"

namespace nxtest {
namespace {
const TempDevice* g_device = nullptr;
}

const TempDevice& ToolsDevice() {
    return *g_device;
}

}  // namespace nxtest

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    nxtest::TempDevice device;
    nxtest::g_device = &device;
    nxtest::UseDevice(device);
    int result = RUN_ALL_TESTS();
    // Every process of the device has been stopped by its test; its kernel objects go too.
    std::error_code ec;
    std::filesystem::remove_all(win::RuntimeDirectory(), ec);
    return result;
}
