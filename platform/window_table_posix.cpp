// The device-wide table of top-level windows: one small file per window in the runtime
// folder, and window messages posted to the owner thread's queue.
#include "platform/window_table_posix.h"

#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "platform/fault.h"
#include "platform/internal/proc_info.h"
#include "platform/internal/runtime_folder.h"
#include "platform/internal/system_posix.h"
#include "platform/internal/thread_queue.h"
#include "platform/message.h"
#include "platform/unicode.h"

namespace win {
namespace {

using sys::Fail;

// A window's file: "<pid> <start time> <tid>\n<UTF-8 title>". The start time tells the owner
// from a later process that got the same pid.
struct WindowRecord {
    TopLevelWindow window;
    std::uint64_t ownerStart = 0;
};

sys::Result<std::string> Folder() {
    return detail::RuntimeSubdirectory("windows");
}

std::string WindowName(HWND hwnd) {
    char name[16];
    std::snprintf(name, sizeof name, "%08X", hwnd);
    return name;
}

// Written whole, so a reader never sees half a record.
sys::Status WriteRecord(const std::string& folder, const WindowRecord& record) {
    const std::string text =
        std::to_string(record.window.processId) + " " + std::to_string(record.ownerStart) + " " +
        std::to_string(record.window.threadId) + "\n" + Utf16ToUtf8(record.window.title);
    auto file = sys::NewFile::Make(folder, WindowName(record.window.hwnd), 0600);
    sys::Status written = file ? sys::WriteAll(file->fd(), text) : file.failure();
    return written ? file->Replace() : written;
}

std::optional<WindowRecord> ReadRecord(const std::string& folder, HWND hwnd) {
    auto text = sys::ReadFile(folder + "/" + WindowName(hwnd));
    if (!text) return std::nullopt;
    std::size_t newline = text->find('\n');
    if (newline == std::string::npos) return std::nullopt;
    unsigned long pid = 0, tid = 0;
    unsigned long long start = 0;
    if (std::sscanf(text->substr(0, newline).c_str(), "%lu %llu %lu", &pid, &start, &tid) != 3)
        return std::nullopt;
    WindowRecord record;
    record.window = {hwnd, static_cast<DWORD>(pid), static_cast<DWORD>(tid),
                     Utf8ToUtf16(text->substr(newline + 1))};
    record.ownerStart = start;
    return record;
}

// The handle a window's file is named by; 0 for the other files of the folder.
HWND HandleOf(const std::string& name) {
    char* end = nullptr;
    const unsigned long value = std::strtoul(name.c_str(), &end, 16);
    return name.size() == 8 && *end == '\0' ? static_cast<HWND>(value) : 0;
}

// Removes the windows of programs that have died.
void SweepDeadWindows(const std::string& folder) {
    sys::SweepDeadOwners(folder, [&](const std::string& name) -> std::optional<sys::Owner> {
        auto record = HandleOf(name) ? ReadRecord(folder, HandleOf(name)) : std::nullopt;
        if (!record) return std::nullopt;
        return sys::Owner{static_cast<pid_t>(record->window.processId), record->ownerStart};
    });
}

// The next handle from the device's counter: never 0, never HWND_BROADCAST, never reused.
sys::Result<HWND> NextHandle(const std::string& folder) {
    auto counter = sys::OpenLocked(folder + "/counter", LOCK_EX);
    auto text = counter ? sys::ReadAll(counter->get()) : counter.failure();
    if (!text) return text.failure();
    unsigned long long next = std::strtoull(text->c_str(), nullptr, 10) + 1;
    if (next == HWND_BROADCAST) ++next;
    if (next > 0xFFFFFFFFULL) return sys::Errno{ENOMEM};  // every handle has been given out
    sys::Status written = sys::WriteAll(counter->get(), std::to_string(next) + "\n", 0);
    if (!written) return written.failure();
    return static_cast<HWND>(next);
}

std::optional<WindowRecord> OwnRecord(HWND window) {
    auto folder = Folder();
    if (!folder || window == 0 || window == HWND_BROADCAST) return std::nullopt;
    auto record = ReadRecord(*folder, window);
    if (!record || record->window.processId != static_cast<DWORD>(getpid())) return std::nullopt;
    return record;
}

}  // namespace

HWND AddTopLevelWindow(std::u16string_view title) {
    auto folder = Folder();
    sys::Status queue = folder ? detail::EnsureOwnQueue() : folder.failure();
    auto hwnd = queue ? NextHandle(*folder) : queue.failure();
    if (!hwnd) return Fail(hwnd, 0u);
    auto self = detail::ReadProcStat(getpid());
    if (!self) return Fail(ERROR_GEN_FAILURE, 0u);
    WindowRecord record{
        {*hwnd, static_cast<DWORD>(getpid()), static_cast<DWORD>(gettid()), std::u16string(title)},
        self->startTime};
    if (sys::Status written = WriteRecord(*folder, record); !written) return Fail(written, 0u);
    return record.window.hwnd;
}

BOOL SetTopLevelWindowTitle(HWND window, std::u16string_view title) {
    auto record = OwnRecord(window);
    if (!record) return Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    record->window.title = title;
    sys::Status written = WriteRecord(*Folder(), *record);
    return written ? TRUE : Fail(written, FALSE);
}

void RemoveTopLevelWindow(HWND window) {
    if (OwnRecord(window)) sys::Unlink(*Folder() + "/" + WindowName(window));
}

std::vector<TopLevelWindow> ListTopLevelWindows() {
    std::vector<TopLevelWindow> windows;
    auto folder = Folder();
    if (!folder) return windows;
    SweepDeadWindows(*folder);
    std::vector<HWND> handles;
    for (const std::string& name : sys::FolderEntries(*folder))
        if (HWND hwnd = HandleOf(name)) handles.push_back(hwnd);
    std::sort(handles.begin(), handles.end());
    for (HWND hwnd : handles)
        if (auto record = ReadRecord(*folder, hwnd)) windows.push_back(record->window);
    return windows;
}

BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (fault::ShouldFail(fault::Op::PostMessage, ERROR_GEN_FAILURE)) return FALSE;
    if (window == HWND_BROADCAST) {
        BOOL any = FALSE;
        for (const TopLevelWindow& w : ListTopLevelWindows())
            if (detail::PostToThread(w.threadId, MSG{w.hwnd, message, wParam, lParam})) any = TRUE;
        return any ? TRUE : Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    }
    auto folder = Folder();
    auto record = folder && window != 0 ? ReadRecord(*folder, window) : std::nullopt;
    // A window of a program that has died is gone, and swept by the next walk of the table.
    if (!record ||
        !detail::IsRunning(static_cast<pid_t>(record->window.processId), record->ownerStart))
        return Fail(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    return detail::PostToThread(record->window.threadId, MSG{window, message, wParam, lParam});
}

}  // namespace win
