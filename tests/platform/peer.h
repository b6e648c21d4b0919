#pragma once
// Helpers for the platform tests: the test program's device and the peer program, which is
// started on it with Child or RunProcess.

#include <string>
#include <vector>

#include "tests/support/child.h"
#include "tests/support/temp_device.h"

namespace nxtest {

// The device this test program runs on.
inline const TempDevice& Device() {
    return *CurrentDevice();
}

// The command line that runs the peer with the arguments.
inline std::vector<std::string> PeerCommand(std::vector<std::string> args) {
    args.insert(args.begin(), NX_PLATFORM_PEER);
    return args;
}

}  // namespace nxtest
