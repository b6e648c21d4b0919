#include "tests/dialog/recording_queue.h"

#include <chrono>
#include <stdexcept>

#include "platform/message_posix.h"
#include "platform/process.h"
#include "platform/window.h"

namespace nxtest {

namespace {

constexpr win::UINT kMarker = win::WM_USER + 0x3A7;

}  // namespace

RecordingQueue::RecordingQueue() {
    thread_ = std::thread([this] { Run(); });
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return ready_; });
}

RecordingQueue::~RecordingQueue() {
    win::PostThreadMessageW(threadId_, win::WM_QUIT, 0, 0);
    thread_.join();
}

void RecordingQueue::Run() {
    win::MSG msg;
    win::PeekMessageW(&msg);  // makes the queue
    {
        std::lock_guard lock(mutex_);
        threadId_ = win::GetCurrentThreadId();
        ready_ = true;
    }
    changed_.notify_all();
    while (win::GetMessageW(&msg) && msg.message != win::WM_QUIT) {
        std::lock_guard lock(mutex_);
        if (msg.message == kMarker) {
            ++markersSeen_;
        } else {
            messages_.push_back(msg);
        }
        changed_.notify_all();
    }
    win::DestroyThreadQueue();
}

std::vector<win::MSG> RecordingQueue::Take() {
    std::unique_lock lock(mutex_);
    const int marker = ++markersPosted_;
    if (!win::PostThreadMessageW(threadId_, kMarker, 0, 0)) {
        throw std::runtime_error("the recording queue refused its marker");
    }
    if (!changed_.wait_for(lock, std::chrono::seconds(10),
                           [&] { return markersSeen_ >= marker; })) {
        throw std::runtime_error("the recording queue did not see its marker");
    }
    std::vector<win::MSG> taken;
    taken.swap(messages_);
    return taken;
}

}  // namespace nxtest
