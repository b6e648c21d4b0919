#pragma once
// The measurement program's answers for its parameters 59 to 56: 0 at program start, each
// keeping the last value received. The dialog stores them; the version file carries them.

#include <cstdint>

extern std::int32_t g_confParam59;
extern std::int32_t g_confParam58;
extern std::int32_t g_confParam57;
extern std::int32_t g_confParam56;
