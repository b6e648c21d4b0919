// Device files: replaced whole on close, never shared while open, written through a temporary
// that no one else can name in advance.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "platform/device.h"
#include "platform/fault.h"
#include "platform/file.h"
#include "platform/internal/error_code.h"
#include "platform/internal/folder_entries.h"
#include "platform/internal/handle_table.h"
#include "platform/internal/platform_internal.h"
#include "platform/internal/runtime_folder.h"
#include "platform/internal/unique_fd.h"
#include "platform/unicode.h"

namespace win {
namespace {

using detail::UniqueFd;

using detail::ErrorFromErrno;

std::string TempPrefix(const std::string& name) {
    return "." + name + ".nxtmp.";
}

// Removes every named temporary of the target left in its folder (by a writer killed between
// naming its temporary and the rename). Only called while holding the target's lock, so none
// of them belongs to a live writer. Removing a name never follows it.
void SweepTemporaries(const std::string& folder, const std::string& name) {
    // Temporaries of the same file written under another letter case count too.
    const std::u16string prefix = Utf8ToUtf16(TempPrefix(name));
    for (const std::string& entry : detail::FolderEntries(folder)) {
        const std::u16string candidate = Utf8ToUtf16(entry);
        if (candidate.size() > prefix.size() &&
            EqualsIgnoreCase(std::u16string_view(candidate).substr(0, prefix.size()), prefix))
            unlink((folder + "/" + entry).c_str());
    }
}

// A name for the target's temporary that no one can guess: 64 random bits.
std::string UnguessableTempPath(const std::string& folder, const std::string& name) {
    std::uint64_t random = 0;
    while (getrandom(&random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) {
        if (errno != EINTR) break;
    }
    char suffix[17];
    std::snprintf(suffix, sizeof suffix, "%016llx", static_cast<unsigned long long>(random));
    return folder + "/" + TempPrefix(name) + suffix;
}

constexpr int kNamingAttempts = 8;

// The file that receives the new bytes. Nothing of it is ever reached through a name that
// another user could have planted: it is made unnamed in the target's folder (O_TMPFILE), so
// that a writer killed before the commit leaves nothing behind; on a file system without
// unnamed files it is made under a fresh unguessable name, exclusively and without following a
// link. path is empty while the file has no name.
struct Temporary {
    UniqueFd fd;
    std::string path;
};

std::optional<Temporary> MakeTemporary(const std::string& folder, const std::string& name) {
    Temporary temp{UniqueFd(open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666)), {}};
    if (temp.fd.valid()) return temp;
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return std::nullopt;
    for (int attempt = 0; attempt < kNamingAttempts; ++attempt) {
        temp.path = UnguessableTempPath(folder, name);
        temp.fd.Reset(
            open(temp.path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (temp.fd.valid()) return temp;
        if (errno != EEXIST) return std::nullopt;
    }
    return std::nullopt;
}

// Gives an unnamed temporary a fresh unguessable name beside the target, so that it can be
// renamed over it; an existing name is never reused.
bool NameTemporary(Temporary& temp, const std::string& folder, const std::string& name) {
    if (!temp.path.empty()) return true;
    char self[64];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", temp.fd.get());
    for (int attempt = 0; attempt < kNamingAttempts; ++attempt) {
        std::string path = UnguessableTempPath(folder, name);
        if (linkat(AT_FDCWD, self, AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            temp.path = std::move(path);
            return true;
        }
        if (errno != EEXIST) return false;
    }
    return false;
}

bool WriteAll(int fd, const char* bytes, std::size_t count, std::size_t& written) {
    written = 0;
    while (written < count) {
        ssize_t n = ::write(fd, bytes + written, count - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            return false;
        }
        written += static_cast<std::size_t>(n);
    }
    return true;
}

// Writes the file's contents out to the disk and waits until they are there, before its name
// moves over the target. On a journaling file system the rename is recorded in a journal
// commit, and a commit makes the disk's cache durable before it is recorded, so a crash leaves
// the old target or the new one, each whole (at worst beside the temporary, which the next
// write removes). What is not waited for is the commit itself, of the file's size and of the
// rename: after a crash right after a run the old file may still be there. A full flush of the
// file (and of its folder for the rename) would make every run wait for journal commits, which
// is most of the time a run spends beyond its pauses.
bool WriteOut(int fd) {
    int result;
    while ((result = sync_file_range(fd, 0, 0,
                                     SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE |
                                         SYNC_FILE_RANGE_WAIT_AFTER)) != 0 &&
           errno == EINTR) {
    }
    // A file system that cannot write a range out on its own is flushed whole instead.
    if (result != 0 && (errno == ESPIPE || errno == EINVAL || errno == ENOSYS)) result = fsync(fd);
    return result == 0;
}

class DeviceFile final : public detail::KernelObject {
  public:
    DeviceFile(UniqueFd lock, Temporary temp, std::string folder, std::string name)
        : lock_(std::move(lock)),
          temp_(std::move(temp)),
          folder_(std::move(folder)),
          name_(std::move(name)) {}
    ~DeviceFile() override {
        if (temp_.fd.valid()) Commit();
    }

    BOOL Write(const void* buffer, DWORD count, DWORD* written) {
        std::size_t done = 0;
        std::size_t wanted = count;
        bool injected = fault::ShouldFail(fault::Op::WriteFile);
        if (injected) wanted = count / 2;
        bool ok = WriteAll(temp_.fd.get(), static_cast<const char*>(buffer), wanted, done);
        int error = errno;
        if (written) *written = static_cast<DWORD>(done);
        if (ok && !injected) return TRUE;
        failed_ = true;
        SetLastError(injected ? ERROR_DISK_FULL : ErrorFromErrno(error));
        return FALSE;
    }

    // Writes the temporary out to the disk, names it and renames it over the target (the rename
    // replaces whatever the target's name held, a link included, and follows nothing), or
    // discards it when a write failed or a step fails. Releases the no-sharing lock either way.
    BOOL Commit() {
        bool ok = !failed_ && !fault::ShouldFail(fault::Op::CommitFile);
        DWORD error = failed_ ? ERROR_DISK_FULL : ERROR_GEN_FAILURE;
        if (ok && (!WriteOut(temp_.fd.get()) || !NameTemporary(temp_, folder_, name_) ||
                   rename(temp_.path.c_str(), (folder_ + "/" + name_).c_str()) != 0)) {
            ok = false;
            error = ErrorFromErrno(errno);
        }
        if (!ok && !temp_.path.empty()) unlink(temp_.path.c_str());
        temp_.fd.Reset();
        lock_.Reset();
        if (!ok) SetLastError(error);
        return ok ? TRUE : FALSE;
    }

  private:
    UniqueFd lock_;
    Temporary temp_;
    std::string folder_, name_;
    bool failed_ = false;
};

HANDLE Fail(DWORD error) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
}

}  // namespace

HANDLE CreateFileW(std::u16string_view devicePath, DWORD desiredAccess, DWORD shareMode,
                   void* securityAttributes, DWORD creationDisposition, DWORD flagsAndAttributes,
                   HANDLE templateFile) {
    (void)flagsAndAttributes;
    if (!detail::IsOfferedOpen(desiredAccess, shareMode, securityAttributes, creationDisposition,
                               templateFile))
        return Fail(ERROR_INVALID_PARAMETER);
    if (fault::ShouldFail(fault::Op::CreateFile)) return Fail(ERROR_ACCESS_DENIED);

    const std::string target = ResolveDevicePath(devicePath);
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == 0 ? "/" : target.substr(0, slash);
    const std::string name = target.substr(slash + 1);
    struct stat st {};
    if (name.empty()) return Fail(ERROR_ACCESS_DENIED);  // the root folder itself
    if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return Fail(ERROR_PATH_NOT_FOUND);
    if (stat(target.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return Fail(ERROR_ACCESS_DENIED);

    // No sharing: an exclusive lock on a lock file kept for the target in the runtime folder.
    // The target itself cannot carry the lock, as it is replaced by a rename on commit.
    const std::string locks = detail::RuntimeSubdirectory("locks");
    if (locks.empty()) return Fail(ErrorFromErrno(errno));
    // Keyed by the path without regard to letter case: "\A.OUT" and "\a.out" are one file
    // even before it exists.
    std::u16string key = Utf8ToUtf16(target);
    CharUpperW(key);
    const std::string lockPath = locks + "/" + detail::Hex64(detail::StableHash(Utf16ToUtf8(key)));
    UniqueFd lock(open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (!lock.valid()) return Fail(ErrorFromErrno(errno));
    while (flock(lock.get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        return Fail(errno == EWOULDBLOCK ? ERROR_SHARING_VIOLATION : ErrorFromErrno(errno));
    }

    SweepTemporaries(folder, name);
    std::optional<Temporary> temp = MakeTemporary(folder, name);
    if (!temp) return Fail(ErrorFromErrno(errno));
    return detail::RegisterHandle(
        std::make_unique<DeviceFile>(std::move(lock), std::move(*temp), folder, name));
}

BOOL WriteFile(HANDLE file, const void* buffer, DWORD bytesToWrite, DWORD* bytesWritten,
               void* overlapped) {
    if (bytesWritten) *bytesWritten = 0;
    auto* deviceFile = detail::FindHandleOf<DeviceFile>(file);
    if (!deviceFile) return FALSE;
    if (overlapped || (!buffer && bytesToWrite > 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return deviceFile->Write(buffer, bytesToWrite, bytesWritten);
}

BOOL CommitFile(HANDLE file) {
    auto* deviceFile = detail::FindHandleOf<DeviceFile>(file);
    if (!deviceFile) return FALSE;
    BOOL committed = deviceFile->Commit();
    DWORD error = GetLastError();
    CloseHandle(file);
    if (!committed) SetLastError(error);
    return committed;
}

}  // namespace win
