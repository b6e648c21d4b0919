#include "tests/link/held_resources.h"

#include <filesystem>
#include <fstream>

#include "platform/device.h"
#include "platform/device_posix.h"
#include "platform/message.h"
#include "platform/mutex.h"
#include "platform/section.h"
#include "platform/toolhelp.h"

namespace nxtest {
namespace fs = std::filesystem;

HeldResources CountHeldResources() {
    const std::string& runtime = win::RuntimeDirectory();
    HeldResources held;
    std::error_code ec;
    for (const auto& fd : fs::directory_iterator("/proc/self/fd", ec)) {
        std::error_code linkError;
        fs::path target = fs::read_symlink(fd.path(), linkError);
        if (!linkError && target.string().find(runtime) != std::string::npos) ++held.descriptors;
    }
    std::ifstream maps("/proc/self/maps");
    for (std::string line; std::getline(maps, line);) {
        if (line.find(runtime) != std::string::npos) ++held.mappings;
    }
    return held;
}

std::string Describe(const HeldResources& held) {
    return std::to_string(held.descriptors) + " descriptors, " + std::to_string(held.mappings) +
           " mappings";
}

void WarmUpLinkServices() {
    win::RegisterWindowMessageW(u"NXTESTWARMUP");
    for (win::DWORD kind : {win::TH32CS_SNAPPROCESS, win::TH32CS_SNAPTHREAD}) {
        win::HANDLE snapshot = win::CreateToolhelp32Snapshot(kind, 0);
        if (snapshot != win::INVALID_HANDLE_VALUE) win::CloseToolhelp32Snapshot(snapshot);
    }
    win::HANDLE section = win::CreateFileMappingW(win::INVALID_HANDLE_VALUE, nullptr,
                                                  win::PAGE_READWRITE, 0, 120, u"NXTESTWARMUP");
    if (section) {
        void* view = win::MapViewOfFile(section, win::FILE_MAP_ALL_ACCESS, 0, 0, 0);
        if (view) win::UnmapViewOfFile(view);
        win::CloseHandle(section);
    }
    win::HANDLE mutex = win::CreateMutexW(nullptr, win::FALSE, u"NXTESTWARMUP");
    if (mutex) {
        win::WaitForSingleObject(mutex, win::INFINITE);
        win::ReleaseMutex(mutex);
        win::CloseHandle(mutex);
    }
}

}  // namespace nxtest
