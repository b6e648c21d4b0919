#pragma once
// Internal to the platform layer: what /proc tells about the host's processes. Every reader
// copes with a process that ends while it is read (it reports nothing for it).

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace win::detail {

struct ProcStat {
    char state = '?';  // 'Z' zombie, 'X' dead, others alive
    pid_t parent = 0;
    std::uint64_t startTime = 0;  // clock ticks after boot: with the pid, names one process
};

std::optional<ProcStat> ReadProcStat(pid_t pid);

// Every process id in /proc, ascending.
std::vector<pid_t> ListProcessIds();

// The threads of a process: the main thread (tid == pid) first, then ascending. Empty when
// the process is gone.
std::vector<pid_t> ListThreadIds(pid_t pid);

// The file name (without folder) of the program the process runs, as it was started; empty
// when unknown (a kernel thread, a process of another user, a process that has ended).
std::string ExecutableName(pid_t pid);

// Tells which device each process belongs to, remembering canonical roots per DEVICE_ROOT
// value so that a walk resolves each distinct value once.
class DeviceMembership {
  public:
    // The canonical device root of a live process (its DEVICE_ROOT, "/" when unset); nullopt
    // when its environment cannot be read.
    std::optional<std::string> RootOf(pid_t pid);

  private:
    std::map<std::string, std::string> canonical_;
};

// The live (not zombie) programs whose device root is canonicalRoot, ascending; the calling
// process is counted when canonicalRoot is its own device root.
std::vector<pid_t> DeviceProcessIds(const std::string& canonicalRoot);

}  // namespace win::detail
