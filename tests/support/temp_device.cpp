#include "tests/support/temp_device.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "platform/device.h"
#include "platform/device_posix.h"
#include "platform/toolhelp.h"
#include "platform/toolhelp_posix.h"

extern char** environ;

namespace nxtest {
namespace fs = std::filesystem;

TempDevice::TempDevice() {
    std::string pattern = "/tmp/nxdev-XXXXXX";
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    root_ = pattern;
}

namespace {

// True for a child of this process that runs a program from outside the device: the test
// program's own helpers (an X server) that merely inherited DEVICE_ROOT, which the test program
// ends itself, and which may still be needed while it exits.
bool IsOwnHelper(pid_t pid, const std::string& root) {
    std::string stat = ReadFileBytes("/proc/" + std::to_string(pid) + "/stat");
    std::size_t close = stat.rfind(')');
    if (close == std::string::npos) return false;
    std::istringstream fields(stat.substr(close + 1));
    std::string state;
    pid_t parent = 0;
    fields >> state >> parent;
    if (parent != getpid()) return false;
    std::error_code ec;
    const std::string exe = fs::read_symlink("/proc/" + std::to_string(pid) + "/exe", ec).string();
    const std::string inside = fs::weakly_canonical(root, ec).string() + "/";
    return !exe.empty() && exe.compare(0, inside.size(), inside) != 0;
}

// Ends every process that runs on the device (but never this one, nor its own helpers) and
// reaps those that are children of this process, so a test leaves nothing running behind.
void EndDeviceProcesses(const std::string& root) {
    const pid_t self = getpid();
    for (int round = 0; round < 5; ++round) {
        std::vector<pid_t> victims;
        for (win::DWORD id : win::ListDeviceProcesses(root)) {
            const auto pid = static_cast<pid_t>(id);
            if (pid != self && !IsOwnHelper(pid, root)) victims.push_back(pid);
        }
        if (victims.empty()) return;
        for (pid_t pid : victims) kill(pid, SIGKILL);
        for (pid_t pid : victims) {
            WaitUntil(
                [pid] {
                    int status = 0;
                    pid_t r = waitpid(pid, &status, WNOHANG);
                    return r == pid || (r < 0 && errno == ECHILD);
                },
                std::chrono::seconds(2));
        }
    }
}

}  // namespace

TempDevice::~TempDevice() {
    EndDeviceProcesses(root_);
    std::error_code ec;
    fs::remove_all(win::RuntimeDirectoryForRoot(root_), ec);
    fs::remove_all(root_, ec);
}

void TempDevice::WriteFile(const std::string& relative, const std::string& bytes) const {
    fs::path p = Path(relative);
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary | std::ios::trunc) << bytes;
}

void TempDevice::CopyIn(const std::string& hostFile, const std::string& relative) const {
    fs::path p = Path(relative);
    fs::create_directories(p.parent_path());
    fs::copy_file(hostFile, p, fs::copy_options::overwrite_existing);
}

namespace {
const TempDevice* g_currentDevice = nullptr;
}  // namespace

void UseDevice(const TempDevice& device) {
    setenv("DEVICE_ROOT", device.root().c_str(), 1);
    g_currentDevice = &device;
}

const TempDevice* CurrentDevice() {
    return g_currentDevice;
}

namespace {

std::vector<std::string> EnvironmentFor(const TempDevice& device,
                                        const std::vector<std::string>& extraEnv) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        if (std::string_view(*e).rfind("DEVICE_ROOT=", 0) == 0) continue;
        // A child given the tester's display would show real windows and wait on message
        // boxes; only tests that bring their own display (in extraEnv) get one.
        if (std::string_view(*e).rfind("DISPLAY=", 0) == 0) continue;
        env.emplace_back(*e);
    }
    env.push_back("DEVICE_ROOT=" + device.root());
    for (const auto& e : extraEnv) env.push_back(e);
    return env;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (auto& s : strings) out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

pid_t Spawn(const std::vector<std::string>& argv, const TempDevice& device,
            const std::vector<std::string>& extraEnv, int outFd, int errFd) {
    std::vector<std::string> args = argv, env = EnvironmentFor(device, extraEnv);
    auto argp = Pointers(args), envp = Pointers(env);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outFd, 1);
    posix_spawn_file_actions_adddup2(&actions, errFd, 2);
    // A process group of its own, so that killing it never reaches the test runner.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attr, 0);
    pid_t pid = -1;
    int rc = posix_spawn(&pid, argp[0], &actions, &attr, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (rc != 0) throw std::runtime_error("cannot start " + argv[0]);
    return pid;
}

void Decode(int status, ProcessResult& r) {
    if (WIFEXITED(status)) r.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) r.signal = WTERMSIG(status);
}

}  // namespace

ProcessResult RunProcess(const std::vector<std::string>& argv, const TempDevice& device,
                         std::chrono::milliseconds timeout,
                         const std::vector<std::string>& extraEnv) {
    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) || pipe2(err, O_CLOEXEC)) throw std::runtime_error("pipe");
    auto start = std::chrono::steady_clock::now();
    pid_t pid = Spawn(argv, device, extraEnv, out[1], err[1]);
    close(out[1]);
    close(err[1]);
    ProcessResult r;
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    int open = 2;
    auto deadline = start + timeout;
    while (open > 0) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            r.timedOut = true;
            break;
        }
        if (poll(fds, 2, static_cast<int>(left.count())) < 0 && errno != EINTR) break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
            char buf[4096];
            ssize_t n = read(fds[i].fd, buf, sizeof buf);
            if (n > 0) {
                (i == 0 ? r.out : r.err).append(buf, static_cast<size_t>(n));
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    for (auto& f : fds)
        if (f.fd >= 0) close(f.fd);
    int status = 0;
    if (r.timedOut) {
        kill(-pid, SIGKILL);
        kill(pid, SIGKILL);
    }
    waitpid(pid, &status, 0);
    Decode(status, r);
    r.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    return r;
}

pid_t StartProcess(const std::vector<std::string>& argv, const TempDevice& device,
                   const std::vector<std::string>& extraEnv, const std::string& logFile) {
    int fd = logFile.empty()
                 ? open("/dev/null", O_WRONLY | O_CLOEXEC)
                 : open(logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    pid_t pid = Spawn(argv, device, extraEnv, fd, fd);
    close(fd);
    return pid;
}

std::optional<int> WaitProcess(pid_t pid, std::chrono::milliseconds timeout) {
    auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int status = 0;
        pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        if (r < 0) return -1;
        if (std::chrono::steady_clock::now() >= end) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void KillProcess(pid_t pid) {
    kill(pid, SIGKILL);
    int status;
    waitpid(pid, &status, 0);
}

std::string ReadFileBytes(const std::string& hostPath) {
    std::ifstream in(hostPath, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool FileExists(const std::string& hostPath) {
    return fs::exists(hostPath);
}

}  // namespace nxtest
