// The tool-help walks: a snapshot of the device's processes or threads taken from /proc.
#include "platform/toolhelp_posix.h"

#include <cstring>
#include <memory>
#include <tuple>
#include <vector>

#include "platform/device.h"
#include "platform/fault.h"
#include "platform/internal/handle_table.h"
#include "platform/internal/proc_info.h"
#include "platform/internal/runtime_folder.h"
#include "platform/internal/system_posix.h"
#include "platform/toolhelp.h"
#include "platform/unicode.h"

namespace win {
namespace {

PROCESSENTRY32W MakeProcessEntry(pid_t pid, const detail::ProcStat& stat, const std::string& name,
                                 std::size_t threadCount) {
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    entry.th32ProcessID = static_cast<DWORD>(pid);
    entry.th32ParentProcessID = static_cast<DWORD>(stat.parent);
    entry.cntThreads = static_cast<DWORD>(threadCount);
    const std::u16string wide = Utf8ToUtf16(name);
    const std::size_t length = std::min<std::size_t>(wide.size(), MAX_PATH - 1);
    std::memcpy(entry.szExeFile, wide.data(), length * sizeof(WCHAR));
    return entry;
}

THREADENTRY32 MakeThreadEntry(pid_t pid, pid_t tid) {
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    entry.th32ThreadID = static_cast<DWORD>(tid);
    entry.th32OwnerProcessID = static_cast<DWORD>(pid);
    return entry;
}

// One walk of a snapshot: its entries, and the next one to give.
template <typename Entry>
struct Walk {
    std::vector<Entry> entries;
    std::size_t next = 0;
};

// The device's processes (and their threads), in ascending process id, as /proc shows them
// when the snapshot is taken. A process that ends half-way through being read is left out whole.
// A snapshot of one kind has no entries of the other.
class Snapshot final : public detail::KernelObject {
  public:
    Snapshot(bool processes, bool threads) {
        auto& [processList, threadList] = walks;
        for (const detail::DeviceProcess& process : detail::DeviceProcesses(DeviceRootHostPath())) {
            std::vector<pid_t> tids;
            if (threads) {
                tids = detail::ListThreadIds(process.pid);
                if (tids.empty()) continue;
            }
            const std::size_t threadCount =
                threads ? tids.size() : static_cast<std::size_t>(process.stat.threads);
            if (processes)
                processList.entries.push_back(
                    MakeProcessEntry(process.pid, process.stat, process.name, threadCount));
            for (pid_t tid : tids) threadList.entries.push_back(MakeThreadEntry(process.pid, tid));
        }
    }

    std::tuple<Walk<PROCESSENTRY32W>, Walk<THREADENTRY32>> walks;
};

template <typename Entry>
BOOL Step(HANDLE handle, Entry* entry, bool first) {
    auto* snapshot = detail::FindHandleOf<Snapshot>(handle);
    if (!snapshot) return FALSE;
    if (!entry || entry->dwSize != sizeof(Entry)) return sys::Fail(ERROR_INVALID_PARAMETER, FALSE);
    Walk<Entry>& walk = std::get<Walk<Entry>>(snapshot->walks);
    if (first) walk.next = 0;
    if (walk.next >= walk.entries.size()) return sys::Fail(ERROR_NO_MORE_FILES, FALSE);
    *entry = walk.entries[walk.next++];
    return TRUE;
}

}  // namespace

HANDLE CreateToolhelp32Snapshot(DWORD flags, DWORD processId) {
    constexpr DWORD kKinds = TH32CS_SNAPPROCESS | TH32CS_SNAPTHREAD;
    // As on Windows, processId only matters for the kinds of snapshot the device lacks.
    (void)processId;
    if ((flags & kKinds) == 0 || (flags & ~kKinds) != 0)
        return sys::Fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
    if (((flags & TH32CS_SNAPPROCESS) &&
         fault::ShouldFail(fault::Op::ProcessSnapshot, ERROR_NOT_ENOUGH_MEMORY)) ||
        ((flags & TH32CS_SNAPTHREAD) &&
         fault::ShouldFail(fault::Op::ThreadSnapshot, ERROR_NOT_ENOUGH_MEMORY)))
        return INVALID_HANDLE_VALUE;
    return detail::RegisterHandle(std::make_unique<Snapshot>((flags & TH32CS_SNAPPROCESS) != 0,
                                                             (flags & TH32CS_SNAPTHREAD) != 0));
}

BOOL Process32First(HANDLE snapshot, PROCESSENTRY32W* entry) {
    return Step(snapshot, entry, true);
}
BOOL Process32Next(HANDLE snapshot, PROCESSENTRY32W* entry) {
    return Step(snapshot, entry, false);
}
BOOL Thread32First(HANDLE snapshot, THREADENTRY32* entry) {
    return Step(snapshot, entry, true);
}
BOOL Thread32Next(HANDLE snapshot, THREADENTRY32* entry) {
    return Step(snapshot, entry, false);
}

BOOL CloseToolhelp32Snapshot(HANDLE snapshot) {
    if (!detail::FindHandleOf<Snapshot>(snapshot)) return FALSE;
    return CloseHandle(snapshot);
}

std::vector<DWORD> ListDeviceProcesses(const std::string& hostRoot) {
    std::vector<DWORD> out;
    for (const auto& process : detail::DeviceProcesses(detail::CanonicalDeviceRoot(hostRoot)))
        out.push_back(static_cast<DWORD>(process.pid));
    return out;
}

}  // namespace win
