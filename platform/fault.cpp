// Fault injection: counted plans by name, armed in process or by NX_FAULTS.
#include "platform/fault.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <map>
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

// The plan of one operation or system call: the call that fails (-1 for every one), counted
// from when it was armed, and the errno a failing system call gives; or a wait before each call.
struct Plan {
    long calls = 0;
    long failAt = 0;
    int error = 0;
    long delayMs = 0;  // instead of failing, each call waits this long and goes on
};

struct Faults {
    std::mutex lock;
    std::map<std::string, Plan, std::less<>> plans;
    std::atomic<bool> armed{false};  // lets the common case skip the lock
};

Faults& State() {
    static Faults* faults = new Faults;  // never destroyed: used until the process ends
    return *faults;
}

// The plan of one item's count: "n" (the n-th call fails), "*" (every call fails) or "nms"
// (every call waits n milliseconds first); nothing for a malformed count.
std::optional<Plan> PlanFor(const std::string& count) {
    if (count == "*") return Plan{0, -1, EIO};
    const bool slow = count.size() > 2 && count.ends_with("ms");
    char* end = nullptr;
    const long n = std::strtol(count.c_str(), &end, 10);
    if (count.empty() || n <= 0 || end != count.c_str() + count.size() - (slow ? 2 : 0))
        return std::nullopt;
    return slow ? Plan{0, 0, 0, n} : Plan{0, n, EIO};
}

// NX_FAULTS = "Op:n,Op:n"; n may be "*" for every call, or "500ms" for a wait before each.
// Malformed items are ignored, so a typo makes no fault rather than a different one.
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
            if (std::optional<Plan> plan = PlanFor(std::string(item.substr(colon + 1))))
                f.plans[std::string(item.substr(0, colon))] = *plan;
        }
        f.armed = !f.plans.empty();
    });
}

void Arm(std::string_view name, long failAt, int error) {
    ParseEnvironmentOnce();
    Faults& f = State();
    std::lock_guard guard(f.lock);
    f.plans[std::string(name)] = Plan{0, failAt, error};
    f.armed = true;
}

// Counts a call of the named operation: true when it is the one to fail, with its errno.
bool Triggered(std::string_view name, int* error = nullptr) {
    ParseEnvironmentOnce();
    Faults& f = State();
    if (!f.armed.load(std::memory_order_acquire)) return false;
    std::unique_lock guard(f.lock);
    auto it = f.plans.find(name);
    if (it == f.plans.end()) return false;
    Plan& p = it->second;
    if (p.delayMs > 0) {
        const std::chrono::milliseconds delay(p.delayMs);
        guard.unlock();  // other operations go on meanwhile
        std::this_thread::sleep_for(delay);
        return false;
    }
    if (p.failAt == 0 || (p.failAt > 0 && ++p.calls != p.failAt)) return false;
    if (p.failAt > 0) p.failAt = 0;
    if (error) *error = p.error;
    return true;
}

}  // namespace

void FailNth(Op op, int n) {
    Arm(kOpNames[static_cast<std::size_t>(op)], n > 0 ? n : 0, 0);
}

void FailAlways(Op op) {
    Arm(kOpNames[static_cast<std::size_t>(op)], -1, 0);
}

void FailCall(std::string_view call, int n, int error) {
    Arm(call, n > 0 ? n : -1, error);
}

void Reset() {
    ParseEnvironmentOnce();
    Faults& f = State();
    std::lock_guard guard(f.lock);
    f.plans.clear();
    f.armed = false;
}

bool ShouldFail(Op op) {
    return Triggered(kOpNames[static_cast<std::size_t>(op)]);
}

bool ShouldFail(Op op, DWORD error) {
    if (!ShouldFail(op)) return false;
    SetLastError(error);
    return true;
}

int CallError(std::string_view call) {
    int error = 0;
    return Triggered(call, &error) ? error : 0;
}

}  // namespace win::fault
