// Reading /proc for the tool-help walks and the window table.
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/device.h"
#include "platform/proc_info.h"
#include "platform/runtime_folder.h"
#include "platform/unique_fd.h"

namespace win::detail {
namespace {

std::optional<std::string> ReadWholeFile(const std::string& path) {
    UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) return std::nullopt;
    std::string out;
    char buffer[4096];
    for (;;) {
        ssize_t n = read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;
        if (n == 0) return out;
        out.append(buffer, static_cast<std::size_t>(n));
    }
}

bool AllDigits(const char* text) {
    if (!*text) return false;
    for (; *text; ++text)
        if (*text < '0' || *text > '9') return false;
    return true;
}

std::vector<pid_t> NumericEntries(const std::string& folder) {
    std::vector<pid_t> ids;
    DIR* dir = opendir(folder.c_str());
    if (!dir) return ids;
    while (dirent* entry = readdir(dir))
        if (AllDigits(entry->d_name)) ids.push_back(static_cast<pid_t>(std::atol(entry->d_name)));
    closedir(dir);
    std::sort(ids.begin(), ids.end());
    return ids;
}

}  // namespace

std::optional<ProcStat> ReadProcStat(pid_t pid) {
    auto text = ReadWholeFile("/proc/" + std::to_string(pid) + "/stat");
    if (!text) return std::nullopt;
    // The command name in parentheses may hold anything, so fields are counted from the last ')'.
    std::size_t close = text->rfind(')');
    if (close == std::string::npos || close + 2 >= text->size()) return std::nullopt;
    const char* p = text->c_str() + close + 2;
    ProcStat stat;
    stat.state = *p;
    // Fields after the state: ppid is field 4, starttime field 22 (1-based, state is field 3).
    int field = 3;
    while (*p && field < 22) {
        while (*p && *p != ' ') ++p;
        while (*p == ' ') ++p;
        ++field;
        if (field == 4) stat.parent = static_cast<pid_t>(std::atol(p));
    }
    if (field != 22) return std::nullopt;
    stat.startTime = std::strtoull(p, nullptr, 10);
    return stat;
}

std::vector<pid_t> ListProcessIds() {
    return NumericEntries("/proc");
}

std::vector<pid_t> ListThreadIds(pid_t pid) {
    std::vector<pid_t> tids = NumericEntries("/proc/" + std::to_string(pid) + "/task");
    auto main = std::find(tids.begin(), tids.end(), pid);
    if (main != tids.end()) std::rotate(tids.begin(), main, main + 1);
    return tids;
}

std::string ExecutableName(pid_t pid) {
    char target[PATH_MAX];
    ssize_t n = readlink(("/proc/" + std::to_string(pid) + "/exe").c_str(), target, sizeof target);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof target) return {};
    std::string path(target, static_cast<std::size_t>(n));
    // A program whose file was replaced or removed since it started is still named by it.
    constexpr std::string_view kDeleted = " (deleted)";
    if (path.size() > kDeleted.size() &&
        path.compare(path.size() - kDeleted.size(), kDeleted.size(), kDeleted) == 0)
        path.resize(path.size() - kDeleted.size());
    return path.substr(path.rfind('/') + 1);
}

std::optional<std::string> DeviceMembership::RootOf(pid_t pid) {
    const std::string base = "/proc/" + std::to_string(pid);
    auto environment = ReadWholeFile(base + "/environ");
    if (!environment) return std::nullopt;
    std::string value;
    constexpr std::string_view kKey = "DEVICE_ROOT=";
    for (std::size_t at = 0; at < environment->size();) {
        std::size_t end = environment->find('\0', at);
        if (end == std::string::npos) end = environment->size();
        std::string_view entry(environment->data() + at, end - at);
        if (entry.substr(0, kKey.size()) == kKey) value = entry.substr(kKey.size());
        at = end + 1;
    }
    if (!value.empty() && value.front() != '/') {
        // A relative root is taken from the process's own current folder.
        char cwd[PATH_MAX];
        ssize_t n = readlink((base + "/cwd").c_str(), cwd, sizeof cwd);
        if (n <= 0 || static_cast<std::size_t>(n) >= sizeof cwd) return std::nullopt;
        return CanonicalDeviceRoot(value, std::string_view(cwd, static_cast<std::size_t>(n)));
    }
    auto it = canonical_.find(value);
    if (it == canonical_.end()) it = canonical_.emplace(value, CanonicalDeviceRoot(value)).first;
    return it->second;
}

std::vector<pid_t> DeviceProcessIds(const std::string& canonicalRoot) {
    const pid_t self = getpid();
    // The environment block in /proc is the one the process started with; a process that
    // set DEVICE_ROOT itself is judged by the root it actually uses.
    const bool selfBelongs = DeviceRootHostPath() == canonicalRoot;
    DeviceMembership membership;
    std::vector<pid_t> out;
    for (pid_t pid : ListProcessIds()) {
        if (pid == self) {
            if (selfBelongs) out.push_back(pid);
            continue;
        }
        // The environment first: most of the host's processes are ruled out by it alone.
        auto root = membership.RootOf(pid);
        if (!root || *root != canonicalRoot) continue;
        auto stat = ReadProcStat(pid);
        if (!stat || stat->state == 'Z' || stat->state == 'X') continue;
        // Kernel threads have an empty environment but no program: they belong to no device.
        if (!ExecutableName(pid).empty()) out.push_back(pid);
    }
    return out;
}

}  // namespace win::detail
