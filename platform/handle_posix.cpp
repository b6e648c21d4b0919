// Handles, CloseHandle and the per-thread last error.
#include <mutex>
#include <unordered_map>

#include "platform/internal/handle_table.h"
#include "platform/internal/system_posix.h"

namespace win {
namespace {

thread_local DWORD t_lastError = ERROR_SUCCESS;

struct HandleTable {
    std::mutex lock;
    std::uintptr_t last = 0;  // the number of the last handle given out
    std::unordered_map<std::uintptr_t, std::unique_ptr<detail::KernelObject>> live;
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
    HandleTable& table = Table();
    std::unique_lock guard(table.lock);
    auto entry = table.live.extract(handle.Value());
    guard.unlock();
    // The object's destructor does its closing work (a file commits its bytes there) when the
    // entry goes, outside the table's lock.
    return entry ? TRUE : sys::Fail(ERROR_INVALID_HANDLE, FALSE);
}

namespace detail {

HANDLE RegisterHandle(std::unique_ptr<KernelObject> object) {
    HandleTable& table = Table();
    std::lock_guard guard(table.lock);
    table.live.emplace(++table.last, std::move(object));
    return HANDLE{table.last};
}

KernelObject* FindHandle(HANDLE handle) {
    HandleTable& table = Table();
    std::lock_guard guard(table.lock);
    auto it = table.live.find(handle.Value());
    return it == table.live.end() ? nullptr : it->second.get();
}

}  // namespace detail
}  // namespace win
