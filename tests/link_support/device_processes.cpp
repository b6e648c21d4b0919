#include "tests/link_support/device_processes.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

namespace nxtest {
namespace fs = std::filesystem;

namespace {

template <typename Match>
std::vector<pid_t> ProcessesWhose(Match match) {
    std::vector<pid_t> pids;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/proc", ec)) {
        const std::string name = entry.path().filename();
        if (name.empty() || !std::all_of(name.begin(), name.end(), ::isdigit)) continue;
        std::error_code linkError;
        fs::path exe = fs::read_symlink(entry.path() / "exe", linkError);
        if (linkError) continue;  // gone, a zombie, or not ours to look at
        if (match(exe.string())) pids.push_back(std::stoi(name));
    }
    std::sort(pids.begin(), pids.end());
    return pids;
}

}  // namespace

std::vector<pid_t> ProcessesRunning(const std::string& hostPath) {
    const std::string wanted = fs::weakly_canonical(hostPath).string();
    return ProcessesWhose([&](const std::string& exe) { return exe == wanted; });
}

std::vector<pid_t> ProcessesRunningFrom(const std::string& hostFolder) {
    const std::string prefix = fs::weakly_canonical(hostFolder).string() + "/";
    return ProcessesWhose([&](const std::string& exe) { return exe.rfind(prefix, 0) == 0; });
}

void KillProcessesRunningFrom(const std::string& hostFolder) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (;;) {
        std::vector<pid_t> pids = ProcessesRunningFrom(hostFolder);
        for (pid_t pid : pids) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);  // reaps the ones this process started; others: ECHILD
        }
        if (pids.empty() || std::chrono::steady_clock::now() > end) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

}  // namespace nxtest
