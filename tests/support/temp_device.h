#pragma once
// Test support: a temporary device, and small helpers for reading it (programs are started on
// it with tests/support/child.h).

#include <time.h>

#include <chrono>
#include <string>

namespace nxtest {

// A fresh device root under /tmp. When the object goes, the device's processes are killed and
// reaped, and the root and the device's runtime folder are removed. Spared are this process
// and its children that run a program from outside the device (the test program's own helpers,
// such as an X server, which inherit DEVICE_ROOT without being the device's programs).
class TempDevice {
  public:
    TempDevice();
    ~TempDevice();
    TempDevice(const TempDevice&) = delete;
    TempDevice& operator=(const TempDevice&) = delete;

    const std::string& root() const { return root_; }
    // Host path of a file inside the device ("FLASHDISK/NEDIX/NX.EXE"); folders are not created.
    std::string Path(const std::string& relative) const { return root_ + "/" + relative; }
    // Writes a file inside the device, creating its folders.
    void WriteFile(const std::string& relative, const std::string& bytes) const;
    // Copies a host file into the device (mode kept), creating its folders.
    void CopyIn(const std::string& hostFile, const std::string& relative) const;

  private:
    std::string root_;
};

// Points this process at the device (sets DEVICE_ROOT). The platform reads DEVICE_ROOT once per
// process, so in-process tests call this before their first platform call, or use
// DeviceTestMain.
void UseDevice(const TempDevice& device);

// The device last passed to UseDevice (the test program's own device under the device test
// main), or nullptr.
const TempDevice* CurrentDevice();

std::string ReadFileBytes(const std::string& hostPath);
bool FileExists(const std::string& hostPath);

// Polls a condition every few milliseconds until it holds or the timeout passes.
template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds timeout) {
    auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end) {
        if (condition()) return true;
        struct timespec ts {
            0, 5'000'000
        };
        nanosleep(&ts, nullptr);
    }
    return condition();
}

}  // namespace nxtest
