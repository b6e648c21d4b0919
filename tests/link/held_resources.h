#pragma once
// What this process holds of the device's runtime folder: open descriptors and mapped ranges
// that refer to it. A set-up that fails must leave both as they were.

#include <string>

namespace nxtest {

struct HeldResources {
    int descriptors = 0;
    int mappings = 0;
    friend bool operator==(const HeldResources&, const HeldResources&) = default;
};

HeldResources CountHeldResources();

std::string Describe(const HeldResources& held);

// Uses each service the link uses once (under names of its own), so that whatever the platform
// opens once per process is open before a count is taken.
void WarmUpLinkServices();

}  // namespace nxtest
