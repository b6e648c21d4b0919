#include "framework/file.h"

#include <cassert>
#include <utility>

#include "platform/file.h"

CFileException::CFileException(Cause cause, win::DWORD osError, CString fileName)
    : std::runtime_error("file error"),
      m_cause(cause),
      m_lOsError(osError),
      m_strFileName(std::move(fileName)) {}

CFileException::Cause CFileException::CauseFromOsError(win::DWORD osError) {
    switch (osError) {
        case win::ERROR_SUCCESS:
            return none;
        case win::ERROR_FILE_NOT_FOUND:
            return fileNotFound;
        case win::ERROR_PATH_NOT_FOUND:
            return badPath;
        case win::ERROR_ACCESS_DENIED:
            return accessDenied;
        case win::ERROR_SHARING_VIOLATION:
            return sharingViolation;
        case win::ERROR_DISK_FULL:
            return diskFull;
        default:
            return genericException;
    }
}

CFile::~CFile() {
    Abort();
}

bool CFile::Open(std::u16string_view devicePath, unsigned openFlags, CFileException* error) {
    assert(openFlags == (modeCreate | modeWrite | shareExclusive) && !IsOpen());
    (void)openFlags;
    fileName_ = CString(devicePath);
    win::HANDLE handle = win::CreateFileW(devicePath, win::GENERIC_WRITE, 0, nullptr,
                                          win::CREATE_ALWAYS, win::FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == win::INVALID_HANDLE_VALUE || handle == nullptr) {
        win::DWORD osError = win::GetLastError();
        if (error)
            *error = CFileException(CFileException::CauseFromOsError(osError), osError, fileName_);
        return false;
    }
    handle_ = handle;
    return true;
}

void CFile::Write(const void* buffer, std::uint32_t count) {
    assert(IsOpen());
    win::DWORD written = 0;
    if (!win::WriteFile(handle_, buffer, count, &written, nullptr)) {
        ThrowLastError(win::GetLastError());
    }
    // Fewer bytes than asked is a full disk, whatever the call reported.
    if (written != count) ThrowLastError(win::ERROR_DISK_FULL);
}

void CFile::Close() {
    assert(IsOpen());
    win::HANDLE handle = std::exchange(handle_, nullptr);
    if (!win::CommitFile(handle)) ThrowLastError(win::GetLastError());
}

void CFile::Abort() {
    if (!IsOpen()) return;
    win::CloseHandle(std::exchange(handle_, nullptr));
}

void CFile::ThrowLastError(win::DWORD osError) const {
    // A failure is never reported as no cause, even when the system left no error code.
    CFileException::Cause cause = CFileException::CauseFromOsError(osError);
    if (cause == CFileException::none) cause = CFileException::genericException;
    throw CFileException(cause, osError, fileName_);
}
