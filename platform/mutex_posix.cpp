// Named mutexes: a process-shared, robust, recursive pthread mutex in a file of the runtime
// folder, mapped once per process.
#include <pthread.h>
#include <sys/mman.h>
#include <time.h>

#include <atomic>
#include <cerrno>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/fault.h"
#include "platform/internal/handle_table.h"
#include "platform/internal/runtime_folder.h"
#include "platform/internal/system_posix.h"
#include "platform/mutex.h"

namespace win {
namespace {

using sys::Fail;
using sys::UniqueFd;

constexpr std::uint32_t kMagic = 0x4E584D58;  // "NXMX"
constexpr std::uint32_t kLayout = 1;

struct SharedMutex {
    std::uint32_t magic;
    std::uint32_t layout;
    pthread_mutex_t mutex;
};

// One mapping of a mutex per process: a robust mutex is tracked by its address in the owning
// thread's robust list, so the same mutex must not appear at two addresses in one process, and
// a mapping must stay while a thread of this process owns the mutex.
struct Mapping {
    std::string key;  // empty for an unnamed mutex
    SharedMutex* shared = nullptr;
    int handles = 0;
    std::atomic<long> ownedLevels{0};
};

struct Registry {
    std::mutex lock;
    std::map<std::string, Mapping*> byName;
};

Registry& Mappings() {
    static Registry* registry = new Registry;  // never destroyed, like the mappings it tracks
    return *registry;
}

bool InitialiseMutex(SharedMutex* shared) {
    pthread_mutexattr_t attr;
    if (pthread_mutexattr_init(&attr) != 0) return false;
    bool ok = pthread_mutexattr_setpshared(&attr, PTHREAD_PROCESS_SHARED) == 0 &&
              pthread_mutexattr_setrobust(&attr, PTHREAD_MUTEX_ROBUST) == 0 &&
              pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE) == 0 &&
              pthread_mutex_init(&shared->mutex, &attr) == 0;
    pthread_mutexattr_destroy(&attr);
    shared->layout = kLayout;
    shared->magic = kMagic;
    return ok;
}

sys::Result<SharedMutex*> MapMutex(int fd) {
    auto memory = sys::Map(sizeof(SharedMutex), fd);
    if (!memory) return memory.failure();
    return static_cast<SharedMutex*>(*memory);
}

// A new mutex file: the mutex, initialised.
sys::Status InitialiseFile(int fd) {
    sys::Status status = sys::Truncate(fd, sizeof(SharedMutex));
    auto shared = status ? MapMutex(fd) : status.failure();
    if (!shared) return shared.failure();
    const bool initialised = InitialiseMutex(*shared);
    munmap(*shared, sizeof(SharedMutex));
    if (!initialised) return sys::Errno{EINVAL};
    return {};
}

// The mapping of the named (or an unnamed) mutex; nullptr with the last error set on failure.
Mapping* AcquireMapping(std::u16string_view name, bool& created) {
    created = true;
    if (name.empty()) {
        auto shared = MapMutex(-1);
        if (!shared) return Fail(shared, nullptr);
        if (!InitialiseMutex(*shared)) {
            munmap(*shared, sizeof(SharedMutex));
            return Fail(ERROR_GEN_FAILURE, nullptr);
        }
        return new Mapping{{}, *shared, 1, {0}};
    }
    const std::string key = detail::ObjectFileName(name);
    Registry& registry = Mappings();
    std::lock_guard guard(registry.lock);
    if (auto it = registry.byName.find(key); it != registry.byName.end()) {
        created = false;
        ++it->second->handles;
        return it->second;
    }
    auto folder = detail::RuntimeSubdirectory("mutexes");
    if (!folder) return Fail(folder, nullptr);
    auto fd = sys::OpenOrMake(*folder, key, InitialiseFile, created);
    if (!fd) return Fail(fd, nullptr);
    // A file that is too small, or does not hold a mutex of this layout, is not a mutex.
    auto st = sys::FileStat(fd->get());
    if (!st) return Fail(st, nullptr);
    if (st->st_size < static_cast<off_t>(sizeof(SharedMutex)))
        return Fail(ERROR_INVALID_HANDLE, nullptr);
    auto shared = MapMutex(fd->get());
    if (!shared) return Fail(shared, nullptr);
    if ((*shared)->magic != kMagic || (*shared)->layout != kLayout) {
        munmap(*shared, sizeof(SharedMutex));
        return Fail(ERROR_INVALID_HANDLE, nullptr);
    }
    auto* mapping = new Mapping{key, *shared, 1, {0}};
    registry.byName.emplace(key, mapping);
    return mapping;
}

void ReleaseMapping(Mapping* mapping) {
    Registry& registry = Mappings();
    std::unique_lock guard(registry.lock);
    if (--mapping->handles > 0 || mapping->ownedLevels.load() > 0) return;
    if (!mapping->key.empty()) registry.byName.erase(mapping->key);
    guard.unlock();
    munmap(mapping->shared, sizeof(SharedMutex));
    delete mapping;
}

class Mutex final : public detail::WaitableObject {
  public:
    explicit Mutex(Mapping* mapping) : mapping_(mapping) {}
    ~Mutex() override { ReleaseMapping(mapping_); }

