#pragma once
// Linux only (Windows has its own): the device-wide table of top-level windows, which thread
// owns each handle, and its title.

#include <vector>

#include "platform/win_types.h"

namespace win {

struct TopLevelWindow {
    HWND hwnd = 0;
    DWORD processId = 0;
    DWORD threadId = 0;
    std::u16string title;
};

// Adds a top-level window owned by the calling thread and returns its device-wide handle
// (never 0 nor HWND_BROADCAST). 0 on failure.
HWND AddTopLevelWindow(std::u16string_view title);

// Changes the title of an own window; FALSE for an unknown handle.
BOOL SetTopLevelWindowTitle(HWND window, std::u16string_view title);

// Removes a window that this process added. Its handle is never reused for the device's life.
void RemoveTopLevelWindow(HWND window);

// The live top-level windows, in handle order. Entries whose owner process has died are swept.
std::vector<TopLevelWindow> ListTopLevelWindows();

}  // namespace win
