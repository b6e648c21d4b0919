#include "tools/nxsim/scenario.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <functional>
#include <limits>
#include <vector>

namespace nxsim {
namespace {

constexpr std::int32_t kMaxMs = 86'400'000;  // one day: longer is surely a typing error
constexpr std::int32_t kMaxWorkers = 64;

// The record keys as the file gives them; applied after the whole file has been read, because
// raw goes first wherever it stands.
struct RecordKeys {
    std::optional<MeasRecord> raw;
    std::optional<std::int8_t> angleUnit, distanceValid, edmState;
    std::optional<std::int32_t> hzAngle, vAngle;
    std::optional<double> slopeDistance;
};

struct Parsed {
    Scenario scenario;
    RecordKeys record;
};

// A value check: nothing when the value is good, else what is wrong with it.
using Setter = std::function<std::optional<std::string>(std::string_view value, Parsed& p)>;

struct KeyRule {
    const char* section;
    const char* key;
    Setter set;
};

std::string_view Trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// "'TEXT' WHAT", built by appending: GCC 12 warns falsely (-Wrestrict, at -O3) on a literal
// added to a std::string temporary.
std::string Quoted(std::string_view text, std::string_view what) {
    std::string quoted = "'";
    quoted.append(text).append("' ").append(what);
    return quoted;
}

std::optional<std::string> ParseWhole(std::string_view v, std::int64_t min, std::int64_t max,
                                      std::int64_t* out) {
    std::string_view digits = v;
    if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
    std::int64_t n = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
    if (v.empty() || ec == std::errc::invalid_argument || end != digits.data() + digits.size())
        return Quoted(v, "is not a whole number");
    if (ec == std::errc::result_out_of_range || n < min || n > max)
        return std::string(v) + " is out of range " + std::to_string(min) + " to " +
               std::to_string(max);
    *out = n;
    return std::nullopt;
}

template <typename T>
Setter Whole(std::int64_t min, std::int64_t max, std::function<T&(Parsed&)> field) {
    return [=](std::string_view v, Parsed& p) -> std::optional<std::string> {
        std::int64_t n = 0;
        if (auto error = ParseWhole(v, min, max, &n)) return error;
        field(p) = static_cast<T>(n);
        return std::nullopt;
    };
}

template <typename T>
Setter Int8Key(std::function<std::optional<T>&(Parsed&)> field) {
    return Whole<std::optional<T>>(-128, 127, field);
}

Setter Int32Key(std::function<std::int32_t&(Parsed&)> field) {
    return Whole<std::int32_t>(std::numeric_limits<std::int32_t>::min(),
                               std::numeric_limits<std::int32_t>::max(), field);
}

Setter MsKey(std::function<std::int32_t&(Parsed&)> field) {
    return Whole<std::int32_t>(0, kMaxMs, field);
}

Setter RealKey(std::function<void(Parsed&, double)> store) {
    return [=](std::string_view v, Parsed& p) -> std::optional<std::string> {
        double d = 0;
        auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), d);
        if (v.empty() || ec != std::errc() || end != v.data() + v.size() || !std::isfinite(d))
            return Quoted(v, "is not a finite number");
        store(p, d);
        return std::nullopt;
    };
}

std::optional<std::string> SetRaw(std::string_view v, Parsed& p) {
    if (v.size() != 2 * kMeasRecordSize)
        return std::to_string(v.size()) + " hex digits, expected " +
               std::to_string(2 * kMeasRecordSize);
    MeasRecord record;
    for (std::size_t i = 0; i < kMeasRecordSize; ++i) {
        unsigned byte = 0;
        auto [end, ec] = std::from_chars(v.data() + 2 * i, v.data() + 2 * i + 2, byte, 16);
        if (ec != std::errc() || end != v.data() + 2 * i + 2)
            return Quoted(v.substr(2 * i, 2),
                          "at digit " + std::to_string(2 * i + 1) + " is not a hex byte");
        record.bytes[i] = static_cast<std::uint8_t>(byte);
    }
    p.record.raw = record;
    return std::nullopt;
}

