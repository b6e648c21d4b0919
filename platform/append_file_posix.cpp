// Append-only device files on Linux: O_APPEND, so that each write lands whole at the end.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/append_file.h"
#include "platform/device.h"

namespace win {

AppendFile::~AppendFile() {
    if (IsOpen()) close(static_cast<int>(handle_));
}

bool AppendFile::Open(std::u16string_view devicePath) {
    const std::string host = ResolveDevicePath(devicePath);
    int fd = open(host.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) {
        error_ = host + ": " + std::strerror(errno);
        return false;
    }
    handle_ = fd;
    return true;
}

bool AppendFile::Append(std::string_view bytes) {
    if (!IsOpen()) return false;
    ssize_t n = write(static_cast<int>(handle_), bytes.data(), bytes.size());
    if (n == static_cast<ssize_t>(bytes.size())) return true;
    error_ = n < 0 ? std::strerror(errno) : "short write";
    return false;
}

}  // namespace win
