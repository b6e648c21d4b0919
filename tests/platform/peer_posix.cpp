// The peer on Linux: a child process of the test program on its temporary device.
#include <signal.h>
#include <sys/wait.h>

#include "tests/platform/contract.h"
#include "tests/support/child.h"
#include "tests/support/temp_device.h"

namespace nxtest {

struct Peer::Running {
    Child child;
};

std::string PeerProgram() {
    return NX_PLATFORM_PEER;
}

Peer::Peer(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv) {
    std::vector<std::string> argv = args;
    argv.insert(argv.begin(), PeerProgram());
    running_.reset(new Running{Child(argv, *CurrentDevice(), extraEnv)});
}

Peer::~Peer() = default;
Peer::Peer(Peer&& other) noexcept = default;

win::DWORD Peer::pid() const {
    return static_cast<win::DWORD>(running_->child.pid());
}

std::string Peer::Line(std::size_t n, std::chrono::milliseconds timeout) {
    return running_->child.Line(n, timeout);
}

std::optional<int> Peer::Wait(std::chrono::milliseconds timeout) {
    return running_->child.Wait(timeout);
}

void Peer::Kill() {
    running_->child.Kill();
}

std::string Peer::Output() {
    return running_->child.Output();
}

void KillProcess(win::DWORD processId) {
    kill(static_cast<pid_t>(processId), SIGKILL);
}

void ReapProcess(win::DWORD processId) {
    waitpid(static_cast<pid_t>(processId), nullptr, 0);
}

}  // namespace nxtest
