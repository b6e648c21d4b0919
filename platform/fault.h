#pragma once
// Fault injection: the platform layer is where tests make the device's services fail, so that
// the system's code is tested unchanged, on both platforms.
//
// In process, tests call FailNth. Across processes, the variable NX_FAULTS ("Op:n,Op:n", read
// once when the process first asks) makes the n-th call of each named operation fail; "Op:*"
// makes every call fail; "Op:500ms" makes every call wait that long first and then go on as
// usual: a slow device, which holds a race between programs open. Op is the enumerator's name
// ("CreateMutex"), or on Linux the name of a system call of the platform's layer ("rename"),
// which then fails with EIO; other names are ignored.

#include "platform/win_types.h"

namespace win::fault {

// The operations that can be made to fail, each with the name NX_FAULTS gives it: the one list
// that both the enumeration and the names are made from.
#define NX_FAULT_OPERATIONS(X)                                               \
    X(ProcessSnapshot) /* CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS) */    \
    X(ThreadSnapshot)  /* CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD) */     \
    X(CreateProcess)   /* CreateProcessW */                                  \
    X(RegisterMessage) /* RegisterWindowMessageW */                          \
    X(CreateSection)   /* CreateFileMappingW */                              \
    X(MapView)         /* MapViewOfFile */                                   \
    X(CreateMutex)     /* CreateMutexW */                                    \
    X(WaitMutex)       /* WaitForSingleObject on a mutex: WAIT_FAILED */     \
    X(CreateFile)      /* CreateFileW */                                     \
    X(WriteFile)       /* WriteFile: ERROR_DISK_FULL after half the bytes */ \
    X(CommitFile)      /* the write-out and rename of CloseHandle */         \
    X(PostMessage)     /* PostThreadMessageW and PostMessageW */

#define NX_FAULT_ENUMERATOR(name) name,
enum class Op { NX_FAULT_OPERATIONS(NX_FAULT_ENUMERATOR) };
#undef NX_FAULT_ENUMERATOR

#define NX_FAULT_ONE(name) +1
inline constexpr int kOpCount = 0 NX_FAULT_OPERATIONS(NX_FAULT_ONE);
#undef NX_FAULT_ONE

// The n-th call (1-based, counted from now) of op fails; earlier and later calls succeed.
void FailNth(Op op, int n);

// Every call of op from now on fails.
void FailAlways(Op op);

// Forgets all injected faults and counts.
void Reset();

// Called by the platform's implementations before the operation's first effect: true when this
// call of op is to fail; the second form then sets the calling thread's last error to error. A
// slow operation waits here first.
bool ShouldFail(Op op);
bool ShouldFail(Op op, DWORD error);

// The system calls of the Linux layer (platform/internal/system_posix.h), by the names it gives
// them ("open", "rename", "open O_TMPFILE"): the n-th call (0: every call) fails with the errno
// error without being made. Reset forgets these too.
void FailCall(std::string_view call, int n, int error);

// Called by that layer: the errno this call of the named system call is to fail with, or 0.
int CallError(std::string_view call);

}  // namespace win::fault
