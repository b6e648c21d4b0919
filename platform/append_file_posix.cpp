// Append-only device files on Linux: O_APPEND, so that each write lands whole at the end.
#include <fcntl.h>
#include <unistd.h>

#include <cstring>

#include "platform/append_file.h"
#include "platform/device.h"
#include "platform/internal/system_posix.h"

namespace win {

AppendFile::~AppendFile() {
    if (IsOpen()) close(static_cast<int>(handle_));
}

bool AppendFile::Open(std::u16string_view devicePath) {
    const std::string host = ResolveDevicePath(devicePath);
    auto fd = sys::Open(host, O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW, 0644);
    if (!fd) {
        error_ = host + ": " + std::strerror(fd.error());
        return false;
    }
    handle_ = fd->Release();
    return true;
}

bool AppendFile::Append(std::string_view bytes) {
    if (!IsOpen()) return false;
    auto n = sys::Write(static_cast<int>(handle_), bytes.data(), bytes.size());
    if (n && *n == bytes.size()) return true;
    error_ = n ? "short write" : std::strerror(n.error());
    return false;
}

}  // namespace win
