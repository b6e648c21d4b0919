#include "tools/nxsim/command_log.h"

#include <fcntl.h>
#include <unistd.h>

#include "platform/device.h"
#include "platform/unicode.h"

namespace nxsim {

CommandLog::~CommandLog() {
    if (fd_ >= 0) close(fd_);
}

bool CommandLog::Open(std::string_view devicePath) {
    if (devicePath.empty()) return true;
    std::string host = win::ResolveDevicePath(win::Utf8ToUtf16(devicePath));
    fd_ = open(host.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0644);
    return fd_ >= 0;
}

void CommandLog::Append(std::string_view name, win::WPARAM wParam, win::LPARAM lParam) {
    if (fd_ < 0) return;
    std::string line =
        std::string(name) + " " + std::to_string(wParam) + " " + std::to_string(lParam) + "\n";
    // A short write to a local file means a full disk; the log is best effort.
    [[maybe_unused]] ssize_t n = write(fd_, line.data(), line.size());
}

}  // namespace nxsim
