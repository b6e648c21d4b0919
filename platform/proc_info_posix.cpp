// Reading /proc for the tool-help walks and the window table.
#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/device.h"
#include "platform/internal/proc_info.h"
#include "platform/internal/runtime_folder.h"
#include "platform/internal/system_posix.h"

namespace win::detail {
namespace {

// The numeric entries of a folder, ascending.
std::vector<pid_t> NumericEntries(const std::string& folder) {
    std::vector<pid_t> ids;
    for (const std::string& name : sys::FolderEntries(folder))
        if (name.find_first_not_of("0123456789") == std::string::npos)
            ids.push_back(static_cast<pid_t>(std::atol(name.c_str())));
    std::sort(ids.begin(), ids.end());
    return ids;
}

// Parses the text of /proc/PID/stat.
std::optional<ProcStat> ParseProcStat(std::string_view text) {
    // The command name in parentheses may hold anything, so fields are counted from the last ')'.
    std::size_t close = text.rfind(')');
    if (close == std::string_view::npos || close + 2 >= text.size()) return std::nullopt;
    const std::string owned(text.substr(close + 2));
    const char* p = owned.c_str();
    ProcStat stat;
    stat.state = *p;
    // Fields after the state: ppid is field 4, num_threads field 20, starttime field 22
    // (1-based, state is field 3).
    int field = 3;
    while (*p && field < 22) {
        while (*p && *p != ' ') ++p;
        while (*p == ' ') ++p;
        ++field;
        if (field == 4) stat.parent = static_cast<pid_t>(std::atol(p));
        if (field == 20) stat.threads = std::atol(p);
    }
    if (field != 22) return std::nullopt;
    stat.startTime = std::strtoull(p, nullptr, 10);
    return stat;
}

std::string NameFromExecutablePath(std::string path) {
    // A program whose file was replaced or removed since it started is still named by it.
    constexpr std::string_view kDeleted = " (deleted)";
    if (path.size() > kDeleted.size() &&
        path.compare(path.size() - kDeleted.size(), kDeleted.size(), kDeleted) == 0)
        path.resize(path.size() - kDeleted.size());
    return path.substr(path.rfind('/') + 1);
}

}  // namespace

ProcReader::ProcReader() {
    if (auto dir = sys::Open("/proc", O_RDONLY | O_DIRECTORY)) dir_ = std::move(*dir);
}

ProcReader::~ProcReader() = default;

std::optional<std::string_view> ProcReader::Read(pid_t pid, const char* file) {
    if (!dir_.valid()) return std::nullopt;
    char path[64];
    std::snprintf(path, sizeof path, "%d/%s", static_cast<int>(pid), file);
    auto fd = sys::Open(path, O_RDONLY, 0, dir_.get());
    if (!fd) return std::nullopt;
    std::size_t used = 0;
    for (;;) {
        if (used == capacity_) {
            const std::size_t grown = capacity_ ? capacity_ * 2 : 16 * 1024;
            auto larger = std::make_unique_for_overwrite<char[]>(grown);
            if (used) std::memcpy(larger.get(), buffer_.get(), used);
            buffer_ = std::move(larger);
            capacity_ = grown;
        }
        const std::size_t room = capacity_ - used;
        auto n = sys::Read(fd->get(), buffer_.get() + used, room);
        if (!n) return std::nullopt;
        used += *n;
        // These files are produced whole on each read that has room for them, so a read that
        // leaves room over has reached their end: no further read is needed to see it.
        if (*n == 0 || *n < room) break;
    }
    return std::string_view(buffer_.get(), used);
}

std::optional<ProcStat> ProcReader::Stat(pid_t pid) {
    auto text = Read(pid, "stat");
    if (!text) return std::nullopt;
    return ParseProcStat(*text);
}

bool ProcReader::RunsAs(pid_t pid, uid_t user) {
    auto text = Read(pid, "status");
    if (!text) return false;
    // "Uid:" is followed by the real, effective, saved and file-system user ids.
    const std::size_t at = text->find("\nUid:");
    if (at == std::string_view::npos) return false;
    const std::string ids(text->substr(at + 5, 64));
    char* end = nullptr;
    const unsigned long real = std::strtoul(ids.c_str(), &end, 10);
    const unsigned long effective = std::strtoul(end, nullptr, 10);
    return real == user && effective == user;
}

std::string ProcReader::ExecutableName(pid_t pid) {
    if (!dir_.valid()) return {};
    char path[64], target[PATH_MAX];
    std::snprintf(path, sizeof path, "%d/exe", static_cast<int>(pid));
    ssize_t n = readlinkat(dir_.get(), path, target, sizeof target);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof target) return {};
    return NameFromExecutablePath(std::string(target, static_cast<std::size_t>(n)));
}

