#include "dialog/version_params.h"

std::int32_t g_confParam59 = 0;
std::int32_t g_confParam58 = 0;
std::int32_t g_confParam57 = 0;
std::int32_t g_confParam56 = 0;
