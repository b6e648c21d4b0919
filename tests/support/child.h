#pragma once
// Test support: the one way a test starts a program and talks to it. The program runs on a
// device (DEVICE_ROOT names it) in a process group of its own, reads /dev/null, and gets the
// tester's environment without DISPLAY, so it runs headless unless extraEnv gives it a
// display. Its standard output and standard error are each kept whole in an unnamed file that
// the test reads whenever it likes; they never fill up and never block the program.

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace nxtest {

class TempDevice;

// A program started in the background (argv[0] its host path). When the object goes, a program
// still running is killed (SIGKILL) and reaped.
class [[nodiscard]] Child {
  public:
    // Throws std::runtime_error when the program cannot be started.
    Child(const std::vector<std::string>& argv, const TempDevice& device,
          const std::vector<std::string>& extraEnv = {});
    ~Child();
    Child(Child&& other) noexcept;

    pid_t pid() const { return pid_; }

    // True once the program has ended; reaps it, never waits. A program that someone else
    // reaped (a device's clean-up) counts as ended, its status unknown.
    bool Ended();
    // Waits up to the timeout for the end: the exit code, -1 when a signal ended it, nothing
    // while it still runs.
    std::optional<int> Wait(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // Sends SIGKILL and reaps; does nothing once the program has ended.
    void Kill();

    int exitCode() const { return exitCode_; }  // -1 unless it exited
    int signal() const { return signal_; }      // the signal that ended it, or 0
    // From the start until the end, or until now while it runs.
    std::chrono::milliseconds Elapsed() const;

    std::string Output() const;  // standard output so far
    std::string Errors() const;  // standard error so far
    // Line n (from 0) of standard output once it is whole, waiting up to the timeout; "" when
    // it does not come in time.
    std::string Line(std::size_t n, std::chrono::milliseconds timeout = std::chrono::seconds(10));

  private:
    void Close();

    pid_t pid_ = -1;
    int out_ = -1, err_ = -1;
    std::chrono::steady_clock::time_point started_, ended_;
    bool ended_flag_ = false;
    int exitCode_ = -1, signal_ = 0;
};

// What a program run to its end did.
struct ProcessResult {
    int exitCode = -1;  // -1 when a signal ended it or it timed out
    int signal = 0;     // the signal that ended it, or 0
    bool timedOut = false;
    std::string out, err;
    std::chrono::milliseconds elapsed{0};
};

// Runs a program as Child does and waits for its end. After the timeout the program and its
// process group (what it started and left in it) are killed.
ProcessResult RunProcess(const std::vector<std::string>& argv, const TempDevice& device,
                         std::chrono::milliseconds timeout = std::chrono::seconds(30),
                         const std::vector<std::string>& extraEnv = {});

}  // namespace nxtest
