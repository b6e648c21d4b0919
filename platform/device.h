#pragma once
// The device: a folder on the host (DEVICE_ROOT, default "/") that stands for the device's
// root folder "\". (On Linux its kernel objects live in a runtime folder: device_posix.h.)

#include <string>
#include <string_view>

namespace win {

// The host folder of the device root: DEVICE_ROOT made absolute and canonical, read once. On
// Windows the device is the drive of the current folder, and this is that drive's root.
const std::string& DeviceRootHostPath();

// Resolves a device path ("\FLASHDISK\NEDIX\NX.EXE"; "/" is taken as "\" too) to a host path
// inside the device root. Each existing component is matched without regard to letter case
// (an exact match first, else the first match in directory order); components that do not
// exist are kept as written. The path ends at its first NUL character.
// "." is skipped and ".." climbs one level but never above the root. A relative path is taken
// from the root, on both platforms. On Windows: the full path on the current drive, which
// matches names without regard to letter case itself.
std::string ResolveDevicePath(std::u16string_view devicePath);

}  // namespace win
