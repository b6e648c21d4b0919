#pragma once
// Named memory sections shared between the device's processes.

#include <cstddef>

#include "platform/win_types.h"

namespace win {

inline constexpr DWORD PAGE_READWRITE = 0x04;
inline constexpr DWORD FILE_MAP_ALL_ACCESS = 0x000F001F;

// Creates or opens the named memory-backed section (file INVALID_HANDLE_VALUE, or null). An
// existing section is opened as it is, never re-created or cleared; one smaller than asked is
// grown with zeros. A new section is zero-filled. On Linux a named section lasts as long as
// the device's runtime folder, also when no handle is open; on Windows it goes with its last
// handle. An unnamed one is private to its handle.
// GetLastError is ERROR_ALREADY_EXISTS when an existing section was opened. Returns nullptr
// on failure.
HANDLE CreateFileMappingW(HANDLE file, void* securityAttributes, DWORD protect, DWORD sizeHigh,
                          DWORD sizeLow, std::u16string_view name);

// Maps the section read-write and shared: every process's view shows the same bytes.
// bytesToMap 0 maps the whole section. Returns nullptr on failure. A section never shrinks
// under its views: should another process cut its file short, an access to the view grows it
// back (the bytes lost read as zeros until they are written again) instead of ending the process.
void* MapViewOfFile(HANDLE section, DWORD desiredAccess, DWORD offsetHigh, DWORD offsetLow,
                    std::size_t bytesToMap);

// Unmaps a view returned by MapViewOfFile. FALSE for anything else.
BOOL UnmapViewOfFile(const void* view);

}  // namespace win
