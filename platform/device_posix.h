#pragma once
// Linux only (Windows keeps the kernel objects itself): the private runtime folder that holds a
// device's kernel objects.

#include <string>

namespace win {

// The device's runtime folder, named from the device root, in a folder of this user's:
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
