#include "tools/nxsetup/tool_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/device.h"
#include "platform/unicode.h"

namespace nxtool {

int AppendToolLine(int argc, char** argv) {
    std::string name = argc > 0 ? argv[0] : "";
    if (std::size_t slash = name.find_last_of('/'); slash != std::string::npos)
        name.erase(0, slash + 1);
    std::string line = name;
    for (int i = 1; i < argc; ++i) line += std::string(" ") + argv[i];
    line += "\n";

    std::string host = win::ResolveDevicePath(win::Utf8ToUtf16(kToolLogPath));
    int fd = open(host.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) {
        std::fprintf(stderr, "%s: cannot open %s: %s\n", name.c_str(), host.c_str(),
                     std::strerror(errno));
        return 1;
    }
    ssize_t written = write(fd, line.data(), line.size());
    int error = errno;
    close(fd);
    if (written != static_cast<ssize_t>(line.size())) {
        std::fprintf(stderr, "%s: cannot write %s: %s\n", name.c_str(), host.c_str(),
                     written < 0 ? std::strerror(error) : "short write");
        return 1;
    }
    return 0;
}

}  // namespace nxtool
