// Fault injection: per-operation counters armed in process or by NX_FAULTS.
#include "platform/fault.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

namespace win::fault {
namespace {

#define NX_FAULT_NAME(name) #name,
constexpr std::array<std::string_view, kOpCount> kOpNames = {NX_FAULT_OPERATIONS(NX_FAULT_NAME)};
#undef NX_FAULT_NAME

struct Plan {
    long calls = 0;   // calls counted since the plan was armed
    long failAt = 0;  // the call that fails, 0 for none
    bool always = false;
    long delayMs = 0;  // how long each call waits before it goes on
};

struct Faults {
    std::mutex lock;
    std::array<Plan, kOpNames.size()> plans{};
    std::atomic<bool> armed{false};  // lets the common case skip the lock
};

Faults& State() {
    static Faults* faults = new Faults;  // never destroyed: used until the process ends
    return *faults;
}

void RecomputeArmed(Faults& f) {
    bool any = false;
    for (const Plan& p : f.plans) any = any || p.always || p.failAt > 0 || p.delayMs > 0;
    f.armed.store(any, std::memory_order_release);
}

// A positive whole number, or nothing.
std::optional<long> Positive(std::string_view text) {
    std::string digits(text);
    char* end = nullptr;
    long n = std::strtol(digits.c_str(), &end, 10);
    if (digits.empty() || *end != '\0' || n <= 0) return std::nullopt;
    return n;
}

// The plan of one item's count: "n", "*" or "nms".
std::optional<Plan> PlanFor(std::string_view count) {
    if (count == "*") return Plan{0, 0, true};
    if (count.size() > 2 && count.substr(count.size() - 2) == "ms") {
        std::optional<long> delay = Positive(count.substr(0, count.size() - 2));
        if (!delay) return std::nullopt;
        Plan slow;
        slow.delayMs = *delay;
        return slow;
    }
    std::optional<long> n = Positive(count);
    if (!n) return std::nullopt;
    return Plan{0, *n, false};
}

// NX_FAULTS = "Op:n,Op:n"; n may be "*" for every call, or "500ms" for a wait before each.
// Unknown names and malformed items are ignored, so a typo makes no fault rather than a
// different one.
void ParseEnvironmentOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        const char* text = std::getenv("NX_FAULTS");
        if (!text) return;
        Faults& f = State();
        std::lock_guard guard(f.lock);
        std::string_view rest(text);
        while (!rest.empty()) {
            std::size_t comma = rest.find(',');
            std::string_view item = rest.substr(0, comma);
            rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
            std::size_t colon = item.find(':');
            if (colon == std::string_view::npos) continue;
            std::string_view name = item.substr(0, colon), count = item.substr(colon + 1);
            for (std::size_t i = 0; i < kOpNames.size(); ++i) {
                if (kOpNames[i] != name) continue;
                if (std::optional<Plan> plan = PlanFor(count)) f.plans[i] = *plan;
            }
        }
        RecomputeArmed(f);
    });
}

}  // namespace

void FailNth(Op op, int n) {
    ParseEnvironmentOnce();
    Faults& f = State();
    std::lock_guard guard(f.lock);
    f.plans[static_cast<std::size_t>(op)] = Plan{0, n > 0 ? n : 0, false};
    RecomputeArmed(f);
}

void FailAlways(Op op) {
    ParseEnvironmentOnce();
    Faults& f = State();
    std::lock_guard guard(f.lock);
    f.plans[static_cast<std::size_t>(op)] = Plan{0, 0, true};
    RecomputeArmed(f);
}

void Reset() {
    ParseEnvironmentOnce();
    Faults& f = State();
    std::lock_guard guard(f.lock);
    f.plans = {};
    RecomputeArmed(f);
}

bool ShouldFail(Op op) {
    ParseEnvironmentOnce();
    Faults& f = State();
    if (!f.armed.load(std::memory_order_acquire)) return false;
    std::unique_lock guard(f.lock);
    Plan& p = f.plans[static_cast<std::size_t>(op)];
    if (p.delayMs > 0) {
        const std::chrono::milliseconds delay(p.delayMs);
        guard.unlock();  // other operations go on meanwhile
        std::this_thread::sleep_for(delay);
        return false;
    }
    if (p.always) return true;
    if (p.failAt == 0) return false;
    if (++p.calls != p.failAt) return false;
    p.failAt = 0;
    RecomputeArmed(f);
    return true;
}

bool ShouldFail(Op op, DWORD error) {
    if (!ShouldFail(op)) return false;
    SetLastError(error);
    return true;
}

}  // namespace win::fault
