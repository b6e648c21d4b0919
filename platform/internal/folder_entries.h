#pragma once
// Internal to the platform layer: reading a folder's names, for the sweeps of what dead programs
// leave behind and for matching names without regard to letter case.

#include <string>
#include <vector>

namespace win::detail {

// The names in the folder, without "." and "..", in directory order; empty when the folder
// cannot be read.
std::vector<std::string> FolderEntries(const std::string& folder);

}  // namespace win::detail
