#pragma once
// The stand-in's worker threads. A real measurement program runs sensor and housekeeping
// threads beside the main thread that takes its commands; like theirs, these have no message
// queue (a command posted to one of them goes nowhere) and take "NXMUTEX" to look at the shared
// record, so they contend for it with the main thread and with the program's clients.

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <stop_token>
#include <thread>
#include <vector>

#include "link/protocol/meas_record.h"
#include "platform/win_types.h"

namespace nxsim {

class WorkerThreads {
  public:
    // Starts count threads; each copies the record at view out under mutex every few
    // milliseconds. mutex and view must stay valid until the object is destroyed. The device
    // lists a process's main thread first, so these never stand where a client looks for the
    // thread that takes commands.
    WorkerThreads(std::size_t count, win::HANDLE mutex, const void* view);
    // Stops every thread and waits for it; none holds the mutex afterwards.
    ~WorkerThreads();
    WorkerThreads(const WorkerThreads&) = delete;
    WorkerThreads& operator=(const WorkerThreads&) = delete;

  private:
    void Work(const std::stop_token& stop, MeasRecord& copy);

    const win::HANDLE mutex_;
    const void* const view_;
    std::vector<MeasRecord> copies_;  // one per thread: what it last saw
    std::mutex sleepLock_;
    std::condition_variable_any wake_;
    std::vector<std::jthread> threads_;  // last, so that they end before what they use goes
};

}  // namespace nxsim
