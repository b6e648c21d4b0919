#pragma once
// The framework's file class: a device file opened for writing, written and closed. The
// device replaces such a file whole when it is closed, so a reader sees the old bytes or the
// new ones, never a mixture.

#include <cstdint>
#include <stdexcept>
#include <string_view>

#include "framework/cstring.h"
#include "platform/win_types.h"

// What went wrong with a file: the cause, the system's error code and the file's name.
class CFileException : public std::runtime_error {
  public:
    enum Cause {
        none = 0,
        genericException,
        fileNotFound,
        badPath,
        accessDenied,
        sharingViolation,
        diskFull,
    };

    CFileException() : std::runtime_error("file error") {}
    CFileException(Cause cause, win::DWORD osError, CString fileName);

    // The cause that a system error code stands for.
    static Cause CauseFromOsError(win::DWORD osError);

    Cause m_cause = none;
    win::DWORD m_lOsError = win::ERROR_SUCCESS;
    CString m_strFileName;
};

class CFile {
  public:
    // Open flags. The device's programs open files one way only: created or truncated, write
    // access, no sharing, normal attributes, so these three together are the only mode.
    enum OpenFlags : unsigned {
        modeWrite = 0x0001,
        shareExclusive = 0x0010,
        modeCreate = 0x1000,
    };

    CFile() = default;
    // Closes a file still open, ignoring failure (as Abort).
    ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // Opens the device file. openFlags must be modeCreate | modeWrite | shareExclusive. Returns
    // false when the file cannot be opened (no such folder, a folder that refuses files, a file
    // another handle holds open), filling *error when given; the old file is then untouched.
    bool Open(std::u16string_view devicePath, unsigned openFlags, CFileException* error = nullptr);

    // Writes count bytes after those written before. Throws CFileException when fewer bytes
    // could be written (a full disk counts as diskFull); the file will then not be committed.
    void Write(const void* buffer, std::uint32_t count);

    // Commits the bytes written as the file's whole new content and closes. Throws
    // CFileException when the commit fails; the old file then stays as it was. The handle is
    // gone either way.
    void Close();

    // Closes without throwing, ignoring any failure.
    void Abort();

    bool IsOpen() const { return handle_ != nullptr; }

  private:
    [[noreturn]] void ThrowLastError(win::DWORD osError) const;

    win::HANDLE handle_ = nullptr;
    CString fileName_;
};
