#pragma once
// Internal to the platform layer: every HANDLE given out is registered here, so that a stale,
// foreign or doubly closed handle is refused with ERROR_INVALID_HANDLE instead of being
// dereferenced.

#include <atomic>
#include <cstdint>
#include <memory>

#include "platform/win_types.h"

namespace win::detail {

// A kernel object that WaitForSingleObject can wait on.
class WaitableObject : public KernelObject {
  public:
    virtual DWORD Wait(DWORD milliseconds) = 0;
};

// Takes ownership of a new object and returns its handle.
HANDLE RegisterHandle(std::unique_ptr<KernelObject> object);

// Counts CloseHandle calls; a lookup remembered before the latest close is not trusted.
inline std::atomic<std::uint64_t> g_closeGeneration{0};

// The object behind a live handle, or nullptr.
KernelObject* FindHandle(HANDLE handle);

// The object behind a live handle if it is of type T, else nullptr (with ERROR_INVALID_HANDLE
// set). The object stays valid until the handle is closed, which the caller must not do
// concurrently with its use. Each thread remembers its last successful lookup per type until
// the next CloseHandle anywhere in the process, so that the mutex around the record copy costs
// no lock of the table.
template <typename T>
T* FindHandleOf(HANDLE handle) {
    struct Remembered {
        HANDLE handle = nullptr;
        T* object = nullptr;
        std::uint64_t generation = 0;
    };
    thread_local Remembered last;
    const std::uint64_t generation = g_closeGeneration.load(std::memory_order_acquire);
    if (handle && handle == last.handle && generation == last.generation) return last.object;
    T* object = dynamic_cast<T*>(FindHandle(handle));
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    last = {handle, object, generation};
    return object;
}

}  // namespace win::detail
