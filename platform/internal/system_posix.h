#pragma once
// Internal to the Linux services: the one layer between them and the kernel. Each system call
// they make on files, folders and pipes is wrapped here once: an interrupted call is made again,
// and a failure comes back as a value holding its errno, which the service turns into the
// device's error code where its API returns (Fail). The plumbing that device files and the
// runtime folder's objects share is here once too: whole writes, a new file put in place whole,
// and the sweep of what dead programs left behind. A test can make any call fail
// (fault::FailCall, by the name the call has here), as SQLite's tests swap its table of system
// calls for a rigged one.

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "platform/internal/platform_internal.h"

namespace win::sys {

// A move-only owner of a file descriptor.
class UniqueFd {
  public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { Reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int Release() { return std::exchange(fd_, -1); }
    // Closes the descriptor (if any) and keeps fd instead.
    void Reset(int fd = -1) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }

  private:
    int fd_ = -1;
};

// The errno of a failed call; never 0.
struct Errno {
    int value;
};

// What a call gives: its value, or the errno it failed with.
template <typename T = std::monostate>
class [[nodiscard]] Result {
  public:
    Result() = default;  // success, with T's default value
    Result(T value) : value_(std::move(value)) {}
    Result(Errno error) : error_(error.value) {}

    explicit operator bool() const { return error_ == 0; }
    int error() const { return error_; }
    Errno failure() const { return {error_}; }
    T& operator*() { return value_; }
    T* operator->() { return &value_; }

  private:
    T value_{};
    int error_ = 0;
};
using Status = Result<>;

// The device's error code for an errno value (ERROR_GEN_FAILURE for one it has no name for), so
// that a failure keeps its cause: a full disk stays a full disk.
DWORD ErrorCode(int error);

// Fail (platform_internal.h) for a failed call too: `return Fail(status, FALSE);`.
using detail::Fail;
template <typename T, typename U>
T Fail(const Result<U>& failed, T result) {
    return Fail(ErrorCode(failed.error()), result);
}

// The calls, as their manual pages describe them (O_CLOEXEC is added to every open; Stat follows
// a link unless told not to; Map maps shared for reading and writing, anonymous for fd -1).
Result<UniqueFd> Open(const std::string& path, int flags, mode_t mode = 0, int folder = AT_FDCWD);
Result<UniqueFd> OpenMemory(const char* name);  // memfd_create
Result<std::size_t> Read(int fd, void* buffer, std::size_t count);
Result<std::size_t> Write(int fd, const void* bytes, std::size_t count);
Status Lock(int fd, int operation);  // flock
Status Truncate(int fd, off_t size);
Result<struct stat> Stat(const std::string& path, bool followLink = true);
Result<struct stat> FileStat(int fd);
Status MakeFolder(const std::string& path, mode_t mode);
Status MakeFifo(const std::string& path, mode_t mode);
Status Rename(const std::string& from, const std::string& to);
void Unlink(const std::string& path);  // what is not there needs no removing
Result<void*> Map(std::size_t length, int fd, off_t offset = 0);
Result<std::uint64_t> Random();  // getrandom
Status WriteOut(int fd);         // the file's bytes on the disk (sync_file_range, else fsync)
// poll for input until the deadline on CLOCK_MONOTONIC (none: for as long as it takes); false
// when it passed.
Result<bool> WaitReadable(int fd, std::optional<timespec> deadline = std::nullopt);
void SleepUntil(const timespec& deadline);  // on CLOCK_MONOTONIC

// Timed waits run against one deadline on CLOCK_MONOTONIC, so that an interrupted or repeated
// wait never stretches the time asked for: the deadline the milliseconds from now, and the whole
// milliseconds left until one (rounded up, at most INT_MAX; 0 once it has passed).
timespec MonotonicDeadline(DWORD milliseconds);
int MillisecondsUntil(const timespec& deadline);

// Writes all of bytes, at offset when given, else at the file's position; a write that makes no
// progress is a full disk (ENOSPC). written receives the count written, also on failure.
Status WriteAll(int fd, std::string_view bytes, std::optional<off_t> offset = std::nullopt,
                std::size_t* written = nullptr);

// One write to a pipe, which never raises SIGPIPE: a pipe without a reader fails with EPIPE.
Result<std::size_t> WriteToPipe(int fd, const void* bytes, std::size_t count);

// Opens a file (made when missing, mode 0600; no link followed) and locks it with flock's
// operation for as long as the descriptor is open.
Result<UniqueFd> OpenLocked(const std::string& path, int operation);

// The whole file from its start: of an open descriptor, or of a path (no link followed).
Result<std::string> ReadAll(int fd);
Result<std::string> ReadFile(const std::string& path);

// The names in the folder, without "." and ".."; empty when it cannot be read.
std::vector<std::string> FolderEntries(const std::string& folder);

// A new file for folder/name, put in place whole. Its bytes go to a temporary that no one can
// reach through a name planted in advance: unnamed in the folder (O_TMPFILE), or, on a file
// system without unnamed files, under a fresh random name made exclusively without following a
// link. A temporary not put in place is removed; one that a dead writer left (its name says
// whose it was) is removed by the next NewFile in its folder.
class NewFile {
  public:
    static Result<NewFile> Make(const std::string& folder, const std::string& name,
                                mode_t mode = 0666);

    NewFile() = default;
    NewFile(NewFile&&) = default;
    ~NewFile() { Discard(); }

    int fd() const { return fd_.get(); }
    // Moves the file over the target, whatever the name held (a link is replaced, not followed):
    // a reader sees the old file or the new one.
    Status Replace();
    // Links the file in as the target unless the name exists (EEXIST): of two makers of one
    // name, exactly one wins.
    Status Install();
    // Closes the file and removes its temporary name; the target stays as it was.
    void Discard();

  private:
    UniqueFd fd_;
    std::string folder_, name_;
    std::string temp_;  // the temporary's path; empty while it has no name
};

// Opens folder/name (no link followed), or makes it when there is none: a new file (mode 0600)
// is filled by initialise before it is linked in, so that every opener finds it whole, and of two
// makers exactly one wins; created tells whether this call made it.
Result<UniqueFd> OpenOrMake(const std::string& folder, const std::string& name,
                            const std::function<Status(int fd)>& initialise, bool& created);

// Who made an entry of a folder: a process or thread, and its start time when known (which
// tells it from a later one given the same id).
struct Owner {
    pid_t id = 0;
    std::optional<std::uint64_t> startTime;
};

// Removes each entry of the folder whose owner (as ownerOf tells it for the entry's name) no
// longer runs: what dead programs left behind. Entries without an owner stay.
void SweepDeadOwners(const std::string& folder,
                     const std::function<std::optional<Owner>(const std::string&)>& ownerOf);

// For tests: Random gives source's values instead of the kernel's (nullptr: the kernel's again),
// so that a test knows a temporary's name before it is made.
void SetRandomSource(std::uint64_t (*source)());

}  // namespace win::sys
