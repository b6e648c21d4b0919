// Thread message queues: a named FIFO per thread in the runtime folder. A FIFO holds 4096
// 16-byte records, every record is written whole (below PIPE_BUF) however many threads post,
// and a non-blocking writer fails at once when it is full or nobody reads it.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/fault.h"
#include "platform/internal/error_code.h"
#include "platform/internal/folder_entries.h"
#include "platform/internal/proc_info.h"
#include "platform/internal/runtime_folder.h"
#include "platform/internal/thread_queue.h"
#include "platform/internal/unique_fd.h"
#include "platform/message.h"
#include "platform/message_posix.h"

namespace win {
namespace {

using detail::UniqueFd;

constexpr int kQueueBytes = 64 * 1024;  // 4096 messages

std::string QueuePath(const std::string& folder, DWORD threadId) {
    return folder + "/" + std::to_string(threadId);
}

// Removes the queues of threads that no longer run.
void SweepDeadQueues(const std::string& folder) {
    for (const std::string& name : detail::FolderEntries(folder)) {
        if (name[0] < '0' || name[0] > '9') continue;
        if (!detail::IsRunning(static_cast<pid_t>(std::atol(name.c_str()))))
            unlink((folder + "/" + name).c_str());
    }
}

class OwnQueue {
  public:
    ~OwnQueue() { Destroy(); }

    // Makes the calling thread's queue on its first use; false with errno set when it cannot.
    bool Ensure() {
        if (reader_.valid()) return true;
        const std::string folder = detail::RuntimeSubdirectory("queues");
        if (folder.empty()) return false;
        SweepDeadQueues(folder);
        path_ = QueuePath(folder, static_cast<DWORD>(gettid()));
        // A FIFO left here by a dead thread whose id this thread now has is replaced.
        unlink(path_.c_str());
        if (mkfifo(path_.c_str(), 0600) != 0) return false;
        reader_.Reset(open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
        // Our own writer keeps the reader from ever seeing end-of-file.
        if (reader_.valid()) keeper_.Reset(open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
        struct stat st {};
        if (!keeper_.valid() || fstat(reader_.get(), &st) != 0) {
            const int error = errno;
            Destroy();
            errno = error;
            return false;
        }
        inode_ = st.st_ino;
        if (fcntl(reader_.get(), F_GETPIPE_SZ) < kQueueBytes)
            fcntl(reader_.get(), F_SETPIPE_SZ, kQueueBytes);
        return true;
    }

    void Destroy() {
        if (!reader_.valid()) return;
        struct stat st {};
        if (stat(path_.c_str(), &st) == 0 && st.st_ino == inode_) unlink(path_.c_str());
        reader_.Reset();
        keeper_.Reset();
        filled_ = 0;
    }

    int descriptor() const { return reader_.get(); }

    // Takes the next record; waits for one when wait is set. FALSE when there is none (no
    // wait) or on failure.
    BOOL Take(MSG* msg, bool wait) {
        if (!msg) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        if (!Ensure()) {
            detail::SetLastErrorFromErrno(errno);
            return FALSE;
        }
        for (;;) {
            ssize_t n = read(reader_.get(), record_ + filled_, sizeof record_ - filled_);
            if (n > 0) {
                filled_ += static_cast<std::size_t>(n);
                if (filled_ < sizeof record_) continue;
                std::memcpy(msg, record_, sizeof record_);
                filled_ = 0;
                return TRUE;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno != EAGAIN) break;
            if (!wait) return FALSE;
            pollfd pfd{reader_.get(), POLLIN, 0};
            if (poll(&pfd, 1, -1) < 0 && errno != EINTR) break;
        }
        detail::SetLastErrorFromErrno(errno);
        return FALSE;
    }

  private:
    UniqueFd reader_, keeper_;
    std::string path_;
    ino_t inode_ = 0;
    char record_[sizeof(MSG)] = {};
    std::size_t filled_ = 0;
};

thread_local OwnQueue t_queue;

// Writes one record; a reader that went away between open and write gives EPIPE, whose
// SIGPIPE is kept from the process: blocked for this thread during the write and taken back
// if it came. When the caller already blocks SIGPIPE, a pending one is left alone.
ssize_t WriteWithoutSigpipe(int fd, const void* bytes, std::size_t count) {
    sigset_t pipeOnly, previous;
    sigemptyset(&pipeOnly);
    sigaddset(&pipeOnly, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeOnly, &previous);
    const bool callerBlocks = sigismember(&previous, SIGPIPE) == 1;
    ssize_t n = write(fd, bytes, count);
    int error = errno;
    if (!callerBlocks) {
        if (n < 0 && error == EPIPE) {
            timespec zero{0, 0};
            while (sigtimedwait(&pipeOnly, nullptr, &zero) < 0 && errno == EINTR) {
            }
        }
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    }
    errno = error;
    return n;
}

// The write end of a thread's queue; none when the thread is gone or has no queue. Only FIFOs
// live in the private queue folder, and one without a reader (ENXIO) belongs to no thread.
UniqueFd OpenQueueForPosting(DWORD threadId) {
    const std::string folder = detail::RuntimeSubdirectory("queues");
    if (folder.empty()) return {};
    return UniqueFd(open(QueuePath(folder, threadId).c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
}

}  // namespace

namespace detail {

bool EnsureOwnQueue() {
    return t_queue.Ensure();
}

BOOL PostToThread(DWORD threadId, const MSG& message) {
    UniqueFd queue = OpenQueueForPosting(threadId);
    if (!queue.valid()) {
        SetLastError(ERROR_INVALID_THREAD_ID);
        return FALSE;
    }
    ssize_t n;
    do {
        n = WriteWithoutSigpipe(queue.get(), &message, sizeof message);
    } while (n < 0 && errno == EINTR);
    if (n == static_cast<ssize_t>(sizeof message)) return TRUE;
    SetLastError(n < 0 && errno == EAGAIN ? ERROR_NOT_ENOUGH_QUOTA : ERROR_INVALID_THREAD_ID);
    return FALSE;
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
