#pragma once
// Finding and reading the scenario file next to the stand-in's executable.

#include <optional>
#include <string>

#include "tools/nxsim/scenario.h"

namespace nxsim {

inline constexpr char kScenarioFileName[] = "NXSIM.INI";

// The host path of the file named NXSIM.INI (letter case aside) in the host folder, or nothing
// when the folder holds none. The first match in directory order wins.
std::optional<std::string> FindScenarioFile(const std::string& folder);

// Reads the scenario from the folder's NXSIM.INI into *out; no file leaves the defaults. On a
// file that cannot be read or parsed, *out is left untouched and the one-line message to show
// ("NXSIM.INI:LINE: key 'k': what is wrong") is returned.
std::optional<std::string> LoadScenario(const std::string& folder, Scenario* out);

}  // namespace nxsim