std::optional<std::string> SetIgnoreConf(std::string_view v, Parsed& p) {
    std::set<std::int32_t> numbers;
    while (!v.empty()) {
        std::size_t comma = v.find(',');
        std::string_view item = Trim(v.substr(0, comma));
        std::int64_t n = 0;
        if (auto error = ParseWhole(item, std::numeric_limits<std::int32_t>::min(),
                                    std::numeric_limits<std::int32_t>::max(), &n))
            return error;
        numbers.insert(static_cast<std::int32_t>(n));
        if (comma == std::string_view::npos) break;
        v.remove_prefix(comma + 1);
        if (Trim(v).empty()) return std::string("a comma with no number after it");
    }
    p.scenario.ignoreConf = std::move(numbers);
    return std::nullopt;
}

std::optional<std::string> SetLogFile(std::string_view v, Parsed& p) {
    p.scenario.logFile = std::string(v);
    return std::nullopt;
}

const std::vector<KeyRule>& Rules() {
    static const std::vector<KeyRule> rules = {
        {"record", "raw", SetRaw},
        {"record", "angle_unit",
         Int8Key<std::int8_t>([](Parsed & p) -> auto& { return p.record.angleUnit; })},
        {"record", "hz_angle",
         Whole<std::optional<std::int32_t>>(
             std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max(),
             [](Parsed & p) -> auto& { return p.record.hzAngle; })},
        {"record", "v_angle",
         Whole<std::optional<std::int32_t>>(
             std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max(),
             [](Parsed & p) -> auto& { return p.record.vAngle; })},
        {"record", "distance_valid",
         Int8Key<std::int8_t>([](Parsed & p) -> auto& { return p.record.distanceValid; })},
        {"record", "edm_state",
         Int8Key<std::int8_t>([](Parsed & p) -> auto& { return p.record.edmState; })},
        {"record", "slope_distance",
         RealKey([](Parsed& p, double d) { p.record.slopeDistance = d; })},
        {"edm", "measure_ms", MsKey([](Parsed & p) -> auto& { return p.scenario.measureMs; })},
        {"edm", "distance", RealKey([](Parsed& p, double d) { p.scenario.distance = d; })},
        {"params", "p11",
         Whole<std::optional<std::int32_t>>(
             std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max(),
             [](Parsed & p) -> auto& { return p.scenario.p11; })},
        {"params", "p59", Int32Key([](Parsed & p) -> auto& { return p.scenario.p59; })},
        {"params", "p58", Int32Key([](Parsed & p) -> auto& { return p.scenario.p58; })},
        {"params", "p57", Int32Key([](Parsed & p) -> auto& { return p.scenario.p57; })},
        {"params", "p56", Int32Key([](Parsed & p) -> auto& { return p.scenario.p56; })},
        {"notify", "period_ms", MsKey([](Parsed & p) -> auto& { return p.scenario.periodMs; })},
        {"notify", "tilt_over_ms",
         MsKey([](Parsed & p) -> auto& { return p.scenario.tiltOverMs; })},
        {"threads", "workers",
         Whole<std::int32_t>(
             0, kMaxWorkers, [](Parsed & p) -> auto& { return p.scenario.workers; })},
        {"faults", "ignore_conf", SetIgnoreConf},
        {"faults", "hold_mutex_ms",
         MsKey([](Parsed & p) -> auto& { return p.scenario.holdMutexMs; })},
        {"faults", "die_holding_mutex_ms",
         MsKey([](Parsed & p) -> auto& { return p.scenario.dieHoldingMutexMs; })},
        {"faults", "exit_after_ms",
         MsKey([](Parsed & p) -> auto& { return p.scenario.exitAfterMs; })},
        {"faults", "start_delay_ms",
         MsKey([](Parsed & p) -> auto& { return p.scenario.startDelayMs; })},
        {"log", "file", SetLogFile},
    };
    return rules;
}

bool IsSection(const std::string& name) {
    for (const KeyRule& rule : Rules())
        if (name == rule.section) return true;
    return false;
}

const KeyRule* FindRule(const std::string& section, const std::string& key) {
    for (const KeyRule& rule : Rules())
        if (section == rule.section && key == rule.key) return &rule;
    return nullptr;
}

