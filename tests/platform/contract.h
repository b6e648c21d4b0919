#pragma once
// What the platform's contract tests need beyond the platform itself, on both platforms: the
// device they run on (a temporary device on Linux, the current drive on Windows, each test
// program a fresh one), a second process (the peer program, platform_peer.cpp) started on it
// and read line by line, and the end of a process that a test started.

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/win_types.h"

namespace nxtest {

using namespace std::chrono_literals;

// The host path of a file or folder of the device ("FlashDisk/Nedix/NX.EXE"; "" is the root).
std::string HostPath(const std::string& relative);
// Writes a device file, creating its folders.
void WriteDeviceFile(const std::string& relative, const std::string& bytes);
// Copies a host file into the device, creating its folders.
void CopyIntoDevice(const std::string& hostFile, const std::string& relative);
// The bytes of a host file; "" when it cannot be read.
std::string ReadHostFile(const std::string& hostPath);
// The names in a device folder, sorted: a test sees that nothing was left behind.
std::vector<std::string> Listing(const std::string& relative);

// A device file opened for writing as the device's programs open it (file.h).
win::HANDLE OpenForWriting(std::u16string_view devicePath);
// Writes the whole text to it; false when it fell short.
bool WriteText(win::HANDLE file, std::string_view text);

// The host path of the peer program.
std::string PeerProgram();

// The peer program started on the device with the arguments, its standard output kept whole
// (lines end with "\n" on both platforms) and its environment the test's with extraEnv
// ("NAME=VALUE") added. When the object goes, a peer still running is killed.
class Peer {
  public:
    // Throws std::runtime_error when the peer cannot be started.
    explicit Peer(const std::vector<std::string>& args,
                  const std::vector<std::string>& extraEnv = {});
    ~Peer();
    Peer(Peer&& other) noexcept;
    Peer& operator=(Peer&&) = delete;

    win::DWORD pid() const;
    // Line n (from 0) of its output once it is whole, waiting up to the timeout; "" when it
    // does not come in time.
    std::string Line(std::size_t n, std::chrono::milliseconds timeout = 10s);
    // Waits up to the timeout for its end: the exit code, nothing while it still runs.
    std::optional<int> Wait(std::chrono::milliseconds timeout = 10s);
    // Ends it at once, as a crash would, and waits for its end.
    void Kill();
    std::string Output();

    struct Running;  // the platform's own

  private:
    std::unique_ptr<Running> running_;
};

// Runs the peer to its end (30 s at most) and returns its output.
std::string RunPeer(const std::vector<std::string>& args,
                    const std::vector<std::string>& extraEnv = {});

// Polls a condition every few milliseconds until it holds or the timeout passes.
template <typename Condition>
bool Eventually(Condition condition, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end) {
        if (condition()) return true;
        std::this_thread::sleep_for(5ms);
    }
    return condition();
}

// Ends a process that the test started through win::CreateProcessW, as a crash would.
void KillProcess(win::DWORD processId);
// Lets the system forget an ended process that the test started (Linux keeps it as a zombie
// until its parent asks; Windows keeps nothing).
void ReapProcess(win::DWORD processId);

}  // namespace nxtest
