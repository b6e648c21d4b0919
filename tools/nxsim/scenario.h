#pragma once
// The scenario that scripts the measurement program's stand-in: the record it starts with, how
// its distance meter behaves, the parameter values it answers, its notifications and the faults
// it injects. Read from the file NXSIM.INI next to the stand-in's executable.

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "link/protocol/meas_record.h"

namespace nxsim {

struct Scenario {
    // [record]: raw first, then every record key that the file gives; without raw the keys'
    // defaults fill a zeroed record.
    MeasRecord record;

    // [edm]
    std::int32_t measureMs = 1000;
    double distance = 25.431;

    // [params]: p11 unset means the record's angle unit at the moment of the answer.
    std::optional<std::int32_t> p11;
    std::int32_t p59 = 0, p58 = 0, p57 = 0, p56 = 0;

    // [notify]
    std::int32_t periodMs = 0;
    std::int32_t tiltOverMs = 0;

    // [threads]: worker threads beside the main thread, which alone takes commands.
    std::int32_t workers = 2;

    // [faults]
    std::set<std::int32_t> ignoreConf;
    std::int32_t holdMutexMs = 0;
    std::int32_t dieHoldingMutexMs = 0;
    std::int32_t exitAfterMs = 0;
    std::int32_t startDelayMs = 0;

    // [log]: a device path, or empty for no log.
    std::string logFile;

    Scenario();
};

// What is wrong with a scenario file, and where.
struct ScenarioError {
    int line = 0;
    std::string key;      // the key (or, for a bad section or line, that text)
    std::string subject;  // "key", "section" or "line"
    std::string what;

    // "NXSIM.INI:LINE: key 'k': what is wrong"
    std::string Describe(std::string_view fileName) const;
};

// Parses the whole text. Either every value is valid and *out holds the scenario, or *out is
// left untouched and the first error is returned.
std::optional<ScenarioError> ParseScenario(std::string_view text, Scenario* out);

// A commented sample file that states every key with its default.
std::string SampleScenarioText();

}  // namespace nxsim
