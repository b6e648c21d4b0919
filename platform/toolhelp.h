#pragma once
// The tool-help walks over the device's processes and threads.

#include "platform/win_types.h"

namespace win {

inline constexpr DWORD TH32CS_SNAPPROCESS = 0x00000002;
inline constexpr DWORD TH32CS_SNAPTHREAD = 0x00000004;
inline constexpr int MAX_PATH = 260;

#pragma pack(push, 1)
// The device's process entry: 564 bytes. Only dwSize, th32ProcessID, cntThreads,
// th32ParentProcessID and szExeFile are filled; the rest is zero.
struct PROCESSENTRY32W {
    DWORD dwSize;
    DWORD cntUsage;
    DWORD th32ProcessID;
    DWORD th32DefaultHeapID;
    DWORD th32ModuleID;
    DWORD cntThreads;
    DWORD th32ParentProcessID;
    LONG pcPriClassBase;
    DWORD dwFlags;
    WCHAR szExeFile[MAX_PATH];  // the executable's file name as started, zero-terminated
    DWORD th32MemoryBase;
    DWORD th32AccessKey;
};
// The device's thread entry: 36 bytes. dwSize, th32ThreadID and th32OwnerProcessID are filled.
struct THREADENTRY32 {
    DWORD dwSize;
    DWORD cntUsage;
    DWORD th32ThreadID;
    DWORD th32OwnerProcessID;
    LONG tpBasePri;
    LONG tpDeltaPri;
    DWORD dwFlags;
    DWORD th32AccessKey;
    DWORD th32CurrentProcessID;
};
#pragma pack(pop)
static_assert(sizeof(PROCESSENTRY32W) == 564);
static_assert(sizeof(THREADENTRY32) == 36);

// Takes a snapshot of the device's processes (TH32CS_SNAPPROCESS) or of their threads
// (TH32CS_SNAPTHREAD); processId is ignored (it is always the whole device). Only processes of the
// caller's own user are listed, whatever the caller's privileges (another user's processes are
// never the device's); a process's threads are listed main thread first. On Linux the processes
// come in ascending process id, which is the order they were started in only until the ids wrap
// round; on Windows in the order the system keeps them. On Linux only processes started with this
// device root are listed, and everything is read here: a process that ends later is still listed,
// one that has ended by then, or a zombie, is not. On Windows every process of the user's session
// is listed. Returns INVALID_HANDLE_VALUE on failure.
HANDLE CreateToolhelp32Snapshot(DWORD flags, DWORD processId);

// Walk the snapshot from its first entry. FALSE when the walk has ended, when the entry's
// dwSize is not the record's size, or when the snapshot is of the other kind.
BOOL Process32First(HANDLE snapshot, PROCESSENTRY32W* entry);
BOOL Process32Next(HANDLE snapshot, PROCESSENTRY32W* entry);
BOOL Thread32First(HANDLE snapshot, THREADENTRY32* entry);
BOOL Thread32Next(HANDLE snapshot, THREADENTRY32* entry);

// Closes a snapshot (the same as CloseHandle).
BOOL CloseToolhelp32Snapshot(HANDLE snapshot);

}  // namespace win
