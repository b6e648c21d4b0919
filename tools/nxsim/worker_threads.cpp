#include "tools/nxsim/worker_threads.h"

#include <chrono>
#include <cstring>

#include "platform/mutex.h"

namespace nxsim {
namespace {

// Light work, as a sensor thread's: a look at the record fifty times a second.
constexpr std::chrono::milliseconds kWorkPeriod(20);

}  // namespace

WorkerThreads::WorkerThreads(std::size_t count, win::HANDLE mutex, const void* view)
    : mutex_(mutex), view_(view), copies_(count) {
    threads_.reserve(count);
    for (MeasRecord& copy : copies_)
        threads_.emplace_back([this, &copy](std::stop_token stop) { Work(stop, copy); });
}

WorkerThreads::~WorkerThreads() {
    for (std::jthread& thread : threads_) thread.request_stop();
    threads_.clear();  // joins each
}

void WorkerThreads::Work(const std::stop_token& stop, MeasRecord& copy) {
    std::unique_lock sleep(sleepLock_);
    for (;;) {
        // Wakes at once when asked to stop.
        wake_.wait_for(sleep, stop, kWorkPeriod, [] { return false; });
        if (stop.stop_requested()) return;
        sleep.unlock();
        const win::DWORD wait = win::WaitForSingleObject(mutex_, win::INFINITE);
        // An abandoned mutex is this thread's now, and is released like any other.
        if (wait == win::WAIT_OBJECT_0 || wait == win::WAIT_ABANDONED) {
            std::memcpy(copy.bytes.data(), view_, kMeasRecordSize);
            win::ReleaseMutex(mutex_);
        }
        sleep.lock();
    }
}

}  // namespace nxsim