std::optional<ProcStat> ReadProcStat(pid_t pid) {
    char path[64], text[1024];  // a stat line is a few hundred bytes
    std::snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(pid));
    auto fd = sys::Open(path, O_RDONLY);
    auto n = fd ? sys::Read(fd->get(), text, sizeof text) : fd.failure();
    if (!n || *n == 0) return std::nullopt;
    return ParseProcStat(std::string_view(text, *n));
}

bool IsRunning(pid_t id, std::optional<std::uint64_t> startTime) {
    if (id <= 0) return false;
    auto stat = ReadProcStat(id);
    return stat && stat->state != 'Z' && stat->state != 'X' &&
           (!startTime || stat->startTime == *startTime);
}

std::vector<pid_t> ListThreadIds(pid_t pid) {
    char folder[64];
    std::snprintf(folder, sizeof folder, "/proc/%d/task", static_cast<int>(pid));
    std::vector<pid_t> tids = NumericEntries(folder);
    auto main = std::find(tids.begin(), tids.end(), pid);
    if (main != tids.end()) std::rotate(tids.begin(), main, main + 1);
    return tids;
}

namespace {

// The canonical root that an absolute DEVICE_ROOT value (or none) names. This process's own
// value is its root as it resolved it at start, so that a device folder moved or relinked
// while its programs run is not followed.
std::string CanonicalRootOf(const std::string& value) {
    const char* own = std::getenv("DEVICE_ROOT");
    if (value == (own ? own : "")) return DeviceRootHostPath();
    return CanonicalDeviceRoot(value);
}

// The canonical device root of a live process (its DEVICE_ROOT, "/" when unset); nullopt when
// its environment cannot be read.
std::optional<std::string> DeviceRootOf(ProcReader& reader, pid_t pid) {
    auto environment = reader.Read(pid, "environ");
    if (!environment) return std::nullopt;
    std::string_view value;
    constexpr std::string_view kKey = "DEVICE_ROOT=";
    for (std::size_t at = 0; at < environment->size();) {
        std::size_t end = environment->find('\0', at);
        if (end == std::string_view::npos) end = environment->size();
        std::string_view entry = environment->substr(at, end - at);
        if (entry.substr(0, kKey.size()) == kKey) value = entry.substr(kKey.size());
        at = end + 1;
    }
    if (!value.empty() && value.front() != '/') {
        // A relative root is taken from the process's own current folder.
        const std::string owned(value);
        char path[64], cwd[PATH_MAX];
        std::snprintf(path, sizeof path, "/proc/%d/cwd", static_cast<int>(pid));
        ssize_t n = readlink(path, cwd, sizeof cwd);
        if (n <= 0 || static_cast<std::size_t>(n) >= sizeof cwd) return std::nullopt;
        return CanonicalDeviceRoot(owned, std::string_view(cwd, static_cast<std::size_t>(n)));
    }
    return CanonicalRootOf(std::string(value));
}

}  // namespace

std::vector<DeviceProcess> DeviceProcesses(const std::string& canonicalRoot) {
    const pid_t self = getpid();
    const uid_t user = geteuid();
    // The environment block in /proc is the one a process started with; this process, which
    // may have set DEVICE_ROOT itself, is judged by the root it actually uses.
    const bool selfBelongs = DeviceRootHostPath() == canonicalRoot;
    ProcReader reader;
    std::vector<DeviceProcess> out;
    for (pid_t pid : NumericEntries("/proc")) {
        if (pid == self) {
            if (!selfBelongs) continue;
        } else {
            // The environment first: most of the host's processes are ruled out by it alone
            // (another user's cannot even be read, unless the caller is privileged).
            auto root = DeviceRootOf(reader, pid);
            if (!root || *root != canonicalRoot || !reader.RunsAs(pid, user)) continue;
        }
        auto stat = reader.Stat(pid);
        if (!stat || stat->state == 'Z' || stat->state == 'X') continue;
        // Kernel threads have an empty environment but no program: they belong to no device.
        std::string name = reader.ExecutableName(pid);
        if (!name.empty()) out.push_back(DeviceProcess{pid, *stat, std::move(name)});
    }
    return out;
}

}  // namespace win::detail
