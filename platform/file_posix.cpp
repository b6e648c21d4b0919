// Device files: replaced whole on close, never shared while open, written through a temporary
// that no one else can name in advance.
#include <sys/file.h>

#include <memory>
#include <string>

#include "platform/device.h"
#include "platform/fault.h"
#include "platform/file.h"
#include "platform/internal/handle_table.h"
#include "platform/internal/platform_internal.h"
#include "platform/internal/runtime_folder.h"
#include "platform/internal/system_posix.h"
#include "platform/unicode.h"

namespace win {
namespace {

using sys::Fail;

class DeviceFile final : public detail::KernelObject {
  public:
    DeviceFile(sys::UniqueFd lock, sys::NewFile file)
        : lock_(std::move(lock)), file_(std::move(file)) {}
    ~DeviceFile() override {
        if (file_.fd() >= 0) Commit();
    }

    BOOL Write(const void* buffer, DWORD count, DWORD* written) {
        const bool injected = fault::ShouldFail(fault::Op::WriteFile);
        std::size_t done = 0;
        sys::Status status = sys::WriteAll(
            file_.fd(), {static_cast<const char*>(buffer), injected ? count / 2 : count}, {},
            &done);
        if (written) *written = static_cast<DWORD>(done);
        if (status && !injected) return TRUE;
        failed_ = true;
        return injected ? Fail(ERROR_DISK_FULL, FALSE) : Fail(status, FALSE);
    }

    // Writes the file out to the disk and moves it over the target, or discards it when a write
    // failed or a step fails. Releases the no-sharing lock either way.
    BOOL Commit() {
        DWORD error = failed_ ? ERROR_DISK_FULL : ERROR_GEN_FAILURE;
        bool ok = !failed_ && !fault::ShouldFail(fault::Op::CommitFile);
        if (ok) {
            sys::Status status = sys::WriteOut(file_.fd());
            if (status) status = file_.Replace();
            ok = static_cast<bool>(status);
            error = sys::ErrorCode(status.error());
        }
        file_.Discard();
        lock_.Reset();
        return ok ? TRUE : Fail(error, FALSE);
    }

  private:
    sys::UniqueFd lock_;
    sys::NewFile file_;
    bool failed_ = false;
};

}  // namespace

HANDLE CreateFileW(std::u16string_view devicePath, DWORD desiredAccess, DWORD shareMode,
                   void* securityAttributes, DWORD creationDisposition,
                   DWORD /*flagsAndAttributes*/, HANDLE templateFile) {
    if (DWORD error = detail::RefusedOpen(desiredAccess, shareMode, securityAttributes,
                                          creationDisposition, templateFile))
        return Fail(error, INVALID_HANDLE_VALUE);

    const std::string target = ResolveDevicePath(devicePath);
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == 0 ? "/" : target.substr(0, slash);
    const std::string name = target.substr(slash + 1);
    if (name.empty()) return Fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);  // the root itself
    auto parent = sys::Stat(folder);
    if (!parent || !S_ISDIR(parent->st_mode))
        return Fail(ERROR_PATH_NOT_FOUND, INVALID_HANDLE_VALUE);
    // A folder in the file's place, or a file that nobody may write (the device's read-only
    // attribute, as Windows reads it from such a file), is never replaced.
    if (auto old = sys::Stat(target);
        old && (S_ISDIR(old->st_mode) || !(old->st_mode & (S_IWUSR | S_IWGRP | S_IWOTH))))
        return Fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);

    // No sharing: an exclusive lock on a lock file kept for the target in the runtime folder.
    // The target itself cannot carry the lock, as it is replaced by a rename on commit.
    auto locks = detail::RuntimeSubdirectory("locks");
    if (!locks) return Fail(locks, INVALID_HANDLE_VALUE);
    // Keyed by the path without regard to letter case: "\A.OUT" and "\a.out" are one file
    // even before it exists.
    std::u16string key = Utf8ToUtf16(target);
    CharUpperW(key);
    auto lock = sys::OpenLocked(*locks + "/" + detail::Hex64(detail::StableHash(Utf16ToUtf8(key))),
                                LOCK_EX | LOCK_NB);
    if (!lock && lock.error() == EWOULDBLOCK)
        return Fail(ERROR_SHARING_VIOLATION, INVALID_HANDLE_VALUE);
    if (!lock) return Fail(lock, INVALID_HANDLE_VALUE);
    auto file = sys::NewFile::Make(folder, name);
    if (!file) return Fail(file, INVALID_HANDLE_VALUE);
    return detail::RegisterHandle(std::make_unique<DeviceFile>(std::move(*lock), std::move(*file)));
}

BOOL WriteFile(HANDLE file, const void* buffer, DWORD bytesToWrite, DWORD* bytesWritten,
               void* overlapped) {
    if (bytesWritten) *bytesWritten = 0;
    auto* deviceFile = detail::FindHandleOf<DeviceFile>(file);
    if (!deviceFile) return FALSE;
    if (overlapped || (!buffer && bytesToWrite > 0)) return Fail(ERROR_INVALID_PARAMETER, FALSE);
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
