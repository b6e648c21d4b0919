#pragma once
// Reading the run's settings from the one command-line text, by position. Positions count
// UTF-16 code units from 1; characters beyond the end of the text are never read.

#include <cstdint>
#include <string_view>

#include "app/run_mode.h"
#include "framework/cstring.h"

// Positions 1-4: "-Nor", "-Ghd", "-Gha" or "-Ver", exactly (case matters); NoMode otherwise,
// also for a text shorter than four characters.
RunMode ReadRunMode(std::u16string_view commandLine);

// Position 5: "0" gives 2008; any other character, or none, gives 2009.
std::int32_t ReadFirmwareYear(std::u16string_view commandLine);

// Positions 7-20: the characters up to and including the first backslash at position 8 or
// later; without one, the characters taken (at most 14) and an appended backslash. Upper case.
CString ReadInstallPath(std::u16string_view commandLine);
