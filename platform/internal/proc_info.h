#pragma once
// Internal to the platform layer: what /proc tells about the host's processes. Every reader
// copes with a process that ends while it is read (it reports nothing for it).

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/internal/system_posix.h"

namespace win::detail {

struct ProcStat {
    char state = '?';  // 'Z' zombie, 'X' dead, others alive
    pid_t parent = 0;
    long threads = 0;
    std::uint64_t startTime = 0;  // clock ticks after boot: with the pid, names one process
};

std::optional<ProcStat> ReadProcStat(pid_t pid);

// True while the process or thread with this id runs: it exists and has not ended (a zombie has
// ended). With startTime, only the one that started then counts, not a later one that was given
// the same id. The one test of liveness for everything that dead programs leave behind.
bool IsRunning(pid_t id, std::optional<std::uint64_t> startTime = std::nullopt);

// The threads of a process: the main thread (tid == pid) first, then ascending. Empty when
// the process is gone.
std::vector<pid_t> ListThreadIds(pid_t pid);

// Reads many processes' files through one open /proc and one buffer, so that a walk over the
// host's processes costs one open and one read per file and no allocation per process. The
// buffer grows to the largest file read and is never cleared: a fresh process pays a page fault
// for each page it touches first, and most files are a page or less.
class ProcReader {
  public:
    ProcReader();
    ~ProcReader();
    ProcReader(const ProcReader&) = delete;
    ProcReader& operator=(const ProcReader&) = delete;

    // The whole of /proc/PID/FILE; the view holds until the next Read.
    std::optional<std::string_view> Read(pid_t pid, const char* file);
    std::optional<ProcStat> Stat(pid_t pid);
    // True when the process runs as the given user: both its real and its effective user id
    // are that user's.
    bool RunsAs(pid_t pid, uid_t user);
    // The file name (without folder) of the program the process runs, as it was started;
    // empty when unknown (a kernel thread, a process of another user, one that has ended).
    std::string ExecutableName(pid_t pid);

  private:
    sys::UniqueFd dir_;
    std::unique_ptr<char[]> buffer_;
    std::size_t capacity_ = 0;
};

// A live (not zombie) program of a device, with what a snapshot tells of it.
struct DeviceProcess {
    pid_t pid = 0;
    ProcStat stat;
    std::string name;  // as ExecutableName
};

// The live programs whose device root is canonicalRoot, in ascending process id. Only the
// programs of the caller's own user (its effective user id) count, whatever the caller's
// privileges: another user's program started with the same root is never the device's. The
// calling process is counted when canonicalRoot is its own device root; a process that ends
// while it is read is left out.
std::vector<DeviceProcess> DeviceProcesses(const std::string& canonicalRoot);

}  // namespace win::detail
