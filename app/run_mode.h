#pragma once
// What the command line says about this run. Written once by the start-up hook before the
// link is set up, read-only afterwards.

#include <cstdint>

#include "framework/cstring.h"

enum RunMode : std::int32_t {
    NoMode = -1,
    Interactive = 0,        // "-Nor"
    AnglesAndDistance = 2,  // "-Ghd"
    AnglesOnly = 3,         // "-Gha"
    VersionQuery = 5,       // "-Ver"
};

extern RunMode g_runMode;            // NoMode until the command line is read
extern std::int32_t g_firmwareYear;  // 2008 or 2009
extern CString g_installPath;        // upper case, ends in a backslash, 1 to 15 characters
