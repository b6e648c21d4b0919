// The device of the contract tests, through the host's file system on both platforms: its root
// is the platform's DeviceRootHostPath.
#include "tests/platform/contract.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/device.h"
#include "platform/file.h"

namespace nxtest {
namespace fs = std::filesystem;

std::string HostPath(const std::string& relative) {
    const fs::path root(win::DeviceRootHostPath());
    return (relative.empty() ? root : root / relative).string();
}

void WriteDeviceFile(const std::string& relative, const std::string& bytes) {
    const fs::path path(HostPath(relative));
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

void CopyIntoDevice(const std::string& hostFile, const std::string& relative) {
    const fs::path path(HostPath(relative));
    fs::create_directories(path.parent_path());
    fs::copy_file(hostFile, path, fs::copy_options::overwrite_existing);
}

std::string ReadHostFile(const std::string& hostPath) {
    std::ifstream in(hostPath, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> Listing(const std::string& relative) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(HostPath(relative)))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

win::HANDLE OpenForWriting(std::u16string_view devicePath) {
    return win::CreateFileW(devicePath, win::GENERIC_WRITE, 0, nullptr, win::CREATE_ALWAYS,
                            win::FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool WriteText(win::HANDLE file, std::string_view text) {
    win::DWORD written = 0;
    return win::WriteFile(file, text.data(), static_cast<win::DWORD>(text.size()), &written,
                          nullptr) &&
           written == text.size();
}

std::string RunPeer(const std::vector<std::string>& args,
                    const std::vector<std::string>& extraEnv) {
    Peer peer(args, extraEnv);
    if (!peer.Wait(30s)) peer.Kill();
    return peer.Output();
}

}  // namespace nxtest
