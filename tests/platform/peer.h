#pragma once
// Helpers for the platform tests: the test program's device and the peer program.

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/temp_device.h"

namespace nxtest {

// The device this test program runs on.
const TempDevice& Device();

// Runs the peer with the arguments to its end on a device, capturing its output.
ProcessResult RunPeer(const std::vector<std::string>& args, const TempDevice& device = Device(),
                      const std::vector<std::string>& extraEnv = {});

// The peer running in the background; killed and reaped when the object goes.
class Peer {
  public:
    explicit Peer(const std::vector<std::string>& args, const TempDevice& device = Device(),
                  const std::string& program = {});
    ~Peer();
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;

    pid_t pid() const { return pid_; }
    // Output line n (from 0), waiting for it; empty when it does not come in time.
    std::string Line(std::size_t n, std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // Waits for the end; nullopt on timeout.
    std::optional<int> Wait(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    void Kill();

  private:
    pid_t pid_ = -1;
    bool reaped_ = false;
    std::string log_;
};

}  // namespace nxtest