// The record as the scenario starts it: raw (or zeros with the keys' defaults), then every
// record key the file gave.
MeasRecord BuildRecord(const RecordKeys& keys) {
    MeasRecord record = keys.raw.value_or(Scenario().record);
    if (keys.angleUnit) record.setAngleUnit(*keys.angleUnit);
    if (keys.hzAngle) record.setHzAngle(*keys.hzAngle);
    if (keys.vAngle) record.setVAngle(*keys.vAngle);
    if (keys.distanceValid) record.setDistanceValid(*keys.distanceValid);
    if (keys.edmState) record.setEdmState(*keys.edmState);
    if (keys.slopeDistance) record.setSlopeDistance(*keys.slopeDistance);
    return record;
}

}  // namespace

Scenario::Scenario() {
    record.setVAngle(324000);
}

std::string ScenarioError::Describe(std::string_view fileName) const {
    return std::string(fileName) + ":" + std::to_string(line) + ": " + subject + " '" + key +
           "': " + what;
}

std::optional<ScenarioError> ParseScenario(std::string_view text, Scenario* out) {
    Parsed parsed;
    std::string section;
    std::set<std::string> seen;
    int lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        std::size_t newline = text.find('\n');
        std::string_view line = text.substr(0, newline);
        text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
        // A comment runs from ';' (or a '#' that opens the line) to the end of the line.
        line = Trim(line.substr(0, line.find(';')));
        if (line.empty() || line.front() == '#') continue;

        if (line.front() == '[') {
            if (line.back() != ']')
                return ScenarioError{lineNumber, std::string(line), "line",
                                     "a section header must end with ']'"};
            section = Lower(Trim(line.substr(1, line.size() - 2)));
            if (!IsSection(section))
                return ScenarioError{lineNumber, section, "section", "unknown section"};
            continue;
        }
        std::size_t equals = line.find('=');
        if (equals == std::string_view::npos)
            return ScenarioError{lineNumber, std::string(line), "line",
                                 "expected '[section]' or 'key = value'"};
        std::string key = Lower(Trim(line.substr(0, equals)));
        std::string_view value = Trim(line.substr(equals + 1));
        if (section.empty())
            return ScenarioError{lineNumber, key, "key", "stands before any [section]"};
        const KeyRule* rule = FindRule(section, key);
        if (!rule) return ScenarioError{lineNumber, key, "key", "unknown key in [" + section + "]"};
        if (!seen.insert(section + "." + key).second)
            return ScenarioError{lineNumber, key, "key", "given twice in [" + section + "]"};
        if (auto what = rule->set(value, parsed))
            return ScenarioError{lineNumber, key, "key", *what};
    }
    parsed.scenario.record = BuildRecord(parsed.record);
    *out = std::move(parsed.scenario);
    return std::nullopt;
}

std::string SampleScenarioText() {
    return R"(; The measurement program's stand-in reads this file at start. Every key is optional;
; the values below are the defaults. A malformed line stops the stand-in with exit code 2.

[record]
; raw = <240 hex digits: the whole record, applied first; the keys below override it>
angle_unit = 0           ; int8 at offset 1: 0 degrees-minutes-seconds, 1 gon, 2 mil
hz_angle = 0             ; int32 at offset 5
v_angle = 324000         ; int32 at offset 9
distance_valid = 0       ; int8 at offset 41
edm_state = 0            ; int8 at offset 42
slope_distance = 0.0     ; float64 at offset 44

[edm]
measure_ms = 1000        ; from command 30 or 25 to the finished distance
distance = 25.431        ; the distance then reported

[params]
; p11 = 0                ; unset: the record's angle unit at the moment of the answer
p59 = 0
p58 = 0
p57 = 0
p56 = 0

[notify]
period_ms = 0            ; also post "NXDATACHANGE" this often (0: only after rewrites)
tilt_over_ms = 0         ; post "NXTILTOVER" once, this long after start (0: never)

[threads]
workers = 2              ; threads beside the main one: no queue, a look at the record under the
                         ; mutex every 20 ms (0 to 64)

[faults]
ignore_conf =            ; comma-separated parameter numbers left unanswered
hold_mutex_ms = 0        ; hold the mutex this long on every rewrite
die_holding_mutex_ms = 0 ; this long after start, take the mutex and die without releasing it
exit_after_ms = 0        ; end normally this long after start
start_delay_ms = 0       ; wait this long before the command queue exists

[log]
file =                   ; device path, e.g. \NXSIM.LOG: one line per command received
)";
}

}  // namespace nxsim
