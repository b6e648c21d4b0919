// A helper of the fault campaign: what a process can reach of a device's kernel objects. Run on
// the device (DEVICE_ROOT), as the device's user or as another one:
//
//   other_user_probe THREAD_ID [HOST_PATH...]
//
// prints one line each: "record HZ" (the horizontal angle in the section "NXMAP" as this
// process opens it), "post OK" (1 when "NXSETEDMMODE" 99 could be posted to THREAD_ID), and
// "open PATH ERRNO" for each host path (0 when it could be opened: folders are listed, FIFOs
// opened for writing without blocking, other files read).
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "platform/device.h"
#include "platform/device_posix.h"
#include "platform/message.h"
#include "platform/section.h"

namespace {

int TryOpen(const char* path) {
    struct stat st {};
    if (lstat(path, &st) != 0) return errno;
    if (S_ISDIR(st.st_mode)) {
        DIR* dir = opendir(path);
        if (!dir) return errno;
        closedir(dir);
        return 0;
    }
    int fd = open(path, S_ISFIFO(st.st_mode) ? O_WRONLY | O_NONBLOCK : O_RDONLY);
    if (fd < 0) return errno;
    close(fd);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: other_user_probe THREAD_ID [HOST_PATH...]\n");
        return 2;
    }
    std::int32_t hz = 0;
    win::HANDLE section = win::CreateFileMappingW(win::INVALID_HANDLE_VALUE, nullptr,
                                                  win::PAGE_READWRITE, 0, 120, u"NXMAP");
    if (section && section != win::INVALID_HANDLE_VALUE) {
        if (auto* view = static_cast<std::uint8_t*>(
                win::MapViewOfFile(section, win::FILE_MAP_ALL_ACCESS, 0, 0, 0))) {
            hz = static_cast<std::int32_t>(view[5] | view[6] << 8 | view[7] << 16 |
                                           static_cast<std::uint32_t>(view[8]) << 24);
            win::UnmapViewOfFile(view);
        }
        win::CloseHandle(section);
    }
    std::printf("record %d\n", hz);
    auto thread = static_cast<win::DWORD>(std::strtoul(argv[1], nullptr, 10));
    win::UINT command = win::RegisterWindowMessageW(u"NXSETEDMMODE");
    std::printf("post %d\n", command ? win::PostThreadMessageW(thread, command, 99, 0) : 0);
    for (int i = 2; i < argc; ++i) std::printf("open %s %d\n", argv[i], TryOpen(argv[i]));
    std::printf("runtime %s\n", win::RuntimeDirectory().c_str());
    return 0;
}
