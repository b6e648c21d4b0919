#pragma once
// A check inside a fuzz target: when it does not hold, the input is reported as a crash, both
// under libFuzzer and when the regression tests replay the input.

#include <cstdio>
#include <cstdlib>
#include <string>

#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (false)

// The same for a check that says what is wrong: problem is "" when the property holds.
#define FUZZ_CHECK_HOLDS(problem)                                                                \
    do {                                                                                         \
        if (const std::string what = (problem); !what.empty()) {                                 \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, what.c_str()); \
            std::abort();                                                                        \
        }                                                                                        \
    } while (false)
