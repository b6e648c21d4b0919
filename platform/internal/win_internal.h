#pragma once
// Internal to the Windows implementation: what one service's file offers another.

#include "platform/win_types.h"

namespace win::detail {

// When handle is a device file that CreateFileW gave out: commits and closes it (as CommitFile)
// and returns true. False, doing nothing, for any other handle. (file_win.cpp)
bool CloseDeviceFile(HANDLE handle);

// Whether this process's windows go on the screen (screen.h): dialogs made while they do not
// are kept hidden, whatever their template says. (screen_win.cpp)
bool WindowsOnScreen();

}  // namespace win::detail
