// Handles, CloseHandle and the per-thread last error.
#include <cerrno>
#include <mutex>
#include <unordered_map>

#include "platform/internal/error_code.h"
#include "platform/internal/handle_table.h"

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
    std::unique_ptr<detail::KernelObject> object;
    {
        HandleTable& table = Table();
        std::lock_guard guard(table.lock);
        auto it = table.live.find(handle.Value());
        if (it == table.live.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        object = std::move(it->second);
        table.live.erase(it);
    }
    // The destructor does the object's closing work (a file commits its bytes here), outside
    // the table's lock.
    object.reset();
    return TRUE;
}

namespace detail {

DWORD ErrorFromErrno(int error) {
    switch (error) {
        case 0:
            return ERROR_SUCCESS;
        case ENOENT:
            return ERROR_FILE_NOT_FOUND;
        case ENOTDIR:
            return ERROR_PATH_NOT_FOUND;
        case ENAMETOOLONG:
            return ERROR_FILENAME_EXCED_RANGE;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
        case ELOOP:  // a link where none may be followed
        case ETXTBSY:
            return ERROR_ACCESS_DENIED;
        case EEXIST:
            return ERROR_ALREADY_EXISTS;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return ERROR_DISK_FULL;
        case ENOMEM:
            return ERROR_NOT_ENOUGH_MEMORY;
        case EMFILE:
        case ENFILE:
            return ERROR_TOO_MANY_OPEN_FILES;
        case EINVAL:
            return ERROR_INVALID_PARAMETER;
        case ENOEXEC:
            return ERROR_BAD_EXE_FORMAT;
        case EBADF:
            return ERROR_INVALID_HANDLE;
        default:
            return ERROR_GEN_FAILURE;
    }
}

void SetLastErrorFromErrno(int error) {
    SetLastError(ErrorFromErrno(error));
}

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
