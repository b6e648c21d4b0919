// The tool-help walks: the real snapshots, their entries copied into the device's records.
#include <algorithm>
#include <cstring>
#include <cwchar>

#include "platform/toolhelp.h"
#include "platform/windows_api.h"

namespace win {
namespace {

// The device's process record from the real one: the fields the device fills.
void CopyProcessEntry(const ::PROCESSENTRY32W& real, PROCESSENTRY32W* entry) {
    std::memset(reinterpret_cast<char*>(entry) + sizeof entry->dwSize, 0,
                sizeof *entry - sizeof entry->dwSize);
    entry->cntUsage = real.cntUsage;
    entry->th32ProcessID = real.th32ProcessID;
    entry->cntThreads = real.cntThreads;
    entry->th32ParentProcessID = real.th32ParentProcessID;
    entry->pcPriClassBase = real.pcPriClassBase;
    const std::size_t length = std::min<std::size_t>(std::wcslen(real.szExeFile), MAX_PATH - 1);
    std::memcpy(entry->szExeFile, real.szExeFile, length * sizeof(WCHAR));
}

void CopyThreadEntry(const ::THREADENTRY32& real, THREADENTRY32* entry) {
    std::memset(reinterpret_cast<char*>(entry) + sizeof entry->dwSize, 0,
                sizeof *entry - sizeof entry->dwSize);
    entry->cntUsage = real.cntUsage;
    entry->th32ThreadID = real.th32ThreadID;
    entry->th32OwnerProcessID = real.th32OwnerProcessID;
    entry->tpBasePri = real.tpBasePri;
    entry->tpDeltaPri = real.tpDeltaPri;
}

// One step of a walk: the real call on a real record, then the copy. FALSE when the walk has
// ended or the caller's record does not carry the device's size.
template <typename Real, typename Entry, typename Step, typename Copy>
BOOL WalkStep(HANDLE snapshot, Entry* entry, Step step, Copy copy) {
    if (!entry || entry->dwSize != sizeof(Entry)) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Real real{};
    real.dwSize = sizeof real;
    if (!step(detail::ToNativeHandle(snapshot), &real)) return FALSE;
    copy(real, entry);
    return TRUE;
}

}  // namespace

HANDLE CreateToolhelp32Snapshot(DWORD flags, DWORD processId) {
    return detail::FromNativeHandle(::CreateToolhelp32Snapshot(flags, processId));
}

BOOL Process32First(HANDLE snapshot, PROCESSENTRY32W* entry) {
    return WalkStep<::PROCESSENTRY32W>(snapshot, entry, ::Process32FirstW, CopyProcessEntry);
}

BOOL Process32Next(HANDLE snapshot, PROCESSENTRY32W* entry) {
    return WalkStep<::PROCESSENTRY32W>(snapshot, entry, ::Process32NextW, CopyProcessEntry);
}

BOOL Thread32First(HANDLE snapshot, THREADENTRY32* entry) {
    return WalkStep<::THREADENTRY32>(snapshot, entry, ::Thread32First, CopyThreadEntry);
}

BOOL Thread32Next(HANDLE snapshot, THREADENTRY32* entry) {
    return WalkStep<::THREADENTRY32>(snapshot, entry, ::Thread32Next, CopyThreadEntry);
}

// Desktop Windows closes a snapshot like any other handle.
BOOL CloseToolhelp32Snapshot(HANDLE snapshot) {
    return ::CloseHandle(detail::ToNativeHandle(snapshot));
}

}  // namespace win
