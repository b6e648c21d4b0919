#pragma once
// Internal to the platform layer: the argument and environment arrays that exec and
// posix_spawn take.

#include <string>
#include <vector>

namespace win::detail {

// Pointers to the strings' characters, ended by a null pointer. They hold as long as the
// strings are neither changed nor moved.
inline std::vector<char*> ExecPointers(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    pointers.reserve(strings.size() + 1);
    for (std::string& s : strings) pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace win::detail
