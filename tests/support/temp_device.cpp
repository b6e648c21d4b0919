#include "tests/support/temp_device.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "platform/device.h"
#include "platform/device_posix.h"
#include "platform/toolhelp.h"
#include "platform/toolhelp_posix.h"

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
