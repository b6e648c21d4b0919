#include "tests/platform/peer.h"

#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sstream>

namespace nxtest {

const TempDevice& Device() {
    return *CurrentDevice();
}

ProcessResult RunPeer(const std::vector<std::string>& args, const TempDevice& device,
                      const std::vector<std::string>& extraEnv) {
    std::vector<std::string> argv{NX_PLATFORM_PEER};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProcess(argv, device, std::chrono::seconds(30), extraEnv);
}

Peer::Peer(const std::vector<std::string>& args, const TempDevice& device,
           const std::string& program) {
    char pattern[] = "/tmp/nxpeer-XXXXXX";
    int fd = mkstemp(pattern);
    if (fd >= 0) close(fd);
    log_ = pattern;
    std::vector<std::string> argv{program.empty() ? std::string(NX_PLATFORM_PEER) : program};
    argv.insert(argv.end(), args.begin(), args.end());
    pid_ = StartProcess(argv, device, {}, log_);
}

Peer::~Peer() {
    Kill();
    unlink(log_.c_str());
}

void Peer::Kill() {
    if (reaped_) return;
    KillProcess(pid_);
    reaped_ = true;
}

std::string Peer::Line(std::size_t n, std::chrono::milliseconds timeout) {
    std::string line;
    WaitUntil(
        [&] {
            std::istringstream in(ReadFileBytes(log_));
            std::string text = in.str();
            // Only whole lines count: the peer may be half-way through writing one.
            for (std::size_t i = 0, at = 0; at < text.size(); ++i) {
                std::size_t end = text.find('\n', at);
                if (end == std::string::npos) return false;
                if (i == n) {
                    line = text.substr(at, end - at);
                    return true;
                }
                at = end + 1;
            }
            return false;
        },
        timeout);
    return line;
}

std::optional<int> Peer::Wait(std::chrono::milliseconds timeout) {
    auto result = WaitProcess(pid_, timeout);
    if (result) reaped_ = true;
    return result;
}

}  // namespace nxtest
