// Thread message queues: a named FIFO per thread in the runtime folder. A FIFO holds 4096
// 16-byte records, every record is written whole (below PIPE_BUF) however many threads post,
// and a non-blocking writer fails at once when it is full or nobody reads it.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "platform/fault.h"
#include "platform/internal/runtime_folder.h"
#include "platform/internal/system_posix.h"
#include "platform/internal/thread_queue.h"
#include "platform/message.h"
#include "platform/message_posix.h"

namespace win {
namespace {

using sys::Fail;
using sys::UniqueFd;

constexpr int kQueueBytes = 64 * 1024;  // 4096 messages

std::string QueuePath(const std::string& folder, DWORD threadId) {
    return folder + "/" + std::to_string(threadId);
}

// A queue's owner: the thread it is named after.
std::optional<sys::Owner> QueueOwner(const std::string& name) {
    if (name[0] < '0' || name[0] > '9') return std::nullopt;
    return sys::Owner{static_cast<pid_t>(std::atol(name.c_str())), std::nullopt};
}

class OwnQueue {
  public:
    ~OwnQueue() { Destroy(); }

    // Makes the calling thread's queue on its first use.
    sys::Status Ensure() {
        if (reader_.valid()) return {};
        auto folder = detail::RuntimeSubdirectory("queues");
        if (!folder) return folder.failure();
        sys::SweepDeadOwners(*folder, QueueOwner);
        path_ = QueuePath(*folder, static_cast<DWORD>(gettid()));
        // A FIFO left here by a dead thread whose id this thread now has is replaced.
        sys::Unlink(path_);
        sys::Status made = sys::MakeFifo(path_, 0600);
        auto reader = made ? sys::Open(path_, O_RDONLY | O_NONBLOCK) : made.failure();
        // Our own writer keeps the reader from ever seeing end-of-file.
        auto keeper = reader ? sys::Open(path_, O_WRONLY | O_NONBLOCK) : reader.failure();
        auto st = keeper ? sys::FileStat(reader->get()) : keeper.failure();
        if (!st) {
            sys::Unlink(path_);
            return st.failure();
        }
        reader_ = std::move(*reader);
        keeper_ = std::move(*keeper);
        inode_ = st->st_ino;
        if (fcntl(reader_.get(), F_GETPIPE_SZ) < kQueueBytes)
            fcntl(reader_.get(), F_SETPIPE_SZ, kQueueBytes);
        return {};
    }

    void Destroy() {
        if (!reader_.valid()) return;
        if (auto st = sys::Stat(path_); st && st->st_ino == inode_) sys::Unlink(path_);
        reader_.Reset();
        keeper_.Reset();
        filled_ = 0;
    }

    int descriptor() const { return reader_.get(); }

    // Takes the next record; waits for one when wait is set. FALSE when there is none (no
    // wait) or on failure.
    BOOL Take(MSG* msg, bool wait) {
        if (!msg) return Fail(ERROR_INVALID_PARAMETER, FALSE);
        if (sys::Status made = Ensure(); !made) return Fail(made, FALSE);
        for (;;) {
            auto n = sys::Read(reader_.get(), record_ + filled_, sizeof record_ - filled_);
            if (n && *n > 0) {
                filled_ += *n;
                if (filled_ < sizeof record_) continue;
                std::memcpy(msg, record_, sizeof record_);
                filled_ = 0;
                return TRUE;
            }
            if (!n && n.error() != EAGAIN) return Fail(n, FALSE);
            if (!wait) return FALSE;
            if (auto ready = sys::WaitReadable(reader_.get()); !ready) return Fail(ready, FALSE);
        }
    }

  private:
    UniqueFd reader_, keeper_;
    std::string path_;
    ino_t inode_ = 0;
    char record_[sizeof(MSG)] = {};
    std::size_t filled_ = 0;
};

thread_local OwnQueue t_queue;

}  // namespace

namespace detail {

sys::Status EnsureOwnQueue() {
    return t_queue.Ensure();
}

BOOL PostToThread(DWORD threadId, const MSG& message) {
    // The write end of the thread's queue; none when the thread is gone or has no queue. Only
    // FIFOs live in the private queue folder, and one without a reader (ENXIO) belongs to no
    // thread.
    auto folder = detail::RuntimeSubdirectory("queues");
    auto queue =
        folder ? sys::Open(QueuePath(*folder, threadId), O_WRONLY | O_NONBLOCK) : folder.failure();
    if (!queue) return Fail(ERROR_INVALID_THREAD_ID, FALSE);
    auto n = sys::WriteToPipe(queue->get(), &message, sizeof message);
    if (n && *n == sizeof message) return TRUE;
    return Fail(!n && n.error() == EAGAIN ? ERROR_NOT_ENOUGH_QUOTA : ERROR_INVALID_THREAD_ID,
                FALSE);
}

}  // namespace detail

BOOL PostThreadMessageW(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
    if (fault::ShouldFail(fault::Op::PostMessage, ERROR_GEN_FAILURE)) return FALSE;
    return detail::PostToThread(threadId, MSG{0, message, wParam, lParam});
}

BOOL GetMessageW(MSG* msg) {
    return t_queue.Take(msg, true);
}

BOOL PeekMessageW(MSG* msg) {
    return t_queue.Take(msg, false);
}

int GetQueueDescriptor() {
    return t_queue.Ensure() ? t_queue.descriptor() : -1;
}

void DestroyThreadQueue() {
    t_queue.Destroy();
}

}  // namespace win
