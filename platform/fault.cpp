// Fault injection: counted plans by name, armed in process or by NX_FAULTS.
#include "platform/fault.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>

namespace win::fault {
namespace {

#define NX_FAULT_NAME(name) #name,
constexpr std::array<std::string_view, kOpCount> kOpNames = {NX_FAULT_OPERATIONS(NX_FAULT_NAME)};
#undef NX_FAULT_NAME

// The plan of one operation or system call: the call that fails (-1 for every one), counted
// from when it was armed, and the errno a failing system call gives.
struct Plan {
    long calls = 0;
    long failAt = 0;
    int error = 0;
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

// NX_FAULTS = "Op:n,Op:n"; n may be "*" for every call. Malformed items are ignored, so a typo
// makes no fault rather than a different one.
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
            const std::string count(item.substr(colon + 1));
            const bool every = count == "*";
            char* end = nullptr;
            const long n = every ? -1 : std::strtol(count.c_str(), &end, 10);
            if (every || (!count.empty() && *end == '\0' && n > 0))
                f.plans[std::string(item.substr(0, colon))] = Plan{0, n, EIO};
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
    std::lock_guard guard(f.lock);
    auto it = f.plans.find(name);
    if (it == f.plans.end()) return false;
    Plan& p = it->second;
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
