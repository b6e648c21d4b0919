#include "tests/support/child.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <string_view>
#include <thread>
#include <utility>

#include "tests/support/temp_device.h"

extern char** environ;

namespace nxtest {
namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::string> EnvironmentFor(const TempDevice& device,
                                        const std::vector<std::string>& extraEnv) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        if (std::string_view(*e).starts_with("DEVICE_ROOT=")) continue;
        // A child given the tester's display would show real windows and wait on message
        // boxes; only tests that bring their own display (in extraEnv) get one.
        if (std::string_view(*e).starts_with("DISPLAY=")) continue;
        env.emplace_back(*e);
    }
    env.push_back("DEVICE_ROOT=" + device.root());
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    return env;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (auto& s : strings) out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

// An unnamed file that one stream of the program fills; closed on exec for every other child.
int StreamFile(const char* name) {
    const int fd = memfd_create(name, MFD_CLOEXEC);
    if (fd < 0) throw std::runtime_error("memfd_create failed");
    return fd;
}

std::string ReadWhole(int fd) {
    std::string bytes;
    char buffer[4096];
    for (off_t at = 0;;) {
        const ssize_t n = pread(fd, buffer, sizeof buffer, at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return bytes;
        bytes.append(buffer, static_cast<std::size_t>(n));
        at += n;
    }
}

}  // namespace

Child::Child(const std::vector<std::string>& argv, const TempDevice& device,
             const std::vector<std::string>& extraEnv)
    : out_(StreamFile("nxtest-out")), err_(StreamFile("nxtest-err")), started_(Clock::now()) {
    std::vector<std::string> args = argv, env = EnvironmentFor(device, extraEnv);
    auto argp = Pointers(args), envp = Pointers(env);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out_, 1);
    posix_spawn_file_actions_adddup2(&actions, err_, 2);
    // A process group of its own, so that killing it never reaches the test runner.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attr, 0);
    const int rc = posix_spawn(&pid_, argp[0], &actions, &attr, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (rc != 0) {
        Close();
        throw std::runtime_error("cannot start " + argv.at(0));
    }
}

Child::~Child() {
    Kill();
    Close();
}

Child::Child(Child&& other) noexcept
    : pid_(std::exchange(other.pid_, -1)),
      out_(std::exchange(other.out_, -1)),
      err_(std::exchange(other.err_, -1)),
      started_(other.started_),
      ended_(other.ended_),
      ended_flag_(other.ended_flag_),
      exitCode_(other.exitCode_),
      signal_(other.signal_) {}

void Child::Close() {
    for (int* fd : {&out_, &err_}) {
        if (*fd >= 0) close(*fd);
        *fd = -1;
    }
}

bool Child::Ended() {
    if (ended_flag_ || pid_ <= 0) return true;
    int status = 0;
    const pid_t r = waitpid(pid_, &status, WNOHANG);
    if (r == 0 || (r < 0 && errno == EINTR)) return false;
    ended_ = Clock::now();
    ended_flag_ = true;
    if (r == pid_ && WIFEXITED(status)) exitCode_ = WEXITSTATUS(status);
    if (r == pid_ && WIFSIGNALED(status)) signal_ = WTERMSIG(status);
    return true;
}

std::optional<int> Child::Wait(std::chrono::milliseconds timeout) {
    const auto end = Clock::now() + timeout;
    while (!Ended()) {
        if (Clock::now() >= end) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return exitCode_;
}

void Child::Kill() {
    if (Ended()) return;
    kill(pid_, SIGKILL);
    while (!Ended()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

std::chrono::milliseconds Child::Elapsed() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        (ended_flag_ ? ended_ : Clock::now()) - started_);
}

std::string Child::Output() const {
    return out_ < 0 ? "" : ReadWhole(out_);
}

std::string Child::Errors() const {
    return err_ < 0 ? "" : ReadWhole(err_);
}

std::string Child::Line(std::size_t n, std::chrono::milliseconds timeout) {
    std::string line;
    WaitUntil(
        [&] {
            const std::string text = Output();
            // Only whole lines count: the program may be half-way through writing one.
            std::size_t at = 0;
            for (std::size_t i = 0; i < n; ++i) {
                at = text.find('\n', at);
                if (at == std::string::npos) return false;
                ++at;
            }
            const std::size_t end = text.find('\n', at);
            if (end == std::string::npos) return false;
            line = text.substr(at, end - at);
            return true;
        },
        timeout);
    return line;
}

ProcessResult RunProcess(const std::vector<std::string>& argv, const TempDevice& device,
                         std::chrono::milliseconds timeout,
                         const std::vector<std::string>& extraEnv) {
    Child child(argv, device, extraEnv);
    ProcessResult r;
    if (!child.Wait(timeout)) {
        r.timedOut = true;
        kill(-child.pid(), SIGKILL);
        child.Kill();
    }
    r.exitCode = child.exitCode();
    r.signal = child.signal();
    r.out = child.Output();
    r.err = child.Errors();
    r.elapsed = child.Elapsed();
    return r;
}

}  // namespace nxtest
