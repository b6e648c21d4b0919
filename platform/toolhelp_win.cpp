// The tool-help walks: the real snapshots, their entries copied into the device's records.
#include <algorithm>
#include <cstring>
#include <cwchar>
#include <vector>

#include "platform/fault.h"
#include "platform/internal/platform_internal.h"
#include "platform/internal/win_internal.h"
#include "platform/toolhelp.h"

namespace win {
namespace {

// Zeroes a device record past its size field, which the caller has set.
template <typename Entry>
void ClearAllButSize(Entry* entry) {
    std::memset(reinterpret_cast<char*>(entry) + sizeof entry->dwSize, 0,
                sizeof *entry - sizeof entry->dwSize);
}

// The device's process record from the real one: the fields the device fills.
void Copy(const ::PROCESSENTRY32W& real, PROCESSENTRY32W* entry) {
    ClearAllButSize(entry);
    entry->cntUsage = real.cntUsage;
    entry->th32ProcessID = real.th32ProcessID;
    entry->cntThreads = real.cntThreads;
    entry->th32ParentProcessID = real.th32ParentProcessID;
    entry->pcPriClassBase = real.pcPriClassBase;
    const std::size_t length = std::min<std::size_t>(std::wcslen(real.szExeFile), MAX_PATH - 1);
    std::memcpy(entry->szExeFile, real.szExeFile, length * sizeof(WCHAR));
}

void Copy(const ::THREADENTRY32& real, THREADENTRY32* entry) {
    ClearAllButSize(entry);
    entry->cntUsage = real.cntUsage;
    entry->th32ThreadID = real.th32ThreadID;
    entry->th32OwnerProcessID = real.th32OwnerProcessID;
    entry->tpBasePri = real.tpBasePri;
    entry->tpDeltaPri = real.tpDeltaPri;
}

// The user a process runs as (its token's SID), empty when its token cannot be read.
std::vector<BYTE> UserOf(::HANDLE process) {
    ::HANDLE token = nullptr;
    if (!::OpenProcessToken(process, TOKEN_QUERY, &token)) return {};
    ::DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    const bool read =
        size > 0 && ::GetTokenInformation(token, TokenUser, buffer.data(), size, &size);
    ::CloseHandle(token);
    if (!read) return {};
    ::PSID sid = reinterpret_cast<::TOKEN_USER*>(buffer.data())->User.Sid;
    const BYTE* bytes = static_cast<const BYTE*>(sid);
    return std::vector<BYTE>(bytes, bytes + ::GetLengthSid(sid));
}

// Threads come grouped by their process, so the last answer is asked for again and again; it
// holds for one snapshot's walk (a process id may be another process's in the next).
struct LastAsked {
    DWORD processId = 0;
    bool answer = false;
};
thread_local LastAsked t_lastAsked;

// The user this process takes itself for: its own, read once (see TakeCallerForAnotherUser).
std::vector<BYTE>& CallerUser() {
    static std::vector<BYTE> user = UserOf(::GetCurrentProcess());
    return user;
}

// A device's processes are its own user's: another user's process, or one whose user cannot
// be read (it cannot be opened by this user), is never listed, whatever this user's rights.
bool RunsAsThisUser(DWORD processId) {
    const std::vector<BYTE>& self = CallerUser();
    if (processId == t_lastAsked.processId && processId != 0) return t_lastAsked.answer;
    bool answer = false;
    if (::HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId)) {
        answer = !self.empty() && UserOf(process) == self;
        ::CloseHandle(process);
    }
    t_lastAsked = {processId, answer};
    return answer;
}

DWORD OwnerOf(const ::PROCESSENTRY32W& real) {
    return real.th32ProcessID;
}
DWORD OwnerOf(const ::THREADENTRY32& real) {
    return real.th32OwnerProcessID;
}

// One step of a walk: the real call on a real record (First, then Next past the entries of
// other users' processes), then the copy. FALSE when the walk has ended or the caller's
// record does not carry the device's size.
template <typename Real, typename Entry>
BOOL WalkStep(HANDLE snapshot, Entry* entry, BOOL(WINAPI* step)(::HANDLE, Real*),
              BOOL(WINAPI* next)(::HANDLE, Real*)) {
    if (!entry || entry->dwSize != sizeof(Entry))
        return detail::Fail(ERROR_INVALID_PARAMETER, FALSE);
    Real real{};
    real.dwSize = sizeof real;
    if (!step(detail::ToNativeHandle(snapshot), &real)) return FALSE;
    while (!RunsAsThisUser(OwnerOf(real))) {
        if (!next(detail::ToNativeHandle(snapshot), &real)) return FALSE;
    }
    Copy(real, entry);
    return TRUE;
}

}  // namespace

HANDLE CreateToolhelp32Snapshot(DWORD flags, DWORD processId) {
    if (((flags & TH32CS_SNAPPROCESS) &&
         fault::ShouldFail(fault::Op::ProcessSnapshot, ERROR_NOT_ENOUGH_MEMORY)) ||
        ((flags & TH32CS_SNAPTHREAD) &&
         fault::ShouldFail(fault::Op::ThreadSnapshot, ERROR_NOT_ENOUGH_MEMORY)))
        return INVALID_HANDLE_VALUE;
    t_lastAsked = {};
    return detail::FromNativeHandle(::CreateToolhelp32Snapshot(flags, processId));
}

BOOL Process32First(HANDLE snapshot, PROCESSENTRY32W* entry) {
    return WalkStep(snapshot, entry, ::Process32FirstW, ::Process32NextW);
}

BOOL Process32Next(HANDLE snapshot, PROCESSENTRY32W* entry) {
    return WalkStep(snapshot, entry, ::Process32NextW, ::Process32NextW);
}

BOOL Thread32First(HANDLE snapshot, THREADENTRY32* entry) {
    return WalkStep(snapshot, entry, ::Thread32First, ::Thread32Next);
}

BOOL Thread32Next(HANDLE snapshot, THREADENTRY32* entry) {
    return WalkStep(snapshot, entry, ::Thread32Next, ::Thread32Next);
}

namespace detail {

void TakeCallerForAnotherUser() {
    std::vector<BYTE>& user = CallerUser();
    if (user.empty()) return;  // nothing is listed already
    ::PSID sid = user.data();
    ++*::GetSidSubAuthority(sid, *::GetSidSubAuthorityCount(sid) - 1);
    t_lastAsked = {};
}

}  // namespace detail

// Desktop Windows closes a snapshot like any other handle.
BOOL CloseToolhelp32Snapshot(HANDLE snapshot) {
    return ::CloseHandle(detail::ToNativeHandle(snapshot));
}

}  // namespace win
