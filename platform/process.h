#pragma once
// Processes of the device, and the timed pause.

#include "platform/wait.h"
#include "platform/win_types.h"

namespace win {

struct PROCESS_INFORMATION {
    HANDLE hProcess = nullptr;
    HANDLE hThread = nullptr;
    DWORD dwProcessId = 0;
    DWORD dwThreadId = 0;
};

// Starts the program at the device path imagePath. Never through a shell: the path and the
// command line are passed as they are (spaces and shell characters are just characters). On
// Linux the child gets argv[0] = the host path and, when commandLine is neither null nor empty,
// the command line as its one further argument, and it inherits the device (DEVICE_ROOT). On
// Windows its command line is the quoted full image path, then a blank and commandLine, and it
// inherits the current folder, so the same drive. The image path resolves as every device path
// does (ResolveDevicePath): from the root, with or without its leading backslash. The only
// options supported are the ones the device's programs use (all others null, flags 0).
// FALSE with GetLastError when the image does not exist or cannot be started; on TRUE, *info
// holds the new process's id and handles, which the caller closes (closing neither waits for
// nor ends the process), and a process walk made from now on lists the new process.
BOOL CreateProcessW(std::u16string_view imagePath, const char16_t* commandLine,
                    void* processAttributes, void* threadAttributes, BOOL inheritHandles,
                    DWORD creationFlags, void* environment, const char16_t* currentDirectory,
                    void* startupInfo, PROCESS_INFORMATION* info);

DWORD GetCurrentProcessId();
DWORD GetCurrentThreadId();

// Suspends the calling thread for the given time.
void Sleep(DWORD milliseconds);

}  // namespace win
