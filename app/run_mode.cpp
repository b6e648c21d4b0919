#include "app/run_mode.h"

RunMode g_runMode = NoMode;
std::int32_t g_firmwareYear = 2009;
CString g_installPath;
