// The device-wide table of top-level windows: one small file per window in the runtime
// folder, and window messages posted to the owner thread's queue.
#include "platform/window_table_posix.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "platform/fault.h"
#include "platform/internal/error_code.h"
#include "platform/internal/folder_entries.h"
#include "platform/internal/proc_info.h"
#include "platform/internal/runtime_folder.h"
#include "platform/internal/thread_queue.h"
#include "platform/internal/unique_fd.h"
#include "platform/message.h"
#include "platform/unicode.h"

namespace win {
namespace {

using detail::UniqueFd;

// A window's file: "<pid> <start time> <tid>\n<UTF-8 title>". The start time tells the owner
// from a later process that got the same pid.
struct WindowRecord {
    TopLevelWindow window;
    std::uint64_t ownerStart = 0;
};

std::string Folder() {
    return detail::RuntimeSubdirectory("windows");
}

std::string WindowPath(const std::string& folder, HWND hwnd) {
    char name[16];
    std::snprintf(name, sizeof name, "%08X", hwnd);
    return folder + "/" + name;
}

std::optional<std::string> ReadSmallFile(const std::string& path) {
    UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (!fd.valid()) return std::nullopt;
    std::string text;
    char buffer[1024];
    ssize_t n;
    while ((n = read(fd.get(), buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<std::size_t>(n));
    if (n < 0) return std::nullopt;
    return text;
}

// Writes the whole file under a temporary name and renames it into place, so a reader never
// sees half a record.
bool WriteRecord(const std::string& folder, const WindowRecord& record) {
    const std::string path = WindowPath(folder, record.window.hwnd);
    const std::string temp = path + ".tmp." + std::to_string(gettid());
    const std::string text =
        std::to_string(record.window.processId) + " " + std::to_string(record.ownerStart) + " " +
        std::to_string(record.window.threadId) + "\n" + Utf16ToUtf8(record.window.title);
    UniqueFd fd(open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    bool ok = fd.valid() &&
              write(fd.get(), text.data(), text.size()) == static_cast<ssize_t>(text.size());
    fd.Reset();
    ok = ok && rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        const int error = errno;
        unlink(temp.c_str());
        errno = error;
    }
    return ok;
}

std::optional<WindowRecord> ReadRecord(const std::string& folder, HWND hwnd) {
    auto text = ReadSmallFile(WindowPath(folder, hwnd));
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

bool OwnerAlive(const WindowRecord& record) {
    return detail::IsRunning(static_cast<pid_t>(record.window.processId), record.ownerStart);
}

// The next handle from the device's counter: never 0, never HWND_BROADCAST, never reused.
HWND NextHandle(const std::string& folder) {
    UniqueFd fd(
        open((folder + "/counter").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!fd.valid()) return 0;
    while (flock(fd.get(), LOCK_EX) != 0)
        if (errno != EINTR) return 0;
    char text[32] = {};
    ssize_t n = pread(fd.get(), text, sizeof text - 1, 0);
    unsigned long long last = n > 0 ? std::strtoull(text, nullptr, 10) : 0;
    unsigned long long next = last + 1;
    if (next == HWND_BROADCAST) ++next;
    if (next > 0xFFFFFFFFULL) {
        errno = ENOMEM;  // every handle has been given out
        return 0;
    }
    const std::string written = std::to_string(next) + "\n";
    if (pwrite(fd.get(), written.data(), written.size(), 0) != static_cast<ssize_t>(written.size()))
        return 0;
    return static_cast<HWND>(next);
}

std::optional<WindowRecord> OwnRecord(HWND window) {
    const std::string folder = Folder();
    if (folder.empty() || window == 0 || window == HWND_BROADCAST) return std::nullopt;
    auto record = ReadRecord(folder, window);
    if (!record || record->window.processId != static_cast<DWORD>(getpid())) return std::nullopt;
    return record;
}

}  // namespace

HWND AddTopLevelWindow(std::u16string_view title) {
    const std::string folder = Folder();
    auto self = detail::ReadProcStat(getpid());
    if (folder.empty() || !self || !detail::EnsureOwnQueue()) {
        detail::SetLastErrorFromErrno(errno);
        return 0;
    }
    WindowRecord record;
    record.window = {NextHandle(folder), static_cast<DWORD>(getpid()), static_cast<DWORD>(gettid()),
                     std::u16string(title)};
    record.ownerStart = self->startTime;
    if (record.window.hwnd == 0 || !WriteRecord(folder, record)) {
        detail::SetLastErrorFromErrno(errno);
        return 0;
    }
    return record.window.hwnd;
}

BOOL SetTopLevelWindowTitle(HWND window, std::u16string_view title) {
    auto record = OwnRecord(window);
    if (!record) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    record->window.title = title;
    return WriteRecord(Folder(), *record) ? TRUE : FALSE;
}

void RemoveTopLevelWindow(HWND window) {
    if (OwnRecord(window)) unlink(WindowPath(Folder(), window).c_str());
}

std::vector<TopLevelWindow> ListTopLevelWindows() {
    std::vector<TopLevelWindow> windows;
    const std::string folder = Folder();
    if (folder.empty()) return windows;
    std::vector<HWND> handles;
    for (const std::string& name : detail::FolderEntries(folder)) {
        char* end = nullptr;
        unsigned long value = std::strtoul(name.c_str(), &end, 16);
        if (name.size() == 8 && *end == '\0') handles.push_back(static_cast<HWND>(value));
    }
    std::sort(handles.begin(), handles.end());
    for (HWND hwnd : handles) {
        auto record = ReadRecord(folder, hwnd);
        if (!record) continue;
        if (!OwnerAlive(*record)) {
            unlink(WindowPath(folder, hwnd).c_str());
            continue;
        }
        windows.push_back(record->window);
    }
    return windows;
}

BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (fault::ShouldFail(fault::Op::PostMessage, ERROR_GEN_FAILURE)) return FALSE;
    if (window == HWND_BROADCAST) {
        BOOL any = FALSE;
        for (const TopLevelWindow& w : ListTopLevelWindows())
            if (detail::PostToThread(w.threadId, MSG{w.hwnd, message, wParam, lParam})) any = TRUE;
        if (!any) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return any;
    }
    const std::string folder = Folder();
    auto record = folder.empty() || window == 0 ? std::nullopt : ReadRecord(folder, window);
    if (record && !OwnerAlive(*record)) {
        unlink(WindowPath(folder, window).c_str());
        record.reset();
    }
    if (!record) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return detail::PostToThread(record->window.threadId, MSG{window, message, wParam, lParam});
}

}  // namespace win