    DWORD Wait(DWORD milliseconds) override {
        if (fault::ShouldFail(fault::Op::WaitMutex, ERROR_GEN_FAILURE)) return WAIT_FAILED;
        pthread_mutex_t* m = &mapping_->shared->mutex;
        int rc;
        if (milliseconds == INFINITE) {
            rc = pthread_mutex_lock(m);
        } else if (milliseconds == 0) {
            rc = pthread_mutex_trylock(m);
        } else {
            const timespec deadline = sys::MonotonicDeadline(milliseconds);
            rc = pthread_mutex_clocklock(m, CLOCK_MONOTONIC, &deadline);
        }
        switch (rc) {
            case 0:
                ++mapping_->ownedLevels;
                return WAIT_OBJECT_0;
            case EOWNERDEAD:
                // The holder died: without this the mutex would be unusable for good.
                if (pthread_mutex_consistent(m) != 0) {
                    pthread_mutex_unlock(m);
                    break;
                }
                ++mapping_->ownedLevels;
                return WAIT_ABANDONED;
            case EBUSY:
            case ETIMEDOUT:
                return WAIT_TIMEOUT;
            default:
                break;
        }
        return Fail(sys::ErrorCode(rc), WAIT_FAILED);
    }

    BOOL Release() {
        if (pthread_mutex_unlock(&mapping_->shared->mutex) != 0)
            return Fail(ERROR_NOT_OWNER, FALSE);
        --mapping_->ownedLevels;
        return TRUE;
    }

  private:
    Mapping* mapping_;
};

}  // namespace

HANDLE CreateMutexW(void* securityAttributes, BOOL initialOwner, std::u16string_view name) {
    if (securityAttributes) return Fail(ERROR_INVALID_PARAMETER, nullptr);
    if (fault::ShouldFail(fault::Op::CreateMutex, ERROR_GEN_FAILURE)) return nullptr;
    bool created = false;
    Mapping* mapping = AcquireMapping(name, created);
    if (!mapping) return nullptr;
    auto mutex = std::make_unique<Mutex>(mapping);
    // As on the device: the creator, and only the creator, may take initial ownership.
    if (initialOwner && created) mutex->Wait(INFINITE);
    HANDLE handle = detail::RegisterHandle(std::move(mutex));
    SetLastError(created ? ERROR_SUCCESS : ERROR_ALREADY_EXISTS);
    return handle;
}

BOOL ReleaseMutex(HANDLE mutex) {
    auto* object = detail::FindHandleOf<Mutex>(mutex);
    if (!object) return FALSE;
    return object->Release();
}

}  // namespace win
