// Handles, CloseHandle and the per-thread last error.
#include <mutex>
#include <unordered_set>

#include "platform/handle_table.h"

namespace win {
namespace {

thread_local DWORD t_lastError = ERROR_SUCCESS;

struct HandleTable {
    std::mutex lock;
    std::unordered_set<KernelObject*> live;
};

HandleTable& Table() {
    // Never destroyed: handles may still be closed by other static destructors at exit.
    static HandleTable* table = new HandleTable;
    return *table;
}

}  // namespace

DWORD GetLastError() {
    return t_lastError;
}
void SetLastError(DWORD error) {
    t_lastError = error;
}

BOOL CloseHandle(HANDLE handle) {
    KernelObject* object = nullptr;
    {
        HandleTable& table = Table();
        std::lock_guard guard(table.lock);
        auto it = table.live.find(handle);
        if (it == table.live.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        object = *it;
        table.live.erase(it);
    }
    // The destructor does the object's closing work (a file commits its bytes here).
    delete object;
    return TRUE;
}

namespace detail {

HANDLE RegisterHandle(std::unique_ptr<KernelObject> object) {
    HandleTable& table = Table();
    std::lock_guard guard(table.lock);
    KernelObject* raw = object.release();
    table.live.insert(raw);
    return raw;
}

KernelObject* FindHandle(HANDLE handle) {
    HandleTable& table = Table();
    std::lock_guard guard(table.lock);
    return table.live.count(handle) ? handle : nullptr;
}

}  // namespace detail
}  // namespace win
