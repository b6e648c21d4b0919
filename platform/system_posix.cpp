// The system layer of the Linux services: each call made here once.
#include "platform/internal/system_posix.h"

#include <dirent.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/random.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "platform/fault.h"
#include "platform/internal/proc_info.h"

namespace win::sys {
namespace {

std::atomic<std::uint64_t (*)()> g_randomSource{nullptr};

// The one place where an interrupted call is made again.
template <typename Body>
auto Retry(Body body) {
    decltype(body()) result;
    do {
        result = body();
    } while (result == -1 && errno == EINTR);
    return result;
}

// Every call goes through here, and a fault injected for it (fault::FailCall) fails it without
// making it. Gives what the call gives: -1 with errno on failure.
template <typename Body>
auto Perform(std::string_view call, Body body) {
    if (const int error = fault::CallError(call)) {
        errno = error;
        return decltype(body())(-1);
    }
    return Retry(body);
}

Status Check(long result) {
    if (result == -1) return Errno{errno};
    return {};
}

template <typename T>
Result<T> Counted(long result) {
    if (result < 0) return Errno{errno};
    return static_cast<T>(result);
}

// A temporary's name: ".NAME.nxtmp.PID.RANDOM". The writer's process id says whose it is; the
// 64 random bits keep anyone from naming it in advance.
constexpr std::string_view kTempMark = ".nxtmp.";
constexpr int kNamingAttempts = 8;

Result<std::string> TempPath(const std::string& folder, const std::string& name) {
    Result<std::uint64_t> random = Random();
    if (!random) return random.failure();
    char suffix[48];
    std::snprintf(suffix, sizeof suffix, "%d.%016llx", static_cast<int>(getpid()),
                  static_cast<unsigned long long>(*random));
    return folder + "/." + name + std::string(kTempMark) + suffix;
}

std::optional<Owner> TemporaryOwner(const std::string& entry) {
    const std::size_t mark = entry.find(kTempMark);
    if (entry[0] != '.' || mark == std::string::npos) return std::nullopt;
    const char* digits = entry.c_str() + mark + kTempMark.size();
    char* end = nullptr;
    const long pid = std::strtol(digits, &end, 10);
    if (end == digits || *end != '.' || pid <= 0) return std::nullopt;  // not one of ours
    return Owner{static_cast<pid_t>(pid), {}};
}

// Links the open file in as path: a new name for the file itself, wherever /proc's link leads.
Status LinkDescriptor(int fd, const std::string& path) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    return Check(Perform("link", [&] {
        return linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW);
    }));
}

}  // namespace

DWORD ErrorCode(int error) {
    static const std::pair<DWORD, std::vector<int>> kCodes[] = {
        {ERROR_SUCCESS, {0}},
        {ERROR_FILE_NOT_FOUND, {ENOENT}},
        {ERROR_PATH_NOT_FOUND, {ENOTDIR}},
        {ERROR_FILENAME_EXCED_RANGE, {ENAMETOOLONG}},
        {ERROR_ACCESS_DENIED, {EACCES, EPERM, EROFS, EISDIR, ELOOP, ETXTBSY}},  // ELOOP: a link
        {ERROR_ALREADY_EXISTS, {EEXIST}},
        {ERROR_DISK_FULL, {ENOSPC, EDQUOT, EFBIG}},
        {ERROR_NOT_ENOUGH_MEMORY, {ENOMEM}},
        {ERROR_TOO_MANY_OPEN_FILES, {EMFILE, ENFILE}},
        {ERROR_INVALID_PARAMETER, {EINVAL}},
        {ERROR_BAD_EXE_FORMAT, {ENOEXEC}},
        {ERROR_INVALID_HANDLE, {EBADF}},
    };
    for (const auto& [code, numbers] : kCodes)
        if (std::find(numbers.begin(), numbers.end(), error) != numbers.end()) return code;
    return ERROR_GEN_FAILURE;
}

Result<UniqueFd> Open(const std::string& path, int flags, mode_t mode, int folder) {
    const bool unnamed = (flags & O_TMPFILE) == O_TMPFILE;
    const int fd = Perform(unnamed ? "open O_TMPFILE" : "open",
                           [&] { return openat(folder, path.c_str(), flags | O_CLOEXEC, mode); });
    if (fd < 0) return Errno{errno};
    return UniqueFd(fd);
}

Result<UniqueFd> OpenMemory(const char* name) {
    const int fd = Perform("memfd_create", [&] { return memfd_create(name, MFD_CLOEXEC); });
    if (fd < 0) return Errno{errno};
    return UniqueFd(fd);
}

Result<std::size_t> Read(int fd, void* buffer, std::size_t count) {
    return Counted<std::size_t>(Perform("read", [&] { return read(fd, buffer, count); }));
}

Result<std::size_t> Write(int fd, const void* bytes, std::size_t count) {
    return Counted<std::size_t>(Perform("write", [&] { return write(fd, bytes, count); }));
}

