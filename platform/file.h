#pragma once
// Files of the device.

#include "platform/win_types.h"

namespace win {

inline constexpr DWORD GENERIC_WRITE = 0x40000000;
inline constexpr DWORD CREATE_ALWAYS = 2;
inline constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;

// Opens a device file for writing. Only GENERIC_WRITE with CREATE_ALWAYS and share mode 0 (no
// sharing) is offered, which is all the device's programs use.
//
// The file is replaced whole or not at all: the bytes written go to an unnamed temporary file
// in the same folder, and CloseHandle writes it out to the disk, gives it an unguessable name
// and renames it over the old file (replacing the name, a symbolic link included, without
// following it). Until then readers see the old file (or none). No link is followed and no name
// that already exists is used, so another user who may write in the folder can neither redirect
// the bytes nor plant the new file. A failed WriteFile, a failed write-out or a process that
// dies before CloseHandle leaves the old file as it was and no temporary file behind (one killed
// between the naming and the rename leaves a named one, swept by the next open of the file).
//
// No sharing: while one handle to the file is open (in any process of the device), a second
// open fails with ERROR_SHARING_VIOLATION. Other failures: ERROR_PATH_NOT_FOUND (no such
// folder), ERROR_ACCESS_DENIED (the folder refuses files, or the path names a folder or a file
// with the read-only attribute: on Linux one without any write permission), and the cause the
// host reports (ERROR_DISK_FULL, ERROR_TOO_MANY_OPEN_FILES, ...). On Windows a program that
// holds the old file open through the real API without sharing is not seen here: the rename
// of CloseHandle fails instead. Returns INVALID_HANDLE_VALUE on failure.
HANDLE CreateFileW(std::u16string_view devicePath, DWORD desiredAccess, DWORD shareMode,
                   void* securityAttributes, DWORD creationDisposition, DWORD flagsAndAttributes,
                   HANDLE templateFile);

// Appends bytes to a file opened by CreateFileW. Fewer bytes than asked (a full disk) reports
// FALSE with ERROR_DISK_FULL, and the file will not be committed by CloseHandle.
BOOL WriteFile(HANDLE file, const void* buffer, DWORD bytesToWrite, DWORD* bytesWritten,
               void* overlapped);

// Commits and closes a file opened by CreateFileW, reporting whether the new bytes are now the
// file's bytes (CloseHandle does the same but reports only that the handle was valid).
BOOL CommitFile(HANDLE file);

}  // namespace win
