#pragma once
// A thread of the test that stands where the measurement program's command thread would: it
// owns a message queue and records every message posted to it.

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/message.h"

namespace nxtest {

class RecordingQueue {
  public:
    // Starts the thread; its queue exists when the constructor returns.
    RecordingQueue();
    // Posts WM_QUIT to the thread and joins it.
    ~RecordingQueue();
    RecordingQueue(const RecordingQueue&) = delete;
    RecordingQueue& operator=(const RecordingQueue&) = delete;

    win::DWORD threadId() const { return threadId_; }

    // Every message posted before this call (from the calling thread), in order, and forgets
    // them. Messages from one sender arrive in order, so a marker posted now comes after all
    // of them.
    std::vector<win::MSG> Take();

  private:
    void Run();

    win::DWORD threadId_ = 0;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<win::MSG> messages_;
    int markersSeen_ = 0;
    int markersPosted_ = 0;
    bool ready_ = false;
    std::thread thread_;  // started in the constructor body, once every other member exists
};

}  // namespace nxtest
