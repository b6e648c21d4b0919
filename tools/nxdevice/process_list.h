#pragma once
// The device's processes as the tool-help walks show them.

#include <optional>
#include <string>
#include <vector>

#include "platform/win_types.h"

namespace nxdevice {

struct DeviceProcess {
    win::DWORD processId = 0;
    win::DWORD firstThreadId = 0;  // 0 when the thread walk showed none
    std::string name;              // the file name it was started as, UTF-8
};

// The device's processes in ascending id, without the calling process. Nothing when a
// snapshot cannot be taken.
std::optional<std::vector<DeviceProcess>> ListDeviceProcesses();

}  // namespace nxdevice
