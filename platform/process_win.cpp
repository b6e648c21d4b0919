// Processes and the timed pause: the real kernel's.
#include "platform/device.h"
#include "platform/fault.h"
#include "platform/internal/platform_internal.h"
#include "platform/internal/win_internal.h"
#include "platform/process.h"
#include "platform/unicode.h"

namespace win {

BOOL CreateProcessW(std::u16string_view imagePath, const char16_t* commandLine,
                    void* processAttributes, void* threadAttributes, BOOL inheritHandles,
                    DWORD creationFlags, void* environment, const char16_t* currentDirectory,
                    void* startupInfo, PROCESS_INFORMATION* info) {
    if (processAttributes || threadAttributes || inheritHandles || creationFlags || environment ||
        currentDirectory || startupInfo || !info || imagePath.empty())
        return detail::Fail(ERROR_INVALID_PARAMETER, FALSE);
    if (fault::ShouldFail(fault::Op::CreateProcess, ERROR_GEN_FAILURE)) return FALSE;
    // The image path is a device path (from the root of the current drive, with or without its
    // leading backslash). The child's command line starts with its own quoted name, as on
    // Windows every program's does, so that the child's C runtime finds the given command line
    // after it.
    const std::u16string image = Utf8ToUtf16(ResolveDevicePath(imagePath));
    std::u16string line = u"\"" + image + u"\"";
    if (commandLine && *commandLine) line += u" " + std::u16string(commandLine);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    ::PROCESS_INFORMATION started{};
    if (!::CreateProcessW(detail::Wide(image), reinterpret_cast<wchar_t*>(line.data()), nullptr,
                          nullptr, FALSE, 0, nullptr, nullptr, &startup, &started))
        return FALSE;
    info->hProcess = detail::FromNativeHandle(started.hProcess);
    info->hThread = detail::FromNativeHandle(started.hThread);
    info->dwProcessId = started.dwProcessId;
    info->dwThreadId = started.dwThreadId;
    return TRUE;
}

DWORD GetCurrentProcessId() {
    return ::GetCurrentProcessId();
}

DWORD GetCurrentThreadId() {
    return ::GetCurrentThreadId();
}

void Sleep(DWORD milliseconds) {
    ::Sleep(milliseconds);
}

}  // namespace win
