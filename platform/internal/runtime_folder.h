#pragma once
// Internal to the platform layer: the device's runtime folder and how kernel-object names
// become file names inside it.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/internal/system_posix.h"

namespace win::detail {

// The canonical host path of a device root given as DEVICE_ROOT's value (empty means "/"). A
// relative value is taken from baseDirectory (the current folder when empty). Symbolic links
// are resolved when the folder exists; otherwise the path is only normalised.
std::string CanonicalDeviceRoot(std::string_view value, std::string_view baseDirectory = {});

// A folder of the runtime folder ("sections", "mutexes", ...), created 0700 on first use and
// checked like the runtime folder on every use.
sys::Result<std::string> RuntimeSubdirectory(std::string_view name);

// A kernel-object name as one file name: letters, digits, '-' and '_' stay, every other byte
// of its UTF-8 becomes "%XX"; over-long names are cut and completed with a hash of the whole
// name, so distinct names stay distinct in practice and the result fits a file name.
std::string ObjectFileName(std::u16string_view name);

// 64-bit FNV-1a: stable across processes and builds.
std::uint64_t StableHash(std::string_view bytes);

// 16 lower-case hex digits.
std::string Hex64(std::uint64_t value);

}  // namespace win::detail