Status Lock(int fd, int operation) {
    return Check(Perform("flock", [&] { return flock(fd, operation); }));
}

Status Truncate(int fd, off_t size) {
    return Check(Perform("ftruncate", [&] { return ftruncate(fd, size); }));
}

Result<struct stat> Stat(const std::string& path, bool followLink) {
    struct stat st {};
    const int flags = followLink ? 0 : AT_SYMLINK_NOFOLLOW;
    if (Perform("stat", [&] { return fstatat(AT_FDCWD, path.c_str(), &st, flags); }) != 0)
        return Errno{errno};
    return st;
}

Result<struct stat> FileStat(int fd) {
    struct stat st {};
    if (Perform("stat", [&] { return fstat(fd, &st); }) != 0) return Errno{errno};
    return st;
}

Status MakeFolder(const std::string& path, mode_t mode) {
    return Check(Perform("mkdir", [&] { return mkdir(path.c_str(), mode); }));
}

Status MakeFifo(const std::string& path, mode_t mode) {
    return Check(Perform("mkfifo", [&] { return mkfifo(path.c_str(), mode); }));
}

Status Rename(const std::string& from, const std::string& to) {
    return Check(Perform("rename", [&] { return rename(from.c_str(), to.c_str()); }));
}

void Unlink(const std::string& path) {
    Perform("unlink", [&] { return unlink(path.c_str()); });
}

Result<void*> Map(std::size_t length, int fd, off_t offset) {
    if (const int error = fault::CallError("mmap")) return Errno{error};
    const int flags = fd < 0 ? MAP_SHARED | MAP_ANONYMOUS : MAP_SHARED;
    void* memory = mmap(nullptr, length, PROT_READ | PROT_WRITE, flags, fd, offset);
    if (memory == MAP_FAILED) return Errno{errno};
    return memory;
}

Result<std::uint64_t> Random() {
    if (auto source = g_randomSource.load()) return source();
    std::uint64_t value = 0;
    auto n = Counted<std::size_t>(
        Perform("getrandom", [&] { return getrandom(&value, sizeof value, 0); }));
    if (!n) return n.failure();
    if (*n != sizeof value) return Errno{EIO};
    return value;
}

// Waits for the bytes only, not for the journal's commit of the file's size and name: a crash
// then leaves the old target or the new one, each whole, since a journal commit makes the
// disk's cache durable first. A full flush would make every write wait for journal commits.
Status WriteOut(int fd) {
    constexpr unsigned kWholeRange =
        SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER;
    Status status = Check(Perform("sync", [&] { return sync_file_range(fd, 0, 0, kWholeRange); }));
    // A file system that cannot write a range out on its own is flushed whole instead.
    const int error = status.error();
    if (error == ESPIPE || error == EINVAL || error == ENOSYS)
        status = Check(Perform("sync", [&] { return fsync(fd); }));
    return status;
}

Result<bool> WaitReadable(int fd, std::optional<timespec> deadline) {
    pollfd pfd{fd, POLLIN, 0};
    // Made again with the time left when interrupted, so that signals never stretch the wait.
    const int ready = Perform(
        "poll", [&] { return poll(&pfd, 1, deadline ? MillisecondsUntil(*deadline) : -1); });
    if (ready < 0) return Errno{errno};
    return ready > 0;
}

void SleepUntil(const timespec& deadline) {
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
    }
}

timespec MonotonicDeadline(DWORD milliseconds) {
    timespec deadline{};
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += static_cast<time_t>(milliseconds / 1000);
    deadline.tv_nsec += static_cast<long>(milliseconds % 1000) * 1'000'000;
    if (deadline.tv_nsec >= 1'000'000'000) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1'000'000'000;
    }
    return deadline;
}

