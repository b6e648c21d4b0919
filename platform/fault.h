#pragma once
// Fault injection: the platform layer is where tests make the device's services fail, so that
// the system's code is tested unchanged.
//
// In process, tests call FailNth. Across processes, the variable NX_FAULTS ("Op:n,Op:n", read
// once when the process first asks) makes the n-th call of each named operation fail; "Op:*"
// makes every call fail. Op is the enumerator's name ("CreateMutex"); unknown names are ignored.

namespace win::fault {

enum class Op {
    ProcessSnapshot,  // CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS)
    ThreadSnapshot,   // CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD)
    CreateProcess,    // CreateProcessW
    RegisterMessage,  // RegisterWindowMessageW
    CreateSection,    // CreateFileMappingW
    MapView,          // MapViewOfFile
    CreateMutex,      // CreateMutexW
    WaitMutex,        // WaitForSingleObject on a mutex: WAIT_FAILED
    CreateFile,       // CreateFileW
    WriteFile,        // WriteFile: ERROR_DISK_FULL after half the bytes
    CommitFile,       // the write-out and rename of CloseHandle
    PostMessage,      // PostThreadMessageW and PostMessageW
};

// The n-th call (1-based, counted from now) of op fails; earlier and later calls succeed.
void FailNth(Op op, int n);

// Every call of op from now on fails.
void FailAlways(Op op);

// Forgets all injected faults and counts.
void Reset();

// Called by the platform's implementations: true when this call of op is to fail.
bool ShouldFail(Op op);

}  // namespace win::fault
