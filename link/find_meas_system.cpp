// Finding the measurement program among the device's processes, or starting it, and the
// thread that takes its commands.
#include <optional>

#include "app/run_mode.h"
#include "link/meas_link.h"
#include "link/protocol/meas_protocol.h"
#include "platform/mutex.h"
#include "platform/process.h"
#include "platform/toolhelp.h"
#include "platform/unicode.h"

namespace {

// The pause that gives the measurement program time to get its command thread ready; taken
// once on every run that reaches the thread search.
constexpr win::DWORD kMeasStartPauseMs = 1500;

// The device-wide lock around the walk for the measurement program and its launch: of bridges
// started together, the first launches the program and the others find it. It is held for a
// walk and a launch, a few milliseconds; a holder that hangs is waited for this long at most.
// The lock only keeps bridges from launching two programs: a lock that cannot be made (its
// name taken by another kind of object, its file unusable) or waited for, or a holder that
// hangs, never fails a run, which then goes on without it.
constexpr char16_t kMeasStartLockName[] = u"NXBRIDGESTART";
constexpr win::DWORD kMeasStartLockWaitMs = 10000;

std::u16string_view ExeFileName(const win::PROCESSENTRY32W& entry) {
    std::u16string_view name(entry.szExeFile, win::MAX_PATH);
    return name.substr(0, name.find(u'\0'));
}

// The id of the first process named "NX.EXE" (letter case aside), or none. Nothing when the
// snapshot cannot be taken: snapshotOk is then false.
std::optional<win::DWORD> FindMeasProcess(bool& snapshotOk) {
    win::HANDLE snapshot = win::CreateToolhelp32Snapshot(win::TH32CS_SNAPPROCESS, 0);
    snapshotOk = snapshot != win::INVALID_HANDLE_VALUE;
    if (!snapshotOk) return std::nullopt;
    std::optional<win::DWORD> found;
    win::PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (win::BOOL more = win::Process32First(snapshot, &entry); more;
         more = win::Process32Next(snapshot, &entry)) {
        std::u16string name(ExeFileName(entry));
        win::CharUpperW(name);
        if (name == kMeasProgramName) {
            found = entry.th32ProcessID;
            break;
        }
    }
    win::CloseToolhelp32Snapshot(snapshot);
    return found;
}

// Starts g_installPath + "NEDIX\NX.EXE" with no command line and no options, and keeps only
// the new process's id.
std::optional<win::DWORD> LaunchMeasProgram() {
    CString imagePath = g_installPath + kMeasProgramPath;
    win::PROCESS_INFORMATION info;
    if (!win::CreateProcessW(imagePath, nullptr, nullptr, nullptr, win::FALSE, 0, nullptr, nullptr,
                             nullptr, &info))
        return std::nullopt;
    win::CloseHandle(info.hThread);
    win::CloseHandle(info.hProcess);
    return info.dwProcessId;
}

// Under the device's start lock when it can be had: the walk for the running program and,
// when none runs, its launch. The lock is let go as soon as the launched program exists,
// before the pause. Nothing when the snapshot cannot be taken (then nothing is launched) or
// the launch fails.
std::optional<win::DWORD> FindOrLaunchMeasProcess() {
    win::HANDLE lock = win::CreateMutexW(nullptr, win::FALSE, kMeasStartLockName);
    const win::DWORD waited =
        lock ? win::WaitForSingleObject(lock, kMeasStartLockWaitMs) : win::WAIT_FAILED;
    bool snapshotOk = false;
    std::optional<win::DWORD> processId = FindMeasProcess(snapshotOk);
    if (snapshotOk && !processId) processId = LaunchMeasProgram();
    if (waited == win::WAIT_OBJECT_0 || waited == win::WAIT_ABANDONED) win::ReleaseMutex(lock);
    if (lock) win::CloseHandle(lock);
    return processId;
}

}  // namespace

bool FindMeasSystemThread() {
    std::optional<win::DWORD> processId = FindOrLaunchMeasProcess();
    if (!processId) return false;
    win::Sleep(kMeasStartPauseMs);

    win::HANDLE snapshot = win::CreateToolhelp32Snapshot(win::TH32CS_SNAPTHREAD, 0);
    if (snapshot == win::INVALID_HANDLE_VALUE) return false;
    win::THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (win::BOOL more = win::Thread32First(snapshot, &entry); more;
         more = win::Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == *processId) {
            g_measThreadId = entry.th32ThreadID;
            win::CloseToolhelp32Snapshot(snapshot);
            return true;
        }
    }
    win::CloseToolhelp32Snapshot(snapshot);
    return false;
}