int MillisecondsUntil(const timespec& deadline) {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const long long left =
        (deadline.tv_sec - now.tv_sec) * 1'000'000'000LL + (deadline.tv_nsec - now.tv_nsec);
    if (left <= 0) return 0;
    return static_cast<int>(std::min<long long>((left + 999'999) / 1'000'000, INT_MAX));
}

Status WriteAll(int fd, std::string_view bytes, std::optional<off_t> offset, std::size_t* written) {
    std::size_t done = 0;
    Status status;
    while (status && done < bytes.size()) {
        const std::string_view left = bytes.substr(done);
        const ssize_t n = Perform("write", [&] {
            return offset ? pwrite(fd, left.data(), left.size(), *offset + static_cast<off_t>(done))
                          : write(fd, left.data(), left.size());
        });
        if (n <= 0) status = Errno{n == 0 ? ENOSPC : errno};
        if (n > 0) done += static_cast<std::size_t>(n);
    }
    if (written) *written = done;
    return status;
}

// SIGPIPE is blocked for this thread during the write and taken back if it came. When the
// caller already blocks SIGPIPE, a pending one is left alone.
Result<std::size_t> WriteToPipe(int fd, const void* bytes, std::size_t count) {
    sigset_t pipeOnly, previous;
    sigemptyset(&pipeOnly);
    sigaddset(&pipeOnly, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeOnly, &previous);
    Result<std::size_t> written = Write(fd, bytes, count);
    if (sigismember(&previous, SIGPIPE) != 1) {
        const timespec zero{0, 0};
        if (written.error() == EPIPE)
            Retry([&] { return sigtimedwait(&pipeOnly, nullptr, &zero); });
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    }
    return written;
}

Result<UniqueFd> OpenLocked(const std::string& path, int operation) {
    Result<UniqueFd> fd = Open(path, O_RDWR | O_CREAT | O_NOFOLLOW, 0600);
    Status locked = fd ? Lock(fd->get(), operation) : fd.failure();
    if (!locked) return locked.failure();
    return fd;
}

Result<std::string> ReadAll(int fd) {
    std::string text;
    char buffer[8192];
    for (;;) {
        auto n = Counted<std::size_t>(Perform("read", [&] {
            return pread(fd, buffer, sizeof buffer, static_cast<off_t>(text.size()));
        }));
        if (!n) return n.failure();
        if (*n == 0) return text;
        text.append(buffer, *n);
    }
}

Result<std::string> ReadFile(const std::string& path) {
    Result<UniqueFd> fd = Open(path, O_RDONLY | O_NOFOLLOW);
    if (!fd) return fd.failure();
    return ReadAll(fd->get());
}

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    if (!dir) return names;
    while (dirent* entry = readdir(dir)) {
        std::string_view name(entry->d_name);
        if (name != "." && name != "..") names.emplace_back(name);
    }
    closedir(dir);
    return names;
}

Result<NewFile> NewFile::Make(const std::string& folder, const std::string& name, mode_t mode) {
    SweepDeadOwners(folder, TemporaryOwner);
    NewFile file;
    file.folder_ = folder;
    file.name_ = name;
    Result<UniqueFd> fd = Open(folder, O_TMPFILE | O_RDWR, mode);
    // A file system without unnamed files (EOPNOTSUPP, EISDIR; EINVAL from an old kernel): the
    // file is made under a fresh name, exclusively and without following a link.
    const int error = fd.error();
    const bool named = error == EOPNOTSUPP || error == EISDIR || error == EINVAL;
    for (int attempt = 0; named && attempt < kNamingAttempts; ++attempt) {
        Result<std::string> path = TempPath(folder, name);
        fd = path ? Open(*path, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW, mode) : path.failure();
        if (fd) file.temp_ = *path;
        if (fd.error() != EEXIST) break;
    }
    if (!fd) return fd.failure();
    file.fd_ = std::move(*fd);
    return file;
}

Status NewFile::Replace() {
    // An unnamed file takes a fresh name beside the target first; an existing one is never used.
    for (int attempt = 1; temp_.empty(); ++attempt) {
        Result<std::string> path = TempPath(folder_, name_);
        Status linked = path ? LinkDescriptor(fd_.get(), *path) : path.failure();
        if (linked) temp_ = *path;
        if (!linked && (linked.error() != EEXIST || attempt == kNamingAttempts)) return linked;
    }
    Status renamed = Rename(temp_, folder_ + "/" + name_);
    if (renamed) temp_.clear();
    return renamed;
}

Status NewFile::Install() {
    const std::string target = folder_ + "/" + name_;
    if (temp_.empty()) return LinkDescriptor(fd_.get(), target);
    return Check(Perform("link", [&] { return link(temp_.c_str(), target.c_str()); }));
}

void NewFile::Discard() {
    if (fd_.valid() && !temp_.empty()) Unlink(temp_);
    temp_.clear();
    fd_.Reset();
}

Result<UniqueFd> OpenOrMake(const std::string& folder, const std::string& name,
                            const std::function<Status(int fd)>& initialise, bool& created) {
    const std::string path = folder + "/" + name;
    created = false;
    Result<UniqueFd> fd = Open(path, O_RDWR | O_NOFOLLOW);
    if (fd || fd.error() != ENOENT) return fd;
    Result<NewFile> made = NewFile::Make(folder, name, 0600);
    Status status = made ? initialise(made->fd()) : made.failure();
    if (status) status = made->Install();
    if (!status && status.error() != EEXIST) return status.failure();
    created = static_cast<bool>(status);
    return Open(path, O_RDWR | O_NOFOLLOW);
}

void SweepDeadOwners(const std::string& folder,
                     const std::function<std::optional<Owner>(const std::string&)>& ownerOf) {
    for (const std::string& entry : FolderEntries(folder)) {
        const std::optional<Owner> owner = ownerOf(entry);
        if (owner && !detail::IsRunning(owner->id, owner->startTime)) Unlink(folder + "/" + entry);
    }
}

void SetRandomSource(std::uint64_t (*source)()) {
    g_randomSource.store(source);
}

}  // namespace win::sys
