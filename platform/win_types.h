#pragma once
// The fixed-width types and constants of the device's Win32-flavoured API. Messages carry
// fixed 32-bit fields; strings are UTF-16.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace win {

using BOOL = std::int32_t;
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = std::uint32_t;
using LONG = std::int32_t;
using WPARAM = std::uint32_t;
using LPARAM = std::int32_t;
using LRESULT = std::int32_t;
using WCHAR = char16_t;
using HWND = std::uint32_t;  // device-wide window handle; 0 is none

inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;
inline constexpr DWORD INFINITE = 0xFFFFFFFF;
inline constexpr HWND HWND_BROADCAST = 0xFFFF;

// Standard command and button ids.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

// A kernel object (file, section, mutex, snapshot, process) is owned through a HANDLE and
// released by CloseHandle. A handle is an opaque value that only the platform's calls give out
// and take: it converts to nothing and compares only with another handle, with nullptr (no
// handle: the failure of most calls) and with INVALID_HANDLE_VALUE (the failure of a few).
class HANDLE {
  public:
    constexpr HANDLE() = default;
    constexpr HANDLE(std::nullptr_t) {}
    constexpr explicit HANDLE(std::uintptr_t value) : value_(value) {}

    // The kernel's own handle on Windows, our handle table's number on Linux.
    constexpr std::uintptr_t Value() const { return value_; }
    constexpr explicit operator bool() const { return value_ != 0; }
    friend constexpr bool operator==(const HANDLE&, const HANDLE&) = default;

  private:
    std::uintptr_t value_ = 0;
};

// The invalid-handle value of the device: all bits set, as the real one's.
inline constexpr HANDLE INVALID_HANDLE_VALUE{~std::uintptr_t{0}};

// Error codes reported by GetLastError.
inline constexpr DWORD ERROR_SUCCESS = 0;
inline constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
inline constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
inline constexpr DWORD ERROR_TOO_MANY_OPEN_FILES = 4;
inline constexpr DWORD ERROR_ACCESS_DENIED = 5;
inline constexpr DWORD ERROR_INVALID_HANDLE = 6;
inline constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr DWORD ERROR_SHARING_VIOLATION = 32;
inline constexpr DWORD ERROR_DISK_FULL = 112;
inline constexpr DWORD ERROR_INVALID_PARAMETER = 87;
inline constexpr DWORD ERROR_BAD_EXE_FORMAT = 193;  // the file is no program
inline constexpr DWORD ERROR_NOT_OWNER = 288;
inline constexpr DWORD ERROR_GEN_FAILURE = 31;
inline constexpr DWORD ERROR_NO_MORE_FILES = 18;    // a walk has no further entry
inline constexpr DWORD ERROR_ALREADY_EXISTS = 183;  // a named object was opened, not made
inline constexpr DWORD ERROR_FILENAME_EXCED_RANGE = 206;
inline constexpr DWORD ERROR_INVALID_WINDOW_HANDLE = 1400;
inline constexpr DWORD ERROR_INVALID_THREAD_ID = 1444;  // no such thread, or it has no queue
inline constexpr DWORD ERROR_NOT_ENOUGH_QUOTA = 1816;   // the target queue is full

// The calling thread's last error, set by every API call that fails.
DWORD GetLastError();
void SetLastError(DWORD error);

// Releases the object behind the handle. FALSE (ERROR_INVALID_HANDLE) for a null or invalid
// handle. For a file opened by CreateFileW this is also the moment its bytes are committed.
BOOL CloseHandle(HANDLE handle);

}  // namespace win
