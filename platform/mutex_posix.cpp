// Named mutexes: a process-shared, robust, recursive pthread mutex in a file of the runtime
// folder, mapped once per process.
#include <fcntl.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/fault.h"
#include "platform/internal/deadline.h"
#include "platform/internal/error_code.h"
#include "platform/internal/folder_entries.h"
#include "platform/internal/handle_table.h"
#include "platform/internal/proc_info.h"
#include "platform/internal/runtime_folder.h"
#include "platform/internal/unique_fd.h"
#include "platform/mutex.h"

namespace win {
namespace {

using detail::UniqueFd;

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

SharedMutex* MapMutex(int fd) {
    void* memory = mmap(nullptr, sizeof(SharedMutex), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    return memory == MAP_FAILED ? nullptr : static_cast<SharedMutex*>(memory);
}

// Removes initialisation files left by processes that died while making a mutex.
void SweepDeadInitFiles(const std::string& folder) {
    for (const std::string& name : detail::FolderEntries(folder)) {
        if (name.rfind(".init.", 0) != 0) continue;
        if (!detail::IsRunning(static_cast<pid_t>(std::atol(name.c_str() + 6))))
            unlink((folder + "/" + name).c_str());
    }
}

// Opens the mutex file, making it first when there is none: the new mutex is initialised in
// a private file and linked into place, so every opener finds a fully initialised one, and
// of two racing makers exactly one wins.
UniqueFd OpenOrMake(const std::string& folder, const std::string& path, bool& created) {
    created = false;
    UniqueFd fd(open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW));
    if (fd.valid() || errno != ENOENT) return fd;
    SweepDeadInitFiles(folder);
    static std::atomic<unsigned> counter{0};
    const std::string temp = folder + "/.init." + std::to_string(getpid()) + "." +
                             std::to_string(gettid()) + "." + std::to_string(counter++);
    UniqueFd made(open(temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!made.valid()) return made;
    bool ok = ftruncate(made.get(), sizeof(SharedMutex)) == 0;
    if (ok) {
        SharedMutex* shared = MapMutex(made.get());
        ok = shared && InitialiseMutex(shared);
        if (shared) munmap(shared, sizeof(SharedMutex));
    }
    if (ok && link(temp.c_str(), path.c_str()) == 0) {
        created = true;
        unlink(temp.c_str());
        return made;
    }
    const int error = ok ? 0 : errno;
    unlink(temp.c_str());
    if (!ok) {
        errno = error;
        return UniqueFd();
    }
    return UniqueFd(open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW));
}

Mapping* Fail(DWORD error) {
    SetLastError(error);
    return nullptr;
}

// The mapping of the named (or an unnamed) mutex; nullptr with the last error set on failure.
Mapping* AcquireMapping(std::u16string_view name, bool& created) {
    created = true;
    if (name.empty()) {
        void* memory = mmap(nullptr, sizeof(SharedMutex), PROT_READ | PROT_WRITE,
                            MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        if (memory == MAP_FAILED) return Fail(detail::ErrorFromErrno(errno));
        auto* shared = static_cast<SharedMutex*>(memory);
        if (!InitialiseMutex(shared)) {
            munmap(memory, sizeof(SharedMutex));
            return Fail(ERROR_GEN_FAILURE);
        }
        auto* mapping = new Mapping;
        mapping->shared = shared;
        mapping->handles = 1;
        return mapping;
    }
    const std::string key = detail::ObjectFileName(name);
    Registry& registry = Mappings();
    std::lock_guard guard(registry.lock);
    if (auto it = registry.byName.find(key); it != registry.byName.end()) {
        created = false;
        ++it->second->handles;
        return it->second;
    }
    const std::string folder = detail::RuntimeSubdirectory("mutexes");
    if (folder.empty()) return Fail(detail::ErrorFromErrno(errno));
    UniqueFd fd = OpenOrMake(folder, folder + "/" + key, created);
    if (!fd.valid()) return Fail(detail::ErrorFromErrno(errno));
    // A file that is too small, or does not hold a mutex of this layout, is not a mutex.
    struct stat st {};
    if (fstat(fd.get(), &st) != 0 || st.st_size < static_cast<off_t>(sizeof(SharedMutex)))
        return Fail(ERROR_INVALID_HANDLE);
    SharedMutex* shared = MapMutex(fd.get());
    if (!shared) return Fail(detail::ErrorFromErrno(errno));
    if (shared->magic != kMagic || shared->layout != kLayout) {
        munmap(shared, sizeof(SharedMutex));
        return Fail(ERROR_INVALID_HANDLE);
    }
    auto* mapping = new Mapping;
    mapping->key = key;
    mapping->shared = shared;
    mapping->handles = 1;
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
            const timespec deadline = detail::MonotonicDeadline(milliseconds);
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
        detail::SetLastErrorFromErrno(rc);
        return WAIT_FAILED;
    }

    BOOL Release() {
        if (pthread_mutex_unlock(&mapping_->shared->mutex) != 0) {
            SetLastError(ERROR_NOT_OWNER);
            return FALSE;
        }
        --mapping_->ownedLevels;
        return TRUE;
    }

  private:
    Mapping* mapping_;
};

}  // namespace

HANDLE CreateMutexW(void* securityAttributes, BOOL initialOwner, std::u16string_view name) {
    if (securityAttributes) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
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
