#pragma once
// The device: a folder on the host (DEVICE_ROOT, default "/") that stands for the device's
// root folder "\", and the private runtime folder that holds the device's kernel objects.

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

// Linux only, as the next one (Windows keeps the kernel objects itself): the device's private
// runtime folder, named from the device root, in a folder of this user's:
// "$XDG_RUNTIME_DIR/nxdevice" when that variable names a folder of this user's closed to others,
// else "/dev/shm/nxdevice-UID" (or "/tmp/nxdevice-UID"); never inside the device root (unless
// the root is the host's "/"). Each level is created on first use with mode 0700 and checked
// before use: a real folder, owned by this user, closed to everyone else. Two devices (or two
// users) never share one. Empty when a level fails the check or cannot be made: the refused
// folder and the reason are then written once to standard error, nothing in it is followed or
// used, and the services that need the folder fail.
const std::string& RuntimeDirectory();

// The runtime folder that a device with the given host root uses (or would use), without
// creating it: for tools and tests that clean up after a device.
std::string RuntimeDirectoryForRoot(const std::string& hostRoot);

}  // namespace win
