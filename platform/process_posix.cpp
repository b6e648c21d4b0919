// Processes of the device: started with posix_spawn (never a shell), waited for through a
// process descriptor.
#include <fcntl.h>
#include <sched.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/device.h"
#include "platform/fault.h"
#include "platform/internal/handle_table.h"
#include "platform/internal/proc_info.h"
#include "platform/internal/system_posix.h"
#include "platform/process.h"
#include "platform/unicode.h"

extern char** environ;

namespace win {
namespace {

using sys::Fail;
using sys::UniqueFd;

int OpenProcessDescriptor(pid_t pid) {
#ifdef SYS_pidfd_open
    return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    errno = ENOSYS;
    return -1;
#endif
}

// A started process. The descriptor (when the kernel offers one) names exactly this process,
// so a reused pid is never mistaken for it. Waiting never reaps: the caller may.
class Process final : public detail::WaitableObject {
  public:
    Process(pid_t pid, UniqueFd descriptor) : pid_(pid), descriptor_(std::move(descriptor)) {}

    DWORD Wait(DWORD milliseconds) override {
        std::optional<timespec> deadline;
        if (milliseconds != INFINITE) deadline = sys::MonotonicDeadline(milliseconds);
        if (descriptor_.valid()) {
            auto ended = sys::WaitReadable(descriptor_.get(), deadline);
            if (!ended) return Fail(ended, WAIT_FAILED);
            return *ended ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
        }
        for (;;) {
            if (!detail::IsRunning(pid_)) return WAIT_OBJECT_0;
            const int left = deadline ? sys::MillisecondsUntil(*deadline) : -1;
            if (left == 0) return WAIT_TIMEOUT;
            Sleep(left < 0 || left > 5 ? 5 : static_cast<DWORD>(left));
        }
    }

  private:
    pid_t pid_;
    UniqueFd descriptor_;
};

HANDLE MakeProcessHandle(pid_t pid) {
    return detail::RegisterHandle(
        std::make_unique<Process>(pid, UniqueFd(OpenProcessDescriptor(pid))));
}

DWORD ErrorForImage(const std::string& hostPath) {
    auto st = sys::Stat(hostPath);
    if (!st)
        return st.error() == ENOENT && !sys::Stat(hostPath.substr(0, hostPath.rfind('/') + 1))
                   ? ERROR_PATH_NOT_FOUND
                   : ERROR_FILE_NOT_FOUND;
    if (!S_ISREG(st->st_mode)) return ERROR_ACCESS_DENIED;
    // A file that is no program, as Windows tells a file that is not an image.
    if (access(hostPath.c_str(), X_OK) != 0) return ERROR_BAD_EXE_FORMAT;
    return ERROR_SUCCESS;
}

// The parent's environment with DEVICE_ROOT set to the canonical device root, so the child
// belongs to the same device whatever the parent's current folder.
std::vector<std::string> ChildEnvironment() {
    std::vector<std::string> env;
    for (char** e = environ; e && *e; ++e) {
        if (std::strncmp(*e, "DEVICE_ROOT=", 12) == 0) continue;
        env.emplace_back(*e);
    }
    env.push_back("DEVICE_ROOT=" + DeviceRootHostPath());
    return env;
}

// posix_spawn returns once the child has its new program, but the kernel sets up the child's
// environment, by which the device's walks know their processes, only a moment later. Waiting
// for it here (a few microseconds, at most a second) means that a walk made after
// CreateProcessW has returned lists the new process, as on the device: a bridge that finds no
// measurement program right after another one started it would start a second.
void WaitUntilWalksSee(pid_t pid) {
    detail::ProcReader reader;
    const timespec deadline = sys::MonotonicDeadline(1000);
    while (sys::MillisecondsUntil(deadline) > 0 && detail::IsRunning(pid)) {
        auto environment = reader.Read(pid, "environ");
        if (environment && !environment->empty()) return;
        sched_yield();
    }
}

}  // namespace

BOOL CreateProcessW(std::u16string_view imagePath, const char16_t* commandLine,
                    void* processAttributes, void* threadAttributes, BOOL inheritHandles,
                    DWORD creationFlags, void* environment, const char16_t* currentDirectory,
                    void* startupInfo, PROCESS_INFORMATION* info) {
    if (processAttributes || threadAttributes || inheritHandles || creationFlags || environment ||
        currentDirectory || startupInfo || !info || imagePath.empty())
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    if (fault::ShouldFail(fault::Op::CreateProcess)) return Fail(ERROR_GEN_FAILURE, FALSE);
    const std::string hostPath = ResolveDevicePath(imagePath);
    if (DWORD error = ErrorForImage(hostPath); error != ERROR_SUCCESS) return Fail(error, FALSE);

    std::vector<std::string> args{hostPath};
    if (commandLine && *commandLine) args.push_back(Utf16ToUtf8(commandLine));
    std::vector<std::string> env = ChildEnvironment();
    // Pointers to the strings, ended by a null pointer, as posix_spawn takes them.
    auto pointers = [](std::vector<std::string>& strings) {
        std::vector<char*> out;
        for (std::string& s : strings) out.push_back(s.data());
        out.push_back(nullptr);
        return out;
    };
    std::vector<char*> argv = pointers(args), envp = pointers(env);

    // The child gets no console: its standard streams are /dev/null. A started program (the
    // measurement program above all) outlives its starter, and holding the starter's output
    // open would keep whoever reads that output waiting until the child ended.
    posix_spawn_file_actions_t streams;
    posix_spawn_file_actions_init(&streams);
    posix_spawn_file_actions_addopen(&streams, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&streams, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&streams, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    int rc = posix_spawn(&pid, hostPath.c_str(), &streams, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&streams);
    if (rc != 0) return Fail(sys::ErrorCode(rc), FALSE);
    WaitUntilWalksSee(pid);
    info->dwProcessId = static_cast<DWORD>(pid);
    info->dwThreadId = static_cast<DWORD>(pid);  // the main thread's id is the process id
    info->hProcess = MakeProcessHandle(pid);
    // The main thread's handle: waiting on it waits for the process.
    info->hThread = MakeProcessHandle(pid);
    return TRUE;
}

DWORD GetCurrentProcessId() {
    return static_cast<DWORD>(getpid());
}

DWORD GetCurrentThreadId() {
    return static_cast<DWORD>(gettid());
}

void Sleep(DWORD milliseconds) {
    if (milliseconds == INFINITE) {
        for (;;) pause();
    }
    // The pauses are part of a run's time: wake as close to their end as the kernel can
    // (the default timer slack adds up to 50 us to every sleep), and sleep to an absolute
    // deadline, so that signals cannot stretch the pause.
    static const bool tightTimers = prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL) == 0;
    (void)tightTimers;
    sys::SleepUntil(sys::MonotonicDeadline(milliseconds));
}

}  // namespace win
