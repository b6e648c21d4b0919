// Handles, CloseHandle and the per-thread last error.
#include <cerrno>
#include <mutex>
#include <unordered_set>

#include "platform/internal/error_code.h"
#include "platform/internal/handle_table.h"

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
