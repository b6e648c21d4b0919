#pragma once
// Linux only: the processes of any device on this host, for the tools and tests that end them.

#include <string>
#include <vector>

#include "platform/win_types.h"

namespace win {

// The live processes of the device whose host root is hostRoot (any device, not only this
// process's), in ascending id; this process is listed only for its own device.
std::vector<DWORD> ListDeviceProcesses(const std::string& hostRoot);

}  // namespace win
