#pragma once
// Internal to the Windows implementation: what one service's file offers another.

#include "platform/win_types.h"

namespace win::detail {

// When handle is a device file that CreateFileW gave out: commits and closes it (as CommitFile)
// and returns true. False, doing nothing, for any other handle. (file_win.cpp)
bool CloseDeviceFile(HANDLE handle);

// Whether dialogs made from now on are shown as their template says (true, the default) or
// kept hidden, for runs that never show them. (dialog_win.cpp)
void SetDialogsShown(bool shown);

}  // namespace win::detail
