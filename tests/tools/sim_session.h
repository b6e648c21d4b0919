#pragma once
// The test process as the measurement program's client: it installs nxsim as NX.EXE on the
// test's device, starts it, and talks to it through the device's services, as the bridge does.

#include <sys/types.h>

#include <chrono>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "link/protocol/meas_record.h"
#include "platform/message.h"
#include "tests/support/child.h"
#include "tests/support/temp_device.h"

namespace nxtest {

using namespace std::chrono_literals;

// Host paths of the built device tools.
std::string ToolPath(const std::string& name);

// The device this test program runs on (set up by its main).
const TempDevice& ToolsDevice();

class SimSession {
  public:
    // Installs nxsim as \FLASHDISK\NEDIX\NX.EXE with the scenario text in iniName (no file
    // at all when the text is empty), and opens a top-level window of the calling thread so that
    // the stand-in's notifications reach it.
    explicit SimSession(const std::string& scenario, const std::string& iniName = "NXSIM.INI");
    ~SimSession();  // stops the stand-in (SIGKILL if need be) and removes the window

    // Starts the stand-in and waits for its first "NXDATACHANGE" and its first thread.
    // False when it does not come up in time.
    bool Start();
    // Starts it without waiting for anything.
    void Launch();

    pid_t pid() const { return standIn_ ? standIn_->pid() : -1; }
    // What the stand-in wrote to its standard error so far.
    std::string Errors() const { return standIn_ ? standIn_->Errors() : ""; }
    win::DWORD thread() const { return thread_; }

    // Registers the name and posts it to the stand-in's first thread.
    bool Post(std::u16string_view name, win::WPARAM wParam, win::LPARAM lParam = 0);
    // The next message with this registered name to this session's window; earlier messages
    // of other names are kept. Copies of a broadcast that went to other windows of the thread
    // (another session's) are dropped.
    std::optional<win::MSG> WaitFor(std::u16string_view name,
                                    std::chrono::milliseconds timeout = 5s);
    // Every message to this session's window received within the time, in order (kept ones
    // first); with allWindows, the messages to the thread's other windows too.
    std::vector<win::MSG> Collect(std::chrono::milliseconds duration, bool allWindows = false);
    // A copy of the shared record taken under the mutex.
    MeasRecord ReadRecord();
    // Sends SIGTERM and waits; the exit code, or nothing when it did not end in time.
    std::optional<int> Stop(std::chrono::milliseconds timeout = 3s);
    // Waits for the stand-in to end by itself: its exit code, -1 when a signal ended it, or
    // nothing when it did not end in time.
    std::optional<int> WaitExit(std::chrono::milliseconds timeout = 3s);

  private:
    std::optional<win::MSG> Receive(std::chrono::steady_clock::time_point until);

    win::HWND window_ = 0;
    win::HANDLE section_ = nullptr, mutex_ = nullptr;
    void* view_ = nullptr;
    std::optional<Child> standIn_;
    win::DWORD thread_ = 0;
    std::deque<win::MSG> kept_;
};

// The threads of the device's process with this pid, in the order the device lists them.
std::vector<win::DWORD> ThreadsOf(pid_t pid);
// The first of them, or 0.
win::DWORD FirstThreadOf(pid_t pid);

}  // namespace nxtest
