#pragma once
// The measurement program's stand-in: its main thread owns the shared record, takes commands
// from its queue and drives its timers (measurement, notifications, scripted faults); worker
// threads without a queue run beside it.

#include <chrono>
#include <optional>

#include "link/protocol/meas_record.h"
#include "platform/message.h"
#include "tools/nxsim/command_log.h"
#include "tools/nxsim/scenario.h"
#include "tools/nxsim/waiting.h"
#include "tools/nxsim/worker_threads.h"

namespace nxsim {

class MeasSimulator {
  public:
    using Clock = std::chrono::steady_clock;

    // start: the moment the process started, from which the scenario's delays count.
    // waiting: the platform's waiting on the command queue and on a request to end.
    MeasSimulator(const Scenario& scenario, Clock::time_point start, Waiting& waiting);
    ~MeasSimulator();
    MeasSimulator(const MeasSimulator&) = delete;
    MeasSimulator& operator=(const MeasSimulator&) = delete;

    // Opens the log, waits out start_delay_ms, creates the command queue, registers the
    // messages, creates or opens "NXMAP" and "NXMUTEX", writes the scenario's record and
    // notifies, then starts the scenario's worker threads. False (after one line on standard
    // error) on failure, or when asked to stop during the start delay (then *stopped is set).
    bool Open(bool* stopped);

    // Serves commands and timers until asked to stop (a WM_QUIT in the queue counts) or
    // exit_after_ms passes; returns the exit code (0, or 1 when waiting fails). The
    // die_holding_mutex_ms fault ends the process from inside.
    int Run();

  private:
    struct MessageIds {
        win::UINT dataChange = 0, setEdmMode = 0, setParameter = 0, confParameter = 0,
                  listParameter = 0, tiltOver = 0;
    };

    bool RegisterMessages();
    bool OpenSharedRecord();
    void Handle(const win::MSG& msg);
    void HandleEdmCommand(win::WPARAM code);
    void HandleConfParameter(win::WPARAM number);
    // Fires every timer that is due; false when the stand-in is to end.
    bool FireTimers(Clock::time_point now);
    std::optional<Clock::time_point> NextTimer() const;
    // Writes record_ into the shared section under the mutex, then posts "NXDATACHANGE".
    void Rewrite();
    void Notify(win::UINT message, win::WPARAM wParam = 0, win::LPARAM lParam = 0);
    [[noreturn]] void DieHoldingMutex();

    const Scenario& scenario_;
    const Clock::time_point start_;
    Waiting& waiting_;
    MessageIds ids_;
    CommandLog log_;
    MeasRecord record_;
    win::HANDLE section_ = nullptr;
    void* view_ = nullptr;
    win::HANDLE mutex_ = nullptr;
    std::optional<WorkerThreads> workers_;

    std::optional<Clock::time_point> measureDone_, nextNotify_, tiltOver_, exitAt_, dieAt_;
};

}  // namespace nxsim
