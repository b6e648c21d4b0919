#pragma once
// Internal to the platform layer: timed waits measured against one absolute deadline on the
// monotonic clock, so that an interrupted or repeated wait never stretches the time asked for.

#include <time.h>

#include <climits>

#include "platform/win_types.h"

namespace win::detail {

// The CLOCK_MONOTONIC time the given number of milliseconds from now.
inline timespec MonotonicDeadline(DWORD milliseconds) {
    timespec deadline{};
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += static_cast<time_t>(milliseconds / 1000);
    deadline.tv_nsec += static_cast<long>(milliseconds % 1000) * 1'000'000;
    if (deadline.tv_nsec >= 1'000'000'000) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1'000'000'000;
    }
    return deadline;
}

// The whole milliseconds left until the deadline, rounded up and at most INT_MAX (a poll's
// limit); 0 once it has passed.
inline int MillisecondsUntil(const timespec& deadline) {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const long long left =
        (deadline.tv_sec - now.tv_sec) * 1'000'000'000LL + (deadline.tv_nsec - now.tv_nsec);
    if (left <= 0) return 0;
    const long long milliseconds = (left + 999'999) / 1'000'000;
    return milliseconds > INT_MAX ? INT_MAX : static_cast<int>(milliseconds);
}

}  // namespace win::detail
