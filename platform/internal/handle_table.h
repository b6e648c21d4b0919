#pragma once
// Internal to the platform layer: every HANDLE given out is a number registered here, never
// given out again, so that a stale, foreign or doubly closed handle is refused with
// ERROR_INVALID_HANDLE.

#include <memory>

#include "platform/win_types.h"

namespace win::detail {

// What a handle stands for: CloseHandle destroys it, and its destructor does the object's
// closing work.
class KernelObject {
  public:
    virtual ~KernelObject() = default;
};

// A kernel object that WaitForSingleObject can wait on.
class WaitableObject : public KernelObject {
  public:
    virtual DWORD Wait(DWORD milliseconds) = 0;
};

// Takes ownership of a new object and returns its handle.
HANDLE RegisterHandle(std::unique_ptr<KernelObject> object);

// The object behind a live handle, or nullptr.
KernelObject* FindHandle(HANDLE handle);

// The object behind a live handle if it is of type T, else nullptr (with ERROR_INVALID_HANDLE
// set). The object stays valid until the handle is closed, which the caller must not do
// concurrently with its use.
template <typename T>
T* FindHandleOf(HANDLE handle) {
    T* object = dynamic_cast<T*>(FindHandle(handle));
    if (!object) SetLastError(ERROR_INVALID_HANDLE);
    return object;
}

}  // namespace win::detail
