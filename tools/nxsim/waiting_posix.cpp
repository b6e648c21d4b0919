// The stand-in's waiting on Linux: the queue's descriptor and a signalfd for SIGTERM and
// SIGINT, polled together.
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "platform/message.h"
#include "platform/message_posix.h"
#include "tools/nxsim/waiting.h"

namespace nxsim {

Waiting::Waiting() {
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    if (sigprocmask(SIG_BLOCK, &stopSignals, nullptr) == 0)
        stopFd_ = signalfd(-1, &stopSignals, SFD_CLOEXEC | SFD_NONBLOCK);
    if (stopFd_ < 0) std::fprintf(stderr, "nxsim: signalfd: %s\n", std::strerror(errno));
}

Waiting::~Waiting() {
    if (queueCreated_) win::DestroyThreadQueue();
    if (stopFd_ >= 0) close(stopFd_);
}

bool Waiting::Failed() const {
    return stopFd_ < 0;
}

bool Waiting::Pause(int milliseconds) {
    pollfd stop{stopFd_, POLLIN, 0};
    int n;
    do {
        n = poll(&stop, 1, milliseconds);
    } while (n < 0 && errno == EINTR);
    return !(n > 0 && (stop.revents & POLLIN));
}

bool Waiting::CreateQueue() {
    win::MSG ignored;
    win::PeekMessageW(&ignored);
    queueCreated_ = true;
    if (win::GetQueueDescriptor() >= 0) return true;
    std::fprintf(stderr, "nxsim: cannot create the command queue\n");
    return false;
}

Waiting::Event Waiting::Wait(int timeoutMs) {
    pollfd fds[2] = {{win::GetQueueDescriptor(), POLLIN, 0}, {stopFd_, POLLIN, 0}};
    int n = poll(fds, 2, timeoutMs);
    if (n < 0 && errno != EINTR) {
        std::fprintf(stderr, "nxsim: poll: %s\n", std::strerror(errno));
        return Event::Failed;
    }
    if (n > 0 && (fds[1].revents & POLLIN)) return Event::Stop;
    return n > 0 ? Event::Message : Event::Timeout;
}

std::string OwnFolder() {
    std::error_code ec;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : self.parent_path().string();
}

void EndAbruptly() {
    raise(SIGKILL);
    _exit(137);  // not reached: SIGKILL cannot be caught or blocked
}

}  // namespace nxsim
